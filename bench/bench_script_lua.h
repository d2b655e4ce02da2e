// Lua 5.4 as the baseline of the script benchmarks: the same programs, timed
// in the same run as the engine, in CPU time of the running thread.
#pragma once

#include <benchmark/benchmark.h>
#include <lua5.4/lua.hpp>

#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include <time.h>

#include "cpu_clock.h"
#include "ratio.h"

namespace ksbench {

// CPU time of the calling thread: on a shared machine the other work then
// slows neither side, whichever it happened to interrupt.
using Clock = ThreadCpuClock;

struct Lua {
    lua_State *L = luaL_newstate();
    Lua()
    {
        luaL_openlibs(L);
        luaL_dostring(L, "local function fib(n) if n < 2 then return n else return fib(n - 1) + fib(n - 2) end end\n"
                         "function runfib(n) return fib(n) end\n"
                         "function runloop(count) local s = 0 for i = 1, count do s = s + i end return s end\n");
    }
    ~Lua() { lua_close(L); }
    lua_Integer Call(const char *fn, lua_Integer arg)
    {
        lua_getglobal(L, fn);
        lua_pushinteger(L, arg);
        lua_call(L, 1, 1);
        lua_Integer r = lua_tointeger(L, -1);
        lua_pop(L, 1);
        return r;
    }
};

// The engine may take at most this many times Lua's time.
constexpr double kTargetRatio = 3.0;

// Runs the engine and the Lua anchor per iteration, by turns, and other Lua
// code after them when given; counter ratio_vs_lua = engine time / anchor time,
// ratio_vs_target = that ratio / the target (kTargetRatio unless given; at
// most 1 meets it), ratio_vs_<otherName> = engine time / the other's time,
// and ratio_min / ratio_median over the iterations (RatioCounters). The
// first run of each side is a warm-up and is not timed.
template <class EngineRun, class LuaRun, class OtherRun>
void Compare(benchmark::State &state, EngineRun engine, LuaRun lua, double targetRatio, const char *otherName,
             OtherRun other)
{
    double engineNs = 0, luaNs = 0, otherNs = 0;
    std::vector<double> engineRuns, luaRuns;
    benchmark::DoNotOptimize(engine());
    benchmark::DoNotOptimize(lua());
    // Each side's time and result; the order alternates from one iteration
    // to the next, so that neither always runs first.
    const auto timed = [](auto run, double &ns) {
        const auto t0 = Clock::now();
        auto r = run();
        ns = std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
        return qint64(r);
    };
    bool luaFirst = false;
    for (auto _ : state) {
        double e = 0, l = 0;
        qint64 a, b;
        if (luaFirst) {
            b = timed(lua, l);
            a = timed(engine, e);
        } else {
            a = timed(engine, e);
            b = timed(lua, l);
        }
        luaFirst = !luaFirst;
        engineRuns.push_back(e);
        luaRuns.push_back(l);
        if (a != b) state.SkipWithError("engine and Lua disagree");
        if (otherName) {
            double o = 0;
            if (timed(other, o) != a) state.SkipWithError("engine and Lua disagree");
            otherNs += o;
        }
        benchmark::DoNotOptimize(a);
        engineNs += e;
        luaNs += l;
        state.SetIterationTime(e / 1e9);
    }
    state.counters["engine_ms"] = benchmark::Counter(engineNs / 1e6 / double(state.iterations()));
    state.counters["lua_ms"] = benchmark::Counter(luaNs / 1e6 / double(state.iterations()));
    const double ratio = luaNs > 0 ? engineNs / luaNs : 0;
    state.counters["ratio_vs_lua"] = benchmark::Counter(ratio);
    state.counters["ratio_vs_target"] = benchmark::Counter(ratio / targetRatio);
    RatioCounters(state, engineRuns, luaRuns);
    if (otherName && otherNs > 0) {
        state.counters[std::string("lua_") + otherName + "_ms"] =
                benchmark::Counter(otherNs / 1e6 / double(state.iterations()));
        state.counters[std::string("ratio_vs_lua_") + otherName] = benchmark::Counter(engineNs / otherNs);
    }
}

template <class EngineRun, class LuaRun>
void Compare(benchmark::State &state, EngineRun engine, LuaRun lua, double targetRatio = kTargetRatio)
{
    Compare(state, engine, lua, targetRatio, nullptr, [] { return lua_Integer(0); });
}

}  // namespace ksbench
