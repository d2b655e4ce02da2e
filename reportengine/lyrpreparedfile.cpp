// Saving and loading prepared reports (".lp3"): the pages' document with the
// source pages, dictionary and picture cache written next to the pages.

#include "platform/regularfile.h"
#include "report/lyrclass.h"
#include "report/lyrdmpclass.h"
#include "report/lyrpage.h"
#include "report/lyrxmlserializer.h"
#include "script/ks_props.h"
#include "reportengine/lyrpreviewpages.h"

#include <QBuffer>
#include <QFile>

#include <algorithm>
#include <optional>

namespace {
// The report settings a prepared report carries, in their written order.
constexpr const char *kReportSettings[] = {"DotMatrixReport", "PreviewOptions.OutlineVisible",
                                           "PreviewOptions.OutlineWidth", "ReportOptions.Name"};
// The elements a page cannot be built without, then those a first page
// may show, written ahead of the pages: a copy cut short still opens the
// pages before the cut, and a file opens without reading past its first
// pages.
constexpr const char *kLeadingElements[] = {"report",       "sourcepages", "dictionary",
                                            "picturecache", "outline",     "anchors"};
// Pages read when a file opens; the rest is read on as it is needed.
constexpr int kFirstPages = 2;
// The smallest page element ("<page0/>"): a page index promising more
// pages than the file could hold is not believed.
constexpr qint64 kMinPageBytes = 8;

// The pages' index written on "previewpages": one line for every run of
// pages whose elements start alike, "count name attributes".
QString pageIndex(TlyrXMLItem *pages)
{
    QString index;
    int run = 0;
    for (int i = 0; i <= pages->Count(); ++i) {
        if (i > 0 && (i == pages->Count() || pages->Items(i)->Name != pages->Items(i - 1)->Name ||
                      pages->Items(i)->Text != pages->Items(i - 1)->Text)) {
            const TlyrXMLItem *last = pages->Items(i - 1);
            index += QString::number(run) + QLatin1Char(' ') + last->Name + QLatin1Char(' ') +
                     QString::fromUtf8(last->Text) + QLatin1Char('\n');
            run = 0;
        }
        ++run;
    }
    return index;
}

// Whether a file ends where a whole prepared report ends.
bool endsWhole(QIODevice &file)
{
    static const QByteArray end("</preparedreport>");
    const qint64 size = file.size(), at = file.pos();
    if (size < end.size() || !file.seek(std::max<qint64>(size - 64, 0))) return false;
    const QByteArray tail = file.read(64).trimmed();
    file.seek(at);
    return tail.size() >= end.size() && tail.right(end.size()).compare(end, Qt::CaseInsensitive) == 0;
}
}  // namespace

void TlyrPreviewPages::SaveToStream(QIODevice &stream)
{
    ReadAllPages();
    TlyrXMLItem *root = XMLDoc.Root();
    int at = 0;
    for (const char *name : kLeadingElements) root->InsertItem(at++, root->FindItem(QString::fromLatin1(name)));
    TlyrXMLItem *report = root->FindItem(QStringLiteral("report"));
    report->Clear();
    if (Report) {
        TlyrXMLItem *r = report->Add();
        r->Name = ksClassNameOf(Report);
        const auto flag = [](bool b) { return b ? QStringLiteral("1") : QStringLiteral("0"); };
        r->AppendProp("DotMatrixReport", flag(Report->DotMatrixReport()));
        r->AppendProp("PreviewOptions.OutlineVisible", flag(Report->PreviewOptions()->OutlineVisible));
        r->AppendProp("PreviewOptions.OutlineWidth", QString::number(Report->PreviewOptions()->OutlineWidth));
        r->AppendProp("ReportOptions.Name", Report->ReportOptions()->Name);
    }
    TlyrXMLItem *sources = root->FindItem(QStringLiteral("sourcepages"));
    sources->Clear();
    for (auto &page : SourcePages) {
        TlyrXMLSerializer ser(nullptr);
        ser.WriteRootComponent(page.get(), true, sources->Add());
    }
    TlyrXMLItem *dict = root->FindItem(QStringLiteral("dictionary"));
    dict->Clear();
    for (auto it = Dictionary.Names().cbegin(); it != Dictionary.Names().cend(); ++it) {
        TlyrXMLItem *d = dict->Add();
        d->Name = it.key();
        d->Text = "name=\"" + it->SourceName.toUtf8() + '"';
    }
    PictureCache.SaveToXML(root->FindItem(QStringLiteral("picturecache")));
    root->FindItem(QStringLiteral("outline"));
    root->FindItem(QStringLiteral("anchors"));
    TlyrXMLItem *numbers = root->FindItem(QStringLiteral("logicalpagenumbers"));
    writeLogicalPages(numbers);
    // Behind the pages: a first page does not need them.
    root->AddItem(numbers);
    // The page count and each page's size can be known before the pages
    // are read.
    TlyrXMLItem *pages = PagesItem();
    const QByteArray pagesText = pages->Text;
    pages->SetProp("index", pageIndex(pages));
    // The source pages and the logical numbers are kept apart; the elements
    // only carry them (also when writing fails).
    struct Empty {
        TlyrXMLItem *a, *b, *pages;
        QByteArray pagesText;
        ~Empty()
        {
            a->Clear();
            b->Clear();
            pages->Text = pagesText;
        }
    } empty{sources, numbers, pages, pagesText};
    XMLDoc.SaveToStream(stream);
}

void TlyrPreviewPages::applyReportSettings()
{
    // The report settings saved with the pages; a file that carries other
    // report properties changes nothing else of the report.
    TlyrXMLItem *settings = XMLDoc.Root()->FindItem(QStringLiteral("report"));
    if (Report && settings->Count() > 0) {
        const TlyrXMLItem *r = settings->Items(0);
        TlyrXMLItem allowed;
        for (const char *name : kReportSettings)
            if (r->HasProp(name)) allowed.AppendProp(QLatin1String(name), r->Prop(name));
        TlyrXMLSerializer ser(nullptr);
        ser.Owner = Report;
        ser.XMLToObj(allowed.Text, Report);
        for (const QString &e : std::as_const(ser.Errors)) Report->AddError(e);
    }
}

void TlyrPreviewPages::TakeLoaded(TlyrPreviewPages &loaded)
{
    Clear();
    loaded.ClearPageCache();
    XMLDoc.Swap(loaded.XMLDoc);
    std::swap(SourcePages, loaded.SourcePages);
    std::swap(Dictionary, loaded.Dictionary);
    std::swap(PictureCache, loaded.PictureCache);
    std::swap(keys_, loaded.keys_);
    std::swap(storedText_, loaded.storedText_);
    std::swap(storedBody_, loaded.storedBody_);
    std::swap(newObjectText_, loaded.newObjectText_);
    std::swap(logicalPages_, loaded.logicalPages_);
    std::swap(Errors, loaded.Errors);
    std::swap(DamagedPicturePages, loaded.DamagedPicturePages);
    std::swap(DamagedTextPages, loaded.DamagedTextPages);
    std::swap(UnbuiltPages, loaded.UnbuiltPages);
    std::swap(Incomplete, loaded.Incomplete);
    std::swap(located_, loaded.located_);
    std::swap(unreadRuns_, loaded.unreadRuns_);
    std::swap(unreadCount_, loaded.unreadCount_);
    CurPage = Count() - 1;
    loaded.Clear();
    applyReportSettings();
    if (Report)
        for (const QString &e : std::as_const(Errors)) Report->AddError(e);
}

void TlyrPreviewPages::loadAfterParse()
{
    TlyrXMLItem *root = XMLDoc.Root();
    if (root->Name.compare(QLatin1String("preparedreport"), Qt::CaseInsensitive) != 0)
        throw ElyrError(QStringLiteral("Invalid file format"));
    applyReportSettings();
    TlyrXMLItem *sources = root->FindItem(QStringLiteral("sourcepages"));
    int wholeSources = 0;
    while (wholeSources < sources->Count() && sources->Items(wholeSources)->Damaged.isEmpty()) ++wholeSources;
    if (XMLDoc.CutInside.value(1).compare(QLatin1String("sourcepages"), Qt::CaseInsensitive) == 0 &&
        wholeSources == sources->Count() && wholeSources > 0)
        --wholeSources;  // the last one read may end at the cut
    for (int i = 0; i < sources->Count(); ++i) {
        std::unique_ptr<TlyrReportPage> page;
        if (lyrIsDMPPageName(sources->Items(i)->Name))
            page = std::make_unique<TlyrDMPPage>();
        else
            page = std::make_unique<TlyrReportPage>();
        TlyrXMLSerializer ser(nullptr);
        ser.ReadRootComponent(page.get(), sources->Items(i));
        for (const QString &e : std::as_const(ser.Errors)) noteError(e);
        SourcePages.push_back(std::move(page));
    }
    sources->Clear();
    TlyrXMLItem *dict = root->FindItem(QStringLiteral("dictionary"));
    // The objects of each source page by name, made when first asked for.
    std::vector<std::optional<QHash<QString, QPointer<TlyrComponent>>>> byName(SourcePages.size());
    for (int i = 0; i < dict->Count(); ++i) {
        TlyrXMLItem *d = dict->Items(i);
        const QByteArray &t = d->Text;
        // name="PageN.Object": the attribute is the only one, so it is cut
        // out by position (with bounds checks for damaged files).
        if (t.size() < 8) continue;
        const QString value = QString::fromUtf8(t.mid(6, t.size() - 7));
        const int dot = value.indexOf(QLatin1Char('.'));
        if (dot < 5) continue;
        bool ok = false;
        const int page = value.mid(4, dot - 4).toInt(&ok);
        const QString name = value.mid(dot + 1, 255);
        TlyrComponent *obj = nullptr;
        if (ok && page >= 0 && page < static_cast<int>(SourcePages.size())) {
            auto &index = byName[static_cast<size_t>(page)];
            if (!index) index = SourcePages[static_cast<size_t>(page)]->IndexByName();
            obj = index->value(name.toUpper());
        }
        Dictionary.Add(d->Name, value, obj);
    }
    for (auto &page : SourcePages)
        for (TlyrComponent *c : page->AllObjects()) storeText(c);
    if (XMLDoc.CutAt >= 0) noteCut(wholeSources);
    PictureCache.LoadFromXML(root->FindItem(QStringLiteral("picturecache")));
    readLogicalPages(root->FindItem(QStringLiteral("logicalpagenumbers")));
    // Pages beyond the first two may leave memory again, as when they were made.
    TlyrXMLItem *pages = pagesNow();
    for (int i = 2; i < pages->Count(); ++i) pages->Items(i)->Unloadable = true;
    located_ = pages->Count();
    CurPage = Count() - 1;
}

bool TlyrPreviewPages::placeUnreadPages(qint64 fileSize)
{
    TlyrXMLItem *pages = pagesNow();
    const QStringList runs = pages->Prop("index").split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    struct Run {
        qint64 Count;
        QString Name;
        QByteArray Text;
    };
    std::vector<Run> parsed;
    qint64 total = 0;
    for (const QString &line : runs) {
        const int a = line.indexOf(QLatin1Char(' ')), b = a < 0 ? -1 : line.indexOf(QLatin1Char(' '), a + 1);
        bool ok = false;
        const qint64 n = line.left(a).toLongLong(&ok);
        const QString name = b < 0 ? QString() : line.mid(a + 1, b - a - 1);
        if (!ok || n <= 0 || !XMLDoc.IsSiblingName(name.toLatin1())) return false;
        total += n;
        if (total > MaxPages || total * kMinPageBytes > fileSize) return false;
        parsed.push_back({n, name, line.mid(b + 1).toUtf8()});
    }
    if (total < pages->Count()) return false;
    qint64 skip = pages->Count();
    unreadRuns_.clear();
    unreadCount_ = 0;
    for (const Run &r : parsed) {
        const qint64 n = r.Count - std::min(skip, r.Count);
        if (n > 0) {
            unreadRuns_.push_back({n, r.Name, r.Text, QSize()});
            unreadCount_ += n;
        }
        skip = std::max<qint64>(skip - r.Count, 0);
    }
    return true;
}

bool TlyrPreviewPages::readOn(int count, bool mayDrop)
{
    if (!XMLDoc.PartRead()) return false;
    TlyrXMLItem *pages = pagesNow();
    TlyrXMLItem got;
    XMLDoc.ReadOn(got, count);
    while (got.Count() > 0) {
        TlyrXMLItem *read = got.Items(0);
        if (located_ < pages->Count()) {
            pages->Items(located_)->SwapContent(*read);
            delete read;
        } else {
            // In the place of an unread page, or more pages than the index said.
            pages->AddItem(read);
            if (!unreadRuns_.empty()) {
                --unreadCount_;
                if (--unreadRuns_.front().Count == 0) unreadRuns_.erase(unreadRuns_.begin());
            }
        }
        if (located_ >= 2) pages->Items(located_)->Unloadable = true;
        ++located_;
    }
    if (XMLDoc.PartRead()) return true;
    // All read: the numbers behind the pages, and what a cut left out.
    readLogicalPages(XMLDoc.Root()->FindItem(QStringLiteral("logicalpagenumbers")));
    if (mayDrop) dropUnreadPages();
    if (XMLDoc.CutAt >= 0) {
        try {
            noteCut(static_cast<int>(SourcePages.size()));
        } catch (const ElyrError &e) {
            noteError(lyrExceptionText(e));
        }
    }
    return false;
}

void TlyrPreviewPages::dropUnreadPages()
{
    unreadRuns_.clear();
    unreadCount_ = 0;
    TlyrXMLItem *pages = pagesNow();
    // Fewer pages than the index said: the ones it promised in vain go.
    while (pages->Count() > located_ && pages->Items(pages->Count() - 1)->Unread())
        delete pages->Items(pages->Count() - 1);
}

bool TlyrPreviewPages::ReadOnPages(int count)
{
    if (!XMLDoc.PartRead()) return false;
    const bool more = readOn(count, true);
    if (!more) dropUnreadPages();
    return more;
}

void TlyrPreviewPages::ReadAllPages()
{
    while (ReadOnPages(-1)) {}
}

bool TlyrPreviewPages::PagesUnread()
{
    return XMLDoc.PartRead();
}

void TlyrPreviewPages::readOnTo(TlyrXMLItem *item)
{
    // Not dropped here: the page asked for is in use by its caller.
    while (item->Unread() && readOn(256, false)) {}
}

bool TlyrPreviewPages::buildable(const TlyrXMLItem *item, int wholeSources) const
{
    if (!item->Damaged.isEmpty()) return false;
    // Written in full, a page needs nothing else of the file.
    if (lyrIsDMPPageName(item->Name) || item->Name.compare(QLatin1String("TlyrReportPage"), Qt::CaseInsensitive) == 0)
        return true;
    bool ok = false;
    const int source = item->Name.mid(4, 5).toInt(&ok);
    if (!ok || source < 0 || source >= wholeSources) return false;
    if (!item->Loaded) return true;
    // Every object named by a key needs the key's entry and source object.
    std::vector<const TlyrXMLItem *> open{item};
    while (!open.empty()) {
        const TlyrXMLItem *it = open.back();
        open.pop_back();
        for (int i = 0; i < it->Count(); ++i) {
            const TlyrXMLItem *child = it->Items(i);
            const QString &name = child->Name;
            const bool key = name.size() >= 2 && name[0].isLower() &&
                             std::all_of(name.begin() + 1, name.end(), [](QChar c) { return c.isDigit(); });
            if (key && !Dictionary.GetObject(name)) return false;
            open.push_back(child);
        }
    }
    return true;
}

void TlyrPreviewPages::noteCut(int wholeSources)
{
    TlyrXMLItem *root = XMLDoc.Root();
    const QString at = QStringLiteral("文件不完整（在第 %1 字节处中断）").arg(XMLDoc.CutAt);
    // The element the cut fell in is incomplete.
    const QString open = XMLDoc.CutInside.value(1);
    TlyrXMLItem *pages = root->Find(QStringLiteral("previewpages")) < 0 ? nullptr : PagesItem();
    const bool inPages = open.compare(QLatin1String("previewpages"), Qt::CaseInsensitive) == 0;
    int whole = pages ? pages->Count() : 0;
    if (inPages && whole > 0 && !pages->Items(whole - 1)->Damaged.isEmpty()) --whole;
    if (whole == 0)
        throw ElyrError(QStringLiteral("Invalid file format: ") + at + QStringLiteral("，没有读到完整的页面"));
    // Pages come before what they are built from only in files of an older
    // layout: cut there, a page opens only if it needs nothing that is
    // missing (a page written in full, or one whose source page and keys
    // were read).
    bool baseMissing = false;
    for (const char *name : {"sourcepages", "dictionary"})
        baseMissing = baseMissing || root->Find(QLatin1String(name)) < 0 ||
                      open.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    if (baseMissing) {
        QStringList shown;
        for (int i = 0; i < whole; ++i)
            if (buildable(pages->Items(i), wholeSources)) shown << QString::number(i + 1);
        if (shown.isEmpty())
            throw ElyrError(QStringLiteral("Invalid file format: ") + at +
                            QStringLiteral("，页面所依据的部分（源页面和字典）在中断处之后，没有读到，无法打开任何页面"));
        const QString which = shown.size() <= 10 ? QStringLiteral("第 %1 页").arg(shown.join(QStringLiteral("、")))
                                                 : QStringLiteral("%1 页").arg(shown.size());
        Incomplete = at + QStringLiteral("：页面所依据的部分（源页面和字典）缺失，%1 页中只有%2能打开")
                                  .arg(pages->Count())
                                  .arg(which);
    } else if (inPages && whole < pages->Count()) {
        Incomplete = at + QStringLiteral("：只有前 %1 页完整，第 %2 页起已损坏或缺失").arg(whole).arg(whole + 1);
    } else if (inPages) {
        // Cut right after a whole page: whether more pages followed is not known.
        Incomplete = at + QStringLiteral("：读到的 %1 页都完整，其后的内容（可能还有页面）缺失").arg(whole);
    } else {
        Incomplete = at + QStringLiteral("：页面完整，其后的内容（图片、目录等）缺失");
    }
    noteError(Incomplete);
}

void TlyrPreviewPages::LoadFromStream(QIODevice &stream, bool allowPartialLoading)
{
    Clear();
    try {
        XMLDoc.LoadFromStream(stream, allowPartialLoading);
        loadAfterParse();
    } catch (const std::exception &e) {
        Clear();
        throw;
    }
}

void TlyrPreviewPages::LoadFromStream(std::unique_ptr<QIODevice> stream, bool allowPartialLoading)
{
    Clear();
    try {
        // A whole file that says how many pages it holds is read no further
        // than its first pages, the rest as it is needed.
        if (!allowPartialLoading || stream->isSequential() || !endsWhole(*stream)) {
            XMLDoc.LoadFromStream(std::move(stream), allowPartialLoading);
            loadAfterParse();
            return;
        }
        const qint64 size = stream->size();
        if (XMLDoc.LoadPart(std::move(stream), QByteArrayLiteral("previewpages"), kFirstPages) &&
            (XMLDoc.CutAt >= 0 || !placeUnreadPages(size))) {
            // Every page read now, as without an index.
            TlyrXMLItem got;
            XMLDoc.ReadOn(got, -1);
            while (got.Count() > 0) PagesItem()->AddItem(got.Items(0));
        }
        loadAfterParse();
        if (XMLDoc.PartRead()) located_ = kFirstPages;
    } catch (const std::exception &e) {
        Clear();
        throw;
    }
}

bool TlyrPreviewPages::LoadFromFile(const QString &fileName, bool exceptionIfNotFound)
{
    const bool exists = QFile::exists(fileName);
    if (!exists && !exceptionIfNotFound) return false;
    // A pipe or a device is refused at once, never waited on.
    auto file = std::make_unique<QFile>();
    if (QString why; !vplatform::openRegularFile(*file, fileName, QIODevice::ReadOnly, &why))
        throw ElyrError(QStringLiteral("无法打开文件 %1：%2").arg(fileName, why));
    // Pages beyond the first two are read when they are first shown.
    LoadFromStream(std::move(file), true);
    return exists;
}

void TlyrPreviewPages::SaveToFile(const QString &fileName)
{
    lyrSaveFile(fileName, [this](QIODevice &file) { SaveToStream(file); });
}
