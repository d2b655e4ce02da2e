#include "core/FileDialogs.h"

#include <QFileDialog>

namespace velmora {

namespace {
ScriptedFileDialogs *&scripted()
{
    static ScriptedFileDialogs *current = nullptr;
    return current;
}
}  // namespace

ScriptedFileDialogs::ScriptedFileDialogs() : m_previous(scripted())
{
    scripted() = this;
}

ScriptedFileDialogs::~ScriptedFileDialogs()
{
    scripted() = m_previous;
}

QString ScriptedFileDialogs::take(const QString &caption, const QString &filter)
{
    m_asked << caption + QLatin1Char('|') + filter;
    return m_queue.isEmpty() ? QString() : m_queue.takeFirst();
}

QString chooseFolder(QWidget *parent, const QString &caption)
{
    if (ScriptedFileDialogs *s = scripted()) return s->take(caption, QString());
    return QFileDialog::getExistingDirectory(parent, caption);
}

QString chooseOpenFile(QWidget *parent, const QString &caption, const QString &filter)
{
    if (ScriptedFileDialogs *s = scripted()) return s->take(caption, filter);
    return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
}

}  // namespace velmora
