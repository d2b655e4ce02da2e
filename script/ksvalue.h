// The script engine's value (the Variant of scripts and of the report library).
//
// Kinds: Empty (unassigned), Null, Boolean, Integer (32-bit), Int64, Double,
// Date (a double serial: days since 1899-12-30, fraction = time of day),
// String (QString; lengths and indexes count characters), Array (value
// semantics, copy on write, any number of dimensions with bounds per
// dimension) and Object (a checked handle to a QObject).
//
// Conversion and operator rules (all in ksvalue.cpp; tests/script/ks_value_test
// holds the table):
//  - Empty acts as 0, '' or False, whichever the other operand or the target
//    needs. Empty + Empty is Empty's 0 (Integer).
//  - Null propagates through arithmetic and logic (Null + 1 is Null). Null is
//    equal only to Null and orders below every other value. Converting Null to
//    a number, text or Boolean raises, except ToText (which gives '').
//  - Boolean as a number is -1 (True) or 0 (False); a number as a Boolean is
//    "not zero"; the strings "True"/"False" (any case) and number texts
//    convert to Boolean.
//  - String to number where an operator needs a number: the text (blanks
//    trimmed, "." as decimal separator, "$" prefix for hexadecimal) must be a
//    number, otherwise EVariantTypeCastError is raised.
//  - "+" of two strings (or a string and Empty) concatenates; with any number
//    or date on one side the string is converted and the values added.
//  - Integer arithmetic that overflows 32 bits gives Int64; Int64 overflow
//    gives Double. "/" is real division (Double); div and mod are integer
//    operations; division by zero raises (EZeroDivide / EDivByZero).
//  - Date + number, number + Date, Date - number and Date + Date are Dates;
//    Date - Date is a Double (days); other operators treat a Date as its serial.
//    A string met by a Date (arithmetic or comparison) may be a number or a
//    date-time text ("2026-01-05", "2026-01-05 10:30").
//  - Comparisons: numbers (and Dates, Booleans) numerically, strings by
//    character codes, string against number numerically (after conversion),
//    objects by identity; arrays do not compare (raises).
//  - Text of a value: Boolean "True"/"False"; Double with up to 15 significant
//    digits ("1.5", "1E20"); Date as "yyyy-mm-dd", "hh:nn:ss" when the date part
//    is 0, "yyyy-mm-dd hh:nn:ss" when both are set (ksrtl.h settings).
//  - An Object handle checks, on every use, that the object still exists and
//    is of the class asked for; otherwise EInvalidObject is raised.
#pragma once

#include "platform/error.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <exception>
#include <new>
#include <utility>
#include <vector>

class QObject;
class KsClassInfo;

// Run-time error of the engine; a script try-except statement catches it.
// what() and message() are the message, as written when it was raised.
class KsError : public velmora::Error {
public:
    KsError(QString className, QString message)
        : velmora::Error(message), ClassName(std::move(className)), Message(std::move(message))
    {}
    explicit KsError(QString message) : KsError(QStringLiteral("Exception"), std::move(message)) {}
    QString ClassName;
    QString Message;
    // Where a script statement raised it ("line:col" and unit), filled by the
    // innermost statement block the error passes; empty outside scripts.
    QString SourcePos;
    QString UnitName;
};

// Variant type code of an array that holds any kind of element.
constexpr int ksVarVariant = 12;

// Kinds below String hold no resources (copied bitwise).
enum class KsKind : std::uint8_t { Empty, Null, Boolean, Integer, Int64, Double, Date, Object, String, Array };

struct KsObjectHandle {
    std::uint32_t Slot;
    std::uint32_t Gen;
};

class KsArrayData;
class KsValue;

// One dimension of an array: Low..Low+Count-1.
struct KsBounds {
    qint64 Low = 0;
    qint64 Count = 0;
};

class KsValue {
public:
    KsValue() noexcept : FKind(KsKind::Empty) { FU.l = 0; }
    KsValue(bool b) noexcept : FKind(KsKind::Boolean) { FU.l = b ? 1 : 0; }
    KsValue(int i) noexcept : FKind(KsKind::Integer) { FU.l = i; }  // one 8-byte store: copies read 8 bytes
    KsValue(qint64 l) noexcept : FKind(KsKind::Int64) { FU.l = l; }
    KsValue(double d) noexcept : FKind(KsKind::Double) { FU.d = d; }
    KsValue(const QString &s) : FKind(KsKind::String) { new (FU.s) QString(s); }
    KsValue(QString &&s) noexcept : FKind(KsKind::String) { new (FU.s) QString(std::move(s)); }
    // No pointers: a QObject* would silently become a Boolean (use FromObject),
    // a const char* has no encoding (use QStringLiteral).
    template <class T>
    KsValue(T *) = delete;
    KsValue(const KsValue &o) : FKind(o.FKind)
    {
        if (FKind < KsKind::String)
            FU.l = o.FU.l;
        else
            CopySlow(o);
    }
    KsValue(KsValue &&o) noexcept : FKind(o.FKind)
    {
        if (FKind < KsKind::String)
            FU.l = o.FU.l;
        else
            FU = o.FU;
        o.FKind = KsKind::Empty;
    }
    ~KsValue()
    {
        if (FKind >= KsKind::String) DestroySlow();
    }
    KsValue &operator=(const KsValue &o)
    {
        if (this != &o) {
            if (FKind < KsKind::String && o.FKind < KsKind::String) {
                FKind = o.FKind;
                FU.l = o.FU.l;
            } else {
                KsValue t(o);
                Swap(t);
            }
        }
        return *this;
    }
    KsValue &operator=(KsValue &&o) noexcept
    {
        if (this != &o) {
            if (FKind >= KsKind::String) DestroySlow();
            FKind = o.FKind;
            if (FKind < KsKind::String)
                FU.l = o.FU.l;
            else
                FU = o.FU;
            o.FKind = KsKind::Empty;
        }
        return *this;
    }
    // Makes the value Unassigned in place.
    void Clear() noexcept
    {
        if (FKind >= KsKind::String) DestroySlow();
        FKind = KsKind::Empty;
        FU.l = 0;
    }
    // Stores an integer in place (Integer when it fits in 32 bits).
    void SetInt(qint64 l) noexcept
    {
        if (FKind >= KsKind::String) DestroySlow();
        FKind = (l >= INT32_MIN && l <= INT32_MAX) ? KsKind::Integer : KsKind::Int64;
        FU.l = FKind == KsKind::Integer ? qint64(int(l)) : l;
    }
    // Stores a 64-bit integer in place (Int64 whatever its size).
    void SetInt64(qint64 l) noexcept
    {
        if (FKind >= KsKind::String) DestroySlow();
        FKind = KsKind::Int64;
        FU.l = l;
    }
    // Stores a Double in place.
    void SetDouble(double d) noexcept
    {
        if (FKind >= KsKind::String) DestroySlow();
        FKind = KsKind::Double;
        FU.d = d;
    }
    void Swap(KsValue &o) noexcept
    {
        std::swap(FKind, o.FKind);
        std::swap(FU, o.FU);
    }

    static KsValue Null()
    {
        KsValue v;
        v.FKind = KsKind::Null;
        return v;
    }
    static KsValue FromDate(double serial)
    {
        KsValue v(serial);
        v.FKind = KsKind::Date;
        return v;
    }
    // An integer as Integer when it fits in 32 bits, else Int64.
    static KsValue FromInt(qint64 l) { return (l >= INT32_MIN && l <= INT32_MAX) ? KsValue(int(l)) : KsValue(l); }
    // A (possibly multi-dimensional) array whose elements have the variant
    // type `elemType` (varVariant: Empty elements of any kind; a number
    // type: elements start at 0 and stored values are converted to it).
    static KsValue MakeArray(const std::vector<KsBounds> &dims, int elemType = ksVarVariant);
    // True for the element types an array can be made of.
    static bool IsArrayElementType(int elemType);
    // A one-dimensional array 0..n-1 of the given values.
    static KsValue MakeList(std::vector<KsValue> items);
    // A handle to the object (Null for nullptr).
    static KsValue FromObject(QObject *obj);

    KsKind Kind() const noexcept { return FKind; }
    bool IsEmpty() const noexcept { return FKind == KsKind::Empty; }
    bool IsNull() const noexcept { return FKind == KsKind::Null; }
    bool IsString() const noexcept { return FKind == KsKind::String; }
    bool IsArray() const noexcept { return FKind == KsKind::Array; }
    bool IsObject() const noexcept { return FKind == KsKind::Object; }
    bool IsNumeric() const noexcept
    {
        return FKind == KsKind::Integer || FKind == KsKind::Int64 || FKind == KsKind::Double;
    }
    bool IsIntegral() const noexcept { return FKind == KsKind::Integer || FKind == KsKind::Int64; }

    // Raw access, only valid for the matching kind.
    bool RawBool() const noexcept { return FU.b; }
    int RawInt() const noexcept { return FU.i; }
    qint64 RawInt64() const noexcept { return FU.l; }
    double RawDouble() const noexcept { return FU.d; }
    const QString &RawString() const noexcept { return *reinterpret_cast<const QString *>(FU.s); }
    QString &RawString() noexcept { return *reinterpret_cast<QString *>(FU.s); }
    KsObjectHandle RawHandle() const noexcept { return FU.h; }

    // Conversions; they raise KsError when the value does not convert.
    bool ToBool() const { return FKind == KsKind::Boolean ? FU.b : ToBoolSlow(); }
    int ToInt() const;       // rounds a fraction half to even; range checked
    qint64 ToInt64() const;  // rounds a fraction half to even
    double ToDouble() const;
    QString ToString() const;
    // Text for display and concatenation: Null and Empty give '', never raises
    // for scalar kinds (arrays and objects still raise).
    QString ToText() const;
    // The object behind a handle, checked: raises when the object was freed or
    // is not of class `expected` (or a descendant). Null, Empty and 0 give
    // nullptr.
    QObject *ToObject(const KsClassInfo *expected = nullptr) const;
    // Name of the kind for messages ("Integer", "String", "Null" ...).
    QString KindName() const;
    // Variant type code as scripts see it (varInteger 3, varString 256 ...).
    int VarType() const;

    // Arrays.
    int DimCount() const;
    KsBounds Bounds(int dim) const;                         // raises when not an array or bad dim
    qint64 ElementCount() const;                            // all elements
    const KsValue &At(const qint64 *indexes, int n) const;  // checked
    KsValue &AtMut(const qint64 *indexes, int n);           // checked, detaches
    // The element in place, or nullptr (never raises) when this is no array
    // of n dimensions or an index is out of its bounds.
    const KsValue *Find(const qint64 *indexes, int n) const noexcept;
    // Stores `v` converted to the array's element type (checked, detaches).
    void SetAt(const qint64 *indexes, int n, const KsValue &v);
    const KsValue &Element(qint64 flat) const;              // 0..ElementCount-1
    KsValue &ElementMut(qint64 flat);                       // detaches
    // Changes the high bound of the first dimension (one-dimensional arrays).
    void Redim(qint64 newHigh);

private:
    friend class KsArrayData;
    bool ToBoolSlow() const;
    void CopySlow(const KsValue &o);
    void DestroySlow() noexcept;
    KsArrayData *ArrayData() const;
    void Detach();

    KsKind FKind;
    union U {
        bool b;
        int i;
        qint64 l;
        double d;
        KsObjectHandle h;
        KsArrayData *a;
        alignas(QString) unsigned char s[sizeof(QString)];
    } FU;
};

// Operators. The inline fast paths handle two Integers; everything else goes
// through the general rules in ksvalue.cpp.
enum class KsOp : std::uint8_t { Add, Sub, Mul, DivFloat, DivInt, Mod, And, Or, Xor, Shl, Shr, StrCat };
KsValue ksBinarySlow(KsOp op, const KsValue &a, const KsValue &b);
KsValue ksNegate(const KsValue &a);
KsValue ksNot(const KsValue &a);

// Both integral: the 64-bit values; false when either is something else.
inline bool ksBothIntegral(const KsValue &a, const KsValue &b, qint64 &x, qint64 &y)
{
    if (!a.IsIntegral() || !b.IsIntegral()) return false;
    x = a.Kind() == KsKind::Integer ? a.RawInt() : a.RawInt64();
    y = b.Kind() == KsKind::Integer ? b.RawInt() : b.RawInt64();
    return true;
}

// A number as a double; false for a kind that is not one.
inline bool ksRealOf(const KsValue &v, double &x)
{
    switch (v.Kind()) {
    case KsKind::Double: x = v.RawDouble(); return true;
    case KsKind::Integer: x = v.RawInt(); return true;
    case KsKind::Int64: x = double(v.RawInt64()); return true;
    default: return false;
    }
}

// Both numbers, at least one a Double: the two as doubles (what the general
// rules compute + - * / and comparisons on); false for anything else.
inline bool ksRealPair(const KsValue &a, const KsValue &b, double &x, double &y)
{
    if (a.Kind() != KsKind::Double && b.Kind() != KsKind::Double) return false;
    return ksRealOf(a, x) && ksRealOf(b, y);
}

inline KsValue ksAdd(const KsValue &a, const KsValue &b)
{
    if (a.Kind() == KsKind::Integer && b.Kind() == KsKind::Integer) {
        int r;
        if (!__builtin_add_overflow(a.RawInt(), b.RawInt(), &r)) return KsValue(r);
    }
    qint64 x, y, r;
    if (ksBothIntegral(a, b, x, y) && !__builtin_add_overflow(x, y, &r))
        return (a.Kind() == KsKind::Int64 || b.Kind() == KsKind::Int64) ? KsValue(r) : KsValue::FromInt(r);
    double p, q;
    if (ksRealPair(a, b, p, q)) return KsValue(p + q);
    return ksBinarySlow(KsOp::Add, a, b);
}
inline KsValue ksSub(const KsValue &a, const KsValue &b)
{
    if (a.Kind() == KsKind::Integer && b.Kind() == KsKind::Integer) {
        int r;
        if (!__builtin_sub_overflow(a.RawInt(), b.RawInt(), &r)) return KsValue(r);
    }
    qint64 x, y, r;
    if (ksBothIntegral(a, b, x, y) && !__builtin_sub_overflow(x, y, &r))
        return (a.Kind() == KsKind::Int64 || b.Kind() == KsKind::Int64) ? KsValue(r) : KsValue::FromInt(r);
    double p, q;
    if (ksRealPair(a, b, p, q)) return KsValue(p - q);
    return ksBinarySlow(KsOp::Sub, a, b);
}
inline KsValue ksMul(const KsValue &a, const KsValue &b)
{
    if (a.Kind() == KsKind::Integer && b.Kind() == KsKind::Integer) {
        int r;
        if (!__builtin_mul_overflow(a.RawInt(), b.RawInt(), &r)) return KsValue(r);
    }
    double p, q;
    if (ksRealPair(a, b, p, q)) return KsValue(p * q);
    return ksBinarySlow(KsOp::Mul, a, b);
}
inline KsValue ksBinary(KsOp op, const KsValue &a, const KsValue &b)
{
    switch (op) {
    case KsOp::Add:
        return ksAdd(a, b);
    case KsOp::Sub:
        return ksSub(a, b);
    case KsOp::Mul:
        return ksMul(a, b);
    default:
        return ksBinarySlow(op, a, b);
    }
}

// a := a op b without a temporary: the same rules as ksBinary (integral sums
// and differences in place, everything else through ksBinary).
void ksBinaryInPlaceSlow(KsOp op, KsValue &a, const KsValue &b);
inline void ksBinaryInPlace(KsOp op, KsValue &a, const KsValue &b)
{
    if ((op == KsOp::Add || op == KsOp::Sub) && a.Kind() == KsKind::Integer && b.Kind() == KsKind::Integer) {
        // 32-bit operands give a 64-bit result that cannot overflow
        const qint64 sum = op == KsOp::Add ? qint64(a.RawInt()) + b.RawInt() : qint64(a.RawInt()) - b.RawInt();
        a.SetInt(sum);
        return;
    }
    qint64 x, y, r;
    if ((op == KsOp::Add || op == KsOp::Sub) && ksBothIntegral(a, b, x, y) &&
        !(op == KsOp::Add ? __builtin_add_overflow(x, y, &r) : __builtin_sub_overflow(x, y, &r))) {
        if (a.Kind() == KsKind::Int64 || b.Kind() == KsKind::Int64)
            a.SetInt64(r);
        else
            a.SetInt(r);
        return;
    }
    double p, q;
    if (op <= KsOp::Mul && a.Kind() == KsKind::Double && ksRealPair(a, b, p, q)) {
        a.SetDouble(op == KsOp::Add ? p + q : op == KsOp::Sub ? p - q : p * q);
        return;
    }
    ksBinaryInPlaceSlow(op, a, b);
}

// Comparison: -1, 0, 1. Null is below everything and equal to Null.
int ksCompareSlow(const KsValue &a, const KsValue &b);
inline int ksCompare(const KsValue &a, const KsValue &b)
{
    if (a.Kind() == KsKind::Integer && b.Kind() == KsKind::Integer)
        return a.RawInt() < b.RawInt() ? -1 : (a.RawInt() > b.RawInt() ? 1 : 0);
    double p, q;
    if (ksRealPair(a, b, p, q)) return p < q ? -1 : (p > q ? 1 : 0);
    return ksCompareSlow(a, b);
}
// Equality never raises for unlike kinds that have no order (they differ).
bool ksEqualsSlow(const KsValue &a, const KsValue &b);
inline bool ksEquals(const KsValue &a, const KsValue &b)
{
    if (a.Kind() == KsKind::Integer && b.Kind() == KsKind::Integer) return a.RawInt() == b.RawInt();
    double p, q;
    if (ksRealPair(a, b, p, q)) return !(p < q) && !(p > q);  // as ksCompare's 0
    return ksEqualsSlow(a, b);
}

// Number text in the script's form ("." decimal, "$" hex); false when it is
// no number. Used by conversions and the run-time library. A "$" number is
// hexadecimal only for integers: a text read as a real (`real`) has none.
bool ksTextToNumber(const QString &text, KsValue &out, bool real = false);
// Double to text with up to 15 significant digits.
QString ksFloatToText(double d);

// Raise EOutOfMemory when a script's string of `length` characters, or a list
// of `items` entries holding `chars` characters (or taking `bytes`), would
// pass the engine's limits (ks_limits.h).
void ksCheckStringLength(qint64 length);
void ksCheckListSize(qint64 items, qint64 chars);
void ksCheckListBytes(qint64 bytes);
// The same for a Variant array growing from `had` to `count` elements.
void ksCheckArrayElements(qint64 count, qint64 had = 0);
// a + b, checked against the string limit.
QString ksJoinText(const QString &a, const QString &b);

// Object handles. The table keeps a weak reference per object; a freed
// object's handle stays invalid for good.
namespace KsObjects {
// Deletes the object behind the handle (the script's Free).
void Free(const KsValue &v);
// Number of live handles, and of slots in use (freed objects' slots are
// reused, so the table does not grow with every object ever seen).
int LiveCount();
int SlotCount();
}  // namespace KsObjects
