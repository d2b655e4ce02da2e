#include "script/ks_iclassesrtti.h"

#include "script/ks_ibind.h"
#include "script/ks_ixmlrtti.h"
#include "platform/safefile.h"
#include "platform/regularfile.h"

#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>

using namespace ksbind;

namespace {

constexpr int fmCreate = 0xFFFF;
constexpr int fmOpenRead = 0, fmOpenWrite = 1, fmOpenReadWrite = 2;

[[noreturn]] void ListIndexError(const char *cls, int index)
{
    Raise(QLatin1String(cls), QStringLiteral("List index out of bounds (%1)").arg(index));
}

int Compare(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseInsensitive);
}

// True when `o` is `owner` or among what `owner` owns.
bool ksOwnedBy(const QObject *o, const QObject *owner)
{
    for (; o; o = o->parent())
        if (o == owner) return true;
    return false;
}

}  // namespace

// ---- TPersistent ------------------------------------------------------------------------

void TPersistent::Assign(QObject *source)
{
    if (source == this) return;
    if (!AssignFrom(source))
        Raise(QStringLiteral("EConvertError"),
              QStringLiteral("Cannot assign a %1 to a %2")
                      .arg(source ? ksClassNameOf(source) : QStringLiteral("nil"), ksClassNameOf(this)));
}

bool TPersistent::AssignFrom(QObject *)
{
    return false;
}

// ---- TComponent -------------------------------------------------------------------------

namespace {
// What the outermost component being freed still has to free.
thread_local std::vector<QObject *> *tOwnedToFree = nullptr;
}  // namespace

TComponent::~TComponent()
{
    // The components it owns are let go and freed from one list, by the
    // outermost component being freed: a chain of owners may be far deeper
    // than the stack that QObject's recursion through children would take.
    // (What a class holds as members has gone before this runs.) Short of
    // memory for the list, the rest is left to QObject.
    std::vector<QObject *> mine;
    const bool outermost = !tOwnedToFree;
    if (outermost) tOwnedToFree = &mine;
    std::vector<QObject *> &list = *tOwnedToFree;
    const size_t first = list.size();
    try {
        const QObjectList &children = this->children();
        for (qsizetype i = 0; i < children.size();) {
            QObject *c = children.at(i);
            if (!qobject_cast<TComponent *>(c)) {
                ++i;
                continue;
            }
            list.push_back(c);
            c->setParent(nullptr);  // found at once, dropped in place: Qt keeps room at a list's front
        }
    } catch (const std::bad_alloc &) {
    }
    // freed in the order QObject would: the first and what it owns, then the next
    std::reverse(list.begin() + qsizetype(first), list.end());
    if (!outermost) return;
    while (!mine.empty()) {
        QObject *c = mine.back();
        mine.pop_back();
        delete c;
    }
    tOwnedToFree = nullptr;
}

// ---- TCollection ------------------------------------------------------------------------

TCollectionItem *TCollection::Add()
{
    ksCheckListSize(Count() + 1, 0);
    auto *item = new TCollectionItem(this);
    FItems.push_back(item);
    connect(item, &QObject::destroyed, this, [this](QObject *o) { Forget(o); });
    return item;
}

void TCollection::Forget(QObject *o)
{
    FItems.erase(std::remove(FItems.begin(), FItems.end(), o), FItems.end());
}

void TCollection::Clear()
{
    std::vector<TCollectionItem *> items;
    items.swap(FItems);
    for (TCollectionItem *i : items) {
        disconnect(i, nullptr, this, nullptr);
        delete i;
    }
}

TCollectionItem *TCollection::Items(int i) const
{
    if (i < 0 || i >= Count()) ListIndexError("EListError", i);
    return FItems[size_t(i)];
}

// ---- TList ------------------------------------------------------------------------------

void TList::Check(int index) const
{
    if (index < 0 || index >= Count()) ListIndexError("EListError", index);
}

int TList::Add(const KsValue &item)
{
    ksCheckListSize(Count() + 1, 0);
    FItems.push_back(item);
    return Count() - 1;
}

void TList::Delete(int index)
{
    Check(index);
    FItems.erase(FItems.begin() + index);
}

int TList::IndexOf(const KsValue &item) const
{
    for (int i = 0; i < Count(); ++i)
        if (ksEquals(FItems[size_t(i)], item)) return i;
    return -1;
}

void TList::Insert(int index, const KsValue &item)
{
    if (index < 0 || index > Count()) ListIndexError("EListError", index);
    ksCheckListSize(Count() + 1, 0);
    FItems.insert(FItems.begin() + index, item);
}

int TList::Remove(const KsValue &item)
{
    const int i = IndexOf(item);
    if (i >= 0) Delete(i);
    return i;
}

KsValue TList::Items(int index) const
{
    Check(index);
    return FItems[size_t(index)];
}

void TList::SetItems(int index, const KsValue &item)
{
    Check(index);
    FItems[size_t(index)] = item;
}

// ---- TStrings ---------------------------------------------------------------------------

void TStrings::Check(int index) const
{
    if (index < 0 || index >= Count()) ListIndexError("EStringListError", index);
}

const QString &TStrings::Get(int index) const
{
    Check(index);
    return FItems[size_t(index)].S;
}

void TStrings::Put(int index, const QString &s)
{
    Check(index);
    CheckRoom(0, s.size() - FItems[size_t(index)].S.size());
    FChars += s.size() - FItems[size_t(index)].S.size();
    FItems[size_t(index)].S = s;
    Changed();
}

KsValue TStrings::Objects(int index) const
{
    Check(index);
    return FItems[size_t(index)].O.IsEmpty() ? KsValue(0) : FItems[size_t(index)].O;
}

void TStrings::PutObject(int index, const KsValue &o)
{
    Check(index);
    FItems[size_t(index)].O = o;
}

void TStrings::InsertItem(int index, const QString &s, const KsValue &o)
{
    if (index < 0 || index > Count()) ListIndexError("EStringListError", index);
    CheckRoom(1, s.size());
    FItems.insert(FItems.begin() + index, Item{s, o});
    FChars += s.size();
    Changed();
}

int TStrings::Add(const QString &s)
{
    CheckRoom(1, s.size());
    FItems.push_back(Item{s, KsValue()});
    FChars += s.size();
    Changed();
    return Count() - 1;
}

int TStrings::AddObject(const QString &s, const KsValue &o)
{
    const int i = Add(s);
    if (i >= 0 && i < Count()) FItems[size_t(i)].O = o;
    return i;
}

void TStrings::Delete(int index)
{
    Check(index);
    FChars -= FItems[size_t(index)].S.size();
    FItems.erase(FItems.begin() + index);
    Changed();
}

int TStrings::IndexOf(const QString &s) const
{
    for (int i = 0; i < Count(); ++i)
        if (Compare(FItems[size_t(i)].S, s) == 0) return i;
    return -1;
}

int TStrings::IndexOfName(const QString &name) const
{
    for (int i = 0; i < Count(); ++i) {
        const QString &s = FItems[size_t(i)].S;
        const int eq = s.indexOf(QLatin1Char('='));
        if (eq >= 0 && Compare(s.left(eq), name) == 0) return i;
    }
    return -1;
}

int TStrings::IndexOfObject(const KsValue &o) const
{
    for (int i = 0; i < Count(); ++i)
        if (ksEquals(Objects(i), o)) return i;
    return -1;
}

void TStrings::Insert(int index, const QString &s)
{
    InsertItem(index, s, KsValue());
}

void TStrings::InsertObject(int index, const QString &s, const KsValue &o)
{
    Insert(index, s);
    FItems[size_t(index)].O = o;
}

void TStrings::Move(int curIndex, int newIndex)
{
    if (curIndex == newIndex) return;
    Check(curIndex);
    Check(newIndex);
    Item it = FItems[size_t(curIndex)];
    FItems.erase(FItems.begin() + curIndex);
    FItems.insert(FItems.begin() + newIndex, it);
    Changed();
}

QString TStrings::Names(int index) const
{
    const QString &s = Get(index);
    const int eq = s.indexOf(QLatin1Char('='));
    return eq >= 0 ? s.left(eq) : QString();
}

QString TStrings::Values(const QString &name) const
{
    const int i = IndexOfName(name);
    return i < 0 ? QString() : FItems[size_t(i)].S.mid(FItems[size_t(i)].S.indexOf(QLatin1Char('=')) + 1);
}

void TStrings::SetValues(const QString &name, const QString &value)
{
    const int i = IndexOfName(name);
    if (value.isEmpty()) {
        if (i >= 0) Delete(i);
    } else if (i >= 0) {
        Put(i, name + QLatin1Char('=') + value);
    } else {
        Add(name + QLatin1Char('=') + value);
    }
}

QString TStrings::CommaText() const
{
    if (Count() == 1 && FItems[0].S.isEmpty()) return QStringLiteral("\"\"");
    QStringList parts;
    for (const Item &it : FItems) {
        const QString &s = it.S;
        const bool quote = std::any_of(s.begin(), s.end(), [](QChar c) {
            return c.unicode() <= u' ' || c == QLatin1Char(',') || c == QLatin1Char('"');
        });
        if (quote) {
            QString q = s;
            q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            parts << QLatin1Char('"') + q + QLatin1Char('"');
        } else {
            parts << s;
        }
    }
    return parts.join(QLatin1Char(','));
}

// Items are separated by commas or blanks; a quoted item may hold both, with
// "" for a quote inside.
void TStrings::SetCommaText(const QString &text)
{
    QStringList out;
    const int n = int(text.size());
    auto blank = [&](int i) { return i < n && text[i].unicode() <= u' '; };
    int i = 0;
    while (blank(i)) ++i;
    while (i < n) {
        QString item;
        if (text[i] == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (text[i] == QLatin1Char('"')) {
                    if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
        } else {
            const int start = i;
            while (i < n && text[i].unicode() > u' ' && text[i] != QLatin1Char(',')) ++i;
            item = text.mid(start, i - start);
        }
        out << item;
        while (blank(i)) ++i;
        if (i < n && text[i] == QLatin1Char(',')) {
            if (i + 1 == n) out << QString();
            ++i;
            while (blank(i)) ++i;
        }
    }
    SetList(out);
}

QString TStrings::Text() const
{
    QString r;
    for (const Item &it : FItems) {
        r += it.S;
        r += QLatin1Char('\n');
    }
    return r;
}

void TStrings::SetText(const QString &text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = t.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    SetList(lines);
}

QStringList TStrings::ToList() const
{
    QStringList r;
    r.reserve(Count());
    for (const Item &it : FItems) r << it.S;
    return r;
}

void TStrings::SetList(const QStringList &lines)
{
    qint64 chars = 0;
    for (const QString &s : lines) chars += s.size();
    ksCheckListSize(lines.size(), chars);
    ksChargeRun(chars * 2 + lines.size() * ksListItemBytes);
    FItems.clear();
    FItems.reserve(size_t(lines.size()));
    for (const QString &s : lines) FItems.push_back(Item{s, KsValue()});
    FChars = chars;
    EndBulk();
}

void TStrings::LoadFromFile(const QString &fileName)
{
    SetText(QString::fromUtf8(ksReadFileBytes(fileName)));
}

void TStrings::SaveToFile(const QString &fileName) const
{
    ksWriteFileBytes(fileName, Text().toUtf8());
}

bool TStrings::AssignFrom(QObject *source)
{
    auto *other = qobject_cast<TStrings *>(source);
    if (!other) return false;
    // The lines' texts are shared with the source, the list of them is new.
    ksCheckListSize(other->Count(), other->FChars);
    ksRunTook(qint64(other->FItems.size()) * qint64(sizeof(Item)));
    FItems = other->FItems;
    FChars = other->FChars;
    EndBulk();
    return true;
}

// ---- TStringList ------------------------------------------------------------------------

bool TStringList::Find(const QString &s, int &index) const
{
    int lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const int c = Compare(FItems[size_t(mid)].S, s);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;  // equal lines: go on to the first of them
            if (c == 0) found = true;
        }
    }
    index = lo;
    return found;
}

int TStringList::Add(const QString &s)
{
    if (!FSorted) return TStrings::Add(s);
    int i = 0;
    if (Find(s, i)) {
        if (FDuplicates == dupIgnore) return i;
        if (FDuplicates == dupError)
            Raise(QStringLiteral("EStringListError"), QStringLiteral("String list does not allow duplicates"));
    }
    InsertItem(i, s, KsValue());
    return i;
}

void TStringList::Put(int index, const QString &s)
{
    if (FSorted) Raise(QStringLiteral("EStringListError"), QStringLiteral("Operation not allowed on sorted list"));
    TStrings::Put(index, s);
}

int TStringList::IndexOf(const QString &s) const
{
    if (!FSorted) return TStrings::IndexOf(s);
    int i = 0;
    return Find(s, i) ? i : -1;
}

void TStringList::Insert(int index, const QString &s)
{
    if (FSorted) Raise(QStringLiteral("EStringListError"), QStringLiteral("Operation not allowed on sorted list"));
    TStrings::Insert(index, s);
}

void TStringList::Sort()
{
    SortItems();
    Changed();
}

void TStringList::SortItems()
{
    // Duplicates only governs lines added later: lines already there stay.
    std::stable_sort(FItems.begin(), FItems.end(), [](const Item &a, const Item &b) { return Compare(a.S, b.S) < 0; });
}

void TStringList::SetSorted(bool v)
{
    if (v && !FSorted) {
        FSorted = true;
        SortItems();
        Changed();
    }
    FSorted = v;
}

// ---- streams ----------------------------------------------------------------------------

QString ksBytesToString(const QByteArray &b)
{
    return QString::fromLatin1(b);
}

QByteArray ksStringToBytes(const QString &s)
{
    return s.toLatin1();
}

QByteArray ksReadFileBytes(const QString &fileName)
{
    QFile f;
    if (QString why; !vplatform::openRegularFile(f, fileName, QIODevice::ReadOnly, &why))
        Raise(QStringLiteral("EFOpenError"), QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, why));
    ksCheckListBytes(f.size());  // a file larger than a script may hold is not read
    ksChargeRun(f.size());
    return f.readAll();
}

void ksWriteFileBytes(const QString &fileName, const QByteArray &bytes)
{
    QString error;
    if (!vplatform::saveFileSafely(fileName, bytes, &error)) Raise(QStringLiteral("EFCreateError"), error);
}

QByteArray TStream::ReadAll()
{
    const qint64 n = Size() - Position();
    QByteArray b;
    if (n <= 0) return b;
    ksCheckListBytes(n);
    ksChargeRun(n);
    b.resize(n);
    b.resize(ReadBytes(b.data(), n));
    return b;
}

void TStream::WriteAll(const QByteArray &bytes)
{
    if (WriteBytes(bytes.constData(), bytes.size()) != bytes.size())
        Raise(QStringLiteral("EWriteError"), QStringLiteral("Stream write error"));
}

qint64 TStream::CopyFrom(TStream *source, qint64 count)
{
    if (count == 0) {
        source->SetPosition(0);
        count = source->Size();
    }
    ksCheckListBytes(count);
    ksChargeRun(count);
    QByteArray b;
    b.resize(count);
    const qint64 got = source->ReadBytes(b.data(), count);
    if (got != count) Raise(QStringLiteral("EReadError"), QStringLiteral("Stream read error"));
    WriteAll(b);
    return count;
}

qint64 TMemoryStream::ReadBytes(char *buffer, qint64 count)
{
    const qint64 n = std::max<qint64>(0, std::min<qint64>(count, FData.size() - FPos));
    if (n > 0) std::copy_n(FData.constData() + FPos, n, buffer);
    FPos += n;
    return n;
}

qint64 TMemoryStream::WriteBytes(const char *buffer, qint64 count)
{
    if (count <= 0) return 0;
    ksCheckListBytes(count > ksMaxListBytes - FPos ? ksMaxListBytes + 1 : FPos + count);
    if (FPos + count > FData.size()) {
        ksChargeRun(FPos + count - FData.size());
        FData.resize(FPos + count, '\0');
    }
    std::copy_n(buffer, count, FData.data() + FPos);
    FPos += count;
    return count;
}

qint64 TMemoryStream::Seek(qint64 offset, int origin)
{
    qint64 p = origin == 1 ? FPos + offset : origin == 2 ? FData.size() + offset : offset;
    FPos = std::max<qint64>(0, p);
    return FPos;
}

void TMemoryStream::LoadFromStream(TStream *s)
{
    s->SetPosition(0);
    FData = s->ReadAll();
    FPos = 0;
}

void TMemoryStream::LoadFromFile(const QString &fileName)
{
    FData = ksReadFileBytes(fileName);
    FPos = 0;
}

void TMemoryStream::SaveToFile(const QString &fileName)
{
    ksWriteFileBytes(fileName, FData);
}

TFileStream::TFileStream(QObject *parent) : TStream(parent) {}

TFileStream::~TFileStream()
{
    Close();
}

QString TFileStream::Close()
{
    if (!FCreated) {
        FFile.close();
        return QString();
    }
    std::unique_ptr<vplatform::SafeFile> created = std::move(FCreated);
    const bool written = !FWriteFailed && FFile.error() == QFileDevice::NoError;
    FFile.close();
    if (!written) {
        created->abandon();
        return created->errorString();
    }
    return created->commit() ? QString() : created->errorString();
}

void TFileStream::Open(const QString &fileName, int mode)
{
    Close();
    FWriteFailed = false;
    FFile.setFileName(fileName);
    QIODevice::OpenMode m;
    const bool create = mode == fmCreate;
    if (create) {
        // Into a part file beside the user's file (never through a link
        // planted under its name), put in place by Close.
        auto created = std::make_unique<vplatform::SafeFile>(fileName);
        if (!created->open())
            Raise(QStringLiteral("EFCreateError"),
                  QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, created->errorString()));
        const int fd = ::fcntl(created->handle(), F_DUPFD_CLOEXEC, 0);
        if (fd < 0 || !FFile.open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
            if (fd >= 0) ::close(fd);
            Raise(QStringLiteral("EFCreateError"),
                  QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, FFile.errorString()));
        }
        FCreated = std::move(created);
        return;
    }
    if ((mode & 3) == fmOpenWrite)
        m = QIODevice::WriteOnly | QIODevice::ExistingOnly;
    else if ((mode & 3) == fmOpenReadWrite)
        m = QIODevice::ReadWrite | QIODevice::ExistingOnly;
    else
        m = QIODevice::ReadOnly;
    // A pipe or a device is refused at once, never waited on.
    if (QString why; !vplatform::openRegularFile(FFile, fileName, m, &why))
        Raise(QStringLiteral("EFOpenError"), QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, why));
    Q_UNUSED(fmOpenRead);
}

void TFileStream::CheckOpen() const
{
    if (!FFile.isOpen()) Raise(QStringLiteral("EStreamError"), QStringLiteral("The file stream is not open"));
}

qint64 TFileStream::ReadBytes(char *buffer, qint64 count)
{
    CheckOpen();
    if (!FFile.isReadable()) Raise(QStringLiteral("EReadError"), QStringLiteral("Stream read error"));
    const qint64 n = FFile.read(buffer, count);
    if (n < 0) Raise(QStringLiteral("EReadError"), QStringLiteral("Stream read error: %1").arg(FFile.errorString()));
    return n;
}

qint64 TFileStream::WriteBytes(const char *buffer, qint64 count)
{
    CheckOpen();
    if (!FFile.isWritable()) Raise(QStringLiteral("EWriteError"), QStringLiteral("Stream write error"));
    const qint64 n = FFile.write(buffer, count);
    if (n != count) FWriteFailed = true;
    if (n < 0) Raise(QStringLiteral("EWriteError"), QStringLiteral("Stream write error: %1").arg(FFile.errorString()));
    return n;
}

qint64 TFileStream::Seek(qint64 offset, int origin)
{
    CheckOpen();
    qint64 p = origin == 1 ? FFile.pos() + offset : origin == 2 ? FFile.size() + offset : offset;
    p = std::max<qint64>(0, p);
    FFile.seek(p);
    return p;
}

qint64 TFileStream::Size()
{
    CheckOpen();
    return FFile.size();
}

// ---- registration -----------------------------------------------------------------------

const KsClassesInfo &ksClassesInfo()
{
    static const KsClassesInfo info = [] {
        KsClassesInfo i{};
        i.Object = ksRegisterPlainClass(QStringLiteral("TObject"), nullptr,
                                        [](QObject *owner) -> QObject * { return new QObject(owner); });
        i.Persistent = RegisterClass<TPersistent>(i.Object);
        i.Component = RegisterClass<TComponent>(i.Object);
        i.CollectionItem = RegisterClass<TCollectionItem>(i.Object);
        i.Collection = RegisterClass<TCollection>(i.Object);
        i.List = RegisterClass<TList>(i.Object);
        i.Strings = RegisterClass<TStrings, false>(i.Object);
        i.StringList = RegisterClass<TStringList>(i.Object);
        i.Stream = RegisterClass<TStream, false>(i.Object);
        i.FileStream = ksRegisterClass(&TFileStream::staticMetaObject,
                                       [](QObject *o) -> QObject * { return new TFileStream(o); });
        i.MemoryStream = ksRegisterClass(&TMemoryStream::staticMetaObject,
                                         [](QObject *o) -> QObject * { return new TMemoryStream(o); });
        return i;
    }();
    return info;
}

namespace {

KsValue Nothing()
{
    return KsValue(0);
}

KsValue ObjectOrNil(TksMethodHelper *h, int i)
{
    QObject *o = ObjArg(h, i, nullptr, true);
    return o ? KsValue::FromObject(o) : KsValue(0);
}

// An object its owner publishes as a property (a font, a frame, a set of
// options) lives and dies with the owner: freeing it alone would leave the
// owner a dangling pointer.
bool HeldByProperty(QObject *o)
{
    QObject *holder = o->parent();
    const KsClassInfo *cls = holder ? ksClassInfoOf(holder) : nullptr;
    if (!cls) return false;
    for (const KsPropInfo *p : cls->Properties()) {
        if (p->Kind != KsPropKind::Class || !p->Get) continue;
        try {
            const KsValue v = p->Get(holder);
            if (v.IsObject() && v.ToObject() == o) return true;
        } catch (const std::exception &) {
            // a property that cannot be read holds nothing
        }
    }
    return false;
}

void RegisterObject(TksScript *s, const KsClassesInfo &ci)
{
    TksClassVariable *c = s->AddClass(ci.Object, QString());
    if (!c) return;
    // TObject's members serve every object, also those of classes that are
    // not TObject descendants in the host.
    auto any = [](TksMethodHelper *m) { m->ClassRef = nullptr; };
    any(c->AddConstructor(QStringLiteral("constructor Create"),
                          [](QObject *inst, const KsClassInfo *, const QString &n, TksMethodHelper *) {
                              return KsValue::FromObject(Self(inst, n));
                          }));
    any(c->AddMethod(QStringLiteral("procedure Free"), [](QObject *inst, const KsClassInfo *, const QString &,
                                                          TksMethodHelper *h) {
        if (!inst) return Nothing();  // Free of nil does nothing
        if (IsPart(inst) || HeldByProperty(inst) || (!IsScriptCreated(inst) && !inst->parent()))
            Raise(QStringLiteral("EInvalidOperation"),
                  QStringLiteral("The object %1 belongs to the program and cannot be freed").arg(ksClassNameOf(inst)));
        if (const QString why = FreeRefusal(inst); !why.isEmpty()) Raise(QStringLiteral("EInvalidOperation"), why);
        Q_UNUSED(h);
        // A created file is put in place now; the script hears if it could
        // not be.
        const QString unsaved = qobject_cast<TFileStream *>(inst) ? static_cast<TFileStream *>(inst)->Close() : QString();
        delete inst;
        if (!unsaved.isEmpty()) Raise(QStringLiteral("EWriteError"), unsaved);
        return Nothing();
    }));
    any(c->AddMethod(QStringLiteral("function ClassName: String"),
                     [](QObject *inst, const KsClassInfo *, const QString &n, TksMethodHelper *) {
                         return KsValue(ksClassNameOf(Self(inst, n)));
                     }));
}

void RegisterStrings(TksScript *s, const KsClassesInfo &ci)
{
    Binder<TStrings> b(s->AddClass(ci.Strings, QStringLiteral("TPersistent")));
    b.Method(QStringLiteral("function Add(const S: string): Integer"),
             [](TStrings *t, TksMethodHelper *h) { return KsValue(t->Add(StrArg(h, 0))); })
            .Method(QStringLiteral("function AddObject(const S: string; AObject: TObject): Integer"),
                    [](TStrings *t, TksMethodHelper *h) {
                        return KsValue(t->AddObject(StrArg(h, 0), ObjectOrNil(h, 1)));
                    })
            .Method(QStringLiteral("procedure Clear"),
                    [](TStrings *t, TksMethodHelper *) {
                        t->Clear();
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure Delete(Index: Integer)"),
                    [](TStrings *t, TksMethodHelper *h) {
                        t->Delete(IntArg(h, 0));
                        return Nothing();
                    })
            .Method(QStringLiteral("function IndexOf(const S: string): Integer"),
                    [](TStrings *t, TksMethodHelper *h) { return KsValue(t->IndexOf(StrArg(h, 0))); })
            .Method(QStringLiteral("function IndexOfName(const Name: string): Integer"),
                    [](TStrings *t, TksMethodHelper *h) { return KsValue(t->IndexOfName(StrArg(h, 0))); })
            .Method(QStringLiteral("function IndexOfObject(AObject: TObject): Integer"),
                    [](TStrings *t, TksMethodHelper *h) { return KsValue(t->IndexOfObject(ObjectOrNil(h, 0))); })
            .Method(QStringLiteral("procedure Insert(Index: Integer; const S: string)"),
                    [](TStrings *t, TksMethodHelper *h) {
                        t->Insert(IntArg(h, 0), StrArg(h, 1));
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure InsertObject(Index: Integer; const S: string; AObject: TObject)"),
                    [](TStrings *t, TksMethodHelper *h) {
                        t->InsertObject(IntArg(h, 0), StrArg(h, 1), ObjectOrNil(h, 2));
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure LoadFromFile(const FileName: string)"),
                    [](TStrings *t, TksMethodHelper *h) {
                        t->LoadFromFile(StrArg(h, 0));
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure LoadFromStream(Stream: TStream)"),
                    [ci](TStrings *t, TksMethodHelper *h) {
                        t->SetText(QString::fromUtf8(ObjArgAs<TStream>(h, 0, ci.Stream)->ReadAll()));
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure SaveToFile(const FileName: string)"),
                    [](TStrings *t, TksMethodHelper *h) {
                        t->SaveToFile(StrArg(h, 0));
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure Move(CurIndex, NewIndex: Integer)"),
                    [](TStrings *t, TksMethodHelper *h) {
                        t->Move(IntArg(h, 0), IntArg(h, 1));
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure SaveToStream(Stream: TStream)"),
                    [ci](TStrings *t, TksMethodHelper *h) {
                        ObjArgAs<TStream>(h, 0, ci.Stream)->WriteAll(t->Text().toUtf8());
                        return Nothing();
                    })
            .Property(
                    QStringLiteral("CommaText"), QStringLiteral("string"),
                    [](TStrings *t) { return KsValue(t->CommaText()); },
                    [](TStrings *t, const KsValue &v) { t->SetCommaText(v.ToText()); })
            .Property(QStringLiteral("Count"), QStringLiteral("Integer"),
                      [](TStrings *t) { return KsValue(t->Count()); })
            .Indexed(QStringLiteral("Names"), QStringLiteral("Integer"), QStringLiteral("string"),
                     [](TStrings *t, TksMethodHelper *h) { return KsValue(t->Names(IntArg(h, 0))); })
            .Indexed(
                    QStringLiteral("Objects"), QStringLiteral("Integer"), QStringLiteral("TObject"),
                    [](TStrings *t, TksMethodHelper *h) { return t->Objects(IntArg(h, 0)); },
                    [](TStrings *t, TksMethodHelper *h, const KsValue &) {
                        t->PutObject(IntArg(h, 0), ObjectOrNil(h, h->ParamCount()));
                    })
            .Indexed(
                    QStringLiteral("Values"), QStringLiteral("String"), QStringLiteral("string"),
                    [](TStrings *t, TksMethodHelper *h) { return KsValue(t->Values(StrArg(h, 0))); },
                    [](TStrings *t, TksMethodHelper *h, const KsValue &v) { t->SetValues(StrArg(h, 0), v.ToText()); })
            .Indexed(
                    QStringLiteral("Strings"), QStringLiteral("Integer"), QStringLiteral("string"),
                    [](TStrings *t, TksMethodHelper *h) { return KsValue(t->Get(IntArg(h, 0))); },
                    [](TStrings *t, TksMethodHelper *h, const KsValue &v) { t->Put(IntArg(h, 0), v.ToText()); }, true)
            .Property(
                    QStringLiteral("Text"), QStringLiteral("string"), [](TStrings *t) { return KsValue(t->Text()); },
                    [](TStrings *t, const KsValue &v) { t->SetText(v.ToText()); });

    Binder<TStringList> l(s->AddClass(ci.StringList, QStringLiteral("TStrings")));
    l.Method(QStringLiteral("function Find(s: String; var Index: Integer): Boolean"),
             [](TStringList *t, TksMethodHelper *h) {
                 int i = 0;
                 const bool found = t->Find(StrArg(h, 0), i);
                 h->SetParam(1, KsValue(i));
                 return KsValue(found);
             })
            .Method(QStringLiteral("procedure Sort"),
                    [](TStringList *t, TksMethodHelper *) {
                        t->Sort();
                        return Nothing();
                    })
            .Property(
                    QStringLiteral("Duplicates"), QStringLiteral("TDuplicates"),
                    [](TStringList *t) { return KsValue(int(t->Duplicates())); },
                    [](TStringList *t, const KsValue &v) {
                        const int d = v.ToInt();
                        if (d < dupIgnore || d > dupError)
                            Raise(QStringLiteral("ERangeError"), QStringLiteral("Invalid Duplicates value %1").arg(d));
                        t->SetDuplicates(TDuplicates(d));
                    })
            .Property(
                    QStringLiteral("Sorted"), QStringLiteral("Boolean"),
                    [](TStringList *t) { return KsValue(t->Sorted()); },
                    [](TStringList *t, const KsValue &v) { t->SetSorted(v.ToBool()); });
}

void RegisterStreams(TksScript *s, const KsClassesInfo &ci)
{
    Binder<TStream> b(s->AddClass(ci.Stream, QStringLiteral("TObject")));
    b.Method(QStringLiteral("function Read(var Buffer: string; Count: Longint): Longint"),
             [](TStream *t, TksMethodHelper *h) {
                 // no more than the stream still holds
                 const qint64 count = std::clamp<qint64>(IntArg(h, 1), 0, std::max<qint64>(0, t->Size() - t->Position()));
                 ksCheckListBytes(count);
                 ksChargeRun(count);
                 QByteArray buf;
                 buf.resize(count);
                 buf.resize(t->ReadBytes(buf.data(), count));
                 h->SetParam(0, KsValue(ksBytesToString(buf)));
                 return KsValue(int(buf.size()));
             })
            .Method(QStringLiteral("function Write(Buffer: string; Count: Longint): Longint"),
                    [](TStream *t, TksMethodHelper *h) {
                        const QString text = StrArg(h, 0);
                        const int count = std::clamp(IntArg(h, 1), 0, int(text.size()));
                        const QByteArray bytes = ksStringToBytes(text.left(count));
                        return KsValue(int(t->WriteBytes(bytes.constData(), bytes.size())));
                    })
            .Method(QStringLiteral("function Seek(Offset: Longint; Origin: Word): Longint"),
                    [](TStream *t, TksMethodHelper *h) {
                        return KsValue::FromInt(t->Seek(IntArg(h, 0), IntArg(h, 1)));
                    })
            .Method(QStringLiteral("function CopyFrom(Source: TStream; Count: Longint): Longint"),
                    [ci](TStream *t, TksMethodHelper *h) {
                        return KsValue::FromInt(t->CopyFrom(ObjArgAs<TStream>(h, 0, ci.Stream), IntArg(h, 1)));
                    })
            .Property(
                    QStringLiteral("Position"), QStringLiteral("Longint"),
                    [](TStream *t) { return KsValue::FromInt(t->Position()); },
                    [](TStream *t, const KsValue &v) { t->SetPosition(v.ToInt64()); })
            .Property(QStringLiteral("Size"), QStringLiteral("Longint"),
                      [](TStream *t) { return KsValue::FromInt(t->Size()); });

    Binder<TFileStream>(s->AddClass(ci.FileStream, QStringLiteral("TStream")))
            .Constructor(QStringLiteral("constructor Create(Filename: String; Mode: Word)"),
                         [](TFileStream *t, TksMethodHelper *h) {
                             t->Open(StrArg(h, 0), IntArg(h, 1));
                             return Nothing();
                         });

    Binder<TMemoryStream>(s->AddClass(ci.MemoryStream, QStringLiteral("TStream")))
            .Method(QStringLiteral("procedure Clear"),
                    [](TMemoryStream *t, TksMethodHelper *) {
                        t->Clear();
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure LoadFromStream(Stream: TStream)"),
                    [ci](TMemoryStream *t, TksMethodHelper *h) {
                        t->LoadFromStream(ObjArgAs<TStream>(h, 0, ci.Stream));
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure LoadFromFile(Filename: String)"),
                    [](TMemoryStream *t, TksMethodHelper *h) {
                        t->LoadFromFile(StrArg(h, 0));
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure SaveToStream(Stream: TStream)"),
                    [ci](TMemoryStream *t, TksMethodHelper *h) {
                        t->SaveToStream(ObjArgAs<TStream>(h, 0, ci.Stream));
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure SaveToFile(Filename: String)"), [](TMemoryStream *t, TksMethodHelper *h) {
                t->SaveToFile(StrArg(h, 0));
                return Nothing();
            });
}

}  // namespace

TksClassesFunctions::TksClassesFunctions(TksScript *s) : TksRTTIModule(s)
{
    const KsClassesInfo &ci = ksClassesInfo();
    static const struct {
        const char *Name;
        int Value;
    } consts[] = {{"fmCreate", fmCreate},       {"fmOpenRead", fmOpenRead},
                  {"fmOpenWrite", fmOpenWrite}, {"fmOpenReadWrite", fmOpenReadWrite},
                  {"fmShareExclusive", 0x10},   {"fmShareDenyWrite", 0x20},
                  {"fmShareDenyNone", 0x40},    {"soFromBeginning", 0},
                  {"soFromCurrent", 1},         {"soFromEnd", 2}};
    for (const auto &c : consts) s->AddConst(QLatin1String(c.Name), QStringLiteral("Integer"), KsValue(c.Value));
    s->AddEnum(QStringLiteral("TDuplicates"), QStringLiteral("dupIgnore, dupAccept, dupError"));
    s->AddEnum(QStringLiteral("TPrinterOrientation"), QStringLiteral("poPortrait, poLandscape"));

    RegisterObject(s, ci);
    Binder<TPersistent>(s->AddClass(ci.Persistent, QStringLiteral("TObject")))
            .Method(QStringLiteral("procedure Assign(Source: TPersistent)"), [ci](TPersistent *t, TksMethodHelper *h) {
                t->Assign(ObjArg(h, 0, ci.Persistent));
                return Nothing();
            });
    s->AddClass(ci.CollectionItem, QStringLiteral("TPersistent"));
    Binder<TCollection>(s->AddClass(ci.Collection, QStringLiteral("TPersistent")))
            .Method(QStringLiteral("procedure Clear"),
                    [](TCollection *t, TksMethodHelper *) {
                        t->Clear();
                        return Nothing();
                    })
            .Property(QStringLiteral("Count"), QStringLiteral("Integer"),
                      [](TCollection *t) { return KsValue(t->Count()); })
            .Indexed(
                    QStringLiteral("Items"), QStringLiteral("Integer"), QStringLiteral("TCollectionItem"),
                    [](TCollection *t, TksMethodHelper *h) { return Obj(t->Items(IntArg(h, 0))); }, {}, true);
    Binder<TList>(s->AddClass(ci.List, QStringLiteral("TObject")))
            .Method(QStringLiteral("function Add(Item: TObject): Integer"),
                    [](TList *t, TksMethodHelper *h) { return KsValue(t->Add(ObjectOrNil(h, 0))); })
            .Method(QStringLiteral("procedure Clear"),
                    [](TList *t, TksMethodHelper *) {
                        t->Clear();
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure Delete(Index: Integer)"),
                    [](TList *t, TksMethodHelper *h) {
                        t->Delete(IntArg(h, 0));
                        return Nothing();
                    })
            .Method(QStringLiteral("function IndexOf(Item: TObject): Integer"),
                    [](TList *t, TksMethodHelper *h) { return KsValue(t->IndexOf(ObjectOrNil(h, 0))); })
            .Method(QStringLiteral("procedure Insert(Index: Integer; Item: TObject)"),
                    [](TList *t, TksMethodHelper *h) {
                        t->Insert(IntArg(h, 0), ObjectOrNil(h, 1));
                        return Nothing();
                    })
            .Method(QStringLiteral("function Remove(Item: TObject): Integer"),
                    [](TList *t, TksMethodHelper *h) { return KsValue(t->Remove(ObjectOrNil(h, 0))); })
            .Property(QStringLiteral("Count"), QStringLiteral("Integer"), [](TList *t) { return KsValue(t->Count()); })
            .Indexed(
                    QStringLiteral("Items"), QStringLiteral("Integer"), QStringLiteral("TObject"),
                    [](TList *t, TksMethodHelper *h) { return t->Items(IntArg(h, 0)); },
                    [](TList *t, TksMethodHelper *h, const KsValue &) {
                        t->SetItems(IntArg(h, 0), ObjectOrNil(h, h->ParamCount()));
                    },
                    true);
    RegisterStrings(s, ci);
    RegisterStreams(s, ci);
    Binder<TComponent>(s->AddClass(ci.Component, QStringLiteral("TPersistent")))
            .Constructor(QStringLiteral("constructor Create(AOwner: TComponent)"),
                         [](TComponent *t, TksMethodHelper *h) {
                             QObject *owner = ObjArg(h, 0, nullptr, true);
                             // one just made is known to nothing the script holds: no owner's owner
                             const bool fresh = IsScriptCreated(t) && !IsConstructed(t);
                             if (owner == t || (!fresh && ksOwnedBy(owner, t)))
                                 Raise(QStringLiteral("EInvalidOperation"),
                                           QStringLiteral("A component cannot be owned by itself or by what it owns"));
                             t->SetOwner(owner);
                             return Nothing();
                         })
            .Property(QStringLiteral("Owner"), QStringLiteral("TComponent"),
                      [](TComponent *t) { return Obj(t->Owner()); });
    ksRegisterXMLClasses(s);
}
