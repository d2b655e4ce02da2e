#include "script/ks_isysrtti.h"

#include "script/ks_budget.h"
#include "script/ks_idesignator.h"
#include "script/ksrtl.h"

#include <QApplication>
#include <QMessageBox>
#ifdef __x86_64__
#include <immintrin.h>
#endif

#include <cmath>
#include <limits>
#include <random>

std::function<void(const QString &)> ksShowMessageHandler = [](const QString &text) {
    if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
        QMessageBox::information(nullptr, QCoreApplication::applicationName(), text);
        return;
    }
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
};

bool ksTryStrToInt64(const QString &s, qint64 &out)
{
    KsValue v;
    if (!ksTextToNumber(s, v) || !v.IsIntegral()) return false;
    out = v.ToInt64();
    return true;
}

bool ksTryStrToFloat(const QString &s, double &out)
{
    KsValue v;
    if (!ksTextToNumber(s, v, true)) return false;
    out = v.ToDouble();
    return true;
}

QString ksFormatMaskText(const QString &editMask, const QString &value)
{
    const QStringList parts = editMask.split(QLatin1Char(';'));
    const QString mask = parts.value(0);
    const QChar blank = parts.size() > 2 && !parts[2].isEmpty() ? parts[2][0] : QLatin1Char(' ');
    QString out;
    int vi = 0;
    int caseMode = 0;  // 1 upper, -1 lower
    for (int i = 0; i < mask.size(); ++i) {
        const QChar m = mask[i];
        if (m == QLatin1Char('>')) {
            caseMode = 1;
            continue;
        }
        if (m == QLatin1Char('<')) {
            if (i + 1 < mask.size() && mask[i + 1] == QLatin1Char('>')) {
                caseMode = 0;
                ++i;
            } else {
                caseMode = -1;
            }
            continue;
        }
        if (m == QLatin1Char('!')) continue;
        if (m == QLatin1Char('\\') && i + 1 < mask.size()) {
            out += mask[++i];
            if (vi < value.size() && value[vi] == mask[i]) ++vi;
            continue;
        }
        if (QStringLiteral("09#LlAaCc").contains(m)) {
            QChar c = vi < value.size() ? value[vi++] : blank;
            if (caseMode > 0) c = c.toUpper();
            if (caseMode < 0) c = c.toLower();
            out += c;
            continue;
        }
        out += m;
        if (vi < value.size() && value[vi] == m) ++vi;
    }
    return out;
}

namespace {

KsError ConvertError(const QString &s, const char *what)
{
    return KsError(QStringLiteral("EConvertError"),
                   QStringLiteral("'%1' is not a valid %2").arg(s, QLatin1String(what)));
}

KsError InvalidOp()
{
    return KsError(QStringLiteral("EInvalidOp"), QStringLiteral("Invalid floating point operation"));
}

std::mt19937_64 &Rng()
{
    static std::mt19937_64 rng(0x5eed);
    return rng;
}

qint64 RoundedInt(double d)
{
    if (!(d >= -9.2233720368547758e18 && d < 9.2233720368547758e18)) throw InvalidOp();
    return qint64(d);
}

// Where `what` first stands in `text` (-1 when nowhere): each place its
// first character stands, found many characters at a time, is compared
// further. Texts whose first character stands too often go to Qt's search.
#ifdef __x86_64__
__attribute__((target("avx2"))) qsizetype FindCharWide(const char16_t *p, qsizetype n, char16_t c)
{
    const __m256i needle = _mm256_set1_epi16(short(c));
#define KS_AT(i) _mm256_cmpeq_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + (i))), needle)
    qsizetype i = 0;
    // 64 characters a step, looked at closer only where one matched
    for (; i + 64 <= n; i += 64) {
        const __m256i a = KS_AT(i), b = KS_AT(i + 16), c2 = KS_AT(i + 32), d = KS_AT(i + 48);
        const __m256i any = _mm256_or_si256(_mm256_or_si256(a, b), _mm256_or_si256(c2, d));
        if (_mm256_testz_si256(any, any)) continue;
        for (const __m256i &v : {a, b, c2, d}) {
            if (const unsigned m = unsigned(_mm256_movemask_epi8(v))) return i + __builtin_ctz(m) / 2;
            i += 16;
        }
    }
    for (; i + 16 <= n; i += 16)
        if (const unsigned m = unsigned(_mm256_movemask_epi8(KS_AT(i)))) return i + __builtin_ctz(m) / 2;
#undef KS_AT
    for (; i < n; ++i)
        if (p[i] == c) return i;
    return -1;
}
#endif

qsizetype FindText(QStringView text, QStringView what)
{
#ifdef __x86_64__
    static const bool wide = __builtin_cpu_supports("avx2");
#else
    constexpr bool wide = false;
    auto FindCharWide = [](const char16_t *, qsizetype, char16_t) { return qsizetype(-1); };
#endif
    const qsizetype n = text.size(), m = what.size();
    if (m == 0 || m > n) return m == 0 ? 0 : -1;
    const char16_t *p = text.utf16(), *w = what.utf16();
    const qsizetype last = n - m;  // the last place the text may start
    qsizetype misses = 0;
    for (qsizetype at = 0; at <= last;) {
        const qsizetype k = wide ? FindCharWide(p + at, last + 1 - at, w[0])
                                 : QStringView(p + at, last + 1 - at).indexOf(QChar(w[0]));
        if (k < 0) return -1;
        at += k;
        if (std::equal(w + 1, w + m, p + at + 1)) return at;
        if (++misses > 64 && misses * 16 > at) return text.indexOf(what, at + 1);
        ++at;
    }
    return -1;
}

KsValue DateValue(double d)
{
    return KsValue::FromDate(d);
}

KsValue Conv(const QString &name, TksMethodHelper *h)
{
    const KsValue a = h->GetParam(0);
    if (name == QLatin1String("FLOATTOSTR")) return KsValue(ksFloatToStr(a.ToDouble()));
    if (name == QLatin1String("DATETOSTR")) return KsValue(ksDateToStr(a.ToDouble()));
    if (name == QLatin1String("TIMETOSTR")) return KsValue(ksTimeToStr(a.ToDouble()));
    if (name == QLatin1String("DATETIMETOSTR")) return KsValue(ksDateTimeToStr(a.ToDouble()));
    if (name == QLatin1String("VARTOSTR")) return KsValue(a.ToText());
    const QString s = a.ToText();
    if (name == QLatin1String("STRTOINT") || name == QLatin1String("STRTOINT64")) {
        qint64 l;
        if (!ksTryStrToInt64(s, l)) throw ConvertError(s, "integer value");
        if (name == QLatin1String("STRTOINT") && (l < INT32_MIN || l > INT32_MAX))
            throw ConvertError(s, "integer value");
        return KsValue::FromInt(l);
    }
    if (name == QLatin1String("STRTOFLOAT")) {
        double d;
        if (!ksTryStrToFloat(s, d)) throw ConvertError(s, "floating point value");
        return KsValue(d);
    }
    if (name == QLatin1String("STRTODATE")) return DateValue(ksStrToDate(s));
    if (name == QLatin1String("STRTOTIME")) return DateValue(ksStrToTime(s));
    if (name == QLatin1String("STRTODATETIME")) return DateValue(ksStrToDateTime(s));
    return KsValue();
}

KsValue Format(const QString &name, TksMethodHelper *h)
{
    const QString fmt = h->GetParam(0).ToText();
    if (name == QLatin1String("FORMAT")) return KsValue(ksFormatValues(fmt, h->GetParam(1)));
    if (name == QLatin1String("FORMATFLOAT")) return KsValue(ksFormatFloat(fmt, h->GetParam(1).ToDouble()));
    if (name == QLatin1String("FORMATDATETIME")) return KsValue(ksFormatDateTime(fmt, h->GetParam(1).ToDouble()));
    if (name == QLatin1String("FORMATMASKTEXT")) return KsValue(ksFormatMaskText(fmt, h->GetParam(1).ToText()));
    return KsValue();
}

KsValue Dates(const QString &name, TksMethodHelper *h)
{
    if (name == QLatin1String("ENCODEDATE"))
        return DateValue(ksEncodeDate(h->GetParam(0).ToInt(), h->GetParam(1).ToInt(), h->GetParam(2).ToInt()));
    if (name == QLatin1String("DECODEDATE")) {
        int y, m, d;
        ksDecodeDate(h->GetParam(0).ToDouble(), y, m, d);
        h->SetParam(1, KsValue(y));
        h->SetParam(2, KsValue(m));
        h->SetParam(3, KsValue(d));
        return KsValue();
    }
    if (name == QLatin1String("ENCODETIME"))
        return DateValue(ksEncodeTime(h->GetParam(0).ToInt(), h->GetParam(1).ToInt(), h->GetParam(2).ToInt(),
                                      h->GetParam(3).ToInt()));
    if (name == QLatin1String("DECODETIME")) {
        int hh, mm, ss, ms;
        ksDecodeTime(h->GetParam(0).ToDouble(), hh, mm, ss, ms);
        h->SetParam(1, KsValue(hh));
        h->SetParam(2, KsValue(mm));
        h->SetParam(3, KsValue(ss));
        h->SetParam(4, KsValue(ms));
        return KsValue();
    }
    if (name == QLatin1String("DATE")) return DateValue(ksDateOf(ksNow()));
    if (name == QLatin1String("TIME")) return DateValue(ksTimeOf(ksNow()));
    if (name == QLatin1String("NOW")) return DateValue(ksNow());
    if (name == QLatin1String("DAYOFWEEK")) return KsValue(ksDayOfWeek(h->GetParam(0).ToDouble()));
    if (name == QLatin1String("ISLEAPYEAR")) return KsValue(ksIsLeapYear(h->GetParam(0).ToInt()));
    if (name == QLatin1String("DAYSINMONTH"))
        return KsValue(ksDaysInMonth(h->GetParam(0).ToInt(), h->GetParam(1).ToInt()));
    return KsValue();
}

KsValue Strings(const QString &name, TksMethodHelper *h)
{
    const KsValue a = h->GetParam(0);
    if (name == QLatin1String("SETLENGTH")) {
        const qint64 len = h->GetParam(1).ToInt64();
        if (a.IsArray()) {
            KsValue arr = a;
            arr.Redim(std::max<qint64>(len, 0) - 1);  // the high bound becomes L-1
            h->SetParam(0, arr);
        } else {
            QString s = a.ToText();
            ksCheckStringLength(len);
            if (len <= 0)
                s.clear();
            else if (len < s.size())
                s.truncate(qsizetype(len));
            else
                s += QString(qsizetype(len - s.size()), QLatin1Char(' '));
            h->SetParam(0, KsValue(s));
        }
        return KsValue();
    }
    const QString s = a.ToText();
    if (name == QLatin1String("DELETE") || name == QLatin1String("DELETESTR")) {
        const qint64 from = h->GetParam(1).ToInt64();
        const qint64 count = h->GetParam(2).ToInt64();
        QString r = s;
        if (from >= 1 && from <= r.size() && count > 0) {
            ksChargeRun(qint64(r.size()) * 2);  // the shortened copy
            r.remove(qsizetype(from - 1), qsizetype(std::min<qint64>(count, r.size())));
        }
        h->SetParam(0, KsValue(r));
        return KsValue();
    }
    if (name == QLatin1String("INSERT")) {
        QString target = h->GetParam(1).ToText();
        const qint64 pos = std::clamp<qint64>(h->GetParam(2).ToInt64(), 1, target.size() + 1);
        ksCheckStringLength(qint64(target.size()) + s.size());
        target.insert(qsizetype(pos - 1), s);
        h->SetParam(1, KsValue(target));
        return KsValue();
    }
    if (name == QLatin1String("UPPERCASE")) return KsValue(s.toUpper());
    if (name == QLatin1String("LOWERCASE")) return KsValue(s.toLower());
    if (name == QLatin1String("TRIM")) {
        int b = 0, e = int(s.size());
        while (b < e && s[b].unicode() <= 32) ++b;
        while (e > b && s[e - 1].unicode() <= 32) --e;
        return KsValue(s.mid(b, e - b));
    }
    if (name == QLatin1String("NAMECASE")) {
        QString r = s.toLower();
        for (int i = 0; i < r.size(); ++i)
            if (i == 0 || r[i - 1] == QLatin1Char(' ')) r[i] = r[i].toUpper();
        return KsValue(r);
    }
    if (name == QLatin1String("COMPARETEXT")) {
        const int c = QString::compare(s, h->GetParam(1).ToText(), Qt::CaseInsensitive);
        return KsValue(c < 0 ? -1 : (c > 0 ? 1 : 0));
    }
    if (name == QLatin1String("CHR")) return KsValue(QString(QChar(ushort(a.ToInt64() & 0xFFFF))));
    return KsValue();
}

KsValue Maths(const QString &name, TksMethodHelper *h)
{
    if (name == QLatin1String("PI")) return KsValue(M_PI);
    const double x = h->GetParam(0).ToDouble();
    if (name == QLatin1String("ROUND")) return KsValue::FromInt(RoundedInt(std::nearbyint(x)));
    if (name == QLatin1String("TRUNC") || name == QLatin1String("INT"))
        return KsValue::FromInt(RoundedInt(std::trunc(x)));
    if (name == QLatin1String("FRAC")) return KsValue(x - std::trunc(x));
    if (name == QLatin1String("ABS")) return KsValue(std::fabs(x));
    if (name == QLatin1String("SIN")) return KsValue(std::sin(x));
    if (name == QLatin1String("COS")) return KsValue(std::cos(x));
    if (name == QLatin1String("ARCTAN")) return KsValue(std::atan(x));
    if (name == QLatin1String("TAN")) return KsValue(std::tan(x));
    if (name == QLatin1String("EXP")) {
        const double r = std::exp(x);
        if (!std::isfinite(r)) throw KsError(QStringLiteral("EOverflow"), QStringLiteral("Floating point overflow"));
        return KsValue(r);
    }
    if (name == QLatin1String("LN")) {
        if (x <= 0) throw InvalidOp();
        return KsValue(std::log(x));
    }
    return KsValue();
}

KsValue VarArrayCreate(const KsValue &b, int elemType)
{
    if (!b.IsArray() || b.ElementCount() < 2 || b.ElementCount() % 2 != 0 || b.ElementCount() > 6)
        throw KsError(QStringLiteral("EVariantError"), QStringLiteral("Invalid array bounds"));
    // Bounds that hold too many elements are no error of the bounds: making
    // the array raises EOutOfMemory.
    std::vector<KsBounds> dims;
    for (qint64 i = 0; i + 1 < b.ElementCount(); i += 2) {
        const qint64 low = b.Element(i).ToInt64(), high = b.Element(i + 1).ToInt64();
        qint64 span = 0;
        if (__builtin_sub_overflow(high, low, &span) || span < -1 || span == std::numeric_limits<qint64>::max())
            throw KsError(QStringLiteral("EVariantError"), QStringLiteral("Invalid array bounds"));
        dims.push_back(KsBounds{low, span + 1});
    }
    return KsValue::MakeArray(dims, elemType);
}

KsValue Others(const QString &name, TksMethodHelper *h)
{
    if (name == QLatin1String("INC")) {
        h->SetParam(0, ksAdd(h->GetParam(0), h->GetParam(1)));
        return KsValue();
    }
    if (name == QLatin1String("DEC")) {
        h->SetParam(0, ksSub(h->GetParam(0), h->GetParam(1)));
        return KsValue();
    }
    if (name == QLatin1String("RAISEEXCEPTION")) throw KsError(h->GetParam(0).ToText());
    if (name == QLatin1String("SHOWMESSAGE")) {
        if (ksShowMessageHandler) ksShowMessageHandler(h->GetParam(0).ToText());
        return KsValue();
    }
    if (name == QLatin1String("RANDOMIZE")) {
        Rng().seed(std::random_device{}());
        return KsValue();
    }
    if (name == QLatin1String("RANDOM")) return KsValue(std::uniform_real_distribution<double>(0.0, 1.0)(Rng()));
    if (name == QLatin1String("VARTYPE")) return KsValue(h->GetParam(0).VarType() & 0xFFFF);
    if (name == QLatin1String("VARARRAYCREATE")) return VarArrayCreate(h->GetParam(0), h->GetParam(1).ToInt());
    const QString s = h->GetParam(0).ToText();
    if (name == QLatin1String("VALIDINT")) {
        qint64 l;
        return KsValue(ksTryStrToInt64(s, l) && l >= INT32_MIN && l <= INT32_MAX);
    }
    if (name == QLatin1String("VALIDFLOAT")) {
        double d;
        return KsValue(ksTryStrToFloat(s, d));
    }
    if (name == QLatin1String("VALIDDATE")) {
        double d;
        return KsValue(ksTryStrToDate(s, d));
    }
    if (name == QLatin1String("CREATEOLEOBJECT"))
        throw KsError(QStringLiteral("EOleSysError"), QStringLiteral("Invalid class string: %1").arg(s));
    return KsValue();
}

// The functions most called, found once when registered instead of by
// their names on every call; their parameters are read where they stand.
KsValue LengthOf(const KsValue *const *args)
{
    const KsValue &a = *args[0];
    if (a.IsString()) return KsValue(int(a.RawString().size()));
    if (a.IsArray()) return KsValue::FromInt(a.DimCount() >= 1 ? a.Bounds(0).Count : 0);
    return KsValue(int(a.ToText().size()));
}

KsValue PosOf(const KsValue *const *args)
{
    const KsValue &what = *args[0], &in = *args[1];
    const QString w = what.ToText();
    if (w.isEmpty()) return KsValue(0);
    if (in.IsString()) return KsValue(int(FindText(in.RawString(), w)) + 1);
    return KsValue(int(FindText(in.ToText(), w)) + 1);
}

KsValue CopyOf(const KsValue *const *args)
{
    const QString s = args[0]->ToText();
    const qint64 from = std::max<qint64>(args[1]->ToInt64(), 1);
    const qint64 count = args[2]->ToInt64();
    if (from > s.size() || count <= 0) return KsValue(QString());
    if (from == 1 && count >= s.size()) return KsValue(s);
    return KsValue(s.mid(qsizetype(from - 1), qsizetype(std::min<qint64>(count, s.size()))));
}

KsValue OrdOf(const KsValue *const *args)
{
    const KsValue &a = *args[0];
    if (a.IsIntegral()) return a;
    if (a.IsString()) return KsValue(a.RawString().isEmpty() ? 0 : int(a.RawString()[0].unicode()));
    const QString s = a.ToText();
    return KsValue(s.isEmpty() ? 0 : int(s[0].unicode()));
}

KsValue IntToStrOf(const KsValue *const *args)
{
    return KsValue(QString::number(args[0]->ToInt64()));
}

KsValue SqrtOf(const KsValue *const *args)
{
    const double x = args[0]->ToDouble();
    if (x < 0) throw InvalidOp();
    return KsValue(std::sqrt(x));
}

const struct {
    const char *Name;
    KsValue (*Fn)(const KsValue *const *args);
} kDirect[] = {{"LENGTH", LengthOf}, {"POS", PosOf},         {"COPY", CopyOf},
               {"ORD", OrdOf},       {"INTTOSTR", IntToStrOf}, {"SQRT", SqrtOf}};

using Dispatcher = KsValue (*)(const QString &, TksMethodHelper *);
constexpr int kMaxDirectArgs = 3;

void AddGroup(TksScript *s, const char *category, Dispatcher d, std::initializer_list<const char *> decls)
{
    for (const char *decl : decls) {
        TksMethodHelper *m = s->AddMethod(
                QLatin1String(decl),
                [d](QObject *, const KsClassInfo *, const QString &name, TksMethodHelper *h) { return d(name, h); },
                QLatin1String(category));
        if (!m) continue;
        for (const auto &direct : kDirect)
            if (m->UpperName == QLatin1String(direct.Name)) {
                m->Direct = direct.Fn;
                m->OnCall = [fn = direct.Fn](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *h) {
                    const KsValue *args[kMaxDirectArgs];
                    for (int i = 0; i < h->ParamCount() && i < kMaxDirectArgs; ++i) args[i] = &h->Param(i)->Value;
                    return fn(args);
                };
            }
    }
}

}  // namespace

TksSysFunctions::TksSysFunctions(TksScript *script) : TksRTTIModule(script)
{
    static const struct {
        const char *Name;
        TksVarType Code;
    } types[] = {{"Byte", tcInteger},    {"Word", tcInteger},     {"Integer", tcInteger},
                 {"Longint", tcInteger}, {"Cardinal", tcInteger}, {"TColor", tcInteger},
                 {"Boolean", tcBoolean}, {"Real", tcFloat},       {"Single", tcFloat},
                 {"Double", tcFloat},    {"Extended", tcFloat},   {"Currency", tcFloat},
                 {"TDate", tcFloat},     {"TTime", tcFloat},      {"TDateTime", tcFloat},
                 {"Char", tcChar},       {"String", tcString},    {"Variant", tcVariant},
                 {"Pointer", tcVariant}, {"Array", tcArray},      {"Constructor", tcConstructor}};
    for (const auto &t : types) script->AddType(QLatin1String(t.Name), t.Code);

    script->AddConst(QStringLiteral("True"), QStringLiteral("Boolean"), KsValue(true));
    script->AddConst(QStringLiteral("False"), QStringLiteral("Boolean"), KsValue(false));
    script->AddConst(QStringLiteral("nil"), QStringLiteral("Variant"), KsValue(0));
    script->AddConst(QStringLiteral("Null"), QStringLiteral("Variant"), KsValue::Null());
    script->AddVariable(QStringLiteral("ExceptionClassName"), QStringLiteral("String"), KsValue(QString()));
    script->AddVariable(QStringLiteral("ExceptionMessage"), QStringLiteral("String"), KsValue(QString()));

    AddGroup(script, "ctConv", Conv,
             {"function IntToStr(i: Integer): String", "function FloatToStr(e: Extended): String",
              "function DateToStr(e: Extended): String", "function TimeToStr(e: Extended): String",
              "function DateTimeToStr(e: Extended): String", "function VarToStr(v: Variant): String",
              "function StrToInt(s: String): Integer", "function StrToInt64(s: String): Integer",
              "function StrToFloat(s: String): Extended", "function StrToDate(s: String): Extended",
              "function StrToTime(s: String): Extended", "function StrToDateTime(s: String): Extended"});
    AddGroup(script, "ctFormat", Format,
             {"function Format(Fmt: String; Args: array): String",
              "function FormatFloat(Fmt: String; Value: Extended): String",
              "function FormatDateTime(Fmt: String; DateTime: TDateTime): String",
              "function FormatMaskText(EditMask: string; Value: string): string"});
    AddGroup(script, "ctDate", Dates,
             {"function EncodeDate(Year, Month, Day: Word): TDateTime",
              "procedure DecodeDate(Date: TDateTime; var Year, Month, Day: Word)",
              "function EncodeTime(Hour, Min, Sec, MSec: Word): TDateTime",
              "procedure DecodeTime(Time: TDateTime; var Hour, Min, Sec, MSec: Word)", "function Date: TDateTime",
              "function Time: TDateTime", "function Now: TDateTime", "function DayOfWeek(aDate: TDateTime): Integer",
              "function IsLeapYear(Year: Word): Boolean", "function DaysInMonth(nYear, nMonth: Integer): Integer"});
    AddGroup(script, "ctString", Strings,
             {"function Length(s: Variant): Integer", "function Copy(s: String; from, count: Integer): String",
              "function Pos(substr, s: String): Integer", "procedure Delete(var s: String; from, count: Integer)",
              "procedure DeleteStr(var s: String; from, count: Integer)",
              "procedure Insert(s: String; var s2: String; pos: Integer)", "function Uppercase(s: String): String",
              "function Lowercase(s: String): String", "function Trim(s: String): String",
              "function NameCase(s: String): String", "function CompareText(s, s1: String): Integer",
              "function Chr(i: Integer): Char", "function Ord(ch: Char): Integer",
              "procedure SetLength(var S: Variant; L: Integer)"});
    AddGroup(script, "ctMath", Maths,
             {"function Round(e: Extended): Integer", "function Trunc(e: Extended): Integer",
              "function Int(e: Extended): Integer", "function Frac(X: Extended): Extended",
              "function Sqrt(e: Extended): Extended", "function Abs(e: Extended): Extended",
              "function Sin(e: Extended): Extended", "function Cos(e: Extended): Extended",
              "function ArcTan(X: Extended): Extended", "function Tan(X: Extended): Extended",
              "function Exp(X: Extended): Extended", "function Ln(X: Extended): Extended", "function Pi: Extended"});
    AddGroup(script, "ctOther", Others,
             {"procedure Inc(var i: Integer; incr: Integer = 1)", "procedure Dec(var i: Integer; decr: Integer = 1)",
              "procedure RaiseException(Param: String)", "procedure ShowMessage(Msg: Variant)", "procedure Randomize",
              "function Random: Extended", "function ValidInt(cInt: String): Boolean",
              "function ValidFloat(cFlt: String): Boolean", "function ValidDate(cDate: String): Boolean",
              "function CreateOleObject(ClassName: String): Variant",
              "function VarArrayCreate(Bounds: Array; Typ: Integer): Variant",
              "function VarType(V: Variant): Integer"});

    auto *arrayHelper = new TksArrayHelper(QStringLiteral("__ArrayHelper"), tcVariant, QStringLiteral("Variant"), 0);
    script->Add(arrayHelper->Name, arrayHelper);
    auto *stringHelper = new TksStringHelper;
    script->Add(stringHelper->Name, stringHelper);

    static const struct {
        const char *Name;
        int Value;
    } varTypes[] = {
            {"varEmpty", 0},    {"varNull", 1},     {"varSmallint", 2},    {"varInteger", 3},  {"varSingle", 4},
            {"varDouble", 5},   {"varCurrency", 6}, {"varDate", 7},        {"varOleStr", 8},   {"varDispatch", 9},
            {"varError", 10},   {"varBoolean", 11}, {"varVariant", 12},    {"varUnknown", 13}, {"varShortInt", 16},
            {"varByte", 17},    {"varWord", 18},    {"varLongWord", 19},   {"varInt64", 20},   {"varStrArg", 72},
            {"varString", 256}, {"varAny", 257},    {"varTypeMask", 4095}, {"varArray", 8192}, {"varByRef", 16384}};
    for (const auto &v : varTypes) script->AddConst(QLatin1String(v.Name), QStringLiteral("Integer"), KsValue(v.Value));
}
