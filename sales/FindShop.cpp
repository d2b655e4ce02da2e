#include "sales/FindShop.h"

#include "platform/ui/application.h"
#include "sales/GoodsRecord.h"

#include <QKeyEvent>
#include <QVBoxLayout>

TfrmFindShop::TfrmFindShop(QWidget *parent) : ui::Form(parent)
{
    frmFindShop = this;
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    resize(730, 250);
    DBGrid1 = new ui::DBGrid(this);
    auto *l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(DBGrid1);
    DBGrid1->installEventFilter(this);
    setEscapeCloses(true);
    ui::on(DBGrid1, &ui::DBGrid::DblClick, this, [this] { DBGrid1DblClick(); });
    ui::on(DBGrid1, &ui::DBGrid::EnterPressed, this, [this] { myLoad(); });
    connect(DBGrid1, &ui::DBGrid::EscapePressed, this, &QDialog::reject);
}

TfrmFindShop::~TfrmFindShop()
{
    if (frmFindShop == this) frmFindShop = nullptr;
}

void TfrmFindShop::FormShow()
{
    DBGrid1->setQuery(&ADOQuery1);
    DBGrid1->setColumnWidth(4, 80);
    DBGrid1->setColumnWidth(5, 180);
    for (int c = 6; c < ADOQuery1.FieldCount(); ++c) DBGrid1->setColumnHidden(c, true);
    DBGrid1->setFocus();
}

bool TfrmFindShop::keyPasses(QChar c)
{
    return c == u'\r' || c == u'\x1b' || c == u'&' || c == u'(';
}

bool TfrmFindShop::eventFilter(QObject *o, QEvent *e)
{
    // Typing must not jump around the list: only Enter, Esc, "&" and "(" pass.
    if (o == DBGrid1 && e->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(e);
        const QString t = k->text();
        if (!t.isEmpty() && t.at(0).isPrint() && !keyPasses(t.at(0))) return true;
    }
    return ui::Form::eventFilter(o, e);
}

void TfrmFindShop::myLoad()
{
    if (ADOQuery1.Active() && !ADOQuery1.Eof() && receiver) {
        auto v = [this](const char *name) { return ADOQuery1.value(QString::fromUtf8(name)); };
        GoodsRecord g{v("ID"),  v("商品编码"), v("商品名称"), v("单位"), v("单价"),
                    v("商品分类"), v("thePY"), v("theCB"), v("theKC"), v("theCount"), myMType};
        receiver->lookupTaken(g, ui::LookupOrigin::Lookup);
    }
    accept();
}
