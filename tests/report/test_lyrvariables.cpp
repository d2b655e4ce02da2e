#include "report/lyrvariables.h"

#include <gtest/gtest.h>

TEST(TlyrVariables, LookupByNameWithoutCase)
{
    TlyrVariables vars;
    EXPECT_FALSE(vars.Variables(QStringLiteral("missing")).isValid());  // Null, not an error
    vars.SetVariable(QStringLiteral("a"), 1);
    vars.SetVariable(QStringLiteral("A"), 2);
    EXPECT_EQ(vars.Count(), 1);
    EXPECT_EQ(vars.Variables(QStringLiteral("a")).toInt(), 2);
    EXPECT_EQ(vars.Items(0)->Name, QStringLiteral("a"));

    vars.SetVariable(QStringLiteral("合计"), QStringLiteral("x"));
    EXPECT_EQ(vars.IndexOf(QStringLiteral("合计")), 1);

    TlyrVariable *fresh = vars.Add();
    EXPECT_TRUE(fresh->Name.isEmpty());
    EXPECT_FALSE(fresh->Value.isValid());

    // Two items of the same name: the first always answers.
    TlyrVariable *dup = vars.Add();
    dup->Name = QStringLiteral("A");
    dup->Value = 99;
    EXPECT_EQ(vars.Variables(QStringLiteral("a")).toInt(), 2);
    vars.SetVariable(QStringLiteral("a"), 3);
    EXPECT_EQ(dup->Value.toInt(), 99);

    vars.Delete(0);
    EXPECT_EQ(vars.Variables(QStringLiteral("a")).toInt(), 99);
}

TEST(TlyrVariables, AssignCopiesNamesAndValues)
{
    TlyrVariables a;
    a.SetVariable(QStringLiteral("x"), 1.5);
    TlyrVariables b(a);
    a.SetVariable(QStringLiteral("x"), 7);
    EXPECT_DOUBLE_EQ(b.Variables(QStringLiteral("x")).toDouble(), 1.5);
    b = a;
    EXPECT_EQ(b.Variables(QStringLiteral("X")).toInt(), 7);
    b.Clear();
    EXPECT_EQ(b.Count(), 0);
}

TEST(TlyrArray, KeysCompareAsText)
{
    TlyrArray arr;
    arr.SetVariable(1, QStringLiteral("one"));
    arr.SetVariable(QStringLiteral("1"), QStringLiteral("uno"));
    EXPECT_EQ(arr.Count(), 1);
    EXPECT_EQ(arr.Variables(1).toString(), QStringLiteral("uno"));
    arr.SetVariable(QStringLiteral("Key"), 5);
    EXPECT_EQ(arr.Variables(QStringLiteral("KEY")).toInt(), 5);
    EXPECT_FALSE(arr.Variables(2).isValid());
    EXPECT_EQ(arr.IndexOf(QStringLiteral("key")), 1);
}

TEST(TlyrVariables, GlobalVariablesAreOneTable)
{
    lyrGlobalVariables().SetVariable(QStringLiteral("CopyName0"), QStringLiteral("第一联"));
    EXPECT_EQ(lyrGlobalVariables().Variables(QStringLiteral("copyname0")).toString(), QStringLiteral("第一联"));
    lyrGlobalVariables().Clear();
}
