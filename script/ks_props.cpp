#include "script/ks_props.h"

#include "script/ksrtl.h"

#include <QDateTime>
#include <QMetaClassInfo>
#include <QMetaEnum>
#include <QMetaObject>
#include <QMetaProperty>
#include <QObject>
#include <QVariant>

#include <mutex>

namespace {

struct Registry {
    std::vector<std::unique_ptr<KsClassInfo>> Classes;
};

Registry &Reg()
{
    static Registry r;
    return r;
}

const char *const kPlainClassProperty = "_ksclass";

// Lookups by name and by meta-object run for every property of every object
// a template loads or copies; their answers are kept until a class changes.
std::mutex &cacheLock()
{
    static std::mutex m;
    return m;
}

// Starts at 1 so that a fresh description's index (generation 0) is stale.
unsigned &generation()
{
    static unsigned g = 1;
    return g;
}

QHash<const QMetaObject *, const KsClassInfo *> &classByMeta()
{
    static QHash<const QMetaObject *, const KsClassInfo *> h;
    return h;
}

void classesChanged()
{
    std::lock_guard lock(cacheLock());
    ++generation();
    classByMeta().clear();
}

struct ChangedOnExit {
    ~ChangedOnExit() { classesChanged(); }
};

// A property read or written by the declaring class's own dispatcher (the
// object is of that class or a descendant).
struct DirectProperty {
    void (*Call)(QObject *, QMetaObject::Call, int, void **);
    int Index;  // within the declaring class
};

template <class T>
T ReadDirect(QObject *o, DirectProperty p)
{
    T value{};
    void *argv[] = {&value, nullptr};
    p.Call(o, QMetaObject::ReadProperty, p.Index, argv);
    return value;
}

template <class T>
void WriteDirect(QObject *o, DirectProperty p, T value)
{
    int status = -1, flags = 0;
    void *argv[] = {&value, nullptr, &status, &flags};
    p.Call(o, QMetaObject::WriteProperty, p.Index, argv);
}

KsPropInfo FromMetaProperty(const QMetaProperty &mp)
{
    KsPropInfo p;
    p.Name = QString::fromLatin1(mp.name());
    p.Stored = mp.isStored();
    const int type = mp.metaType().id();
    if (mp.isEnumType()) {
        QMetaEnum e = mp.enumerator();
        p.Kind = e.isFlag() ? KsPropKind::Set : KsPropKind::Enumeration;
        p.TypeName = QString::fromLatin1(e.enumName());
        for (int i = 0; i < e.keyCount(); ++i) {
            p.EnumNames << QString::fromLatin1(e.key(i));
            p.EnumValues << e.value(i);
        }
    } else {
        switch (type) {
        case QMetaType::Bool:
            p.Kind = KsPropKind::Boolean;
            p.TypeName = QStringLiteral("Boolean");
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            p.Kind = KsPropKind::Integer;
            p.TypeName = QStringLiteral("Integer");
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            p.Kind = KsPropKind::Float;
            p.TypeName = QStringLiteral("Extended");
            break;
        case QMetaType::QString:
            p.Kind = KsPropKind::String;
            p.TypeName = QStringLiteral("String");
            break;
        case QMetaType::QChar:
            p.Kind = KsPropKind::Char;
            p.TypeName = QStringLiteral("Char");
            break;
        default:
            if (mp.metaType().flags() & QMetaType::PointerToQObject) {
                p.Kind = KsPropKind::Class;
                QString t = QString::fromLatin1(mp.typeName());
                t.remove(QLatin1Char('*'));
                p.TypeName = t.trimmed();
            } else {
                p.Kind = KsPropKind::Variant;
                p.TypeName = QStringLiteral("Variant");
            }
        }
    }
    // The meta-objects are static: the property handle stays valid and is
    // not looked up again at every read and write.
    p.Get = [mp](QObject *o) { return ksFromQVariant(mp.read(o)); };
    if (mp.isWritable())
        p.Set = [mp, type = mp.metaType().id()](QObject *o, const KsValue &v) { mp.write(o, ksToQVariant(v, type)); };
    // The plainest kinds are read and written by the class's own accessor,
    // without a QVariant between (converted as above).
    const DirectProperty index{mp.enclosingMetaObject()->d.static_metacall, mp.relativePropertyIndex()};
    switch (index.Call ? mp.metaType().id() : QMetaType::UnknownType) {
    case QMetaType::Int:
        p.Get = [index](QObject *o) { return KsValue(ReadDirect<int>(o, index)); };
        if (mp.isWritable()) p.Set = [index](QObject *o, const KsValue &v) { WriteDirect(o, index, v.ToInt()); };
        break;
    case QMetaType::Bool:
        p.Get = [index](QObject *o) { return KsValue(ReadDirect<bool>(o, index)); };
        if (mp.isWritable()) p.Set = [index](QObject *o, const KsValue &v) { WriteDirect(o, index, v.ToBool()); };
        break;
    case QMetaType::Double:
        p.Get = [index](QObject *o) { return KsValue(ReadDirect<double>(o, index)); };
        if (mp.isWritable()) p.Set = [index](QObject *o, const KsValue &v) { WriteDirect(o, index, v.ToDouble()); };
        break;
    case QMetaType::QString:
        p.Get = [index](QObject *o) { return KsValue(ReadDirect<QString>(o, index)); };
        if (mp.isWritable()) p.Set = [index](QObject *o, const KsValue &v) { WriteDirect(o, index, v.ToText()); };
        break;
    default:
        break;
    }
    return p;
}

KsValue DefaultFromText(const KsPropInfo &p, const QString &text)
{
    switch (p.Kind) {
    case KsPropKind::Boolean:
        return KsValue(text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || text == QLatin1String("1"));
    case KsPropKind::Integer:
        return KsValue::FromInt(text.toLongLong());
    case KsPropKind::Float:
        return KsValue(text.toDouble());
    case KsPropKind::Enumeration:
    case KsPropKind::Set: {
        qint64 v = 0;
        if (!p.ValueOf(text, v)) v = text.toLongLong();
        return KsValue::FromInt(v);
    }
    default:
        return KsValue(text);
    }
}

}  // namespace

QString KsPropInfo::ValueName(qint64 value) const
{
    if (Kind == KsPropKind::Set) {
        QStringList parts;
        for (int i = 0; i < EnumNames.size(); ++i)
            if (EnumValues[i] != 0 && (value & EnumValues[i]) == EnumValues[i]) parts << EnumNames[i];
        return parts.join(QLatin1Char(','));
    }
    for (int i = 0; i < EnumNames.size(); ++i)
        if (EnumValues[i] == value) return EnumNames[i];
    return QString();
}

bool KsPropInfo::ValueOf(const QString &name, qint64 &value) const
{
    if (Kind == KsPropKind::Set) {
        value = 0;
        const QStringList parts = name.split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (const QString &part : parts) {
            int i = EnumNames.indexOf(part.trimmed());
            if (i < 0) return false;
            value |= EnumValues[i];
        }
        return true;
    }
    for (int i = 0; i < EnumNames.size(); ++i)
        if (EnumNames[i].compare(name.trimmed(), Qt::CaseInsensitive) == 0) {
            value = EnumValues[i];
            return true;
        }
    return false;
}

QList<const KsPropInfo *> KsClassInfo::Properties() const
{
    QList<const KsPropInfo *> out = Ancestor ? Ancestor->Properties() : QList<const KsPropInfo *>();
    for (const KsPropInfo &p : FOwn) {
        bool replaced = false;
        for (const KsPropInfo *&q : out)
            if (q->Name.compare(p.Name, Qt::CaseInsensitive) == 0) {
                q = &p;
                replaced = true;
                break;
            }
        if (!replaced) out << &p;
    }
    return out;
}

const KsPropInfo *KsClassInfo::FindProperty(const QString &name) const
{
    std::lock_guard lock(cacheLock());
    if (FByNameGeneration != generation()) {
        FByName.clear();
        FByExactName.clear();
        // The first of a name wins: own properties before the ancestors'.
        // The name as declared is a key too, so that the usual exact
        // spelling needs no folding; only for the property that wins.
        for (const KsClassInfo *c = this; c; c = c->Ancestor)
            for (const KsPropInfo &p : c->FOwn) {
                const QString key = p.Name.toCaseFolded();
                if (FByName.contains(key)) continue;
                FByName.insert(key, &p);
                FByExactName.insert(p.Name, &p);
            }
        FByNameGeneration = generation();
    }
    if (const KsPropInfo *p = FByExactName.value(name)) return p;
    return FByName.value(name.toCaseFolded());
}

KsPropInfo &KsClassInfo::AddProperty(const KsPropInfo &p)
{
    const ChangedOnExit changed;
    for (KsPropInfo &q : FOwn)
        if (q.Name.compare(p.Name, Qt::CaseInsensitive) == 0) {
            q = p;
            return q;
        }
    FOwn.push_back(p);
    return FOwn.back();
}

void KsClassInfo::SetDefault(const QString &name, const KsValue &v)
{
    const ChangedOnExit changed;
    for (KsPropInfo &q : FOwn)
        if (q.Name.compare(name, Qt::CaseInsensitive) == 0) {
            q.Default = v;
            q.HasDefault = true;
            return;
        }
    if (const KsPropInfo *inherited = FindProperty(name)) {
        KsPropInfo copy = *inherited;
        copy.Default = v;
        copy.HasDefault = true;
        FOwn.push_back(copy);
    }
}

bool KsClassInfo::InheritsFrom(const KsClassInfo *other) const
{
    for (const KsClassInfo *c = this; c; c = c->Ancestor)
        if (c == other) return true;
    return false;
}

QObject *KsClassInfo::Create(QObject *owner) const
{
    if (!Factory)
        throw KsError(QStringLiteral("EAbstractError"),
                      QStringLiteral("Cannot create an instance of %1").arg(ClassName));
    QObject *o = Factory(owner);
    if (o && !Meta) o->setProperty(kPlainClassProperty, ClassName);
    return o;
}

KsClassInfo *ksRegisterClass(const QMetaObject *meta, std::function<QObject *(QObject *)> factory)
{
    Registry &r = Reg();
    for (auto &c : r.Classes)
        if (c->Meta == meta) {
            if (factory && !c->Factory) c->Factory = std::move(factory);
            return c.get();
        }
    auto info = std::make_unique<KsClassInfo>();
    info->ClassName = QString::fromLatin1(meta->className());
    info->Meta = meta;
    info->Factory = std::move(factory);
    for (const QMetaObject *s = meta->superClass(); s && !info->Ancestor; s = s->superClass())
        for (auto &c : r.Classes)
            if (c->Meta == s) {
                info->Ancestor = c.get();
                break;
            }
    // Properties of Qt superclasses that are not registered themselves belong
    // to this class.
    const int first = info->Ancestor ? info->Ancestor->Meta->propertyCount() : 0;
    for (int i = first; i < meta->propertyCount(); ++i) {
        QMetaProperty mp = meta->property(i);
        if (qstrcmp(mp.name(), "objectName") == 0) continue;
        info->AddProperty(FromMetaProperty(mp));
    }
    for (int i = meta->classInfoOffset(); i < meta->classInfoCount(); ++i) {
        QString key = QString::fromLatin1(meta->classInfo(i).name());
        if (!key.startsWith(QLatin1String("Default:"))) continue;
        QString prop = key.mid(8);
        if (const KsPropInfo *p = info->FindProperty(prop))
            info->SetDefault(prop, DefaultFromText(*p, QString::fromUtf8(meta->classInfo(i).value())));
    }
    r.Classes.push_back(std::move(info));
    classesChanged();
    return r.Classes.back().get();
}

KsClassInfo *ksRegisterPlainClass(const QString &name, const KsClassInfo *ancestor,
                                  std::function<QObject *(QObject *)> factory)
{
    Registry &r = Reg();
    for (auto &c : r.Classes)
        if (c->ClassName.compare(name, Qt::CaseInsensitive) == 0) return c.get();
    auto info = std::make_unique<KsClassInfo>();
    info->ClassName = name;
    info->Ancestor = ancestor;
    info->Factory = std::move(factory);
    r.Classes.push_back(std::move(info));
    classesChanged();
    return r.Classes.back().get();
}

void ksUnregisterClass(const QString &name)
{
    Registry &r = Reg();
    for (auto it = r.Classes.begin(); it != r.Classes.end(); ++it)
        if ((*it)->ClassName.compare(name, Qt::CaseInsensitive) == 0) {
            for (auto &c : r.Classes)
                if (c->Ancestor == it->get()) c->Ancestor = (*it)->Ancestor;
            r.Classes.erase(it);
            classesChanged();
            return;
        }
}

const KsClassInfo *ksFindClassInfo(const QString &name)
{
    // Every object a template or a prepared page reads is looked up by its
    // class name: found classes are kept by the name as asked until the
    // classes change.  A kept one is checked against its name, which a
    // registration may rename afterwards; names not found are not kept, and
    // spellings past a bound start the keeping afresh.
    static QHash<QString, const KsClassInfo *> found;
    static unsigned foundGeneration = 0;
    {
        std::lock_guard lock(cacheLock());
        if (foundGeneration != generation()) {
            found.clear();
            foundGeneration = generation();
        }
        // Nearly always asked as registered: the exact comparison is the cheap one.
        if (const KsClassInfo *c = found.value(name);
            c && (c->ClassName == name || c->ClassName.compare(name, Qt::CaseInsensitive) == 0))
            return c;
    }
    for (auto &c : Reg().Classes)
        if (c->ClassName.compare(name, Qt::CaseInsensitive) == 0) {
            std::lock_guard lock(cacheLock());
            if (foundGeneration == generation()) {
                if (found.size() >= 4096) found.clear();
                found.insert(name, c.get());
            }
            return c.get();
        }
    return nullptr;
}

QList<const KsClassInfo *> ksRegisteredClasses()
{
    QList<const KsClassInfo *> out;
    for (auto &c : Reg().Classes) out << c.get();
    return out;
}

const KsClassInfo *ksClassInfoOf(const QObject *obj)
{
    if (!obj) return nullptr;
    // The plain-class mark is a dynamic property; asking for it by name would
    // search every declared property first.
    if (obj->dynamicPropertyNames().contains(kPlainClassProperty))
        return ksFindClassInfo(obj->property(kPlainClassProperty).toString());
    const QMetaObject *meta = obj->metaObject();
    std::lock_guard lock(cacheLock());
    auto it = classByMeta().constFind(meta);
    if (it != classByMeta().constEnd()) return *it;
    const KsClassInfo *found = nullptr;
    Registry &r = Reg();
    for (const QMetaObject *m = meta; m && !found; m = m->superClass())
        for (auto &c : r.Classes)
            if (c->Meta == m) {
                found = c.get();
                break;
            }
    classByMeta().insert(meta, found);
    return found;
}

bool ksObjectIsA(const QObject *obj, const KsClassInfo *cls)
{
    if (!obj || !cls) return false;
    if (cls->Meta && obj->metaObject()->inherits(cls->Meta)) return true;
    const KsClassInfo *own = ksClassInfoOf(obj);
    return own && own->InheritsFrom(cls);
}

QString ksClassNameOf(const QObject *obj)
{
    if (const KsClassInfo *c = ksClassInfoOf(obj)) return c->ClassName;
    return obj ? QString::fromLatin1(obj->metaObject()->className()) : QString();
}

KsValue ksFromQVariant(const QVariant &v)
{
    if (!v.isValid()) return KsValue();
    if (v.isNull() && v.metaType().id() != QMetaType::QString) return KsValue::Null();
    switch (v.metaType().id()) {
    case QMetaType::Bool:
        return KsValue(v.toBool());
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::UChar:
        return KsValue(v.toInt());
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return KsValue::FromInt(v.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return KsValue(v.toDouble());
    case QMetaType::QString:
        return KsValue(v.toString());
    case QMetaType::QChar:
        return KsValue(QString(v.toChar()));
    case QMetaType::QByteArray:
        return KsValue(QString::fromUtf8(v.toByteArray()));
    case QMetaType::QDate: {
        const QDate d = v.toDate();
        return d.isValid() ? KsValue::FromDate(ksEncodeDate(d.year(), d.month(), d.day())) : KsValue::Null();
    }
    case QMetaType::QTime: {
        const QTime t = v.toTime();
        return t.isValid() ? KsValue::FromDate(t.msecsSinceStartOfDay() / 86400000.0) : KsValue::Null();
    }
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        if (!dt.isValid()) return KsValue::Null();
        const QDate d = dt.date();
        return KsValue::FromDate(ksEncodeDate(d.year(), d.month(), d.day()) +
                                 dt.time().msecsSinceStartOfDay() / 86400000.0);
    }
    default:
        break;
    }
    if (v.metaType().flags() & QMetaType::PointerToQObject) return KsValue::FromObject(v.value<QObject *>());
    if (v.metaType().flags() & QMetaType::IsEnumeration) return KsValue::FromInt(v.toLongLong());
    if (v.canConvert<qlonglong>() && (v.metaType().flags() & QMetaType::IsEnumeration))
        return KsValue::FromInt(v.toLongLong());
    if (v.metaType().id() == QMetaType::QVariantList) {
        std::vector<KsValue> items;
        for (const QVariant &e : v.toList()) items.push_back(ksFromQVariant(e));
        return KsValue::MakeList(std::move(items));
    }
    if (v.canConvert<QString>()) return KsValue(v.toString());
    return KsValue();
}

QVariant ksToQVariant(const KsValue &v, int metaTypeId)
{
    switch (metaTypeId) {
    case QMetaType::Bool:
        return QVariant(v.ToBool());
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
        return QVariant(v.ToInt());
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return QVariant(qlonglong(v.ToInt64()));
    case QMetaType::Double:
    case QMetaType::Float:
        return QVariant(v.ToDouble());
    case QMetaType::QString:
        return QVariant(v.ToText());
    case QMetaType::QChar: {
        QString s = v.ToText();
        return QVariant(s.isEmpty() ? QChar() : s.at(0));
    }
    case QMetaType::QDate:
    case QMetaType::QTime:
    case QMetaType::QDateTime: {
        if (v.IsNull() || v.IsEmpty()) return QVariant(QMetaType(metaTypeId));
        const double serial = v.IsString() ? ksStrToDateTime(v.RawString()) : v.ToDouble();
        int y, m, d, h, mi, sec, ms;
        ksDecodeDate(serial, y, m, d);
        ksDecodeTime(serial, h, mi, sec, ms);
        if (metaTypeId == QMetaType::QDate) return QVariant(QDate(y, m, d));
        if (metaTypeId == QMetaType::QTime) return QVariant(QTime(h, mi, sec, ms));
        return QVariant(QDateTime(QDate(y, m, d), QTime(h, mi, sec, ms)));
    }
    default:
        break;
    }
    QMetaType mt(metaTypeId);
    if (mt.flags() & QMetaType::PointerToQObject) {
        QObject *o = v.ToObject();
        QVariant r = QVariant::fromValue(o);
        r.convert(mt);
        return r;
    }
    if (mt.flags() & QMetaType::IsEnumeration) return QVariant(int(v.ToInt64()));
    switch (v.Kind()) {
    case KsKind::Boolean:
        return QVariant(v.RawBool());
    case KsKind::Integer:
        return QVariant(v.RawInt());
    case KsKind::Int64:
        return QVariant(qlonglong(v.RawInt64()));
    case KsKind::Double:
    case KsKind::Date:
        return QVariant(v.RawDouble());
    case KsKind::String:
        return QVariant(v.RawString());
    case KsKind::Object:
        return QVariant::fromValue(v.ToObject());
    default:
        return QVariant();
    }
}
