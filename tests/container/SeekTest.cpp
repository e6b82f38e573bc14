#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

#include "container/OggZarnReader.h"
#include "container/PageSeeker.h"
#include "tests/container/OggTestSupport.h"

namespace zarn::test {
namespace {

class Seeking : public testing::Test {
protected:
    static void SetUpTestSuite() {
        file_ = new OggFile(writeOgg({framesOf(encodeChannel(kSamples, 0))}, kSamples, 5));
    }
    static void TearDownTestSuite() { delete file_; }

    // Where a seek to granule `granule` must land: after the last audio page
    // of at most that granule.
    static std::uint64_t expectedOffset(std::int64_t granule) {
        std::uint64_t offset = file_->pageStarts[2];
        for (std::size_t page = 2; page < file_->granules.size(); ++page) {
            const std::size_t end = page + 1 < file_->pageStarts.size() ? file_->pageStarts[page + 1] : file_->bytes.size();
            if (file_->granules[page] <= granule) offset = end;
        }
        return offset;
    }

    static constexpr std::size_t kSamples = 44100 * 20;
    static OggFile* file_;
};
OggFile* Seeking::file_ = nullptr;

TEST_F(Seeking, FindsThePageBeforeEveryKindOfTargetInAFewReads) {
    std::vector<std::uint64_t> targets = {0, 1, 255, 256, 257, 1000, kSamples / 2 + 128, kSamples - 1};
    for (std::size_t page = 2; page < file_->granules.size(); page += 17) {
        const std::uint64_t boundary = static_cast<std::uint64_t>(file_->granules[page]) - kPreSkip;
        for (const std::uint64_t t : {boundary - 257, boundary - 256, boundary - 1, boundary, boundary + 1}) {
            if (t < kSamples) targets.push_back(t);
        }
    }
    const ReadBack whole = readOgg(file_->bytes);
    PageSeeker seeker;
    ASSERT_TRUE(seeker.ready());
    Memory memory{&file_->bytes};
    const ByteSource source{&memory, readMemory, seekMemory};
    for (const std::uint64_t t : targets) {
        SCOPED_TRACE(t);
        // The hop that finishes t, and the packet before it, where decoding begins.
        const std::uint64_t finishing = (t + kPreSkip) / kHopSamples;
        const std::uint64_t begin = finishing > 0 ? finishing - 1 : 0;
        const std::int64_t granule = static_cast<std::int64_t>(begin * kHopSamples);
        std::uint64_t offset = 0;
        ASSERT_EQ(seeker.find(source, 5, file_->pageStarts[2], file_->bytes.size(), granule, offset),
                  PageSeeker::Status::found);
        EXPECT_EQ(offset, expectedOffset(granule));
        EXPECT_LE(seeker.pagesRead(), 40u);

        OggZarnReader reader;
        ReadBack headers;
        feed(reader, file_->bytes.data(), file_->pageStarts[2], 1 << 20, headers);
        reader.restart();
        ReadBack read;
        const std::size_t span = std::min<std::size_t>(file_->bytes.size() - offset, 3 * OggZarnWriter::kPageBodyBytes);
        feed(reader, file_->bytes.data() + offset, span, 4096, read);
        ASSERT_FALSE(read.hops.empty());
        EXPECT_TRUE(read.hops.front().known);
        EXPECT_LE(read.hops.front().index, begin);
        EXPECT_LT(begin - read.hops.front().index, OggZarnWriter::kPageHops) << "the packet lies on the first page read";
        const std::size_t at = static_cast<std::size_t>(begin - read.hops.front().index);
        ASSERT_LT(at, read.hops.size());
        EXPECT_EQ(read.hops[at].frames, whole.hops[begin].frames);
    }
}

TEST(PageSeeking, ReportsASourceThatFails) {
    PageSeeker seeker;
    const Bytes bytes(100000, 0);
    Memory memory{&bytes};
    const ByteSource failing{&memory, [](void*, std::uint8_t*, std::size_t) { return -1L; }, seekMemory};
    std::uint64_t offset = 0;
    EXPECT_EQ(seeker.find(failing, 5, 0, bytes.size(), 1000, offset), PageSeeker::Status::failed);
    const ByteSource unseekable{&memory, readMemory, [](void*, std::int64_t) { return -1; }};
    EXPECT_EQ(seeker.find(unseekable, 5, 0, bytes.size(), 1000, offset), PageSeeker::Status::failed);
    // Bytes that hold no page give the start.
    const ByteSource zeros{&memory, readMemory, seekMemory};
    ASSERT_EQ(seeker.find(zeros, 5, 10, bytes.size(), 1000, offset), PageSeeker::Status::found);
    EXPECT_EQ(offset, 10u);
}

}  // namespace
}  // namespace zarn::test
