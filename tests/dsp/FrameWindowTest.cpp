#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "common/Types.h"
#include "dsp/FrameWindow.h"
#include "tools/MusicSignal.h"

namespace zarn {
namespace {

Block ramp() {
    Block x;
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = 1000.0 + 3.0 * i;
    return x;
}

// The Block of a hop before and a hop, windowed.
Block framedAndWindowed(const FrameWindow& window, const Block& block) {
    std::array<Sample, kHop> hop;
    for (std::size_t i = 0; i < kHop; ++i) hop[i] = static_cast<Sample>(block[kHop + i]);
    Block x;
    window.frameWindowed(block.data(), hop.data(), x.data());
    return x;
}

TEST(FrameWindow, PeriodicHannOfLengthN) {
    const Block original = ramp();
    const Block x = framedAndWindowed(FrameWindow(), original);
    EXPECT_EQ(x[0], 0.0);
    EXPECT_DOUBLE_EQ(x[256], original[256]);
    EXPECT_NEAR(x[128], original[128] / 2, 1e-12);
    EXPECT_NEAR(x[384], original[384] / 2, 1e-12);
    for (int i = 1; i < 256; ++i) {
        // Periodic, not symmetric over 0..511: w[i] = w[512 - i], and both
        // halves of the overlap add up to one.
        const double w = x[i] / original[i], mirrored = x[512 - i] / original[512 - i];
        ASSERT_NEAR(w, mirrored, 1e-15) << "i = " << i;
        ASSERT_NEAR(w + x[i + 256] / original[i + 256], 1.0, 1e-15) << "i = " << i;
        ASSERT_GT(w, 0.0) << "i = " << i;
    }
}

TEST(FrameWindow, OverlapAddKeepsTheSecondHalfForTheNextCall) {
    FrameWindow window;
    const Block first = ramp();
    Block y = first;
    window.overlapAdd(y.data(), 512);
    EXPECT_EQ(y, first) << "a new window has nothing to add";

    Block second;
    for (std::size_t i = 0; i < second.size(); ++i) second[i] = -0.5 * i;
    y = second;
    window.overlapAdd(y.data(), 512);
    for (std::size_t i = 0; i < 256; ++i) ASSERT_EQ(y[i], second[i] + first[i + 256]) << "i = " << i;
    for (std::size_t i = 256; i < 512; ++i) ASSERT_EQ(y[i], second[i]) << "i = " << i;
}

// Frames `signal` into half-overlapping windowed Blocks, overlap-adds them as
// they are, and returns the finished halves of every step but the first.
std::vector<double> windowAndOverlapAdd(const std::vector<double>& signal) {
    const FrameWindow analysis;
    FrameWindow synthesis;
    HalfBlock previous{};
    std::vector<double> output;
    for (std::size_t start = 0; start == 0 || start < signal.size(); start += kHop) {
        Block block;
        for (std::size_t i = 0; i < kHop; ++i) {
            block[i] = previous[i];
            previous[i] = block[i + kHop] = start + i < signal.size() ? signal[start + i] : 0.0;
        }
        block = framedAndWindowed(analysis, block);
        synthesis.overlapAdd(block.data(), 512);
        if (start > 0) output.insert(output.end(), block.begin(), block.begin() + kHop);
    }
    return output;
}

TEST(FrameWindow, OverlappedWindowsGiveTheSignalBack) {
    const std::vector<std::int16_t> music = makeMusicSignal(256 * 6, 3);
    const std::vector<double> signals[] = {std::vector<double>(256 * 6, 1234.0),
                                           std::vector<double>(music.begin(), music.end())};
    for (const auto& signal : signals) {
        const std::vector<double> output = windowAndOverlapAdd(signal);
        // Each finished step completes the hop before the newest one.
        ASSERT_EQ(output.size(), signal.size() - kHop);
        for (std::size_t i = 0; i < output.size(); ++i) ASSERT_NEAR(output[i], signal[i], 1e-9) << "sample " << i;
    }
}

}  // namespace
}  // namespace zarn
