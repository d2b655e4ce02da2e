// The registration rows of the windows that are not part of the program
// yet: their menu item's conditions, the open flag of the list windows and
// what those lists export.  A window that comes registers its own row next
// to it (which replaces the row here) and its row leaves this file.

#include "core/MenuOpeners.h"
#include "core/Unit1.h"

namespace velmora {

namespace {

using excel::makeExportLayout;

WindowRow modalRow(const char *key, unsigned conditions)
{
    return {QString::fromLatin1(key), conditions, nullptr, {}, {}};
}

WindowRow listRow(const char *key, unsigned conditions, bool *flag, std::optional<excel::ExportLayout> layout = {})
{
    return {QString::fromLatin1(key), conditions, flag, {}, std::move(layout)};
}

// The daily, monthly and yearly report lists share their counts.
excel::ExportLayout reportLayout(const char *window, const char *caption, const char *period, const char *text)
{
    const QByteArray columns = QByteArray("序号 4,") + period +
                               " 8,消费次数 8,消费金额 8,现金收款 8,会员刷卡 8,成本 8,利润 8,储值次数 8,储值金额 8,"
                               "赠送金额 8,兑换次数 8,兑换积分 8,进货次数 8,进货金额 8,退货次数 8,退货金额 8";
    return makeExportLayout(window, caption, caption, columns.constData(), text, "");
}

// The purchase and return lists differ only in their word ("进货", "退货").
excel::ExportLayout stockDocumentList(const char *window, const char *word)
{
    const QString w = QString::fromUtf8(word);
    const QByteArray caption = (w + QStringLiteral("查询")).toUtf8(), title = (w + QStringLiteral("表")).toUtf8();
    const QByteArray columns =
            QStringLiteral("序号 4,单号 8,%1日期 8,供应商 20,%1数量 8,%1金额 8,付款方式 8,员工姓名 8,"
                           "备注 20,录入人 8,录入日期 8")
                    .arg(w)
                    .toUtf8();
    const QByteArray text = QStringLiteral("单号,%1日期,录入日期").arg(w).toUtf8();
    const QByteArray totals = QStringLiteral("5 %1数量,6 %1金额").arg(w).toUtf8();
    return makeExportLayout(window, caption.constData(), title.constData(), columns.constData(), text.constData(),
                            totals.constData());
}

excel::ExportLayout stockDocumentLines(const char *window, const char *word)
{
    const QString w = QString::fromUtf8(word);
    const QByteArray caption = (w + QStringLiteral("明细查询")).toUtf8(),
                     title = (w + QStringLiteral("明细表")).toUtf8();
    const QByteArray columns = QStringLiteral("序号 4,单号 8,%1日期 8,供应商 14,商品分类 8,商品编码 10,商品名称 18,"
                                              "单位 6,单价 6,数量 6,金额 8,员工姓名 8,录入人 8")
                                       .arg(w)
                                       .toUtf8();
    const QByteArray text = QStringLiteral("单号,%1日期,商品编码").arg(w).toUtf8();
    return makeExportLayout(window, caption.constData(), title.constData(), columns.constData(), text.constData(),
                            "10 数量,11 金额");
}

}  // namespace

std::vector<WindowRow> pendingWindows()
{
    return {
            listRow("203", 0, &myOpenXF_SKQ,
                    makeExportLayout(
                            "TfrmXF_SKQ", "消费收款查询", "消费收款表",
                            "序号 4,消费日期 8,单号 8,类型 4,会员卡号 10,收款日期 8,收款金额 8,收款方式 8,收款人 8,"
                            "员工姓名 8",
                            "消费日期,单号,会员卡号,收款日期", "7 收款金额", false)),
            listRow("204", 0, &myOpenXF_TJ,
                    makeExportLayout(
                            "TfrmXF_TJ", "消费统计", "消费统计表",
                            "序号 4,类型 8,商品数量 10,商品金额 10,折让金额 10,合计金额 10,实收金额 10,应收金额 10,"
                            "商品成本 10,介绍人提成 10,利润 10,员工姓名 10",
                            "", "")),
            listRow("503", 0, &myOpenShop_M,
                    makeExportLayout("TfrmShop_M", "商品查询", "商品表",
                                     "序号 4,商品分类 12,商品编码 10,商品名称 32,单位 6,单价 8,成本 8,备注 30,状态 6",
                                     "商品编码", "")),
            listRow("506", Stock, &myOpenKC,
                    makeExportLayout(
                            "TfrmKC", "商品库存查询", "商品库存表",
                            "序号 4,商品分类 12,商品编码 10,商品名称 32,单位 6,成本 8,库存数量 8,库存金额 10,备注 24",
                            "商品编码", "7 库存数量,8 库存金额")),
            modalRow("508", Stock),  // 进货录入
            listRow("509", Stock, &myOpenJH_M, stockDocumentList("TfrmJH_M", "进货")),
            listRow("510", Stock, &myOpenJH_MX, stockDocumentLines("TfrmJH_MX", "进货")),
            modalRow("512", Stock),  // 退货录入
            listRow("513", Stock, &myOpenTH_M, stockDocumentList("TfrmTH_M", "退货")),
            listRow("514", Stock, &myOpenTH_MX, stockDocumentLines("TfrmTH_MX", "退货")),
            modalRow("516", Stock),  // 供应商录入
            listRow("517", Stock, &myOpenGYS_M,
                    makeExportLayout("TfrmGYS_M", "供应商查询", "供应商表",
                                     "序号 4,供应商 24,联系人 16,联系电话 20,联系地址 30,备注 20", "", "")),
            listRow("600", OwnItem, &myOpenBB_D, reportLayout("TfrmBB_D", "日报表", "日期", "日期")),
            listRow("601", 0, &myOpenBB_M, reportLayout("TfrmBB_M", "月报表", "月份", "")),
            listRow("602", 0, &myOpenBB_Y, reportLayout("TfrmBB_Y", "年报表", "年份", "")),
    };
}

}  // namespace velmora
