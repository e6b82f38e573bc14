#include "common/VectorWidth.h"

namespace zarn {

namespace {

bool wide = __builtin_cpu_supports("avx");

}  // namespace

bool wideVectorsEnabled() { return wide; }

void useBaselineVectors(bool baseline) { wide = !baseline && __builtin_cpu_supports("avx"); }

}  // namespace zarn
