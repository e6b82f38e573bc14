#include "encoder/StoredComponents.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "common/BandTable.h"
#include "common/RoundToSample.h"
#include "stream/FramePacking.h"
#include "stream/ZarnFormat.h"
#include "tests/support/BandTestUtil.h"
#include "tests/reference/LiteralKernels.h"

namespace zarn {
namespace {

using test::Spectrum;

TEST(StoredComponents, KeepTheTopBitsOfTheRoundedValue) {
    const struct {
        int bits;
        double x;
        unsigned field;  // the top bits + 1 bits that are kept
    } cases[] = {
        {3, -1.0, 0b1111},    {3, 5000.4, 0b0001},   {3, -0.5, 0b1111},     {3, 0.49, 0b0000},
        {3, 28672.0, 0b0111}, {3, -32768.0, 0b1000}, {1, 16383.4, 0b00},    {1, 16383.5, 0b01},
        {1, -16384.0, 0b11},  {14, -1.0, 0x7FFF},    {15, 32767.7, 0x7FFF}, {15, -32767.6, 0x8000},
        {15, 2.5, 3},         {15, -2.5, 0xFFFD},    {15, -0.49, 0},        {15, 0.5, 1},
        {15, 1e300, 0x7FFF},  {15, NAN, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, x = " << c.x);
        Spectrum s;
        s.re[2] = s.im[2] = c.x;
        EncodedFrame frame;
        frame.allocation[1] = static_cast<std::uint8_t>(c.bits);
        storeComponents(s.re.data(), s.im.data(), frame);
        const auto expected = static_cast<Sample>(static_cast<std::uint16_t>(c.field << (15 - c.bits)));
        EXPECT_EQ(frame.re[2], expected);
        EXPECT_EQ(frame.im[2], expected);
    }
}

TEST(StoredComponents, StoreNothingWhereTheFrameHasNoField) {
    Spectrum s;
    s.re.fill(777.0);
    s.im.fill(-777.0);
    EncodedFrame frame;
    frame.re.fill(5);
    frame.im.fill(5);
    frame.allocation.fill(15);
    frame.allocation[3] = 0;
    storeComponents(s.re.data(), s.im.data(), frame);
    for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
        const bool stored = kBands.bandOf[bin] != 3;
        EXPECT_EQ(frame.re[bin], stored ? 777 : 0) << "re[" << bin << "]";
        EXPECT_EQ(frame.im[bin], stored && bin != 0 && bin != 256 ? -777 : 0) << "im[" << bin << "]";
    }
}

// Values at every rounding corner and random ones, under random allocations:
// stored and packed, they must give the bytes of the literal writer, which
// rounds and packs one field at a time.
TEST(StoredComponents, PackedTheyGiveTheLiteralWritersBytes) {
    std::vector<double> corners = test::roundingCorners();
    std::mt19937 random(5);
    std::uniform_real_distribution<double> scaled(-32768.0, 32768.0);
    for (int i = 0; i < 2000; ++i) corners.push_back(scaled(random));
    for (int frameIndex = 0; frameIndex < 300; ++frameIndex) {
        SCOPED_TRACE(testing::Message() << "frame " << frameIndex << " of seed 5");
        EncodedFrame frame;
        for (auto& bits : frame.allocation) bits = static_cast<std::uint8_t>(frameIndex % 3 == 0 ? 15 : random() % 16);
        for (auto& e : frame.scale) e = static_cast<std::uint8_t>(random() % 16);
        Spectrum s;
        for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
            s.re[bin] = corners[random() % corners.size()];
            s.im[bin] = corners[random() % corners.size()];
        }
        storeComponents(s.re.data(), s.im.data(), frame);
        std::uint8_t bytes[kMaxFrameBytes];
        const std::vector<std::uint8_t> packed(bytes, bytes + packFrame(frame, bytes));
        ASSERT_EQ(packed, literal::frameBytes(frame.allocation, frame.scale, s.re.data(), s.im.data()));
    }
}

}  // namespace
}  // namespace zarn
