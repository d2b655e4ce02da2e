// Statements as an author writes them, in PascalScript compiled from text,
// against Lua 5.4 running the same program in the same process. Each shape
// is a function run(n) on both sides; only the call is timed (the compile
// and the main block, which prepares data, are not). Counters: ratio_min and
// ratio_median (ours / Lua over the repetitions), ratio_vs_lua (totals) and
// ratio_vs_target (target: ratio <= 3, see ksbench::kTargetRatio).
#include "script/ks_iinterpreter.h"
#include "script/ks_runner.h"

#include "bench_script_lua.h"

#include <benchmark/benchmark.h>

namespace {
using namespace ksbench;

struct Shape {
    const char *Name;
    int N;
    const char *Pascal;  // declares function run(n: Integer): Integer, then a main block
    const char *Lua;     // defines the global function run(n)
};

// Lua has one kind of array: both array shapes set against the same program.
const char *const kLuaArrayFillAndSum =
        "function run(n)\n"
        "  local a = {}\n"
        "  for i = 1, n do a[i] = i * 2 end\n"
        "  local s = 0 for i = 1, n do s = s + a[i] end\n"
        "  return s\n"
        "end";

const Shape kShapes[] = {
        {"mod of a sum", 1000000,
         "function run(n: Integer): Integer;\n"
         "var i, s: Integer;\n"
         "begin s := 0; for i := 1 to n do s := (s + i * 3) mod 1000003; Result := s end;\n"
         "begin end.",
         "function run(n) local s = 0 for i = 1, n do s = (s + i * 3) % 1000003 end return s end"},
        {"sum of a product and a constant", 1000000,
         "function run(n: Integer): Integer;\n"
         "var i, s: Integer;\n"
         "begin s := 0; for i := 1 to n do s := s + i * 3 - 1; Result := s end;\n"
         "begin end.",
         "function run(n) local s = 0 for i = 1, n do s = s + i * 3 - 1 end return s end"},
        {"summing loop", 1000000,
         "function run(n: Integer): Integer;\n"
         "var i, s: Integer;\n"
         "begin s := 0; for i := 1 to n do s := s + i; Result := s end;\n"
         "begin end.",
         "function run(n) local s = 0 for i = 1, n do s = s + i end return s end"},
        {"comparisons and branches", 1000000,
         "function run(n: Integer): Integer;\n"
         "var i, s: Integer;\n"
         "begin\n"
         "  s := 0;\n"
         "  for i := 1 to n do\n"
         "    if (i mod 7 = 0) or (i > n - 5) then s := s + 1\n"
         "    else if i < s * 10 then s := s + 2;\n"
         "  Result := s\n"
         "end;\n"
         "begin end.",
         "function run(n)\n"
         "  local s = 0\n"
         "  for i = 1, n do\n"
         "    if i % 7 == 0 or i > n - 5 then s = s + 1\n"
         "    elseif i < s * 10 then s = s + 2 end\n"
         "  end\n"
         "  return s\n"
         "end"},
        {"while loop", 1000000,
         "function run(n: Integer): Integer;\n"
         "var i, s: Integer;\n"
         "begin s := 0; i := 0; while i < n do begin s := s + i div 2; i := i + 1 end; Result := s end;\n"
         "begin end.",
         "function run(n) local s, i = 0, 0 while i < n do s = s + i // 2 i = i + 1 end return s end"},
        {"calls of a function", 1000000,
         "function sq(x: Integer): Integer; begin Result := x * x mod 1000 end;\n"
         "function run(n: Integer): Integer;\n"
         "var i, s: Integer;\n"
         "begin s := 0; for i := 1 to n do s := s + sq(i); Result := s end;\n"
         "begin end.",
         "local function sq(x) return x * x % 1000 end\n"
         "function run(n) local s = 0 for i = 1, n do s = s + sq(i) end return s end"},
        {"fib(27)", 27,
         "function fib(n: Integer): Integer;\n"
         "begin if n < 2 then Result := n else Result := fib(n - 1) + fib(n - 2) end;\n"
         "function run(n: Integer): Integer; begin Result := fib(n) end;\n"
         "begin end.",
         "local function fib(n) if n < 2 then return n else return fib(n - 1) + fib(n - 2) end end\n"
         "function run(n) return fib(n) end"},
        {"array fill and sum", 1000000,
         "function run(n: Integer): Integer;\n"
         "var a: array[1..1000000] of Integer; i, s: Integer;\n"
         "begin\n"
         "  for i := 1 to n do a[i] := i * 2;\n"
         "  s := 0; for i := 1 to n do s := s + a[i];\n"
         "  Result := s\n"
         "end;\n"
         "begin end.",
         kLuaArrayFillAndSum},
        {"Variant array fill and sum", 1000000,
         "function run(n: Integer): Integer;\n"
         "var a: Variant; i, s: Integer;\n"
         "begin\n"
         "  a := VarArrayCreate([1, n], varVariant);\n"
         "  for i := 1 to n do a[i] := i * 2;\n"
         "  s := 0; for i := 1 to n do s := s + a[i];\n"
         "  Result := s\n"
         "end;\n"
         "begin end.",
         kLuaArrayFillAndSum},
        {"string indexing", 1000000,
         "var t: String; k: Integer;\n"
         "function run(n: Integer): Integer;\n"
         "var i, s: Integer;\n"
         "begin s := 0; for i := 1 to n do if t[i] = 'c' then s := s + i mod 10; Result := s end;\n"
         "begin t := ''; for k := 1 to 200000 do t := t + 'abcde' end.",
         "t = string.rep('abcde', 200000)\n"
         "function run(n) local s = 0 for i = 1, n do if t:sub(i, i) == 'c' then s = s + i % 10 end end "
         "return s end"},
        {"real arithmetic", 1000000,
         "function run(n: Integer): Integer;\n"
         "var i: Integer; x: Double;\n"
         "begin x := 0; for i := 1 to n do x := x + i * 0.5 - x / 1000; Result := Trunc(x) end;\n"
         "begin end.",
         "function run(n) local x = 0 for i = 1, n do x = x + i * 0.5 - x / 1000 end return math.floor(x) end"},
};

struct Program {
    TksScript Script;
    explicit Program(const char *text)
    {
        Script.AddRTTI();
        Script.Lines = ksSplitScriptLines(QString::fromLatin1(text));
        if (!Script.Compile()) qFatal("%s: %s", qPrintable(Script.ErrorPos), qPrintable(Script.ErrorMsg));
        Script.Execute();
    }
    qint64 Run(int n)
    {
        return Script.CallFunction(QStringLiteral("run"), KsValue::MakeList({KsValue(n)})).ToInt64();
    }
};

void BM_Statement(benchmark::State &state)
{
    const Shape &shape = kShapes[state.range(0)];
    state.SetLabel(shape.Name);
    Program program(shape.Pascal);
    Lua lua;
    if (luaL_dostring(lua.L, shape.Lua) != LUA_OK) qFatal("%s", lua_tostring(lua.L, -1));
    Compare(
            state, [&] { return program.Run(shape.N); }, [&] { return lua.Call("run", shape.N); });
}
BENCHMARK(BM_Statement)
        ->DenseRange(0, int(std::size(kShapes)) - 1)
        ->Iterations(5)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
