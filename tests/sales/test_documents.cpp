// The printed sale, purchase and return documents and the goods labels:
// documents saved through the program's own routines, printed with the
// preview replaced by a double, and the prepared pages read object by object.

#include "list_fixture.h"
#include "preview_double.h"

#include "report/lyrcanvas.h"
#include "report/lyrclass.h"
#include "report/lyrpage.h"
#include "report/lyrview.h"
#include "reportengine/lyrBarcode.h"
#include "reportengine/lyrpreviewpages.h"
#include "reportengine/lyrprinter.h"
#include "reportengine/lyrprogress.h"
#include "sales/GoodsLists.h"
#include "sales/StockLists.h"
#include "sales/StockStore.h"
#include "sales/XF_M.h"

#include <QDateTime>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <cmath>

namespace {

// One prepared text object: its text and its place in millimetres (from
// the page's margins).
struct Cell {
    QString text;
    double left, top, width, height;
};

// "%2.2n": two decimals after ".", thousands grouped by ",".
QString money(double v)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(v, 'f', 2);
}

class DocumentsTest : public SaleListTest {
protected:
    void SetUp() override
    {
        SaleListTest::SetUp();
        exec("UPDATE SDept SET theName='好邻居',theAdd='长江路1号',thePhone='0532-1234',theGG='欢迎再来'");
        exec("INSERT INTO SSup (theName,thePro,thePhone,theAdd,Remark,thePY,theDel) "
             "VALUES ('青岛啤酒厂','','','','','QDPJC','否')");
        supplier = QString::number(c().lastInsertId());
    }

    static TlyrPreviewPages &pagesOf(TlyrReport *r) { return *static_cast<TlyrPreviewPages *>(r->PreviewPages()); }
    // The text objects of a prepared page in the order the engine placed them.
    static std::vector<Cell> cells(TlyrReport *r, int page)
    {
        std::vector<Cell> out;
        TlyrReportPage *p = pagesOf(r).GetPage(page);
        if (!p) return out;
        for (TlyrComponent *c : p->AllObjects())
            if (c->IsTextObject())
                out.push_back({c->ComponentText(), c->AbsLeft() / lyrUnitsPerMM, c->AbsTop() / lyrUnitsPerMM,
                               c->Width() / lyrUnitsPerMM, c->Height() / lyrUnitsPerMM});
        return out;
    }
    static QStringList texts(TlyrReport *r, int page)
    {
        QStringList out;
        for (const Cell &c : cells(r, page)) out << c.text;
        return out;
    }
    // The cells of one printed row (same top) that starts with the cell of text `first`.
    static std::vector<Cell> rowOf(TlyrReport *r, int page, const QString &first, int count)
    {
        const std::vector<Cell> all = cells(r, page);
        for (size_t i = 0; i < all.size(); ++i)
            if (all[i].text == first && i + count <= all.size())
                return std::vector<Cell>(all.begin() + i, all.begin() + i + count);
        return {};
    }
    static QStringList textsOf(const std::vector<Cell> &row)
    {
        QStringList out;
        for (const Cell &c : row) out << c.text;
        return out;
    }
    // Expects the cells' left edges and widths (millimetres).
    static void expectPlaces(const std::vector<Cell> &row, const std::vector<std::pair<double, double>> &places)
    {
        ASSERT_EQ(row.size(), places.size());
        for (size_t i = 0; i < row.size(); ++i) {
            EXPECT_NEAR(row[i].left, places[i].first, 0.01) << row[i].text.toStdString();
            EXPECT_NEAR(row[i].width, places[i].second, 0.01) << row[i].text.toStdString();
        }
    }
    static QString printTime(const QStringList &t, const QString &prefix)
    {
        for (const QString &s : t)
            if (s.startsWith(prefix) &&
                QRegularExpression("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$").match(s).hasMatch())
                return s.mid(prefix.size());
        return {};
    }
    // The print time is the moment of printing: today, in date and time.
    static void expectPrintedNow(const QStringList &t, const QString &prefix, const QDate &before)
    {
        const QString when = printTime(t, prefix);
        ASSERT_FALSE(when.isEmpty()) << t.join(" | ").toStdString();
        const QDate day = QDate::fromString(when.left(10), "yyyy-MM-dd");
        EXPECT_TRUE(day == before || day == QDate::currentDate()) << when.toStdString();
    }
    // The shop's address, phone and note, and the print time.
    static void expectShopFooter(const QStringList &t, const QString &timePrefix, const QDate &before)
    {
        EXPECT_TRUE(t.contains("联系地址：长江路1号"));
        EXPECT_TRUE(t.contains("联系电话：0532-1234"));
        EXPECT_TRUE(t.contains("欢迎再来"));
        expectPrintedNow(t, timePrefix, before);
    }

    sales::StockDraft stockDraft(sales::StockKind k, int lines)
    {
        sales::StockDraft d;
        d.kind = k;
        d.supplierText = d.supplier = "青岛啤酒厂";
        d.supplierId = supplier;
        for (int i = 1; i <= lines; ++i) {
            const bool even = i % 2 == 0;
            d.lines.push_back({i, even ? "b1" : "a1", even ? "洗车" : "可乐", "个", even ? "服务" : "饮料",
                               even ? "XC" : "KL", even ? b1 : a1, even ? "12.5" : "1234.5", QString::number(i)});
        }
        d.payment = "现金";
        d.worker = "小王";
        d.remark = "月初补货";
        d.docDate = "2026-03-05";
        d.businessDate = myLoginDate;
        d.user = "admin";
        return d;
    }
    QString saveStock(const sales::StockDraft &d)
    {
        const sales::StockResult r = sales::saveStock(c(), d);
        EXPECT_FALSE(r.refusal) << r.refusal.message.toStdString();
        return r.number;
    }

    ScopedPreviewDouble preview;
    QStringList &shown = preview.shown;
    QString supplier;
};

// The columns of the sale document's lines and of its column titles (mm).
const std::vector<std::pair<double, double>> kSaleLine = {{0, 10},   {10, 25},  {36, 54},  {90, 18},
                                                          {108, 23}, {132, 17}, {152, 10}, {164, 27}};
const std::vector<std::pair<double, double>> kSaleTitles = {{0, 10},   {11, 23},  {36, 53},  {92, 14},
                                                            {110, 20}, {134, 14}, {152, 10}, {166, 24}};

TEST_F(DocumentsTest, MemberSaleOfThreeLines)
{
    sales::SaleDraft d = sale();
    addGoods("c1", "大瓶装矿泉水", "饮料", "1234.5", "1000", "是", "10");
    const QString c1 = one("select ID from SShop where theNum='c1'");
    d.lines.push_back({"c1", "大瓶装矿泉水", "个", "饮料", "DPZ", c1, "1234.5", "0.5", "100", "617.25", "1000"});
    d.goodsAmount = "655.25";
    d.extraDiscount = "95";
    d.reduction = "0.24";
    d.total = "622.25";
    d.received = "600";
    d.remark = "老客户";
    const QString n = save(d);
    const QDate today = QDate::currentDate();
    frmDM->PrintXF(n);

    TlyrReport *r = frmDM->lyrR_XF;
    EXPECT_EQ(shown, QStringList{"lyrR_XF"});
    EXPECT_EQ(r->FileName, "Print/xf.yl3");
    ASSERT_EQ(pagesOf(r).Count(), 1);
    const std::vector<Cell> all = cells(r, 0);
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all[0].text, "好邻居消费单");
    EXPECT_NEAR(all[0].left, 0, 0.01);
    EXPECT_NEAR(all[0].width, 192, 0.01);
    EXPECT_NEAR(all[0].height, 7, 0.01);

    const std::vector<Cell> head = rowOf(r, 0, "客户类型：会员", 4);
    EXPECT_EQ(textsOf(head),
              QStringList({"客户类型：会员", "会员卡号：" + card, "消费日期：2026-03-07", "消费单号：" + n}));
    expectPlaces(head, {{2, 44}, {50, 44}, {98, 44}, {146, 44}});
    for (const Cell &c : head) EXPECT_NEAR(c.top, 8, 0.01);

    const std::vector<Cell> titles = rowOf(r, 0, "序号", 8);
    EXPECT_EQ(textsOf(titles), QStringList({"序号", "商品编码", "商品名称", "单位", "单价", "数量", "折扣", "金额"}));
    expectPlaces(titles, kSaleTitles);

    // Every line from the database, money as "%2.2n".
    const QStringList lines = rows("select myBH,SNum,theName,theUnit,thePrice,theCount,theZK,theMoney from UXF_List "
                                   "where theNum='" +
                                   n + "' order by ID");
    ASSERT_EQ(lines.size(), 3);
    double top = 19;
    double quantities = 0;
    for (const QString &line : lines) {
        const QStringList v = line.split('|');
        const std::vector<Cell> row = rowOf(r, 0, v[0], 8);
        EXPECT_EQ(textsOf(row), QStringList({v[0], v[1], v[2], v[3], money(v[4].toDouble()), money(v[5].toDouble()),
                                             v[6] + "%", money(v[7].toDouble())}));
        expectPlaces(row, kSaleLine);
        if (!row.empty()) EXPECT_NEAR(row[0].top, top, 0.01);
        top += 5;
        quantities += v[5].toDouble();
    }
    // Thousands are grouped as "%2.2n" does.
    EXPECT_TRUE(texts(r, 0).contains("1,234.50"));

    const QStringList bill = rows("select theDX,theSum,theZK,theZR,theHJ,theSJ,theYE,theJF,WName,theUser,Remark "
                                  "from UXF where theNum='" +
                                  n + "'")
                                     .value(0)
                                     .split('|');
    const std::vector<Cell> total = rowOf(r, 0, "合计", 4);
    EXPECT_EQ(textsOf(total),
              QStringList({"合计", "合计大写：" + bill[0], money(quantities), money(bill[1].toDouble())}));
    expectPlaces(total, {{0, 10}, {12, 118}, {132, 17}, {152, 39}});
    EXPECT_EQ(textsOf(rowOf(r, 0, "折上折扣", 8)),
              QStringList({"折上折扣", bill[2] + "%", "折让金额", money(bill[3].toDouble()), "合计金额",
                           money(bill[4].toDouble()), "实收金额", money(bill[5].toDouble())}));
    EXPECT_EQ(textsOf(rowOf(r, 0, "应收金额", 8)),
              QStringList({"应收金额", money(bill[6].toDouble()), "本单积分", money(bill[7].toDouble()), "员工姓名",
                           bill[8], "制单人员", bill[9]}));
    EXPECT_EQ(textsOf(rowOf(r, 0, "备注", 2)), QStringList({"备注", bill[10]}));
    expectShopFooter(texts(r, 0), "打印时间：", today);
}

// The rules of a prepared page, "v x top height" or "h x top width" in mm.
QStringList rules(TlyrReportPage *page)
{
    QStringList out;
    auto mm = [](double units) { return QString::number(units / lyrUnitsPerMM, 'f', 2); };
    for (TlyrComponent *c : page->AllObjects())
        if (qobject_cast<TlyrLineView *>(c))
            out << (c->Width() == 0 ? "v " + mm(c->AbsLeft()) + " " + mm(c->AbsTop()) + " " + mm(c->Height())
                                    : "h " + mm(c->AbsLeft()) + " " + mm(c->AbsTop()) + " " + mm(c->Width()));
    out.sort();
    return out;
}

QString rule(char kind, double x, double top, double length)
{
    return QStringLiteral("%1 %2 %3 %4").arg(QChar(kind)).arg(x, 0, 'f', 2).arg(top, 0, 'f', 2).arg(length, 0, 'f', 2);
}

// The table grid: header row, every line and the footer's boxes.
TEST_F(DocumentsTest, SaleDocumentGrid)
{
    frmDM->PrintXF(save(sale()));
    QStringList expected;
    const double columns[] = {0, 10, 35, 90, 108, 132, 150, 164, 192};
    expected << rule('h', 0, 14, 192) << rule('h', 0, 19, 192);
    for (double x : columns) expected << rule('v', x, 14, 5);
    for (double top : {19.0, 24.0}) {
        for (double x : columns) expected << rule('v', x, top, 5);
        expected << rule('h', 0, top + 5, 192);
    }
    const double f = 29;
    for (double x : {0.0, 192.0}) expected << rule('v', x, f, 20);
    for (double x : {10.0, 132.0, 150.0}) expected << rule('v', x, f, 5);
    expected << rule('v', 20, f + 5, 15);
    for (double x : {48.0, 68.0, 96.0, 116.0, 144.0, 164.0}) expected << rule('v', x, f + 5, 10);
    for (double y : {5.0, 10.0, 15.0, 20.0}) expected << rule('h', 0, f + y, 192);
    expected.sort();
    EXPECT_EQ(rules(pagesOf(frmDM->lyrR_XF).GetPage(0)), expected);
}

// The purchase and return grid: no discount column, a footer of two rows.
TEST_F(DocumentsTest, PurchaseDocumentGrid)
{
    frmDM->PrintJH(saveStock(stockDraft(sales::StockKind::Purchase, 1)));
    QStringList expected;
    const double columns[] = {0, 10, 35, 90, 108, 132, 150, 192};
    expected << rule('h', 0, 17, 192) << rule('h', 0, 22, 192);
    for (double x : columns) expected << rule('v', x, 17, 5) << rule('v', x, 22, 5);
    expected << rule('h', 0, 27, 192);
    const double f = 27;
    for (double x : {0.0, 192.0}) expected << rule('v', x, f, 10);
    for (double x : {10.0, 132.0, 150.0}) expected << rule('v', x, f, 5);
    for (double x : {20.0, 48.0, 68.0, 96.0, 116.0}) expected << rule('v', x, f + 5, 5);
    for (double y : {5.0, 10.0}) expected << rule('h', 0, f + y, 192);
    expected.sort();
    EXPECT_EQ(rules(pagesOf(frmDM->lyrR_JH).GetPage(0)), expected);
}

TEST_F(DocumentsTest, WalkInSalePrintsAnEmptyCardNumber)
{
    const QString n = save(sale("38", "现金", true));
    frmDM->PrintXF(n);
    TlyrReport *r = frmDM->lyrR_XF;
    ASSERT_EQ(pagesOf(r).Count(), 1);
    const QStringList t = texts(r, 0);
    EXPECT_TRUE(t.contains("客户类型：散客"));
    EXPECT_TRUE(t.contains("会员卡号："));
    EXPECT_EQ(textsOf(rowOf(r, 0, "本单积分", 2)), QStringList({"本单积分", money(0)}));
    // Printed again, the pages of the last run are gone.
    frmDM->PrintXF(n);
    EXPECT_EQ(pagesOf(r).Count(), 1);
    EXPECT_EQ(shown.size(), 2);
}

TEST_F(DocumentsTest, PurchaseOfSixtyLinesContinuesOnASecondPage)
{
    const QDate today = QDate::currentDate();
    const QString n = saveStock(stockDraft(sales::StockKind::Purchase, 60));
    frmDM->PrintJH(n);
    TlyrReport *r = frmDM->lyrR_JH;
    EXPECT_EQ(shown, QStringList{"lyrR_JH"});
    EXPECT_EQ(r->FileName, "Print/jh.yl3");
    ASSERT_EQ(pagesOf(r).Count(), 2);

    const QStringList lines = rows("select myBH,SNum,theName,theUnit,theCB,theCount,theMoney from UJH_List "
                                   "where theNum='" +
                                   n + "' order by ID");
    ASSERT_EQ(lines.size(), 60);
    QStringList printed;
    double lastTop = 0;
    for (int page = 0; page < 2; ++page) {
        const QStringList t = texts(r, page);
        // The header on every page.
        EXPECT_EQ(t.value(0), "好邻居进货单") << page;
        EXPECT_TRUE(t.contains("供应商：青岛啤酒厂"));
        EXPECT_TRUE(t.contains("进货日期：2026-03-05"));
        EXPECT_TRUE(t.contains("进货单号：" + n));
        const std::vector<Cell> titles = rowOf(r, page, "序号", 7);
        EXPECT_EQ(textsOf(titles), QStringList({"序号", "商品编码", "商品名称", "单位", "单价", "数量", "金额"}));
        expectPlaces(titles, {{0, 10}, {11, 23}, {36, 53}, {92, 14}, {110, 20}, {134, 14}, {152, 38}});
        for (const QString &line : lines) {
            const QStringList v = line.split('|');
            const std::vector<Cell> row = rowOf(r, page, v[0], 7);
            if (row.empty() || textsOf(row).value(1) != v[1]) continue;
            EXPECT_EQ(textsOf(row), QStringList({v[0], v[1], v[2], v[3], money(v[4].toDouble()), money(v[5].toDouble()),
                                                 money(v[6].toDouble())}));
            expectPlaces(row, {{0, 10}, {10, 25}, {36, 54}, {90, 18}, {108, 23}, {132, 17}, {152, 39}});
            printed << v[0];
            if (page == 1) lastTop = row[0].top;
        }
        // The footer only after the last line.
        EXPECT_EQ(t.contains("联系地址：长江路1号"), page == 1) << page;
    }
    QStringList all;
    for (int i = 1; i <= 60; ++i) all << QString::number(i);
    EXPECT_EQ(printed, all);

    double quantities = 0;
    for (const QString &line : lines) quantities += line.split('|')[5].toDouble();
    const QStringList doc = rows("select theDX,theSum from UJH where theNum='" + n + "'").value(0).split('|');
    const std::vector<Cell> total = rowOf(r, 1, "合计", 4);
    EXPECT_EQ(textsOf(total),
              QStringList({"合计", "付款大写：" + doc[0], money(quantities), money(doc[1].toDouble())}));
    ASSERT_FALSE(total.empty());
    EXPECT_NEAR(total[0].top, lastTop + 5, 0.01);
    EXPECT_EQ(textsOf(rowOf(r, 1, "付款方式", 6)),
              QStringList({"付款方式", "现金", "员工姓名", "小王", "备注", "月初补货"}));
    EXPECT_TRUE(texts(r, 1).contains("制单人员：admin"));
    expectShopFooter(texts(r, 1), "", today);
}

TEST_F(DocumentsTest, ReturnDocument)
{
    const QString n = saveStock(stockDraft(sales::StockKind::Return, 2));
    frmDM->PrintTH(n);
    TlyrReport *r = frmDM->lyrR_TH;
    EXPECT_EQ(shown, QStringList{"lyrR_TH"});
    EXPECT_EQ(r->FileName, "Print/th.yl3");
    ASSERT_EQ(pagesOf(r).Count(), 1);
    const QStringList t = texts(r, 0);
    EXPECT_EQ(t.value(0), "好邻居退货单");
    EXPECT_TRUE(t.contains("供应商：青岛啤酒厂"));
    EXPECT_TRUE(t.contains("退货日期：2026-03-05"));
    EXPECT_TRUE(t.contains("退货单号：" + n));
    EXPECT_EQ(textsOf(rowOf(r, 0, "1", 7)), QStringList({"1", "a1", "可乐", "个", "1,234.50", "1.00", "1,234.50"}));
    EXPECT_EQ(textsOf(rowOf(r, 0, "2", 7)), QStringList({"2", "b1", "洗车", "个", "12.50", "2.00", "25.00"}));
    const QString dx = one("select theDX from UTH where theNum='" + n + "'");
    EXPECT_EQ(textsOf(rowOf(r, 0, "合计", 4)), QStringList({"合计", "收款大写：" + dx, "3.00", "1,259.50"}));
    const std::vector<Cell> pay = rowOf(r, 0, "收款方式", 2);
    EXPECT_EQ(textsOf(pay), QStringList({"收款方式", "现金"}));
    if (pay.size() == 2) EXPECT_NEAR(pay[1].left, 22, 0.01);
}

// A number that matches nothing prints the page with empty values and no
// lines, and says nothing.
TEST_F(DocumentsTest, UnknownNumberPrintsAnEmptyPage)
{
    save(sale());
    msgs.clear();
    frmDM->PrintXF("0000000000");
    TlyrReport *r = frmDM->lyrR_XF;
    EXPECT_EQ(msgs.count(), 0) << msgs.last().toStdString();
    ASSERT_EQ(pagesOf(r).Count(), 1);
    const QStringList t = texts(r, 0);
    EXPECT_TRUE(t.contains("客户类型："));
    EXPECT_TRUE(t.contains("消费单号："));
    EXPECT_FALSE(t.contains("a1"));
    EXPECT_FALSE(t.contains("可乐"));
    // A quote in the number is only text.
    EXPECT_NO_THROW(frmDM->PrintJH("x') OR ('1'='1"));
    EXPECT_FALSE(texts(frmDM->lyrR_JH, 0).contains("可乐"));
}

TEST_F(DocumentsTest, ConditionsAndKindsAreCheckedBeforeTheyReachTheDatabase)
{
    EXPECT_THROW(frmDM->PrintDJ("1) OR (1=1"), vdb::DbError);
    EXPECT_THROW(frmDM->PrintTM("; DELETE FROM SShop"), vdb::DbError);
    EXPECT_THROW(frmDM->PrintTM(" OR (1=1)"), vdb::DbError);
    EXPECT_EQ(count("SShop"), 2);
    EXPECT_TRUE(shown.isEmpty());
}

// ---------------------------------------------------------------- labels

class LabelsTest : public DocumentsTest {
protected:
    // The page (its top `heightMM`, 0: all of it) drawn at that resolution;
    // the texts drawn are kept in `drawn`.
    QImage render(int page, int dpi = 288, double heightMM = 0)
    {
        TlyrReportPage *p = pagesOf(frmDM->lyrR_TM).GetPage(page);
        const double scale = dpi / 96.0;
        const double height = heightMM > 0 ? heightMM : p->PaperHeight();
        QImage image(int(p->PaperWidth() * lyrUnitsPerMM * scale), int(height * lyrUnitsPerMM * scale),
                     QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        TlyrRecordingCanvas canvas(dpi, false, &painter);
        pagesOf(frmDM->lyrR_TM).DrawPage(page, canvas, scale, scale, 0, 0);
        drawn = canvas.AllText();
        return image;
    }
    // Goods with 13-digit codes that carry their EAN-13 check digit.
    QStringList addEanGoods(int count)
    {
        QStringList codes;
        for (int i = 1; i <= count; ++i) {
            const QString twelve = QStringLiteral("690123456%1").arg(i, 3, 10, QLatin1Char('0'));
            codes << twelve + lyrBarcodeDetail::modulo10(twelve);
            addGoods(codes.last(), QStringLiteral("商品%1").arg(i), "饮料", "1");
        }
        return codes;
    }
    // The label page printed to a PDF file by a printer of that resolution.
    QByteArray printToPdf(int dpi)
    {
        std::vector<std::unique_ptr<TlyrCustomPrinter>> list;
        list.push_back(std::make_unique<TlyrPrinter>("NoSuchQueue", QString()));
        lyrPrinters().SetPrinters(std::move(list), QString());
        const auto restore = qScopeGuard([] { lyrRefreshPrinters(); });
        TlyrCustomPrinter *printer = lyrPrinters().Printer();
        printer->DpiX = printer->DpiY = dpi;
        const QString file = dir.filePath(QStringLiteral("labels%1.pdf").arg(dpi));
        printer->FileName = file;
        frmDM->lyrR_TM->PrintOptions()->ShowDialog = false;
        EXPECT_TRUE(pagesOf(frmDM->lyrR_TM).Print()) << frmDM->lyrR_TM->Errors().join('\n').toStdString();
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // What a poppler tool prints for a PDF (and the files it writes in `dir`).
    QString poppler(const QString &tool, const QByteArray &pdf, const QStringList &args)
    {
        const QString file = dir.filePath("in.pdf");
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
        f.write(pdf);
        f.close();
        QProcess p;
        p.start(tool,
                QStringList(args) << file
                                  << (tool == "pdftotext" ? QStringList{"-"} : QStringList{dir.filePath("page")}));
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    QStringList decode(const QImage &image)
    {
        const QString png = dir.filePath("labels.png");
        image.save(png);
        QProcess p;
        p.start("zbarimg", {"-q", "--nodbus", png});
        p.waitForFinished(30000);
        QStringList out = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        out.sort();
        return out;
    }
    struct Label {
        QString code;
        double left, top;
    };
    std::vector<Label> labels(int page)
    {
        std::vector<Label> out;
        for (TlyrComponent *c : pagesOf(frmDM->lyrR_TM).GetPage(page)->AllObjects())
            if (auto *b = qobject_cast<TlyrBarCodeView *>(c))
                out.push_back({b->Text(), b->AbsLeft() / lyrUnitsPerMM, b->AbsTop() / lyrUnitsPerMM});
        return out;
    }
    QString drawn;
};

TEST_F(LabelsTest, SevenLiveGoodsGiveSevenLabelsInThreeColumns)
{
    QStringList codes;
    for (int i = 1; i <= 7; ++i) {
        codes << QStringLiteral("6901%1").arg(i, 4, 10, QLatin1Char('0'));
        addGoods(codes.last(), QStringLiteral("商品%1").arg(i), "饮料", QString::number(i * 1000 + 0.5));
    }
    addGoods("69019999", "已删除", "饮料", "1");
    exec("UPDATE SShop SET theDel='是' WHERE theNum='69019999'");
    // Only the goods of the list's condition.
    frmDM->PrintTM(" AND (theNum like '6901%')");
    EXPECT_EQ(shown, QStringList{"lyrR_TM"});
    EXPECT_EQ(frmDM->lyrR_TM->FileName, "Print/tm.yl3");
    ASSERT_EQ(pagesOf(frmDM->lyrR_TM).Count(), 1);
    const std::vector<Label> l = labels(0);
    ASSERT_EQ(l.size(), 7u);
    const double columns[] = {0, 63.33, 126.67};
    for (size_t i = 0; i < l.size(); ++i) {
        EXPECT_EQ(l[i].code, codes[int(i)]);
        EXPECT_NEAR(l[i].left, columns[i % 3], 0.01) << i;
        EXPECT_NEAR(l[i].top, 46.0 * double(i / 3), 0.01) << i;
    }
    const QStringList t = texts(frmDM->lyrR_TM, 0);
    EXPECT_TRUE(t.contains("名称：商品1"));
    EXPECT_TRUE(t.contains("分类：饮料"));
    EXPECT_TRUE(t.contains("单位：个"));
    EXPECT_TRUE(t.contains("单价：7,000.50"));

    QStringList expected;
    for (const QString &code : codes) expected << "CODE-39:" + code;
    EXPECT_EQ(decode(render(0)), expected);

    // An empty condition prints every live goods item.
    frmDM->PrintTM("");
    EXPECT_EQ(labels(0).size(), size_t(count("SShop", "theDel='否'")));
}

// Drawn at the resolutions of screens and of office and label printers,
// every label decodes: each module takes whole dots of the device.
TEST_F(LabelsTest, LabelsDecodeAtEveryPrinterResolution)
{
    const QStringList codes = addEanGoods(6);
    // Each print builds the template's objects again: look the barcode up anew.
    auto barcode = [] { return qobject_cast<TlyrBarCodeView *>(frmDM->lyrR_TM->FindObject("BarCode1")); };
    const std::pair<TlyrBarcodeType, QString> kinds[] = {
            {bcCode39, "CODE-39:"}, {bcCode128B, "CODE-128:"}, {bcCodeEAN13, "EAN-13:"}};
    for (const auto &[type, symbology] : kinds) {
        ASSERT_NE(barcode(), nullptr);
        barcode()->SetBarType(type);
        frmDM->PrintTM(" AND (theNum like '6901234%')");
        ASSERT_EQ(labels(0).size(), 6u);
        QStringList expected;
        for (const QString &code : codes) expected << symbology + code;
        expected.sort();
        // Two rows of labels.
        for (int dpi : {96, 120, 150, 200, 203, 300, 600})
            EXPECT_EQ(decode(render(0, dpi, 105)), expected) << symbology.toStdString() << " at " << dpi << " dpi";
    }
    barcode()->SetBarType(bcCode39);
}

// Printed to a PDF at 600 dpi, the code under the bars is as high as on a
// 96 dpi canvas, and the bars stop above it.
TEST_F(LabelsTest, PrintedCodeTextIsAsHighAsOnTheScreenAndBelowTheBars)
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty()) GTEST_SKIP() << "poppler-utils not installed";
    const QString code = addEanGoods(1).first();
    frmDM->PrintTM(" AND (theNum like '6901234%')");
    struct Box {
        double top = 0, bottom = 0, left = 0;
    };
    // The code's word box (points), and the lowest point of the first bar.
    auto measure = [&](int dpi, Box &text, double &barsEnd) {
        const QByteArray pdf = printToPdf(dpi);
        ASSERT_TRUE(pdf.startsWith("%PDF")) << dpi;
        const QString boxes = poppler("pdftotext", pdf, {"-bbox"});
        QRegularExpression word("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"[0-9.]+\" "
                                "yMax=\"([0-9.]+)\">([^<]*)</word>");
        bool found = false;
        for (auto it = word.globalMatch(boxes); it.hasNext();) {
            const auto m = it.next();
            if (m.captured(4) != code) continue;
            text = {m.captured(2).toDouble(), m.captured(3).toDouble(), m.captured(1).toDouble()};
            found = true;
        }
        ASSERT_TRUE(found) << boxes.toStdString();
        const int r = 300;
        poppler("pdftoppm", pdf, {"-r", QString::number(r), "-gray", "-png", "-singlefile"});
        const QImage page(dir.filePath("page.png"));
        ASSERT_FALSE(page.isNull());
        const double px = r / 72.0;
        // The start character's first bar, a few points above the text.
        const int y0 = int((text.top - 6) * px);
        int x = 0;
        while (x < page.width() && qGray(page.pixel(x, y0)) >= 128) ++x;
        ASSERT_LT(x, int(text.left * px)) << dpi;
        int y = y0;
        while (y < page.height() && qGray(page.pixel(x, y)) < 128) ++y;
        barsEnd = y / px;
    };
    Box screen, printed;
    double screenBars = 0, printedBars = 0;
    measure(96, screen, screenBars);
    measure(600, printed, printedBars);
    const double screenHeight = screen.bottom - screen.top, printedHeight = printed.bottom - printed.top;
    // 11 pixels of 96 dpi are 8.25 points.
    EXPECT_GT(screenHeight, 7.5);
    EXPECT_NEAR(printedHeight, screenHeight, screenHeight * 0.1);
    EXPECT_LE(screenBars, screen.top + 0.5);
    EXPECT_LE(printedBars, printed.top + 0.5);
}

// Labels of a long goods list are built under the progress window: the
// goods list stays disabled meanwhile, Cancel is reached by the keyboard and
// stops the build, and a stopped build opens no preview.
TEST_F(LabelsTest, LongLabelRunsShowProgressAndStopOnCancel)
{
    vdb::Transaction t(c());
    for (int i = 1; i <= 400; ++i)
        addGoods(QStringLiteral("6902%1").arg(i, 4, 10, QLatin1Char('0')), QStringLiteral("商品%1").arg(i), "饮料", "1");
    t.commit();
    TfrmShop_M w;
    w.show();
    QApplication::setActiveWindow(&w);
    w.BitBtn1->setFocus();
    QTest::keyClick(w.BitBtn1, Qt::Key_Return);  // 查询
    ASSERT_TRUE(w.BitBtn4->isEnabled());
    for (bool cancel : {false, true}) {
        SCOPED_TRACE(cancel);
        QApplication::setActiveWindow(&w);
        shown.clear();
        int progressSeen = 0;
        bool listDisabled = false;
        QString message;
        // Watches for the progress window while the labels are built.
        QTimer watch;
        watch.setInterval(0);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            for (QWidget *top : QApplication::topLevelWidgets()) {
                auto *p = qobject_cast<TlyrProgress *>(top);
                if (!p || !p->isVisible()) continue;
                ++progressSeen;
                listDisabled = listDisabled || !w.isEnabled();
                message = p->Message();
                if (cancel && progressSeen == 3) {
                    ASSERT_TRUE(p->CancelB->isVisible());
                    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : p, Qt::Key_Escape);
                }
            }
        });
        watch.start();
        w.BitBtn4->setFocus();
        QTest::keyClick(w.BitBtn4, Qt::Key_Return);  // 条码
        watch.stop();
        EXPECT_GT(progressSeen, 2);
        EXPECT_TRUE(listDisabled);
        EXPECT_FALSE(message.isEmpty());
        EXPECT_TRUE(w.isEnabled());
        const int pages = pagesOf(frmDM->lyrR_TM).Count();
        if (cancel) {
            EXPECT_TRUE(shown.isEmpty());
            EXPECT_LT(pages, 23);
        } else {
            EXPECT_EQ(shown, QStringList{"lyrR_TM"});
            EXPECT_GE(pages, 23);
        }
    }
    // Afterwards the build of a document shows its preview as before.
    EXPECT_FALSE(frmDM->lyrR_TM->OldStyleProgress());
}

// The preview of thousands of label pages opens at once: the pages the
// engine just made are measured from their sheet, not built one by one, and
// each measures what it measures built.
TEST_F(LabelsTest, PagesJustMadeAreMeasuredWithoutBuildingThem)
{
    for (int i = 1; i <= 100; ++i)
        addGoods(QStringLiteral("6903%1").arg(i, 4, 10, QLatin1Char('0')), QStringLiteral("商品%1").arg(i), "饮料", "1");
    frmDM->PrintTM(" AND (theNum like '6903%')");
    TlyrPreviewPages &pages = pagesOf(frmDM->lyrR_TM);
    ASSERT_EQ(pages.Count(), 6);
    pages.ClearPageCache();
    std::vector<QSize> sizes;
    for (int i = 0; i < pages.Count(); ++i) sizes.push_back(pages.GetPageSize(i));
    EXPECT_EQ(pages.PageCacheCount(), 0);
    for (int i = 0; i < pages.Count(); ++i) {
        TlyrReportPage *built = pages.GetPage(i);
        ASSERT_NE(built, nullptr);
        EXPECT_EQ(sizes[size_t(i)], QSize(lyrRoundi(built->Width()), lyrRoundi(built->Height()))) << i;
        EXPECT_FALSE(sizes[size_t(i)].isEmpty());
    }
    // A page changed in the preview is written in full and measured built;
    // the others are still measured from their sheet.
    pages.ModifyPage(2, pages.GetPage(2));
    pages.ClearPageCache();
    for (int i = 0; i < pages.Count(); ++i) EXPECT_EQ(pages.GetPageSize(i), sizes[size_t(i)]);
    EXPECT_EQ(pages.PageCacheCount(), 1);
}

// A full sheet holds six rows of three; every following sheet starts again
// at its top left.
TEST_F(LabelsTest, FiftyNineGoodsFillFourSheets)
{
    for (int i = 1; i <= 59; ++i)
        addGoods(QStringLiteral("6901%1").arg(i, 4, 10, QLatin1Char('0')), QStringLiteral("商品%1").arg(i), "饮料", "1");
    frmDM->PrintTM(" AND (theNum like '6901%')");
    ASSERT_EQ(pagesOf(frmDM->lyrR_TM).Count(), 4);
    const double columns[] = {0, 63.33, 126.67};
    int n = 0;
    for (int page = 0; page < 4; ++page) {
        const std::vector<Label> l = labels(page);
        ASSERT_EQ(l.size(), page < 3 ? 18u : 5u) << page;
        for (size_t i = 0; i < l.size(); ++i, ++n) {
            EXPECT_EQ(l[i].code, QStringLiteral("6901%1").arg(n + 1, 4, 10, QLatin1Char('0')));
            EXPECT_NEAR(l[i].left, columns[i % 3], 0.01) << page << " " << i;
            EXPECT_NEAR(l[i].top, 46.0 * double(i / 3), 0.01) << page << " " << i;
        }
    }
}

// A code that Code 39 cannot encode prints the encoder's message on its
// label; the other labels still print.
TEST_F(LabelsTest, AnUnencodableCodeShowsItsErrorOnItsLabelOnly)
{
    addGoods("6902", "好码", "饮料", "1");
    addGoods("6903#", "坏码", "饮料", "1");
    addGoods("6904", "又一个", "饮料", "1");
    frmDM->PrintTM(" AND (theNum like '690%')");
    ASSERT_EQ(labels(0).size(), 3u);
    const QImage image = render(0);
    EXPECT_TRUE(drawn.contains("bad Data") && drawn.contains("<6903#>")) << drawn.toStdString();
    EXPECT_EQ(decode(image), QStringList({"CODE-39:6902", "CODE-39:6904"}));
}

// ---------------------------------------------------------------- windows

TEST_F(DocumentsTest, SaleListReprintsTheSelectedSale)
{
    const QString n = save(sale());
    TfrmXF_M w;
    w.BitBtn1Click();
    ASSERT_EQ(w.rowCount(), 1);
    w.selectRow(0);
    w.X1Click();
    EXPECT_EQ(shown, QStringList{"lyrR_XF"});
    EXPECT_TRUE(texts(frmDM->lyrR_XF, 0).contains("消费单号：" + n));
}

TEST_F(DocumentsTest, StockListsReprintAndGoodsListPrintsLabelsOfItsFilter)
{
    const QString jh = saveStock(stockDraft(sales::StockKind::Purchase, 1));
    const QString th = saveStock(stockDraft(sales::StockKind::Return, 1));
    reprintTheOnlyDocument<TfrmJH_M>();
    reprintTheOnlyDocument<TfrmTH_M>();
    EXPECT_EQ(shown, QStringList({"lyrR_JH", "lyrR_TH"}));
    EXPECT_TRUE(texts(frmDM->lyrR_JH, 0).contains("进货单号：" + jh));
    EXPECT_TRUE(texts(frmDM->lyrR_TH, 0).contains("退货单号：" + th));

    TfrmShop_M g;
    g.CheckBox3->setChecked(true);
    g.Edit2->setText("b1");
    g.BitBtn1Click();
    g.BitBtn4Click();
    EXPECT_EQ(shown.value(2), "lyrR_TM");
    ASSERT_EQ(pagesOf(frmDM->lyrR_TM).Count(), 1);
    EXPECT_TRUE(texts(frmDM->lyrR_TM, 0).contains("名称：洗车"));
    EXPECT_FALSE(texts(frmDM->lyrR_TM, 0).contains("名称：可乐"));
}

}  // namespace
