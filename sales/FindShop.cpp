#include "sales/FindShop.h"

#include "platform/ui/modal.h"

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

QString TfrmFindShop::searchSql(const QString &priceColumn, const QString &code, const QStringList &excluded,
                                const QString &filter)
{
    QString sql = QStringLiteral("select theType as 商品分类,theNum as 商品编码,theName as 商品名称,theUnit as 单位,") +
                  priceColumn +
                  " as 单价,Remark as 备注,ID,thePY,theCB,theKC,theCount from SShop Where (theState = '启用') AND "
                  "(theDel='否')" +
                  filter + " AND ((theName like '%" + code + "%' OR thePY Like '%" + code + "%' OR theNum Like '%" +
                  code + "%'))";
    if (!excluded.isEmpty()) sql += QStringLiteral(" AND (ID NOT IN (") + excluded.join(QLatin1Char(',')) + "))";
    return sql + QStringLiteral(" Order by theType, theName ");
}

bool TfrmFindShop::openSearch(vdb::Connection *c, const QString &sql)
{
    ADOQuery1.setConnection(c);
    ADOQuery1.OpenSql(sql);
    const int found = ADOQuery1.RecordCount();
    if (found == 0) return false;
    if (found == 1)
        myLoad();
    else
        ui::showModal(this);
    return true;
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
