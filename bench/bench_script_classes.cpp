// 100,000 string-list additions and a sort from a script, against Lua 5.4
// doing the same with table.insert and table.sort in the same process.
// Counter ratio_vs_lua = engine time / Lua time (target: <= 3, see
// ksbench::kTargetRatio).
#include "script/ks_iinterpreter.h"
#include "script/ks_runner.h"

#include "bench_script_lua.h"

#include <benchmark/benchmark.h>

namespace {
using namespace ksbench;

struct ListProgram {
    TksScript Script;
    explicit ListProgram(int n)
    {
        Script.AddRTTI();
        Script.Lines =
                ksSplitScriptLines(QStringLiteral("var L: TStringList; i, R: Integer;\n"
                                                  "begin\n"
                                                  "  L := TStringList.Create;\n"
                                                  "  for i := 1 to %1 do L.Add(IntToStr((i * 7919) mod 100003));\n"
                                                  "  L.Sort;\n"
                                                  "  R := L.Count * 1000000 + StrToInt(L[L.Count div 2]);\n"
                                                  "  L.Free;\n"
                                                  "end.")
                                           .arg(n));
        if (!Script.Compile()) qFatal("%s", qPrintable(Script.ErrorMsg));
    }
    qint64 Run()
    {
        Script.Execute();
        return Script.Find(QStringLiteral("R"))->GetValue().ToInt64();
    }
};

void BM_StringListAddSort(benchmark::State &state)
{
    const int n = int(state.range(0));
    ListProgram program(n);
    Lua lua;
    luaL_dostring(lua.L, "function runlist(n)\n"
                         "  local t = {}\n"
                         "  for i = 1, n do table.insert(t, tostring((i * 7919) % 100003)) end\n"
                         "  table.sort(t)\n"
                         "  return #t * 1000000 + tonumber(t[#t // 2 + 1])\n"
                         "end\n");
    Compare(
            state, [&] { return program.Run(); }, [&] { return lua.Call("runlist", n); });
}
BENCHMARK(BM_StringListAddSort)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
