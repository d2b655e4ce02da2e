#include "report/lyrdbset.h"

#include "platform/db/db.h"
#include "report/lyrclass.h"
#include "report/lyrres.h"
#include "report/lyrunicodeutils.h"

#include <QHash>
#include <QRecursiveMutex>

#include <list>

namespace {

// In creation order (the first of a name wins a look-up). Every data band
// has a dataset of its own, so a page of a million bands makes a million
// entries: each leaves through its own place, not by a search.
struct GlobalList {
    QRecursiveMutex Lock;
    std::list<TlyrDataSet *> Items;
    QHash<const TlyrDataSet *, std::list<TlyrDataSet *>::iterator> Places;
};

GlobalList &globalList()
{
    static GlobalList *list = new GlobalList;  // outlives static datasets
    return *list;
}

}  // namespace

QList<TlyrDataSet *> lyrGlobalDataSets()
{
    GlobalList &g = globalList();
    QMutexLocker lock(&g.Lock);
    return QList<TlyrDataSet *>(g.Items.cbegin(), g.Items.cend());
}

TlyrDataSet *lyrFindDataSet(TlyrDataSet *current, const QString &name, const TlyrReport *report)
{
    if (name.isEmpty()) return nullptr;
    if (!report) return current;
    GlobalList &g = globalList();
    QMutexLocker lock(&g.Lock);
    for (TlyrDataSet *ds : g.Items)
        if (QString::localeAwareCompare(ds->UserName().toUpper(), name.toUpper()) == 0) {
            TlyrReport *own = ds->Report();
            if (!own || own == report) return ds;
        }
    return current;
}

TlyrDataSet *lyrFindDataSetByComponentName(const QString &name, const TlyrReport *report)
{
    if (name.isEmpty()) return nullptr;
    GlobalList &g = globalList();
    QMutexLocker lock(&g.Lock);
    for (TlyrDataSet *ds : g.Items)
        if (ds->objectName().compare(name, Qt::CaseInsensitive) == 0) {
            TlyrReport *own = ds->Report();
            if (!own || own == report) return ds;
        }
    return nullptr;
}

// ---------------------------------------------------------------- base

TlyrDataSet::TlyrDataSet(QObject *owner) : TlyrDialogComponent(owner)
{
    GlobalList &g = globalList();
    QMutexLocker lock(&g.Lock);
    g.Places.insert(this, g.Items.insert(g.Items.end(), this));
}

TlyrDataSet::~TlyrDataSet()
{
    {
        GlobalList &g = globalList();
        QMutexLocker lock(&g.Lock);
        if (auto it = g.Places.constFind(this); it != g.Places.cend()) {
            g.Items.erase(*it);
            g.Places.erase(it);
        }
    }
    lyrNotifyDataSetRemoved(this);
}

void TlyrDataSet::SetUserName(const QString &value)
{
    if (value.trimmed().isEmpty()) throw ElyrError(lyrResources().Get(QStringLiteral("prInvProp")));
    userName_ = value;
}

void TlyrDataSet::SetName(const QString &value)
{
    const QString old = objectName();
    TlyrDialogComponent::SetName(value);
    if (!value.isEmpty() && (userName_.isEmpty() || userName_ == old)) userName_ = value;
}

QString TlyrDataSet::GetDisplayText(const QString &)
{
    return QString();
}

int TlyrDataSet::GetDisplayWidth(const QString &)
{
    return 10;
}

int TlyrDataSet::GetFieldType(const QString &)
{
    return ftNumeric;
}

KsValue TlyrDataSet::GetValue(const QString &)
{
    return KsValue::Null();
}

void TlyrDataSet::Open()
{
    if (OnOpen) OnOpen(this);
}

void TlyrDataSet::Close()
{
    if (OnClose) OnClose(this);
}

void TlyrDataSet::First()
{
    recNo_ = 0;
    endFlag_ = false;
    if (OnFirst) OnFirst(this);
}

void TlyrDataSet::Next()
{
    endFlag_ = false;
    ++recNo_;
    if (rangeEnd_ == reCount && recNo_ >= rangeEndCount_) {
        recNo_ = rangeEndCount_ - 1;
        endFlag_ = true;
        return;
    }
    if (OnNext) OnNext(this);
}

void TlyrDataSet::Prior()
{
    --recNo_;
    if (OnPrior) OnPrior(this);
}

bool TlyrDataSet::Eof()
{
    bool result = false;
    if (rangeEnd_ == reCount) result = recNo_ >= rangeEndCount_ || endFlag_;
    if (OnCheckEOF) OnCheckEOF(this, result);
    return result;
}

int TlyrDataSet::RecordCount()
{
    return rangeBegin_ == rbFirst && rangeEnd_ == reCount ? rangeEndCount_ : 0;
}

bool TlyrDataSet::HasField(const QString &fieldName)
{
    QStringList list;
    GetFieldList(list);
    for (const QString &f : list)
        if (f.compare(fieldName, Qt::CaseInsensitive) == 0) return true;
    return false;
}

// ---------------------------------------------------------------- user dataset

KsValue TlyrUserDataSet::GetValue(const QString &fieldName)
{
    KsValue v = KsValue::Null();
    if (OnGetValue) OnGetValue(fieldName, v);
    return v;
}

QString TlyrUserDataSet::GetDisplayText(const QString &fieldName)
{
    return GetValue(fieldName).ToText();
}

// ---------------------------------------------------------------- aliases

QString TlyrCustomDBDataSet::SourceFieldName(const QString &alias) const
{
    for (const QString &line : fieldAliases_) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0) continue;
        if (line.mid(eq + 1).compare(alias, Qt::CaseInsensitive) == 0) {
            QString field = line.left(eq);
            if (field.startsWith(QLatin1Char('-'))) field.remove(0, 1);
            return field;
        }
    }
    return alias;
}

// ---------------------------------------------------------------- query dataset

TlyrDBDataset::~TlyrDBDataset() = default;

void TlyrDBDataset::SetDataSet(vdb::Query *q)
{
    dataSet_ = q;
    alive_ = q ? q->lifeToken() : nullptr;
    source_ = nullptr;
    opened_ = false;
}

void TlyrDBDataset::Initialize()
{
    forgetFreedSource();
    if (!dataSet_)
        throw ElyrError(lyrResources().Get(QStringLiteral("dbNotConn")).replace(QLatin1String("%s"), objectName()));
    source_ = dataSet_;
    opened_ = false;
    passed_ = false;
}

void TlyrDBDataset::ensureOpen()
{
    if (!opened_) Open();
}

void TlyrDBDataset::Open()
{
    forgetFreedSource();
    if (!source_) source_ = dataSet_;
    if (!source_)
        throw ElyrError(lyrResources().Get(QStringLiteral("dbNotConn")).replace(QLatin1String("%s"), objectName()));
    opened_ = true;
    if (!source_->Active() && OpenDataSource()) source_->Open();
    rebuildFieldCache();
    hasSaved_ = false;
    if ((RangeBegin() == rbCurrent || RangeEnd() == reCurrent) && source_->Active() && !source_->Eof()) {
        savedBookmark_ = source_->GetBookmark();
        hasSaved_ = true;
    }
    TlyrDataSet::Open();
}

void TlyrDBDataset::rebuildFieldCache()
{
    cache_.clear();
    cachedSourceNames_ = source_ ? source_->FieldNames() : QStringList();
    QStringList visible;
    GetFieldList(visible);
    for (const QString &name : visible) {
        const QString sourceName = SourceFieldName(name);
        cache_.insert(name.toUpper(), source_ ? source_->FieldIndex(sourceName) : -1);
    }
}

int TlyrDBDataset::cachedColumn(const QString &name)
{
    // A query opened again with other columns refreshes the cache.
    if (source_ && source_->FieldNames() != cachedSourceNames_) rebuildFieldCache();
    auto it = cache_.constFind(name.toUpper());
    if (it == cache_.constEnd()) return -2;
    return *it;
}

void TlyrDBDataset::First()
{
    forgetFreedSource();
    ensureOpen();
    if (RangeBegin() == rbCurrent && hasSaved_)
        source_->GotoBookmark(savedBookmark_);
    else
        source_->First();
    passed_ = false;
    TlyrDataSet::First();
}

void TlyrDBDataset::Next()
{
    forgetFreedSource();
    ensureOpen();
    passed_ = false;
    if (RangeEnd() != reCurrent) {
        source_->Next();
        TlyrDataSet::Next();
        return;
    }
    // The range ends on the record that was current when the dataset
    // opened: once it has been shown the range is over. Without a current
    // record it runs to the end of the data.
    if (hasSaved_ && !source_->Eof() && source_->GetBookmark() == savedBookmark_) {
        passed_ = true;
        return;
    }
    source_->Next();
    TlyrDataSet::Next();
}

void TlyrDBDataset::Prior()
{
    forgetFreedSource();
    ensureOpen();
    source_->Prior();
    TlyrDataSet::Prior();
}

bool TlyrDBDataset::Eof()
{
    forgetFreedSource();
    ensureOpen();
    return TlyrDataSet::Eof() || source_->Eof() || passed_;
}

void TlyrDBDataset::Close()
{
    forgetFreedSource();
    TlyrDataSet::Close();
    hasSaved_ = false;
    opened_ = false;
    if (source_) source_->Close();
}

void TlyrDBDataset::Finalize()
{
    forgetFreedSource();
    if (source_) {
        if (hasSaved_ && source_->Active()) source_->GotoBookmark(savedBookmark_);
        hasSaved_ = false;
        if (CloseDataSource()) Close();
    }
    opened_ = false;
}

void TlyrDBDataset::GetFieldList(QStringList &list)
{
    forgetFreedSource();
    list.clear();
    if (!FieldAliases().isEmpty()) {
        for (const QString &line : FieldAliases()) {
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            const QString field = eq < 0 ? line : line.left(eq);
            if (field.startsWith(QLatin1Char('-')) || line.trimmed().isEmpty()) continue;
            list << (eq < 0 ? line : line.mid(eq + 1));
        }
        return;
    }
    vdb::Query *q = source_ ? source_ : dataSet_;
    if (q) list = q->FieldNames();
}

int TlyrDBDataset::FieldsCount()
{
    forgetFreedSource();
    QStringList list;
    GetFieldList(list);
    return static_cast<int>(list.size());
}

QString lyrFieldNotFoundText(const TlyrDataSet *dataSet, const QString &fieldName)
{
    return lyrResources().Get(QStringLiteral("dbFldNotFound")) + QLatin1Char(' ') + dataSet->UserName() +
           QStringLiteral(".\"") + fieldName + QLatin1Char('"');
}

QString TlyrDBDataset::notFoundText(const QString &fieldName) const
{
    return lyrFieldNotFoundText(this, fieldName);
}

void TlyrDBDataset::reportNotFound(const QString &fieldName)
{
    if (TlyrReport *r = OwnerReport ? OwnerReport : Report())
        r->AddError(r->CurObject + QStringLiteral(": ") + notFoundText(fieldName));
}

KsValue TlyrDBDataset::GetValue(const QString &fieldName)
{
    forgetFreedSource();
    ensureOpen();
    const int col = cachedColumn(fieldName);
    if (col == -2) {
        reportNotFound(fieldName);
        return KsValue::Null();
    }
    if (col < 0 || !source_->Active() || source_->Eof()) return KsValue::Null();
    const vdb::Field f = source_->FieldByIndex(col);
    if (f.IsNull()) return KsValue::Null();
    try {
        switch (source_->FieldKind(col)) {
        case vdb::Query::Kind::Number:
        case vdb::Query::Kind::Money:
            return KsValue(f.AsFloat());
        case vdb::Query::Kind::Integer:
            return KsValue::FromInt(f.AsInteger());
        case vdb::Query::Kind::Bit:
            return KsValue(f.AsBoolean());
        case vdb::Query::Kind::Text:
            break;
        }
    } catch (const vdb::DbError &) {
        // A computed column without a declared type may hold text.
    }
    return KsValue(f.AsString());
}

QString TlyrDBDataset::GetDisplayText(const QString &fieldName)
{
    forgetFreedSource();
    vdb::Query *q = source_ ? source_ : dataSet_;
    if (!q || !q->Active()) return UserName() + QStringLiteral(".\"") + fieldName + QLatin1Char('"');
    ensureOpen();
    const int col = cachedColumn(fieldName);
    if (cache_.isEmpty()) {
        const int c = q->FieldIndex(fieldName);
        return c < 0 || q->Eof() ? QString() : q->FieldByIndex(c).AsString();
    }
    if (col == -2) {
        reportNotFound(fieldName);
        return notFoundText(fieldName);
    }
    if (col < 0 || q->Eof()) return QString();
    return q->FieldByIndex(col).AsString();
}

int TlyrDBDataset::GetDisplayWidth(const QString &fieldName)
{
    forgetFreedSource();
    vdb::Query *q = source_ ? source_ : dataSet_;
    if (!q) return 10;
    const int col = q->FieldIndex(SourceFieldName(fieldName));
    if (col < 0) return 10;
    switch (q->FieldKind(col)) {
    case vdb::Query::Kind::Text: {
        int width = 0;
        for (int row = 0; row < q->RecordCount(); ++row)
            width = std::max(width, static_cast<int>(q->text(row, col).size()));
        return std::max(width, 1);
    }
    case vdb::Query::Kind::Integer:
        return 15;
    default:
        return 10;
    }
}

int TlyrDBDataset::GetFieldType(const QString &fieldName)
{
    forgetFreedSource();
    vdb::Query *q = source_ ? source_ : dataSet_;
    if (!q) return ftNumeric;
    const int col = q->FieldIndex(SourceFieldName(fieldName));
    if (col < 0) return ftNumeric;
    switch (q->FieldKind(col)) {
    case vdb::Query::Kind::Text:
        return ftString;
    case vdb::Query::Kind::Bit:
        return ftBoolean;
    default:
        return ftNumeric;
    }
}

void TlyrDBDataset::forgetFreedSource()
{
    if (!dataSet_ || !alive_ || *alive_) return;
    dataSet_ = nullptr;
    source_ = nullptr;
    alive_.reset();
    opened_ = false;
    hasSaved_ = false;
    cache_.clear();
    cachedSourceNames_.clear();
}

bool TlyrDBDataset::IsBlobField(const QString &fieldName)
{
    forgetFreedSource();
    if (!dataSet_) return false;
    ensureOpen();
    const int col = cachedColumn(fieldName);
    return col >= 0 && source_->IsBlob(col);
}

QByteArray TlyrDBDataset::blob(const QString &fieldName)
{
    if (!IsBlobField(fieldName) || !source_->Active() || source_->Eof()) return QByteArray();
    return source_->FieldByIndex(cachedColumn(fieldName)).AsBytes();
}

void TlyrDBDataset::AssignBlobTo(const QString &fieldName, QIODevice &stream)
{
    stream.write(blob(fieldName));
}

void TlyrDBDataset::AssignBlobTo(const QString &fieldName, QStringList &lines)
{
    TWideStrings w;
    w.LoadFromBytes(blob(fieldName));
    w.AssignTo(lines);
}

int TlyrDBDataset::RecordCount()
{
    forgetFreedSource();
    ensureOpen();
    return source_->RecordCount();
}

void TlyrCustomDatabase::Connect()
{
    bool connected = true;
    if (TlyrReport *r = Report()) r->DoBeforeConnect(this, connected);
    SetConnected(connected);
}

// ---------------------------------------------------------------- report list

void TlyrDataSetItem::SetDataSet(TlyrDataSet *ds)
{
    dataSet_ = ds;
    name_ = ds ? ds->UserName() : QString();
}

QString TlyrDataSetItem::DataSetName() const
{
    return dataSet_ ? dataSet_->UserName() : name_;
}

void TlyrDataSetItem::SetDataSetName(const QString &name, TlyrReport *report)
{
    name_ = name;
    dataSet_ = lyrFindDataSet(dataSet_.data(), name, report);
}

TlyrDataSetItem *TlyrReportDataSets::Add()
{
    items_.push_back(std::make_unique<TlyrDataSetItem>());
    return items_.back().get();
}

void TlyrReportDataSets::Delete(int i)
{
    if (i >= 0 && i < Count()) items_.erase(items_.begin() + i);
}

TlyrDataSetItem *TlyrReportDataSets::Find(const TlyrDataSet *ds) const
{
    for (const auto &item : items_)
        if (item->DataSet() == ds) return item.get();
    return nullptr;
}

TlyrDataSetItem *TlyrReportDataSets::Find(const QString &name) const
{
    for (const auto &item : items_)
        if (item->DataSet() && item->DataSet()->UserName().compare(name, Qt::CaseInsensitive) == 0) return item.get();
    return nullptr;
}

void TlyrReportDataSets::Initialize()
{
    for (const auto &item : items_)
        if (TlyrDataSet *ds = item->DataSet()) {
            ds->OwnerReport = report_;
            ds->Initialize();
        }
}

void TlyrReportDataSets::Finalize()
{
    for (const auto &item : items_)
        if (TlyrDataSet *ds = item->DataSet()) ds->Finalize();
}
