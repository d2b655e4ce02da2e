// A prepared report file with one broken page and broken pictures opens
// with every healthy page: the broken page is shown and reported as a
// damaged page, a broken picture as a marked empty frame with its page named.

#include "child_cost.h"
#include "prepared_text_util.h"
#include "preview_fixture.h"
#include "print_report_util.h"

#include "report/lyrview.h"
#include "reportengine/lyrpreview.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

QByteArray png(QColor color, int side = 8)
{
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// The colour of the picture of page index + 1.
QColor colourOf(int index)
{
    return QColor::fromHsv(30 + index * 50, 200, 200);
}

class DamagedFileTest : public PrintReportTest {
protected:
    // Six pages "Page N", each with a picture of its own colour (cache
    // item N), saved.
    QByteArray sixPages()
    {
        TlyrMasterData *band = pageWithBand<TlyrReportPage>(120, 6, true);
        textView<TlyrMemoView>(band, QStringLiteral("Memo1"), {0, 0, 300, 20}, QStringLiteral("Page [Line#]"));
        auto *picture = new TlyrPictureView(report.get());
        picture->SetName(QStringLiteral("Picture1"));
        picture->SetParent(band);
        picture->SetBounds(0, 20, 100, 100);
        int printed = 0;
        report->OnBeforePrintEvent = [&printed](TlyrComponent *c) {
            if (auto *p = qobject_cast<TlyrPictureView *>(c)) p->LoadPictureFromStream(png(colourOf(printed++)));
        };
        EXPECT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
        EXPECT_EQ(pages().Count(), 6);
        EXPECT_EQ(pages().PictureCache.Count(), 6);
        QBuffer file;
        file.open(QIODevice::ReadWrite);
        report->OnBeforePrintEvent = nullptr;
        pages().SaveToStream(file);
        return file.data();
    }
    // The file with page n's content broken, picture a's text not
    // hexadecimal and picture b's bytes cut (valid hexadecimal, no picture).
    static QByteArray damage(QByteArray file, int page, int a, int b)
    {
        qsizetype at = file.indexOf("<previewpages");
        for (int i = 0; i < page; ++i) at = file.indexOf("<page0", at + 1);
        at = file.indexOf('>', at) + 1;
        file.insert(at, "<b2 t=<<<broken");
        qsizetype items = file.indexOf("<picturecache>");
        auto streamOf = [&](int n) {
            qsizetype p = items;
            for (int i = 0; i < n; ++i) p = file.indexOf("<item stream=\"", p + 1);
            return p + qsizetype(strlen("<item stream=\""));
        };
        const qsizetype sa = streamOf(a);
        file.replace(sa + 8, 2, "ZZ");
        const qsizetype sb = streamOf(b);
        const qsizetype length = file.indexOf('"', sb) - sb;
        file.remove(sb + length / 2 / 2 * 2, length - length / 2 / 2 * 2);
        return file;
    }
    TlyrPictureView *pictureOn(int index)
    {
        TlyrReportPage *page = pages().GetPage(index);
        return page ? qobject_cast<TlyrPictureView *>(page->FindObject(QStringLiteral("Picture1"))) : nullptr;
    }
    QString memoOn(int index)
    {
        TlyrReportPage *page = pages().GetPage(index);
        auto *memo = page ? qobject_cast<TlyrMemoView *>(page->FindObject(QStringLiteral("Memo1"))) : nullptr;
        return memo ? memo->GetText() : QString();
    }
    // What a reader finds in the loaded store: page 3 damaged, pictures
    // of pages 4 and 5 damaged, every other page and picture whole.
    void expectHealthyPagesAndMarkedDamage(int damagedPage)
    {
        ASSERT_EQ(pages().Count(), 6);
        for (int i = 0; i < 6; ++i) {
            SCOPED_TRACE(i + 1);
            if (i + 1 == damagedPage) {
                EXPECT_EQ(pages().GetPage(i), nullptr);
                continue;
            }
            EXPECT_EQ(memoOn(i), QStringLiteral("Page %1").arg(i + 1));
            TlyrPictureView *p = pictureOn(i);
            ASSERT_NE(p, nullptr);
            const bool broken = i + 1 == 4 || i + 1 == 5;
            EXPECT_EQ(p->Damaged(), broken);
            EXPECT_EQ(p->Picture().isNull(), broken);
        }
        EXPECT_TRUE(pages().Errors.contains(QStringLiteral("第 %1 页已损坏").arg(damagedPage)))
                << pages().Errors.join(u'\n').toStdString();
        EXPECT_EQ(pages().DamagedPicturePages, (QList<int>{4, 5}));
        EXPECT_TRUE(pages().Errors.contains(QStringLiteral("第 4 页的图片已损坏")));
        EXPECT_TRUE(pages().Errors.contains(QStringLiteral("第 5 页的图片已损坏")));
    }
};

// Loaded from a file (pages from the third read when needed) or from a
// stream in full, with the broken page among the later ones or the first.
TEST_F(DamagedFileTest, EveryHealthyPageOfADamagedFileLoads)
{
    const QByteArray saved = sixPages();
    QTemporaryDir dir;
    for (int page : {3, 1}) {
        SCOPED_TRACE(page);
        const QByteArray file = damage(saved, page, 4, 5);
        const QString path = dir.filePath(QStringLiteral("damaged.lp3"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(file);
        f.close();
        ASSERT_NO_THROW(pages().LoadFromFile(path, true));
        expectHealthyPagesAndMarkedDamage(page);
        QBuffer stream;
        stream.setData(file);
        stream.open(QIODevice::ReadOnly);
        ASSERT_NO_THROW(pages().LoadFromStream(stream, false));
        expectHealthyPagesAndMarkedDamage(page);
        // Saved again, the damage is kept as it was and the rest is whole.
        QBuffer again;
        again.open(QIODevice::ReadWrite);
        pages().SaveToStream(again);
        again.seek(0);
        ASSERT_NO_THROW(pages().LoadFromStream(again, false));
        expectHealthyPagesAndMarkedDamage(page);
    }
}

// A file cut before its pages can be built (inside the part every page is
// built from) still fails as a whole; cut anywhere after that, it opens
// every page that arrived whole, marks the one that was cut and says so.
TEST_F(DamagedFileTest, ACutFileOpensEveryPageBeforeTheCut)
{
    const QByteArray saved = sixPages();
    const qsizetype pagesStart = saved.indexOf("<previewpages");
    ASSERT_GT(pagesStart, saved.indexOf("</dictionary>"));
    {
        QByteArray file = saved.left(saved.indexOf("</sourcepages>") - 3);
        QBuffer stream(&file);
        stream.open(QIODevice::ReadOnly);
        EXPECT_THROW(pages().LoadFromStream(stream, false), ElyrError);
        EXPECT_EQ(pages().Count(), 0);
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cut.lp3"));
    for (qsizetype cut = pagesStart + 15; cut < saved.size(); cut += 37) {
        SCOPED_TRACE(cut);
        const QByteArray file = saved.left(cut);
        // The pages whose end tag arrived.
        int whole = 0;
        for (qsizetype at = file.indexOf("</page0>"); at >= 0; at = file.indexOf("</page0>", at + 1))
            whole += at + 8 <= cut;
        for (bool fromFile : {true, false}) {
            if (whole == 0) {
                // Not one page whole: nothing to show, and the file is refused.
                QBuffer stream;
                stream.setData(file);
                stream.open(QIODevice::ReadOnly);
                EXPECT_THROW(pages().LoadFromStream(stream, false), ElyrError);
                EXPECT_EQ(pages().Count(), 0);
                continue;
            }
            if (fromFile) {
                QFile f(path);
                ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
                f.write(file);
                f.close();
                ASSERT_NO_THROW(pages().LoadFromFile(path, true));
            } else {
                QBuffer stream;
                stream.setData(file);
                stream.open(QIODevice::ReadOnly);
                ASSERT_NO_THROW(pages().LoadFromStream(stream, false));
            }
            ASSERT_GE(pages().Count(), whole);
            ASSERT_LE(pages().Count(), whole + 1);
            for (int i = 0; i < whole; ++i) EXPECT_EQ(memoOn(i), QStringLiteral("Page %1").arg(i + 1)) << i;
            // The page that was cut is there, marked.
            if (pages().Count() > whole) {
                EXPECT_EQ(pages().GetPage(whole), nullptr);
                EXPECT_TRUE(pages().Errors.contains(QStringLiteral("第 %1 页已损坏").arg(whole + 1)));
            }
            EXPECT_TRUE(pages().Incomplete.startsWith(QStringLiteral("文件不完整（在第 ")))
                    << pages().Incomplete.toStdString();
            EXPECT_TRUE(pages().Errors.contains(pages().Incomplete));
            if (pages().Count() > whole)
                EXPECT_TRUE(pages().Incomplete.contains(QStringLiteral("只有前 %1 页完整").arg(whole)))
                        << pages().Incomplete.toStdString();
            // Cut between pages: no page after them is said to be damaged.
            if (pages().Count() == whole)
                EXPECT_FALSE(pages().Incomplete.contains(QStringLiteral("第 %1 页起").arg(whole + 1)))
                        << pages().Incomplete.toStdString();
        }
    }
    {
        // Cut right after the last page: every page there is, and no word
        // of a page after it being damaged.
        QBuffer stream;
        stream.setData(saved.left(saved.lastIndexOf("</page0>") + 8));
        stream.open(QIODevice::ReadOnly);
        ASSERT_NO_THROW(pages().LoadFromStream(stream, false));
        EXPECT_EQ(pages().Count(), 6);
        EXPECT_TRUE(pages().Incomplete.contains(QStringLiteral("读到的 6 页都完整"))) << pages().Incomplete.toStdString();
        EXPECT_FALSE(pages().Incomplete.contains(QStringLiteral("第 7 页"))) << pages().Incomplete.toStdString();
    }
    // A whole file says nothing of the kind.
    QBuffer stream;
    stream.setData(saved);
    stream.open(QIODevice::ReadOnly);
    pages().LoadFromStream(stream, false);
    EXPECT_TRUE(pages().Incomplete.isEmpty());
}

// A file of the older layout has its pages first and what they are built
// from (source pages, dictionary) after them: cut there, the pages written
// in full (an edited page) still open, the others are damaged and the file
// says which opened; with no such page it is refused, saying why.
TEST_F(DamagedFileTest, ACutFileOfTheOlderLayoutOpensThePagesWrittenInFull)
{
    const QByteArray whole = sixPages();
    QBuffer reread;
    reread.setData(whole);
    reread.open(QIODevice::ReadOnly);
    ASSERT_NO_THROW(pages().LoadFromStream(reread, false));
    // Pages 2 and 5 edited: written in full.
    for (int i : {1, 4}) {
        std::unique_ptr<TlyrReportPage> copy = lyrNewPageLike(pages().GetPage(i));
        copy->AssignAll(pages().GetPage(i));
        pages().ModifyPage(i, copy.get());
    }
    QBuffer edited;
    edited.open(QIODevice::ReadWrite);
    pages().SaveToStream(edited);
    // The older layout: the parts every page is built from after the pages.
    const auto olderLayout = [](QByteArray file) {
        const qsizetype from = file.indexOf("<report>"), to = file.indexOf("</dictionary>") + 13;
        EXPECT_TRUE(from > 0 && to > from && from < file.indexOf("<previewpages"));
        const QByteArray base = file.mid(from, to - from);
        file.remove(from, to - from);
        file.insert(file.indexOf("</previewpages>") + 15, base);
        return file;
    };
    const QByteArray older = olderLayout(edited.data()), plain = olderLayout(whole);
    {
        // Whole, the older layout opens as it is.
        QBuffer stream;
        stream.setData(older);
        stream.open(QIODevice::ReadOnly);
        ASSERT_NO_THROW(pages().LoadFromStream(stream, false));
        for (int i = 0; i < 6; ++i) EXPECT_EQ(memoOn(i), QStringLiteral("Page %1").arg(i + 1)) << i;
    }
    for (const char *cutBefore : {"</sourcepages>", "<dictionary>", "</dictionary>"}) {
        SCOPED_TRACE(cutBefore);
        QByteArray file = older.left(older.indexOf(cutBefore) - 3);
        QBuffer stream(&file);
        stream.open(QIODevice::ReadOnly);
        ASSERT_NO_THROW(pages().LoadFromStream(stream, false));
        ASSERT_EQ(pages().Count(), 6);
        for (int i = 0; i < 6; ++i) {
            if (i == 1 || i == 4) {
                EXPECT_EQ(memoOn(i), QStringLiteral("Page %1").arg(i + 1)) << i;
            } else {
                EXPECT_EQ(pages().GetPage(i), nullptr) << i;
                EXPECT_TRUE(pages().Errors.contains(QStringLiteral("第 %1 页已损坏").arg(i + 1)));
            }
        }
        EXPECT_TRUE(pages().Incomplete.contains(QStringLiteral("只有第 2、5 页能打开")))
                << pages().Incomplete.toStdString();
        EXPECT_TRUE(pages().Errors.contains(pages().Incomplete));

        // Without a page written in full nothing can open: refused.
        QByteArray bare = plain.left(plain.indexOf(cutBefore) - 3);
        QBuffer bareStream(&bare);
        bareStream.open(QIODevice::ReadOnly);
        try {
            pages().LoadFromStream(bareStream, false);
            ADD_FAILURE() << "opened";
        } catch (const ElyrError &e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("页面所依据的部分"))) << e.message().toStdString();
        }
        EXPECT_EQ(pages().Count(), 0);
    }
}

// A page that lost its end tag, or whose tags were hit by flipped bits, is
// the only damaged page: the next one begins where its start tag stands.
TEST_F(DamagedFileTest, APageWithoutItsEndTagOrWithFlippedBitsIsTheOnlyDamagedOne)
{
    const QByteArray saved = sixPages();
    const auto pageAt = [&saved](int n) {
        qsizetype at = saved.indexOf("<previewpages");
        for (int i = 0; i < n; ++i) at = saved.indexOf("<page0", at + 1);
        return at;
    };
    QByteArray noEnd = saved;
    noEnd.remove(saved.indexOf("</page0>", pageAt(3)), 8);
    QByteArray lastNoEnd = saved;
    lastNoEnd.remove(saved.indexOf("</page0>", pageAt(6)), 8);
    // Ten bits flipped among page 3's tag characters, its end tag's among them.
    QByteArray flipped = saved;
    QList<qsizetype> marks;
    for (qsizetype i = pageAt(3) + 1; i < pageAt(4); ++i)
        if (strchr("<>/\"", saved[i])) marks << i;
    ASSERT_GE(marks.size(), 10);
    for (int k = 0; k < 9; ++k) flipped[marks[k * (marks.size() - 1) / 9]] ^= 0x01;
    flipped[saved.indexOf("</page0>", pageAt(3)) + 1] ^= 0x01;
    const QList<std::pair<QByteArray, int>> cases = {{noEnd, 3}, {lastNoEnd, 6}, {flipped, 3}};
    for (const auto &[file, damaged] : cases) {
        SCOPED_TRACE(damaged);
        QBuffer stream;
        stream.setData(file);
        stream.open(QIODevice::ReadOnly);
        ASSERT_NO_THROW(pages().LoadFromStream(stream, false));
        ASSERT_EQ(pages().Count(), 6);
        for (int i = 0; i < 6; ++i) {
            if (i + 1 == damaged)
                EXPECT_EQ(pages().GetPage(i), nullptr);
            else
                EXPECT_EQ(memoOn(i), QStringLiteral("Page %1").arg(i + 1)) << i;
        }
        EXPECT_TRUE(pages().Errors.contains(QStringLiteral("第 %1 页已损坏").arg(damaged)));
        EXPECT_TRUE(pages().Incomplete.isEmpty());
    }
}

// A picture index the cache does not hold and texts that are not UTF-8 or
// hold NUL are damage too: the page shows, marked, and is named.
TEST_F(DamagedFileTest, OutOfRangePictureIndexesAndBrokenTextsAreReportedAsDamage)
{
    QByteArray file = sixPages();
    const auto replaceIn = [&file](int page, const QByteArray &from, const QByteArray &to) {
        qsizetype at = file.indexOf("<previewpages");
        for (int i = 0; i < page; ++i) at = file.indexOf("<page0", at + 1);
        const qsizetype hit = file.indexOf(from, at);
        ASSERT_GT(hit, 0);
        ASSERT_LT(hit, file.indexOf("</page0>", at));
        file.replace(hit, from.size(), to);
    };
    replaceIn(2, "ImageIndex=\"2\"", "ImageIndex=\"99999\"");
    replaceIn(4, "ImageIndex=\"4\"", "ImageIndex=\"-5\"");
    replaceIn(3, "Page 3", QByteArray("Pa\xff\xfege 3"));
    replaceIn(6, "Page 6", QByteArray("Pa\0ge 6", 7));
    QBuffer stream;
    stream.setData(file);
    stream.open(QIODevice::ReadOnly);
    ASSERT_NO_THROW(pages().LoadFromStream(stream, false));
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i + 1);
        ASSERT_NE(pages().GetPage(i), nullptr);
        TlyrPictureView *p = pictureOn(i);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->Damaged(), i + 1 == 2 || i + 1 == 4);
    }
    EXPECT_EQ(pages().DamagedPicturePages, (QList<int>{2, 4}));
    EXPECT_EQ(pages().DamagedTextPages, (QList<int>{3, 6}));
    for (int n : {2, 4}) EXPECT_TRUE(pages().Errors.contains(QStringLiteral("第 %1 页的图片已损坏").arg(n)));
    for (int n : {3, 6}) EXPECT_TRUE(pages().Errors.contains(QStringLiteral("第 %1 页的文字已损坏").arg(n)));
    EXPECT_EQ(memoOn(0), QStringLiteral("Page 1"));
    // The preview names them too.
    const auto form = openPreviewForm(*report, QSize(1200, 800));
    form->Preview->UpdatePages();
    EXPECT_TRUE(form->StatusMessage->text().contains(QStringLiteral("文字已损坏的页：3, 6")))
            << form->StatusMessage->text().toStdString();
}

// A file of n pages, every other one broken, loaded: each page is there,
// and the broken ones are read past in one pass.
int loadHalfBroken(int n)
{
    QByteArray text;
    for (int i = 0; i < n; ++i)
        text += i % 2 ? QByteArray("<page0 ld=\"0\"><b1 t=<<<broken</page0>")
                      : "<page0 ld=\"0\"><b1 t=\"0\"><m1 u=\"row " + QByteArray::number(i) + "\"/></b1></page0>";
    TlyrReport report;
    auto &pages = *static_cast<TlyrPreviewPages *>(report.PreviewPages());
    loadText(pages, preparedText(text));
    return pages.Count() == n && pages.GetPage(n - 1) == nullptr && pages.GetPage(n - 2) ? 0 : 1;
}

TEST_F(DamagedFileTest, TenfoldBrokenPagesCostAboutTenfold)
{
    expectAboutTenfold({"a file of n pages, half of them broken", 4000, loadHalfBroken, 600});
}

// The preview shows the damaged page as such, draws each broken picture
// as a marked frame and names the pages in its status bar.
TEST_F(DamagedFileTest, ThePreviewMarksBrokenPicturesAndNamesTheirPages)
{
    const QByteArray file = damage(sixPages(), 3, 4, 5);
    QBuffer stream;
    stream.setData(file);
    stream.open(QIODevice::ReadOnly);
    pages().LoadFromStream(stream, false);
    const auto form = openPreviewForm(*report, QSize(1200, 800));
    // A picture is found broken when its page is drawn: all six are.
    form->Preview->SetZoom(0.25);
    QImage shown(1200, 800, QImage::Format_RGB32);
    QPainter onScreen(&shown);
    form->Preview->Workspace->PaintTo(onScreen, shown.size());
    onScreen.end();
    EXPECT_EQ(form->Preview->DamagedPages, QList<int>{3});
    EXPECT_EQ(form->Preview->DamagedPicturePages, (QList<int>{4, 5}));
    EXPECT_EQ(form->StatusMessage->text(),
              QStringLiteral("已损坏未显示的页：3；图片已损坏的页：4, 5"));
    // Page 4's picture is a red-crossed frame; page 2's is its colour.
    for (int index : {1, 3}) {
        SCOPED_TRACE(index + 1);
        QImage image(900, 1200, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        TlyrCanvas canvas(&painter, 96, 96, false);
        pages().DrawPage(index, canvas, 1, 1, 0, 0);
        painter.end();
        int red = 0, colour = 0;
        const QColor own = colourOf(index);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                red += c.red() > 220 && c.green() < 40 && c.blue() < 40;
                colour += std::abs(c.red() - own.red()) + std::abs(c.green() - own.green()) +
                                  std::abs(c.blue() - own.blue()) <
                          12;
            }
        if (index == 3) {
            EXPECT_GT(red, 100);
            EXPECT_EQ(colour, 0);
        } else {
            EXPECT_EQ(red, 0);
            EXPECT_GT(colour, 1000);
        }
    }
}

}  // namespace

namespace {

// The preview's Open of a file that does not open (a pipe, a foreign file)
// says why and keeps the report on screen; a prepared file opens.
TEST_F(DamagedFileTest, AFailedOpenInThePreviewKeepsTheReportShown)
{
    const QByteArray saved = sixPages();
    QBuffer stream;
    stream.setData(saved);
    stream.open(QIODevice::ReadOnly);
    pages().LoadFromStream(stream, false);
    const auto form = openPreviewForm(*report, QSize(1200, 800));
    ASSERT_EQ(pages().Count(), 6);
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.lp3")), foreign = dir.filePath(QStringLiteral("x.lp3"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    {
        QFile f(foreign);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<?xml version=\"1.0\"?><TlyrReport><TlyrReportPage Name=\"Page1\"/></TlyrReport>");
    }
    for (const QString &name : {fifo, foreign}) {
        SCOPED_TRACE(name.toStdString());
        try {
            form->Preview->LoadFromFile(name);
            ADD_FAILURE() << "opened";
        } catch (const ElyrError &e) {
            if (name == fifo) EXPECT_TRUE(e.Message().contains(QStringLiteral("不是普通文件"))) << e.Message().toStdString();
        }
        EXPECT_EQ(pages().Count(), 6);
        EXPECT_EQ(form->Preview->PageCount(), 6);
        EXPECT_EQ(memoOn(5), QStringLiteral("Page 6"));
    }
    const QString good = dir.filePath(QStringLiteral("good.lp3"));
    {
        QFile f(good);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        // Cut after its third page: it opens with those.
        qsizetype end = -1;
        for (int i = 0; i < 3; ++i) end = saved.indexOf("</page0>", end + 1);
        f.write(saved.left(end + 8));
    }
    form->Preview->LoadFromFile(good);
    EXPECT_EQ(pages().Count(), 3);
    EXPECT_EQ(form->Preview->PageCount(), 3);
}

}  // namespace

namespace {

// Markup of a page that is not well formed makes that page damaged (its
// message, and it is neither shown nor printed); the other pages open.
TEST_F(DamagedFileTest, MalformedMarkupInAPageMarksItDamaged)
{
    const QByteArray saved = sixPages();
    qsizetype third = -1;
    for (int i = 0; i < 3; ++i) third = saved.indexOf("<page0", third + 1);
    const qsizetype memo = saved.indexOf("<m", third + 1);
    const qsizetype attr = saved.indexOf("=\"", memo);
    ASSERT_GT(memo, third);
    ASSERT_LT(attr, saved.indexOf("</page0>", third));
    auto changed = [&](qsizetype at, qsizetype length, const QByteArray &with) {
        QByteArray file = saved;
        return file.replace(at, length, with);
    };
    const QList<std::pair<const char *, QByteArray>> cases = {
            {"a NUL for <", changed(memo, 1, QByteArray(1, '\0'))},
            {"a control byte in an attribute name", changed(attr - 1, 0, "\x01")},
            {"an attribute without =", changed(attr, 1, QByteArray())},
            {"an unclosed quote", changed(saved.indexOf('"', attr + 2), 1, QByteArray())},
            {"a non-ASCII byte where an element starts", changed(memo + 1, 0, "\xe4")},
    };
    for (const auto &[what, file] : cases) {
        SCOPED_TRACE(what);
        for (bool partial : {false, true}) {
            auto stream = std::make_unique<QBuffer>();
            stream->setData(file);
            stream->open(QIODevice::ReadOnly);
            ASSERT_NO_THROW(pages().LoadFromStream(std::move(stream), partial));
            ASSERT_EQ(pages().Count(), 6);
            EXPECT_EQ(pages().GetPage(2), nullptr);
            EXPECT_TRUE(pages().Errors.contains(QStringLiteral("第 3 页已损坏"))) << pages().Errors.join(u'\n').toStdString();
            for (int i : {0, 1, 3, 4, 5}) EXPECT_EQ(memoOn(i), QStringLiteral("Page %1").arg(i + 1)) << i;
        }
    }
}

}  // namespace
