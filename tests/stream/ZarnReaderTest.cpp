#include "stream/ZarnReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "stream/ZarnWriter.h"
#include "tests/support/BandTestUtil.h"
#include "tests/stream/StreamTestUtil.h"

namespace zarn {
namespace {

using test::Bytes;

constexpr double kStale = 99.5;  // what the arrays hold before a read

// One file in a folder of its own for each test.
class ZarnReaderTest : public testing::Test {
protected:
    const char* file(const Bytes& content) {
        test::writeFile(path_, content);
        return path_.c_str();
    }
    test::TempDir dir_;
    std::string path_ = dir_.file("in.zarn");
};

struct Decoded {
    ScaleExponents scale{};
    SpectrumPart re{}, im{};
    Decoded() {
        re.fill(kStale);
        im.fill(kStale);
    }
    bool read(ZarnReader& reader) { return reader.readFrame(scale, re.data(), im.data()); }
};

void expectOnly(const Decoded& d, std::size_t bin, double re, double im) {
    for (std::size_t i = 0; i < kCodedBins; ++i) {
        EXPECT_EQ(d.re[i], i == bin ? re : 0.0) << "re[" << i << "]";
        EXPECT_EQ(d.im[i], i == bin ? im : 0.0) << "im[" << i << "]";
    }
    for (std::size_t i = kCodedBins; i < kBlockLength; ++i) EXPECT_TRUE(d.re[i] == kStale && d.im[i] == kStale);
    for (std::size_t band = 0; band < kBandCount; ++band) EXPECT_EQ(d.scale[band], 15) << "band " << band;
}

TEST_F(ZarnReaderTest, ReadsTheSmallestFrames) {
    // A band without bits reads as zeros, whatever the arrays held before.
    ZarnReader reader(file(test::bytes({test::band1FrameBytes(), test::silentFrameBytes(), test::band1FrameBytes()})));
    Decoded d;
    ASSERT_TRUE(d.read(reader));
    expectOnly(d, 2, -1024.0, 0.0);
    d = Decoded();
    ASSERT_TRUE(d.read(reader));
    expectOnly(d, 0, 0.0, 0.0);
    ASSERT_TRUE(d.read(reader));
    expectOnly(d, 2, -1024.0, 0.0);
    EXPECT_FALSE(d.read(reader));
}

TEST_F(ZarnReaderTest, IgnoresTooFewTrailingBytesForAFrame) {
    // 27 bytes, the size of a header, are taken as a frame even when cut short.
    Bytes cut = test::silentFrameBytes();
    cut.pop_back();
    ZarnReader shortFrame(file(cut));
    Decoded d;
    EXPECT_FALSE(d.read(shortFrame));

    for (std::size_t extra = 1; extra <= 26; ++extra) {
        SCOPED_TRACE(testing::Message() << extra << " trailing bytes");
        ZarnReader reader(file(test::bytes({test::silentFrameBytes(), test::repeated(extra, 0xAB)})));
        EXPECT_TRUE(d.read(reader));
        EXPECT_FALSE(d.read(reader));
    }
}

TEST_F(ZarnReaderTest, GetBitsReadsBackWhatPutBitsWrote) {
    for (std::uint32_t seed : {4u, 5u, 6u}) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        const auto fields = test::fieldRun(seed);
        {
            ZarnWriter writer(path_.c_str());
            for (const auto& field : fields) writer.putBits(field.count, field.value);
        }
        ZarnReader reader(path_.c_str());
        std::uint16_t out = 0;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            ASSERT_TRUE(reader.getBits(fields[i].count, out)) << "field " << i;
            ASSERT_EQ(out, static_cast<std::uint16_t>(fields[i].value << (16 - fields[i].count)))
                << "field " << i << " of " << fields[i].count << " bits";
        }
        EXPECT_FALSE(reader.getBits(1, out));
    }
}

// The value a field of b + 1 bits brings back: the rounded 16-bit value with
// its low 15 − b bits cleared. std::round rounds halves away from zero.
double expectedValue(double x, int b) {
    const double q = std::min(32767.0, std::max(-32768.0, std::round(x)));
    const auto word = static_cast<std::uint16_t>(static_cast<std::int16_t>(q));
    return static_cast<std::int16_t>(word & ~((1u << (15 - b)) - 1));
}

TEST_F(ZarnReaderTest, ReadsBackRandomFramesAsTheWriterRoundedThem) {
    for (std::uint32_t seed = 1; seed <= 5; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> value(-32768.0, 32768.0);
        std::vector<test::Frame> frames(12);
        for (std::size_t n = 0; n < frames.size(); ++n) {
            test::Frame& f = frames[n];
            for (std::size_t band = 0; band < kBandCount; ++band) {
                // The first frame keeps every bit, the second none.
                f.allocation[band] = static_cast<std::uint8_t>(n == 0 ? 15 : n == 1 ? 0 : random() % 16);
                f.scale[band] = static_cast<std::uint8_t>(random() % 16);
            }
            for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
                for (double* part : {&f.re[bin], &f.im[bin]}) {
                    const double specials[] = {-32768.0, 32767.6, -32767.6, 0.5, -0.5, 0.49, -0.0};
                    *part = random() % 8 == 0 ? specials[random() % 7] : value(random);
                }
            }
        }
        {
            ZarnWriter writer(path_.c_str());
            for (const auto& f : frames) writer.writeFrame(f.allocation, f.scale, f.re.data(), f.im.data());
        }
        ZarnReader reader(path_.c_str());
        for (std::size_t n = 0; n < frames.size(); ++n) {
            SCOPED_TRACE(testing::Message() << "frame " << n);
            const test::Frame& f = frames[n];
            Decoded d;
            ASSERT_TRUE(d.read(reader));
            EXPECT_EQ(d.scale, f.scale);
            std::size_t band = 0;
            for (std::size_t bin = 0; bin < kCodedBins; ++bin) {
                if (bin == test::kFirstBin[band + 1]) ++band;
                const int b = f.allocation[band];
                const bool stored = b > 0, imaginary = stored && bin != 0 && bin != 256;
                EXPECT_EQ(d.re[bin], stored ? expectedValue(f.re[bin], b) : 0.0) << "re[" << bin << "] of " << f.re[bin];
                EXPECT_EQ(d.im[bin], imaginary ? expectedValue(f.im[bin], b) : 0.0) << "im[" << bin << "] of " << f.im[bin];
            }
        }
        Decoded d;
        EXPECT_FALSE(d.read(reader));
    }
}

TEST_F(ZarnReaderTest, AFrameCutAnywhereEndsTheStreamQuietly) {
    test::Frame full, mixed;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        full.allocation[band] = 15;
        mixed.allocation[band] = static_cast<std::uint8_t>(band * 5 % 16);
    }
    for (std::size_t bin = 0; bin < kCodedBins; ++bin) full.re[bin] = mixed.im[bin] = -1000.0 - bin;
    for (const test::Frame& f : {full, mixed}) {
        {
            ZarnWriter writer(path_.c_str());
            writer.writeFrame(f.allocation, f.scale, f.re.data(), f.im.data());
        }
        const Bytes whole = test::readFile(path_);
        for (std::size_t size = 27; size < whole.size(); ++size) {
            ZarnReader reader(file(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size))));
            Decoded d;
            EXPECT_FALSE(d.read(reader)) << "cut after " << size << " of " << whole.size() << " bytes";
        }
    }
}

using ZarnReaderDeathTest = ZarnReaderTest;

TEST_F(ZarnReaderDeathTest, RefusesWhatItCannotOpenOrWhatIsTooSmall) {
    const char* openMessage = "^Ikke i stand til at aabne Zarn til laesning\n$";
    const std::string missing = dir_.file("missing.zarn");
    EXPECT_EXIT(ZarnReader{missing.c_str()}, testing::ExitedWithCode(1), openMessage);
    EXPECT_EXIT(ZarnReader{dir_.path().c_str()}, testing::ExitedWithCode(1), openMessage);
    const Bytes frame = test::silentFrameBytes();
    for (const std::ptrdiff_t size : {0, 1, 26}) {
        const Bytes start(frame.begin(), frame.begin() + size);
        EXPECT_EXIT(ZarnReader{file(start)}, testing::ExitedWithCode(1),
                    "^Fil stoerrelsen er for lille til at vaere af Zarn-formatet\n$")
            << size << " bytes";
    }
}

// Runs `body` with standard output sent where a death test looks (standard
// error) and standard error thrown away, so that the message must come on
// standard output to be seen.
template <class Body>
void withStandardOutputOnly(Body body) {
    dup2(2, 1);
    const int nothing = open("/dev/null", O_WRONLY);
    dup2(nothing, 2);
    body();
}

TEST_F(ZarnReaderDeathTest, AFrameWithoutTheTagEndsTheProcess) {
    struct Case {
        Bytes content;
        const char* found;
    };
    const Case cases[] = {
        {test::bytes({{0xAB, 0xCD}, test::repeated(26, 0)}), "cda"},
        {test::repeated(28, 0), "0"},
        {test::bytes({{0x10, 0x00}, test::repeated(26, 0)}), "1"},
        {test::bytes({{0xE0, 0xFF}, test::repeated(26, 0)}), "ffe"},
        // After a whole frame, 27 bytes or more are taken for the next one.
        {test::bytes({test::silentFrameBytes(), test::repeated(27, 0xAB)}), "aba"},
        {test::bytes({test::band1FrameBytes(), test::repeated(40, 0xAB)}), "aba"},
    };
    for (const Case& c : cases) {
        const char* path = file(c.content);
        EXPECT_EXIT(withStandardOutputOnly([path] {
                        ZarnReader reader(path);
                        Decoded d;
                        while (d.read(reader)) {
                        }
                    }),
                    testing::ExitedWithCode(1), std::string("^Header tag 0xFFF mangler \\(fejl: ") + c.found + "\\)\n$");
    }
}

}  // namespace
}  // namespace zarn
