#include "sales/Register.h"

#include "core/MenuOpeners.h"
#include "core/ListFrame.h"
#include "core/Unit1.h"
#include "core/main.h"
#include "sales/GYS.h"
#include "sales/GoodsLists.h"
#include "sales/Openers.h"
#include "sales/Reports.h"
#include "sales/Reports_BB.h"
#include "sales/StockIn.h"
#include "sales/StockLists.h"
#include "sales/XF_M.h"

namespace sales {

void registerWindows()
{
    using namespace velmora;
    registerWindow({QStringLiteral("200"), OwnItem, nullptr, modal(openXF_In), {}});
    registerWindow(
            {QStringLiteral("201"), 0, &myOpenXF_M, [](TfrmMain *m) { return new TfrmXF_M(m); }, saleListLayout()});
    registerWindow(
            {QStringLiteral("202"), 0, &myOpenXF_MX, [](TfrmMain *m) { return new TfrmXF_MX(m); }, saleLinesLayout()});
    registerWindow({QStringLiteral("203"), 0, &myOpenXF_SKQ, [](TfrmMain *m) { return new TfrmXF_SKQ(m); },
                    paymentListLayout()});
    registerWindow({QStringLiteral("204"), 0, &myOpenXF_TJ, [](TfrmMain *m) { return new TfrmXF_TJ(m); },
                    saleStatisticsLayout()});
    registerCardWindow(QStringLiteral("200"), withOwnRight(QStringLiteral("200"), openXF_InForCard));
    registerWindow({QStringLiteral("600"), OwnItem, &myOpenBB_D, [](TfrmMain *m) { return new TfrmBB_D(m); },
                    reportLayout(ReportPeriod::Day)});
    registerWindow({QStringLiteral("601"), 0, &myOpenBB_M, [](TfrmMain *m) { return new TfrmBB_M(m); },
                    reportLayout(ReportPeriod::Month)});
    registerWindow({QStringLiteral("602"), 0, &myOpenBB_Y, [](TfrmMain *m) { return new TfrmBB_Y(m); },
                    reportLayout(ReportPeriod::Year)});
    registerWindow({QStringLiteral("500"), 0, nullptr, modal(openSType), {}});
    registerWindow({QStringLiteral("502"), OwnItem, nullptr, modal(openShopIn), {}});
    registerWindow(
            {QStringLiteral("503"), 0, &myOpenShop_M, [](TfrmMain *m) { return new TfrmShop_M(m); },
             excel::makeExportLayout("TfrmShop_M", "商品查询", "商品表",
                                     "序号 4,商品分类 12,商品编码 10,商品名称 32,单位 6,单价 8,成本 8,备注 30,状态 6",
                                     "商品编码", "")});
    registerWindow({QStringLiteral("506"), Stock, &myOpenKC, [](TfrmMain *m) { return new TfrmKC(m); },
                    excel::makeExportLayout("TfrmKC", "商品库存查询", "商品库存表",
                                            "序号 4,商品分类 12,商品编码 10,商品名称 32,单位 6,成本 8,库存数量 8,"
                                            "库存金额 10,备注 24",
                                            "商品编码", "7 库存数量,8 库存金额")});
    registerWindow({QStringLiteral("508"), Stock, nullptr, modal(openJH_In), {}});
    registerWindow({QStringLiteral("509"), Stock, &myOpenJH_M, [](TfrmMain *m) { return new TfrmJH_M(m); },
                    stockDocumentLayout(StockKind::Purchase)});
    registerWindow({QStringLiteral("510"), Stock, &myOpenJH_MX, [](TfrmMain *m) { return new TfrmJH_MX(m); },
                    stockLinesLayout(StockKind::Purchase)});
    registerWindow({QStringLiteral("512"), Stock, nullptr, modal(openTH_In), {}});
    registerWindow({QStringLiteral("513"), Stock, &myOpenTH_M, [](TfrmMain *m) { return new TfrmTH_M(m); },
                    stockDocumentLayout(StockKind::Return)});
    registerWindow({QStringLiteral("514"), Stock, &myOpenTH_MX, [](TfrmMain *m) { return new TfrmTH_MX(m); },
                    stockLinesLayout(StockKind::Return)});
    registerWindow({QStringLiteral("516"), Stock, nullptr, modal(openGYS_In), {}});
    registerWindow({QStringLiteral("517"), Stock, &myOpenGYS_M, [](TfrmMain *m) { return new TfrmGYS_M(m); },
                    excel::makeExportLayout("TfrmGYS_M", "供应商查询", "供应商表",
                                            "序号 4,供应商 24,联系人 16,联系电话 20,联系地址 30,备注 20", "", "")});
}

}  // namespace sales
