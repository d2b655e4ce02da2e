#pragma once
// The data-aware lookup combo box of the entry and list windows: shows the
// names of a shared list, and its text is the chosen name ("" when none).
// A refresh of the shared list keeps the chosen name when it is still there.

#include <QComboBox>
#include <QPointer>

class QAbstractItemModel;

namespace ui {

// Keeps the box wide enough to show its longest entry whole, and never
// narrower than ten Chinese characters (names staff give payment methods,
// employees and types); the open list is as wide as its longest entry.
// Follows later changes of the entries and of the font.
void fitToEntries(QComboBox *box);
// The narrowest text room fitToEntries keeps.
QString fitMinimumText();

class LookupComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit LookupComboBox(QWidget *parent = nullptr);
    void setListModel(QAbstractItemModel *model);

    QString Text() const;
    // Chooses the name when the list holds it, else clears the choice.
    void setText(const QString &name);
    void clearChoice() { setCurrentIndex(-1); }
    QStringList items() const;

signals:
    void Click();

private:
    QPointer<QAbstractItemModel> m_model;
    QString m_kept;
};

}  // namespace ui
