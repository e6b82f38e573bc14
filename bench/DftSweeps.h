#pragma once
// Puts the sweeps that the programs' batch inverse takes on this machine into
// a benchmark program's context (its JSON "context", and the header of its
// console output), as "{frames, slices} (path, tuning)": throughput.sh reports
// it beside the transforms' shares.

#include <benchmark/benchmark.h>

#include <string>

#include "common/VectorDispatch.h"
#include "reduced/Dft.h"

namespace zarn::bench {

inline bool reportDftInverseSweeps() {
    const Dft::Sweeps sweeps = Dft::inverseBatchSweeps();
    benchmark::AddCustomContext("dft_inverse_sweeps",
                                "{" + std::to_string(sweeps.frames) + ", " + std::to_string(sweeps.slices) + "} (" +
                                    vectorPathName(vectorPath()) + ", " + tuningName(tuning()) + " tuning)");
    return true;
}

}  // namespace zarn::bench
