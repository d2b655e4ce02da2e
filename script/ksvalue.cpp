#include "script/ksvalue.h"

#include "script/ks_budget.h"
#include "script/ks_iconst.h"
#include "script/ks_limits.h"
#include "script/ks_props.h"
#include "script/ksrtl.h"

#include <QHash>
#include <QObject>
#include <QPointer>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

class KsArrayData {
public:
    int Ref = 1;
    int ElemType = ksVarVariant;
    std::vector<KsBounds> Dims;
    std::vector<KsValue> Items;
    KsArrayData *NextFree = nullptr;  // the arrays still to free, while freeing
    // Frees `d` and every array only it held, one after the other: arrays
    // nested a million deep must not take a million stack frames.
    static void Free(KsArrayData *d) noexcept
    {
        d->NextFree = nullptr;
        while (d) {
            KsArrayData *next = d->NextFree;
            for (KsValue &e : d->Items) {
                if (e.FKind != KsKind::Array) continue;
                KsArrayData *inner = e.FU.a;
                e.FKind = KsKind::Empty;
                if (--inner->Ref == 0) {
                    inner->NextFree = next;
                    next = inner;
                }
            }
            delete d;
            d = next;
        }
    }

    static bool SameShape(const KsValue &a, const KsValue &b)
    {
        return a.IsArray() && b.IsArray() && a.FU.a->Dims.size() == b.FU.a->Dims.size() &&
               std::equal(a.FU.a->Dims.begin(), a.FU.a->Dims.end(), b.FU.a->Dims.begin(),
                          [](const KsBounds &x, const KsBounds &y) { return x.Low == y.Low && x.Count == y.Count; });
    }

    // Two arrays of the same shape, element by element, with the arrays
    // inside arrays on a list of their own rather than on the stack. Levels
    // held by several elements are compared once, so arrays that hold the
    // same level twice at every level take as long as their levels.
    static bool Equal(const KsValue &a, const KsValue &b)
    {
        struct Pair {
            const KsArrayData *A, *B;
            size_t Next;
        };
        std::vector<Pair> open;
        std::set<std::pair<const KsArrayData *, const KsArrayData *>> equal;  // shared ones found equal
        auto enter = [&](const KsArrayData *p, const KsArrayData *q) {
            if (p != q && !(p->Ref > 1 && q->Ref > 1 && equal.count({p, q}))) open.push_back({p, q, 0});
        };
        enter(a.FU.a, b.FU.a);
        while (!open.empty()) {
            Pair &at = open.back();
            if (at.Next == at.A->Items.size()) {
                if (at.A->Ref > 1 && at.B->Ref > 1) equal.insert({at.A, at.B});
                open.pop_back();
                continue;
            }
            const KsValue &x = at.A->Items[at.Next], &y = at.B->Items[at.Next];
            ++at.Next;
            if (x.IsArray() || y.IsArray()) {
                if (!SameShape(x, y)) return false;
                enter(x.FU.a, y.FU.a);
            } else if (!ksEquals(x, y)) {
                return false;
            }
        }
        return true;
    }
};

namespace {

KsError CastError(const KsValue &v, const char *target)
{
    return KsError(QStringLiteral("EVariantTypeCastError"),
                   QStringLiteral("Could not convert variant of type (%1) into type (%2)")
                           .arg(v.KindName(), QLatin1String(target)));
}

KsError InvalidOp()
{
    return KsError(QStringLiteral("EVariantInvalidOpError"), QStringLiteral("Invalid variant operation"));
}

// ---- object handle table ------------------------------------------------
struct ObjSlot {
    QPointer<QObject> Obj;
    QObject *Key = nullptr;  // the address the slot is indexed under
    std::uint32_t Gen = 1;
};

struct ObjTable {
    std::vector<ObjSlot> Slots;  // slot 0 unused: a handle is never 0
    QHash<QObject *, std::uint32_t> Index;
    std::vector<std::uint32_t> Free;
    size_t NextSweep = 1024;
    ObjTable() { Slots.resize(1); }

    // Slots of freed objects are reused with a new generation, so handles of
    // the freed object stay invalid.
    void Sweep()
    {
        for (std::uint32_t i = 1; i < Slots.size(); ++i) {
            ObjSlot &s = Slots[i];
            if (s.Key && s.Obj.isNull()) {
                auto it = Index.find(s.Key);
                if (it != Index.end() && it.value() == i) Index.erase(it);
                s.Key = nullptr;
                ++s.Gen;
                Free.push_back(i);
            }
        }
        NextSweep = std::max<size_t>(1024, 2 * (Slots.size() - Free.size()));
    }

    std::uint32_t Allocate(QObject *obj)
    {
        if (Free.empty() && Slots.size() >= NextSweep) Sweep();
        std::uint32_t slot;
        if (!Free.empty()) {
            slot = Free.back();
            Free.pop_back();
        } else {
            slot = std::uint32_t(Slots.size());
            Slots.emplace_back();
        }
        Slots[slot].Obj = obj;
        Slots[slot].Key = obj;
        Index.insert(obj, slot);
        return slot;
    }
};

ObjTable &Objects()
{
    static ObjTable t;
    return t;
}

QObject *Lookup(KsObjectHandle h)
{
    ObjTable &t = Objects();
    if (h.Slot == 0 || h.Slot >= t.Slots.size()) return nullptr;
    const ObjSlot &s = t.Slots[h.Slot];
    if (s.Gen != h.Gen) return nullptr;
    return s.Obj.data();
}

KsValue ToNumber(const KsValue &v)
{
    switch (v.Kind()) {
    case KsKind::Empty:
        return KsValue(0);
    case KsKind::Boolean:
        return KsValue(v.RawBool() ? -1 : 0);
    case KsKind::Integer:
    case KsKind::Int64:
    case KsKind::Double:
        return v;
    case KsKind::Date:
        return KsValue(v.RawDouble());
    case KsKind::String: {
        KsValue n;
        if (!ksTextToNumber(v.RawString(), n)) throw CastError(v, "Double");
        return n;
    }
    default:
        throw CastError(v, "Double");
    }
}

// A value met by a Date: a text may be a number or a date-time text.
double DateNumber(const KsValue &v)
{
    if (v.IsString()) {
        KsValue n;
        if (ksTextToNumber(v.RawString(), n, true)) return n.ToDouble();
        double d;
        if (ksTryStrToDateTime(v.RawString(), d)) return d;
        throw CastError(v, "Date");
    }
    return v.ToDouble();
}

bool BoolLike(const KsValue &v)
{
    return v.Kind() == KsKind::Boolean || v.Kind() == KsKind::Empty;
}

KsValue IntResult(KsOp op, qint64 a, qint64 b, bool wide)
{
    qint64 r = 0;
    bool over = false;
    switch (op) {
    case KsOp::Add:
        over = __builtin_add_overflow(a, b, &r);
        break;
    case KsOp::Sub:
        over = __builtin_sub_overflow(a, b, &r);
        break;
    case KsOp::Mul:
        over = __builtin_mul_overflow(a, b, &r);
        break;
    default:
        break;
    }
    if (over) {
        double da = double(a), db = double(b);
        return KsValue(op == KsOp::Add ? da + db : op == KsOp::Sub ? da - db : da * db);
    }
    return wide ? KsValue(r) : KsValue::FromInt(r);
}

}  // namespace

// ---- construction -----------------------------------------------------------

void KsValue::CopySlow(const KsValue &o)
{
    if (FKind == KsKind::String)
        new (FU.s) QString(o.RawString());
    else {
        FU.a = o.FU.a;
        ++FU.a->Ref;
    }
}

void KsValue::DestroySlow() noexcept
{
    if (FKind == KsKind::String)
        RawString().~QString();
    else if (--FU.a->Ref == 0)
        KsArrayData::Free(FU.a);
    FKind = KsKind::Empty;
}

namespace {
// Variant type codes of the typed array elements.
enum : int {
    kVarSmallint = 2,
    kVarInteger = 3,
    kVarSingle = 4,
    kVarDouble = 5,
    kVarCurrency = 6,
    kVarDate = 7,
    kVarOleStr = 8,
    kVarDispatch = 9,
    kVarBoolean = 11,
    kVarUnknown = 13,
    kVarShortInt = 16,
    kVarByte = 17,
    kVarWord = 18,
    kVarLongWord = 19,
    kVarInt64 = 20,
    kVarString = 256
};

// Range of the integer element types.
bool IntegerRange(int type, qint64 &low, qint64 &high)
{
    switch (type) {
    case kVarSmallint:
        low = INT16_MIN, high = INT16_MAX;
        return true;
    case kVarInteger:
        low = INT32_MIN, high = INT32_MAX;
        return true;
    case kVarShortInt:
        low = INT8_MIN, high = INT8_MAX;
        return true;
    case kVarByte:
        low = 0, high = UINT8_MAX;
        return true;
    case kVarWord:
        low = 0, high = UINT16_MAX;
        return true;
    case kVarLongWord:
        low = 0, high = UINT32_MAX;
        return true;
    default:
        return false;
    }
}

// The value an element of the type starts with.
KsValue ElementZero(int type)
{
    qint64 low, high;
    if (IntegerRange(type, low, high)) return KsValue(0);
    switch (type) {
    case kVarInt64:
        return KsValue(qint64(0));
    case kVarSingle:
    case kVarDouble:
    case kVarCurrency:
        return KsValue(0.0);
    case kVarDate:
        return KsValue::FromDate(0);
    case kVarOleStr:
    case kVarString:
        return KsValue(QString());
    case kVarBoolean:
        return KsValue(false);
    default:
        return KsValue();
    }
}

// A value converted to the element type; raises as the conversion does.
KsValue ElementValue(int type, const KsValue &v)
{
    qint64 low, high;
    if (IntegerRange(type, low, high)) {
        const qint64 l = v.ToInt64();
        if (l < low || l > high) throw KsError(QStringLiteral("EVariantOverflowError"), QStringLiteral("Variant overflow"));
        return KsValue::FromInt(l);
    }
    switch (type) {
    case kVarInt64:
        return KsValue(v.ToInt64());
    case kVarSingle:
        return KsValue(double(float(v.ToDouble())));
    case kVarDouble:
        return KsValue(v.ToDouble());
    case kVarCurrency:
        // currency keeps four decimals
        return KsValue(std::nearbyint(v.ToDouble() * 10000.0) / 10000.0);
    case kVarDate:
        return KsValue::FromDate(v.ToDouble());
    case kVarOleStr:
    case kVarString:
        return KsValue(v.ToString());
    case kVarBoolean:
        return KsValue(v.ToBool());
    default:
        return v;
    }
}
}  // namespace

bool KsValue::IsArrayElementType(int elemType)
{
    qint64 low, high;
    if (IntegerRange(elemType, low, high)) return true;
    switch (elemType) {
    case kVarInt64:
    case kVarSingle:
    case kVarDouble:
    case kVarCurrency:
    case kVarDate:
    case kVarOleStr:
    case kVarString:
    case kVarBoolean:
    case kVarDispatch:
    case kVarUnknown:
    case ksVarVariant:
        return true;
    default:
        return false;
    }
}

KsValue KsValue::MakeArray(const std::vector<KsBounds> &dims, int elemType)
{
    if (!IsArrayElementType(elemType))
        throw KsError(QStringLiteral("EVariantBadVarTypeError"), QStringLiteral("Invalid variant type"));
    KsValue v;
    auto *d = new KsArrayData;
    d->ElemType = elemType;
    d->Dims = dims;
    qint64 n = dims.empty() ? 0 : 1;
    for (const KsBounds &b : dims) {
        if (b.Count < 0) {
            delete d;
            throw KsError(QStringLiteral("EVariantError"), QStringLiteral("Invalid array bounds"));
        }
        n = b.Count > 0 && n > ksMaxArrayElements / b.Count ? ksMaxArrayElements + 1 : n * b.Count;
    }
    try {
        ksCheckArrayElements(n);
    } catch (...) {
        delete d;
        throw;
    }
    d->Items.resize(size_t(n), ElementZero(elemType));
    v.FKind = KsKind::Array;
    v.FU.a = d;
    return v;
}

KsValue KsValue::MakeList(std::vector<KsValue> items)
{
    KsValue v = MakeArray({KsBounds{0, qint64(items.size())}});
    v.FU.a->Items = std::move(items);
    return v;
}

KsValue KsValue::FromObject(QObject *obj)
{
    if (!obj) return Null();
    ObjTable &t = Objects();
    std::uint32_t slot = t.Index.value(obj, 0);
    if (slot != 0 && t.Slots[slot].Obj.data() != obj) {
        // The address was reused by a new object: the old handles stay invalid.
        ++t.Slots[slot].Gen;
        t.Slots[slot].Obj = obj;
    } else if (slot == 0) {
        slot = t.Allocate(obj);
    }
    KsValue v;
    v.FKind = KsKind::Object;
    v.FU.h = KsObjectHandle{slot, t.Slots[slot].Gen};
    return v;
}

KsArrayData *KsValue::ArrayData() const
{
    if (FKind != KsKind::Array)
        throw KsError(QStringLiteral("EVariantError"), QStringLiteral("Variant is not an array"));
    return FU.a;
}

void KsValue::Detach()
{
    KsArrayData *d = ArrayData();
    if (d->Ref > 1) {
        // a copy the script's change makes: its run's memory
        ksChargeRun(qint64(d->Items.size()) * qint64(sizeof(KsValue)));
        auto *c = new KsArrayData;
        c->ElemType = d->ElemType;
        c->Dims = d->Dims;
        c->Items = d->Items;
        --d->Ref;
        FU.a = c;
    }
}

// ---- conversions ---------------------------------------------------------------

bool KsValue::ToBoolSlow() const
{
    switch (FKind) {
    case KsKind::Empty:
        return false;
    case KsKind::Boolean:
        return FU.b;
    case KsKind::Integer:
        return FU.i != 0;
    case KsKind::Int64:
        return FU.l != 0;
    case KsKind::Double:
    case KsKind::Date:
        return FU.d != 0;
    case KsKind::String: {
        QString t = RawString().trimmed();
        if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
        if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return false;
        KsValue n;
        if (ksTextToNumber(t, n)) return n.ToDouble() != 0;
        throw CastError(*this, "Boolean");
    }
    default:
        throw CastError(*this, "Boolean");
    }
}

qint64 KsValue::ToInt64() const
{
    switch (FKind) {
    case KsKind::Integer:
        return FU.i;
    case KsKind::Int64:
        return FU.l;
    case KsKind::Double:
    case KsKind::Date: {
        double r = std::nearbyint(FU.d);
        if (!(r >= -9.2233720368547758e18 && r < 9.2233720368547758e18)) throw CastError(*this, "Int64");
        return qint64(r);
    }
    default: {
        KsValue n = ToNumber(*this);
        return n.ToInt64();
    }
    }
}

int KsValue::ToInt() const
{
    if (FKind == KsKind::Integer) return FU.i;
    qint64 l = ToInt64();
    if (l < INT32_MIN || l > INT32_MAX)
        throw KsError(
                QStringLiteral("EVariantOverflowError"),
                QStringLiteral("Overflow while converting variant of type (%1) into type (Integer)").arg(KindName()));
    return int(l);
}

double KsValue::ToDouble() const
{
    switch (FKind) {
    case KsKind::Integer:
        return FU.i;
    case KsKind::Int64:
        return double(FU.l);
    case KsKind::Double:
    case KsKind::Date:
        return FU.d;
    case KsKind::String: {
        KsValue n;
        if (!ksTextToNumber(RawString(), n, true)) throw CastError(*this, "Double");
        return n.ToDouble();
    }
    default:
        return ToNumber(*this).ToDouble();
    }
}

QString KsValue::ToString() const
{
    switch (FKind) {
    case KsKind::Empty:
        return QString();
    case KsKind::Boolean:
        return FU.b ? QStringLiteral("True") : QStringLiteral("False");
    case KsKind::Integer:
        return QString::number(FU.i);
    case KsKind::Int64:
        return QString::number(FU.l);
    case KsKind::Double:
        return ksFloatToText(FU.d);
    case KsKind::Date:
        return ksDateValueToStr(FU.d);
    case KsKind::String:
        return RawString();
    default:
        throw CastError(*this, "String");
    }
}

QString KsValue::ToText() const
{
    if (FKind == KsKind::Null) return QString();
    return ToString();
}

QObject *KsValue::ToObject(const KsClassInfo *expected) const
{
    switch (FKind) {
    case KsKind::Null:
    case KsKind::Empty:
        return nullptr;
    case KsKind::Integer:
    case KsKind::Int64:
        if (ToInt64() == 0) return nullptr;
        break;
    case KsKind::Object: {
        QObject *o = Lookup(FU.h);
        if (!o) throw KsError(QStringLiteral("EInvalidObject"), QStringLiteral("Object was freed or is invalid"));
        if (expected && !ksObjectIsA(o, expected))
            throw KsError(QStringLiteral("EInvalidCast"),
                          QStringLiteral("Object of class %1 is not a %2").arg(ksClassNameOf(o), expected->ClassName));
        return o;
    }
    default:
        break;
    }
    throw KsError(QStringLiteral("EInvalidCast"), QStringLiteral("Value of type %1 is not an object").arg(KindName()));
}

QString KsValue::KindName() const
{
    static const char *const names[] = {"Empty",  "Null", "Boolean", "Integer", "Int64",
                                        "Double", "Date", "Object",  "String",  "Array Variant"};
    return QLatin1String(names[int(FKind)]);
}

int KsValue::VarType() const
{
    static const int codes[] = {0, 1, 11, 3, 20, 5, 7, 9, 256};
    if (FKind == KsKind::Array) return 8192 | FU.a->ElemType;
    return codes[int(FKind)];
}

// ---- arrays ----------------------------------------------------------------------

int KsValue::DimCount() const
{
    return FKind == KsKind::Array ? int(FU.a->Dims.size()) : 0;
}

KsBounds KsValue::Bounds(int dim) const
{
    KsArrayData *d = ArrayData();
    if (dim < 0 || dim >= int(d->Dims.size()))
        throw KsError(QStringLiteral("EVariantError"), QStringLiteral("Invalid array dimension"));
    return d->Dims[size_t(dim)];
}

qint64 KsValue::ElementCount() const
{
    return qint64(ArrayData()->Items.size());
}

namespace {
[[gnu::always_inline]] inline qint64 FlatIndex(const KsArrayData *d, const qint64 *idx, int n)
{
    if (n != int(d->Dims.size()))
        throw KsError(QStringLiteral("EVariantError"), QStringLiteral("Wrong number of array indexes"));
    qint64 flat = 0;
    for (int i = 0; i < n; ++i) {
        const KsBounds &b = d->Dims[size_t(i)];
        qint64 k = idx[i] - b.Low;
        if (k < 0 || k >= b.Count)
            throw KsError(QStringLiteral("ERangeError"), QStringLiteral("Array index out of bounds"));
        flat = flat * b.Count + k;
    }
    return flat;
}
}  // namespace

const KsValue &KsValue::At(const qint64 *indexes, int n) const
{
    const KsArrayData *d = ArrayData();
    return d->Items[size_t(FlatIndex(d, indexes, n))];
}

const KsValue *KsValue::Find(const qint64 *indexes, int n) const noexcept
{
    if (FKind != KsKind::Array) return nullptr;
    const KsArrayData *d = FU.a;
    if (n != int(d->Dims.size())) return nullptr;
    qint64 flat = 0;
    for (int i = 0; i < n; ++i) {
        const KsBounds &b = d->Dims[size_t(i)];
        const qint64 k = indexes[i] - b.Low;
        if (k < 0 || k >= b.Count) return nullptr;
        flat = flat * b.Count + k;
    }
    return &d->Items[size_t(flat)];
}

KsValue &KsValue::AtMut(const qint64 *indexes, int n)
{
    Detach();
    return FU.a->Items[size_t(FlatIndex(FU.a, indexes, n))];
}

void KsValue::SetAt(const qint64 *indexes, int n, const KsValue &v)
{
    KsArrayData *d = ArrayData();
    if (d->Ref == 1 && d->ElemType == ksVarVariant) {  // nothing to copy or convert
        d->Items[size_t(FlatIndex(d, indexes, n))] = v;
        return;
    }
    const int type = d->ElemType;
    if (type == ksVarVariant) {
        AtMut(indexes, n) = v;
        return;
    }
    KsValue converted = ElementValue(type, v);
    AtMut(indexes, n) = std::move(converted);
}

const KsValue &KsValue::Element(qint64 flat) const
{
    const KsArrayData *d = ArrayData();
    if (flat < 0 || flat >= qint64(d->Items.size()))
        throw KsError(QStringLiteral("ERangeError"), QStringLiteral("Array index out of bounds"));
    return d->Items[size_t(flat)];
}

KsValue &KsValue::ElementMut(qint64 flat)
{
    Detach();
    if (flat < 0 || flat >= qint64(FU.a->Items.size()))
        throw KsError(QStringLiteral("ERangeError"), QStringLiteral("Array index out of bounds"));
    return FU.a->Items[size_t(flat)];
}

void KsValue::Redim(qint64 newHigh)
{
    Detach();
    KsArrayData *d = FU.a;
    if (d->Dims.size() != 1)
        throw KsError(QStringLiteral("EVariantError"), QStringLiteral("Only one-dimensional arrays can be resized"));
    qint64 count = std::max<qint64>(0, newHigh - d->Dims[0].Low + 1);
    if (count > d->Dims[0].Count) ksCheckArrayElements(count, d->Dims[0].Count);
    d->Dims[0].Count = count;
    d->Items.resize(size_t(count), ElementZero(d->ElemType));
}

// ---- numbers and text --------------------------------------------------------------

bool ksTextToNumber(const QString &text, KsValue &out, bool real)
{
    QString t = text.trimmed();
    if (t.isEmpty()) return false;
    bool ok = false;
    int sign = 1;
    QStringView body(t);
    if (body.startsWith(QLatin1Char('-')) || body.startsWith(QLatin1Char('+'))) {
        if (body.front() == QLatin1Char('-')) sign = -1;
        body = body.mid(1);
    }
    if (body.startsWith(QLatin1Char('$'))) {
        if (real) return false;
        quint64 u = body.mid(1).toULongLong(&ok, 16);
        if (!ok) return false;
        out = KsValue::FromInt(qint64(u) * sign);
        return true;
    }
    for (QChar c : body)
        if (!(c.isDigit() && c.unicode() < 128) && c != QLatin1Char('.') && c != QLatin1Char('e') &&
            c != QLatin1Char('E') && c != QLatin1Char('+') && c != QLatin1Char('-'))
            return false;
    qint64 l = t.toLongLong(&ok, 10);
    if (ok) {
        out = KsValue::FromInt(l);
        return true;
    }
    double d = t.toDouble(&ok);
    if (!ok || !std::isfinite(d)) return false;
    out = KsValue(d);
    return true;
}

QString ksFloatToText(double d)
{
    if (std::isnan(d)) return QStringLiteral("NAN");
    if (std::isinf(d)) return d > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    QString s = QString::number(d, 'g', 15);
    int e = s.indexOf(QLatin1Char('e'));
    if (e < 0) return s;
    QString mant = s.left(e);
    int exp = s.mid(e + 1).toInt();
    return mant + QLatin1Char('E') + QString::number(exp);
}

// ---- limits --------------------------------------------------------------------------

// Each check also charges the run's budget (ks_budget.h): a string its
// characters, a list step its allowance, an array its new elements.
void ksCheckStringLength(qint64 length)
{
    if (length > ksMaxStringLength)
        throw KsError(QStringLiteral("EOutOfMemory"), SStringTooLong.arg(ksMaxStringLength));
    ksChargeRun(length * 2);
}

void ksCheckListBytes(qint64 bytes)
{
    if (bytes > ksMaxListBytes) throw KsError(QStringLiteral("EOutOfMemory"), SListTooLarge.arg(ksMaxListBytes >> 20));
    ksChargeRun(ksListItemBytes);
}

void ksCheckArrayElements(qint64 count, qint64 had)
{
    if (count > ksMaxArrayElements)
        throw KsError(QStringLiteral("EOutOfMemory"), SArrayTooLarge.arg(ksMaxArrayElements));
    ksChargeRun((count - had) * qint64(sizeof(KsValue)));
}

void ksCheckListSize(qint64 items, qint64 chars)
{
    if (items > ksMaxListBytes / ksListItemBytes || chars > ksMaxListBytes / 2) ksCheckListBytes(ksMaxListBytes + 1);
    ksCheckListBytes(items * ksListItemBytes + chars * 2);
}

QString ksJoinText(const QString &a, const QString &b)
{
    ksCheckStringLength(qint64(a.size()) + b.size());
    return a + b;
}

// ---- operators -------------------------------------------------------------------------

// Out of line so the inline fast path stays small.
void ksBinaryInPlaceSlow(KsOp op, KsValue &a, const KsValue &b)
{
    // Two texts join in place: s := s + x grows s instead of copying it.
    if ((op == KsOp::Add || op == KsOp::StrCat) && a.IsString() && b.IsString() && &a != &b) {
        ksCheckStringLength(qint64(a.RawString().size()) + b.RawString().size());
        a.RawString().append(b.RawString());
        return;
    }
    a = ksBinary(op, a, b);
}

KsValue ksBinarySlow(KsOp op, const KsValue &a, const KsValue &b)
{
    if (op == KsOp::StrCat) return KsValue(ksJoinText(a.ToText(), b.ToText()));
    if (a.IsNull() || b.IsNull()) return KsValue::Null();
    if (a.IsArray() || b.IsArray() || a.IsObject() || b.IsObject()) throw InvalidOp();

    switch (op) {
    case KsOp::Add:
    case KsOp::Sub:
    case KsOp::Mul:
    case KsOp::DivFloat: {
        if (op == KsOp::Add && (a.IsString() || b.IsString()) && (a.IsString() || a.IsEmpty()) &&
            (b.IsString() || b.IsEmpty()))
            return KsValue(ksJoinText(a.ToText(), b.ToText()));
        bool da = a.Kind() == KsKind::Date, db = b.Kind() == KsKind::Date;
        if ((da || db) && (op == KsOp::Add || op == KsOp::Sub)) {
            const double x = DateNumber(a), y = DateNumber(b);
            double r = op == KsOp::Add ? x + y : x - y;
            if (op == KsOp::Sub && da && db) return KsValue(r);
            return KsValue::FromDate(r);
        }
        KsValue x = ToNumber(a), y = ToNumber(b);
        if (op == KsOp::DivFloat) {
            double dy = y.ToDouble();
            if (dy == 0)
                throw KsError(QStringLiteral("EZeroDivide"), QStringLiteral("Floating point division by zero"));
            return KsValue(x.ToDouble() / dy);
        }
        if (x.IsIntegral() && y.IsIntegral())
            return IntResult(op, x.ToInt64(), y.ToInt64(), x.Kind() == KsKind::Int64 || y.Kind() == KsKind::Int64);
        double p = x.ToDouble(), q = y.ToDouble();
        return KsValue(op == KsOp::Add ? p + q : op == KsOp::Sub ? p - q : p * q);
    }
    case KsOp::DivInt:
    case KsOp::Mod: {
        KsValue x = ToNumber(a), y = ToNumber(b);
        qint64 p = x.ToInt64(), q = y.ToInt64();
        if (q == 0) throw KsError(QStringLiteral("EDivByZero"), QStringLiteral("Division by zero"));
        if (q == -1) return op == KsOp::Mod ? KsValue(0) : IntResult(KsOp::Sub, 0, p, x.Kind() == KsKind::Int64);
        qint64 r = op == KsOp::DivInt ? p / q : p % q;
        return (x.Kind() == KsKind::Int64 || y.Kind() == KsKind::Int64) ? KsValue(r) : KsValue::FromInt(r);
    }
    case KsOp::And:
    case KsOp::Or:
    case KsOp::Xor: {
        if ((a.Kind() == KsKind::Boolean || b.Kind() == KsKind::Boolean) && (BoolLike(a) || a.IsString()) &&
            (BoolLike(b) || b.IsString())) {
            bool p = a.ToBool(), q = b.ToBool();
            return KsValue(op == KsOp::And ? (p && q) : op == KsOp::Or ? (p || q) : (p != q));
        }
        KsValue x = ToNumber(a), y = ToNumber(b);
        qint64 p = x.ToInt64(), q = y.ToInt64();
        qint64 r = op == KsOp::And ? (p & q) : op == KsOp::Or ? (p | q) : (p ^ q);
        return (x.Kind() == KsKind::Int64 || y.Kind() == KsKind::Int64) ? KsValue(r) : KsValue::FromInt(r);
    }
    case KsOp::Shl:
    case KsOp::Shr: {
        KsValue x = ToNumber(a);
        qint64 n = ToNumber(b).ToInt64();
        if (x.Kind() == KsKind::Int64) {
            quint64 u = quint64(x.ToInt64());
            n &= 63;
            return KsValue(qint64(op == KsOp::Shl ? u << n : u >> n));
        }
        quint32 u = quint32(x.ToInt());
        n &= 31;
        return KsValue(int(op == KsOp::Shl ? u << n : u >> n));
    }
    default:
        break;
    }
    throw InvalidOp();
}

KsValue ksNegate(const KsValue &a)
{
    switch (a.Kind()) {
    case KsKind::Null:
        return a;
    case KsKind::Integer:
        if (a.RawInt() == INT32_MIN) return KsValue(-qint64(a.RawInt()));
        return KsValue(-a.RawInt());
    case KsKind::Int64:
        if (a.RawInt64() == std::numeric_limits<qint64>::min()) return KsValue(-double(a.RawInt64()));
        return KsValue(-a.RawInt64());
    case KsKind::Double:
        return KsValue(-a.RawDouble());
    case KsKind::Date:
        return KsValue(-a.RawDouble());
    case KsKind::Array:
    case KsKind::Object:
        throw InvalidOp();
    default:
        return ksNegate(ToNumber(a));
    }
}

KsValue ksNot(const KsValue &a)
{
    switch (a.Kind()) {
    case KsKind::Null:
        return a;
    case KsKind::Empty:
        return KsValue(true);
    case KsKind::Boolean:
        return KsValue(!a.RawBool());
    case KsKind::Integer:
        return KsValue(~a.RawInt());
    case KsKind::Int64:
        return KsValue(~a.RawInt64());
    case KsKind::String: {
        QString t = a.RawString().trimmed();
        if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return KsValue(false);
        if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return KsValue(true);
        return ksNot(KsValue::FromInt(ToNumber(a).ToInt64()));
    }
    case KsKind::Double:
    case KsKind::Date:
        return KsValue::FromInt(~a.ToInt64());
    default:
        throw InvalidOp();
    }
}

int ksCompareSlow(const KsValue &a, const KsValue &b)
{
    if (a.IsString() && b.IsString()) {  // read where they stand
        const int c = QString::compare(a.RawString(), b.RawString(), Qt::CaseSensitive);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (a.IsNull() || b.IsNull()) return a.IsNull() ? (b.IsNull() ? 0 : -1) : 1;
    if (a.IsArray() || b.IsArray()) throw InvalidOp();
    if (a.IsObject() || b.IsObject()) {
        if (a.IsObject() && b.IsObject()) {
            KsObjectHandle x = a.RawHandle(), y = b.RawHandle();
            if (x.Slot != y.Slot) return x.Slot < y.Slot ? -1 : 1;
            return x.Gen == y.Gen ? 0 : (x.Gen < y.Gen ? -1 : 1);
        }
        return a.IsObject() ? 1 : -1;  // an object is never nil, 0 or Empty
    }
    if (a.IsEmpty() && b.IsEmpty()) return 0;
    if ((a.IsString() || a.IsEmpty()) && (b.IsString() || b.IsEmpty())) {
        int c = QString::compare(a.ToText(), b.ToText(), Qt::CaseSensitive);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (a.Kind() == KsKind::Boolean && b.Kind() == KsKind::Boolean)
        return a.RawBool() == b.RawBool() ? 0 : (a.RawBool() ? 1 : -1);
    if (a.Kind() == KsKind::Date || b.Kind() == KsKind::Date) {
        const double p = DateNumber(a), q = DateNumber(b);
        return p < q ? -1 : (p > q ? 1 : 0);
    }
    KsValue x = ToNumber(a), y = ToNumber(b);
    if (x.IsIntegral() && y.IsIntegral()) {
        qint64 p = x.ToInt64(), q = y.ToInt64();
        return p < q ? -1 : (p > q ? 1 : 0);
    }
    double p = x.ToDouble(), q = y.ToDouble();
    return p < q ? -1 : (p > q ? 1 : 0);
}

bool ksEqualsSlow(const KsValue &a, const KsValue &b)
{
    if (a.IsString() && b.IsString()) return a.RawString() == b.RawString();
    if (a.IsNull() || b.IsNull()) return a.IsNull() && b.IsNull();
    if (a.IsArray() || b.IsArray()) return KsArrayData::SameShape(a, b) && KsArrayData::Equal(a, b);
    try {
        return ksCompareSlow(a, b) == 0;
    } catch (const KsError &) {
        return false;  // a text that is no number differs from every number
    }
}

namespace KsObjects {
void Free(const KsValue &v)
{
    QObject *o = v.ToObject();
    delete o;
}
int LiveCount()
{
    int n = 0;
    for (const ObjSlot &s : Objects().Slots)
        if (!s.Obj.isNull()) ++n;
    return n;
}
int SlotCount()
{
    return int(Objects().Slots.size()) - 1 - int(Objects().Free.size());
}
}  // namespace KsObjects
