#include "members/SaveDialog.h"

#include "members/Widgets.h"

#include <QVBoxLayout>

SaveDialog::SaveDialog(QWidget *parent, const QString &caption, const QString &action, const QString &close)
    : QDialog(parent)
{
    setWindowTitle(caption);
    BitBtn1 = members::button(this, action, [this] { BitBtn1Click(); });
    BitBtn2 = members::button(this, close, [this] { BitBtn2Click(); });
    m_layout = new QVBoxLayout(this);
    m_layout->addLayout(members::buttonRow({BitBtn1, BitBtn2}));
}

void SaveDialog::addContent(QWidget *w, int stretch)
{
    m_layout->insertWidget(m_layout->count() - 1, w, stretch);
}
