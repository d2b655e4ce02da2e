#pragma once
// Goods lookup: the list from which one goods item is picked when an entry
// window's goods search found several.  The opener runs its statement on
// ADOQuery1, sets the receiver (and the member type for a sale), and shows it.

#include "platform/ui/lookupform.h"
#include "sales/GoodsRecord.h"

class TfrmFindShop : public ui::LookupForm {
    Q_OBJECT
public:
    explicit TfrmFindShop(QWidget *parent = nullptr);
    ~TfrmFindShop() override;

    void FormShow() override;
    // True when the typed character reaches the grid.
    static bool keyPasses(QChar c);
    void DBGrid1DblClick() { myLoad(); }
    // Hands the current row to the receiver and closes.
    void myLoad();
    void takeRow() override { myLoad(); }

    // The goods search of an entry window: the active goods whose name,
    // pinyin or code holds code (already quoted), priced from priceColumn,
    // none of the excluded IDs, narrowed further by filter.
    static QString searchSql(const QString &priceColumn, const QString &code, const QStringList &excluded,
                             const QString &filter);
    // Runs the search: a single hit goes straight to the receiver, several
    // are listed; false when nothing was found.
    bool openSearch(vdb::Connection *c, const QString &sql);

    QString myMType;
    GoodsTarget *receiver = nullptr;

protected:
    bool typedPasses(QChar c) const override { return keyPasses(c); }
};

inline TfrmFindShop *frmFindShop = nullptr;
