#pragma once
// Kernels use AVX where the processor and the system support it, and the
// SSE2 of the x86-64 baseline everywhere else. Both paths give the same bits
// (separate multiplies and adds, the same order per output); tests pin the
// baseline path to prove it.

namespace zarn {

// Whether AVX kernels may run now.
bool wideVectorsEnabled();

// Pins the baseline path (true) or restores the automatic choice (false).
void useBaselineVectors(bool baseline);

}  // namespace zarn
