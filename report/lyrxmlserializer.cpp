#include "report/lyrxmlserializer.h"

#include "report/lyrclass.h"
#include "report/lyrdbset.h"
#include "report/lyrpropstream.h"
#include "report/lyrres.h"
#include "report/lyrunicodeutils.h"
#include "report/lyrutils.h"
#include "report/lyrxml.h"
#include "script/ks_props.h"

#include <QHash>
#include <QMetaProperty>

#include <cmath>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

// Whether an attribute's name is name in any letter case; most names differ
// in length, which settles it without comparing letters.
bool isName(QStringView attribute, QLatin1StringView name)
{
    return attribute.size() == name.size() && attribute.compare(name, Qt::CaseInsensitive) == 0;
}

// The meta-object index of a published property (-1 when it is not a
// declared one), looked up once per class and name: loading and copying ask
// it for every property of every object.
int declaredIndex(const QMetaObject *meta, const QString &name)
{
    static std::mutex lock;
    static QHash<std::pair<const QMetaObject *, QString>, int> cache;
    std::lock_guard guard(lock);
    const auto key = std::make_pair(meta, name);
    auto it = cache.constFind(key);
    if (it == cache.constEnd()) it = cache.insert(key, meta->indexOfProperty(name.toLatin1().constData()));
    return *it;
}

// A new object of the class of a nested persistent object (its frame, its
// highlight ...), kept per thread: what a reloaded owner starts that part
// from. None for classes that cannot be made on their own.
QObject *freshOf(const QObject *sub)
{
    const QMetaObject *meta = sub->metaObject();
    const KsClassInfo *cls = ksClassInfoOf(sub);
    if (!cls || cls->Meta != meta || !cls->Factory || qobject_cast<const TlyrComponent *>(sub) || sub->isWidgetType())
        return nullptr;
    thread_local std::unordered_map<const QMetaObject *, std::unique_ptr<QObject>> made;
    std::unique_ptr<QObject> &o = made[meta];
    if (!o) o.reset(cls->Create(nullptr));
    return o && o->metaObject() == meta ? o.get() : nullptr;
}

QObject *objectProp(QObject *obj, const KsPropInfo *p)
{
    if (!obj) return nullptr;
    const QMetaObject *meta = obj->metaObject();
    const int index = declaredIndex(meta, p->Name);
    if (index < 0) return obj->property(p->Name.toLatin1().constData()).value<QObject *>();
    return meta->property(index).read(obj).value<QObject *>();
}

QString stringListText(const QStringList &lines)
{
    return lines.join(QStringLiteral("\r\n"));
}

QStringList textToLines(const QString &text)
{
    if (text.isEmpty()) return {};
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return t.split(QLatin1Char('\n'));
}

QString dropFinalLineEnd(QString text)
{
    if (text.endsWith(QLatin1String("\r\n"))) text.chop(2);
    return text;
}

void appendAttr(QByteArray &out, const QByteArray &name, const QString &value)
{
    out += ' ';
    out += name;
    out += "=\"";
    lyrAppendStrToXML(out, value);
    out += '"';
}

bool isBooleanText(const QString &v, bool &out)
{
    if (v.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 || v == QLatin1String("1")) {
        out = true;
        return true;
    }
    if (v.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0 || v == QLatin1String("0")) {
        out = false;
        return true;
    }
    return false;
}

// An enumeration value by name or number; a number must name one of the
// values too.
qint64 enumerationValue(const KsPropInfo *p, const QString &value)
{
    bool numeric = false;
    qint64 n = value.trimmed().toLongLong(&numeric);
    if (numeric ? p->ValueName(n).isEmpty() : !p->ValueOf(value, n))
        throw ElyrConvertError(QStringLiteral("Invalid property value %1").arg(value));
    return n;
}

// The text an attribute value comes back as once written and read.
QString xmlRoundTrip(const QString &text)
{
    for (QChar c : text)
        if (c == u'&' || c.isSurrogate()) return lyrXMLToStr(lyrStrToXML(text));
    return text;
}

// Runs one setting; what it throws becomes an error line naming the object
// and the attribute ("Memo1.Height: ...").
// The attribute's name is prefix and tail, put together only for a line.
template <class F>
void guarded(QStringList &errors, QObject *obj, QByteArrayView prefix, QStringView tail, F &&set)
{
    auto where = [&] {
        const QString name = obj->objectName().isEmpty() ? ksClassNameOf(obj) : obj->objectName();
        return name + QLatin1Char('.') + QString::fromLatin1(prefix) + tail.toString() + QStringLiteral(": ");
    };
    try {
        set();
    } catch (const ElyrError &e) {
        errors << where() + e.Message();
    } catch (const KsError &e) {
        errors << where() + e.Message;
    } catch (const std::exception &e) {
        errors << where() + QString::fromUtf8(e.what());
    }
}

// Names an attribute reader treats apart from the property of that name.
bool hasSpecialNames(const KsClassInfo *cls)
{
    static std::mutex lock;
    static QHash<const KsClassInfo *, bool> cache;
    std::lock_guard guard(lock);
    auto it = cache.constFind(cls);
    if (it != cache.constEnd()) return *it;
    bool special = false;
    const bool component = cls->Meta && cls->Meta->inherits(&TlyrComponent::staticMetaObject);
    for (const KsPropInfo *p : lyrClassProperties(cls))
        if (p->Name.size() == 1 || p->Name.compare(QLatin1String("PropData"), Qt::CaseInsensitive) == 0 ||
            (component && p->Name.compare(QLatin1String("Text"), Qt::CaseInsensitive) == 0))
            special = true;
    cache.insert(cls, special);
    return special;
}

// The nested objects' names of a dotted attribute name; last gets the rest.
QStringList nestedNames(QByteArrayView rawName, QString &last)
{
    last = QString::fromLatin1(rawName);
    if (!last.contains(QLatin1Char('.'))) return {};
    QStringList parts = last.split(QLatin1Char('.'));
    last = parts.takeLast();
    return parts;
}

qint64 toInteger(const QString &v)
{
    bool ok = false;
    const qint64 n = v.trimmed().toLongLong(&ok);
    if (!ok) throw ElyrConvertError(QStringLiteral("'%1' is not a valid integer value").arg(v));
    return n;
}

}  // namespace

const QList<const KsPropInfo *> &lyrClassProperties(const KsClassInfo *cls)
{
    static QHash<const KsClassInfo *, QList<const KsPropInfo *>> cache;
    auto it = cache.find(cls);
    if (it == cache.end()) it = cache.insert(cls, cls->Properties());
    return *it;
}

bool lyrIsStringListProperty(const QObject *obj, const KsPropInfo *p)
{
    if (p->Kind != KsPropKind::Variant || !obj) return false;
    const QMetaObject *meta = obj->metaObject();
    const int index = declaredIndex(meta, p->Name);
    return index >= 0 && meta->property(index).metaType().id() == QMetaType::QStringList;
}

TlyrXMLSerializer::TlyrXMLSerializer(QIODevice *stream) : Stream(stream)
{
    lyrRegisterReportClasses();
}

TlyrXMLSerializer::~TlyrXMLSerializer() = default;

// ---------------------------------------------------------------- writing

QByteArray TlyrXMLSerializer::propData(const QObject *obj)
{
    auto *c = qobject_cast<const TlyrComponent *>(obj);
    if (!c) return {};
    TlyrPropWriter writer;
    c->WriteData(writer, *this);
    return writer.Data();
}

QByteArray TlyrXMLSerializer::ObjToXML(QObject *obj, const QByteArray &prefix, QObject *ancestor)
{
    return objToXML(obj, prefix, ancestor, nullptr);
}

QByteArray TlyrXMLSerializer::objToXML(QObject *obj, const QByteArray &prefix, QObject *ancestor, QObject *reference,
                                       bool whole)
{
    // Only an object of the same class tells what a value starts as.
    if (reference && reference->metaObject() != obj->metaObject()) reference = nullptr;
    QByteArray out;
    const KsClassInfo *cls = ksClassInfoOf(obj);
    if (!cls) return out;
    auto *comp = qobject_cast<TlyrComponent *>(obj);
    const bool all = SerializeAll || whole;
    const auto *nested = all ? nullptr : dynamic_cast<const TlyrStoredProperties *>(obj);
    for (const KsPropInfo *p : lyrClassProperties(cls)) {
        if (!p->Stored || !p->Get) continue;
        if (comp && p->Name == QLatin1String("Name")) continue;
        if (comp && !comp->IsPropertyStored(p->Name)) continue;
        if (nested && !nested->IsPropertyStored(p->Name)) continue;
        // Built only for what is written: most values are left out.
        auto name = [&] { return prefix + p->Name.toLatin1(); };
        switch (p->Kind) {
        case KsPropKind::Class: {
            QObject *value = objectProp(obj, p);
            QObject *anc = objectProp(ancestor, p);
            if (!value && !anc) break;
            if (qobject_cast<TlyrComponent *>(value) || (!value && qobject_cast<TlyrComponent *>(anc))) {
                if (p->IsReadOnly()) break;
                QString target = value ? lyrGetFullName(Owner, value) : QString();
                if (value && target.isEmpty()) target = value->objectName();
                if (ancestor) {
                    const QString ancTarget = anc ? anc->objectName() : QString();
                    if (!all && target.compare(ancTarget, Qt::CaseInsensitive) == 0) break;
                    appendAttr(out, name(), value ? target : QStringLiteral("nil"));
                } else if (value) {
                    appendAttr(out, name(), target);
                }
                break;
            }
            if (!value) break;
            if (!ancestor && comp && value == comp->Font() && !comp->ParentFont()) {
                // An object's own font: the reloaded object starts from its
                // parent's or its class's, whatever the font's defaults say.
                out += objToXML(value, name() + '.', nullptr, nullptr, true);
                break;
            }
            // Without an ancestor, a value equal to its declared default is
            // left out only when the reloaded owner's part, made anew, holds
            // it too.
            QObject *start = ancestor ? nullptr : reference ? objectProp(reference, p) : freshOf(value);
            out += objToXML(value, name() + '.', anc, start);
            break;
        }
        case KsPropKind::Method:
            break;
        default: {
            if (p->IsReadOnly()) break;
            const KsValue v = p->Get(obj);
            const bool hasAnc = ancestor != nullptr;
            const KsValue a = hasAnc ? p->Get(ancestor) : KsValue();
            const KsValue start = reference && !hasAnc ? p->Get(reference) : KsValue();
            if (lyrIsStringListProperty(obj, p)) {
                const QStringList lines = obj->property(p->Name.toLatin1().constData()).toStringList();
                const QString text = stringListText(lines);
                if (!all && hasAnc &&
                    text == stringListText(ancestor->property(p->Name.toLatin1().constData()).toStringList()))
                    break;
                appendAttr(out, name() + ".Text", text);
                break;
            }
            switch (p->Kind) {
            case KsPropKind::Integer:
            case KsPropKind::Char:
            case KsPropKind::Set:
            case KsPropKind::Enumeration:
            case KsPropKind::Boolean: {
                const qint64 n = p->Kind == KsPropKind::Char
                                         ? (v.ToText().isEmpty() ? 0 : v.ToText().at(0).unicode())
                                         : (p->Kind == KsPropKind::Boolean ? (v.ToBool() ? 1 : 0) : v.ToInt64());
                if (!all) {
                    if (hasAnc) {
                        const qint64 m =
                                p->Kind == KsPropKind::Char
                                        ? (a.ToText().isEmpty() ? 0 : a.ToText().at(0).unicode())
                                        : (p->Kind == KsPropKind::Boolean ? (a.ToBool() ? 1 : 0) : a.ToInt64());
                        if (m == n) break;
                    } else if (p->HasDefault) {
                        auto number = [&](const KsValue &x) -> qint64 {
                            if (p->Kind == KsPropKind::Char)
                                return x.ToText().isEmpty() ? 0 : x.ToText().at(0).unicode();
                            return p->Kind == KsPropKind::Boolean ? (x.ToBool() ? 1 : 0) : x.ToInt64();
                        };
                        if (number(p->Default) == n && (!reference || number(start) == n)) break;
                    }
                }
                QString text;
                if (p->Kind == KsPropKind::Boolean)
                    text = n ? QStringLiteral("True") : QStringLiteral("False");
                else if (p->Kind == KsPropKind::Enumeration)
                    text = p->ValueName(n).isEmpty() ? QString::number(n) : p->ValueName(n);
                else
                    text = QString::number(n);
                appendAttr(out, name(), text);
                break;
            }
            case KsPropKind::Float: {
                const double d = v.ToDouble();
                if (!all && hasAnc && std::fabs(d - a.ToDouble()) < 0.000001) break;
                appendAttr(out, name(), lyrFloatToXML(d));
                break;
            }
            case KsPropKind::String: {
                const QString s = v.ToText();
                // An empty text is written when the reload would not give one.
                const bool reloadsEmpty =
                        (!p->HasDefault || p->Default.ToText().isEmpty()) && (!reference || start.ToText().isEmpty());
                if (!all && (hasAnc ? s == a.ToText() : s.isEmpty() && reloadsEmpty)) break;
                appendAttr(out, name(), s);
                break;
            }
            default: {  // Variant
                if (!all && hasAnc && ksEquals(v, a)) break;
                appendAttr(out, name(), v.IsNull() || v.IsEmpty() ? QString() : v.ToText());
                break;
            }
            }
        }
        }
    }
    if (comp && comp->IsTextObject()) {
        const QString text = dropFinalLineEnd(comp->ComponentText());
        auto *ancComp = qobject_cast<TlyrComponent *>(ancestor);
        if (all || !ancComp || dropFinalLineEnd(ancComp->ComponentText()) != text)
            appendAttr(out, prefix + "Text", text);
    }
    const QByteArray data = propData(obj);
    if (!data.isEmpty()) {
        bool write = true;
        if (!all && ancestor) {
            const QByteArray ancData = propData(ancestor);
            write = lyrCRC32(data) != lyrCRC32(ancData) || ancData.size() != data.size();
        }
        if (write) {
            out += ' ';
            out += prefix;
            out += "PropData=\"";
            out += lyrBytesToHex(data);
            out += '"';
        }
    }
    return out;
}

void TlyrXMLSerializer::writeItem(TlyrComponent *obj, TlyrXMLItem *item, bool root, bool saveChildren)
{
    item->Name = obj->IsAncestor() ? QStringLiteral("inherited") : ksClassNameOf(obj);
    TlyrComponent *ancestor = OnGetAncestor ? OnGetAncestor(obj->objectName()) : nullptr;
    if (ancestor == obj) ancestor = nullptr;
    QByteArray text = ObjToXML(obj, QByteArray(), ancestor);
    if (root) {
        if (text.startsWith(' ')) text.remove(0, 1);
        item->Text = text;
    } else {
        QByteArray t = "Name=\"" + lyrStrToXML(obj->objectName()) + '"';
        t += text;
        item->Text = t;
    }
    if (saveChildren)
        for (TlyrComponent *child : obj->Objects()) writeItem(child, item->Add(), false, true);
}

void TlyrXMLSerializer::WriteRootComponent(TlyrComponent *obj, bool saveChildren, TlyrXMLItem *item)
{
    std::unique_ptr<TlyrXMLDocument> doc;
    if (!item) {
        doc = std::make_unique<TlyrXMLDocument>();
        doc->AutoIndent = true;
        item = doc->Root();
    }
    writing_ = true;
    struct Reset {
        bool &f;
        ~Reset() { f = false; }
    } reset{writing_};
    writeItem(obj, item, true, saveChildren);
    if (doc) doc->SaveToStream(*Stream);
}

QByteArray TlyrXMLSerializer::WriteComponentStr(TlyrComponent *obj)
{
    QByteArray out = ksClassNameOf(obj).toLatin1();
    out += ObjToXML(obj);
    return out;
}

QByteArray TlyrXMLSerializer::WriteComponentElement(TlyrComponent *obj)
{
    return '<' + WriteComponentStr(obj) + "/>";
}

// ---------------------------------------------------------------- reading

void TlyrXMLSerializer::readPropData(QObject *obj, QByteArrayView hex)
{
    auto *comp = qobject_cast<TlyrComponent *>(obj);
    if (!comp) return;
    const QByteArray bytes = lyrHexToBytes(hex);
    TlyrPropReader reader(bytes);
    while (!reader.AtEnd()) {
        const QByteArray name = reader.ReadPropName();
        if (!comp->ReadData(name, reader, *this)) reader.SkipValue();
    }
}

void TlyrXMLSerializer::applyValue(QObject *obj, QByteArrayView rawName, const QString &value, bool topLevel)
{
    auto *comp = qobject_cast<TlyrComponent *>(obj);
    if (topLevel && comp && rawName.size() == 1) {
        switch (rawName.at(0)) {
        case 'l':
            comp->SetLeft(lyrStrToFloat(value));
            return;
        case 't':
            comp->SetTop(lyrStrToFloat(value));
            return;
        case 'w':
            comp->SetWidth(lyrStrToFloat(value));
            return;
        case 'h':
            comp->SetHeight(lyrStrToFloat(value));
            return;
        case 'x':
        case 'u':
            comp->SetComponentText(value);
            return;
        default:
            break;
        }
    }
    QString last;
    const QStringList parts = nestedNames(rawName, last);
    QObject *target = obj;
    // Walk the nested objects; a string list takes "Prop.Text".
    for (int i = 0; i < parts.size(); ++i) {
        const KsClassInfo *cls = ksClassInfoOf(target);
        const KsPropInfo *p = cls ? cls->FindProperty(parts[i]) : nullptr;
        if (!p) return;
        if (i == parts.size() - 1 && isName(last, QLatin1StringView("Text")) &&
            lyrIsStringListProperty(target, p)) {
            if (!p->IsReadOnly()) target->setProperty(p->Name.toLatin1().constData(), textToLines(value));
            return;
        }
        if (p->Kind != KsPropKind::Class) return;
        QObject *sub = objectProp(target, p);
        if (!sub || qobject_cast<TlyrComponent *>(sub)) return;
        target = sub;
    }
    if (isName(last, QLatin1StringView("PropData"))) {
        readPropData(target, value.toLatin1());
        return;
    }
    auto *targetComp = qobject_cast<TlyrComponent *>(target);
    if (isName(last, QLatin1StringView("Text")) && targetComp && targetComp->IsTextObject()) {
        targetComp->SetComponentText(value);
        return;
    }
    if (isName(last, QLatin1StringView("Name")) && qobject_cast<TlyrReport *>(target)) return;
    const KsClassInfo *cls = ksClassInfoOf(target);
    const KsPropInfo *p = cls ? cls->FindProperty(last) : nullptr;
    if (!p || p->IsReadOnly()) return;
    if (lyrIsStringListProperty(target, p)) {
        target->setProperty(p->Name.toLatin1().constData(), textToLines(value));
        return;
    }
    switch (p->Kind) {
    case KsPropKind::Integer:
    case KsPropKind::Set:
        p->Set(target, KsValue::FromInt(toInteger(value)));
        break;
    case KsPropKind::Char:
        p->Set(target, KsValue(QString(QChar(static_cast<char16_t>(toInteger(value))))));
        break;
    case KsPropKind::Boolean: {
        bool b = false;
        if (!isBooleanText(value, b))
            throw ElyrConvertError(QStringLiteral("'%1' is not a valid Boolean value").arg(value));
        p->Set(target, KsValue(b));
        break;
    }
    case KsPropKind::Enumeration:
        p->Set(target, KsValue::FromInt(enumerationValue(p, value)));
        break;
    case KsPropKind::Float:
        p->Set(target, KsValue(lyrStrToFloat(value)));
        break;
    case KsPropKind::String:
        p->Set(target, KsValue(value));
        break;
    case KsPropKind::Class:
        if (value.compare(QLatin1String("nil"), Qt::CaseInsensitive) == 0 || value.isEmpty())
            p->Set(target, KsValue::Null());
        else
            AddFixup(target, p, value);
        break;
    case KsPropKind::Method:
        break;
    default:
        p->Set(target, KsValue(value));
        break;
    }
}

void TlyrXMLSerializer::XMLToObj(QByteArrayView text, QObject *obj)
{
    auto *comp = qobject_cast<TlyrComponent *>(obj);
    auto apply = [&](const TlyrAttributeScanner &at) {
        guarded(Errors, obj, at.Name(), {}, [&] {
            // "x" is 8-bit text in the system code page, not UTF-8.
            if (comp && at.Name() == QByteArrayView("x"))
                comp->SetComponentText(lyrAnsiToWide(lyrXMLToBytes(at.RawValue())));
            else
                applyValue(obj, at.Name(), at.Value(), true);
        });
    };
    // A report's ancestor goes first: loading it starts the report afresh,
    // which would undo the attributes written before ParentReport.
    const bool report = qobject_cast<TlyrReport *>(obj) != nullptr;
    auto isParentReport = [](QByteArrayView name) {
        return QLatin1StringView(name).compare(QLatin1String("ParentReport"), Qt::CaseInsensitive) == 0;
    };
    if (report) {
        TlyrAttributeScanner first(text);
        while (first.Next())
            if (isParentReport(first.Name())) {
                apply(first);
                break;
            }
    }
    TlyrAttributeScanner scanner(text);
    while (scanner.Next())
        if (!report || !isParentReport(scanner.Name())) apply(scanner);
}

void TlyrXMLSerializer::readChildren(TlyrComponent *parent, TlyrXMLItem *item)
{
    for (int i = 0; i < item->Count(); ++i) {
        TlyrXMLItem *c = item->Items(i);
        const QString name = c->Prop("Name");
        // A second object of a name (in any letter case) is not merged into
        // the first.
        const QString key = name.toUpper();
        if (!name.isEmpty() && seen_.contains(key)) {
            Errors << QStringLiteral("模板中的对象名 %1 重复，后一个对象未载入").arg(name);
            continue;
        }
        TlyrComponent *child = nullptr;
        const TlyrKeptObject *kept = nullptr;
        if (c->Name.compare(QLatin1String("inherited"), Qt::CaseInsensitive) == 0) {
            child = name.isEmpty() ? nullptr : findOwned(name);
            if (!child) {
                Errors << lyrResources().Get(QStringLiteral("xrCantFindClass")) + QLatin1Char(' ') + c->Name +
                                  QLatin1Char(' ') + name;
                continue;
            }
        } else {
            const KsClassInfo *cls = ksFindClassInfo(c->Name);
            const bool usable =
                    cls && cls->Meta && cls->Factory && cls->Meta->inherits(&TlyrComponent::staticMetaObject);
            TlyrComponent *existing = name.isEmpty() ? nullptr : findOwned(name);
            if (!usable) {
                Errors << lyrResources().Get(QStringLiteral("xrCantFindClass")) + QLatin1Char(' ') + c->Name;
                // Without an object of that name the element is left out with
                // what it holds; the elements after it still load.
                if (!existing) continue;
                child = existing;
            } else if (existing && ksObjectIsA(existing, cls)) {
                child = existing;
            } else if ((kept = findKept(name, cls))) {
                child = kept->Object;
            } else {
                child = qobject_cast<TlyrComponent *>(cls->Create(parent));
                if (!child) continue;
            }
        }
        if (!name.isEmpty()) seen_.insert(key);
        child->SetLoading(true);
        recorded_.append(child);
        if (kept) {
            // Back in its place with all its attributes of before.
            child->SetParent(parent);
            XMLToObj(kept->Attributes, child);
            Kept->remove(key);
        }
        XMLToObj(c->Text, child);
        if (ownedIndex_ && !child->objectName().isEmpty() && !ownedIndex_->contains(child->objectName().toUpper()))
            ownedIndex_->insert(child->objectName().toUpper(), child);
        readChildren(child, c);
    }
}

void TlyrXMLSerializer::copyValues(QObject *source, QObject *obj, QObject *top, const QByteArray &prefix,
                                   TlyrComponent *sourceOwner)
{
    const KsClassInfo *cls = ksClassInfoOf(source);
    if (!cls) return;
    // What source writes is written as from its own owner, every value.
    struct AsWriter {
        TlyrXMLSerializer *s;
        TlyrComponent *owner;
        bool all;
        AsWriter(TlyrXMLSerializer *ser, TlyrComponent *sourceOwner)
            : s(ser), owner(std::exchange(ser->Owner, sourceOwner)), all(std::exchange(ser->SerializeAll, true))
        {}
        ~AsWriter()
        {
            s->Owner = owner;
            s->SerializeAll = all;
        }
    };
    auto throughText = [&] {
        QByteArray text;
        {
            const AsWriter writer(this, sourceOwner);
            text = ObjToXML(source, prefix);
        }
        TlyrAttributeScanner at(text);
        while (at.Next()) guarded(Errors, top, at.Name(), {}, [&] { applyValue(top, at.Name(), at.Value(), true); });
    };
    // Objects of other classes match by name, and some names are read in
    // their own way: those go through the text itself.
    if (cls != ksClassInfoOf(obj) || hasSpecialNames(cls)) {
        throughText();
        return;
    }
    auto *comp = qobject_cast<TlyrComponent *>(source);
    for (const KsPropInfo *p : lyrClassProperties(cls)) {
        if (!p->Stored || !p->Get || p->Kind == KsPropKind::Method) continue;
        if (comp && p->Name == QLatin1String("Name")) continue;
        if (comp && !comp->IsPropertyStored(p->Name)) continue;
        if (p->Kind == KsPropKind::Class) {
            QObject *value = objectProp(source, p);
            if (!value) continue;
            if (qobject_cast<TlyrComponent *>(value)) {
                if (p->IsReadOnly()) continue;
                QString target = lyrGetFullName(sourceOwner, value);
                if (target.isEmpty()) target = value->objectName();
                target = xmlRoundTrip(target);
                guarded(Errors, top, prefix, p->Name, [&] {
                    if (target.compare(QLatin1String("nil"), Qt::CaseInsensitive) == 0 || target.isEmpty())
                        p->Set(obj, KsValue::Null());
                    else
                        AddFixup(obj, p, target);
                });
                continue;
            }
            QObject *sub = objectProp(obj, p);
            if (sub && !qobject_cast<TlyrComponent *>(sub)) copyValues(value, sub, top, prefix + p->Name.toLatin1() + '.', sourceOwner);
            continue;
        }
        if (p->IsReadOnly()) continue;
        const KsValue v = p->Get(source);
        if (lyrIsStringListProperty(source, p)) {
            const QString text =
                    xmlRoundTrip(stringListText(source->property(p->Name.toLatin1().constData()).toStringList()));
            guarded(Errors, top, prefix, QString(p->Name + QLatin1String(".Text")),
                    [&] { obj->setProperty(p->Name.toLatin1().constData(), textToLines(text)); });
            continue;
        }
        guarded(Errors, top, prefix, p->Name, [&] {
            switch (p->Kind) {
            case KsPropKind::Integer:
            case KsPropKind::Set:
                p->Set(obj, KsValue::FromInt(v.ToInt64()));
                break;
            case KsPropKind::Char: {
                const QString t = v.ToText();
                p->Set(obj, KsValue(QString(QChar(t.isEmpty() ? char16_t(0) : t.at(0).unicode()))));
                break;
            }
            case KsPropKind::Boolean:
                p->Set(obj, KsValue(v.ToBool()));
                break;
            case KsPropKind::Enumeration: {
                const qint64 n = v.ToInt64();
                const QString name = p->ValueName(n);
                p->Set(obj, KsValue::FromInt(enumerationValue(p, name.isEmpty() ? QString::number(n) : name)));
                break;
            }
            case KsPropKind::Float: {
                const double d = v.ToDouble();
                // Whole numbers come back as they are (minus zero as zero);
                // others as rounded by their text.
                const bool whole = std::isfinite(d) && std::floor(d) == d && std::fabs(d) < 1e15;
                p->Set(obj, KsValue(whole ? (d == 0 ? 0.0 : d) : lyrStrToFloat(lyrFloatToXML(d))));
                break;
            }
            case KsPropKind::String:
                p->Set(obj, KsValue(xmlRoundTrip(v.ToText())));
                break;
            default:  // Variant
                p->Set(obj, KsValue(xmlRoundTrip(v.IsNull() || v.IsEmpty() ? QString() : v.ToText())));
                break;
            }
        });
    }
    auto *objComp = qobject_cast<TlyrComponent *>(obj);
    if (comp && comp->IsTextObject()) {
        const QString text = xmlRoundTrip(dropFinalLineEnd(comp->ComponentText()));
        guarded(Errors, top, prefix, u"Text", [&] {
            if (objComp && objComp->IsTextObject())
                objComp->SetComponentText(text);
            else
                applyValue(top, prefix + "Text", text, true);
        });
    }
    QByteArray data;
    {
        const AsWriter writer(this, sourceOwner);
        data = propData(source);
    }
    if (!data.isEmpty())
        guarded(Errors, top, prefix, u"PropData", [&] {
            if (objComp)
                readPropData(obj, lyrBytesToHex(data));
            else
                applyValue(top, prefix + "PropData", QString::fromLatin1(lyrBytesToHex(data)), true);
        });
}

void TlyrXMLSerializer::ReadRootComponent(TlyrComponent *obj, TlyrXMLItem *item)
{
    readRoot(obj, item, nullptr, nullptr);
}

void TlyrXMLSerializer::CopyRootComponent(TlyrComponent *obj, const TlyrComponent *source, TlyrComponent *sourceOwner)
{
    readRoot(obj, nullptr, source, sourceOwner);
}

void TlyrXMLSerializer::readRoot(TlyrComponent *obj, TlyrXMLItem *item, const TlyrComponent *source,
                                 TlyrComponent *sourceOwner)
{
    std::unique_ptr<TlyrXMLDocument> doc;
    if (!item && !source) {
        doc = std::make_unique<TlyrXMLDocument>();
        doc->LoadFromStream(*Stream);
        item = doc->Root();
    }
    if (!Owner) Owner = obj;
    // One name index for the whole load (nested ancestor loads share it).
    auto *report = qobject_cast<TlyrReport *>(Owner);
    std::unique_ptr<QHash<QString, QPointer<TlyrComponent>>> index;
    if (report && !report->NameIndex) {
        index = std::make_unique<QHash<QString, QPointer<TlyrComponent>>>(report->IndexByName());
        report->NameIndex = index.get();
    }
    struct DropIndex {
        TlyrReport *r;
        bool own;
        ~DropIndex()
        {
            if (own) r->NameIndex = nullptr;
        }
    } dropIndex{report, index != nullptr};
    if (!report) ownedIndex_ = std::make_unique<QHash<QString, QPointer<TlyrComponent>>>(Owner->IndexByName());
    struct DropOwnedIndex {
        std::unique_ptr<QHash<QString, QPointer<TlyrComponent>>> &index;
        ~DropOwnedIndex() { index.reset(); }
    } dropOwnedIndex{ownedIndex_};
    recorded_.clear();
    seen_.clear();
    obj->SetLoading(true);
    recorded_.append(obj);
    struct Finish {
        TlyrXMLSerializer *s;
        ~Finish()
        {
            for (const auto &c : s->recorded_)
                if (c) c->SetLoading(false);
        }
    } finish{this};
    if (source) {
        copyValues(const_cast<TlyrComponent *>(source), obj, obj, QByteArray(), sourceOwner);
    } else {
        XMLToObj(item->Text, obj);
        readChildren(obj, item);
    }
    FixupReferences();
    for (const auto &c : recorded_) {
        if (!c) continue;
        c->SetLoading(false);
        if (!qobject_cast<TlyrReport *>(c.data())) c->Loaded();
    }
}

TlyrComponent *TlyrXMLSerializer::createNamed(QObject *owner, QByteArrayView classNameText)
{
    const QString className = QString::fromLatin1(classNameText);
    const KsClassInfo *cls = ksFindClassInfo(className);
    if (!cls || !cls->Factory || !cls->Meta || !cls->Meta->inherits(&TlyrComponent::staticMetaObject)) {
        Errors << lyrResources().Get(QStringLiteral("xrCantFindClass")) + QLatin1Char(' ') + className;
        return nullptr;
    }
    return qobject_cast<TlyrComponent *>(cls->Create(owner));
}

TlyrComponent *TlyrXMLSerializer::ReadComponentStr(QObject *owner, QByteArrayView text, bool dontFixup)
{
    if (text.trimmed().isEmpty()) return nullptr;
    const qsizetype blank = text.indexOf(' ');
    auto *obj = createNamed(owner, blank < 0 ? text : text.first(blank));
    if (!obj) return nullptr;
    if (blank >= 0) XMLToObj(text.sliced(blank + 1), obj);
    if (dontFixup)
        ClearFixups();
    else
        FixupReferences();
    return obj;
}

// One attribute of a shared text: the property it sets, found and its value
// converted once. One that the general way treats apart (the text, nested
// lists, references, damaged values ...) has no Prop and is read as text.
struct TlyrXMLSerializer::PlannedValue {
    QByteArray Name;
    QByteArray Pair;  // name="value" as written
    char Geometry = 0;  // 'l', 't', 'w' or 'h' of the object itself
    double Number = 0;
    // The nested objects on the way: each holder's class and property index.
    std::vector<std::pair<const QMetaObject *, int>> Path;
    const QMetaObject *TargetMeta = nullptr;
    const KsPropInfo *Prop = nullptr;
    KsValue Value;
};

struct TlyrXMLSerializer::AttributePlan {
    const QMetaObject *Meta = nullptr;
    std::vector<PlannedValue> Values;
};

// Follows applyValue; false where it would not simply set one property.
bool TlyrXMLSerializer::planValue(QObject *obj, QByteArrayView rawName, const QString &value, PlannedValue &v)
{
    try {
        if (rawName.size() == 1) {
            const char c = rawName.at(0);
            if (c != 'l' && c != 't' && c != 'w' && c != 'h') return false;
            v.Geometry = c;
            v.Number = lyrStrToFloat(value);
            return true;
        }
        QString last;
        const QStringList parts = nestedNames(rawName, last);
        QObject *target = obj;
        for (int i = 0; i < parts.size(); ++i) {
            const KsClassInfo *cls = ksClassInfoOf(target);
            const KsPropInfo *p = cls ? cls->FindProperty(parts[i]) : nullptr;
            if (!p || p->Kind != KsPropKind::Class) return false;
            const QMetaObject *meta = target->metaObject();
            const int index = declaredIndex(meta, p->Name);
            if (index < 0) return false;
            QObject *sub = objectProp(target, p);
            if (!sub || qobject_cast<TlyrComponent *>(sub)) return false;
            v.Path.emplace_back(meta, index);
            target = sub;
        }
        if (isName(last, QLatin1StringView("PropData")) || isName(last, QLatin1StringView("Text")) ||
            isName(last, QLatin1StringView("Name")))
            return false;
        const KsClassInfo *cls = ksClassInfoOf(target);
        const KsPropInfo *p = cls ? cls->FindProperty(last) : nullptr;
        if (!p || p->IsReadOnly() || lyrIsStringListProperty(target, p)) return false;
        switch (p->Kind) {
        case KsPropKind::Integer:
        case KsPropKind::Set:
            v.Value = KsValue::FromInt(toInteger(value));
            break;
        case KsPropKind::Boolean: {
            bool b = false;
            if (!isBooleanText(value, b)) return false;
            v.Value = KsValue(b);
            break;
        }
        case KsPropKind::Enumeration:
            v.Value = KsValue::FromInt(enumerationValue(p, value));
            break;
        case KsPropKind::Float:
            v.Value = KsValue(lyrStrToFloat(value));
            break;
        case KsPropKind::String:
            v.Value = KsValue(value);
            break;
        default:
            return false;
        }
        v.TargetMeta = target->metaObject();
        v.Prop = p;
        return true;
    } catch (...) {
        // The general way gives the error line.
        return false;
    }
}

void TlyrXMLSerializer::applyPlan(const AttributePlan &plan, TlyrComponent *obj)
{
    for (const PlannedValue &v : plan.Values) {
        if (v.Geometry) {
            guarded(Errors, obj, v.Name, {}, [&] {
                switch (v.Geometry) {
                case 'l':
                    obj->SetLeft(v.Number);
                    break;
                case 't':
                    obj->SetTop(v.Number);
                    break;
                case 'w':
                    obj->SetWidth(v.Number);
                    break;
                default:
                    obj->SetHeight(v.Number);
                    break;
                }
            });
            continue;
        }
        if (!v.Prop) {
            XMLToObj(v.Pair, obj);
            continue;
        }
        QObject *target = obj;
        for (const auto &[meta, index] : v.Path) {
            if (target->metaObject() != meta) {
                target = nullptr;
                break;
            }
            QObject *sub = meta->property(index).read(target).value<QObject *>();
            if (!sub || qobject_cast<TlyrComponent *>(sub)) {
                target = nullptr;
                break;
            }
            target = sub;
        }
        if (target && target->metaObject() == v.TargetMeta)
            guarded(Errors, obj, v.Name, {}, [&] { v.Prop->Set(target, v.Value); });
        else
            XMLToObj(v.Pair, obj);
    }
}

TlyrComponent *TlyrXMLSerializer::ReadComponentParts(QObject *owner, const QByteArray &shared, QByteArrayView own)
{
    const qsizetype blank = shared.indexOf(' ');
    auto *obj = createNamed(owner, blank < 0 ? QByteArrayView(shared) : QByteArrayView(shared).first(blank));
    if (!obj) return nullptr;
    if (blank >= 0) {
        std::shared_ptr<AttributePlan> &plan = plans_[shared];
        const QByteArrayView attrs = QByteArrayView(shared).sliced(blank + 1);
        if (!plan) {
            plan = std::make_shared<AttributePlan>();
            plan->Meta = obj->metaObject();
            TlyrAttributeScanner scanner(attrs);
            while (scanner.Next()) {
                PlannedValue v;
                v.Name = scanner.Name().toByteArray();
                const qsizetype from = scanner.Name().data() - attrs.data();
                v.Pair = attrs.sliced(from, scanner.ValueEnd() - from).toByteArray();
                if (scanner.Quoted()) v.Pair += '"';
                planValue(obj, scanner.Name(), scanner.Value(), v);
                plan->Values.push_back(std::move(v));
            }
        }
        if (plan->Meta == obj->metaObject())
            applyPlan(*plan, obj);
        else
            XMLToObj(attrs, obj);
    }
    if (!own.isEmpty()) XMLToObj(own, obj);
    ClearFixups();
    return obj;
}

// ---------------------------------------------------------------- references

void TlyrXMLSerializer::AddFixup(QObject *obj, const KsPropInfo *prop, const QString &name)
{
    Fixup f;
    f.Obj = obj;
    f.Prop = prop;
    f.Name = name;
    fixups_.push_back(std::move(f));
}

void TlyrXMLSerializer::AddFixup(std::function<void()> resolve)
{
    Fixup f;
    f.Resolve = std::move(resolve);
    fixups_.push_back(std::move(f));
}

const TlyrKeptObject *TlyrXMLSerializer::findKept(const QString &name, const KsClassInfo *cls) const
{
    if (!Kept || name.isEmpty()) return nullptr;
    auto it = Kept->constFind(name.toUpper());
    if (it == Kept->constEnd() || !it->Object || !ksObjectIsA(it->Object, cls)) return nullptr;
    return &*it;
}

TlyrComponent *TlyrXMLSerializer::findOwned(const QString &name) const
{
    if (auto *report = qobject_cast<TlyrReport *>(Owner)) {
        TlyrComponent *c = report->FindByName(name);
        return c == report ? nullptr : c;
    }
    if (ownedIndex_) return ownedIndex_->value(name.toUpper());
    return Owner ? Owner->FindObject(name) : nullptr;
}

TlyrComponent *TlyrXMLSerializer::FindReference(const QString &name) const
{
    if (name.isEmpty()) return nullptr;
    if (Owner) {
        if (Owner->objectName().compare(name, Qt::CaseInsensitive) == 0) return Owner;
        if (TlyrComponent *c = findOwned(name)) return c;
    }
    if (TlyrComponent *ds = lyrFindDataSetByComponentName(name, qobject_cast<TlyrReport *>(Owner))) return ds;
    // Components outside the report ("form.component").
    return qobject_cast<TlyrComponent *>(lyrFindComponent(Owner, name));
}

void TlyrXMLSerializer::FixupReferences()
{
    std::vector<Fixup> list;
    list.swap(fixups_);
    for (const Fixup &f : list) {
        try {
            if (f.Resolve) {
                f.Resolve();
                continue;
            }
            if (!f.Obj || !f.Prop) continue;
            if (TlyrComponent *target = FindReference(f.Name)) {
                const QMetaObject *meta = f.Obj->metaObject();
                const int index = meta->indexOfProperty(f.Prop->Name.toLatin1().constData());
                // Only a target of the property's class is stored.
                if (index >= 0) {
                    const QMetaObject *want = meta->property(index).metaType().metaObject();
                    if (want && !target->metaObject()->inherits(want)) continue;
                }
                f.Prop->Set(f.Obj, KsValue::FromObject(target));
            }
        } catch (const ElyrError &e) {
            Errors << e.Message();
        } catch (const KsError &e) {
            Errors << e.Message;
        }
    }
}

void TlyrXMLSerializer::ClearFixups()
{
    fixups_.clear();
}
