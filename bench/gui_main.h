#pragma once
// The main of a benchmark that builds windows: the application object
// (offscreen unless told otherwise) alive around every benchmark.

#include "platform/ui/application.h"

#include <benchmark/benchmark.h>

inline int runWindowBenchmarks(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ui::Application app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
