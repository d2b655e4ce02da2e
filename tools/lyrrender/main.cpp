// Lays out the sale document ("消费单") page header, three lines and the
// footer with the report objects (page, bands, memos, rules) and draws them
// as one prepared page would be drawn, onto an image of the given
// resolution. No engine runs: the bands are placed one below the other
// and the memos evaluate their own expressions (money as "%2.2n").
//   lyrrender OUT.png [DPI]
#include "platform/ui/application.h"
#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"

#include <QImage>
#include <QPainter>

#include <cstdio>

namespace {

double mm(double v)
{
    return v * lyrUnitsPerMM;
}

void setFont(TlyrComponent *c, int size, bool bold = false)
{
    TlyrFont f;
    f.SetName(QStringLiteral("Arial"));
    f.SetSize(size);
    f.SetStyle(bold ? TlyrFont::fsBold : 0);
    c->SetFont(&f);
}

TlyrMemoView *memo(TlyrBand *band, double l, double t, double w, double h, const QString &text,
                   TlyrHAlign align = haLeft, int size = 9)
{
    auto *m = new TlyrMemoView(band);
    m->SetBounds(mm(l), mm(t), mm(w), mm(h));
    m->SetText(text);
    m->SetHAlign(align);
    m->SetVAlign(vaCenter);
    m->SetWordWrap(false);
    setFont(m, size);
    return m;
}

void rule(TlyrBand *band, double x1, double y1, double x2, double y2)
{
    auto *l = new TlyrLineView(band);
    l->SetBounds(mm(x1), mm(y1), mm(x2 - x1), mm(y2 - y1));
}

QString money(double v)
{
    return QStringLiteral("[%1 #n%2.2n]").arg(v, 0, 'f', 4);
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ui::Application app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: lyrrender OUT.png [DPI]\n");
        return 2;
    }
    const int dpi = argc > 2 ? std::atoi(argv[2]) : 96;
    const double scale = dpi / 96.0;

    TlyrReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    auto *page = new TlyrReportPage(&report);
    page->SetLeftMargin(9);
    page->SetRightMargin(9);
    page->SetTopMargin(10);
    page->SetBottomMargin(10);

    auto *header = new TlyrPageHeader(page);
    header->SetBounds(0, 0, mm(192), mm(19));
    auto *title = memo(header, 0, 0, 192, 7, QStringLiteral("维尔摩拉生活超市消费单"), haCenter, 16);
    setFont(title, 16, true);
    memo(header, 2, 8, 44, 5, QStringLiteral("客户类型：金卡会员"));
    memo(header, 50, 8, 44, 5, QStringLiteral("会员卡号：0000012345"));
    memo(header, 98, 8, 44, 5, QStringLiteral("消费日期：2026-12-06"));
    memo(header, 146, 8, 44, 5, QStringLiteral("消费单号：XF202612060001"), haRight);
    const double titleX[] = {0, 11, 36, 92, 110, 134, 152, 166};
    const double titleW[] = {10, 23, 53, 14, 20, 14, 10, 24};
    const char *titles[] = {"序号", "商品编码", "商品名称", "单位", "单价", "数量", "折扣", "金额"};
    for (int i = 0; i < 8; ++i) memo(header, titleX[i], 14, titleW[i], 5, QString::fromUtf8(titles[i]), haCenter);
    const double grid[] = {0, 10, 35, 90, 108, 132, 150, 164, 192};
    rule(header, 0, 14, 192, 14);
    rule(header, 0, 19, 192, 19);
    for (double x : grid) rule(header, x, 14, x, 19);

    struct Line {
        const char *code;
        const char *name;
        const char *unit;
        double price, count, discount;
    };
    const Line lines[] = {
            {"6901234567890", "有机纯牛奶 250ml×12", "箱", 59.9, 2, 95},
            {"6909876543210", "进口特级初榨橄榄油 Extra Virgin Olive Oil 1L", "瓶", 128, 1, 100},
            {"2000000000017", "散装大米", "千克", 6.5, 12.5, 100},
    };
    QList<TlyrBand *> rows;
    double total = 0, count = 0;
    int no = 0;
    for (const Line &l : lines) {
        auto *band = new TlyrMasterData(page);
        band->SetBounds(0, 0, mm(192), mm(5));
        const double amount = l.price * l.count * l.discount / 100;
        total += amount;
        count += l.count;
        memo(band, 0, 0, 10, 5, QString::number(++no), haCenter);
        memo(band, 10, 0, 25, 5, QString::fromUtf8(l.code), haCenter);
        memo(band, 36, 0, 54, 5, QString::fromUtf8(l.name));
        memo(band, 90, 0, 18, 5, QString::fromUtf8(l.unit), haCenter);
        memo(band, 108, 0, 23, 5, money(l.price), haRight);
        memo(band, 132, 0, 17, 5, money(l.count), haRight);
        memo(band, 152, 0, 10, 5, QStringLiteral("%1%").arg(l.discount), haCenter);
        memo(band, 164, 0, 27, 5, money(amount), haRight);
        for (double x : grid) rule(band, x, 0, x, 5);
        rule(band, 0, 5, 192, 5);
        rows << band;
    }

    auto *footer = new TlyrFooter(page);
    footer->SetBounds(0, 0, mm(192), mm(32));
    memo(footer, 0, 0, 10, 5, QStringLiteral("合计"), haCenter);
    memo(footer, 12, 0, 118, 5, QStringLiteral("合计大写：贰佰叁拾元零伍角"));
    memo(footer, 132, 0, 17, 5, money(count), haRight);
    memo(footer, 152, 0, 39, 5, money(total), haRight);
    const char *labels2[] = {"折上折扣", "折让金额", "合计金额", "实收金额"};
    const QString values2[] = {QStringLiteral("100%"), money(0), money(total), money(total)};
    const char *labels3[] = {"应收金额", "本单积分", "员工姓名", "制单人员"};
    const QString values3[] = {money(0), QStringLiteral("[%1 #n%2.2f]").arg(total), QStringLiteral("李四"),
                               QStringLiteral("admin")};
    for (int i = 0; i < 4; ++i) {
        const double x = 2 + 48 * i;
        memo(footer, x, 5, 16, 5, QString::fromUtf8(labels2[i]));
        memo(footer, x + 19, 5, 26, 5, values2[i], haRight);
        memo(footer, x, 10, 16, 5, QString::fromUtf8(labels3[i]));
        memo(footer, x + 19, 10, 26, 5, values3[i], i < 2 ? haRight : haLeft);
    }
    memo(footer, 2, 15, 16, 5, QStringLiteral("备注"));
    memo(footer, 21, 15, 169, 5, QStringLiteral("会员日双倍积分"));
    memo(footer, 2, 21, 92, 5, QStringLiteral("联系地址：滨江路 88 号"));
    memo(footer, 98, 21, 92, 5, QStringLiteral("联系电话：0571-88886666"));
    memo(footer, 2, 26, 92, 5, QStringLiteral("谢谢惠顾，欢迎再次光临"));
    memo(footer, 98, 26, 92, 5, QStringLiteral("打印时间：2026-12-06 21:30:00"));
    for (double x : {0.0, 192.0}) rule(footer, x, 0, x, 20);
    for (double x : {10.0, 132.0, 150.0}) rule(footer, x, 0, x, 5);
    rule(footer, 20, 5, 20, 20);
    for (double x : {48.0, 68.0, 96.0, 116.0, 144.0, 164.0}) rule(footer, x, 5, x, 15);
    for (double y : {5.0, 10.0, 15.0, 20.0}) rule(footer, 0, y, 192, y);

    // The bands one below the other, as the engine would place them.
    QList<TlyrBand *> order{header};
    order << rows << footer;
    double y = 0;
    for (TlyrBand *b : order) {
        b->SetTop(y);
        y += b->Height();
    }

    QImage img(int(page->Width() * scale), int((y + mm(20)) * scale), QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        TlyrCanvas canvas(&p, dpi, dpi, false);
        const double ox = page->LeftMargin() * lyrUnitsPerMM * scale;
        const double oy = page->TopMargin() * lyrUnitsPerMM * scale;
        page->DrawBackground(canvas, scale, scale, 0, 0);
        for (TlyrBand *b : order) {
            for (TlyrComponent *c : b->Objects()) {
                auto *v = static_cast<TlyrView *>(c);
                v->BeforePrint();
                v->GetData();
                v->Draw(canvas, scale, scale, ox, oy);
                v->AfterPrint();
            }
        }
    }
    for (const QString &e : report.Errors()) std::fprintf(stderr, "%s\n", e.toUtf8().constData());
    if (!img.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
