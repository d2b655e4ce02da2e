#include "script/ks_itools.h"

#include "script/ks_grammars.h"
#include "script/ks_iconst.h"
#include "script/ks_iparser.h"

#include <charconv>
#include <cmath>
#include <memory>

namespace {

// For a decimal text out of the range of a double: whether it is too small
// (rather than too large), judged by the power of ten of its first digit.
bool TooSmallForDouble(const QByteArray &t)
{
    const int e = t.indexOf('e') >= 0 ? t.indexOf('e') : t.indexOf('E');
    const QByteArray mantissa = e >= 0 ? t.left(e) : t;
    const qint64 exponent = e >= 0 ? t.mid(e + 1).toLongLong() : 0;
    const int dot = mantissa.indexOf('.');
    const QByteArray whole = dot >= 0 ? mantissa.left(dot) : mantissa;
    int i = 0;
    while (i < whole.size() && whole[i] == '0') ++i;
    if (i < whole.size()) return exponent + (whole.size() - i) <= 0;
    int zeros = 0;  // 0.000...: its first digit lies after the point
    for (int j = dot + 1; dot >= 0 && j < mantissa.size() && mantissa[j] == '0'; ++j) ++zeros;
    return exponent - zeros <= 0;
}

struct BuiltinType {
    const char *Name;
    TksVarType Code;
};

// Used when a script has no built-in module: the basic names still resolve.
const BuiltinType kBuiltinTypes[] = {{"Byte", tcInteger},           {"Word", tcInteger},     {"Integer", tcInteger},
                                     {"Longint", tcInteger},        {"Cardinal", tcInteger}, {"TColor", tcInteger},
                                     {"Int64", tcInteger},          {"Boolean", tcBoolean},  {"Real", tcFloat},
                                     {"Single", tcFloat},           {"Double", tcFloat},     {"Extended", tcFloat},
                                     {"Currency", tcFloat},         {"TDate", tcFloat},      {"TTime", tcFloat},
                                     {"TDateTime", tcFloat},        {"Char", tcChar},        {"String", tcString},
                                     {"Variant", tcVariant},        {"Pointer", tcVariant},  {"Array", tcArray},
                                     {"Constructor", tcConstructor}};

struct Language {
    QString Name;
    QString Grammar;
};

std::vector<Language> &Languages()
{
    static std::vector<Language> list;
    return list;
}

}  // namespace

void ksAddLanguage(const QString &name, const QString &grammar)
{
    ksRegisterBuiltinLanguages();
    for (Language &l : Languages())
        if (l.Name.compare(name, Qt::CaseInsensitive) == 0) {
            l.Grammar = grammar;
            return;
        }
    Languages().push_back({name, grammar});
}

QString ksLanguageGrammar(const QString &name)
{
    ksRegisterBuiltinLanguages();
    for (const Language &l : Languages())
        if (l.Name.compare(name.trimmed(), Qt::CaseInsensitive) == 0) return l.Grammar;
    throw KsError(QStringLiteral("EParserError"), SLangNotFound.arg(name));
}

QStringList ksLanguageNames()
{
    ksRegisterBuiltinLanguages();
    QStringList out;
    for (const Language &l : Languages()) out << l.Name;
    return out;
}

TksVarType ksTypeCodeOf(const QString &typeName, const TksScript *script)
{
    QString t = typeName.trimmed();
    if (t.isEmpty()) return tcVariant;
    if (script)
        if (TksCustomVariable *v = script->Find(t)) return v->TypeCode;
    for (const BuiltinType &b : kBuiltinTypes)
        if (t.compare(QLatin1String(b.Name), Qt::CaseInsensitive) == 0) return b.Code;
    return tcClass;
}

QString ksTypeCodeName(TksVarType code)
{
    switch (code) {
    case tcInteger:
        return QStringLiteral("Integer");
    case tcBoolean:
        return QStringLiteral("Boolean");
    case tcFloat:
        return QStringLiteral("Extended");
    case tcChar:
        return QStringLiteral("Char");
    case tcString:
        return QStringLiteral("String");
    case tcArray:
        return QStringLiteral("Array");
    case tcVariant:
    case tcConstructor:
        return QStringLiteral("Variant");
    default:
        return QString();
    }
}

bool ksClassInherits(const QString &typeNameA, const QString &typeNameB, const TksScript *script)
{
    if (!script) return false;
    TksClassVariable *a = script->FindClass(typeNameA);
    TksClassVariable *b = script->FindClass(typeNameB);
    if (!a || !b) return false;
    if (a == b) return true;
    if (a->ClassRef && b->ClassRef && b->ClassRef->InheritsFrom(a->ClassRef)) return true;
    // Follow the registered ancestor names too (classes described only here).
    QString anc = b->AncestorName;
    for (int guard = 0; guard < ksMaxClassAncestors && !anc.isEmpty(); ++guard) {
        TksClassVariable *c = script->FindClass(anc);
        if (!c) break;
        if (c == a) return true;
        anc = c->AncestorName;
    }
    return false;
}

bool ksTypesCompatibleLoose(const TksTypeDesc &a, const TksTypeDesc &b, const TksScript *script)
{
    if (a.Code == tcVariant || b.Code == tcVariant) return true;
    switch (a.Code) {
    case tcInteger:
        return b.Code == tcInteger || b.Code == tcFloat || b.Code == tcEnum;
    case tcBoolean:
        return b.Code == tcBoolean;
    case tcFloat:
        return b.Code == tcInteger || b.Code == tcFloat;
    case tcChar:
    case tcString:
        return b.Code == tcChar || b.Code == tcString;
    case tcClass:
    case tcConstructor:
        return (b.Code == tcClass || b.Code == tcConstructor) &&
               (a.Name.compare(b.Name, Qt::CaseInsensitive) == 0 || ksClassInherits(a.Name, b.Name, script));
    case tcArray:
        return b.Code == tcArray;
    case tcEnum:
        return b.Code == tcInteger || (b.Code == tcEnum && a.Name.compare(b.Name, Qt::CaseInsensitive) == 0);
    default:
        return false;
    }
}

bool ksTypesCompatible(const TksTypeDesc &a, const TksTypeDesc &b, const TksScript *script)
{
    if (a.Code == tcInteger && b.Code == tcFloat) return false;
    return ksTypesCompatibleLoose(a, b, script);
}

KsValue ksLiteralToVariant(const QString &text)
{
    if (text.isEmpty()) return KsValue::Null();
    if (text.startsWith(QLatin1Char('\''))) {
        QString s = text.mid(1);
        if (s.endsWith(QLatin1Char('\''))) s.chop(1);
        return KsValue(s);
    }
    bool ok = false;
    qint64 l;
    if (text.startsWith(QLatin1Char('$'))) {
        l = qint64(text.mid(1).toULongLong(&ok, 16));
    } else {
        l = text.toLongLong(&ok, 10);
    }
    if (ok) return KsValue::FromInt(l);
    if (text.startsWith(QLatin1Char('$'))) return KsValue::Null();  // more than 64 bits
    // The script's decimal separator is always "."; a number too small for a
    // double reads as (nearly) zero, one too large is no number.
    const QByteArray latin = text.toLatin1();
    const char *end = latin.constData() + latin.size();
    double d = 0;
    const auto r = std::from_chars(latin.constData(), end, d);
    if (r.ptr != end) return KsValue::Null();
    if (r.ec == std::errc::result_out_of_range) return TooSmallForDouble(latin) ? KsValue(0.0) : KsValue::Null();
    if (r.ec != std::errc() || !std::isfinite(d)) return KsValue::Null();
    return KsValue(d);
}

QPoint ksPosToPoint(const QString &pos)
{
    if (pos.isEmpty()) return QPoint(0, 0);
    int colon = pos.indexOf(QLatin1Char(':'));
    if (colon < 0) return QPoint(0, pos.toInt());
    return QPoint(pos.mid(colon + 1).toInt(), pos.left(colon).toInt());
}

TksCustomVariable *ksParseDeclaration(const QString &declaration, const TksScript *script)
{
    auto bad = [&]() {
        return KsError(QStringLiteral("EParserError"), QStringLiteral("Invalid declaration: %1").arg(declaration));
    };
    TksParser p;
    p.SetText(declaration);
    QString first = p.ReadWord().toLower();
    bool isMacro = false;
    if (first.startsWith(QLatin1String("macro"))) {
        isMacro = true;
        first = first.mid(5);
    }
    const bool isFunc = first == QLatin1String("function");
    if (!isFunc && first != QLatin1String("procedure")) throw bad();
    QString name = p.ReadWord();
    if (name.isEmpty()) throw bad();
    QString resultType;
    if (isFunc) {
        int colon = declaration.lastIndexOf(QLatin1Char(':'));
        int close = declaration.lastIndexOf(QLatin1Char(')'));
        if (colon > close) {
            TksParser rp;
            rp.SetText(declaration.mid(colon + 1));
            resultType = rp.ReadWord();
        }
    }
    auto routine = std::make_unique<TksCustomVariable>(name, ksTypeCodeOf(resultType, script), resultType);
    routine->IsMacro = isMacro;
    p.SkipSpaces();
    if (p.ReadPunct() != QLatin1String("(")) return routine.release();
    for (;;) {
        QStringList names;
        bool byRef = false;
        for (;;) {
            QString w = p.ReadWord();
            if (w.isEmpty()) throw bad();
            if (names.isEmpty() && w.compare(QLatin1String("var"), Qt::CaseInsensitive) == 0) {
                byRef = true;
                continue;
            }
            if (names.isEmpty() && w.compare(QLatin1String("const"), Qt::CaseInsensitive) == 0) continue;
            names << w;
            p.SkipSpaces();
            QString punct = p.ReadPunct();
            if (punct == QLatin1String(",")) continue;
            if (punct == QLatin1String(":")) break;
            throw bad();
        }
        QString typeName = p.ReadWord();
        if (typeName.isEmpty()) throw bad();
        p.SkipSpaces();
        QString punct = p.ReadPunct();
        KsValue def;
        bool hasDefault = false;
        if (punct == QLatin1String("=")) {
            hasDefault = true;
            QString num = p.ReadNumber();
            if (!num.isEmpty()) {
                def = ksLiteralToVariant(num);
            } else {
                QString str = p.ReadString();
                if (!str.isEmpty()) {
                    def = ksLiteralToVariant(str);
                } else {
                    p.SkipSpaces();
                    int save = p.Position();
                    if (p.ReadPunct() == QLatin1String("-") && !(num = p.ReadNumber()).isEmpty()) {
                        def = ksNegate(ksLiteralToVariant(num));
                    } else {
                        p.SetPosition(save);
                        QString constName = p.ReadWord();
                        if (constName.isEmpty()) throw bad();
                        TksCustomVariable *c = script ? script->Find(constName) : nullptr;
                        def = c ? c->Value : KsValue::Null();
                    }
                }
            }
            p.SkipSpaces();
            punct = p.ReadPunct();
        }
        const TksVarType code = ksTypeCodeOf(typeName, script);
        for (int i = 0; i < names.size(); ++i) {
            const bool last = i == names.size() - 1;
            auto *param = new TksParamItem(names[i], code, typeName, last && hasDefault, byRef);
            if (last && hasDefault) param->DefValue = def;
            routine->Add(param);
        }
        if (punct == QLatin1String(";")) continue;
        if (punct == QLatin1String(")")) break;
        throw bad();
    }
    return routine.release();
}
