#pragma once
// The main of a benchmark that builds windows: the application object
// (offscreen unless told otherwise) alive around every benchmark. Windows
// kept between benchmarks are let go of in atEnd, while the application
// still exists.

#include "platform/ui/application.h"

#include <benchmark/benchmark.h>

#include <functional>

inline int runWindowBenchmarks(int argc, char **argv, const std::function<void()> &atEnd = {})
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ui::Application app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (atEnd) atEnd();
    return 0;
}
