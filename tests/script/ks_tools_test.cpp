#include "ks_builder.h"

#include <gtest/gtest.h>

namespace {

std::unique_ptr<TksCustomVariable> Decl(const char *text, const TksScript *s = nullptr)
{
    return std::unique_ptr<TksCustomVariable>(ksParseDeclaration(QString::fromLatin1(text), s));
}

TEST(KsDeclarations, ParametersDefaultsAndResults)
{
    TksScript s;
    s.AddRTTI();
    auto inc = Decl("procedure Inc(var i: Integer; incr: Integer = 1)", &s);
    EXPECT_EQ(inc->Name, QStringLiteral("Inc"));
    ASSERT_EQ(inc->Count(), 2);
    EXPECT_TRUE(inc->Param(0)->IsVarParam);
    EXPECT_FALSE(inc->Param(0)->IsOptional);
    EXPECT_TRUE(inc->Param(1)->IsOptional);
    EXPECT_EQ(inc->Param(1)->DefValue.ToInt(), 1);
    EXPECT_EQ(inc->RequiredCount(), 1);

    auto pi = Decl("function Pi: Extended", &s);
    EXPECT_EQ(pi->Count(), 0);
    EXPECT_EQ(pi->TypeCode, tcFloat);
    EXPECT_EQ(pi->TypeName, QStringLiteral("Extended"));

    auto copy = Decl("function Copy(s: String; from, count: Integer): String", &s);
    ASSERT_EQ(copy->Count(), 3);
    EXPECT_EQ(copy->RequiredCount(), 3);
    EXPECT_EQ(copy->Param(2)->TypeCode, tcInteger);
    EXPECT_EQ(copy->TypeCode, tcString);

    auto a = Decl("procedure A(x, y: Integer = 0)", &s);
    EXPECT_FALSE(a->Param(0)->IsOptional);
    EXPECT_TRUE(a->Param(1)->IsOptional);

    auto unknown = Decl("function Make: TSomethingNobodyKnows", &s);
    EXPECT_EQ(unknown->TypeCode, tcClass);

    auto macro = Decl("macrofunction IIF(Expr: Boolean; TrueValue, FalseValue: Variant): Variant", &s);
    EXPECT_TRUE(macro->IsMacro);
    EXPECT_EQ(macro->Count(), 3);

    auto defaults = Decl("procedure D(a: Integer = -5; b: String = 'x'; c: Variant = True; d: Variant = nothing; const "
                         "e: Integer = $10)",
                         &s);
    EXPECT_EQ(defaults->Param(0)->DefValue.ToInt(), -5);
    EXPECT_EQ(defaults->Param(1)->DefValue.ToString(), QStringLiteral("x"));
    EXPECT_EQ(defaults->Param(2)->DefValue.Kind(), KsKind::Boolean);
    EXPECT_TRUE(defaults->Param(3)->DefValue.IsNull());
    EXPECT_EQ(defaults->Param(4)->DefValue.ToInt(), 16);

    EXPECT_THROW(Decl("proc X"), KsError);
    EXPECT_THROW(Decl("function F(a: Integer"), KsError);
    EXPECT_THROW(Decl("function F(a Integer)"), KsError);
}

TEST(KsLanguages, RegistryReplacesByNameAndReportsUnknownNames)
{
    ksAddLanguage(QStringLiteral("TestLang"), QStringLiteral("<language text=\"TestLang\"/>"));
    ksAddLanguage(QStringLiteral("testlang"), QStringLiteral("second"));
    EXPECT_EQ(ksLanguageGrammar(QStringLiteral("TESTLANG")), QStringLiteral("second"));
    EXPECT_EQ(ksLanguageNames().count(QStringLiteral("TestLang")), 1);
    try {
        ksLanguageGrammar(QStringLiteral("Cobol"));
        FAIL();
    } catch (const KsError &e) {
        EXPECT_EQ(e.Message, QStringLiteral("Language 'Cobol' not found"));
    }
}

TEST(KsTypes, CompatibilityRule)
{
    TksScript s;
    struct Case {
        TksVarType A, B;
        bool Loose, Strict;
    } cases[] = {
            {tcInteger, tcFloat, true, false},   {tcInteger, tcEnum, true, true},
            {tcFloat, tcInteger, true, true},    {tcBoolean, tcInteger, false, false},
            {tcString, tcChar, true, true},      {tcChar, tcInteger, false, false},
            {tcVariant, tcArray, true, true},    {tcArray, tcInteger, false, false},
            {tcInteger, tcVariant, true, true},  {tcEnum, tcInteger, true, true},
            {tcString, tcBoolean, false, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ksTypesCompatibleLoose({c.A, QString()}, {c.B, QString()}, &s), c.Loose) << c.A << "<-" << c.B;
        EXPECT_EQ(ksTypesCompatible({c.A, QString()}, {c.B, QString()}, &s), c.Strict) << c.A << "<-" << c.B;
    }
    EXPECT_TRUE(ksTypesCompatible({tcEnum, QStringLiteral("TAlign")}, {tcEnum, QStringLiteral("talign")}, &s));
    EXPECT_FALSE(ksTypesCompatible({tcEnum, QStringLiteral("TAlign")}, {tcEnum, QStringLiteral("TStyle")}, &s));
    // classes: the source must be the target's class or a descendant
    s.AddClass(QStringLiteral("TAnimal"), QString());
    s.AddClass(QStringLiteral("TDog"), QStringLiteral("TAnimal"));
    EXPECT_TRUE(ksTypesCompatible({tcClass, QStringLiteral("TAnimal")}, {tcClass, QStringLiteral("TDog")}, &s));
    EXPECT_FALSE(ksTypesCompatible({tcClass, QStringLiteral("TDog")}, {tcClass, QStringLiteral("TAnimal")}, &s));
    EXPECT_TRUE(ksClassInherits(QStringLiteral("TAnimal"), QStringLiteral("TDog"), &s));
    EXPECT_FALSE(ksClassInherits(QStringLiteral("TAnimal"), QStringLiteral("TCat"), &s));
}

TEST(KsTypes, LiteralsPositionsAndTypeNames)
{
    EXPECT_EQ(ksLiteralToVariant(QStringLiteral("'it''s'")).ToString(), QStringLiteral("it''s"));
    EXPECT_EQ(ksLiteralToVariant(QStringLiteral("$FF")).ToInt(), 255);
    EXPECT_EQ(ksLiteralToVariant(QStringLiteral("12")).Kind(), KsKind::Integer);
    EXPECT_EQ(ksLiteralToVariant(QStringLiteral("3000000000")).Kind(), KsKind::Int64);
    EXPECT_DOUBLE_EQ(ksLiteralToVariant(QStringLiteral("1.5e3")).ToDouble(), 1500);
    EXPECT_TRUE(ksLiteralToVariant(QString()).IsNull());
    EXPECT_EQ(ksPosToPoint(QStringLiteral("12:5")), QPoint(5, 12));
    EXPECT_EQ(ksPosToPoint(QString()), QPoint(0, 0));
    TksScript s;
    EXPECT_EQ(ksTypeCodeOf(QStringLiteral("tdatetime"), &s), tcFloat);
    EXPECT_EQ(ksTypeCodeOf(QStringLiteral("TNoSuchClass"), &s), tcClass);
    EXPECT_EQ(ksTypeCodeOf(QString(), &s), tcVariant);
    TksVariable v(QStringLiteral("v"), tcFloat, QStringLiteral("Double"));
    EXPECT_EQ(v.ReportedTypeName(), QStringLiteral("Extended"));
}

}  // namespace
