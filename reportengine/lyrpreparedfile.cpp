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
// The elements a page cannot be built without, written first.
constexpr const char *kLeadingElements[] = {"report", "sourcepages", "dictionary"};
}  // namespace

void TlyrPreviewPages::SaveToStream(QIODevice &stream)
{
    TlyrXMLItem *root = XMLDoc.Root();
    // What every page is built from goes ahead of the pages: a copy cut short
    // still opens the pages before the cut.
    for (int i = 0; i < 3; ++i) root->InsertItem(i, root->FindItem(QString::fromLatin1(kLeadingElements[i])));
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
    // The source pages and the logical numbers are kept apart; the elements
    // only carry them (also when writing fails).
    struct Empty {
        TlyrXMLItem *a, *b;
        ~Empty()
        {
            a->Clear();
            b->Clear();
        }
    } empty{sources, numbers};
    XMLDoc.SaveToStream(stream);
}

void TlyrPreviewPages::loadAfterParse()
{
    TlyrXMLItem *root = XMLDoc.Root();
    if (root->Name.compare(QLatin1String("preparedreport"), Qt::CaseInsensitive) != 0)
        throw ElyrError(QStringLiteral("Invalid file format"));
    // The report settings saved with the pages; a file that carries other
    // report properties changes nothing else of the report.
    TlyrXMLItem *settings = root->FindItem(QStringLiteral("report"));
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
    TlyrXMLItem *pages = PagesItem();
    for (int i = 2; i < pages->Count(); ++i) pages->Items(i)->Unloadable = true;
    CurPage = Count() - 1;
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
        XMLDoc.LoadFromStream(std::move(stream), allowPartialLoading);
        loadAfterParse();
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
