#pragma once
// Goods lookup: the list from which one goods item is picked when an entry
// window's goods search found several.  The opener runs its statement on
// ADOQuery1, sets the receiver (and the member type for a sale), and shows it.

#include "platform/db/db.h"
#include "platform/ui/dbgrid.h"
#include "platform/ui/form.h"
#include "sales/GoodsRecord.h"

class TfrmFindShop : public ui::Form {
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

    vdb::Query ADOQuery1;
    ui::DBGrid *DBGrid1;
    QString myMType;
    GoodsTarget *receiver = nullptr;

protected:
    bool eventFilter(QObject *o, QEvent *e) override;
};

inline TfrmFindShop *frmFindShop = nullptr;
