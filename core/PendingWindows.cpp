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

}  // namespace

std::vector<WindowRow> pendingWindows()
{
    return {
            listRow("106", OwnItem, &myOpenSRTX,
                    makeExportLayout(
                            "TfrmSRTX", "生日提醒", "会员表",
                            "序号,会员卡号,会员分类,会员姓名,性别,公历生日,农历生日,联系方式,联系地址,享受折扣,"
                            "积分比例,积分,累计消费,消费次数,消费日期,账户余额,录入人,录入日期,备注,状态",
                            "会员卡号,联系方式", "")),
            listRow("107", OwnItem, &myOpenJNRTX,
                    makeExportLayout("TfrmJNRTX", "纪念日提醒", "会员纪念日表",
                                     "序号 4,会员卡号 8,会员分类 8,会员姓名 10,性别 6,纪念日名称 12,纪念日 8,备注 16",
                                     "会员卡号", "", false)),
            listRow("110", OwnItem, &myOpenM_Q),  // the member reset does not export
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
            modalRow("300", OwnItem),  // 储值录入
            listRow("301", 0, &myOpenCZ_M,
                    makeExportLayout(
                            "TfrmCZ_M", "储值查询", "储值表",
                            "序号 4,储值日期 10,单号 10,会员卡号 10,储值金额 10,赠送金额 10,收款方式 10,收款人 10,"
                            "员工姓名 10,备注 10,录入日期 10,录入人 10",
                            "储值日期,单号,会员卡号,录入日期", "5 储值金额,6 赠送金额")),
            modalRow("402", OwnItem),  // 兑换录入
            listRow("403", 0, &myOpenDH_M,
                    makeExportLayout("TfrmDH_M", "兑换查询", "兑换表",
                                     "序号 4,兑换日期 10,单号 10,会员卡号 10,礼品名称 20,数量 10,兑换积分 10,备注 10,"
                                     "员工姓名 10,录入日期 10,录入人",
                                     "兑换日期,单号,会员卡号,录入日期", "7 兑换积分")),
            listRow("600", OwnItem, &myOpenBB_D, reportLayout("TfrmBB_D", "日报表", "日期", "日期")),
            listRow("601", 0, &myOpenBB_M, reportLayout("TfrmBB_M", "月报表", "月份", "")),
            listRow("602", 0, &myOpenBB_Y, reportLayout("TfrmBB_Y", "年报表", "年份", "")),
    };
}

}  // namespace velmora
