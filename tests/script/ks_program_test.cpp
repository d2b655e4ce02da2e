#include "ks_builder.h"
#include "script/ks_iconst.h"
#include "script/ks_xml.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

using namespace ksb;

namespace {

class KsProgram : public ::testing::Test {
protected:
    void SetUp() override { S.AddRTTI(); }
    TksScript S;
    TksCustomVariable *C(const char *name) { return S.Find(QString::fromLatin1(name)); }
};

// ---- expressions -------------------------------------------------------------------------

TEST_F(KsProgram, OperatorPriorities)
{
    EXPECT_EQ(Eval(&S, {1, "+", 2, "*", 3}).ToInt(), 7);
    EXPECT_EQ(Eval(&S, {"(", 1, "+", 2, ")", "*", 3}).ToInt(), 9);
    EXPECT_EQ(Eval(&S, {8, "-", 3, "-", 2}).ToInt(), 3);
    EXPECT_EQ(Eval(&S, {2, "*", "(", 3, "+", "(", 4, "-", 1, ")", ")", "*", 2}).ToInt(), 24);
    EXPECT_EQ(Eval(&S, {"unminus", 2, "*", 3}).ToInt(), -6);
    EXPECT_EQ(Eval(&S, {10, "-", "unminus", 2}).ToInt(), 12);
    EXPECT_EQ(Eval(&S, {1, "+", 2, "=", 3}).ToBool(), true);  // comparison binds loosest
    EXPECT_EQ(Eval(&S, {3, "=", 1, "+", 2}).ToBool(), true);
    EXPECT_EQ(Eval(&S, {7, "div", 2}).ToInt(), 3);
    EXPECT_EQ(Eval(&S, {7, "MOD", 4}).ToInt(), 3);
    EXPECT_EQ(Eval(&S, {1, "shl", 3, "+", 1}).ToInt(), 9);  // shl binds like *
    EXPECT_EQ(Eval(&S, {256, "shr", 4}).ToInt(), 16);
    EXPECT_EQ(Eval(&S, {6, "xor", 3}).ToInt(), 5);
    EXPECT_EQ(Eval(&S, {6, "and", 3}).ToInt(), 2);
    EXPECT_EQ(Eval(&S, {6, "or", 3}).ToInt(), 7);
    EXPECT_TRUE(Eval(&S, {2, "<", 3}).ToBool());
    EXPECT_TRUE(Eval(&S, {3, "<=", 3}).ToBool());
    EXPECT_TRUE(Eval(&S, {4, ">", 3}).ToBool());
    EXPECT_TRUE(Eval(&S, {3, ">=", 3}).ToBool());
    EXPECT_TRUE(Eval(&S, {3, "<>", 4}).ToBool());
    EXPECT_EQ(Eval(&S, {Str("a"), "+", Str("b"), "+", Str("2")}).ToString(), QStringLiteral("ab2"));
    std::unique_ptr<TksExpression> textPlusNumber(Expr(&S, {Str("a"), "+", 1, "*", 2}));
    EXPECT_THROW(textPlusNumber->GetValue(), KsError);  // 'a' is no number
}

TEST_F(KsProgram, NotAppliesToTheNextOperandOnly)
{
    auto *a = Var(&S, "a", tcBoolean, KsValue(false));
    auto *b = Var(&S, "b", tcBoolean, KsValue(false));
    EXPECT_FALSE(Eval(&S, {"not", a, "and", b}).ToBool());
    b->Value = KsValue(true);
    EXPECT_TRUE(Eval(&S, {"not", a, "and", b}).ToBool());
    a->Value = KsValue(true);
    EXPECT_TRUE(Eval(&S, {"not", "(", a, "and", "not", b, ")"}).ToBool());
}

TEST_F(KsProgram, ShortCircuitOnlyWithBooleanOperands)
{
    int calls = 0;
    S.AddMethod(QStringLiteral("function F: Boolean"),
                [&](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *) {
                    ++calls;
                    return KsValue(true);
                });
    auto f = [&]() { return Dsg(&S, {{C("F"), {}}}); };
    EXPECT_FALSE(Eval(&S, {false, "and", f()}).ToBool());
    EXPECT_TRUE(Eval(&S, {true, "or", f()}).ToBool());
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(Eval(&S, {true, "and", f()}).ToBool());
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(Eval(&S, {6, "and", 3}).ToInt(), 2);
}

TEST_F(KsProgram, LeftOperandIsReadBeforeTheRightRuns)
{
    auto *x = Var(&S, "x", tcInteger, KsValue(5));
    S.AddMethod(QStringLiteral("function Bump: Integer"),
                [&](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *) {
                    x->Value = KsValue(100);
                    return KsValue(1);
                });
    EXPECT_EQ(Eval(&S, {x, "+", Dsg(&S, {{C("Bump"), {}}})}).ToInt(), 6);
    x->Value = KsValue(5);
    EXPECT_TRUE(Eval(&S, {x, "<", Dsg(&S, {{C("Bump"), {}}}), "+", 10}).ToBool());
}

TEST_F(KsProgram, VeryDeepExpressionsAreRefused)
{
    auto *e = new TksExpression(&S);
    for (int i = 0; i < 5000; ++i) {
        e->AddConst(KsValue(1));
        e->AddOperator(QStringLiteral("-"));
        e->AddOperator(QStringLiteral("("));
    }
    e->AddConst(KsValue(1));
    EXPECT_THROW(e->Finish(), KsError);
    delete e;  // and freeing it does not recurse either
    std::unique_ptr<TksExpression> ok(new TksExpression(&S));
    for (int i = 0; i < 500; ++i) {
        ok->AddConst(KsValue(1));
        ok->AddOperator(QStringLiteral("+"));
    }
    ok->AddConst(KsValue(1));
    EXPECT_EQ(ok->Finish(), QString());
    EXPECT_EQ(ok->GetValue().ToInt(), 501);
}

TEST_F(KsProgram, TypesOfExpressions)
{
    std::unique_ptr<TksExpression> e(Expr(&S, {7, "/", 2}));
    EXPECT_EQ(e->TypeCode, tcFloat);
    EXPECT_DOUBLE_EQ(e->GetValue().ToDouble(), 3.5);
    e.reset(Expr(&S, {1, "+", 2.5}));
    EXPECT_EQ(e->TypeCode, tcFloat);
    e.reset(Expr(&S, {1, "<", 2}));
    EXPECT_EQ(e->TypeCode, tcBoolean);
    e.reset(Expr(&S, {Str("x"), "STRCAT", 1}));
    EXPECT_EQ(e->TypeCode, tcString);
    EXPECT_EQ(e->GetValue().ToString(), QStringLiteral("x1"));
    e.reset(Expr(&S, {1, "STRCAT", Str("x")}));
    EXPECT_EQ(e->TypeCode, tcString);
    EXPECT_THROW(e->GetValue(), KsError);  // no text on the left: an addition, and 'x' is no number
    // incompatible operands are found at build time, with the operator's position
    EXPECT_EQ(ExprError(&S, {true, "+", 1}), QStringLiteral("2:7"));
    EXPECT_EQ(ExprError(&S, {Str("a"), "-", Str("b")}), QStringLiteral("2:7"));
    EXPECT_EQ(ExprError(&S, {Str("a"), "*", 2}), QStringLiteral("2:7"));
    EXPECT_EQ(ExprError(&S, {"unminus", Str("a")}), QStringLiteral("2:7"));
    EXPECT_EQ(ExprError(&S, {true, "and", false}), QString());
    EXPECT_EQ(ExprError(&S, {Str("a"), "STRCAT", true}), QString());  // "&" takes any right-hand type
}

TEST_F(KsProgram, SetsAndIn)
{
    auto *x = Var(&S, "x", tcInteger);
    auto test = [&](int v) {
        x->Value = KsValue(v);
        return Eval(&S, {x, "in", Set(&S, {{1}, {3}, {".."}, {5}})}).ToBool();
    };
    EXPECT_TRUE(test(1));
    EXPECT_FALSE(test(2));
    EXPECT_TRUE(test(4));
    EXPECT_TRUE(test(5));
    EXPECT_FALSE(test(6));
    // a variable holding a set value
    auto *s = Var(&S, "s", tcVariant);
    std::unique_ptr<TksExpression> setValue(Expr(&S, {Set(&S, {{1}, {2}, {3}})}));
    s->Value = setValue->GetValue();
    x->Value = KsValue(3);
    EXPECT_TRUE(Eval(&S, {x, "in", s}).ToBool());
    x->Value = KsValue(4);
    EXPECT_FALSE(Eval(&S, {x, "in", s}).ToBool());
    s->Value = KsValue::MakeList({});
    EXPECT_FALSE(Eval(&S, {x, "in", s}).ToBool());
    s->Value = KsValue(5);
    std::unique_ptr<TksExpression> bad(Expr(&S, {x, "in", s}));
    EXPECT_THROW(bad->GetValue(), KsError);
}

TEST_F(KsProgram, SingleItemsAndWritability)
{
    auto *x = Var(&S, "x", tcInteger, KsValue(1));
    std::unique_ptr<TksExpression> one(Expr(&S, {x}));
    EXPECT_FALSE(one->ReadOnly);
    EXPECT_EQ(one->SingleItem(), x);
    one->SetValue(KsValue(5));
    EXPECT_EQ(x->Value.ToInt(), 5);
    std::unique_ptr<TksExpression> sum(Expr(&S, {x, "+", 1}));
    EXPECT_TRUE(sum->ReadOnly);
    EXPECT_EQ(sum->SingleItem(), nullptr);
    sum->SetValue(KsValue(9));
    EXPECT_EQ(x->Value.ToInt(), 5);
    std::unique_ptr<TksExpression> k(Expr(&S, {3}));
    ASSERT_NE(k->SingleItem(), nullptr);
    EXPECT_EQ(k->SingleItem()->GetValue().ToInt(), 3);
}

TEST_F(KsProgram, CompoundDetection)
{
    auto *x = Var(&S, "x", tcInteger, KsValue(1));
    auto *s = StrVar(&S, "s", "b");
    auto compound = [&](TksCustomVariable *v, std::initializer_list<Tok> toks) {
        std::unique_ptr<TksExpression> e(Expr(&S, toks));
        std::unique_ptr<TksDesignator> d(TksDesignator::ForVariable(&S, v));
        return e->OptimizeCompound(d.get());
    };
    EXPECT_EQ(compound(x, {x, "+", 2}), QStringLiteral("+"));
    EXPECT_EQ(compound(x, {x, "/", 2}), QStringLiteral("/"));
    EXPECT_EQ(compound(x, {2, "*", x}), QStringLiteral("*"));
    EXPECT_EQ(compound(x, {2, "-", x}), QStringLiteral(" "));
    EXPECT_EQ(compound(s, {Str("a"), "+", s}), QStringLiteral(" "));  // order matters for text
    EXPECT_EQ(compound(s, {s, "STRCAT", 1}), QStringLiteral(" "));    // "&" is never folded into "+"
    EXPECT_EQ(compound(x, {x, "+", 2, "*", 3}), QStringLiteral("+"));
    // the folded statement computes the same
    std::unique_ptr<TksExpression> e(Expr(&S, {x, "+", 2, "*", 3}));
    auto *d = TksDesignator::ForVariable(&S, x);
    ASSERT_EQ(e->OptimizeCompound(d), QStringLiteral("+"));
    TksAssignPlusStmt stmt(&S, QString(), QStringLiteral("1:1"), d, e.release());
    stmt.Execute();
    EXPECT_EQ(x->Value.ToInt(), 7);
}

// ---- statements --------------------------------------------------------------------------

TEST_F(KsProgram, IfCaseAndAssignments)
{
    auto *x = Var(&S, "x", tcInteger, KsValue(2));
    auto *r = StrVar(&S, "r");
    auto *ifs = new TksIfStmt(&S, QString(), QStringLiteral("1:1"), Expr(&S, {x, ">", 1}));
    ifs->Add(Assign(&S, r, Expr(&S, {Str("big")})));
    ifs->ElseStmt->Add(Assign(&S, r, Expr(&S, {Str("small")})));
    S.MainBlock->Add(ifs);
    auto *cs = new TksCaseStmt(&S, QString(), QStringLiteral("2:1"), Expr(&S, {x}));
    auto *sel1 = new TksCaseSelector(&S, QString(), QStringLiteral("3:1"), Set(&S, {{1}, {2}}));
    sel1->Add(Assign(&S, r, Expr(&S, {r, "+", Str(":a")})));
    auto *sel2 = new TksCaseSelector(&S, QString(), QStringLiteral("4:1"), Set(&S, {{2}, {".."}, {9}}));
    sel2->Add(Assign(&S, r, Expr(&S, {r, "+", Str(":b")})));
    cs->Add(sel1);
    cs->Add(sel2);
    cs->ElseStmt->Add(Assign(&S, r, Expr(&S, {r, "+", Str(":else")})));
    S.MainBlock->Add(cs);
    S.Execute();
    EXPECT_EQ(r->Value.ToString(), QStringLiteral("big:a"));  // only the first matching branch
    x->Value = KsValue(0);
    S.Execute();
    EXPECT_EQ(r->Value.ToString(), QStringLiteral("small:else"));
}

TEST_F(KsProgram, Loops)
{
    auto *i = Var(&S, "i", tcInteger);
    auto *n = Var(&S, "n", tcInteger, KsValue(0));
    auto count = [&]() { return Assign(&S, n, Expr(&S, {n, "+", 1})); };

    auto *f = new TksForStmt(&S, QString(), QStringLiteral("1:1"), i, Expr(&S, {5}), Expr(&S, {1}));
    f->Add(count());
    S.MainBlock->Add(f);
    S.Execute();
    EXPECT_EQ(n->Value.ToInt(), 0);  // 5 to 1 runs no pass
    S.MainBlock->Clear();

    f = new TksForStmt(&S, QString(), QStringLiteral("1:1"), i, Expr(&S, {1}), Expr(&S, {3}));
    f->Add(count());
    S.MainBlock->Add(f);
    S.Execute();
    EXPECT_EQ(n->Value.ToInt(), 3);
    EXPECT_EQ(i->Value.ToInt(), 3);  // the variable keeps the last value
    S.MainBlock->Clear();

    n->Value = KsValue(0);
    f = new TksForStmt(&S, QString(), QStringLiteral("1:1"), i, Expr(&S, {3}), Expr(&S, {1}), true);
    f->Add(Assign(&S, n, Expr(&S, {n, "*", 10, "+", i})));
    S.MainBlock->Add(f);
    S.Execute();
    EXPECT_EQ(n->Value.ToInt(), 321);
    S.MainBlock->Clear();

    // repeat until True runs once; do-while with a false condition runs once
    n->Value = KsValue(0);
    auto *rep = new TksRepeatStmt(&S, QString(), QStringLiteral("1:1"), Expr(&S, {true}));
    rep->Add(count());
    auto *dow = new TksRepeatStmt(&S, QString(), QStringLiteral("2:1"), Expr(&S, {false}), true);
    dow->Add(count());
    S.MainBlock->Add(rep);
    S.MainBlock->Add(dow);
    S.Execute();
    EXPECT_EQ(n->Value.ToInt(), 2);
    S.MainBlock->Clear();

    // while counts to 10; Basic for with a negative step; C-like for
    n->Value = KsValue(0);
    auto *w = new TksWhileStmt(&S, QString(), QStringLiteral("1:1"), Expr(&S, {n, "<", 10}));
    w->Add(count());
    S.MainBlock->Add(w);
    auto *sum = Var(&S, "sum", tcVariant, KsValue(0));
    auto *vb = new TksVbForStmt(&S, QString(), QStringLiteral("2:1"), i, Expr(&S, {10}), Expr(&S, {1}),
                                Expr(&S, {"unminus", 3}));
    vb->Add(Assign(&S, sum, Expr(&S, {sum, "*", 100, "+", i})));
    S.MainBlock->Add(vb);
    auto *cf = new TksCppForStmt(&S, QString(), QStringLiteral("3:1"));
    cf->FirstStmt->Add(Assign(&S, i, Expr(&S, {0})));
    cf->Expression.reset(Expr(&S, {i, "<", 4}));
    cf->SecondStmt->Add(new TksCallStmt(&S, QString(), QStringLiteral("3:20"), TksDesignator::ForVariable(&S, i),
                                        QStringLiteral("+")));
    cf->Add(count());
    S.MainBlock->Add(cf);
    S.Execute();
    EXPECT_EQ(n->Value.ToInt(), 14);
    EXPECT_EQ(sum->Value.ToInt(), 10070401);
    EXPECT_EQ(i->Value.ToInt(), 4);
}

TEST_F(KsProgram, BreakEndsOnlyTheInnerLoopAndContinueSkips)
{
    auto *i = Var(&S, "i", tcInteger);
    auto *j = Var(&S, "j", tcInteger);
    auto *log = StrVar(&S, "log");
    auto *outer = new TksForStmt(&S, QString(), QStringLiteral("1:1"), i, Expr(&S, {1}), Expr(&S, {3}));
    auto *inner = new TksForStmt(&S, QString(), QStringLiteral("2:1"), j, Expr(&S, {1}), Expr(&S, {3}));
    auto *brk = new TksIfStmt(&S, QString(), QStringLiteral("3:1"), Expr(&S, {j, "=", 2}));
    brk->Add(new TksBreakStmt(&S, QString(), QStringLiteral("3:20")));
    auto *cont = new TksIfStmt(&S, QString(), QStringLiteral("4:1"), Expr(&S, {i, "=", 2}));
    cont->Add(new TksContinueStmt(&S, QString(), QStringLiteral("4:20")));
    inner->Add(cont);
    inner->Add(brk);
    inner->Add(Assign(&S, log, Expr(&S, {log, "STRCAT", i, "STRCAT", j, "STRCAT", Str(" ")})));
    outer->Add(inner);
    outer->Add(Assign(&S, log, Expr(&S, {log, "STRCAT", Str("| ")})));
    S.MainBlock->Add(outer);
    S.Execute();
    EXPECT_EQ(log->Value.ToString(), QStringLiteral("11 | | 31 | "));
}

TEST_F(KsProgram, TryExceptCatchesRunTimeErrors)
{
    auto *x = Var(&S, "x", tcVariant);
    auto *after = Var(&S, "after", tcInteger, KsValue(0));
    auto *t = new TksTryStmt(&S, QString(), QStringLiteral("1:1"), true);
    t->Add(Assign(&S, x, Expr(&S, {1, "/", 0})));
    t->Add(Assign(&S, x, Expr(&S, {Str("not reached")})));
    t->ExceptStmt->Add(Assign(&S, after, Expr(&S, {1})));
    S.MainBlock->Add(t);
    S.MainBlock->Add(Assign(&S, after, Expr(&S, {after, "+", 10})));
    S.Execute();
    EXPECT_EQ(after->Value.ToInt(), 11);
    EXPECT_TRUE(x->Value.IsEmpty());
    EXPECT_EQ(C("ExceptionClassName")->Value.ToString(), QStringLiteral("EZeroDivide"));
    EXPECT_EQ(C("ExceptionMessage")->Value.ToString(), QStringLiteral("Floating point division by zero"));
}

TEST_F(KsProgram, TryFinallyRunsAndPassesTheErrorOn)
{
    auto *fin = Var(&S, "fin", tcInteger, KsValue(0));
    auto *t = new TksTryStmt(&S, QString(), QStringLiteral("1:1"), false);
    t->Add(Assign(&S, fin, Expr(&S, {Str("x"), "*", 2}), QStringLiteral("2:4")));
    t->ExceptStmt->Add(Assign(&S, fin, Expr(&S, {fin, "+", 1})));
    S.MainBlock->Add(t);
    try {
        S.Execute();
        FAIL();
    } catch (const KsError &e) {
        EXPECT_EQ(e.SourcePos, QStringLiteral("2:4"));  // the statement that raised it, not the try
    }
    EXPECT_EQ(fin->Value.ToInt(), 1);
    EXPECT_FALSE(S.Running);  // flags are reset on the way out
}

TEST_F(KsProgram, ExitInTryFinallyInLoopRunsFinallyThenLeaves)
{
    auto *p = Proc(&S, "P", tcVariant, false);
    TksScript *L = p->Prog;
    auto *log = StrVar(&S, "log");
    auto *i = Var(L, "i", tcInteger);
    auto *loop = new TksForStmt(L, QString(), QStringLiteral("1:1"), i, Expr(L, {1}), Expr(L, {5}));
    auto *t = new TksTryStmt(L, QString(), QStringLiteral("2:1"), false);
    auto *ifs = new TksIfStmt(L, QString(), QStringLiteral("3:1"), Expr(L, {i, "=", 2}));
    ifs->Add(new TksExitStmt(L, QString(), QStringLiteral("3:10")));
    t->Add(ifs);
    t->ExceptStmt->Add(Assign(L, log, Expr(L, {log, "STRCAT", i})));
    loop->Add(t);
    L->MainBlock->Add(loop);
    L->MainBlock->Add(Assign(L, log, Expr(L, {log, "STRCAT", Str("end")})));
    S.MainBlock->Add(Call(&S, Dsg(&S, {{p, {}}})));
    S.MainBlock->Add(Assign(&S, log, Expr(&S, {log, "STRCAT", Str("!")})));
    S.Execute();
    EXPECT_EQ(log->Value.ToString(), QStringLiteral("12!"));
}

TEST_F(KsProgram, RunLineFiresPerStatementNotPerPass)
{
    auto *i = Var(&S, "i", tcInteger);
    auto *x = Var(&S, "x", tcInteger, KsValue(0));
    QStringList lines;
    S.OnRunLine = [&](TksScript *, const QString &, const QString &pos) { lines << pos; };
    auto *loop = new TksForStmt(&S, QString(), QStringLiteral("1:1"), i, Expr(&S, {1}), Expr(&S, {2}));
    loop->Add(Assign(&S, x, Expr(&S, {x, "+", 1}), QStringLiteral("2:1")));
    loop->Add(new TksBreakStmt(&S, QString(), QStringLiteral("3:1")));
    S.MainBlock->Add(loop);
    auto *w = new TksWithStmt(&S, QString(), QStringLiteral("4:1"), TksDesignator::ForVariable(&S, x), Var(&S, "0"));
    S.MainBlock->Add(w);
    auto *t = new TksTryStmt(&S, QString(), QStringLiteral("5:1"), true);
    t->Add(new TksContinueStmt(&S, QString(), QStringLiteral("6:1")));
    S.MainBlock->Add(t);
    S.MainBlock->Add(new TksExitStmt(&S, QString(), QStringLiteral("7:1")));
    S.Execute();
    EXPECT_EQ(lines, QStringList({"1:1", "2:1", "5:1"}));  // the stray continue ends the block like exit
    EXPECT_EQ(x->Value.ToInt(), 1);
}

TEST_F(KsProgram, TerminateFromRunLineStopsAtTheNextStatement)
{
    auto *x = Var(&S, "x", tcInteger, KsValue(0));
    auto *p = Proc(&S, "P", tcVariant, false);
    auto *i = Var(p->Prog, "i", tcInteger);
    auto *loop = new TksWhileStmt(p->Prog, QString(), QStringLiteral("10:1"), Expr(p->Prog, {true}));
    loop->Add(Assign(p->Prog, x, Expr(p->Prog, {x, "+", 1}), QStringLiteral("11:1")));
    loop->Add(Assign(p->Prog, i, Expr(p->Prog, {x}), QStringLiteral("12:1")));
    p->Prog->MainBlock->Add(loop);
    S.MainBlock->Add(Call(&S, Dsg(&S, {{p, {}}}), QStringLiteral("1:1")));
    S.MainBlock->Add(Assign(&S, x, Expr(&S, {x, "+", 1000}), QStringLiteral("2:1")));
    int seen = 0;
    S.OnRunLine = [&](TksScript *sender, const QString &, const QString &pos) {
        ++seen;
        if (pos == QLatin1String("11:1") && x->Value.ToInt() == 3) {
            EXPECT_EQ(sender, p->Prog);  // the sender is the statement's own script
            S.Terminate();
        }
    };
    S.Execute();
    EXPECT_EQ(x->Value.ToInt(), 3);  // the terminated assignment did not run, nothing after it did
    EXPECT_FALSE(S.Terminated);
    // the next run is normal
    S.OnRunLine = nullptr;
    S.MainBlock->Clear();
    S.MainBlock->Add(Assign(&S, x, Expr(&S, {x, "+", 1000})));
    S.Execute();
    EXPECT_EQ(x->Value.ToInt(), 1003);
    EXPECT_GT(seen, 5);
}

TEST_F(KsProgram, StrayBreakDoesNotStopTheNextCall)
{
    auto *x = Var(&S, "x", tcInteger, KsValue(0));
    auto *y = Var(&S, "y", tcInteger, KsValue(0));
    // y := y + 1; if y = 1 then <stray>; x := x + 10
    auto body = [&](TksScript *L, TksStatement *stray) {
        L->MainBlock->Add(Assign(L, y, Expr(L, {y, "+", 1})));
        auto *ifs = new TksIfStmt(L, QString(), QStringLiteral("2:1"), Expr(L, {y, "=", 1}));
        ifs->Add(stray);
        L->MainBlock->Add(ifs);
        L->MainBlock->Add(Assign(L, x, Expr(L, {x, "+", 10})));
    };
    auto *p = Proc(&S, "P", tcVariant, false);
    body(p->Prog, new TksBreakStmt(p->Prog, QString(), QStringLiteral("2:20")));
    S.CallFunction(QStringLiteral("P"));
    EXPECT_EQ(x->Value.ToInt(), 0);
    S.CallFunction(QStringLiteral("P"));
    EXPECT_EQ(x->Value.ToInt(), 10);  // the break of the first call is gone
    // the same for Execute and a stray continue
    x->Value = KsValue(0);
    y->Value = KsValue(0);
    body(&S, new TksContinueStmt(&S, QString(), QStringLiteral("2:20")));
    S.Execute();
    EXPECT_EQ(x->Value.ToInt(), 0);
    S.Execute();
    EXPECT_EQ(x->Value.ToInt(), 10);
}

// ---- procedures -------------------------------------------------------------------------

TksProcVariable *MakeFib(TksScript *s)
{
    auto *fib = Proc(s, "fib", tcInteger);
    auto *n = Param(fib, "n", tcInteger);
    TksScript *L = fib->Prog;
    auto *ifs = new TksIfStmt(L, QString(), QStringLiteral("2:3"), Expr(L, {n, "<", 2}));
    ifs->Add(Assign(L, fib->ResultVar, Expr(L, {n})));
    ifs->ElseStmt->Add(
            Assign(L, fib->ResultVar,
                   Expr(L, {Dsg(L, {{fib, {Expr(L, {n, "-", 1})}}}), "+", Dsg(L, {{fib, {Expr(L, {n, "-", 2})}}})})));
    L->MainBlock->Add(ifs);
    return fib;
}

TEST_F(KsProgram, RecursionKeepsLocals)
{
    MakeFib(&S);
    EXPECT_EQ(S.CallFunction(QStringLiteral("fib"), KsValue::MakeList({KsValue(20)})).ToInt(), 6765);
    // f(n): local k := n; if n > 0 then f(n-1); Result := k  -- k survives the inner call
    auto *f = Proc(&S, "f", tcInteger);
    auto *n = Param(f, "n", tcInteger);
    auto *k = Var(f->Prog, "k", tcInteger);
    TksScript *L = f->Prog;
    L->MainBlock->Add(Assign(L, k, Expr(L, {n, "*", 10})));
    auto *ifs = new TksIfStmt(L, QString(), QStringLiteral("1:1"), Expr(L, {n, ">", 0}));
    ifs->Add(Call(L, Dsg(L, {{f, {Expr(L, {n, "-", 1})}}})));
    L->MainBlock->Add(ifs);
    L->MainBlock->Add(Assign(L, f->ResultVar, Expr(L, {k, "+", n})));
    EXPECT_EQ(S.CallFunction(QStringLiteral("f"), KsValue::MakeList({KsValue(3)})).ToInt(), 33);
}

TEST_F(KsProgram, DeepRecursionRaisesACatchableError)
{
    auto *f = Proc(&S, "endless", tcInteger);
    auto *n = Param(f, "n", tcInteger);
    TksScript *L = f->Prog;
    L->MainBlock->Add(Assign(L, f->ResultVar, Expr(L, {Dsg(L, {{f, {Expr(L, {n, "+", 1})}}})})));
    auto *r = Var(&S, "r", tcVariant);
    auto *t = new TksTryStmt(&S, QString(), QStringLiteral("1:1"), true);
    t->Add(Assign(&S, r, Expr(&S, {Dsg(&S, {{f, {Expr(&S, {0})}}})})));
    t->ExceptStmt->Add(Assign(&S, r, Expr(&S, {Str("caught")})));
    S.MainBlock->Add(t);
    S.Execute();
    EXPECT_EQ(r->Value.ToString(), QStringLiteral("caught"));
    EXPECT_EQ(C("ExceptionClassName")->Value.ToString(), QStringLiteral("EStackOverflow"));
    EXPECT_FALSE(f->Executing);
    // the engine is usable afterwards
    MakeFib(&S);
    EXPECT_EQ(S.CallFunction(QStringLiteral("fib"), KsValue::MakeList({KsValue(10)})).ToInt(), 55);
}

TEST_F(KsProgram, VarAndDefaultParameters)
{
    // procedure Swap(var a, b); var t; begin t := a; a := b; b := t end;
    auto *sw = Proc(&S, "Swap", tcVariant, false);
    auto *a = Param(sw, "a", tcVariant, true);
    auto *b = Param(sw, "b", tcVariant, true);
    auto *t = Var(sw->Prog, "t");
    TksScript *L = sw->Prog;
    L->MainBlock->Add(Assign(L, t, Expr(L, {a})));
    L->MainBlock->Add(Assign(L, a, Expr(L, {b})));
    L->MainBlock->Add(Assign(L, b, Expr(L, {t})));
    auto *x = Var(&S, "x", tcVariant, KsValue(1));
    auto *y = Var(&S, "y", tcVariant, Str("two"));
    S.MainBlock->Add(Call(&S, Dsg(&S, {{sw, {Expr(&S, {x}), Expr(&S, {y})}}})));
    // function AddTo(v: Integer; step: Integer = 5): Integer
    auto *add = Proc(&S, "AddTo", tcInteger);
    auto *v = Param(add, "v", tcInteger);
    auto *step = Param(add, "step", tcInteger, false, true, KsValue(5));
    add->Prog->MainBlock->Add(Assign(add->Prog, add->ResultVar, Expr(add->Prog, {v, "+", step})));
    EXPECT_EQ(add->RequiredCount(), 1);
    auto *r = Var(&S, "r");
    TksDesignator *call = Dsg(&S, {{add, {Expr(&S, {1})}}});
    ASSERT_TRUE(ksAddDefaultArgs(call->Link(0), &S));
    S.MainBlock->Add(Assign(&S, r, Expr(&S, {call})));
    S.Execute();
    EXPECT_EQ(x->Value.ToString(), QStringLiteral("two"));
    EXPECT_EQ(y->Value.ToInt(), 1);
    EXPECT_EQ(r->Value.ToInt(), 6);
    // CallFunctionVar hands var parameters back to the host
    KsValue params = KsValue::MakeList({KsValue(7), KsValue(8)});
    S.CallFunctionVar(QStringLiteral("Swap"), params);
    EXPECT_EQ(params.Element(0).ToInt(), 8);
    EXPECT_EQ(params.Element(1).ToInt(), 7);
    EXPECT_TRUE(S.CallFunction(QStringLiteral("NoSuchProc"), params).IsEmpty());
    EXPECT_TRUE(S.CallFunction(QStringLiteral("x"), params).IsEmpty());
}

TEST_F(KsProgram, VarParameterOfARecursiveCallReachesTheCaller)
{
    // procedure Count(n; var total): if n > 0 then begin Count(n-1, local); total := local + n end
    auto *p = Proc(&S, "Sum", tcVariant, false);
    auto *n = Param(p, "n", tcInteger);
    auto *total = Param(p, "total", tcInteger, true);
    auto *local = Var(p->Prog, "local", tcInteger, KsValue(0));
    TksScript *L = p->Prog;
    L->MainBlock->Add(Assign(L, local, Expr(L, {0})));
    auto *ifs = new TksIfStmt(L, QString(), QStringLiteral("1:1"), Expr(L, {n, ">", 0}));
    ifs->Add(Call(L, Dsg(L, {{p, {Expr(L, {n, "-", 1}), Expr(L, {local})}}})));
    L->MainBlock->Add(ifs);
    L->MainBlock->Add(Assign(L, total, Expr(L, {local, "+", n})));
    KsValue params = KsValue::MakeList({KsValue(4), KsValue(0)});
    S.CallFunctionVar(QStringLiteral("Sum"), params);
    EXPECT_EQ(params.Element(1).ToInt(), 10);
}

TEST_F(KsProgram, MacroFunctionsReceiveTheArgumentText)
{
    QString got;
    S.AddMethod(QStringLiteral("macrofunction M(Expr: Variant): Variant"),
                [&](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *h) {
                    got = h->GetParam(0).ToString();
                    return KsValue(0);
                });
    auto *a = Var(&S, "a", tcInteger, KsValue(1));
    TksExpression *arg = Expr(&S, {a, "+", 1});
    arg->SetSource(QStringLiteral("a + b"));
    S.MainBlock->Add(Call(&S, Dsg(&S, {{C("M"), {arg}}})));
    S.Execute();
    EXPECT_EQ(got, QStringLiteral("a + b"));
}

// ---- designators -----------------------------------------------------------------------------

TEST_F(KsProgram, StringCharacters)
{
    auto *s = StrVar(&S, "s", "abc");
    auto *helper = C("__StringHelper");
    TksDesignator *d = Dsg(&S, {{s, {}}, {helper, {Expr(&S, {2})}}});
    EXPECT_EQ(d->Kind, TksDesignator::dkStringChar);
    EXPECT_EQ(d->TypeCode, tcChar);
    S.MainBlock->Add(Assign(&S, d, Expr(&S, {Str("X")})));
    S.Execute();
    EXPECT_EQ(s->Value.ToString(), QStringLiteral("aXc"));
    EXPECT_EQ(Eval(&S, {Dsg(&S, {{s, {}}, {helper, {Expr(&S, {3})}}})}).ToString(), QStringLiteral("c"));
    // out of range: catchable errors, reading and writing
    std::unique_ptr<TksExpression> bad(Expr(&S, {Dsg(&S, {{s, {}}, {helper, {Expr(&S, {4})}}})}));
    EXPECT_THROW(bad->GetValue(), KsError);
    std::unique_ptr<TksExpression> zero(Expr(&S, {Dsg(&S, {{s, {}}, {helper, {Expr(&S, {0})}}})}));
    EXPECT_THROW(zero->GetValue(), KsError);
    TksAssignmentStmt w(&S, QString(), QStringLiteral("1:1"), Dsg(&S, {{s, {}}, {helper, {Expr(&S, {9})}}}),
                        Expr(&S, {Str("Z")}));
    EXPECT_THROW(w.Execute(), KsError);
    EXPECT_EQ(s->Value.ToString(), QStringLiteral("aXc"));
    // through a variant variable: the general chain with the string helper
    auto *v = Var(&S, "v", tcVariant, Str("xyz"));
    TksDesignator *g = Dsg(&S, {{v, {}}, {helper, {Expr(&S, {1})}}});
    EXPECT_EQ(g->Kind, TksDesignator::dkGeneral);
    TksAssignmentStmt gs(&S, QString(), QStringLiteral("1:1"), g, Expr(&S, {Str("Q")}));
    gs.Execute();
    EXPECT_EQ(v->Value.ToString(), QStringLiteral("Qyz"));
}

TEST_F(KsProgram, ArrayElements)
{
    auto *a = Var(&S, "a", tcArray);
    a->Value = KsValue::MakeArray({KsBounds{0, 3}, KsBounds{1, 2}});
    auto *helper = new TksArrayHelper(QString(), tcVariant, QStringLiteral("Variant"), 2);
    S.Add(QString(), helper);
    a->ResultVar = helper;
    auto *i = Var(&S, "i", tcInteger);
    auto *j = Var(&S, "j", tcInteger);
    auto cell = [&]() { return Dsg(&S, {{a, {}}, {helper, {Expr(&S, {i}), Expr(&S, {j})}}}); };
    TksDesignator *d = cell();
    EXPECT_EQ(d->Kind, TksDesignator::dkArrayElement);
    delete d;
    auto *outer = new TksForStmt(&S, QString(), QStringLiteral("1:1"), i, Expr(&S, {0}), Expr(&S, {2}));
    auto *inner = new TksForStmt(&S, QString(), QStringLiteral("2:1"), j, Expr(&S, {1}), Expr(&S, {2}));
    inner->Add(Assign(&S, cell(), Expr(&S, {i, "*", 10, "+", j})));
    outer->Add(inner);
    S.MainBlock->Add(outer);
    S.Execute();
    i->Value = KsValue(2);
    j->Value = KsValue(1);
    EXPECT_EQ(Eval(&S, {cell()}).ToInt(), 21);
    j->Value = KsValue(0);
    std::unique_ptr<TksExpression> bad(Expr(&S, {cell()}));
    EXPECT_THROW(bad->GetValue(), KsError);
    // a copy is a value, not a reference
    auto *b = Var(&S, "b", tcVariant);
    TksAssignmentStmt copy(&S, QString(), QStringLiteral("1:1"), TksDesignator::ForVariable(&S, b), Expr(&S, {a}));
    copy.Execute();
    j->Value = KsValue(1);
    TksAssignmentStmt change(&S, QString(), QStringLiteral("1:1"), cell(), Expr(&S, {0}));
    change.Execute();
    qint64 idx[2] = {2, 1};
    EXPECT_EQ(b->Value.At(idx, 2).ToInt(), 21);
    EXPECT_EQ(a->Value.At(idx, 2).ToInt(), 0);
    // the open helper on a variant array (general chain)
    auto *open = C("__ArrayHelper");
    TksDesignator *g = Dsg(&S, {{b, {}}, {open, {Expr(&S, {2}), Expr(&S, {1})}}});
    EXPECT_EQ(g->Kind, TksDesignator::dkGeneral);
    TksAssignmentStmt gw(&S, QString(), QStringLiteral("1:1"), g, Expr(&S, {Str("w")}));
    gw.Execute();
    EXPECT_EQ(b->Value.At(idx, 2).ToString(), QStringLiteral("w"));
}

TEST_F(KsProgram, LateDesignatorsResolveOnFirstUse)
{
    auto *x = Var(&S, "x", tcInteger, KsValue(4));
    int compiled = 0;
    TksDesignator::LateCompiler = [&](TksScript *prog, TksXMLItem *node) {
        ++compiled;
        EXPECT_EQ(node->Prop(QStringLiteral("text")), QStringLiteral("x"));
        return TksDesignator::ForVariable(prog, prog->Find(node->Prop(QStringLiteral("text"))));
    };
    auto *d = new TksDesignator(&S);
    d->LateXML = std::make_unique<TksXMLItem>();
    d->LateXML->SetProp(QStringLiteral("text"), QStringLiteral("x"));
    std::unique_ptr<TksExpression> e(Expr(&S, {d, "*", 2}));
    EXPECT_EQ(e->GetValue().ToInt(), 8);
    EXPECT_EQ(e->GetValue().ToInt(), 8);
    EXPECT_EQ(compiled, 1);
    EXPECT_EQ(d->Kind, TksDesignator::dkVariable);
    EXPECT_EQ(d->Variable, x);
    // without a compiler the first use is a catchable error
    TksDesignator::LateCompiler = nullptr;
    TksDesignator late(&S);
    late.LateXML = std::make_unique<TksXMLItem>();
    late.LateXML->SetProp(QStringLiteral("text"), QStringLiteral("y"));
    EXPECT_THROW(late.GetValue(), KsError);
}

TEST_F(KsProgram, RunningProcIsTheScopeOfTheRunningProcedure)
{
    auto *p = Proc(&S, "P", tcVariant, false);
    TksScript *seen = nullptr;
    S.AddMethod(QStringLiteral("procedure Probe"),
                [&](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *) {
                    seen = S.RunningProc;
                    return KsValue();
                });
    p->Prog->MainBlock->Add(Call(p->Prog, Dsg(p->Prog, {{S.Find(QStringLiteral("Probe")), {}}})));
    S.MainBlock->Add(Call(&S, Dsg(&S, {{p, {}}})));
    S.Execute();
    EXPECT_EQ(seen, p->Prog);
    EXPECT_EQ(S.RunningProc, nullptr);
    EXPECT_TRUE(S.IsMainProgram);
}

TEST_F(KsProgram, ReturnAssignsResultAndLeaves)
{
    // function Sign(v): Integer; begin if v < 0 then begin Result := -1; exit end; Result := 1 end
    auto *f = Proc(&S, "Sign", tcInteger);
    auto *v = Param(f, "v", tcInteger);
    TksScript *L = f->Prog;
    auto *ifs = new TksIfStmt(L, QString(), QStringLiteral("1:1"), Expr(L, {v, "<", 0}));
    ifs->Add(Assign(L, f->ResultVar, Expr(L, {"unminus", 1})));
    ifs->Add(new TksExitStmt(L, QString(), QStringLiteral("1:30")));
    L->MainBlock->Add(ifs);
    L->MainBlock->Add(Assign(L, f->ResultVar, Expr(L, {1})));
    EXPECT_EQ(S.CallFunction(QStringLiteral("sign"), KsValue::MakeList({KsValue(-5)})).ToInt(), -1);
    EXPECT_EQ(S.CallFunction(QStringLiteral("SIGN"), KsValue::MakeList({KsValue(5)})).ToInt(), 1);
}

TEST_F(KsProgram, WithIsAndCaseOnText)
{
    QObject obj;
    S.AddClass(ksRegisterClass(&QObject::staticMetaObject), QString());
    auto *o = S.AddObject(QStringLiteral("o"), &obj);
    auto *hidden = Var(&S, "0");
    S.MainBlock->Add(new TksWithStmt(&S, QString(), QStringLiteral("1:1"), TksDesignator::ForVariable(&S, o), hidden));
    S.Execute();
    EXPECT_EQ(hidden->Value.ToObject(), &obj);
    auto *cls = S.FindClass(QStringLiteral("QObject"));
    EXPECT_TRUE(Eval(&S, {o, "is", Dsg(&S, {{cls, {}}})}).ToBool());
    auto *nothing = Var(&S, "nothing", tcVariant, KsValue::Null());
    EXPECT_FALSE(Eval(&S, {nothing, "is", Dsg(&S, {{cls, {}}})}).ToBool());

    auto *t = StrVar(&S, "t", "启用");
    auto *r = Var(&S, "r", tcInteger, KsValue(0));
    auto *cs = new TksCaseStmt(&S, QString(), QStringLiteral("2:1"), Expr(&S, {t}));
    auto *sel = new TksCaseSelector(&S, QString(), QStringLiteral("3:1"), Set(&S, {{Str("停用")}, {Str("启用")}}));
    sel->Add(Assign(&S, r, Expr(&S, {1})));
    cs->Add(sel);
    S.MainBlock->Clear();
    S.MainBlock->Add(cs);
    S.Execute();
    EXPECT_EQ(r->Value.ToInt(), 1);
}

// ---- the script object ---------------------------------------------------------------------------

// Loops and ifs ask a condition for a Boolean directly; it must answer as its
// value converted to Boolean would, errors included.
TEST_F(KsProgram, ConditionsAnswerAsTheirValueWould)
{
    auto *a = Var(&S, "a");
    auto *b = Var(&S, "b");
    const KsValue values[] = {KsValue(2),   KsValue(qint64(5000000000LL)),
                              KsValue(2.0), Str("2"),
                              Str("abc"),   KsValue::Null(),
                              KsValue(),    KsValue(true),
                              KsValue(-3),  KsValue::FromDate(2.5)};
    const char *ops[] = {"<", "<=", ">", ">=", "=", "<>", "+", "and"};
    for (const char *op : ops) {
        std::unique_ptr<TksExpression> e(Expr(&S, {a, op, b}));
        for (const KsValue &x : values)
            for (const KsValue &y : values) {
                a->Value = x;
                b->Value = y;
                bool asValue = false, asBool = false, valueFailed = false, boolFailed = false;
                try {
                    asValue = e->GetValue().ToBool();
                } catch (const KsError &) {
                    valueFailed = true;
                }
                try {
                    asBool = e->GetBool();
                } catch (const KsError &) {
                    boolFailed = true;
                }
                const std::string what = x.ToText().toStdString() + " " + op + " " + y.ToText().toStdString();
                EXPECT_EQ(boolFailed, valueFailed) << what;
                if (!valueFailed && !boolFailed) EXPECT_EQ(asBool, asValue) << what;
            }
    }
}

TEST_F(KsProgram, NameTable)
{
    int which = 0;
    S.AddMethod(QStringLiteral("function x: Integer"),
                [&](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *) {
                    which = 1;
                    return KsValue(1);
                });
    S.AddMethod(QStringLiteral("function x: Integer"),
                [&](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *) {
                    which = 2;
                    return KsValue(2);
                });
    EXPECT_EQ(S.Find(QStringLiteral("X"))->GetValue().ToInt(), 2);
    TksScript child;
    child.Parent = &S;
    EXPECT_NE(child.Find(QStringLiteral("x")), nullptr);
    EXPECT_EQ(child.FindLocal(QStringLiteral("x")), nullptr);
    EXPECT_EQ(S.AddVariable(QStringLiteral("True"), QStringLiteral("Integer"), KsValue(1)), nullptr);
    EXPECT_NE(S.Find(QStringLiteral("integer")), nullptr);
    EXPECT_EQ(S.FindLocal(QString()), nullptr);  // modules are never found
}

TEST_F(KsProgram, ClearKeepsBindingsAndClearItemsRemovesAnOwnersItems)
{
    const int bindings = S.Count();
    int owner = 0;
    S.AddedBy = &owner;
    S.AddVariable(QStringLiteral("mine"), QStringLiteral("Integer"), KsValue(1));
    S.AddedBy = nullptr;
    S.AddVariable(QStringLiteral("other"), QStringLiteral("Integer"), KsValue(2));
    S.ClearItems(&owner);
    EXPECT_EQ(S.Find(QStringLiteral("mine")), nullptr);
    EXPECT_NE(S.Find(QStringLiteral("other")), nullptr);
    S.Clear();
    EXPECT_EQ(S.Find(QStringLiteral("other")), nullptr);
    EXPECT_EQ(S.Count(), bindings);
    EXPECT_NE(S.Find(QStringLiteral("True")), nullptr);
    S.ClearRTTI();
    EXPECT_EQ(S.Count(), 0);
    S.AddRTTI();
    EXPECT_EQ(S.Count(), bindings);
}

TEST(KsModules, RegisteredModulesBindInOrderAndSurviveClear)
{
    QStringList order;
    struct Probe : TksRTTIModule {
        Probe(TksScript *s, QStringList &order, const QString &name) : TksRTTIModule(s)
        {
            order << name;
            s->AddVariable(name, QStringLiteral("Integer"), KsValue(order.size()));
        }
    };
    ksRegisterModule(QStringLiteral("ProbeA"),
                     [&](TksScript *s) { return new Probe(s, order, QStringLiteral("ProbeA")); });
    ksRegisterModule(QStringLiteral("ProbeB"),
                     [&](TksScript *s) { return new Probe(s, order, QStringLiteral("ProbeB")); });
    EXPECT_EQ(ksRegisteredModules().first(), QStringLiteral("TksSysFunctions"));
    {
        TksScript s;
        s.AddRTTI();
        s.AddRTTI();  // once only
        EXPECT_EQ(order, QStringList({"ProbeA", "ProbeB"}));
        EXPECT_NE(s.Find(QStringLiteral("True")), nullptr);  // the built-in module came first
        EXPECT_EQ(s.Find(QStringLiteral("ProbeB"))->AddedBy, ksBindingTag);
        s.Clear();
        EXPECT_NE(s.Find(QStringLiteral("ProbeA")), nullptr);
        s.ClearRTTI();
        EXPECT_EQ(s.Find(QStringLiteral("ProbeA")), nullptr);
    }
    ksUnregisterModule(QStringLiteral("ProbeA"));
    ksUnregisterModule(QStringLiteral("ProbeB"));
    EXPECT_FALSE(ksRegisteredModules().contains(QStringLiteral("ProbeA")));
    EXPECT_FALSE(ksRegisteredModules().contains(QStringLiteral("ProbeB")));
}

TEST_F(KsProgram, EnumsConstantsAndExecutableLines)
{
    S.AddEnum(QStringLiteral("TAlign"), QStringLiteral("alLeft, alRight,alClient"));
    S.AddEnumSet(QStringLiteral("TStyles"), QStringLiteral("fsBold,fsItalic"));
    EXPECT_EQ(C("alClient")->Value.ToInt(), 2);
    EXPECT_EQ(C("fsItalic")->Value.ToInt(), 2);
    EXPECT_TRUE(C("alClient")->ReadOnly);
    EXPECT_EQ(C("TAlign")->TypeCode, tcEnum);
    TksVariable *k = S.AddConst(QStringLiteral("K"), QStringLiteral("Extended"), KsValue(1.5));
    EXPECT_EQ(k->TypeCode, tcFloat);
    k->SetValue(KsValue(3));
    EXPECT_DOUBLE_EQ(k->Value.ToDouble(), 1.5);
    S.AddExecutableLine(QString(), QStringLiteral("3:5"));
    S.AddExecutableLine(QString(), QStringLiteral("3:9"));
    S.AddExecutableLine(QString(), QStringLiteral("7:1"));
    S.AddExecutableLine(QStringLiteral("u"), QStringLiteral("2:1"));
    EXPECT_EQ(S.ExecutableLines, QStringList({"=,3,7", "u=,2"}));
    // the list as the host changed it is what counts
    S.ExecutableLines = QStringList({QStringLiteral("u=,2,9"), QStringLiteral("=,3")});
    S.AddExecutableLine(QStringLiteral("u"), QStringLiteral("9:1"));
    S.AddExecutableLine(QString(), QStringLiteral("7:1"));
    S.AddExecutableLine(QString(), QStringLiteral("3:2"));
    EXPECT_EQ(S.ExecutableLines, QStringList({"u=,2,9", "=,3,7"}));
    S.ExecutableLines.clear();
    S.AddExecutableLine(QString(), QStringLiteral("3:5"));
    EXPECT_EQ(S.ExecutableLines, QStringList({"=,3"}));
    // a line met again after others, and numbers written another way, stay
    // as they were written
    S.AddExecutableLine(QString(), QStringLiteral("4:1"));
    S.AddExecutableLine(QString(), QStringLiteral("3:9"));
    S.AddExecutableLine(QString(), QStringLiteral("03:1"));
    S.AddExecutableLine(QString(), QStringLiteral("03:2"));
    S.AddExecutableLine(QString(), QStringLiteral("9999999999:1"));
    S.AddExecutableLine(QString(), QStringLiteral("5000000:1"));
    S.AddExecutableLine(QString(), QStringLiteral("5000000:7"));
    EXPECT_EQ(S.ExecutableLines, QStringList({"=,3,4,03,9999999999,5000000"}));
}

TEST_F(KsProgram, CompileWithoutACompilerReportsTheLanguage)
{
    S.SyntaxType = QStringLiteral("Nope");
    EXPECT_FALSE(S.Compile());
    EXPECT_EQ(S.ErrorMsg, QStringLiteral("Language 'Nope' not found"));
    ksSetCompileHook([](TksScript *s) {
        if (s->Lines.isEmpty()) s->ErrorMsg = QStringLiteral("empty");
    });
    S.Lines << QStringLiteral("begin end.");
    EXPECT_TRUE(S.Compile());
    S.Lines.clear();
    EXPECT_FALSE(S.Compile());
    ksSetCompileHook(nullptr);
}

// ---- stopping a run from outside ---------------------------------------------------------

// Runs `text` with a host procedure Tick that asks for a stop on its
// `stopAt`-th call (0: never) and Out(V); returns the Out lines.
QStringList RunStopped(const char *lang, const char *text, int stopAt, int *ticks = nullptr)
{
    TksScript s;
    s.AddRTTI();
    QStringList out;
    int n = 0;
    s.AddMethod(QStringLiteral("procedure Tick"),
                [&](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *) {
                    if (++n == stopAt) ksRequestStop();
                    return KsValue();
                });
    s.AddMethod(QStringLiteral("procedure Out(V: Variant)"),
                [&](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *h) {
                    out << h->GetParam(0).ToText();
                    return KsValue();
                });
    s.SyntaxType = QLatin1String(lang);
    s.Lines = QString::fromLatin1(text).split(QLatin1Char('\n'));
    EXPECT_TRUE(s.Compile()) << s.ErrorMsg.toStdString();
    EXPECT_NO_THROW(s.Execute());
    if (ticks) *ticks = n;
    return out;
}

// A program that would never end stops at the next loop turn or call after
// a host asks: in every kind of loop and language, through a script's
// try-except, and without an error. The next run is normal.
TEST(KsStop, LoopsAndCallsStopWhenTheHostAsks)
{
    const struct {
        const char *Lang, *Text;
    } cases[] = {
            {"PascalScript", "begin try while True do Tick except Out('caught') end; Out('after') end."},
            {"PascalScript", "var i: Integer; begin for i := 1 to 2000000000 do Tick; Out('after') end."},
            {"PascalScript", "begin repeat Tick until False; Out('after') end."},
            {"PascalScript",
             "procedure P; begin Tick end;\nprocedure Q; begin P; P end;\nbegin while True do try Q finally end end."},
            {"C++Script", "{ int i; for (i = 0; i < 1; i = 0) { Tick(); } Out(\"after\"); }"},
            {"C++Script", "{ do { Tick(); } while (true); }"},
            {"JScript", "while (true) { try { Tick(); } except { Out(\"caught\"); } }"},
            {"BasicScript", "Dim i\nFor i = 1 To 2000000000\n  Tick\nNext\nOut(\"after\")"},
            {"BasicScript", "While True\n  Tick\nWend"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Text);
        int ticks = 0;
        EXPECT_EQ(RunStopped(c.Lang, c.Text, 1000, &ticks), QStringList());
        EXPECT_EQ(ticks, 1000);
        EXPECT_FALSE(ksStopRequested());
    }
    // asked while nothing runs: the next run is not stopped
    ksRequestStop();
    int ticks = 0;
    EXPECT_EQ(RunStopped("PascalScript", "var i: Integer; begin for i := 1 to 5 do Tick; Out('done') end.", 0, &ticks),
              QStringList({"done"}));
    EXPECT_EQ(ticks, 5);
}

// An empty endless loop runs no statement and calls nothing; the poll hook
// lets a timer (a stop button, Esc) ask for the stop while it runs.
TEST(KsStop, AnEmptyEndlessLoopStopsFromATimer)
{
    const TksPollHook saved = ksSetPollHook([] { QCoreApplication::processEvents(); });
    for (const char *text : {"begin while True do ; end.", "begin repeat until False end."}) {
        SCOPED_TRACE(text);
        QTimer::singleShot(10, [] { ksRequestStop(); });
        EXPECT_EQ(RunStopped("PascalScript", text, 0), QStringList());
    }
    ksSetPollHook(saved);
}

}  // namespace
