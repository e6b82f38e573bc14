#include "stream/ZarnWriter.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/stream/StreamTestUtil.h"

namespace zarn {
namespace {

using test::Bytes;
using test::Frame;
using test::sameBytes;

Bytes written(const std::function<void(ZarnWriter&)>& write) {
    test::TempDir dir;
    const std::string path = dir.file("out.zarn");
    ZarnWriter writer(path.c_str());
    write(writer);
    writer.close();
    return test::readFile(path);
}

Bytes writtenFrames(const std::vector<Frame>& frames) {
    return written([&](ZarnWriter& writer) {
        for (const Frame& f : frames) writer.writeFrame(f.allocation, f.scale, f.re.data(), f.im.data());
    });
}

// Every scale 15, and a value in every bin that a band without bits must not store.
Frame frameWithUnstoredValues() {
    Frame f;
    f.scale.fill(15);
    f.re.fill(777.0);
    f.im.fill(-777.0);
    return f;
}

Frame band1Frame() {
    Frame f = frameWithUnstoredValues();
    f.allocation[1] = 5;
    f.re[2] = -1.0;
    f.im[2] = 1000.0;
    return f;
}

TEST(ZarnWriter, WritesTheSmallestFrames) {
    const Frame silent = frameWithUnstoredValues();
    EXPECT_TRUE(sameBytes(writtenFrames({silent}), test::silentFrameBytes()));
    EXPECT_TRUE(sameBytes(writtenFrames({band1Frame()}), test::band1FrameBytes()));
    // Frames follow each other with nothing in between.
    EXPECT_TRUE(sameBytes(writtenFrames({band1Frame(), silent, band1Frame()}),
                          test::bytes({test::band1FrameBytes(), test::silentFrameBytes(), test::band1FrameBytes()})));
}

TEST(ZarnWriter, WritesAFullFrameFieldByField) {
    // Fifteen bits in every band keep whole 16-bit values, so integer-valued
    // bins come out exactly: band 0 as re 0, re 1, im 1, and no im at bin 256.
    Frame f;
    test::ReferencePacker expected;
    expected.put(12, 0xFFF);
    for (std::size_t band = 0; band < kBandCount; ++band) {
        f.allocation[band] = 15;
        expected.put(4, 15);
    }
    for (std::size_t band = 0; band < kBandCount; ++band) {
        f.scale[band] = static_cast<std::uint8_t>((band * 7) % 16);
        expected.put(4, f.scale[band]);
    }
    for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
        const auto re = static_cast<std::int16_t>(bin * 40503u), im = static_cast<std::int16_t>(~(bin * 9973u));
        f.re[bin] = re;
        f.im[bin] = im;
        expected.put(16, static_cast<std::uint16_t>(re));
        if (bin != 0 && bin != 256) expected.put(16, static_cast<std::uint16_t>(im));
    }
    expected.put(12, 0);
    const Bytes out = writtenFrames({f});
    EXPECT_EQ(out.size(), 1052u);
    EXPECT_TRUE(sameBytes(out, expected.bytes()));
}

TEST(ZarnWriter, StoresTheTopBitsOfTheRoundedValue) {
    struct Case {
        int bits;
        double x;
        unsigned field;
    };
    const Case cases[] = {
        {3, -1.0, 0b1111},      {3, 5000.4, 0b0001},   {3, -0.5, 0b1111},      {3, 0.49, 0b0000},
        {3, 28672.0, 0b0111},   {3, -32768.0, 0b1000}, {1, 16383.4, 0b00},     {1, 16383.5, 0b01},
        {1, -16384.0, 0b11},    {14, -1.0, 0x7FFF},    {15, 32767.7, 0x7FFF},  {15, -32767.6, 0x8000},
        {15, 2.5, 3},           {15, -2.5, 0xFFFD},    {15, -0.49, 0},         {15, 0.5, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, x = " << c.x);
        Frame f = band1Frame();
        f.allocation[1] = static_cast<std::uint8_t>(c.bits);
        f.re[2] = c.x;
        f.im[2] = c.x;
        // Bin 2 is the frame's only coefficient: real, then imaginary field.
        test::ReferencePacker expected;
        expected.put(12, 0xFFF);
        for (std::size_t band = 0; band < kBandCount; ++band) expected.put(4, band == 1 ? c.bits : 0);
        for (std::size_t band = 0; band < kBandCount; ++band) expected.put(4, 15);
        expected.put(c.bits + 1, c.field);
        expected.put(c.bits + 1, c.field);
        expected.put(16 - static_cast<int>(expected.size() % 16), 0);
        EXPECT_TRUE(sameBytes(writtenFrames({f}), expected.bytes()));
    }
}

TEST(ZarnWriter, PutBitsPacksEveryWidthAtEveryOffset) {
    for (std::uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        const auto fields = test::fieldRun(seed);
        test::ReferencePacker expected;
        for (const auto& field : fields) expected.put(field.count, field.value);
        const Bytes out = written([&](ZarnWriter& writer) {
            for (const auto& field : fields) writer.putBits(field.count, field.value);
        });
        EXPECT_TRUE(sameBytes(out, expected.bytes()));
    }
}

TEST(ZarnWriterDeathTest, UnopenablePathEndsTheProcess) {
    test::TempDir dir;
    const std::string path = dir.file("missing/out.zarn");
    EXPECT_EXIT(ZarnWriter{path.c_str()}, testing::ExitedWithCode(1),
                "^Ikke i stand til at aabne Zarn til skrivning\n$");
}

}  // namespace
}  // namespace zarn
