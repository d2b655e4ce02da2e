// Scripts compiled from text and run by the engine, against Lua 5.4 running
// the same code in the same process: recursive Fibonacci and a summing loop
// in all four languages (counter ratio_vs_lua = engine time / Lua time,
// target <= 3), and the compile time of scripts of 1,000 and 100,000
// lines against Lua's compile of the same lines (ratio_vs_lua), of 10,000
// and 100,000 assignment lines (BM_CompileAssignments, target <= 20); long
// declaration lists and many procedures against declarations one per line.
// Statement shapes one by one: bench_script_engine. The compile benchmarks
// run each side by turns with its anchor (measure.h: the order alternating,
// after one untimed run of each, in processor time) and print ratio_min and
// ratio_median.
#include "bench_script_lua.h"
#include "measure.h"
#include "script/ks_iinterpreter.h"

namespace {
using namespace ksbench;

struct Compiled {
    TksScript Script;
    Compiled(const char *language, const QString &text)
    {
        Script.AddRTTI();
        Script.SyntaxType = QLatin1String(language);
        Script.Lines = text.split(QLatin1Char('\n'));
        if (!Script.Compile()) qFatal("%s: %s", qPrintable(Script.ErrorPos), qPrintable(Script.ErrorMsg));
    }
    qint64 Call(const char *fn, int arg)
    {
        return Script.CallFunction(QLatin1String(fn), KsValue::MakeList({KsValue(arg)})).ToInt64();
    }
};

const char *const kPascal = "function fib(n: Integer): Integer;\n"
                            "begin if n < 2 then Result := n else Result := fib(n - 1) + fib(n - 2) end;\n"
                            "function runloop(count: Integer): Integer;\n"
                            "var i, s: Integer;\n"
                            "begin s := 0; for i := 1 to count do s := s + i; Result := s end;\n"
                            "begin end.";

const char *const kJScript =
        "function fib(n) { if (n < 2) return n; return fib(n - 1) + fib(n - 2); }\n"
        "function runloop(count) { var s = 0, i; for (i = 1; i <= count; i++) s = s + i; return s; }\n";

const char *const kCpp = "int fib(int n) { if (n < 2) return n; return fib(n - 1) + fib(n - 2); }\n"
                         "int runloop(int count) { int s = 0, i; for (i = 1; i <= count; i++) s = s + i; return s; }\n"
                         "{ }\n";

const char *const kBasic = "Function fib(n)\n"
                           "  If n < 2 Then Return n\n"
                           "  Return fib(n - 1) + fib(n - 2)\n"
                           "End Function\n"
                           "Function runloop(count)\n"
                           "  Dim s, i\n"
                           "  s = 0\n"
                           "  For i = 1 To count\n"
                           "    s = s + i\n"
                           "  Next\n"
                           "  Return s\n"
                           "End Function\n";

void Fib(benchmark::State &state, const char *language, const char *text)
{
    Compiled program(language, QString::fromLatin1(text));
    Lua lua;
    const int n = int(state.range(0));
    Compare(
            state, [&] { return program.Call("fib", n); }, [&] { return lua.Call("runfib", n); });
}

void Loop(benchmark::State &state, const char *language, const char *text)
{
    Compiled program(language, QString::fromLatin1(text));
    Lua lua;
    const int count = int(state.range(0));
    Compare(
            state, [&] { return program.Call("runloop", count); }, [&] { return lua.Call("runloop", count); });
}

void BM_PascalFibonacci(benchmark::State &state)
{
    Fib(state, "PascalScript", kPascal);
}
void BM_CppFibonacci(benchmark::State &state)
{
    Fib(state, "C++Script", kCpp);
}
void BM_BasicFibonacci(benchmark::State &state)
{
    Fib(state, "BasicScript", kBasic);
}
void BM_JScriptFibonacci(benchmark::State &state)
{
    Fib(state, "JScript", kJScript);
}
void BM_PascalSummingLoop(benchmark::State &state)
{
    Loop(state, "PascalScript", kPascal);
}
void BM_CppSummingLoop(benchmark::State &state)
{
    Loop(state, "C++Script", kCpp);
}
void BM_BasicSummingLoop(benchmark::State &state)
{
    Loop(state, "BasicScript", kBasic);
}
void BM_JScriptSummingLoop(benchmark::State &state)
{
    Loop(state, "JScript", kJScript);
}
BENCHMARK(BM_PascalFibonacci)->Arg(25)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CppFibonacci)->Arg(25)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BasicFibonacci)->Arg(25)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JScriptFibonacci)->Arg(25)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PascalSummingLoop)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CppSummingLoop)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BasicSummingLoop)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JScriptSummingLoop)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond);

// N lines: a routine per 10 lines, with arithmetic, a loop and a branch.
// Counters: compile_ms, ms_per_1000_lines (equal for 1,000 and 100,000
// lines when compiling is linear), ratio_vs_lua (Lua's compile of the same
// lines) and ratio_vs_target (100,000 lines should compile in 2 s: at most 1).
void BM_CompileLines(benchmark::State &state)
{
    const int routines = int(state.range(0)) / 10;
    QStringList pas, lua;
    for (int r = 0; r < routines; ++r) {
        pas << QStringLiteral("function f%1(a: Integer; b: Integer): Integer;").arg(r)
            << QStringLiteral("var i, s: Integer;") << QStringLiteral("begin") << QStringLiteral("  s := a * 2 + b;")
            << QStringLiteral("  for i := 1 to b do") << QStringLiteral("    s := s + i * (a - 1);")
            << QStringLiteral("  if s > 100 then s := s div 2 else s := s + 7;")
            << QStringLiteral("  Result := s + Length('text %1');").arg(r) << QStringLiteral("end;") << QString();
        lua << QStringLiteral("function f%1(a, b)").arg(r) << QStringLiteral("local i, s") << QStringLiteral("do")
            << QStringLiteral("  s = a * 2 + b") << QStringLiteral("  for i = 1, b do")
            << QStringLiteral("    s = s + i * (a - 1) end")
            << QStringLiteral("  if s > 100 then s = s // 2 else s = s + 7 end")
            << QStringLiteral("  return s + #'text %1'").arg(r) << QStringLiteral("end end") << QString();
    }
    pas << QStringLiteral("begin end.");
    const QByteArray luaText = lua.join(QLatin1Char('\n')).toUtf8();
    Lua baseline;
    measurePair(
            state,
            {[&] {
                TksScript s;
                s.AddRTTI();
                s.Lines = pas;
                if (!s.Compile()) state.SkipWithError(qPrintable(s.ErrorMsg));
            }},
            {[&] {
                if (luaL_loadstring(baseline.L, luaText.constData()) != LUA_OK) state.SkipWithError("lua");
                lua_pop(baseline.L, 1);
            }});
    const double ms = state.counters["ms_per_op"];
    state.counters["compile_ms"] = benchmark::Counter(ms);
    state.counters["ms_per_1000_lines"] = benchmark::Counter(ms * 1000.0 / double(state.range(0)));
    state.counters["ratio_vs_lua"] = state.counters["ratio_vs_baseline"];
    state.counters["ratio_vs_target"] = benchmark::Counter(ms * 100000.0 / double(state.range(0)) / 2000.0);
}
BENCHMARK(BM_CompileLines)->Arg(1000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);

// N lines of `s := s + k;` in one main block, as a script that sums does,
// against Lua compiling the same lines (luaL_loadstring); each side also
// frees what it built (the script with its scope, Lua by a collection).
// Counters:
// ratio_min / ratio_median (ours / Lua over the repetitions, target: at
// most 20) and us_per_line (the same for 10,000 and 100,000 lines when
// compiling is linear).
void BM_CompileAssignments(benchmark::State &state)
{
    const int n = int(state.range(0));
    QStringList pas{QStringLiteral("var s, k: Integer;"), QStringLiteral("begin"), QStringLiteral("s := 0; k := 1;")};
    QByteArray luaText = "local s, k = 0, 1\n";
    for (int i = 0; i < n; ++i) {
        pas << QStringLiteral("s := s + k;");
        luaText += "s = s + k\n";
    }
    pas << QStringLiteral("end.");
    Lua baseline;
    const auto times = timeByTurns(state, {{[&] {
                                               TksScript s;
                                               s.Lines = pas;
                                               if (!s.Compile()) state.SkipWithError(qPrintable(s.ErrorMsg));
                                           }},
                                           {[&] {
                                               if (luaL_loadstring(baseline.L, luaText.constData()) != LUA_OK)
                                                   state.SkipWithError("lua");
                                               lua_pop(baseline.L, 1);
                                               lua_gc(baseline.L, LUA_GCCOLLECT);
                                           }}});
    const std::vector<double> &ours = times[0], &anchor = times[1];
    RatioCounters(state, ours, anchor);
    state.counters["us_per_line"] = benchmark::Counter(Median(ours) * 1e6 / double(n));
    state.counters["ratio_vs_target"] = benchmark::Counter(Median(ours) / Median(anchor) / 20.0);
}
BENCHMARK(BM_CompileAssignments)
        ->Arg(10000)
        ->Arg(100000)
        ->Iterations(3)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);

// Compiling the Pascal text `lines`.
BenchSide Compiling(benchmark::State &state, const QStringList &lines)
{
    return {[&state, &lines] {
        TksScript s;
        s.AddRTTI();
        s.Lines = lines;
        if (!s.Compile()) state.SkipWithError(qPrintable(s.ErrorMsg));
    }};
}

// N names declared in one list (var a0, a1, ...: Integer) against the same
// names declared one per line, and N empty procedures against N variables
// one per line: the same number of names entered, so ratio_vs_lines stays
// the same for N and 10 N when both compile in linear time. Counter
// us_per_name: microseconds per name of the measured text.
void ScaledNames(benchmark::State &state, const QStringList &measured, const QStringList &baseline)
{
    measurePair(state, Compiling(state, measured), Compiling(state, baseline));
    state.counters["ratio_vs_lines"] = state.counters["ratio_vs_baseline"];
    state.counters["us_per_name"] = benchmark::Counter(state.counters["ms_per_op"] * 1e3 / double(state.range(0)));
}

QStringList VariablesOnePerLine(int n)
{
    QStringList lines;
    for (int i = 0; i < n; ++i) lines << QStringLiteral("var a%1: Integer;").arg(i);
    return lines << QStringLiteral("begin end.");
}

void BM_DeclarationList(benchmark::State &state)
{
    const int n = int(state.range(0));
    QStringList names;
    for (int i = 0; i < n; ++i) names << QStringLiteral("a%1").arg(i);
    ScaledNames(state,
                {QStringLiteral("var ") + names.join(QStringLiteral(", ")) + QStringLiteral(": Integer;"),
                 QStringLiteral("begin end.")},
                VariablesOnePerLine(n));
}
BENCHMARK(BM_DeclarationList)->Arg(5000)->Arg(50000)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_Procedures(benchmark::State &state)
{
    const int n = int(state.range(0));
    QStringList procs;
    for (int i = 0; i < n; ++i) procs << QStringLiteral("procedure p%1; begin end;").arg(i);
    ScaledNames(state, procs << QStringLiteral("begin end."), VariablesOnePerLine(n));
}
BENCHMARK(BM_Procedures)->Arg(20000)->Arg(200000)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
