#pragma once
// Lanes of doubles for kernels written once: GCC/Clang vector extensions, so
// that one source becomes SSE2, AVX or AVX-512 on x86-64, NEON on aarch64 and
// plain scalar code where the target has no vector unit. Every operation is
// lane by lane, each lane seeing exactly the scalar operation, so a kernel
// gives the same bits at every lane count.
//
// WATCHOUT: that holds only because the whole project builds with
// -ffp-contract=off. Vector arithmetic is contracted like scalar arithmetic:
// aarch64 fuses a*b+c into one rounding by default, and so does x86 inside a
// target that has FMA.

#include <cstdint>
#include <cstring>
#include <utility>

// WATCHOUT: a kernel body instantiated inside a target("avx") or
// target("avx512f") wrapper (VectorDispatch.h) is compiled for that
// instruction set only as far as its helpers are inlined into it. A helper
// left out of line is compiled for the baseline, silently narrow, and a wide
// vector passed to it by value changes the calling convention (-Wpsabi). So
// every helper a kernel calls is always_inline and takes vectors by reference.
#define ZARN_ALWAYS_INLINE inline __attribute__((always_inline))

// WATCHOUT: a kernel's arrays of vectors (sums, a block of values, tiles)
// stay in registers only if every loop over them is unrolled whole, so that
// each index is a constant. g++ 12 unrolls only the shortest loops by itself
// and leaves the rest rolled, the arrays on the stack, zeroed and reloaded at
// every step. Such loops are marked with ZARN_UNROLL, which g++ and clang
// both honour; it is the one way kernels force unrolling.
#define ZARN_UNROLL _Pragma("GCC unroll 16")

namespace zarn {

// Lanes on every target: 16 bytes, which x86 (SSE2), aarch64 (NEON) and
// s390x (z13 on) hold in one register. Kernels that do not gain from wider
// vectors use this count alone.
constexpr int kPortableLanes = 2;

// The vector types of N lanes, for Lanes<N> below.
//
// WATCHOUT: vector_size must sit on a typedef inside a class template, and
// be used from outside it. g++ drops the attribute without a word from an
// alias template (template <int N> using V = double
// __attribute__((vector_size(8 * N))) is a plain double), and inside the
// class template that declares the typedef it takes the type for a plain
// double too, so helpers using it there fail to compile. Hence the typedefs
// live in this base and Lanes<N> takes them over; the size checks catch a
// dropped attribute.
template <int N>
struct LaneTypes {
    typedef double Real __attribute__((vector_size(N * sizeof(double))));
    // A comparison's result: all bits set in a lane where it holds, none elsewhere.
    typedef std::int64_t Mask __attribute__((vector_size(N * sizeof(double))));
    typedef std::int32_t Int32 __attribute__((vector_size(N * sizeof(std::int32_t))));
    typedef std::int16_t Int16 __attribute__((vector_size(N * sizeof(std::int16_t))));
    // The width of N doubles as 16-bit words, 4N of them: the bit stream's unit.
    typedef std::uint16_t Words __attribute__((vector_size(N * sizeof(double))));
};

// One lane serves the kernels over bands a single bin wide; it compiles to
// plain scalar code.
template <int N>
struct Lanes : LaneTypes<N> {
    static_assert(N == 1 || N == 2 || N == 4 || N == 8, "one, two, four or eight lanes");
    using typename LaneTypes<N>::Real;
    using typename LaneTypes<N>::Mask;
    using typename LaneTypes<N>::Int32;
    using typename LaneTypes<N>::Int16;
    using typename LaneTypes<N>::Words;
    static_assert(sizeof(Real) == N * sizeof(double) && sizeof(Mask) == sizeof(Real) &&
                      sizeof(Int32) == N * sizeof(std::int32_t) && sizeof(Words) == sizeof(Real),
                  "vector_size was dropped");

    static constexpr int count = N;

    // Unaligned loads and stores; memcpy is the form every compiler turns
    // into one vector move without an aliasing question.
    static ZARN_ALWAYS_INLINE void load(Real& v, const double* from) { std::memcpy(&v, from, sizeof v); }
    static ZARN_ALWAYS_INLINE void store(double* to, const Real& v) { std::memcpy(to, &v, sizeof v); }

    // Every lane x. (Adding x to a zero vector instead would turn −0 into +0.)
    static ZARN_ALWAYS_INLINE void splat(Real& v, double x) {
        v = Real{};
        for (int i = 0; i < N; ++i) v[i] = x;
    }

    // |v| lane by lane, as fabs gives it: the sign bit cleared, NaN included.
    static ZARN_ALWAYS_INLINE void absolute(Real& v) {
        Mask bits;
        std::memcpy(&bits, &v, sizeof v);
        bits = bits & INT64_MAX;
        std::memcpy(&v, &bits, sizeof v);
    }

    // Transposes the N × N matrix whose rows are v[0] … v[N − 1]: afterwards
    // lane i of v[j] holds what lane j of v[i] held. Moves whole values only.
    static ZARN_ALWAYS_INLINE void transpose(Real* v) { transposeRound<N / 2>(v); }

    // out[i] = v[i]'s lanes combined by `combine` (a += b, say), for Count
    // vectors, N at a time: the rounds of a transposition, each pair of rows
    // combined as soon as the round has swapped their blocks, so that every
    // round halves the rows and N totals come out of one vector. The order
    // of the combinations is each path's own.
    template <int Count, class Combine>
    static ZARN_ALWAYS_INLINE void acrossLanes(const Real* v, double* out, Combine combine) {
        for (int group = 0; group < Count; group += N) {
            Real rows[N];
            ZARN_UNROLL for (int i = 0; i < N; ++i) rows[i] = group + i < Count ? v[group + i] : Real{};
            combineRound<N / 2>(rows, combine);
            ZARN_UNROLL for (int i = 0; i < N; ++i) {
                if (group + i < Count) out[group + i] = rows[0][i];
            }
        }
    }

    // Whether the comparison held in any lane.
    static ZARN_ALWAYS_INLINE bool any(const Mask& m) {
        std::int64_t bits = 0;
        for (int i = 0; i < N; ++i) bits |= m[i];
        return bits != 0;
    }

private:
    // Rounds S … 1 of acrossLanes: rows j and j + S, for every j below S,
    // swap their S × S blocks off the diagonal and become one.
    template <int S, class Combine>
    static ZARN_ALWAYS_INLINE void combineRound(Real* v, Combine& combine) {
        if constexpr (S >= 1) {
            ZARN_UNROLL for (int j = 0; j < S; ++j) {
                swapBlocks<S>(v[j], v[j + S], std::make_integer_sequence<int, N>{});
                combine(v[j], v[j + S]);
            }
            combineRound<S / 2>(v, combine);
        }
    }

    // One round of the transposition: rows j and j + S, for every j without
    // bit S, swap the S × S blocks off the diagonal. Rounds S = N/2 … 1 make
    // the whole transposition.
    template <int S>
    static ZARN_ALWAYS_INLINE void transposeRound(Real* v) {
        if constexpr (S >= 1) {
            swapRows<S, 0>(v);
            transposeRound<S / 2>(v);
        }
    }
    template <int S, int J>
    static ZARN_ALWAYS_INLINE void swapRows(Real* v) {
        if constexpr (J < N) {
            if constexpr ((J & S) == 0) swapBlocks<S>(v[J], v[J + S], std::make_integer_sequence<int, N>{});
            swapRows<S, J + 1>(v);
        }
    }
    // WATCHOUT: __builtin_shufflevector is in clang and only from g++ 12 on.
    template <int S, int... I>
    static ZARN_ALWAYS_INLINE void swapBlocks(Real& a, Real& b, std::integer_sequence<int, I...>) {
        const Real low = __builtin_shufflevector(a, b, ((I & S) == 0 ? I : N + I - S)...);
        const Real high = __builtin_shufflevector(a, b, ((I & S) == 0 ? I + S : N + I)...);
        a = low;
        b = high;
    }
};

}  // namespace zarn
