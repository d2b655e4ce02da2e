// New master rows through their one routine each.
#include "shopdb.h"

#include "core/ShopRows.h"

namespace {

class ShopRowsTest : public ShopDbTest {};

TEST_F(ShopRowsTest, AMemberStartsEnabledWithThePasswordAndNoSpend)
{
    velmora::NewMember m;
    m.num = "26000009";
    m.name = "O'Neil";
    m.type = "普通会员";
    m.sex = "先生";
    m.pinyin = "ON";
    m.bir = "1990-05-01";
    m.remark = "'; DROP TABLE Member; --";
    m.zk = "95";
    m.jfbl = "1.5";
    m.cz = "12.5";
    velmora::insertMember(c(), m);
    EXPECT_EQ(rows("select theNum,theName,theState,theDate,theUser,theDel,thePass,UseDate,UseCount,theXF,theCZ,theJF,"
                   "theZK,theJFBL,theBir,NLBir,Remark from Member where theNum='26000009'"),
              QStringList{"26000009|O'Neil|启用|2026-03-07|admin|否|270946|1900-01-01|0|0|12.5|0|95|1.5|1990-05-01||"
                          "'; DROP TABLE Member; --"});
    m.num = "26000010";
    m.cz = "12,5";
    EXPECT_THROW(velmora::insertMember(c(), m), vdb::DbError);
    EXPECT_EQ(count("Member", "theNum='26000010'"), 0);
}

TEST_F(ShopRowsTest, GoodsAndACategoryWithADiscountRowPerMemberType)
{
    addType("金卡", "90", "2");
    velmora::insertCategory(c(), "饮料", "冷饮", "是");
    EXPECT_EQ(rows("select theName,Remark,theState,theKC from SType"), QStringList{"饮料|冷饮|启用|是"});
    EXPECT_EQ(rows("select MType,SType,theZK,theJF from MTS order by MType"),
              QStringList({"普通会员|饮料|100|1", "金卡|饮料|90|2"}));
    velmora::insertGoods(c(), {"饮料", "0001", "可乐", "瓶", "", "KL", "3.5", "2", "10", "是"});
    EXPECT_EQ(rows("select theType,theNum,theName,theUnit,thePrice,theCB,theCount,theKC,theXF,theState,theDel,theDate "
                   "from SShop"),
              QStringList{"饮料|0001|可乐|瓶|3.5|2|10|是|0|启用|否|2026-03-07"});
    EXPECT_THROW(velmora::insertGoods(c(), {"饮料", "0002", "雪碧", "瓶", "", "XB", "1-1", "2", "0", "是"}),
                 vdb::DbError);
    velmora::insertDiscount(c(), "金卡", "服务", "80", "3");
    EXPECT_EQ(one("select theZK||'/'||theJF from MTS where SType='服务'"), "80/3");
}

}  // namespace
