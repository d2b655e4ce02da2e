#include "reportengine/lyrpreviewpages.h"

#include "platform/error.h"
#include "report/lyrband.h"
#include "report/lyrcanvas.h"
#include "report/lyrclass.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "report/lyrview.h"
#include "report/lyrdmpclass.h"
#include "report/lyrexception.h"
#include "report/lyrres.h"
#include "report/lyrutils.h"
#include "report/lyrxmlserializer.h"
#include "script/ks_budget.h"
#include "script/ks_props.h"
#include "reportengine/lyroutline.h"
#include "reportengine/lyrpreview.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QSet>
#include <QDesktopServices>
#include <QFile>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <optional>
#include <vector>

namespace {
// Elements below item, counted up to a little past most.
int elementsUnder(const TlyrXMLItem *item, int most);

QString numText(double v)
{
    // Always with "." whatever the locale.
    QString s = QString::number(v, 'f', 4);
    while (s.endsWith(QLatin1Char('0'))) s.chop(1);
    if (s.endsWith(QLatin1Char('.'))) s.chop(1);
    return s;
}

// Objects that belong in prepared pages: views and bands, except those
// that only stand for other output (a subreport object: its page's bands
// are printed instead).
bool previewVisible(const TlyrComponent *c)
{
    return (c->IsBand() || c->IsView()) && (c->Flags() & lyrFlagPreviewCopy);
}

}  // namespace

bool lyrIsDMPPageName(const QString &name)
{
    return name.compare(QLatin1String("TlyrDMPPage"), Qt::CaseInsensitive) == 0;
}

std::unique_ptr<TlyrReportPage> lyrNewPageLike(const TlyrReportPage *page)
{
    if (qobject_cast<const TlyrDMPPage *>(page)) return std::make_unique<TlyrDMPPage>();
    return std::make_unique<TlyrReportPage>();
}

// ---------------------------------------------------------------- dictionary

QString TlyrDictionary::CreateUniqueName(const QString &prefix) const
{
    int start = 10000;
    while (start >= 2 && !names_.contains(prefix + QString::number(start))) start /= 2;
    Hint &hint = hints_[prefix];
    int n = hint.Start == start && hint.Last > start ? hint.Last : start;
    while (names_.contains(prefix + QString::number(n))) ++n;
    hint = {start, n};
    return prefix + QString::number(n);
}

QString TlyrDictionary::AddObject(const QString &prefix, const QString &sourceName, TlyrComponent *obj)
{
    const QString key = CreateUniqueName(prefix);
    Add(key, sourceName, obj);
    return key;
}

void TlyrDictionary::Add(const QString &key, const QString &sourceName, TlyrComponent *obj)
{
    names_.insert(key, Entry{sourceName, obj});
}

TlyrComponent *TlyrDictionary::GetObject(const QString &key) const
{
    auto it = names_.constFind(key);
    return it == names_.cend() ? nullptr : it->Object;
}

QString TlyrDictionary::GetSourceName(const QString &key) const
{
    auto it = names_.constFind(key);
    return it == names_.cend() ? QString() : it->SourceName;
}

bool lyrIsSafeHyperlink(const QString &url)
{
    const QString u = url.trimmed().toLower();
    return u.startsWith(QLatin1String("http://")) || u.startsWith(QLatin1String("https://")) ||
           u.startsWith(QLatin1String("mailto:"));
}

// ---------------------------------------------------------------- store

TlyrPreviewPages::TlyrPreviewPages(TlyrReport *report) : TlyrCustomPreviewPages(report)
{
    Outline = new TlyrOutline(this);
    XMLDoc.Root()->Name = QStringLiteral("preparedreport");
    // One broken page of a file leaves the others readable.
    XMLDoc.RecoverChildrenOf = {"previewpages"};
    // A page that lost its end tag ends where the next page begins; a file
    // cut short keeps the pages before the cut.
    XMLDoc.IsSiblingName = [](QByteArrayView name) {
        if (name.size() > 4 && qstrnicmp(name.data(), "page", 4) == 0) {
            QByteArrayView n = name.sliced(4);
            if (n.startsWith('-')) n = n.sliced(1);
            return !n.isEmpty() && std::all_of(n.begin(), n.end(), [](char c) { return c >= '0' && c <= '9'; });
        }
        return lyrIsDMPPageName(QString::fromLatin1(name)) ||
               QByteArrayView("TlyrReportPage").compare(name, Qt::CaseInsensitive) == 0;
    };
    XMLDoc.AcceptCut = true;
    // Markup of a page that is not well formed makes the page damaged.
    XMLDoc.StrictMarkup = true;
    // A page of a file read in parts is read when it is first needed.
    XMLDoc.OnUnread = [this](TlyrXMLItem *item) { readOnTo(item); };
    OnOpenUrl = [](const QString &url) { QDesktopServices::openUrl(QUrl(url)); };
    Clear();
}

TlyrPreviewPages::~TlyrPreviewPages()
{
    ClearPageCache();
}

TlyrOutline *TlyrPreviewPages::GetOutline() const
{
    return static_cast<TlyrOutline *>(Outline);
}

TlyrXMLItem *TlyrPreviewPages::rootChild(const char *name)
{
    // Asked for every page counted and every object built: the names are
    // compared as they stand, without a text made for each question.
    TlyrXMLItem *root = XMLDoc.Root();
    const QLatin1StringView wanted(name);
    // The first of that name in any letter case; nearly always spelled as
    // asked, which the exact comparison finds at once.
    for (int i = 0; i < root->Count(); ++i) {
        TlyrXMLItem *child = root->Items(i);
        if (child->Name.size() != wanted.size()) continue;
        if (child->Name == wanted || child->Name.compare(wanted, Qt::CaseInsensitive) == 0) return child;
    }
    return root->FindItem(QString(wanted));
}

TlyrXMLItem *TlyrPreviewPages::PagesItem()
{
    TlyrXMLItem *pages = pagesNow();
    if (unreadCount_ > 0) placeUnreadRuns();
    return pages;
}

void TlyrPreviewPages::placeUnreadRuns()
{
    TlyrXMLItem *pages = pagesNow();
    for (const UnreadRun &r : unreadRuns_)
        for (qint64 i = 0; i < r.Count; ++i) {
            TlyrXMLItem *item = pages->Add();
            item->SetUnread();
            item->Name = r.Name;
            item->Text = r.Text;
        }
    unreadRuns_.clear();
    unreadCount_ = 0;
}

TlyrPreviewPages::UnreadRun *TlyrPreviewPages::unreadRunOf(int index, qint64 *at)
{
    qint64 i = qint64(index) - pagesNow()->Count();
    if (i < 0) return nullptr;
    for (UnreadRun &r : unreadRuns_) {
        if (i < r.Count) {
            if (at) *at = i;
            return &r;
        }
        i -= r.Count;
    }
    return nullptr;
}

QSize TlyrPreviewPages::unreadSize(UnreadRun &run)
{
    if (run.Size.isEmpty()) {
        TlyrXMLItem like;
        like.Name = run.Name;
        like.Text = run.Text;
        run.Size = lyrIsDMPPageName(like.Name) ||
                                   like.Name.compare(QLatin1String("TlyrReportPage"), Qt::CaseInsensitive) == 0
                           ? QSize()
                           : sourcePageSize(&like);
    }
    return run.Size;
}

TlyrXMLItem *TlyrPreviewPages::pageItem(int index)
{
    // Reading on up to the page places it without a placeholder for every
    // page between.
    while (index >= pagesNow()->Count() && unreadCount_ > 0 && readOn(256, false)) {}
    TlyrXMLItem *pages = index < pagesNow()->Count() ? pagesNow() : PagesItem();
    return pages->Items(index);
}

TlyrXMLItem *TlyrPreviewPages::pagesNow()
{
    // Asked for every page: the last one found, while it stays in its place
    // and the root's children were not freed since.
    TlyrXMLItem *root = XMLDoc.Root();
    if (pagesItem_ && pagesGeneration_ == XMLDoc.Generation() && pagesAt_ < root->Count() &&
        root->Items(pagesAt_) == pagesItem_)
        return pagesItem_;
    pagesItem_ = rootChild("previewpages");
    pagesAt_ = root->IndexOf(pagesItem_);
    pagesGeneration_ = XMLDoc.Generation();
    return pagesItem_;
}

TlyrXMLItem *TlyrPreviewPages::curPageItem()
{
    TlyrXMLItem *pages = PagesItem();
    if (CurPage < 0 || CurPage >= pages->Count()) return nullptr;
    TlyrXMLItem *item = pages->Items(CurPage);
    if (!item->Loaded) XMLDoc.LoadItem(item);
    return item;
}

int TlyrPreviewPages::Count()
{
    return pagesNow()->Count() + static_cast<int>(unreadCount_);
}

void TlyrPreviewPages::noteError(const QString &line)
{
    if (!Errors.contains(line)) Errors << line;
    if (Report) Report->AddError(line);
}

void TlyrPreviewPages::release(const CachedPage &c)
{
    // Only an element unchanged since it was read back: while the engine
    // runs it may write into it.
    if (!c.ReadBack || (Engine && Engine->Running)) return;
    TlyrXMLItem *pages = pagesNow();
    if (c.Index < pages->Count() && pages->Items(c.Index) == c.ReadBack) XMLDoc.ReleaseItem(c.ReadBack);
}

void TlyrPreviewPages::ClearPageCache()
{
    for (const CachedPage &c : pageCache_) release(c);
    pageCache_.clear();
}

void TlyrPreviewPages::ReleasePage(int index)
{
    for (auto it = pageCache_.begin(); it != pageCache_.end(); ++it)
        if (it->Index == index && index != inUse_) {
            release(*it);
            pageCache_.erase(it);
            return;
        }
}

void TlyrPreviewPages::Clear()
{
    ClearPageCache();
    heldMarks_.clear();
    sourceSizes_.clear();
    lastSize_ = {};
    UnbuiltPages.clear();
    SourcePages.clear();
    sourceOf_.clear();
    keys_.clear();
    storedText_.clear();
    storedBody_.clear();
    XMLDoc.Clear();
    XMLDoc.Root()->Name = QStringLiteral("preparedreport");
    newObjectText_.clear();
    Dictionary.Clear();
    PictureCache.Clear();
    Errors.clear();
    DamagedPicturePages.clear();
    DamagedTextPages.clear();
    Incomplete.clear();
    GetOutline()->CurItem = nullptr;
    CurPage = -1;
    MemSize = 0;
    LogicalPageN = 0;
    logicalPages_.clear();
    OutlineItems = 0;
    located_ = 0;
    unreadRuns_.clear();
    unreadCount_ = 0;
    FirstPageIndex = -1;
    FirstObjectIndex = 0;
    FirstPage = 0;
    AddPageAction = 0;
}

void TlyrPreviewPages::Initialize()
{
    MarksPending = false;
    heldMarks_.clear();
    if (Report) {
        XMLDoc.TempDir = Report->EngineOptions()->TempDir();
        Report->DoProgressStart(ptRunning);
    }
}

// ---------------------------------------------------------------- source pages

void TlyrPreviewPages::linkClone(TlyrComponent *tmpl, TlyrComponent *clone, bool bandRule)
{
    QString prefix = bandRule && clone->IsBand() ? QStringLiteral("b") : clone->BaseName().left(1).toLower();
    if (prefix.isEmpty()) prefix = QStringLiteral("o");
    const QString sourceName =
            QStringLiteral("Page") + QString::number(SourcePages.size() - 1) + QLatin1Char('.') + clone->Name();
    const QString key = Dictionary.AddObject(prefix, sourceName, clone);
    if (auto *memo = qobject_cast<TlyrCustomMemoView *>(clone)) {
        memo->SetDataSet(nullptr);
        memo->SetDataField(QString());
    }
    storeText(clone);
    keys_.insert(clone, key);
    if (tmpl) keys_.insert(tmpl, key);
}

namespace {

// The names the text of a text object is stored under.
bool isTextAttribute(QByteArrayView name)
{
    return name == "u" || name == "x" || name.compare("Text", Qt::CaseInsensitive) == 0;
}

bool givesText(QByteArrayView attrs)
{
    TlyrAttributeScanner scanner(attrs);
    while (scanner.Next())
        if (isTextAttribute(scanner.Name())) return true;
    return false;
}

}  // namespace

void TlyrPreviewPages::storeText(TlyrComponent *source)
{
    TlyrXMLSerializer ser(nullptr);
    const QByteArray full = ser.WriteComponentStr(source);
    QByteArray &plain = newObjectText_[source->metaObject()];
    if (plain.isNull()) {
        const KsClassInfo *cls = ksFindClassInfo(ksClassNameOf(source));
        std::unique_ptr<QObject> made(cls && cls->Factory ? cls->Create(nullptr) : nullptr);
        auto *fresh = qobject_cast<TlyrComponent *>(made.get());
        plain = fresh ? ser.WriteComponentStr(fresh) : QByteArray("");
    }
    // Every copy built reads this text: a value a new object has already is
    // left out (one attribute less to apply each time). Values of nested
    // objects (the font, the frame) stay, since a new object takes its
    // parent's font. The text goes apart: a copy that gives its own text
    // (nearly every one) would only set it twice.
    const qsizetype blank = full.indexOf(' ');
    if (blank < 0) {
        storedText_.insert(source, full);
        return;
    }
    QSet<QByteArrayView> given;
    const qsizetype plainBlank = plain.indexOf(' ');
    const QByteArrayView plainAttrs = plainBlank < 0 ? QByteArrayView() : QByteArrayView(plain).sliced(plainBlank + 1);
    TlyrAttributeScanner known(plainAttrs);
    while (known.Next())
        if (!known.Name().contains('.'))
            given.insert(plainAttrs.sliced(known.Name().data() - plainAttrs.data(),
                                           known.ValueEnd() - (known.Name().data() - plainAttrs.data())));
    QByteArray out = full.first(blank);
    const QByteArrayView attrs = QByteArrayView(full).sliced(blank + 1);
    TlyrAttributeScanner scanner(attrs);
    while (scanner.Next()) {
        const qsizetype from = scanner.Name().data() - attrs.data();
        const QByteArrayView pair = attrs.sliced(from, scanner.ValueEnd() - from);
        if (given.contains(pair)) continue;
        QByteArray &to = isTextAttribute(scanner.Name()) ? storedBody_[source] : out;
        to += ' ';
        to += pair;
        if (scanner.Quoted()) to += '"';
    }
    storedText_.insert(source, out);
}

TlyrComponent *TlyrPreviewPages::cloneTree(TlyrComponent *obj, TlyrComponent *parent)
{
    const KsClassInfo *cls = ksFindClassInfo(ksClassNameOf(obj));
    auto *clone = cls && cls->Factory ? qobject_cast<TlyrComponent *>(cls->Create(parent)) : nullptr;
    if (!clone) return nullptr;
    auto *pic = qobject_cast<TlyrPictureView *>(obj);
    // Pictures go to the picture cache, never into the source copy.
    QByteArray savedPicture;
    if (pic) {
        savedPicture = pic->PictureData();
        pic->ClearPicture();
    }
    clone->Assign(obj);
    if (pic && !savedPicture.isEmpty()) pic->LoadPictureFromStream(savedPicture);
    clone->SetNameUnchecked(obj->Name());
    if (parent) clone->SetParent(parent);
    for (TlyrComponent *child : obj->Objects())
        if (previewVisible(child)) cloneTree(child, clone);
    return clone;
}

void TlyrPreviewPages::AddSourcePage(TlyrReportPage *page)
{
    auto *clone = qobject_cast<TlyrReportPage *>(cloneTree(page, nullptr));
    if (!clone) return;
    SourcePages.emplace_back(clone);
    sourceOf_.emplace_back(page);
    const QList<TlyrComponent *> tmpl = page->AllObjects();
    const QList<TlyrComponent *> made = clone->AllObjects();
    // Both lists are in tree order; template objects that were skipped have
    // no clone, so they are matched by name.
    QHash<QString, TlyrComponent *> byName;
    for (TlyrComponent *t : tmpl) byName.insert(t->Name(), t);
    for (TlyrComponent *c : made) linkClone(byName.value(c->Name()), c, true);
}

void TlyrPreviewPages::AddToSourcePage(TlyrComponent *obj)
{
    if (SourcePages.empty()) return;
    TlyrReportPage *page = SourcePages.back().get();
    const KsClassInfo *cls = ksFindClassInfo(ksClassNameOf(obj));
    auto *clone = cls && cls->Factory ? qobject_cast<TlyrComponent *>(cls->Create(page)) : nullptr;
    if (!clone) return;
    clone->Assign(obj);
    clone->SetParent(page);
    clone->CreateUniqueName();
    linkClone(obj, clone, false);
}

// ---------------------------------------------------------------- pages

void TlyrPreviewPages::fileCacheCheck()
{
    if (!Report) return;
    const TlyrEngineOptions *o = Report->EngineOptions();
    // Without the file cache, pages still leave memory past a ceiling: a
    // report that never ends must not take all the memory there is.
    const qint64 limit = qint64(o->MaxMemSize()) * 1024 * 1024 * (o->UseFileCache() ? 1 : kMemoryCeilingFactor);
    if (MemSize <= limit) return;
    TlyrXMLItem *pages = PagesItem();
    for (int i = pages->Count() - 2; i >= 0; --i) {
        TlyrXMLItem *item = pages->Items(i);
        if (!item->Loaded) break;
        if (item->Unloadable) XMLDoc.UnloadItem(item);
    }
    MemSize = 0;
}

bool TlyrPreviewPages::CountWithin(int &count, int limit, const QString &what)
{
    if (count >= limit) {
        if (Report && !Report->Terminated()) {
            Report->AddError(QStringLiteral("报表的%1超过 %2，已停止生成").arg(what).arg(limit));
            Report->SetTerminated(true);
        }
        return false;
    }
    ++count;
    return true;
}

void TlyrPreviewPages::AddPage(TlyrReportPage *page)
{
    if (MarksPending) FillPageNumbers(0);
    TlyrXMLItem *pages = PagesItem();
    fileCacheCheck();
    ++CurPage;
    if (CurPage < pages->Count() && AddPageAction != 1) return;
    // Even a page in the file cache keeps a little memory: a report that
    // never ends is stopped at a number of pages no real report reaches.
    int count = pages->Count();
    if (!CountWithin(count, MaxPages, QStringLiteral("页数"))) return;
    int source = -1;
    for (size_t i = 0; i < sourceOf_.size(); ++i)
        if (sourceOf_[i] == page) source = static_cast<int>(i);
    TlyrXMLItem *item = pages->Add();
    // One shared name text for the pages of a source page.
    if (source != namedSource_ || pageName_.isEmpty()) {
        pageName_ = QStringLiteral("page") + QString::number(source);
        namedSource_ = source;
    }
    item->Name = pageName_;
    // The first two pages always stay in memory.
    if (pages->Count() > 2) item->Unloadable = true;
    if (Report) Report->DoProgress(ptRunning, CurPage + 1);
    AddPageAction = 0;
    CurPage = pages->Count() - 1;
    IncLogicalPageNumber();
}

int TlyrPreviewPages::writeObject(TlyrComponent *obj, TlyrXMLItem *parent)
{
    if (!obj->Visible() || !previewVisible(obj)) return 0;
    TlyrXMLItem *item = parent->Add();
    const QString key = keys_.value(obj);
    TlyrComponent *source = key.isEmpty() ? nullptr : Dictionary.GetObject(key);
    // A picture goes to the cache through its Diff, once per change; an
    // object without a source is written in full with its picture.
    if (source) {
        item->Name = key;
        const bool finalPass = !Engine || Engine->FinalPass;
        item->Text = (finalPass ? obj->Diff(source) : obj->TlyrComponent::Diff(source)).trimmed().toUtf8();
    } else {
        item->Name = ksClassNameOf(obj);
        item->Text = obj->AllDiff(nullptr).toUtf8();
    }
    MemSize += item->Name.size() + item->Text.size() + 64;
    int written = 1;
    for (TlyrComponent *child : obj->Objects()) written += writeObject(child, item);
    return written;
}

void TlyrPreviewPages::AddObject(TlyrComponent *obj)
{
    TlyrXMLItem *page = curPageItem();
    if (!page) return;
    // A page gets no more objects than a page may be built with: bands of
    // no height would fill one page without end. The count is kept while
    // only this adds to the page.
    if (page != countedPage_ || page->Count() != countedTop_) {
        countedPage_ = page;
        countedObjects_ = elementsUnder(page, MaxPageObjects);
    }
    const qint64 memBefore = MemSize;
    const int written = writeObject(obj, page);
    int count = countedObjects_ + written - 1;
    if (written > 0 && !CountWithin(count, MaxPageObjects, QStringLiteral("单页对象数"))) {
        delete page->Items(page->Count() - 1);
        countedPage_ = nullptr;
        return;
    }
    countedObjects_ += written;
    countedTop_ = page->Count();
    // Pages built while a script runs (a report's build) are that run's
    // memory: a script that adds objects to a band makes every later
    // output of the band larger.
    ksRunTook(MemSize - memBefore);
}

void TlyrPreviewPages::BeginPass()
{
    FirstPageIndex = Count() - 1;
    if (Count() > 0) FirstObjectIndex = PagesItem()->Items(FirstPageIndex)->Count();
    ResetLogicalPageNumber();
}

void TlyrPreviewPages::ClearFirstPassPages()
{
    if (FirstPageIndex >= 0) {
        // The report's part begins on a page of an earlier report: that page
        // keeps what it had, the pages after it go.
        TlyrXMLItem *pages = PagesItem();
        if (FirstPageIndex < pages->Count()) {
            TlyrXMLItem *page = pages->Items(FirstPageIndex);
            if (!page->Loaded) XMLDoc.LoadItem(page);
            while (page->Count() > FirstObjectIndex) delete page->Items(page->Count() - 1);
        }
        while (pages->Count() > FirstPageIndex + 1) delete pages->Items(pages->Count() - 1);
        UnbuiltPages.clear();
    } else {
        // The final pass writes everything again, the outline included;
        // anchors and logical page numbers of the first pass are kept.
        TlyrXMLItem *root = XMLDoc.Root();
        for (int i = 0; i < root->Count(); ++i) {
            TlyrXMLItem *child = root->Items(i);
            if (child->Name.compare(QLatin1String("anchors"), Qt::CaseInsensitive) == 0 ||
                child->Name.compare(QLatin1String("logicalpagenumbers"), Qt::CaseInsensitive) == 0)
                continue;
            child->Clear();
        }
        GetOutline()->CurItem = nullptr;
        OutlineItems = 0;
    }
    ClearPageCache();
    // The group totals of the last pages were closed at the end of the pass;
    // a reset from the last page again would write them over with 0.
    CurPage = FirstPageIndex;
    ResetLogicalPageNumber();
    MemSize = 0;
}

void TlyrPreviewPages::CutObjects(int from)
{
    TlyrXMLItem *page = curPageItem();
    TlyrXMLItem *cut = rootChild("cutted");
    if (!page) return;
    while (page->Count() > from) cut->AddItem(page->Items(from));
}

void TlyrPreviewPages::PasteObjects(double x, double y)
{
    // The block keeps its shape: it moves as its first object does.
    std::optional<QPointF> by;
    PasteObjects([&](int, QRectF &box) {
        if (!by) by = QPointF(x - box.left(), y - box.top());
        box.translate(*by);
        return true;
    });
}

QRectF TlyrPreviewPages::storedBox(const TlyrXMLItem *it)
{
    auto prop = [&](const char *attr) {
        if (it->HasProp(attr)) return it->Prop(attr).toDouble();
        const TlyrComponent *src = Dictionary.GetObject(it->Name);
        if (!src) return 0.0;
        switch (attr[0]) {
        case 't': return src->Top();
        case 'l': return src->Left();
        case 'w': return src->Width();
        default: return src->Height();
        }
    };
    return {prop("l"), prop("t"), prop("w"), prop("h")};
}

static void copyItem(const TlyrXMLItem &from, TlyrXMLItem &to)
{
    to.Name = from.Name;
    to.Text = from.Text;
    to.Value = from.Value;
    to.Damaged = from.Damaged;
    for (int i = 0; i < from.Count(); ++i) copyItem(*from.Items(i), *to.Add());
}

std::shared_ptr<TlyrXMLItem> TlyrPreviewPages::CopyObjects(int from, int to)
{
    auto copies = std::make_shared<TlyrXMLItem>();
    TlyrXMLItem *page = curPageItem();
    if (!page) return copies;
    for (int i = std::max(from, 0); i < std::min(to, page->Count()); ++i) copyItem(*page->Items(i), *copies->Add());
    return copies;
}

QRectF TlyrPreviewPages::CopiedBox(const TlyrXMLItem &copies)
{
    QRectF box;
    for (int i = 0; i < copies.Count(); ++i) box = box.isNull() ? storedBox(copies.Items(i)) : box | storedBox(copies.Items(i));
    return box;
}

void TlyrPreviewPages::AddCopies(const TlyrXMLItem &copies, double dx, double dy)
{
    TlyrXMLItem *page = curPageItem();
    if (!page) return;
    for (int i = 0; i < copies.Count(); ++i) {
        const TlyrXMLItem *from = copies.Items(i);
        const QRectF box = storedBox(from).translated(dx, dy);
        TlyrXMLItem *it = page->Add();
        copyItem(*from, *it);
        it->SetProp("t", numText(box.top()));
        it->SetProp("l", numText(box.left()));
    }
}

void TlyrPreviewPages::PasteObjects(const std::function<bool(int index, QRectF &box)> &place)
{
    TlyrXMLItem *cut = rootChild("cutted");
    TlyrXMLItem *page = curPageItem();
    if (!page || cut->Count() == 0) {
        delete cut;
        return;
    }
    for (int i = 0; cut->Count() > 0; ++i) {
        TlyrXMLItem *it = cut->Items(0);
        const QRectF was = storedBox(it);
        QRectF box = was;
        if (!place(i, box)) {
            delete it;
            continue;
        }
        it->SetProp("t", numText(box.top()));
        if (std::fabs(box.left() - was.left()) > 0.0001) it->SetProp("l", numText(box.left()));
        // The placing may have begun a new page for the rest.
        if (TlyrXMLItem *now = curPageItem()) page = now;
        page->AddItem(it);
    }
    delete cut;
}

void TlyrPreviewPages::FillPageNumbers(int from)
{
    TlyrXMLItem *page = curPageItem();
    if (!page) return;
    const QByteArray physical = lyrPageNumberMark(false).toUtf8(), logical = lyrPageNumberMark(true).toUtf8();
    const QByteArray physicalNo = QByteArray::number(CurPage + 1), logicalNo = QByteArray::number(GetLogicalPageNo());
    // An expression reading the page number is worked out by the report.
    const QByteArray expression = lyrPageExpressionMark(0).toUtf8().chopped(4), end = QString(QChar(0xE001)).toUtf8();
    std::function<void(TlyrXMLItem *)> fill = [&](TlyrXMLItem *it) {
        if (it->Text.contains(physical)) it->Text.replace(physical, physicalNo);
        if (it->Text.contains(logical)) it->Text.replace(logical, logicalNo);
        for (qsizetype at = it->Text.indexOf(expression); at >= 0 && Report; at = it->Text.indexOf(expression, at)) {
            const qsizetype close = it->Text.indexOf(end, at);
            if (close < 0) break;
            const int id = it->Text.mid(at + expression.size(), close - at - expression.size()).toInt();
            const QByteArray text = lyrStrToXML(Report->PageExpressionText(id, CurPage + 1, GetLogicalPageNo()));
            it->Text.replace(at, close + end.size() - at, text);
            at += text.size();
        }
        for (int i = 0; i < it->Count(); ++i) fill(it->Items(i));
    };
    const auto held = heldMarks_.find(CurPage);
    const int to = held == heldMarks_.end() ? page->Count() : std::min(held->second, page->Count());
    for (int i = std::max(from, 0); i < to; ++i) fill(page->Items(i));
}

void TlyrPreviewPages::HoldMarks(int page, int from)
{
    const auto [it, added] = heldMarks_.emplace(page, from);
    if (!added) it->second = std::min(it->second, from);
}

void TlyrPreviewPages::ReleaseMarks()
{
    const std::map<int, int> held = std::exchange(heldMarks_, {});
    const int current = CurPage;
    for (const auto &[page, from] : held) {
        if (page == current || page >= Count()) continue;
        CurPage = page;
        FillPageNumbers(from);
    }
    CurPage = current;
}

TlyrXMLItem *TlyrPreviewPages::TakeObjects(int page, int from)
{
    auto *taken = new TlyrXMLItem;
    TlyrXMLItem *pages = PagesItem();
    if (page < 0 || page >= pages->Count()) return taken;
    TlyrXMLItem *item = pages->Items(page);
    if (!item->Loaded) XMLDoc.LoadItem(item);
    for (int i = from; i < item->Count();) {
        const TlyrComponent *src = Dictionary.GetObject(item->Items(i)->Name);
        if (qobject_cast<const TlyrPageFooter *>(src) || qobject_cast<const TlyrOverlay *>(src))
            ++i;
        else
            taken->AddItem(item->Items(i));
    }
    ClearPageCache();
    return taken;
}

void TlyrPreviewPages::PutObjects(TlyrXMLItem *taken, double dy)
{
    TlyrXMLItem *cut = rootChild("cutted");
    while (taken->Count() > 0) cut->AddItem(taken->Items(0));
    delete taken;
    PasteObjects([dy](int, QRectF &box) {
        box.translate(0, dy);
        return true;
    });
}

void TlyrPreviewPages::Finish()
{
    ReleaseMarks();
    if (MarksPending) FillPageNumbers(0);
    MarksPending = false;
    ClearPageCache();
    sourceOf_.clear();
    // Template objects are gone after the run; only clones keep keys.
    for (auto it = keys_.begin(); it != keys_.end();)
        it = storedText_.contains(it.key()) ? std::next(it) : keys_.erase(it);
    if (Report) Report->DoProgressStop(ptRunning);
}

int TlyrPreviewPages::AddPicture(TlyrPictureView *view)
{
    PictureCache.AddPicture(view);
    return view->ImageIndex();
}

bool TlyrPreviewPages::BandExists(TlyrComponent *band)
{
    TlyrXMLItem *page = curPageItem();
    if (!page) return false;
    const QString key = keys_.value(band);
    for (int i = 0; i < page->Count(); ++i) {
        TlyrXMLItem *it = page->Items(i);
        if (!key.isEmpty() && it->Name == key) return true;
        TlyrComponent *src = Dictionary.GetObject(it->Name);
        if (!src) continue;
        if (qobject_cast<TlyrPageFooter *>(src) && qobject_cast<TlyrPageFooter *>(band)) return true;
        if (qobject_cast<TlyrColumnFooter *>(src) && qobject_cast<TlyrColumnFooter *>(band)) return true;
    }
    return false;
}

int TlyrPreviewPages::GetCurPosition()
{
    TlyrXMLItem *page = curPageItem();
    return page ? page->Count() : 0;
}

double TlyrPreviewPages::GetLastY()
{
    TlyrXMLItem *page = curPageItem();
    double result = 0;
    if (!page) return 0;
    for (int i = 0; i < page->Count(); ++i) {
        TlyrXMLItem *it = page->Items(i);
        TlyrComponent *src = Dictionary.GetObject(it->Name);
        if (!src || !src->IsBand()) continue;
        if (qobject_cast<TlyrPageFooter *>(src) || qobject_cast<TlyrOverlay *>(src)) continue;
        const double t = it->HasProp("t") ? it->Prop("t").toDouble() : src->Top();
        const double h = it->HasProp("h") ? it->Prop("h").toDouble() : src->Height();
        // An empty null band counts for nothing.
        if (qobject_cast<TlyrNullBand *>(src) && h <= 0) continue;
        result = std::max(result, t + h);
    }
    return result;
}

void TlyrPreviewPages::AddEmptyPage(int index)
{
    ReadAllPages();
    TlyrXMLItem *pages = PagesItem();
    if (index < 0 || index >= pages->Count()) return;
    auto *item = new TlyrXMLItem;
    item->Name = pages->Items(index)->Name;
    pages->InsertItem(index, item);
    UnbuiltPages.clear();
    ClearPageCache();
}

void TlyrPreviewPages::DeletePage(int index)
{
    ReadAllPages();
    TlyrXMLItem *pages = PagesItem();
    if (pages->Count() < 2 || index < 0 || index >= pages->Count()) return;
    delete pages->Items(index);
    UnbuiltPages.clear();
    ClearPageCache();
}

void TlyrPreviewPages::writeFullPage(TlyrReportPage *page, TlyrXMLItem *item)
{
    if (!item->Loaded) XMLDoc.LoadItem(item);
    while (item->Count() > 0) delete item->Items(item->Count() - 1);
    item->Text.clear();
    // A prepared page repeats its band's objects under the same names; read
    // back by name they would collapse into one, so each gets its own name
    // while it is written.
    std::vector<std::pair<TlyrComponent *, QString>> renamed;
    QSet<QString> names;
    for (TlyrComponent *c : page->AllObjects()) {
        const QString name = c->Name();
        if (name.isEmpty()) continue;
        QString unique = name;
        for (int n = 2; names.contains(unique.toUpper()); ++n) unique = name + QLatin1Char('_') + QString::number(n);
        names.insert(unique.toUpper());
        if (unique == name) continue;
        renamed.emplace_back(c, name);
        c->SetNameUnchecked(unique);
    }
    TlyrXMLSerializer ser(nullptr);
    ser.WriteRootComponent(page, true, item);
    for (auto &[c, name] : renamed) c->SetNameUnchecked(name);
    // A page written in full no longer refers to the source pages' keys, and
    // the file cache could not restore it.
    item->Unloadable = false;
}

void TlyrPreviewPages::ModifyPage(int index, TlyrReportPage *page)
{
    ReadAllPages();
    TlyrXMLItem *pages = PagesItem();
    if (!page || index < 0 || index >= pages->Count()) return;
    writeFullPage(page, pages->Items(index));
    UnbuiltPages.clear();
    ClearPageCache();
}

void TlyrPreviewPages::AddFrom(TlyrReport *report)
{
    auto *other = report ? dynamic_cast<TlyrPreviewPages *>(report->PreviewPages()) : nullptr;
    if (!other || other == this) return;
    ReadAllPages();
    TlyrXMLItem *pages = PagesItem();
    for (int i = 0; i < other->Count(); ++i) {
        TlyrReportPage *page = other->GetPage(i);
        if (!page) continue;
        const QString lastName = pages->Count() > 0 ? pages->Items(pages->Count() - 1)->Name : QString();
        TlyrXMLItem *item = pages->Add();
        item->Name = lastName;
        writeFullPage(page, item);
    }
    UnbuiltPages.clear();
    ClearPageCache();
}

void TlyrPreviewPages::UpdatePageDimensions(TlyrReportPage *page, double width, double height)
{
    sourceSizes_.clear();
    lastSize_ = {};
    for (size_t i = 0; i < sourceOf_.size() && i < SourcePages.size(); ++i) {
        if (sourceOf_[i] != page) continue;
        TlyrReportPage *source = SourcePages[i].get();
        source->SetPaperWidth(width / lyrUnitsPerMM);
        source->SetPaperHeight(height / lyrUnitsPerMM);
        // Setting the size may have matched a standard paper; this one is custom.
        source->SetPaperSize(lyrCustomPaper);
        // The page being written keeps its own size: a later page of the same
        // source may grow to another one.
        TlyrXMLItem *item = curPageItem();
        if (item && item->Name == QStringLiteral("page") + QString::number(i)) {
            item->SetProp("pw", numText(width / lyrUnitsPerMM));
            item->SetProp("ph", numText(height / lyrUnitsPerMM));
        }
    }
}

// ---------------------------------------------------------------- rebuilding

void TlyrPreviewPages::markDamaged(QList<int> &pages, const QString &line)
{
    if (buildingIndex_ < 0) return;
    const int page = buildingIndex_ + 1;
    const auto at = std::lower_bound(pages.begin(), pages.end(), page);
    if (at == pages.end() || *at != page) pages.insert(at, page);
    noteError(line.arg(page));
}

bool TlyrPreviewPages::buildChildren(TlyrXMLItem *item, TlyrComponent *parent, TlyrXMLSerializer &ser)
{
    for (int i = 0; i < item->Count(); ++i) {
        TlyrXMLItem *el = item->Items(i);
        TlyrComponent *src = Dictionary.GetObject(el->Name);
        // What the copies of one source share is worked out once a page.
        QByteArray shared;
        if (src) {
            shared = storedText_.value(src);
            const auto body = storedBody_.constFind(src);
            if (body != storedBody_.cend() && !givesText(el->Text)) shared += *body;
        } else {
            shared = el->Name.toLatin1();
        }
        TlyrComponent *obj = ser.ReadComponentParts(parent, shared, QByteArrayView(el->Text));
        if (!obj) return false;
        if (src) obj->SetNameUnchecked(src->Name());
        obj->SetParent(parent);
        if (auto *memo = qobject_cast<TlyrCustomMemoView *>(obj)) {
            memo->TotalPages = Count();
            memo->CopyNo = CopyNo;
        }
        if (auto *pic = qobject_cast<TlyrPictureView *>(obj);
            pic && pic->PictureData().isEmpty() && !PictureCache.GetPicture(pic))
            markDamaged(DamagedPicturePages, QStringLiteral("第 %1 页的图片已损坏"));
        // Texts are written as UTF-8 without NUL: anything else came from damage.
        if (QByteArrayView t(el->Text); t.contains('\0') || t.contains("&#0;") || !t.isValidUtf8())
            markDamaged(DamagedTextPages, QStringLiteral("第 %1 页的文字已损坏"));
        if (!buildChildren(el, obj, ser)) return false;
    }
    return true;
}

namespace {

// Elements under item, counted up to most + 1.
int elementsUnder(const TlyrXMLItem *item, int most)
{
    int n = 0;
    std::vector<const TlyrXMLItem *> open{item};
    while (!open.empty() && n <= most) {
        const TlyrXMLItem *it = open.back();
        open.pop_back();
        for (int i = 0; i < it->Count() && n <= most; ++i) {
            ++n;
            open.push_back(it->Items(i));
        }
    }
    return n;
}

}  // namespace

TlyrReportPage *TlyrPreviewPages::buildPage(int index)
{
    TlyrXMLItem *item = pageItem(index);
    // A page of the file not read yet is read first: it may be damaged.
    if (item->Unread()) readOnTo(item);
    if (!item->Damaged.isEmpty()) {
        noteError(QStringLiteral("第 %1 页已损坏").arg(index + 1));
        return nullptr;
    }
    buildingIndex_ = index;
    struct Built {
        int &index;
        ~Built() { index = -1; }
    } built{buildingIndex_};
    try {
        if (!item->Loaded) XMLDoc.LoadItem(item);
        if (elementsUnder(item, MaxPageObjects) > MaxPageObjects) {
            noteError(QStringLiteral("第 %1 页的对象超过 %2 个，未能打开").arg(index + 1).arg(MaxPageObjects));
            return nullptr;
        }
        std::unique_ptr<TlyrReportPage> page;
        TlyrXMLSerializer ser(nullptr);
        const bool dotMatrix = lyrIsDMPPageName(item->Name);
        if (dotMatrix || item->Name.compare(QLatin1String("TlyrReportPage"), Qt::CaseInsensitive) == 0) {
            page = dotMatrix ? std::make_unique<TlyrDMPPage>() : std::make_unique<TlyrReportPage>();
            ser.ReadRootComponent(page.get(), item);
            for (const QString &e : std::as_const(ser.Errors)) noteError(e);
        } else {
            bool ok = false;
            const int source = item->Name.mid(4, 5).toInt(&ok);
            if (!ok || source < 0 || source >= static_cast<int>(SourcePages.size())) {
                noteError(QStringLiteral("第 %1 页已损坏").arg(index + 1));
                return nullptr;
            }
            TlyrReportPage *from = SourcePages[static_cast<size_t>(source)].get();
            page = lyrNewPageLike(from);
            page->Assign(from);
            if (item->HasProp("pw") || item->HasProp("ph")) {
                bool okW = false, okH = false;
                const double w = item->Prop("pw").toDouble(&okW), h = item->Prop("ph").toDouble(&okH);
                if (!okW || !okH || !(w > 0) || !(h > 0)) {
                    noteError(QStringLiteral("第 %1 页已损坏").arg(index + 1));
                    return nullptr;
                }
                page->SetPaperWidth(w);
                page->SetPaperHeight(h);
                page->SetPaperSize(lyrCustomPaper);
            }
            if (!buildChildren(item, page.get(), ser)) {
                noteError(QStringLiteral("第 %1 页已损坏").arg(index + 1));
                return nullptr;
            }
        }
        return page.release();
    } catch (const std::bad_alloc &) {
        // The objects built so far are freed on the way here.
        noteError(QStringLiteral("内存不足，第 %1 页未能打开").arg(index + 1));
        return nullptr;
    } catch (const std::exception &) {
        noteError(QStringLiteral("第 %1 页已损坏").arg(index + 1));
        return nullptr;
    }
}

TlyrReportPage *TlyrPreviewPages::GetPage(int index)
{
    if (Count() == 0 || index < 0 || index >= Count()) return nullptr;
    const bool running = Engine && Engine->Running;
    if (!running) {
        for (size_t i = 0; i < pageCache_.size(); ++i)
            if (pageCache_[i].Index == index) {
                if (i) std::swap(pageCache_[0], pageCache_[i]);
                return pageCache_[0].Page.get();
            }
    }
    TlyrXMLItem *item = pageItem(index);
    const bool readBack = !running && !item->Loaded;
    TlyrReportPage *page = buildPage(index);
    if (!page) {
        if (!running) {
            const auto at = std::lower_bound(UnbuiltPages.begin(), UnbuiltPages.end(), index + 1);
            if (at == UnbuiltPages.end() || *at != index + 1) UnbuiltPages.insert(at, index + 1);
        }
        // What was read back for it goes out again.
        if (readBack) XMLDoc.ReleaseItem(item);
        return nullptr;
    }
    const qint64 objects = elementsUnder(item, std::numeric_limits<int>::max() - 1);
    pageCache_.insert(pageCache_.begin(),
                      CachedPage{index, std::unique_ptr<TlyrReportPage>(page), objects, readBack ? item : nullptr});
    while ((static_cast<int>(pageCache_.size()) > pageCacheLimit() || cachedObjects() > MaxCachedObjects) &&
           dropCachedPage()) {}
    return page;
}

qint64 TlyrPreviewPages::cachedObjects() const
{
    qint64 n = 0;
    for (const CachedPage &c : pageCache_) n += c.Objects;
    return n;
}

int TlyrPreviewPages::pageCacheLimit() const
{
    return std::max(Report ? Report->PreviewOptions()->PagesInCache : 50, 1);
}

// The least recently used page leaves the cache; with the file cache its
// element leaves memory too. The page just built and a page in use by a
// click stay (the cache may then hold one page more); false when none left.
bool TlyrPreviewPages::dropCachedPage()
{
    size_t victim = pageCache_.size() - 1;
    if (pageCache_[victim].Index == inUse_) --victim;
    if (victim == 0) return false;
    const int index = pageCache_[victim].Index;
    const bool readBack = pageCache_[victim].ReadBack;
    release(pageCache_[victim]);
    pageCache_.erase(pageCache_.begin() + static_cast<std::ptrdiff_t>(victim));
    if (readBack) return true;
    if (!Report || !Report->EngineOptions()->UseFileCache() || index >= Count()) return true;
    // The page being written stays.
    if (Engine && Engine->Running && index == CurPage) return true;
    TlyrXMLItem *item = pageItem(index);
    if (item->Unloadable) XMLDoc.UnloadItem(item);
    return true;
}

QSize TlyrPreviewPages::sourcePageSize(TlyrXMLItem *item)
{
    // The element's own attributes stay in memory when its objects are out.
    const QByteArray w = item->PropBytes("pw"), h = item->PropBytes("ph");
    const QString key = item->Name + QLatin1Char('|') + QString::fromLatin1(w) + QLatin1Char('|') + QString::fromLatin1(h);
    if (const auto it = sourceSizes_.constFind(key); it != sourceSizes_.cend()) {
        lastSize_ = {item->Name, item->Text, *it};
        return *it;
    }
    bool ok = false;
    const int source = item->Name.mid(4, 5).toInt(&ok);
    if (!ok || source < 0 || source >= static_cast<int>(SourcePages.size())) return {};
    const TlyrReportPage *from = SourcePages[static_cast<size_t>(source)].get();
    std::unique_ptr<TlyrReportPage> page = lyrNewPageLike(from);
    page->Assign(from);
    if (item->HasProp("pw") || item->HasProp("ph")) {
        bool okW = false, okH = false;
        const double pw = item->Prop("pw").toDouble(&okW), ph = item->Prop("ph").toDouble(&okH);
        // Built, such a page is refused as damaged.
        if (!okW || !okH || !(pw > 0) || !(ph > 0)) return {};
        page->SetPaperWidth(pw);
        page->SetPaperHeight(ph);
        page->SetPaperSize(lyrCustomPaper);
    }
    const QSize size(lyrRoundi(page->Width()), lyrRoundi(page->Height()));
    if (!size.isEmpty()) {
        sourceSizes_.insert(key, size);
        lastSize_ = {item->Name, item->Text, size};
    }
    return size;
}

int TlyrPreviewPages::GetPageSizeRun(int index, QSize &size)
{
    qint64 at = 0;
    if (UnreadRun *run = index >= 0 ? unreadRunOf(index, &at) : nullptr) {
        size = unreadSize(*run);
        if (!size.isEmpty()) return static_cast<int>(run->Count - at);
    }
    size = GetPageSize(index);
    return index >= 0 && index < Count() ? 1 : 0;
}

QSize TlyrPreviewPages::GetPageSize(int index)
{
    if (index < 0 || index >= Count()) return QSize(0, 0);
    if (UnreadRun *run = unreadRunOf(index)) {
        const QSize size = unreadSize(*run);
        if (!size.isEmpty()) return size;
    }
    TlyrXMLItem *pages = index < pagesNow()->Count() ? pagesNow() : PagesItem();
    TlyrXMLItem *item = pages->Items(index);
    if (!item->Damaged.isEmpty()) return QSize(0, 0);
    const bool writing = Engine && Engine->Running && index == CurPage;
    // Most pages start as the one asked for before (a page of a source page).
    if (!writing && !lastSize_.Size.isEmpty() && item->Name == lastSize_.Name && item->Text == lastSize_.Text)
        return lastSize_.Size;
    // A page of a source page is measured without being built; while the
    // engine runs, the page being written may still change its size.
    const bool ofSource = !lyrIsDMPPageName(item->Name) &&
                          item->Name.compare(QLatin1String("TlyrReportPage"), Qt::CaseInsensitive) != 0;
    if (ofSource && !writing) return sourcePageSize(item);
    TlyrReportPage *page = GetPage(index);
    if (!page) return QSize(0, 0);
    return QSize(lyrRoundi(page->Width()), lyrRoundi(page->Height()));
}

namespace {

// A page printed on the back of a sheet has its binding margin on the other
// side: left and right margins are exchanged while it is drawn or hit.
class MirroredMargins {
public:
    MirroredMargins(TlyrReportPage *page, int index) : page_(page->MirrorMargins && index % 2 == 1 ? page : nullptr)
    {
        swap();
    }
    ~MirroredMargins() { swap(); }
    MirroredMargins(const MirroredMargins &) = delete;
    MirroredMargins &operator=(const MirroredMargins &) = delete;

private:
    void swap()
    {
        if (!page_) return;
        const double left = page_->LeftMargin();
        page_->SetLeftMargin(page_->RightMargin());
        page_->SetRightMargin(left);
    }
    TlyrReportPage *page_;
};

// The clip of a screen canvas narrowed to the paper while a page is drawn.
class PaperClip {
public:
    PaperClip(TlyrCanvas &canvas, const QRect &paper, bool on) : canvas_(on ? &canvas : nullptr)
    {
        if (canvas_) canvas_->PushClip(paper);
    }
    ~PaperClip()
    {
        if (canvas_) canvas_->PopClip();
    }
    PaperClip(const PaperClip &) = delete;
    PaperClip &operator=(const PaperClip &) = delete;

private:
    TlyrCanvas *canvas_;
};

// A canvas that only records (the preview's search) takes every object.
bool recordsOnly(const TlyrCanvas &canvas)
{
    return !canvas.Painter() && dynamic_cast<const TlyrRecordingCanvas *>(&canvas);
}

}  // namespace

void TlyrPreviewPages::DrawPage(int index, TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX,
                                double offsetY)
{
    try {
        drawPage(index, canvas, scaleX, scaleY, offsetX, offsetY);
    } catch (const std::bad_alloc &) {
        // What the drawing held is freed by now; the caller shows the line.
        const QString line = QStringLiteral("内存不足，第 %1 页未能画出").arg(index + 1);
        noteError(line);
        throw ElyrError(line);
    }
}

void TlyrPreviewPages::drawPage(int index, TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX,
                                double offsetY)
{
    TlyrReportPage *page = GetPage(index);
    if (!page) return;
    const MirroredMargins mirrored(page, index);
    const bool printing = canvas.IsPrinter();
    const QRect paper(QPoint(lyrRoundi(offsetX), lyrRoundi(offsetY)),
                      QPoint(lyrRoundi(page->PaperWidth() * lyrUnitsPerMM * scaleX + offsetX) - 1,
                             lyrRoundi(page->PaperHeight() * lyrUnitsPerMM * scaleY + offsetY) - 1));
    const PaperClip clip(canvas, paper, !printing);
    page->DrawBackground(canvas, scaleX, scaleY, offsetX, offsetY);
    const double ox = offsetX + page->LeftMargin() * lyrUnitsPerMM * scaleX;
    const double oy = offsetY + page->TopMargin() * lyrUnitsPerMM * scaleY;
    const bool everything = recordsOnly(canvas);
    const QPoint shift(lyrRoundi(ox), lyrRoundi(oy));
    for (TlyrComponent *c : page->AllObjects()) {
        if (!c->IsView()) continue;
        auto *v = static_cast<TlyrView *>(c);
        if (printing && !v->Printable()) continue;
        const QRect box(QPoint(lyrRoundi(v->AbsLeft() * scaleX) - 20, lyrRoundi(v->AbsTop() * scaleY) - 20),
                        QPoint(lyrRoundi((v->AbsLeft() + v->Width()) * scaleX + 20),
                               lyrRoundi((v->AbsTop() + v->Height()) * scaleY + 20)));
        if (!everything && !canvas.RectVisible(box.translated(shift))) continue;
        if (auto *memo = qobject_cast<TlyrCustomMemoView *>(v)) PrepareText(*memo);
        v->Draw(canvas, scaleX, scaleY, ox, oy);
    }
}

void TlyrPreviewPages::PrepareText(TlyrCustomMemoView &memo)
{
    memo.TotalPages = Count();
    memo.CopyNo = CopyNo;
    memo.PrintScale = PrintScale;
}

void TlyrPreviewPages::followUrl(const QString &url)
{
    auto *preview = Report ? qobject_cast<TlyrPreview *>(Report->Preview()) : nullptr;
    if (url.startsWith(QLatin1Char('@'))) {
        bool ok = false;
        const int pageNo = url.mid(1).trimmed().toInt(&ok);
        if (ok && preview) preview->SetPageNo(pageNo);
    } else if (url.startsWith(QLatin1Char('#'))) {
        TlyrXMLItem *anchor = FindAnchor(url.mid(1));
        if (anchor && preview) preview->SetPosition(anchor->Prop("page").toInt() + 1, anchor->Prop("top").toInt());
    } else if (lyrIsSafeHyperlink(url) && OnOpenUrl) {
        OnOpenUrl(url);
    }
}

TlyrView *TlyrPreviewPages::ObjectOver(int index, double x, double y, int button, int shift, double scale,
                                       double offsetX, double offsetY, bool click, int *cursor)
{
    if (index < 0 || index >= Count() || (Engine && Engine->Running)) return nullptr;
    TlyrReportPage *page = GetPage(index);
    if (!page) return nullptr;
    auto setCursor = [cursor](int c) {
        if (cursor) *cursor = c;
    };
    TlyrGroupHeader *drillDown = nullptr;
    TlyrView *hit = nullptr;
    {
        const MirroredMargins mirrored(page, index);
        const double ox = offsetX + page->LeftMargin() * lyrUnitsPerMM * scale;
        const double oy = offsetY + page->TopMargin() * lyrUnitsPerMM * scale;
        if (Report) Report->SetProgressMessage(QString());
        const auto under = [&](const TlyrComponent *c) {
            const double l = c->AbsLeft() * scale + ox, t = c->AbsTop() * scale + oy;
            return x >= l && y >= t && x <= l + c->Width() * scale && y <= t + c->Height() * scale;
        };
        const auto drillDownHeader = [](TlyrComponent *c) {
            auto *h = qobject_cast<TlyrGroupHeader *>(c);
            return h && h->DrillDown ? h : nullptr;
        };
        const QList<TlyrComponent *> all = page->AllObjects();
        // The topmost (last drawn) object wins.
        for (auto it = all.crbegin(); it != all.crend(); ++it) {
            TlyrComponent *c = *it;
            if (!under(c)) continue;
            if ((drillDown = drillDownHeader(c))) break;
            if (!c->IsView()) continue;
            hit = static_cast<TlyrView *>(c);
            drillDown = drillDownHeader(c->Parent());
            break;
        }
    }
    if (drillDown) {
        setCursor(lyrCrHandPoint);
        if (!click || button != Qt::LeftButton || !Report) return hit;
        const QString key = drillDown->Name() + QLatin1Char('.') + QString::number(drillDown->Tag());
        if (!Report->ClickList.removeAll(key)) Report->ClickList << key;
        // The rebuild replaces every page.
        if (Report->Preview()) Report->Preview()->RefreshReport();
        return nullptr;
    }
    if (!hit) return nullptr;
    // Following a link may build other pages; this one stays for the click.
    struct InUse {
        int &Index;
        int Was;
        ~InUse() { Index = Was; }
    } inUse{inUse_, inUse_};
    inUse_ = index;
    if (hit->Cursor() != 0) setCursor(hit->Cursor());
    const QString url = hit->URL();
    if (!url.isEmpty()) {
        if (Report) Report->SetProgressMessage(url);
        if (hit->Cursor() == 0) setCursor(lyrCrHandPoint);
    }
    if (!click) {
        if (Report && Report->OnMouseOverObject) Report->OnMouseOverObject(hit);
        return hit;
    }
    if (!url.isEmpty()) followUrl(url);
    bool modified = false;
    if (Report) Report->DoPreviewClick(hit, button, shift, modified);
    if (!modified) return hit;
    ModifyPage(index, page);
    if (auto *preview = Report ? qobject_cast<TlyrPreview *>(Report->Preview()) : nullptr) preview->RepaintPages();
    return nullptr;
}

void TlyrPreviewPages::exportPage(TlyrExportFilter &filter, int index)
{
    TlyrReportPage *page = GetPage(index);
    if (!page) return;
    filter.StartPage(page, index);
    // The page's colour, frame and picture, as one picture object.
    TlyrPictureView background;
    background.SetNameUnchecked(QStringLiteral("_pagebackground"));
    background.SetBounds(0, 0, page->Width(), page->Height());
    background.SetColor(page->Color());
    background.SetFrame(*page->Frame());
    if (!page->Background()->PictureData().isEmpty())
        background.LoadPictureFromStream(page->Background()->PictureData());
    filter.ExportObject(&background);
    TlyrCanvas scratch(nullptr, 96, 96, false);
    for (TlyrComponent *c : page->AllObjects()) {
        if (auto *memo = qobject_cast<TlyrCustomMemoView *>(c)) {
            if (memo->HighlightActive()) memo->Font()->Assign(*memo->Highlight()->Font());
            memo->TotalPages = Count();
            memo->CopyNo = 1;
            // The print-time tags and an automatic width are settled by
            // laying the text out once.
            if (memo->AutoWidth() || memo->GetText().contains(QLatin1String("#]"))) memo->Draw(scratch, 1, 1, 0, 0);
        }
        filter.ExportObject(c);
    }
    filter.FinishPage(page, index);
}

void TlyrPreviewPages::exportPages(TlyrExportFilter &filter, const QStringList &chosen)
{
    TlyrReport *report = Report;
    // The preview is given back and the progress closed also when a page
    // fails.
    struct Running {
        TlyrCustomPreview *Preview;
        TlyrReport *Progress;
        ~Running()
        {
            if (Preview) Preview->Unlock();
            if (Progress) Progress->DoProgressStop(ptExporting);
        }
    } running{report ? report->Preview() : nullptr, report && filter.ShowProgress ? report : nullptr};
    if (running.Preview) running.Preview->Lock();
    if (running.Progress) running.Progress->DoProgressStart(ptExporting);
    ClearPageCache();
    for (int i = 0; i < Count(); ++i) {
        if (report && report->Terminated()) break;
        if (!chosen.isEmpty() && !chosen.contains(QString::number(i + 1))) continue;
        exportPage(filter, i);
        ReleasePage(i);
        if (running.Progress) running.Progress->DoProgress(ptExporting, i + 1);
        QCoreApplication::processEvents();
    }
}

bool TlyrPreviewPages::Export(TlyrExportFilter &filter)
{
    if (Count() == 0) return false;
    TlyrReport *report = Report;
    if (report && report->OnPrintReport) report->OnPrintReport();
    bool result = false;
    try {
        QStringList chosen;
        lyrParsePageNumbers(filter.PageNumbers, chosen, Count());
        if (filter.Start()) {
            exportPages(filter, chosen);
            filter.Finish();
            result = true;
        }
    } catch (const std::exception &e) {
        if (report) {
            report->AddError(lyrExceptionText(e));
            lyrReportError(report->EngineOptions()->NewSilentMode(),
                           lyrResources().Get(QStringLiteral("clErrors")) + QStringLiteral("\r\n") +
                                   report->Errors().join(QStringLiteral("\r\n")));
        }
    }
    ClearPageCache();
    if (report && report->OnAfterPrintReport) report->OnAfterPrintReport();
    return result;
}

QString lyrExceptionText(const std::exception &e)
{
    if (const auto *v = dynamic_cast<const velmora::Error *>(&e))
        return v->detail().isEmpty() ? v->message() : v->message() + QStringLiteral(": ") + v->detail();
    return QString::fromUtf8(e.what());
}

void lyrDumpPreparedPages(TlyrPreviewPages &pages, const std::function<void(const QString &)> &write,
                          const std::function<bool()> &stop)
{
    auto num = [](double v) { return QString::number(v, 'f', 2); };
    QString out;
    for (int i = 0; i < pages.Count(); ++i) {
        if (stop && stop()) return;
        out = QStringLiteral("page ") + QString::number(i + 1) + QLatin1Char('\n');
        if (TlyrReportPage *page = pages.GetPage(i)) {
            for (TlyrComponent *c : page->AllObjects()) {
                QString text = c->ComponentText();
                text.replace(QLatin1String("\r\n"), QLatin1String("\\n"));
                out += ksClassNameOf(c) + QLatin1Char(' ') + c->Name() + QLatin1Char(' ') + num(c->AbsLeft()) +
                       QLatin1Char(' ') + num(c->AbsTop()) + QLatin1Char(' ') + num(c->Width()) +
                       QLatin1Char(' ') + num(c->Height()) + (text.isEmpty() ? QString() : QLatin1Char(' ') + text) +
                       QLatin1Char('\n');
            }
        }
        // Once written, a page leaves memory: a dump of any length holds one.
        pages.ReleasePage(i);
        write(out);
    }
}

QString lyrDumpPreparedPages(TlyrPreviewPages &pages)
{
    QString out;
    lyrDumpPreparedPages(pages, [&out](const QString &page) { out += page; });
    return out;
}
