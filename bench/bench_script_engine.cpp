// Recursive Fibonacci and a summing loop, built through the engine's API as
// the compiler builds them, against Lua 5.4 running the same code in the same
// process. Counter ratio_vs_lua = engine time / Lua time (target: <= 3, see
// ksbench::kTargetRatio).
#include "script/ks_istatements.h"

#include "bench_script_lua.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {
using namespace ksbench;

TksExpression *Finish(TksExpression *e)
{
    e->Finish();
    return e;
}

TksExpression *VarExpr(TksScript *s, TksCustomVariable *v)
{
    auto *e = new TksExpression(s);
    e->AddDesignator(TksDesignator::ForVariable(s, v));
    return Finish(e);
}

// v op k, k an integer constant
TksExpression *VarOpConst(TksScript *s, TksCustomVariable *v, const char *op, int k)
{
    auto *e = new TksExpression(s);
    e->AddDesignator(TksDesignator::ForVariable(s, v));
    e->AddOperator(QString::fromLatin1(op));
    e->AddConst(KsValue(k));
    return Finish(e);
}

TksDesignator *CallOf(TksScript *s, TksProcVariable *p, TksExpression *arg)
{
    auto *d = new TksDesignator(s);
    d->AddItem(p)->AddArg(arg);
    d->Finish();
    return d;
}

// function fib(n: Integer): Integer;
// begin if n < 2 then Result := n else Result := fib(n - 1) + fib(n - 2) end;
struct FibProgram {
    TksScript Script;
    TksProcVariable *Fib;
    FibProgram()
    {
        Fib = new TksProcVariable(QStringLiteral("fib"), tcInteger, QStringLiteral("Integer"), &Script);
        Script.Add(Fib->Name, Fib);
        auto *n = new TksParamItem(QStringLiteral("n"), tcInteger, QStringLiteral("Integer"), false, false);
        Fib->AddParam(n);
        TksScript *L = Fib->Prog;
        auto *ifs = new TksIfStmt(L, QString(), QStringLiteral("2:3"), VarOpConst(L, n, "<", 2));
        ifs->Add(new TksAssignmentStmt(L, QString(), QStringLiteral("2:20"),
                                       TksDesignator::ForVariable(L, Fib->ResultVar), VarExpr(L, n)));
        auto *sum = new TksExpression(L);
        sum->AddDesignator(CallOf(L, Fib, VarOpConst(L, n, "-", 1)));
        sum->AddOperator(QStringLiteral("+"));
        sum->AddDesignator(CallOf(L, Fib, VarOpConst(L, n, "-", 2)));
        ifs->ElseStmt->Add(new TksAssignmentStmt(L, QString(), QStringLiteral("2:40"),
                                                 TksDesignator::ForVariable(L, Fib->ResultVar), Finish(sum)));
        L->MainBlock->Add(ifs);
    }
    int Run(int n) { return Script.CallFunction(QStringLiteral("fib"), KsValue::MakeList({KsValue(n)})).ToInt(); }
};

// var i, s: Integer; begin s := 0; for i := 1 to N do s := s + i end.
struct LoopProgram {
    TksScript Script;
    TksVariable *S;
    explicit LoopProgram(int count)
    {
        auto *i = new TksVariable(QStringLiteral("i"), tcInteger, QStringLiteral("Integer"));
        S = new TksVariable(QStringLiteral("s"), tcInteger, QStringLiteral("Integer"));
        Script.Add(i->Name, i);
        Script.Add(S->Name, S);
        auto *zero = new TksExpression(&Script);
        zero->AddConst(KsValue(0));
        Script.MainBlock->Add(new TksAssignmentStmt(&Script, QString(), QStringLiteral("1:1"),
                                                    TksDesignator::ForVariable(&Script, S), Finish(zero)));
        auto *from = new TksExpression(&Script);
        from->AddConst(KsValue(1));
        auto *to = new TksExpression(&Script);
        to->AddConst(KsValue(count));
        auto *loop = new TksForStmt(&Script, QString(), QStringLiteral("2:1"), i, Finish(from), Finish(to));
        // s := s + i, folded into a compound assignment as the compiler does
        auto *e = new TksExpression(&Script);
        e->AddDesignator(TksDesignator::ForVariable(&Script, S));
        e->AddOperator(QStringLiteral("+"));
        e->AddDesignator(TksDesignator::ForVariable(&Script, i));
        Finish(e);
        auto *target = TksDesignator::ForVariable(&Script, S);
        e->OptimizeCompound(target);
        loop->Add(new TksAssignPlusStmt(&Script, QString(), QStringLiteral("2:30"), target, e));
        Script.MainBlock->Add(loop);
    }
    qint64 Run()
    {
        Script.Execute();
        return S->Value.ToInt64();
    }
};

void BM_Fibonacci(benchmark::State &state)
{
    FibProgram program;
    Lua lua;
    const int n = int(state.range(0));
    Compare(
            state, [&] { return program.Run(n); }, [&] { return lua.Call("runfib", n); });
}
BENCHMARK(BM_Fibonacci)->Arg(25)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_SummingLoop(benchmark::State &state)
{
    const int count = int(state.range(0));
    LoopProgram program(count);
    Lua lua;
    Compare(
            state, [&] { return program.Run(); }, [&] { return lua.Call("runloop", count); });
}
BENCHMARK(BM_SummingLoop)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
