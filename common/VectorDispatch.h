#pragma once
// THE ONE PLACE THAT KNOWS INSTRUCTION SETS. Kernels are written once, as
// templates on a lane count (common/Lanes.h); this header and
// VectorDispatch.cpp alone name x86 instruction sets, ask the processor what
// it has and who made it, and name the four instructions g++ does not find by
// itself (greaterOf, lesserOf, squareRoot, narrowToSamples below). Nothing
// else in the codec may use intrinsics, target attributes,
// __builtin_cpu_supports or __builtin_cpu_is.
//
// Every build has the portable path: two lanes of doubles, which is SSE2 on
// x86 (the x86-64 baseline, and -msse2 on 32-bit x86), NEON on aarch64 and
// scalar code where there is no vector unit. x86-64 builds add AVX and
// AVX-512F paths, compiled into the same program and taken only where the
// processor and the system support them, so the program still runs on any
// x86-64 machine. All paths give the same bits; tests pin each in turn to
// prove it.

#include <array>
#include <cstdint>
#include <cstring>

#include "common/Lanes.h"

#if defined(__x86_64__)
#define ZARN_WIDE_X86_PATHS 1
#else
#define ZARN_WIDE_X86_PATHS 0
#endif

namespace zarn {

enum class VectorPath : std::uint8_t {
    portable,  // two lanes: SSE2, NEON, or scalar code
    avx,       // four lanes, x86-64 with AVX
    avx512,    // eight lanes, x86-64 with AVX-512F
};

constexpr std::array<VectorPath, 3> kVectorPaths = {VectorPath::portable, VectorPath::avx, VectorPath::avx512};

// Whether this build on this processor can take `path`.
bool vectorPathAvailable(VectorPath path);

// The widest available path, which kernels take unless one is pinned.
VectorPath widestVectorPath();

// The path dispatched kernels take now.
VectorPath vectorPath();

// Pins `path` for tests and benchmarks if it is available, and says whether
// it was; useVectorPath(widestVectorPath()) restores the automatic choice.
bool useVectorPath(VectorPath path);

const char* vectorPathName(VectorPath path);

// Whose cores run the program, for the few kernels whose fastest shape on a
// path differs between makers' cores of the same instruction set (the direct
// inverse transform's sweeps, reduced/Dft.cpp). A shape only lays out
// independent sums differently, so every tuning gives the same bits, and
// every machine can run every one: tests and benchmarks pin each in turn.
enum class Tuning : std::uint8_t {
    intel,  // Intel's cores, and any other where nothing better is known
    amd,    // AMD's
};

constexpr std::array<Tuning, 2> kTunings = {Tuning::intel, Tuning::amd};

// The tuning for this processor.
Tuning detectedTuning();

// The tuning kernels take now.
Tuning tuning();

// Pins `tuning` for tests and benchmarks; useTuning(detectedTuning())
// restores the automatic choice.
void useTuning(Tuning tuning);

const char* tuningName(Tuning tuning);

namespace dispatch {

#if ZARN_WIDE_X86_PATHS
// Out of line and compiled for the wider instruction set: the always_inline
// kernel body is instantiated inside each, with the matching lane count.
template <class Kernel, class... Args>
__attribute__((target("avx"))) auto runAvx(Args... args) {
    return Kernel::template run<4>(args...);
}
template <class Kernel, class... Args>
__attribute__((target("avx512f"))) auto runAvx512(Args... args) {
    return Kernel::template run<8>(args...);
}
#endif

}  // namespace dispatch

// Runs Kernel::run<lanes>(args...) on the current path, with at most
// MaxLanes lanes. A kernel is a class with a static, always_inline member
// template `run` on the lane count; only kernels that measurably gain from
// wider vectors go through here, the rest call run<kPortableLanes> directly.
//
// WATCHOUT: a kernel that uses comparison results as masks (combining them,
// or selecting with ?:) must stop at four lanes. With AVX-512F alone, g++
// can only hold a comparison in a mask register, and turning that into a
// vector of lane masks needs AVX-512DQ, so it falls back to one lane at a
// time, several times slower than AVX.
template <class Kernel, int MaxLanes = 8, class... Args>
ZARN_ALWAYS_INLINE auto runOnVectorPath(Args... args) {
#if ZARN_WIDE_X86_PATHS
    const VectorPath path = vectorPath();
    if constexpr (MaxLanes >= 8) {
        if (path == VectorPath::avx512) return dispatch::runAvx512<Kernel>(args...);
    }
    if constexpr (MaxLanes >= 4) {
        if (path != VectorPath::portable) return dispatch::runAvx<Kernel>(args...);
    }
#endif
    return Kernel::template run<kPortableLanes>(args...);
}

// Two-lane operations whose x86 instruction g++ 12 does not find by itself;
// elsewhere, and for every other compiler, the portable form stands.

// out = a > b ? a : b in each lane: the maximum as x86's MAXPD computes it,
// b wherever either is NaN; lesserOf likewise with a < b, as MINPD. g++
// turns the conditional into MAXPD only while neither operand is a
// constant; against one it makes a compare and three logic operations.
ZARN_ALWAYS_INLINE void greaterOf(Lanes<2>::Real& out, const Lanes<2>::Real& a, const Lanes<2>::Real& b) {
#if defined(__SSE2__) && !defined(__clang__)
    out = __builtin_ia32_maxpd(a, b);
#else
    out = a > b ? a : b;
#endif
}

ZARN_ALWAYS_INLINE void lesserOf(Lanes<2>::Real& out, const Lanes<2>::Real& a, const Lanes<2>::Real& b) {
#if defined(__SSE2__) && !defined(__clang__)
    out = __builtin_ia32_minpd(a, b);
#else
    out = a < b ? a : b;
#endif
}

// The same on four and eight lanes, for kernels on the wide paths only. In
// the target("avx") and target("avx512f") wrappers g++ makes of the
// conditional a compare and a blend, which is as fast: no builtin needed.
ZARN_ALWAYS_INLINE void greaterOf(Lanes<4>::Real& out, const Lanes<4>::Real& a, const Lanes<4>::Real& b) {
    out = a > b ? a : b;
}
ZARN_ALWAYS_INLINE void lesserOf(Lanes<4>::Real& out, const Lanes<4>::Real& a, const Lanes<4>::Real& b) {
    out = a < b ? a : b;
}
ZARN_ALWAYS_INLINE void greaterOf(Lanes<8>::Real& out, const Lanes<8>::Real& a, const Lanes<8>::Real& b) {
    out = a > b ? a : b;
}
ZARN_ALWAYS_INLINE void lesserOf(Lanes<8>::Real& out, const Lanes<8>::Real& a, const Lanes<8>::Real& b) {
    out = a < b ? a : b;
}

// √v in each lane, correctly rounded as std::sqrt gives it (SQRTPD). std::sqrt
// lane by lane becomes one instruction only in a file built without errno
// (-fno-math-errno); elsewhere each lane stays a call that may set errno.
ZARN_ALWAYS_INLINE void squareRoot(Lanes<2>::Real& v) {
#if defined(__SSE2__)
    v = __builtin_ia32_sqrtpd(v);
#else
    for (int i = 0; i < 2; ++i) v[i] = __builtin_sqrt(v[i]);
#endif
}

// The same on four lanes, two at a time: a function of the AVX target
// cannot be inlined into the kernels, whose bodies have none of their own.
ZARN_ALWAYS_INLINE void squareRoot(Lanes<4>::Real& v) {
    Lanes<2>::Real low = __builtin_shufflevector(v, v, 0, 1), high = __builtin_shufflevector(v, v, 2, 3);
    squareRoot(low);
    squareRoot(high);
    v = __builtin_shufflevector(low, high, 0, 1, 2, 3);
}

// The four 32-bit integers of `values`, each known to lie within 16 bits,
// as four samples at out. Converting the vector instead costs g++ eight
// shuffles where one saturating pack (PACKSSDW) does.
ZARN_ALWAYS_INLINE void narrowToSamples(std::int16_t* out, const Lanes<4>::Int32& values) {
#if defined(__SSE2__) && !defined(__clang__)
    const auto packed = __builtin_ia32_packssdw128(values, values);
    std::memcpy(out, &packed, 4 * sizeof(std::int16_t));
#else
    const Lanes<4>::Int16 samples = __builtin_convertvector(values, Lanes<4>::Int16);
    std::memcpy(out, &samples, sizeof samples);
#endif
}

// The eight 32-bit integers of `values`, each known to lie within 16 bits,
// as eight samples at out: one saturating pack of the two halves.
ZARN_ALWAYS_INLINE void narrowToSamples(std::int16_t* out, const Lanes<8>::Int32& values) {
#if defined(__SSE2__) && !defined(__clang__)
    const Lanes<4>::Int32 low = __builtin_shufflevector(values, values, 0, 1, 2, 3);
    const Lanes<4>::Int32 high = __builtin_shufflevector(values, values, 4, 5, 6, 7);
    const auto packed = __builtin_ia32_packssdw128(low, high);
    std::memcpy(out, &packed, 8 * sizeof(std::int16_t));
#else
    const Lanes<8>::Int16 samples = __builtin_convertvector(values, Lanes<8>::Int16);
    std::memcpy(out, &samples, sizeof samples);
#endif
}

}  // namespace zarn
