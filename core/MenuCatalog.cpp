#include "core/MenuCatalog.h"

namespace velmora {

const std::vector<MenuTop> &numberedMenus()
{
    static const std::vector<MenuTop> menus = {
            {QStringLiteral("文件【&F】"),
             {QStringLiteral("本店设置 &D"), QStringLiteral("收付款方式设置 &M"), QStringLiteral("性别设置 &S"),
              QStringLiteral("-"), QStringLiteral("用户管理 &U"), QStringLiteral("员工管理 &W"), QStringLiteral("-"),
              QStringLiteral("修改密码 &C"), QStringLiteral("-"), QStringLiteral("数据备份 &B"),
              QStringLiteral("数据恢复 &R"), QStringLiteral("-"), QStringLiteral("更改背景 &J"), QStringLiteral("-"),
              QStringLiteral("退出 &X")}},
            {QStringLiteral("会员【&M】"),
             {QStringLiteral("会员分类 &T"), QStringLiteral("-"), QStringLiteral("会员录入 &I"),
              QStringLiteral("会员查询 &Q"), QStringLiteral("会员导入 &D"), QStringLiteral("-"),
              QStringLiteral("生日提醒 &S"), QStringLiteral("纪念日提醒 &J"), QStringLiteral("提醒声音设置 &Z"),
              QStringLiteral("-"), QStringLiteral("会员清零 &L"), QStringLiteral("-"), QStringLiteral("会员换卡 &H")}},
            {QStringLiteral("消费【&X】"),
             {QStringLiteral("消费录入 &I"), QStringLiteral("消费查询 &Q"), QStringLiteral("消费明细查询 &M"),
              QStringLiteral("消费收款查询 &S"), QStringLiteral("消费统计 &R")}},
            {QStringLiteral("储值【&C】"), {QStringLiteral("储值录入 &I"), QStringLiteral("储值查询 &Q")}},
            {QStringLiteral("兑换【&D】"),
             {QStringLiteral("礼品管理 &M"), QStringLiteral("-"), QStringLiteral("兑换录入 &I"),
              QStringLiteral("兑换查询 &Q")}},
            {QStringLiteral("商品【&S】"),
             {QStringLiteral("商品分类 &T"), QStringLiteral("-"), QStringLiteral("商品录入 &I"),
              QStringLiteral("商品查询 &Q"), QStringLiteral("商品导入 &D"), QStringLiteral("-"),
              QStringLiteral("商品库存查询  &W"), QStringLiteral("-"), QStringLiteral("进货录入 &J"),
              QStringLiteral("进货查询 &Q"), QStringLiteral("进货明细查询 &M"), QStringLiteral("-"),
              QStringLiteral("退货录入 &T"), QStringLiteral("退货查询 &Q"), QStringLiteral("退货明细查询 &M"),
              QStringLiteral("-"), QStringLiteral("供应商录入 &G"), QStringLiteral("供应商查询 &Q"),
              QStringLiteral("供应商导入 &D")}},
            {QStringLiteral("报表中心【&R】"),
             {QStringLiteral("日报表 &D"), QStringLiteral("月报表 &M"), QStringLiteral("年报表 &Y")}},
    };
    return menus;
}

QString menuName(const QString &caption)
{
    // Byte position (1-based) of the first blank in the GBK text: every
    // character outside ASCII takes two bytes there.
    int bytes = 0;
    for (int i = 0; i < caption.size(); ++i) {
        bytes += caption[i].unicode() < 0x80 ? 1 : 2;
        if (caption[i] == u' ') return bytes > 3 ? caption.left(i + 1) : caption;
    }
    return caption;
}

QString menuNumber(int top, int item)
{
    return QString::number(top) + QStringLiteral("%1").arg(item, 2, 10, QLatin1Char('0'));
}

bool parseMenuNumber(const QString &mnum, int *top, int *item)
{
    if (mnum.size() < 2 || mnum.size() > 3) return false;
    bool ok1 = false, ok2 = false;
    int t = mnum.left(1).toInt(&ok1);
    int i = mnum.mid(1).toInt(&ok2);
    if (!ok1 || !ok2) return false;
    if (top) *top = t;
    if (item) *item = i;
    return true;
}

}  // namespace velmora
