// Saves a member sale of three lines, a purchase of sixty lines, a return
// and eight goods through the program's own routines on a fresh database,
// prints them through the data module with no preview window, and draws
// every prepared page onto a PNG file (A4 at the given resolution); then
// shows each report in the preview window and saves the window at 100 % and
// at page width, every page of it.
//   velmora_docrender OUTDIR [DPI]
#include "core/Unit1.h"
#include "core/dm.h"
#include "platform/ui/application.h"
#include "report/lyrcanvas.h"
#include "report/lyrclass.h"
#include "report/lyrpage.h"
#include "reportengine/lyrpreview.h"
#include "reportengine/lyrpreviewpages.h"
#include "sales/SaleStore.h"
#include "sales/StockStore.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QString goods(vdb::Connection &c, const QString &code, const QString &name, const QString &type, double price)
{
    c.execute("INSERT INTO SShop (theType,theName,theUnit,thePrice,Remark,thePY,theState,theNum,theDate,theDel,theCB,"
              "theCount,theKC,theXF) VALUES (?,?,'个',?,'','',?,?,'2026-03-07','否',1,100,'是',0)",
              {type, name, price, QStringLiteral("启用"), code});
    return QString::number(c.lastInsertId());
}

// Every page of the report's last run as OUT/name-N.png.
bool draw(TlyrReport *r, const QString &out, const QString &name, int dpi)
{
    auto &pages = *static_cast<TlyrPreviewPages *>(r->PreviewPages());
    bool ok = pages.Count() > 0;
    const double scale = dpi / 96.0;
    for (int i = 0; i < pages.Count(); ++i) {
        TlyrReportPage *p = pages.GetPage(i);
        if (!p) return false;
        QImage image(int(p->PaperWidth() * lyrUnitsPerMM * scale), int(p->PaperHeight() * lyrUnitsPerMM * scale),
                     QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            TlyrCanvas canvas(&painter, dpi, dpi, false);
            pages.DrawPage(i, canvas, scale, scale, 0, 0);
        }
        const QString path = QStringLiteral("%1/%2-%3.png").arg(out, name).arg(i + 1);
        const bool saved = image.save(path);
        std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
        ok = ok && saved;
    }
    if (!r->Errors().isEmpty()) std::printf("%s: %s\n", qPrintable(name), qPrintable(r->Errors().join("; ")));
    return ok;
}

bool grab(QWidget &w, const QString &path)
{
    QApplication::processEvents();
    const bool saved = w.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    return saved;
}

// The report's prepared pages in the preview window, as OUT/name-preview-ZOOM-N.png.
bool shoot(TlyrReport *r, const QString &out, const QString &name)
{
    TlyrPreviewForm form;
    form.resize(1100, 850);
    r->PreviewOptions()->Maximized = false;
    r->SetPreview(form.Preview);
    form.Init(r);
    form.show();
    bool ok = true;
    const int pages = form.Preview->PageCount();
    for (const auto &[mode, label] :
         {std::pair{TlyrPreviewOptions::zmDefault, "100"}, std::pair{TlyrPreviewOptions::zmPageWidth, "pagewidth"}}) {
        if (mode == TlyrPreviewOptions::zmDefault)
            form.Preview->SetZoom(1);
        else
            form.Preview->SetZoomMode(mode);
        for (int i = 1; i <= pages; ++i) {
            form.Preview->SetPageNo(i);
            ok = grab(form, QStringLiteral("%1/%2-preview-%3-%4.png").arg(out, name, QLatin1String(label)).arg(i)) &&
                 ok;
        }
    }
    r->SetPreview(nullptr);
    return ok;
}

}  // namespace

int main(int argc, char **argv)
{
    ui::Application app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: velmora_docrender OUTDIR [DPI]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const int dpi = argc > 2 ? std::max(48, std::atoi(argv[2])) : 150;
    QDir().mkpath(out);
    QTemporaryDir data;
    TfrmDM dm;
    dm.openDatabase(data.filePath("Data/db.edb"), true);
    // The pages stay with the reports: nothing opens a preview window here.
    lyrEngineFactories().PreviewForm = nullptr;
    myLoginDate = QStringLiteral("2026-03-07");
    myUser = QStringLiteral("admin");

    vdb::Connection &c = *dm.ADOConnection1();
    c.execute("UPDATE SDept SET theName='好邻居便利店',theAdd='青岛市长江路1号',thePhone='0532-88886666',"
              "theGG='谢谢惠顾，欢迎再来！'");
    c.execute("INSERT INTO SType (theName,Remark,theState,theKC) VALUES ('饮料','','启用','是')");
    c.execute("INSERT INTO SWorker (theName,theState,Remark) VALUES ('小王','启用','')");
    c.execute("INSERT INTO SSup (theName,thePro,thePhone,theAdd,Remark,thePY,theDel) "
              "VALUES ('青岛啤酒厂','','','','','QDPJC','否')");
    const QString sup = QString::number(c.lastInsertId());
    c.execute("INSERT INTO Member (theNum,theName,thePY,theState,theDate,theSex,theType,theZK,theJFBL,theXF,theCZ,"
              "UseDate,UseCount,theUser,theJF,theDel,thePass,JSRNum) VALUES ('26000001','张三','ZS','启用',"
              "'2026-03-07','先生','普通会员',100,1,0,0,'1900-01-01',0,'admin',0,'否','','')");
    QStringList ids;
    const char *names[] = {"矿泉水", "可乐", "雪碧柠檬味汽水（大瓶装）330ml×24罐", "橙汁", "绿茶", "红茶",
                           "咖啡",   "牛奶"};
    for (int i = 0; i < 8; ++i)
        ids << goods(c, QStringLiteral("6901%1").arg(i + 1, 4, 10, QLatin1Char('0')), QString::fromUtf8(names[i]),
                     QStringLiteral("饮料"), 2.5 + i * 1000);

    sales::SaleDraft s;
    s.card = QStringLiteral("26000001");
    for (int i = 0; i < 3; ++i)
        s.lines.push_back({QStringLiteral("6901%1").arg(i + 1, 4, 10, QLatin1Char('0')), QString::fromUtf8(names[i]),
                           "个", "饮料", "", ids[i], "2.5", QString::number(i + 1), "100",
                           QString::number(2.5 * (i + 1)), "1"});
    s.goodsAmount = s.total = s.received = "15";
    s.extraDiscount = "100";
    s.reduction = "0";
    s.pointsRatio = "1";
    s.payment = "现金";
    s.cashier = s.worker = "小王";
    s.remark = "老客户";
    s.saleDate = s.businessDate = myLoginDate;
    s.user = myUser;
    const QString sale = sales::saveSale(c, s).number;

    auto stock = [&](sales::StockKind k, int lines) {
        sales::StockDraft d;
        d.kind = k;
        d.supplierText = d.supplier = QStringLiteral("青岛啤酒厂");
        d.supplierId = sup;
        for (int i = 1; i <= lines; ++i)
            d.lines.push_back({i, QStringLiteral("6901%1").arg(i % 8 + 1, 4, 10, QLatin1Char('0')),
                               QString::fromUtf8(names[i % 8]), "个", "饮料", "", ids[i % 8], "1.25",
                               QString::number(i)});
        d.payment = "现金";
        d.worker = "小王";
        d.remark = "月初补货";
        d.docDate = myLoginDate;
        d.businessDate = myLoginDate;
        d.user = myUser;
        return sales::saveStock(c, d).number;
    };
    const QString jh = stock(sales::StockKind::Purchase, 60);
    const QString th = stock(sales::StockKind::Return, 3);

    bool ok = true;
    try {
        dm.PrintXF(sale);
        ok = draw(dm.lyrR_XF, out, "xf", dpi) && ok;
        ok = shoot(dm.lyrR_XF, out, "xf") && ok;
        dm.PrintJH(jh);
        ok = draw(dm.lyrR_JH, out, "jh", dpi) && ok;
        ok = shoot(dm.lyrR_JH, out, "jh") && ok;
        dm.PrintTH(th);
        ok = draw(dm.lyrR_TH, out, "th", dpi) && ok;
        ok = shoot(dm.lyrR_TH, out, "th") && ok;
        dm.PrintTM(QString());
        ok = draw(dm.lyrR_TM, out, "tm", dpi) && ok;
        ok = shoot(dm.lyrR_TM, out, "tm") && ok;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return ok ? 0 : 1;
}
