// Statements as an author writes them, in PascalScript compiled from text,
// against Lua 5.4 running the same program in the same process: integer and
// real arithmetic, loops, calls, arrays of Integer and of Double (an n-body
// step, a matrix product), sorts in a Variant array and in an array of
// Integer, and a local string's characters (against string.sub and
// string.byte on a local). Each shape is a function run(n) on both sides;
// only the call is timed (the compile and the main block, which prepares
// data, are not), ours then Lua's in every iteration, after one untimed run
// of each. Counters: ratio_min and ratio_median (ours / Lua over the
// iterations), ratio_vs_lua (totals) and ratio_vs_target (target: ratio <= 3,
// see ksbench::kTargetRatio).
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
const char *const kLuaArrayFillAndSum = "function run(n)\n"
                                        "  local a = {}\n"
                                        "  for i = 1, n do a[i] = i * 2 end\n"
                                        "  local s = 0 for i = 1, n do s = s + a[i] end\n"
                                        "  return s\n"
                                        "end";

// Both sorts set against the same program: pseudo-random values, then the
// classic exchange of neighbours; the result sums three places of the order.
const char *const kLuaBubbleSort = "function run(n)\n"
                                   "  local a = {}\n"
                                   "  local seed = 12345\n"
                                   "  for i = 1, n do seed = (seed * 1103 + 12345) % 65536; a[i] = seed end\n"
                                   "  for i = n, 2, -1 do\n"
                                   "    for j = 1, i - 1 do\n"
                                   "      if a[j] > a[j + 1] then local t = a[j]; a[j] = a[j + 1]; a[j + 1] = t end\n"
                                   "    end\n"
                                   "  end\n"
                                   "  return a[1] + a[n // 2 + 1] * 3 + a[n] * 7\n"
                                   "end";

// The body of both Pascal sorts, after the declarations of a, t, i, j, seed.
#define KS_PASCAL_BUBBLE_SORT                                                                                          \
    "  seed := 12345;\n"                                                                                               \
    "  for i := 0 to n - 1 do begin seed := (seed * 1103 + 12345) mod 65536; a[i] := seed end;\n"                      \
    "  for i := n - 1 downto 1 do\n"                                                                                   \
    "    for j := 0 to i - 1 do\n"                                                                                     \
    "      if a[j] > a[j + 1] then begin t := a[j]; a[j] := a[j + 1]; a[j + 1] := t end;\n"                            \
    "  Result := a[0] + a[n div 2] * 3 + a[n - 1] * 7\n"                                                               \
    "end;\n"                                                                                                           \
    "begin end."

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
        // The text is a local of run on both sides, as an author keeps it.
        {"string indexing", 1000000,
         "var g: String; k: Integer;\n"
         "function run(n: Integer): Integer;\n"
         "var t: String; i, s: Integer;\n"
         "begin t := g; s := 0; for i := 1 to n do if t[i] = 'c' then s := s + i mod 10; Result := s end;\n"
         "begin g := ''; for k := 1 to 200000 do g := g + 'abcde' end.",
         "g = string.rep('abcde', 200000)\n"
         "function run(n) local t = g local s = 0 for i = 1, n do if string.sub(t, i, i) == 'c' then "
         "s = s + i % 10 end end return s end"},
        {"character codes of a string", 1000000,
         "var g: String; k: Integer;\n"
         "function run(n: Integer): Integer;\n"
         "var t: String; i, s: Integer;\n"
         "begin t := g; s := 0; for i := 1 to n do if Ord(t[i]) = 99 then s := s + i mod 10; Result := s end;\n"
         "begin g := ''; for k := 1 to 200000 do g := g + 'abcde' end.",
         "g = string.rep('abcde', 200000)\n"
         "function run(n) local t = g local s = 0 for i = 1, n do if string.byte(t, i) == 99 then "
         "s = s + i % 10 end end return s end"},
        {"real arithmetic", 1000000,
         "function run(n: Integer): Integer;\n"
         "var i: Integer; x: Double;\n"
         "begin x := 0; for i := 1 to n do x := x + i * 0.5 - x / 1000; Result := Trunc(x) end;\n"
         "begin end.",
         "function run(n) local x = 0 for i = 1, n do x = x + i * 0.5 - x / 1000 end return math.floor(x) end"},
        {"sum of Doubles", 1000000,
         "function run(n: Integer): Integer;\n"
         "var i: Integer; s, x: Double;\n"
         "begin s := 0; x := 1.25; for i := 1 to n do s := s + x; Result := Trunc(s) end;\n"
         "begin end.",
         "function run(n) local s, x = 0.0, 1.25 for i = 1, n do s = s + x end return math.floor(s) end"},
        {"sum of a real product", 1000000,
         "function run(n: Integer): Integer;\n"
         "var i: Integer; s: Double;\n"
         "begin s := 0; for i := 1 to n do s := s + i * 1.5; Result := Trunc(s) end;\n"
         "begin end.",
         "function run(n) local s = 0.0 for i = 1, n do s = s + i * 1.5 end return math.floor(s) end"},
        // n steps of five bodies pulling on each other, state in arrays of Double.
        {"n-body steps", 20000,
         "function run(n: Integer): Integer;\n"
         "var x, y, z, vx, vy, vz, m: array[1..5] of Double;\n"
         "  i, j, k: Integer; dx, dy, dz, d2, mag, dt: Double;\n"
         "begin\n"
         "  for i := 1 to 5 do begin\n"
         "    x[i] := i; y[i] := i * 0.5; z[i] := -i * 0.25;\n"
         "    vx[i] := 0.01 * i; vy[i] := -0.02 * i; vz[i] := 0.03; m[i] := 1 + i * 0.1\n"
         "  end;\n"
         "  dt := 0.01;\n"
         "  for k := 1 to n do begin\n"
         "    for i := 1 to 5 do\n"
         "      for j := i + 1 to 5 do begin\n"
         "        dx := x[i] - x[j]; dy := y[i] - y[j]; dz := z[i] - z[j];\n"
         "        d2 := dx * dx + dy * dy + dz * dz;\n"
         "        mag := dt / (d2 * Sqrt(d2));\n"
         "        vx[i] := vx[i] - dx * m[j] * mag; vy[i] := vy[i] - dy * m[j] * mag;\n"
         "        vz[i] := vz[i] - dz * m[j] * mag;\n"
         "        vx[j] := vx[j] + dx * m[i] * mag; vy[j] := vy[j] + dy * m[i] * mag;\n"
         "        vz[j] := vz[j] + dz * m[i] * mag\n"
         "      end;\n"
         "    for i := 1 to 5 do begin\n"
         "      x[i] := x[i] + dt * vx[i]; y[i] := y[i] + dt * vy[i]; z[i] := z[i] + dt * vz[i]\n"
         "    end\n"
         "  end;\n"
         "  Result := Trunc((x[1] + y[2] + z[3]) * 1000000)\n"
         "end;\n"
         "begin end.",
         "function run(n)\n"
         "  local x, y, z, vx, vy, vz, m = {}, {}, {}, {}, {}, {}, {}\n"
         "  for i = 1, 5 do\n"
         "    x[i] = i + 0.0; y[i] = i * 0.5; z[i] = -i * 0.25\n"
         "    vx[i] = 0.01 * i; vy[i] = -0.02 * i; vz[i] = 0.03; m[i] = 1 + i * 0.1\n"
         "  end\n"
         "  local dt = 0.01\n"
         "  for k = 1, n do\n"
         "    for i = 1, 5 do\n"
         "      for j = i + 1, 5 do\n"
         "        local dx, dy, dz = x[i] - x[j], y[i] - y[j], z[i] - z[j]\n"
         "        local d2 = dx * dx + dy * dy + dz * dz\n"
         "        local mag = dt / (d2 * math.sqrt(d2))\n"
         "        vx[i] = vx[i] - dx * m[j] * mag; vy[i] = vy[i] - dy * m[j] * mag\n"
         "        vz[i] = vz[i] - dz * m[j] * mag\n"
         "        vx[j] = vx[j] + dx * m[i] * mag; vy[j] = vy[j] + dy * m[i] * mag\n"
         "        vz[j] = vz[j] + dz * m[i] * mag\n"
         "      end\n"
         "    end\n"
         "    for i = 1, 5 do\n"
         "      x[i] = x[i] + dt * vx[i]; y[i] = y[i] + dt * vy[i]; z[i] = z[i] + dt * vz[i]\n"
         "    end\n"
         "  end\n"
         "  return math.floor((x[1] + y[2] + z[3]) * 1000000)\n"
         "end"},
        {"matrix product of Doubles", 150,
         "function run(n: Integer): Integer;\n"
         "var a, b, c: array[1..150, 1..150] of Double; i, j, k: Integer; s: Double;\n"
         "begin\n"
         "  for i := 1 to n do\n"
         "    for j := 1 to n do begin a[i, j] := (i + j) mod 7 * 0.5; b[i, j] := (i + 2 * j) mod 5 * 0.25 end;\n"
         "  for i := 1 to n do\n"
         "    for j := 1 to n do begin\n"
         "      s := 0;\n"
         "      for k := 1 to n do s := s + a[i, k] * b[k, j];\n"
         "      c[i, j] := s\n"
         "    end;\n"
         "  Result := Trunc(c[1, 1] + c[n, n] * 3 + c[n div 2, 7] * 7)\n"
         "end;\n"
         "begin end.",
         "function run(n)\n"
         "  local a, b, c = {}, {}, {}\n"
         "  for i = 1, n do\n"
         "    a[i], b[i], c[i] = {}, {}, {}\n"
         "    for j = 1, n do a[i][j] = (i + j) % 7 * 0.5; b[i][j] = (i + 2 * j) % 5 * 0.25 end\n"
         "  end\n"
         "  for i = 1, n do\n"
         "    for j = 1, n do\n"
         "      local s = 0.0\n"
         "      for k = 1, n do s = s + a[i][k] * b[k][j] end\n"
         "      c[i][j] = s\n"
         "    end\n"
         "  end\n"
         "  return math.floor(c[1][1] + c[n][n] * 3 + c[n // 2][7] * 7)\n"
         "end"},
        {"bubble sort of a Variant array", 3000,
         "function run(n: Integer): Integer;\n"
         "var a, t: Variant; i, j, seed: Integer;\n"
         "begin\n"
         "  a := VarArrayCreate([0, n - 1], varVariant);\n" KS_PASCAL_BUBBLE_SORT,
         kLuaBubbleSort},
        {"bubble sort of an array of Integer", 3000,
         "function run(n: Integer): Integer;\n"
         "var a: array[0..2999] of Integer; t, i, j, seed: Integer;\n"
         "begin\n" KS_PASCAL_BUBBLE_SORT,
         kLuaBubbleSort},
        {"mod of a sum over an array", 1000000,
         "var a: array[1..1000000] of Integer; k: Integer;\n"
         "function run(n: Integer): Integer;\n"
         "var i, s: Integer;\n"
         "begin s := 0; for i := 1 to n do s := (s + a[i] * 3) mod 1000003; Result := s end;\n"
         "begin for k := 1 to 1000000 do a[k] := k mod 1000 end.",
         "local a = {} for k = 1, 1000000 do a[k] = k % 1000 end\n"
         "function run(n) local s = 0 for i = 1, n do s = (s + a[i] * 3) % 1000003 end return s end"},
        // A 20,000-character text searched for what stands at its end: in a
        // local, and handed to a function that searches it once a call.
        {"Pos in a long text", 40000,
         "var g: String; k: Integer;\n"
         "function run(n: Integer): Integer;\n"
         "var t: String; i, s: Integer;\n"
         "begin t := g; s := 0; for i := 1 to n do s := s + Pos('xyz', t) mod 7 + i mod 3; Result := s end;\n"
         "begin g := ''; for k := 1 to 4000 do g := g + 'abcde'; g := g + 'xyz' end.",
         "g = string.rep('abcde', 4000) .. 'xyz'\n"
         "function run(n) local t = g local s = 0 for i = 1, n do s = s + string.find(t, 'xyz', 1, true) % 7 + i % 3 "
         "end return s end"},
        {"Pos in a text handed to a function", 40000,
         "var g: String; k: Integer;\n"
         "function Find(t: String): Integer; begin Result := Pos('xyz', t) end;\n"
         "function run(n: Integer): Integer;\n"
         "var i, s: Integer;\n"
         "begin s := 0; for i := 1 to n do s := s + Find(g) mod 7 + i mod 3; Result := s end;\n"
         "begin g := ''; for k := 1 to 4000 do g := g + 'abcde'; g := g + 'xyz' end.",
         "g = string.rep('abcde', 4000) .. 'xyz'\n"
         "local function Find(t) return string.find(t, 'xyz', 1, true) end\n"
         "function run(n) local s = 0 for i = 1, n do s = s + Find(g) % 7 + i % 3 end return s end"},
        {"calls with two strings", 1000000,
         "function F(a, b: String; k: Integer): Integer; begin Result := Length(a) + Length(b) + k end;\n"
         "function run(n: Integer): Integer;\n"
         "var i, s: Integer; x, y: String;\n"
         "begin x := 'abc'; y := 'defgh'; s := 0; for i := 1 to n do s := (s + F(x, y, i)) mod 1000003; Result := s end;\n"
         "begin end.",
         "local function F(a, b, k) return #a + #b + k end\n"
         "function run(n) local x, y = 'abc', 'defgh' local s = 0 for i = 1, n do s = (s + F(x, y, i)) % 1000003 end "
         "return s end"},
        {"comparing strings", 1000000,
         "function run(n: Integer): Integer;\n"
         "var i, s: Integer; x, y, z: String;\n"
         "begin x := 'abcdefghij'; y := 'abcdefghij'; z := 'abcdefghiz'; s := 0;\n"
         "  for i := 1 to n do begin if x = y then s := s + 1; if x = z then s := s + 2 end; Result := s end;\n"
         "begin end.",
         "function run(n) local x, y, z = 'abcdefghij', 'abcdefghij', 'abcdefghiz' local s = 0\n"
         "  for i = 1, n do if x == y then s = s + 1 end if x == z then s = s + 2 end end return s end"},
        {"Length inside a function", 1000000,
         "function L(t: String): Integer; begin Result := Length(t) end;\n"
         "function run(n: Integer): Integer;\n"
         "var i, s: Integer; x: String;\n"
         "begin x := 'abcdefg'; s := 0; for i := 1 to n do s := s + L(x) + i mod 3; Result := s end;\n"
         "begin end.",
         "local function L(t) return #t end\n"
         "function run(n) local x = 'abcdefg' local s = 0 for i = 1, n do s = s + L(x) + i % 3 end return s end"},
};

// Properties of the program's objects against the fields of a Lua table
// (target: ratio <= 5).
const Shape kObjectShapes[] = {
        {"writing Font.Size", 1000000,
         "var f: TFont;\n"
         "function run(n: Integer): Integer;\n"
         "var i: Integer;\n"
         "begin for i := 1 to n do f.Size := i mod 20 + 8; Result := f.Size end;\n"
         "begin f := TFont.Create end.",
         "local f = {Size = 0}\n"
         "function run(n) for i = 1, n do f.Size = i % 20 + 8 end return f.Size end"},
        {"reading Strings.Count", 1000000,
         "var L: TStringList;\n"
         "function run(n: Integer): Integer;\n"
         "var i, s: Integer;\n"
         "begin s := 0; for i := 1 to n do s := s + L.Count; Result := s end;\n"
         "begin L := TStringList.Create; L.Add('a'); L.Add('b'); L.Add('c') end.",
         "local L = {Count = 3}\n"
         "function run(n) local s = 0 for i = 1, n do s = s + L.Count end return s end"},
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
    qint64 Run(int n) { return Script.CallFunction(QStringLiteral("run"), KsValue::MakeList({KsValue(n)})).ToInt64(); }
};

void RunShape(benchmark::State &state, const Shape &shape, double target)
{
    state.SetLabel(shape.Name);
    Program program(shape.Pascal);
    Lua lua;
    if (luaL_dostring(lua.L, shape.Lua) != LUA_OK) qFatal("%s", lua_tostring(lua.L, -1));
    Compare(
            state, [&] { return program.Run(shape.N); }, [&] { return lua.Call("run", shape.N); }, target);
}

void BM_Statement(benchmark::State &state)
{
    RunShape(state, kShapes[state.range(0)], kTargetRatio);
}
BENCHMARK(BM_Statement)
        ->DenseRange(0, int(std::size(kShapes)) - 1)
        ->Iterations(11)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);

void BM_ObjectProperty(benchmark::State &state)
{
    RunShape(state, kObjectShapes[state.range(0)], 5.0);
}
BENCHMARK(BM_ObjectProperty)
        ->DenseRange(0, int(std::size(kObjectShapes)) - 1)
        ->Iterations(11)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
