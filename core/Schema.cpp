#include "core/Schema.h"

#include "core/MenuCatalog.h"
#include "core/Unit1.h"

#include <algorithm>
#include <QDir>
#include <QFile>

using vdb::sqlText;

namespace velmora {

namespace {
const QString V2 = QStringLiteral("VARCHAR(2) WITH COMP");
const QString V4 = QStringLiteral("VARCHAR(4) WITH COMP");
const QString V10 = QStringLiteral("VARCHAR(10) WITH COMP");
const QString V12 = QStringLiteral("VARCHAR(12) WITH COMP");
const QString V16 = QStringLiteral("VARCHAR(16) WITH COMP");
const QString V20 = QStringLiteral("VARCHAR(20) WITH COMP");
const QString V28 = QStringLiteral("VARCHAR(28) WITH COMP");
const QString V50 = QStringLiteral("VARCHAR(50) WITH COMP");
const QString MONEY = QStringLiteral("MONEY");
const QString INT = QStringLiteral("INT");
const QString BIT = QStringLiteral("BIT");
}  // namespace

void SchemaUpdater::NewTable(const QString &table)
{
    m_c.execute(QStringLiteral("CREATE TABLE ") + table + "(ID INT IDENTITY (1, 1) NOT NULL)");
    m_c.execute(QStringLiteral("ALTER TABLE ") + table + " Add Constraint PrimaryKey Primary Key (ID)");
}

void SchemaUpdater::NewField(const QString &table, const QString &column, const QString &defaultValue,
                             const QString &type)
{
    // Whole names: "theNum" must not count as present because of "XtheNum".
    if (m_c.columnNames(table).contains(column, Qt::CaseInsensitive)) return;
    m_c.execute(QStringLiteral("ALTER TABLE ") + table + " ADD COLUMN " + column + " " + type);
    m_c.execute(QStringLiteral("UPDate ") + table + " Set " + column + " = '" + sqlText(defaultValue) + "'");
}

void SchemaUpdater::mySaveT(const QString &table, const QString &name)
{
    m_c.execute(QStringLiteral("INSERT INTO ") + table + "(theName) VALUES('" + sqlText(name) + "') ");
}

void SchemaUpdater::myUpdate()
{
    // Read once: tables created below do not count as present in later steps.
    // Whole names: "SMType" must not make "MType" count as present.
    const QStringList tables = m_c.tableNames();
    auto present = [&](const char *t) { return tables.contains(QLatin1String(t), Qt::CaseInsensitive); };
    auto add = [&](const char *t, const char *col, const QString &type, const QString &def = QString()) {
        NewField(QLatin1String(t), QLatin1String(col), def, type);
    };
    struct Column {
        const char *name;
        QString type;
        QString def = QString();
    };
    // The columns the table lacks, in order; a new table gets them all.
    auto addAll = [&](const char *t, std::initializer_list<Column> columns) {
        for (const Column &c : columns) add(t, c.name, c.type, c.def);
    };
    auto create = [&](const char *t, std::initializer_list<Column> columns) {
        NewTable(QLatin1String(t));
        addAll(t, columns);
    };
    const QString zero = QStringLiteral("0");
    const QString no = QStringLiteral("否");

    if (present("UBB"))
        addAll("UBB", {{"JH_C", INT, zero}, {"JH_M", MONEY, zero}, {"TH_C", INT, zero}, {"TH_M", MONEY, zero}});
    if (present("SSex")) add("SSex", "Remark", V50);
    for (const char *t : {"UJH", "UTH"}) {
        if (present(t)) addAll(t, {{"WName", V12}, {"myDate", V10}});
    }
    if (present("MType")) add("MType", "theXF", MONEY, zero);
    if (present("MTS")) addAll("MTS", {{"theJF", MONEY, QStringLiteral("1")}, {"theZK", MONEY, QStringLiteral("100")}});
    if (!present("UXF_SK"))
        create("UXF_SK", {{"theNum", V12}, {"theMoney", MONEY}, {"theSMType", V10}, {"theSKR", V12}, {"SKDate", V10}});
    if (!present("SMType")) create("SMType", {{"theName", V10}, {"Remark", V50}, {"theState", V4}});
    if (!present("SWorker")) create("SWorker", {{"theName", V12}, {"theState", V4}, {"Remark", V50}});
    if (present("UXF"))
        addAll("UXF", {{"JSRNum", V12},
                       {"JSRTC", V2, no},
                       {"TCJF", MONEY, zero},
                       {"TCMoney", MONEY, zero},
                       {"WName", V12},
                       {"theSum", MONEY, zero}});
    if (present("Member")) add("Member", "JSRNum", V12);
    if (!present("SSex")) {
        create("SSex", {{"theName", V10}});
        for (const char *s : {"先生", "小姐", "女士"}) mySaveT(QStringLiteral("SSex"), QString::fromUtf8(s));
    }
    if (!present("SDJ")) {
        create("SDJ", {{"theName", V10}});
        for (const char *s : {"消费单", "储值单", "兑换单", "进货单", "退货单"})
            mySaveT(QStringLiteral("SDJ"), QString::fromUtf8(s));
    }
    auto createDoc = [&](const char *t, const char *payColumn) {
        create(t, {{"theNum", V10},
                   {"theDate", V10},
                   {"theDel", V2},
                   {"DID", INT, zero},
                   {"DName", V50},
                   {"theCount", MONEY, zero},
                   {"theSum", MONEY, zero},
                   {payColumn, V10},
                   {"Remark", V50},
                   {"theUser", V12},
                   {"theDX", V50}});
    };
    auto createLines = [&](const char *t) {
        create(t, {{"theNum", V10},
                   {"myBH", V10},
                   {"theType", V12},
                   {"theName", V28},
                   {"theUnit", V10},
                   {"theCB", MONEY, zero},
                   {"theCount", MONEY, zero},
                   {"theMoney", MONEY, zero},
                   {"thePY", V28},
                   {"SNum", V16},
                   {"SID", INT, zero}});
    };
    if (!present("UJH")) createDoc("UJH", "FKType");
    if (!present("UJH_List")) createLines("UJH_List");
    if (!present("UTH")) createDoc("UTH", "SKType");
    if (!present("UTH_List")) createLines("UTH_List");
    if (!present("SSup"))
        create("SSup", {{"theName", V50},
                        {"thePro", V20},
                        {"thePhone", V50},
                        {"theAdd", V50},
                        {"Remark", V50},
                        {"thePY", V50},
                        {"theDel", V2}});
    if (present("UXF_List")) add("UXF_List", "SID", INT, zero);
    if (present("SType")) add("SType", "theKC", V2, no);
    if (present("SShop")) addAll("SShop", {{"theCount", MONEY, zero}, {"theKC", V2, no}, {"theXF", MONEY, zero}});
    if (present("UCZ"))
        addAll("UCZ", {{"theDX", QStringLiteral("VARCHAR(50)")}, {"WName", V12}, {"theSKR", V12}, {"myDate", V10}});
    if (present("UDH")) addAll("UDH", {{"WName", V12}, {"myDate", V10}});
    if (present("UXF")) addAll("UXF", {{"theYE", MONEY, zero}, {"myDate", V10}});
    if (present("SDept"))
        addAll("SDept", {{"thePDJ", BIT, zero},
                         {"thePXP", BIT, zero},
                         {"theJFQL", BIT, zero},
                         {"theSex", V4},
                         {"theMType", V12},
                         {"theKC", BIT, zero},
                         {"thePJH", BIT, zero},
                         {"thePTH", BIT, zero},
                         {"theSType", V12},
                         {"theSWorker", V12},
                         {"theSMType", V10},
                         {"theSKR", V12},
                         {"theFKC", BIT, zero},
                         {"theWY", BIT, zero}});
    if (!present("UJF"))
        create("UJF", {{"theNum", V12}, {"theJF", MONEY, zero}, {"Remark", V50}, {"theDate", V10}, {"theUser", V12}});
    if (!present("MJN")) create("MJN", {{"theNum", V12}, {"theName", V20}, {"theJNR", V10}, {"Remark", V50}});
}

namespace {

// The tables the upgrade routine expects to find, with the columns it does
// not add itself.
const char *const kBaseTables[] = {
        "CREATE TABLE Member (ID INT IDENTITY (1, 1) NOT NULL, theNum VARCHAR(20), theName VARCHAR(50), "
        "theBir VARCHAR(10), NLBir VARCHAR(10), thePho VARCHAR(50), theAdd VARCHAR(100), Remark VARCHAR(100), "
        "thePY VARCHAR(50), theState VARCHAR(4), theDate VARCHAR(10), theSex VARCHAR(10), theType VARCHAR(20), "
        "theZK FLOAT, theJFBL FLOAT, theXF FLOAT, theCZ FLOAT, theJF FLOAT, UseDate VARCHAR(10), UseCount FLOAT, "
        "theUser VARCHAR(20), theTM VARCHAR(50), theAH VARCHAR(50), theCP VARCHAR(20), theDel VARCHAR(2), "
        "thePass VARCHAR(20))",
        "CREATE TABLE MType (ID INT IDENTITY (1, 1) NOT NULL, theName VARCHAR(20), theZK FLOAT, theJF FLOAT, "
        "Remark VARCHAR(100), theState VARCHAR(4))",
        "CREATE TABLE MTS (ID INT IDENTITY (1, 1) NOT NULL, MType VARCHAR(20), SType VARCHAR(20))",
        "CREATE TABLE SShop (ID INT IDENTITY (1, 1) NOT NULL, theNum VARCHAR(20), theName VARCHAR(50), "
        "thePY VARCHAR(50), theType VARCHAR(20), theUnit VARCHAR(10), thePrice FLOAT, theCB FLOAT, "
        "Remark VARCHAR(100), theState VARCHAR(4), theDate VARCHAR(10), theDel VARCHAR(2))",
        "CREATE TABLE SType (ID INT IDENTITY (1, 1) NOT NULL, theName VARCHAR(20), Remark VARCHAR(100), "
        "theState VARCHAR(4))",
        "CREATE TABLE UXF (ID INT IDENTITY (1, 1) NOT NULL, theNum VARCHAR(12), theDate VARCHAR(10), "
        "theType VARCHAR(4), MNum VARCHAR(20), theHJ FLOAT, theZR FLOAT, theSJ FLOAT, MType VARCHAR(10), "
        "Remark VARCHAR(100), theDel VARCHAR(2), theUser VARCHAR(20), theJF FLOAT, theZK FLOAT, "
        "theDX VARCHAR(50), theCB FLOAT, theCount FLOAT)",
        "CREATE TABLE UXF_List (ID INT IDENTITY (1, 1) NOT NULL, theNum VARCHAR(12), myBH VARCHAR(10), "
        "SNum VARCHAR(20), theName VARCHAR(50), theUnit VARCHAR(10), theType VARCHAR(20), thePY VARCHAR(50), "
        "thePrice FLOAT, theCount FLOAT, theMoney FLOAT, theCB FLOAT, theZK FLOAT)",
        "CREATE TABLE UCZ (ID INT IDENTITY (1, 1) NOT NULL, theNum VARCHAR(12), theDate VARCHAR(10), "
        "MNum VARCHAR(20), MCZ FLOAT, MZS FLOAT, MType VARCHAR(10), Remark VARCHAR(100), theUser VARCHAR(20), "
        "theDel VARCHAR(2))",
        "CREATE TABLE UDH (ID INT IDENTITY (1, 1) NOT NULL, theNum VARCHAR(12), theDate VARCHAR(10), "
        "MNum VARCHAR(20), MJF FLOAT, MLP VARCHAR(50), MCount FLOAT, Remark VARCHAR(100), theUser VARCHAR(20), "
        "theDel VARCHAR(2))",
        "CREATE TABLE ULP (ID INT IDENTITY (1, 1) NOT NULL, theName VARCHAR(50), theJF FLOAT, "
        "Remark VARCHAR(100), theState VARCHAR(4), thePY VARCHAR(50), theDel VARCHAR(2))",
        "CREATE TABLE UBB (theDate VARCHAR(10), XF_C FLOAT, XF_M FLOAT, XF_XJ FLOAT, XF_HY FLOAT, XF_CB FLOAT, "
        "XF_LR FLOAT, CZ_C FLOAT, CZ_M FLOAT, CZ_Z FLOAT, DH_C FLOAT, DH_M FLOAT)",
        "CREATE TABLE SDept (theName VARCHAR(50), thePhone VARCHAR(50), theAdd VARCHAR(100), theGG VARCHAR(100))",
        "CREATE TABLE SUser (ID INT IDENTITY (1, 1) NOT NULL, theName VARCHAR(20), thePass VARCHAR(20), "
        "Remark VARCHAR(100), theState VARCHAR(4), theDel VARCHAR(2))",
        "CREATE TABLE SLevel (UID INT, MNum VARCHAR(3))",
        "CREATE TABLE SMenu (MNum VARCHAR(3), MName VARCHAR(50))",
};

const char *const kIndexes[][2] = {
        {"Member", "theNum"}, {"Member", "theDate"},  {"Member", "theName"},  {"SShop", "theNum"},
        {"SShop", "theDate"}, {"SShop", "theName"},   {"UXF", "theNum"},      {"UXF", "theDate"},
        {"UXF", "myDate"},    {"UXF", "MNum"},        {"UXF_List", "theNum"}, {"UXF_List", "SNum"},
        {"UXF_SK", "theNum"}, {"UXF_SK", "SKDate"},   {"UCZ", "theNum"},      {"UCZ", "theDate"},
        {"UCZ", "myDate"},    {"UCZ", "MNum"},        {"UDH", "theNum"},      {"UDH", "theDate"},
        {"UDH", "myDate"},    {"UDH", "MNum"},        {"UJH", "theNum"},      {"UJH", "theDate"},
        {"UJH", "myDate"},    {"UJH_List", "theNum"}, {"UJH_List", "SNum"},   {"UTH", "theNum"},
        {"UTH", "theDate"},   {"UTH", "myDate"},      {"UTH_List", "theNum"}, {"UTH_List", "SNum"},
        {"UJF", "theNum"},    {"MJN", "theNum"},      {"SLevel", "UID"},      {"MTS", "MType"},
        {"SSup", "thePY"},
};

}  // namespace

// The daily, monthly and yearly reports read these columns per period: an
// index holding them all answers from the index alone.
const char *const kCoveringIndexes[][3] = {
        {"ix_UXF_report", "UXF", "myDate, theDel, WName, theSJ, theCB, theHJ, TCMoney"},
        {"ix_UXF_SK_report", "UXF_SK", "SKDate, theSMType, theSKR, theMoney"},
};

void ensureIndexes(vdb::Connection &c)
{
    const QStringList tables = c.tableNames();
    for (const auto &ix : kCoveringIndexes) {
        const QString t = QLatin1String(ix[1]);
        if (!tables.contains(t, Qt::CaseInsensitive)) continue;
        const QStringList have = c.columnNames(t);
        const QStringList cols = QString::fromLatin1(ix[2]).split(QStringLiteral(", "));
        if (!std::all_of(cols.begin(), cols.end(),
                         [&](const QString &col) { return have.contains(col, Qt::CaseInsensitive); }))
            continue;
        c.executeNative(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                                .arg(QLatin1String(ix[0]), t, QLatin1String(ix[2])));
    }
    for (const auto &ix : kIndexes) {
        QString t = QLatin1String(ix[0]), col = QLatin1String(ix[1]);
        if (!tables.contains(t, Qt::CaseInsensitive)) continue;
        if (!c.columnNames(t).contains(col, Qt::CaseInsensitive)) continue;
        c.executeNative(QStringLiteral("CREATE INDEX IF NOT EXISTS ix_%1_%2 ON %1 (%2)").arg(t, col));
    }
}

void createSchema(vdb::Connection &c)
{
    vdb::Transaction tx(c);
    for (const char *ddl : kBaseTables) c.execute(QString::fromUtf8(ddl));
    SchemaUpdater up(c);
    // Tables created by the first run get their later columns in the second.
    up.myUpdate();
    up.myUpdate();
    ensureIndexes(c);

    c.execute(QStringLiteral(
            "INSERT INTO SDept (theName,thePhone,theAdd,theGG,thePDJ,thePXP,theJFQL,theKC,thePJH,thePTH,theFKC,theWY,"
            "theSex,theMType,theSType,theSWorker,theSMType,theSKR) VALUES "
            "('Velmora会员店','','','欢迎光临，谢谢惠顾！',0,0,0,0,0,0,0,0,'先生','普通会员','','','现金','')"));
    c.execute(QStringLiteral("INSERT INTO MType (theName,theZK,theJF,Remark,theState,theXF) "
                             "VALUES ('普通会员',100,1,'','启用',0)"));
    for (const char *s : {"现金", "会员卡"})
        c.execute(QStringLiteral("INSERT INTO SMType (theName,Remark,theState) VALUES ('%1','','启用')")
                          .arg(QString::fromUtf8(s)));

    QStringList numbers;
    const auto &menus = numberedMenus();
    for (int i = 0; i < int(menus.size()); ++i) {
        for (int j = 0; j < menus[i].items.size(); ++j) {
            QString number = menuNumber(i, j);
            numbers << number;
            c.execute(QStringLiteral("INSERT INTO SMenu (MNum, MName) VALUES ('") + number + "', '" +
                      sqlText(menuName(menus[i].items[j])) + "')");
        }
    }
    c.execute(QStringLiteral("INSERT INTO SUser (theName,thePass,Remark,theState,theDel) VALUES ('admin','") +
              kDefaultPassword + "','系统管理员','启用','否')");
    const QString uid = QString::number(c.lastInsertId());
    for (const QString &n : numbers)
        c.execute(QStringLiteral("INSERT INTO SLevel (UID, MNum) VALUES (") + uid + ", '" + n + "')");
    tx.commit();
}

const vdb::ExpectedSchema &programSchema()
{
    static const vdb::ExpectedSchema schema = [] {
        vdb::ExpectedSchema s;
        auto c = vdb::Connection::inMemory();
        createSchema(*c);
        upgradePinyinCodes(*c);
        s.objects = vdb::schemaOf(c->handle(), QStringLiteral("无法建立本系统的数据库结构"));
        vdb::Query q(c.get());
        q.OpenSql(QStringLiteral("PRAGMA user_version"));
        s.userVersion = q.text(0, 0).toInt();
        // ensureIndexes makes every one of these when a database is opened.
        for (const auto &ix : kCoveringIndexes) s.addedOnOpening << QLatin1String(ix[0]);
        for (const auto &ix : kIndexes)
            s.addedOnOpening << QStringLiteral("ix_%1_%2").arg(QLatin1String(ix[0]), QLatin1String(ix[1]));
        return s;
    }();
    return schema;
}

void checkProgramTables(vdb::Connection &c)
{
    const QStringList missing = vdb::missingFromSchema(c.handle(), programSchema());
    if (missing.isEmpty()) return;
    throw vdb::DbError(QStringLiteral("数据库文件 %1 不完整，缺少本系统需要的数据表或字段：%2。"
                                      "请用一个完好的数据备份替换该文件后再启动。")
                               .arg(QDir::toNativeSeparators(c.path()), missing.join(QStringLiteral("、"))));
}

void createDatabase(const QString &path, const QByteArray &key)
{
    auto c = vdb::Connection::create(path, key);  // refuses an existing file
    try {
        createSchema(*c);
    } catch (...) {
        c.reset();
        QFile::remove(path);
        throw;
    }
}

}  // namespace velmora
