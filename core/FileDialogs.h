#pragma once
// The file and folder dialogs of the administration windows.  While a
// ScriptedFileDialogs is alive, it answers them instead (tests never block
// on a real dialog) and records what was asked.

#include <QString>
#include <QStringList>

class QWidget;

namespace velmora {

// The chosen folder, or "" when cancelled.
QString chooseFolder(QWidget *parent, const QString &caption);
// The chosen existing file, or "" when cancelled.  filter: Qt's form, "EDB文件 (*.edb)".
QString chooseOpenFile(QWidget *parent, const QString &caption, const QString &filter);

class ScriptedFileDialogs {
public:
    ScriptedFileDialogs();
    ~ScriptedFileDialogs();
    ScriptedFileDialogs(const ScriptedFileDialogs &) = delete;
    ScriptedFileDialogs &operator=(const ScriptedFileDialogs &) = delete;

    // The next dialog's answer ("" cancels); with none queued, a dialog is cancelled.
    void answer(const QString &path) { m_queue << path; }
    // "caption|filter" of each dialog, in order.
    const QStringList &asked() const { return m_asked; }

private:
    friend QString chooseFolder(QWidget *, const QString &);
    friend QString chooseOpenFile(QWidget *, const QString &, const QString &);
    QString take(const QString &caption, const QString &filter);
    QStringList m_queue, m_asked;
    ScriptedFileDialogs *m_previous = nullptr;
};

}  // namespace velmora
