// The registration rows of the windows that are not part of the program
// yet: their menu item's conditions, the open flag of the list windows and
// what those lists export.  A window that comes registers its own row next
// to it (which replaces the row here) and its row leaves this file.

#include "core/MenuOpeners.h"
#include "core/Unit1.h"

namespace velmora {

namespace {

using excel::makeExportLayout;

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

}  // namespace

std::vector<WindowRow> pendingWindows()
{
    return {
            listRow("600", OwnItem, &myOpenBB_D, reportLayout("TfrmBB_D", "日报表", "日期", "日期")),
            listRow("601", 0, &myOpenBB_M, reportLayout("TfrmBB_M", "月报表", "月份", "")),
            listRow("602", 0, &myOpenBB_Y, reportLayout("TfrmBB_Y", "年报表", "年份", "")),
    };
}

}  // namespace velmora
