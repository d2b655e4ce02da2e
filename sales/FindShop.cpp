#include "sales/FindShop.h"

#include "sales/GoodsRecord.h"

TfrmFindShop::TfrmFindShop(QWidget *parent) : ui::LookupForm(parent)
{
    frmFindShop = this;
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    resize(730, 250);
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

// Typing must not jump around the list: only Enter, Esc, "&" and "(" pass.
bool TfrmFindShop::keyPasses(QChar c)
{
    return c == u'\r' || c == u'\x1b' || c == u'&' || c == u'(';
}

void TfrmFindShop::myLoad()
{
    if (ADOQuery1.Active() && !ADOQuery1.Eof() && receiver) {
        auto v = [this](const char *name) { return ADOQuery1.value(QString::fromUtf8(name)); };
        GoodsRecord g{v("ID"),    v("商品编码"), v("商品名称"), v("单位"),     v("单价"), v("商品分类"),
                      v("thePY"), v("theCB"),    v("theKC"),    v("theCount"), myMType};
        receiver->lookupTaken(g, ui::LookupOrigin::Lookup);
    }
    accept();
}
