#include "platform/ui/savedialog.h"

#include "platform/ui/widgets.h"

#include <QVBoxLayout>

namespace ui {

SaveDialog::SaveDialog(QWidget *parent, const QString &caption, const QString &action, const QString &close)
    : Form(parent)
{
    setWindowTitle(caption);
    BitBtn1 = button(this, action, [this] { BitBtn1Click(); });
    BitBtn2 = button(this, close, [this] { BitBtn2Click(); });
    m_layout = new QVBoxLayout(this);
    m_layout->addLayout(buttonRow({BitBtn1, BitBtn2}));
}

void SaveDialog::addContent(QWidget *w, int stretch)
{
    m_layout->insertWidget(m_layout->count() - 1, w, stretch);
}

}  // namespace ui
