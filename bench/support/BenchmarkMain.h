#pragma once

#include <benchmark/benchmark.h>

namespace vantorel {

// Runs the registered benchmarks inside the Qt application the measured code needs (an event
// loop, fonts, widgets).
template <typename Application>
int runBenchmarks(int argc, char** argv)
{
    Application app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace vantorel
