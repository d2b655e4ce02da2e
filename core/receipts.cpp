#include "core/receipts.h"

#include "core/Unit1.h"
#include "core/dm.h"
#include "platform/plaindecimal.h"
#include "platform/print/textprinter.h"
#include "platform/ui/messages.h"

#include <QTime>

using vdb::sqlText;

namespace velmora {

ConversionError::ConversionError(const QString &text)
    : velmora::Error(QStringLiteral("“%1” 不是有效的数值！").arg(text))
{}

double toNumber(const QString &text)
{
    double v = 0;
    if (!vdb::isSqlNumber(text, &v)) throw ConversionError(text);
    return v;
}

namespace receipts {

namespace {
const QString kSeparator(28, QLatin1Char('-'));
// The maker's contact lines at the foot of every receipt.
const char kMakerLine[] = "Velmora软件 电话400-820-1314";
const char kMakerWeb[] = "www.velmora.example";

using Row = QHash<QString, QString>;

// All rows of a statement, each column by name.
QList<Row> rows(vdb::Connection &c, const QString &sql)
{
    mySql = sql;
    vdb::Query q(&c);
    q.OpenSql(mySql);
    QList<Row> out;
    const QStringList names = q.FieldNames();
    for (q.First(); !q.Eof(); q.Next()) {
        Row r;
        for (const QString &n : names) r.insert(n, q.value(n));
        out << r;
    }
    return out;
}

Row document(vdb::Connection &c, const QString &table, const QString &number)
{
    const QList<Row> found =
            rows(c, QStringLiteral("select * from ") + table + " Where theNum='" + sqlText(number) + "'");
    if (found.isEmpty()) throw vdb::DbError(QStringLiteral("单据 %1 不存在，无法打印小票！").arg(number));
    return found.first();
}

// The live member with the card; a deleted member with the same old card
// counts only when no live one has it.
Row member(vdb::Connection &c, const QString &card)
{
    const QList<Row> found = rows(c, QStringLiteral("select * from Member Where theNum='") + sqlText(card) + "'");
    for (const Row &r : found)
        if (r.value(QStringLiteral("theDel")) == QStringLiteral("否")) return r;
    if (found.isEmpty()) throw vdb::DbError(QStringLiteral("会员 %1 不存在，无法打印小票！").arg(card));
    return found.first();
}

QString timeLine(const QString &timeText)
{
    return QStringLiteral("----") + myLoginDate + "--" + timeText + "----";
}

QStringList head(const Shop &shop, const QString &title)
{
    return {QString(), QString(), QString(), QStringLiteral("    ") + shop.name + title, kSeparator};
}

QStringList foot(const Shop &shop, const QString &gap)
{
    QStringList out;
    if (!shop.address.isEmpty()) {
        QStringList parts = splitLong(shop.address);
        parts[0] = QStringLiteral("地址") + gap + parts[0];
        out << parts;
    }
    if (!shop.phone.isEmpty()) out << QStringLiteral("电话") + gap + shop.phone;
    if (!shop.notice.isEmpty()) out << splitLong(shop.notice);
    out << QString() << QString() << QString::fromUtf8(kMakerLine) << QString::fromUtf8(kMakerWeb) << QString()
        << QString() << QString();
    return out;
}

// A label and its value on a line of their own, going on under the value
// when it is too long for one line.
QStringList labelled(const char *label, const QString &value)
{
    const QString l = QString::fromUtf8(label);
    return fitLine({{l + value, false, print::gbkWidth(l)}});
}

// The first nine body lines of the recharge and exchange receipts.
QStringList memberBlock(vdb::Connection &c, const QString &number, const Row &doc, const QString &timeText)
{
    const QString card = doc.value(QStringLiteral("MNum"));
    const Row m = member(c, card);
    QStringList out;
    out << labelled("单号  ", number) << labelled("日期  ", doc.value(QStringLiteral("myDate")))
        << labelled("卡号  ", card) << labelled("姓名  ", m.value(QStringLiteral("theName")))
        << labelled("分类  ", m.value(QStringLiteral("theType")))
        << labelled("积分  ", money(m.value(QStringLiteral("theJF"))))
        << labelled("余额  ", money(m.value(QStringLiteral("theCZ"))));
    out << timeLine(timeText) << kSeparator;
    return out;
}

struct DocLine {
    const char *label;
    const char *column;
    bool isMoney;
};

// A recharge or exchange receipt: the member block, the document's own
// lines, then who served and who entered it.
QStringList memberReceipt(vdb::Connection &c, const QString &table, const QString &title, const QString &number,
                          const Shop &shop, const QString &timeText, std::initializer_list<DocLine> lines)
{
    const Row d = document(c, table, number);
    QStringList out = head(shop, title);
    out << memberBlock(c, number, d, timeText);
    for (const DocLine &l : lines) {
        const QString value = d.value(QLatin1String(l.column));
        out << labelled(l.label, l.isMoney ? money(value) : value);
    }
    out << labelled("员工  ", d.value(QStringLiteral("WName")))
        << labelled("录入  ", d.value(QStringLiteral("theUser"))) << kSeparator;
    out << foot(shop, QStringLiteral("  "));
    return out;
}

const std::initializer_list<int> kMoney8 = {4, 5, 6, 7};
}  // namespace

Shop Shop::fromSettings()
{
    return {myDeptName, myDeptAdd, myDeptPhone, myDeptGG};
}

QString money(const QString &text)
{
    // Any number the text holds, however large: a receipt line never throws.
    const double v = toNumber(text);
    QString digits = velmora::fixedDecimal(std::abs(v), 2);
    const qsizetype point = digits.indexOf(QLatin1Char('.'));
    for (qsizetype i = point - 3; i > 0; i -= 3) digits.insert(i, QLatin1Char(','));
    return (v < 0 && digits != QLatin1String("0.00") ? QStringLiteral("-") : QString()) + digits;
}

QString alignRight(const QString &text, int width, std::initializer_list<int> widths)
{
    const int w = print::gbkWidth(text);
    return std::find(widths.begin(), widths.end(), w) != widths.end() ? QString(width - w, QLatin1Char(' ')) + text
                                                                      : text;
}

QString alignLeft(const QString &text, int width, std::initializer_list<int> widths)
{
    const int w = print::gbkWidth(text);
    return std::find(widths.begin(), widths.end(), w) != widths.end() ? text + QString(width - w, QLatin1Char(' '))
                                                                      : text;
}

QStringList splitLong(const QString &text)
{
    if (print::gbkWidth(text) <= 10) return {text};
    const QList<uint> cps = text.toUcs4();
    const qsizetype head = std::min<qsizetype>(10, cps.size());
    QStringList out{QString::fromUcs4(reinterpret_cast<const char32_t *>(cps.constData()), head)};
    if (cps.size() > 10)
        out << QString::fromUcs4(reinterpret_cast<const char32_t *>(cps.constData()) + 10, cps.size() - 10);
    return out;
}

namespace {

// Two fields are apart when a blank or a bracket stands between them.
bool parted(QChar before, QChar after)
{
    return before == u' ' || after == u' ' || before == u']' || after == u'[';
}

QString withoutTrailingBlanks(QString text)
{
    while (text.endsWith(u' ')) text.chop(1);
    return text;
}

// A text wider than a line, broken between characters; the lines after the
// first start hang columns in, under the value.
QStringList breakWide(const QString &text, int hang)
{
    if (print::gbkWidth(text) <= kWidth) return {text};
    if (hang > kWidth / 2) hang = 0;
    QStringList out;
    QString line;
    int w = 0;
    for (const char32_t c : text.toUcs4()) {
        const int cw = print::gbkColumns(c);
        if (w + cw > kWidth && w > hang) {
            out << withoutTrailingBlanks(line);
            line = QString(hang, u' ');
            w = hang;
        }
        line += QString::fromUcs4(&c, 1);
        w += cw;
    }
    out << line;
    return out;
}

}  // namespace

QStringList fitLine(const QList<Field> &fields)
{
    QStringList out;
    QString line;
    int hang = 0;
    for (const Field &f : fields) {
        if (f.text.isEmpty()) continue;
        QString text = f.text;
        if (!line.isEmpty() && !parted(line.back(), text.front())) text.prepend(u' ');
        if (line.isEmpty() || print::gbkWidth(line) + print::gbkWidth(text) <= kWidth) {
            if (line.isEmpty()) hang = f.hang;
            line += text;
            continue;
        }
        out << breakWide(withoutTrailingBlanks(line), hang);
        // Carried over, the field's padding lines it up with nothing: an
        // amount goes to the right edge, a labelled field to the left.
        text = f.text.trimmed();
        const int w = print::gbkWidth(text);
        if (f.right && w < kWidth) text.prepend(QString(kWidth - w, u' '));
        line = text;
        hang = f.hang;
    }
    if (!line.isEmpty() || out.isEmpty()) out << breakWide(line, hang);
    return out;
}

QStringList composeDH(vdb::Connection &c, const QString &number, const Shop &shop, const QString &timeText)
{
    return memberReceipt(c, QStringLiteral("UDH"), QStringLiteral("兑换单"), number, shop, timeText,
                         {{"积分  ", "MJF", true}, {"兑换  ", "MLP", false}, {"数量  ", "MCount", false}});
}

QStringList composeCZ(vdb::Connection &c, const QString &number, const Shop &shop, const QString &timeText)
{
    return memberReceipt(
            c, QStringLiteral("UCZ"), QStringLiteral("储值单"), number, shop, timeText,
            {{"储值  ", "MCZ", true}, {"大写  ", "theDX", false}, {"赠送  ", "MZS", true}, {"收款  ", "MType", false}});
}

QStringList composeXF(vdb::Connection &c, const QString &number, const Shop &shop, const QString &timeText)
{
    const Row d = document(c, QStringLiteral("UXF"), number);
    auto v = [&d](const char *column) { return d.value(QLatin1String(column)); };
    QStringList out = head(shop, QStringLiteral("消费单"));
    out << fitLine({{QStringLiteral("单号 ") + number, false, 5}, {"[" + v("myDate") + "]"}});
    const QString card = v("MNum").isEmpty() ? QStringLiteral("散客") : v("MNum");
    const bool isMember = card != QStringLiteral("散客");
    out << QStringLiteral("卡号 ") + card;
    if (isMember) {
        const Row m = member(c, card);
        out << fitLine({{QStringLiteral("姓名 ") + m.value(QStringLiteral("theName")) + "[" +
                                 m.value(QStringLiteral("theType")) + "]",
                         false, 5}});
        out << fitLine(
                {{QStringLiteral("积分  ") + alignLeft(money(m.value(QStringLiteral("theJF"))), 8, kMoney8), false, 6},
                 {QStringLiteral("余额  ") + money(m.value(QStringLiteral("theCZ"))), false, 6}});
        const QList<Row> owed = rows(c, QStringLiteral("select SUM(theYE) as 应收金额 ") + "from UXF " +
                                                "Where (theDel = '否') " + "AND (MNum = '" + sqlText(card) + "') ");
        // No live sale (a deleted one reprinted) sums to nothing: no line either.
        const QString sum = owed.isEmpty() ? QString() : owed.first().value(QStringLiteral("应收金额"));
        if (!sum.isEmpty() && sum != QStringLiteral("0"))
            out << fitLine({{QStringLiteral("应收  ") + money(sum), false, 6}});
    }
    out << timeLine(timeText);
    out << QStringLiteral("品名数量  单价折扣      金额") << kSeparator;
    for (const Row &l : rows(c, QStringLiteral("select * from UXF_List Where theNum='") + sqlText(number) + "'")) {
        const QString bh = l.value(QStringLiteral("myBH")) + " ";
        out << fitLine({{bh + l.value(QStringLiteral("theName")), false, print::gbkWidth(bh)}});
        const QString zk = l.value(QStringLiteral("theZK"));
        QString zkText = zk;
        switch (print::gbkWidth(zk)) {
        case 3:
            zkText = "[" + zk + "%]";
            break;
        case 2:
            zkText = "[" + zk + "%] ";
            break;
        case 1:
            zkText = "[" + zk + "%]  ";
            break;
        default:
            break;
        }
        out << fitLine({{alignRight(money(l.value(QStringLiteral("theCount"))), 6, {4, 5}), true},
                        {alignRight(money(l.value(QStringLiteral("thePrice"))), 8, kMoney8), true},
                        {zkText},
                        {alignRight(money(l.value(QStringLiteral("theMoney"))), 8, kMoney8), true}});
    }
    out << kSeparator;
    // Two labelled fields a line: each goes on a line of its own when they do not fit together.
    auto pair = [](const char *first, const QString &firstValue, const char *second, const QString &secondValue) {
        return fitLine({{QString::fromUtf8(first) + firstValue, false, 5},
                        {QString::fromUtf8(second) + secondValue, false, 5}});
    };
    out << pair("数量 ", alignLeft(money(v("theCount")), 8, kMoney8), "金额 ", money(v("theSum")));
    out << pair("折上 ", alignLeft(v("theZK") + "%", 8, {2, 3, 4}), "折让 ", money(v("theZR")));
    out << fitLine({{QStringLiteral("合计 ") + money(v("theHJ")), false, 5}});
    out << fitLine({{QStringLiteral("大写 ") + v("theDX"), false, 5}});
    out << pair("实收 ", alignLeft(money(v("theSJ")), 8, kMoney8), "应收 ", money(v("theYE")));
    out << kSeparator;
    for (const Row &p : rows(c, QStringLiteral("select * from UXF_SK Where theNum='") + sqlText(number) + "'")) {
        out << fitLine(
                {{p.value(QStringLiteral("SKDate")) + alignLeft(p.value(QStringLiteral("theSMType")), 8, {4, 6})},
                 {alignRight(money(p.value(QStringLiteral("theMoney"))), 9, {4, 5, 6, 7, 8}), true}});
    }
    out << kSeparator;
    out << pair("员工 ", v("WName"), " 制单 ", v("theUser"));
    if (isMember) out << fitLine({{QStringLiteral("本单积分 ") + money(v("theJF")), false, 9}});
    out << kSeparator;
    out << foot(shop, QStringLiteral(" "));
    return out;
}

}  // namespace receipts

namespace {
using Composer = QStringList (*)(vdb::Connection &, const QString &, const receipts::Shop &, const QString &);

void printReceipt(Composer compose, const QString &title, const QString &number)
{
    if (!frmDM) throw vdb::DbError(QStringLiteral("数据库未打开，无法打印小票！"));
    const QStringList lines = compose(*frmDM->ADOConnection1(), number, receipts::Shop::fromSettings(),
                                      QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
    print::printTextLines(title + " " + number, lines);
}
}  // namespace

void myPrintXF_Pos(const QString &number)
{
    printReceipt(&receipts::composeXF, QStringLiteral("消费单"), number);
}
void myPrintCZ_Pos(const QString &number)
{
    printReceipt(&receipts::composeCZ, QStringLiteral("储值单"), number);
}
void myPrintDH_Pos(const QString &number)
{
    printReceipt(&receipts::composeDH, QStringLiteral("兑换单"), number);
}

void printAfterSave(const QString &said, const std::function<void()> &print)
{
    try {
        print();
    } catch (const velmora::Error &e) {
        ui::warning(said.arg(e.message()));
    } catch (const std::exception &e) {
        ui::warning(said.arg(QString::fromUtf8(e.what())));
    }
}

}  // namespace velmora
