#include "common/VectorDispatch.h"

namespace zarn {

namespace {

VectorPath detectWidest() {
#if ZARN_WIDE_X86_PATHS
    // The first kernel may run from another file's static initialiser, before
    // the constructor that fills __builtin_cpu_supports' answers.
    __builtin_cpu_init();
    // These also ask whether the system saves the wide registers (XGETBV),
    // not only whether the processor has them.
    if (__builtin_cpu_supports("avx512f")) return VectorPath::avx512;
    if (__builtin_cpu_supports("avx")) return VectorPath::avx;
#endif
    return VectorPath::portable;
}

// Detected on first use; changed only by useVectorPath.
VectorPath& current() {
    static VectorPath path = widestVectorPath();
    return path;
}

Tuning detectTuning() {
#if ZARN_WIDE_X86_PATHS
    // The maker's name that the processor reports (CPUID), asked as early
    // as the paths are.
    __builtin_cpu_init();
    if (__builtin_cpu_is("amd")) return Tuning::amd;
#endif
    return Tuning::intel;
}

// Detected on first use; changed only by useTuning.
Tuning& currentTuning() {
    static Tuning tuning = detectedTuning();
    return tuning;
}

}  // namespace

VectorPath widestVectorPath() {
    static const VectorPath widest = detectWidest();
    return widest;
}

bool vectorPathAvailable(VectorPath path) {
    // The paths are ordered: every processor with AVX-512F has AVX.
    return static_cast<int>(path) <= static_cast<int>(widestVectorPath());
}

VectorPath vectorPath() { return current(); }

bool useVectorPath(VectorPath path) {
    if (!vectorPathAvailable(path)) return false;
    current() = path;
    return true;
}

const char* vectorPathName(VectorPath path) {
    switch (path) {
        case VectorPath::portable: return "portable";
        case VectorPath::avx: return "avx";
        case VectorPath::avx512: return "avx512";
    }
    return "?";
}

Tuning detectedTuning() {
    static const Tuning detected = detectTuning();
    return detected;
}

Tuning tuning() { return currentTuning(); }

void useTuning(Tuning tuning) { currentTuning() = tuning; }

const char* tuningName(Tuning tuning) {
    switch (tuning) {
        case Tuning::intel: return "intel";
        case Tuning::amd: return "amd";
    }
    return "?";
}

}  // namespace zarn
