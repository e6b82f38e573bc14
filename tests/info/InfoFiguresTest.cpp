// The measurements behind zarninfo's tables, checked without the program.

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "info/FrameTable.h"
#include "info/FrequencyAxis.h"
#include "info/RemovedSignal.h"
#include "info/SignalComparison.h"
#include "tests/support/TestFiles.h"
#include "tools/MusicSignal.h"

namespace zarn::test {
namespace {

std::vector<Sample> join(std::vector<Sample> first, std::size_t count, Sample value) {
    first.insert(first.end(), count, value);
    return first;
}

TEST(SignalComparison, MeasuresWholeAndSegmentalSnrWithSilenceLeftOutAndLimitsHeld) {
    struct Case {
        const char* name;
        std::vector<Sample> original;
        std::vector<Sample> decoded;
        double snrDb;
        double segmentalDb;
        int largestError;
        std::size_t silent;
        std::size_t compared;
    };
    const double kInfinity = HUGE_VAL;
    const std::vector<Case> cases = {
        {"error of 1 %", join({}, 512, 1000), join({}, 512, 1010), 40.0, 40.0, 10, 0, 512},
        {"silence left out, perfect segment held at the ceiling", join(join({}, 256, 0), 256, 1000),
         join(join({}, 256, 5), 256, 1000), 10.0 * std::log10(40000.0), 60.0, 5, 1, 512},
        {"hopeless segment held at the floor", join({}, 512, 1000), join(join({}, 256, -32000), 256, 1010),
         -27.35998, (-10.0 + 40.0) / 2, 33000, 0, 512},
        {"the shorter signal sets the length", join({}, 768, 1000), join({}, 512, 1000), kInfinity, 60.0, 0,
         0, 512},
        {"last segment short", join({}, 300, 1000), join({}, 300, 1010), 40.0, 40.0, 10, 0, 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SignalComparison comparison(c.original, c.decoded);
        if (std::isinf(c.snrDb)) {
            EXPECT_EQ(comparison.snrDb(), c.snrDb);
        } else {
            EXPECT_NEAR(comparison.snrDb(), c.snrDb, 1e-4);
        }
        EXPECT_NEAR(comparison.segmentalSnrDb(), c.segmentalDb, 1e-9);
        EXPECT_EQ(comparison.largestError(), c.largestError);
        EXPECT_EQ(comparison.silentSegments(), c.silent);
        EXPECT_EQ(comparison.comparedSamples(), c.compared);
    }
    // With nothing but silence the segmental figure has nothing to average;
    // with nothing compared there is no figure at all, not a perfect one.
    EXPECT_TRUE(std::isnan(SignalComparison(join({}, 512, 0), join({}, 512, 3)).segmentalSnrDb()));
    EXPECT_TRUE(std::isnan(SignalComparison({}, join({}, 512, 3)).snrDb()));
}

TEST(RemovedSignal, IsTheDifferenceHeldAtTheSixteenBitLimitsAndItsLevelAgainstFullScale) {
    // Over the shorter signal, and no wrapping round at the ends of the range.
    EXPECT_EQ(RemovedSignal({32767, -32768, 5, 7}, {-32768, 32767, 5}).samples(),
              (std::vector<Sample>{32767, -32768, 0}));
    EXPECT_NEAR(RemovedSignal(join({}, 300, -32768), join({}, 300, 0)).levelDbfs(), 0.0, 1e-12);
    // Half the samples at half scale: an eighth of the power.
    EXPECT_NEAR(RemovedSignal(join(join({}, 256, 16384), 256, 0), join({}, 512, 0)).levelDbfs(),
                -10 * std::log10(8.0), 1e-12);
    // Digital silence, and nothing to compare at all.
    EXPECT_EQ(RemovedSignal(join({}, 512, 1000), join({}, 600, 1000)).levelDbfs(), -HUGE_VAL);
    EXPECT_EQ(RemovedSignal({}, join({}, 256, 1000)).levelDbfs(), -HUGE_VAL);
}

TEST(FrequencyAxis, RowsShowEveryBinOnceOnTheLinearAxisAndClimbToNyquistOnTheLogarithmicOne) {
    for (int rows : {206, 1000}) {
        SCOPED_TRACE(rows);
        std::size_t next = 0;  // linear: each row shows the next bin, or a narrow row repeats its own
        std::size_t previous = 1;  // logarithmic: DC lies far below 50 Hz
        for (int row = 0; row < rows; ++row) {
            const auto [first, end] = FrequencyAxis(false).rowBins(row, rows);
            ASSERT_TRUE(first < end && (first == next || (first + 1 == next && end == next))) << "row " << row;
            next = end;
            const auto [logFirst, logEnd] = FrequencyAxis(true).rowBins(row, rows);
            ASSERT_TRUE(logFirst < logEnd && logFirst >= previous) << "row " << row;
            previous = logEnd - 1;
        }
        EXPECT_EQ(next, kCodedBins);
        EXPECT_EQ(previous, kNyquistBin);
    }
}

TEST(FrameTable, FramesTakenFromTheirAllocationsLieEndToEndInTheFile) {
    TempDir dir;
    writeFile(dir.file("music.wav"), makeWaveFile(makeMusicSignal(8820)));
    ASSERT_EQ(runProgram(ZARNCONV_PATH, dir.path(), "1\nmusic.wav\nmusic.zarn\n5\n").exitStatus, 0);
    Bytes bytes = readFile(dir.file("music.zarn"));

    const FrameTable table(dir.file("music.zarn"));
    ASSERT_EQ(table.frameCount(), 35u);
    EXPECT_EQ(table.fileBytes(), bytes.size());
    // Each frame starts where the sizes of those before it end: with the tag
    // and band 0's allocation, stored low byte first.
    std::size_t offset = 0;
    std::size_t varied = 0;
    for (std::size_t f = 0; f < table.frameCount(); ++f) {
        ASSERT_LT(offset + 1, bytes.size());
        EXPECT_EQ(bytes[offset], 0xF0 + table.allocation(f)[0]) << "frame " << f;
        EXPECT_EQ(bytes[offset + 1], 0xFF) << "frame " << f;
        varied += table.allocation(f) != table.allocation(0);
        offset += table.frameBytes(f);
    }
    EXPECT_EQ(offset, bytes.size());
    EXPECT_GT(varied, 0u);  // a music signal's allocation changes over time

    // Trailing bytes too few for a frame count in the size, not as a frame.
    bytes.resize(bytes.size() + 26, 0);
    writeFile(dir.file("music.zarn"), bytes);
    const FrameTable trailing(dir.file("music.zarn"));
    EXPECT_EQ(trailing.frameCount(), 35u);
    EXPECT_EQ(trailing.fileBytes(), bytes.size());
}

}  // namespace
}  // namespace zarn::test
