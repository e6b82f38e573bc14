#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zarn {

// Direct O(n²) discrete Fourier transform, the reduced build's stand-in for the
// FFT, with the same conventions: forward X[k] = (1/n)·Σ x[m]·e^(−2πi·k·m/n)
// for bins 0..n/2 only; inverse y[i] = Re Σ X[j]·e^(+2πi·i·j/n), unscaled, over
// a full spectrum that mirror() (dsp/Mirror.h) completes by conjugate symmetry.
//
// n is the transform length, which must be 512 (kBlockLength): the codec has
// no other, and the tables behind the sums are built for that length alone.
class Dft {
public:
    // The transforms an object runs. Each direction's tables are built once
    // per process, by the first object made for it: no transform allocates
    // or waits on building them, and a direction no object runs is never
    // built.
    enum class Directions { forward, inverse, both };

    explicit Dft(Directions directions = Directions::both);
    ~Dft();
    Dft(Dft&&) noexcept;
    Dft& operator=(Dft&&) noexcept;

    // Writes exactly n/2 + 1 entries of re and im.
    void forward(const double* x, double* re, double* im, std::int16_t n) const;
    // Writes n entries of y; there is no imaginary result.
    void inverse(const double* re, const double* im, double* y, std::int16_t n) const;

    // The same for `count` frames at once, frame f from x[f] (or re[f] and
    // im[f]) into re[f] and im[f] (or y[f]), with exactly the bits each would
    // get alone; nothing for none. A batch reads the megabytes of rotation tables once for
    // several frames instead of once for each.
    void forward(const double* const* x, double* const* re, double* const* im, std::size_t count);
    void inverse(const double* const* re, const double* const* im, double* const* y, std::size_t count);

    // Frames a program should hand over at once: four sets of eight frames on
    // the widest path, as many whole sets on every path, each pass over the
    // tables serving all of them. Between a program's batches its other work
    // pushes part of the 2 MiB forward table out of a 2 MiB L2; twice the
    // sixteen frames that fill the adders halves what that costs a frame.
    static constexpr std::size_t kBatch = 32;

    // How a batch's inverse lays out its sums: on `lanes` lanes, sets of
    // `frames` frames, `slices` vectors of neighbouring outputs of each at a
    // time. The path and the processor's tuning (common/VectorDispatch.h)
    // choose it; the bits are the same whichever it is.
    struct Sweeps {
        int lanes;
        int frames;
        int slices;
    };
    // The one a batch takes now: what the benchmarks report.
    static Sweeps inverseBatchSweeps();

    // Products per frame, each a multiplication of its own followed by an
    // addition of its own: forward, the cosine and the sine of bins 0..256 at
    // each of 512 inputs; inverse, the two products of each of 512 outputs at
    // each of 512 bins (one subtracted, then their difference added); the
    // forward transform's 514 scalings by 1/512 aside. What bounds the
    // transforms' speed (bench/PeakBench.cpp).
    static constexpr std::size_t kForwardProducts = 257 * 512 * 2;
    static constexpr std::size_t kInverseProducts = 512 * 512 * 2;

private:
    // Where a batch's sweeps on the widest path read its inputs from,
    // interleaved: a quarter of a megabyte, made with the object rather than
    // put on the stack of whichever thread calls.
    struct Scratch;
    std::unique_ptr<Scratch> scratch_;
    [[maybe_unused]] Directions directions_;  // read by the assertions alone
};

}  // namespace zarn
