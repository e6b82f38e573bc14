#pragma once
// Registers a benchmark once for every vector path this machine can take,
// named Kernel/path, so that one run compares the paths of a dispatched
// kernel side by side.

#include <benchmark/benchmark.h>

#include <string>

#include "common/VectorDispatch.h"

namespace zarn::bench {

inline bool onEveryVectorPath(const char* name, void (*run)(benchmark::State&),
                              benchmark::TimeUnit unit = benchmark::kNanosecond) {
    for (VectorPath path : kVectorPaths) {
        if (!vectorPathAvailable(path)) continue;
        benchmark::RegisterBenchmark((std::string(name) + "/" + vectorPathName(path)).c_str(),
                                     [run, path](benchmark::State& state) {
                                         useVectorPath(path);
                                         run(state);
                                         useVectorPath(widestVectorPath());
                                     })
            ->Unit(unit);
    }
    return true;
}

}  // namespace zarn::bench
