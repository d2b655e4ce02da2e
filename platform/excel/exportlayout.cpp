#include "platform/excel/exportlayout.h"

#include <QStringList>

namespace excel {

namespace {

// columns: "title width" entries (width optional) separated by commas;
// text: titles stored as text; totals: "column field" entries.
ExportLayout make(const char *window, const char *caption, const char *title, const char *columns,
                  const char *text, const char *totals, bool landscape = true)
{
    ExportLayout l;
    l.window = QString::fromUtf8(window);
    l.caption = QString::fromUtf8(caption);
    l.title = QString::fromUtf8(title);
    l.landscape = landscape;
    const QStringList textTitles = QString::fromUtf8(text).split(u',', Qt::SkipEmptyParts);
    for (const QString &entry : QString::fromUtf8(columns).split(u',')) {
        const QStringList parts = entry.split(u' ');
        ExportColumn c;
        c.title = parts[0];
        c.width = parts.size() > 1 ? parts[1].toDouble() : 0;
        c.text = textTitles.contains(c.title);
        l.columns.append(c);
    }
    for (const QString &entry : QString::fromUtf8(totals).split(u',', Qt::SkipEmptyParts)) {
        const QStringList parts = entry.split(u' ');
        l.totals.append(ExportTotal{parts[0].toInt(), parts[1]});
    }
    return l;
}

QVector<ExportLayout> buildLayouts()
{
    const char *bbCounts = "消费次数 8,消费金额 8,现金收款 8,会员刷卡 8,成本 8,利润 8,储值次数 8,储值金额 8,"
                           "赠送金额 8,兑换次数 8,兑换积分 8,进货次数 8,进货金额 8,退货次数 8,退货金额 8";
    const QByteArray bbD = QByteArray("序号 4,日期 8,") + bbCounts;
    const QByteArray bbM = QByteArray("序号 4,月份 8,") + bbCounts;
    const QByteArray bbY = QByteArray("序号 4,年份 8,") + bbCounts;
    return {
        make("TfrmShop_M", "商品查询", "商品表",
             "序号 4,商品分类 12,商品编码 10,商品名称 32,单位 6,单价 8,成本 8,备注 30,状态 6", "商品编码", ""),
        make("TfrmGYS_M", "供应商查询", "供应商表", "序号 4,供应商 24,联系人 16,联系电话 20,联系地址 30,备注 20", "",
             ""),
        make("TfrmXF_M", "消费查询", "消费表",
             "序号 4,消费日期 8,单号 8,类型 4,会员卡号 10,商品数量 8,商品金额 8,折上折 6,折让金额 8,实收金额 8,"
             "应收金额 8,员工姓名 8,备注 12,录入人 8,录入日期 8,本单积分 8,商品成本 8,介绍人卡号 10,提成 4,"
             "提成积分 8,提成金额 8,本单利润 8",
             "消费日期,单号,会员卡号,录入日期,介绍人卡号",
             "6 商品数量,7 商品金额,9 折让金额,10 实收金额,11 应收金额,16 本单积分,17 商品成本,20 提成积分,"
             "21 提成金额,22 利润"),
        make("TfrmCZ_M", "储值查询", "储值表",
             "序号 4,储值日期 10,单号 10,会员卡号 10,储值金额 10,赠送金额 10,收款方式 10,收款人 10,员工姓名 10,"
             "备注 10,录入日期 10,录入人 10",
             "储值日期,单号,会员卡号,录入日期", "5 储值金额,6 赠送金额"),
        make("TfrmDH_M", "兑换查询", "兑换表",
             "序号 4,兑换日期 10,单号 10,会员卡号 10,礼品名称 20,数量 10,兑换积分 10,备注 10,员工姓名 10,"
             "录入日期 10,录入人",
             "兑换日期,单号,会员卡号,录入日期", "7 兑换积分"),
        make("TfrmMember_M", "会员查询", "会员表",
             "序号,会员卡号,会员分类,会员姓名,性别,公历生日,农历生日,联系方式,联系地址,体貌特征,爱好,车牌,"
             "享受折扣,积分比例,积分,累计消费,消费次数,消费日期,账户余额,录入人,录入日期,备注,状态,介绍人卡号",
             "会员卡号,公历生日,农历生日,联系方式,消费日期,录入日期", "15 积分,16 累计消费,17 消费次数,19 账户余额"),
        make("TfrmXF_MX", "消费明细查询", "消费明细表",
             "序号 4,消费日期 8,单号 8,类型 4,会员卡号 10,商品分类 8,商品编码 10,商品名称 18,单位 6,单价 6,"
             "数量 6,折扣 6,金额 8,员工姓名 8",
             "消费日期,单号,会员卡号,商品编码", "11 数量,13 金额"),
        make("TfrmSRTX", "生日提醒", "会员表",
             "序号,会员卡号,会员分类,会员姓名,性别,公历生日,农历生日,联系方式,联系地址,享受折扣,积分比例,积分,"
             "累计消费,消费次数,消费日期,账户余额,录入人,录入日期,备注,状态",
             "会员卡号,联系方式", ""),
        make("TfrmBB_D", "日报表", "日报表", bbD.constData(), "日期", ""),
        make("TfrmBB_M", "月报表", "月报表", bbM.constData(), "", ""),
        make("TfrmBB_Y", "年报表", "年报表", bbY.constData(), "", ""),
        make("TfrmXF_TJ", "消费统计", "消费统计表",
             "序号 4,类型 8,商品数量 10,商品金额 10,折让金额 10,合计金额 10,实收金额 10,应收金额 10,商品成本 10,"
             "介绍人提成 10,利润 10,员工姓名 10",
             "", ""),
        make("TfrmJNRTX", "纪念日提醒", "会员纪念日表",
             "序号 4,会员卡号 8,会员分类 8,会员姓名 10,性别 6,纪念日名称 12,纪念日 8,备注 16", "会员卡号", "",
             false),
        make("TfrmKC", "商品库存查询", "商品库存表",
             "序号 4,商品分类 12,商品编码 10,商品名称 32,单位 6,成本 8,库存数量 8,库存金额 10,备注 24", "商品编码",
             "7 库存数量,8 库存金额"),
        make("TfrmJH_M", "进货查询", "进货表",
             "序号 4,单号 8,进货日期 8,供应商 20,进货数量 8,进货金额 8,付款方式 8,员工姓名 8,备注 20,录入人 8,"
             "录入日期 8",
             "单号,进货日期,录入日期", "5 进货数量,6 进货金额"),
        make("TfrmJH_MX", "进货明细查询", "进货明细表",
             "序号 4,单号 8,进货日期 8,供应商 14,商品分类 8,商品编码 10,商品名称 18,单位 6,单价 6,数量 6,金额 8,"
             "员工姓名 8,录入人 8",
             "单号,进货日期,商品编码", "10 数量,11 金额"),
        make("TfrmTH_M", "退货查询", "退货表",
             "序号 4,单号 8,退货日期 8,供应商 20,退货数量 8,退货金额 8,付款方式 8,员工姓名 8,备注 20,录入人 8,"
             "录入日期 8",
             "单号,退货日期,录入日期", "5 退货数量,6 退货金额"),
        make("TfrmTH_MX", "退货明细查询", "退货明细表",
             "序号 4,单号 8,退货日期 8,供应商 14,商品分类 8,商品编码 10,商品名称 18,单位 6,单价 6,数量 6,金额 8,"
             "员工姓名 8,录入人 8",
             "单号,退货日期,商品编码", "10 数量,11 金额"),
        make("TfrmXF_SKQ", "消费收款查询", "消费收款表",
             "序号 4,消费日期 8,单号 8,类型 4,会员卡号 10,收款日期 8,收款金额 8,收款方式 8,收款人 8,员工姓名 8",
             "消费日期,单号,会员卡号,收款日期", "7 收款金额", false),
    };
}

} // namespace

int ExportLayout::columnOf(const QString &t) const
{
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].title == t)
            return i + 1;
    return 0;
}

const QVector<ExportLayout> &exportLayouts()
{
    static const QVector<ExportLayout> layouts = buildLayouts();
    return layouts;
}

const ExportLayout *exportLayout(const QString &window)
{
    for (const ExportLayout &l : exportLayouts())
        if (l.window == window)
            return &l;
    return nullptr;
}

} // namespace excel
