// Building a text by appending to a variable 100,000 times
// (s := s + IntToStr(i) + ',') in each of the four languages, against the
// same text built the way Lua 5.4 code builds one, pieces gathered in a
// table and joined by table.concat, in the same process.  Counter
// ratio_vs_lua = engine time / that time (target: at most 1);
// ratio_vs_lua_naive is against Lua's quadratic s = s .. tostring(i) .. ",".
#include "script/ks_iinterpreter.h"
#include "script/ks_runner.h"

#include "bench_script_lua.h"

#include <benchmark/benchmark.h>

namespace {
using namespace ksbench;

constexpr double kAppendTarget = 1.0;

const char *const kTexts[][2] = {
        {"PascalScript", "var s: String; i, R: Integer;\n"
                         "begin s := ''; for i := 1 to %1 do s := s + IntToStr(i) + ','; R := Length(s) end."},
        {"C++Script", "String s; int i, R;\n"
                      "{ s = \"\"; for (i = 1; i <= %1; i++) s = s + IntToStr(i) + \",\"; R = Length(s); }"},
        {"BasicScript", "Dim s, i, R\n"
                        "s = \"\"\nFor i = 1 To %1\n  s = s + IntToStr(i) + \",\"\nNext\nR = Length(s)"},
        {"JScript", "var s, i, R;\n"
                    "s = \"\"; for (i = 1; i <= %1; i++) s = s + IntToStr(i) + \",\"; R = Length(s);"}};

struct AppendProgram {
    TksScript Script;
    AppendProgram(int language, int n)
    {
        Script.AddRTTI();
        Script.SyntaxType = QLatin1String(kTexts[language][0]);
        Script.Lines = ksSplitScriptLines(QString::fromLatin1(kTexts[language][1]).arg(n));
        if (!Script.Compile()) qFatal("%s", qPrintable(Script.ErrorMsg));
    }
    qint64 Run()
    {
        Script.Execute();
        return Script.Find(QStringLiteral("R"))->GetValue().ToInt64();
    }
};

// The engine's append loop in one language, against Lua joining the same
// pieces with table.concat (and, as a second figure, Lua's own naive loop).
void BM_AppendToAText(benchmark::State &state)
{
    const int language = int(state.range(0)), n = int(state.range(1));
    state.SetLabel(kTexts[language][0]);
    AppendProgram program(language, n);
    Lua lua;
    luaL_dostring(lua.L, "function runappend(n)\n"
                         "  local s = ''\n"
                         "  for i = 1, n do s = s .. tostring(i) .. ',' end\n"
                         "  return #s\n"
                         "end\n"
                         "function runconcat(n)\n"
                         "  local t = {}\n"
                         "  for i = 1, n do t[#t + 1] = tostring(i) .. ',' end\n"
                         "  return #table.concat(t)\n"
                         "end\n");
    Compare(
            state, [&] { return program.Run(); }, [&] { return lua.Call("runconcat", n); }, kAppendTarget, "naive",
            [&] { return lua.Call("runappend", n); });
}
BENCHMARK(BM_AppendToAText)
        ->ArgsProduct({{0, 1, 2, 3}, {100000}})
        ->UseManualTime()
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
