#include "platform/ui/lookupform.h"

#include "platform/ui/application.h"

#include <QKeyEvent>
#include <QVBoxLayout>

namespace ui {

LookupForm::LookupForm(QWidget *parent) : Form(parent)
{
    DBGrid1 = new DBGrid(this);
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(DBGrid1);
    DBGrid1->installEventFilter(this);
    setEscapeCloses(true);
    setInitialFocus(DBGrid1);
    on(DBGrid1, &DBGrid::DblClick, this, [this] { takeRow(); });
    on(DBGrid1, &DBGrid::EnterPressed, this, [this] { takeRow(); });
    connect(DBGrid1, &DBGrid::EscapePressed, this, &QDialog::reject);
}

LookupForm::~LookupForm()
{
    // The grid goes after the query: it must not read it on the way.
    DBGrid1->setQuery(nullptr);
}

bool LookupForm::eventFilter(QObject *o, QEvent *e)
{
    if (o == DBGrid1 && e->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(e);
        const QString t = k->text();
        if (!t.isEmpty() && t.at(0).isPrint() && !typedPasses(t.at(0))) return true;
    }
    return Form::eventFilter(o, e);
}

}  // namespace ui
