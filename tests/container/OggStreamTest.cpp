#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "container/OggZarnEncoder.h"
#include "container/OggZarnReader.h"
#include "container/OggZarnWriter.h"
#include "tests/container/OggTestSupport.h"

namespace zarn::test {
namespace {

using Outcome = OggZarnReader::Outcome;

std::vector<std::vector<Bytes>> encodeChannels(unsigned channels, std::size_t samples) {
    std::vector<std::vector<Bytes>> frames;
    for (unsigned c = 0; c < channels; ++c) frames.push_back(framesOf(encodeChannel(samples, c)));
    return frames;
}

TEST(OggStream, FramesOfTheRealEncoderComeBackByteForByteInEveryCut) {
    for (const unsigned channels : {1u, 2u, 8u}) {
        SCOPED_TRACE(channels);
        const std::size_t samples = 44100 / 2 + 77;
        const auto frames = encodeChannels(channels, samples);
        const OggFile file = writeOgg(frames, samples, 7, {"TITLE=tone", "ARTIST="});
        for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{5000}, file.bytes.size()}) {
            SCOPED_TRACE(piece);
            const ReadBack read = readOgg(file.bytes, piece);
            ASSERT_EQ(read.identifications.size(), 1u);
            EXPECT_EQ(read.identifications[0].channels, channels);
            ASSERT_EQ(read.tags.size(), 1u);
            EXPECT_EQ(read.tags[0], (std::vector<std::string>{"TITLE=tone", "ARTIST="}));
            ASSERT_EQ(read.hops.size(), frames[0].size());
            for (std::size_t hop = 0; hop < read.hops.size(); ++hop) {
                EXPECT_TRUE(read.hops[hop].known);
                EXPECT_EQ(read.hops[hop].index, hop);
                for (unsigned c = 0; c < channels; ++c) ASSERT_EQ(read.hops[hop].frames[c], frames[c][hop]);
            }
            EXPECT_EQ(read.lengths, std::vector<std::uint64_t>{samples});
            EXPECT_EQ(read.end, Outcome::done);
            EXPECT_EQ(read.outcomes.size(), 3 + read.hops.size());
        }
    }
}

// Ogg pages parsed anew, to see what a stream holds without the reader.
std::vector<ogg_packet> packetsOf(const Bytes& bytes, std::vector<ogg_page>& pages, ogg_sync_state& sync,
                                  ogg_stream_state& stream) {
    std::vector<ogg_packet> packets;
    char* buffer = ogg_sync_buffer(&sync, static_cast<long>(bytes.size()));
    std::memcpy(buffer, bytes.data(), bytes.size());
    ogg_sync_wrote(&sync, static_cast<long>(bytes.size()));
    ogg_page page;
    while (ogg_sync_pageout(&sync, &page) == 1) {
        pages.push_back(page);
        if (pages.size() == 1) ogg_stream_init(&stream, ogg_page_serialno(&page));
        ogg_stream_pagein(&stream, &page);
        ogg_packet packet;
        while (ogg_stream_packetout(&stream, &packet) == 1) {
            Bytes copy(packet.packet, packet.packet + packet.bytes);
            packets.push_back(packet);
        }
    }
    return packets;
}

TEST(OggStream, AMonoStreamsPacketsAreTheBareStreamsFrames) {
    const Bytes bare = encodeChannel(10000, 0);
    const auto frames = framesOf(bare);
    const OggFile file = writeOgg({frames}, 10000);
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    ogg_stream_state stream;
    std::vector<ogg_page> pages;
    const auto packets = packetsOf(file.bytes, pages, sync, stream);
    Bytes joined;
    for (std::size_t i = 2; i < packets.size(); ++i) joined.insert(joined.end(), packets[i].packet, packets[i].packet + packets[i].bytes);
    EXPECT_EQ(joined, bare);
    EXPECT_EQ(packets.size(), 2 + frames.size());
    // The identification header alone on the first page, flagged so; the
    // last page flagged as the end.
    EXPECT_TRUE(ogg_page_bos(&pages.front()));
    EXPECT_EQ(ogg_page_packets(&pages.front()), 1);
    EXPECT_TRUE(ogg_page_eos(&pages.back()));
    ogg_stream_clear(&stream);
    ogg_sync_clear(&sync);
}

TEST(OggStream, GivesTheExactLengthForEveryKindOfEnd) {
    for (const std::size_t samples : {0, 1, 255, 256, 257, 511, 512, 44100 * 3 + 17}) {
        SCOPED_TRACE(samples);
        const auto frames = encodeChannels(2, samples);
        const std::size_t hops = std::max<std::size_t>(1, (samples + 255) / 256);
        ASSERT_EQ(frames[0].size(), hops);
        const OggFile file = writeOgg(frames, samples);
        EXPECT_EQ(file.granules.back(), static_cast<std::int64_t>(kPreSkip + samples));
        const ReadBack read = readOgg(file.bytes);
        EXPECT_EQ(read.lengths, std::vector<std::uint64_t>{samples});
        EXPECT_EQ(read.hops.size(), hops);
        // Every page but the last counts whole packets.
        for (std::size_t page = 2; page + 1 < file.granules.size(); ++page) EXPECT_EQ(file.granules[page] % 256, 0);
    }
}

TEST(OggStream, WriterRefusesALengthOutsideTheLastHopAndFramesThatAreNotFrames) {
    const auto frames = encodeChannels(1, 1000);  // four hops: 769 to 1024 samples
    for (const std::uint64_t samples : {768u, 1025u, 0u}) {
        OggFile file;
        OggZarnWriter writer(1, keepPage, &file);
        const Bytes comments = commentsOf({});
        ASSERT_EQ(writer.begin(Identification{}, comments.data(), comments.size()), OggZarnWriter::Status::ok);
        for (const Bytes& frame : frames[0]) {
            const FrameBytes bytes{frame.data(), frame.size()};
            ASSERT_EQ(writer.hop(&bytes), OggZarnWriter::Status::ok);
        }
        EXPECT_EQ(writer.finish(samples), OggZarnWriter::Status::argument) << samples;
        EXPECT_EQ(writer.finish(1000), OggZarnWriter::Status::state);
    }
    OggFile file;
    OggZarnWriter writer(1, keepPage, &file);
    const Bytes comments = commentsOf({});
    EXPECT_EQ(writer.hop(nullptr), OggZarnWriter::Status::state);
    OggZarnWriter second(1, keepPage, &file);
    ASSERT_EQ(second.begin(Identification{}, comments.data(), comments.size()), OggZarnWriter::Status::ok);
    const Bytes& frame = frames[0][1];
    const FrameBytes shortFrame{frame.data(), frame.size() - 2};
    EXPECT_EQ(second.hop(&shortFrame), OggZarnWriter::Status::argument);
    Identification tooMany;
    tooMany.channels = 9;
    OggZarnWriter third(1, keepPage, &file);
    EXPECT_EQ(third.begin(tooMany, comments.data(), comments.size()), OggZarnWriter::Status::argument);
}

TEST(OggStream, SilentHopsAreEmptyPacketsThatReadAsTheSilentFrame) {
    OggFile file;
    OggZarnWriter writer(3, keepPage, &file);
    Identification header;
    header.channels = 2;
    const Bytes comments = commentsOf({});
    ASSERT_EQ(writer.begin(header, comments.data(), comments.size()), OggZarnWriter::Status::ok);
    const std::size_t hops = 44100 * 10 / 256;  // ten seconds
    for (std::size_t hop = 0; hop < hops; ++hop) ASSERT_EQ(writer.silentHop(), OggZarnWriter::Status::ok);
    ASSERT_EQ(writer.finish(hops * 256), OggZarnWriter::Status::ok);
    const std::size_t headerPages = file.pageStarts[2];
    EXPECT_LT(file.bytes.size() - headerPages, 2500u) << "ten seconds of silence in about 200 bytes a second";
    const ReadBack read = readOgg(file.bytes);
    ASSERT_EQ(read.hops.size(), hops);
    for (const ReadHop& hop : read.hops) {
        EXPECT_TRUE(hop.silent);
        EXPECT_EQ(hop.frames[1], Bytes(kSilentFrame.begin(), kSilentFrame.end()));
    }
    EXPECT_TRUE(isSilentFrame({kSilentFrame.data(), kSilentFrame.size()}));
    EXPECT_EQ(read.lengths, std::vector<std::uint64_t>{hops * 256});
}

TEST(OggStream, PagesCloseAtTheirSizeAndAboutASecondAndNeverSplitAPacket) {
    const auto frames = encodeChannels(8, 44100 * 2);
    const OggFile file = writeOgg(frames, 44100 * 2);
    for (std::size_t page = 2; page < file.pageBodies.size(); ++page) {
        const std::int64_t hops = (file.granules[page] - file.granules[page - 1]) / 256;
        // A page over the size holds one packet, and no granule is -1.
        EXPECT_TRUE(file.pageBodies[page] <= OggZarnWriter::kPageBodyBytes || hops == 1) << page;
        EXPECT_GE(file.granules[page], 0);
        EXPECT_LE(hops, OggZarnWriter::kPageHops);
    }
}

OggFile longMono(std::size_t samples) { return writeOgg({framesOf(encodeChannel(samples, 0))}, samples); }

TEST(OggStream, ABadCrcIsLostSyncAndTheHoleCountsExactlyTheHopsItHeld) {
    const OggFile file = longMono(44100 * 4);
    const ReadBack clean = readOgg(file.bytes);
    const std::size_t page = 4;
    const std::size_t lostHops = static_cast<std::size_t>(file.granules[page] - file.granules[page - 1]) / 256;
    Bytes damaged = file.bytes;
    damaged[file.pageStarts[page] + 100] ^= 0x04;
    const ReadBack read = readOgg(damaged);
    EXPECT_GE(read.count(Outcome::lostSync), 1u);
    ASSERT_EQ(read.lost, std::vector<std::uint64_t>{lostHops});
    ASSERT_EQ(read.hops.size(), clean.hops.size() - lostHops);
    // Every hop after the hole has its true index.
    const std::size_t firstLost = static_cast<std::size_t>(file.granules[page - 1]) / 256;
    for (std::size_t i = firstLost; i < read.hops.size(); ++i) {
        EXPECT_EQ(read.hops[i].index, i + lostHops);
        EXPECT_EQ(read.hops[i].frames, clean.hops[i + lostHops].frames);
    }
    EXPECT_EQ(read.lengths, clean.lengths);
}

TEST(OggStream, AMissingPageIsAHoleWithoutLostSync) {
    const OggFile file = longMono(44100 * 4);
    const std::size_t page = 5;
    Bytes cut(file.bytes.begin(), file.bytes.begin() + static_cast<std::ptrdiff_t>(file.pageStarts[page]));
    cut.insert(cut.end(), file.bytes.begin() + static_cast<std::ptrdiff_t>(file.pageStarts[page + 1]), file.bytes.end());
    const ReadBack read = readOgg(cut);
    EXPECT_EQ(read.count(Outcome::lostSync), 0u);
    EXPECT_EQ(read.lost, std::vector<std::uint64_t>{static_cast<std::uint64_t>(file.granules[page] - file.granules[page - 1]) / 256});
    EXPECT_EQ(read.hops.back().index, static_cast<std::uint64_t>(file.granules.back() - 1) / 256 - 1);
}

TEST(OggStream, AStreamCutShortIsTruncated) {
    const OggFile file = longMono(44100);
    for (const std::size_t keep : {file.bytes.size() - 1, file.pageStarts.back(), file.pageStarts[3] + 30}) {
        const ReadBack read = readOgg(Bytes(file.bytes.begin(), file.bytes.begin() + static_cast<std::ptrdiff_t>(keep)));
        EXPECT_EQ(read.end, Outcome::truncated) << keep;
        EXPECT_TRUE(read.lengths.empty());
    }
}

TEST(OggStream, JunkAfterTheEndIsNoCutPageHoweverTheInputIsCut) {
    const OggFile file = longMono(2000);
    Bytes junk = file.bytes;
    // A page made bad, so that its bytes are skipped, then a little junk.
    const Bytes tail(file.bytes.begin() + static_cast<std::ptrdiff_t>(file.pageStarts.back()), file.bytes.end());
    junk.insert(junk.end(), tail.begin(), tail.end());
    junk[file.bytes.size() + 40] ^= 1;
    for (const char* end : {"xyz", "sOgx", "abcdefghijklmnopqrstuvw"}) junk.insert(junk.end(), end, end + std::strlen(end));
    for (const std::size_t piece : {std::size_t{1}, std::size_t{13}, file.bytes.size() + 50, junk.size()}) {
        EXPECT_EQ(readOgg(junk, piece).end, Outcome::done) << piece;
    }
    Bytes cutPage = junk;
    for (const char c : {'O', 'g', 'g'}) cutPage.push_back(static_cast<std::uint8_t>(c));
    for (const std::size_t piece : {std::size_t{1}, std::size_t{13}, cutPage.size()}) {
        EXPECT_EQ(readOgg(cutPage, piece).end, Outcome::truncated) << piece;
    }
}

TEST(OggStream, AReaderJoiningMidWayTakesThePositionFromTheFirstGranule) {
    const OggFile file = longMono(44100 * 3);
    const ReadBack clean = readOgg(file.bytes);
    for (const std::size_t page : {std::size_t{3}, std::size_t{6}}) {
        OggZarnReader reader;
        ReadBack headers;
        feed(reader, file.bytes.data(), file.pageStarts[2], 1 << 20, headers);
        ASSERT_EQ(headers.identifications.size(), 1u);
        reader.restart();
        // From inside the page before, whose end is skipped as no page.
        const std::size_t from = file.pageStarts[page - 1] + 40;
        ReadBack read;
        feed(reader, file.bytes.data() + from, file.bytes.size() - from, 999, read);
        EXPECT_EQ(read.outcomes.front(), Outcome::lostSync);
        ASSERT_FALSE(read.hops.empty());
        const std::uint64_t first = static_cast<std::uint64_t>(file.granules[page - 1]) / 256;
        EXPECT_EQ(read.hops.front().index, first);
        EXPECT_TRUE(read.hops.front().known);
        EXPECT_EQ(read.hops.front().frames, clean.hops[first].frames);
        EXPECT_EQ(read.lengths, clean.lengths);
        EXPECT_EQ(reader.finish(), Outcome::done);
    }
}

TEST(OggStream, ChainedStreamsAreReadLinkByLinkWithTheirOwnHeaders) {
    const OggFile first = writeOgg(encodeChannels(1, 1000), 1000, 11, {"TITLE=one"});
    const OggFile second = writeOgg(encodeChannels(3, 300), 300, 12, {"TITLE=two"});
    Bytes chain = first.bytes;
    chain.insert(chain.end(), second.bytes.begin(), second.bytes.end());
    const ReadBack read = readOgg(chain, 333);
    ASSERT_EQ(read.identifications.size(), 2u);
    EXPECT_EQ(read.identifications[1].channels, 3);
    EXPECT_EQ(read.tags[1], std::vector<std::string>{"TITLE=two"});
    EXPECT_EQ(read.lengths, (std::vector<std::uint64_t>{1000, 300}));
    EXPECT_EQ(read.hops.size(), 4u + 2u);
    EXPECT_EQ(read.hops[4].index, 0u);
    EXPECT_EQ(read.end, Outcome::done);

    // A file joined to itself repeats its serial number.
    Bytes twice = first.bytes;
    twice.insert(twice.end(), first.bytes.begin(), first.bytes.end());
    EXPECT_EQ(readOgg(twice).lengths, (std::vector<std::uint64_t>{1000, 1000}));

    // A link cut before its end is told apart from the next link's start.
    Bytes cutChain(first.bytes.begin(), first.bytes.begin() + static_cast<std::ptrdiff_t>(first.pageStarts.back()));
    cutChain.insert(cutChain.end(), second.bytes.begin(), second.bytes.end());
    const ReadBack cutRead = readOgg(cutChain);
    EXPECT_EQ(cutRead.count(Outcome::truncated), 1u);
    EXPECT_EQ(cutRead.lengths, std::vector<std::uint64_t>{300});
}

TEST(OggStream, AnUnknownMajorVersionIsRefusedAndTheNextLinkPlayed) {
    OggFile future = writeOgg(encodeChannels(1, 500), 500, 21);
    // The version byte, then the page's CRC made again by libogg.
    ogg_page page;
    page.header = future.bytes.data();
    page.header_len = 28;
    page.body = future.bytes.data() + 28;
    page.body_len = static_cast<long>(kIdentificationBytes);
    page.body[8] = 0x20;
    ogg_page_checksum_set(&page);
    const OggFile current = writeOgg(encodeChannels(1, 500), 500, 22);
    Bytes chain = future.bytes;
    chain.insert(chain.end(), current.bytes.begin(), current.bytes.end());
    const ReadBack read = readOgg(chain);
    ASSERT_GE(read.outcomes.size(), 1u);
    EXPECT_EQ(read.outcomes.front(), Outcome::badHeader);
    EXPECT_EQ(read.identifications.size(), 1u);
    EXPECT_EQ(read.hops.size(), 2u);
    EXPECT_EQ(read.lengths, std::vector<std::uint64_t>{500});
}

TEST(OggStream, ACoupledStreamCarriesEachHopsChoiceInItsFirstByte) {
    const auto frames = encodeChannels(3, 1000);
    OggFile file;
    OggZarnWriter writer(4, keepPage, &file);
    Identification header;
    header.channels = 3;
    header.coupling = Coupling::frontPair;
    const Bytes comments = commentsOf({});
    ASSERT_EQ(writer.begin(header, comments.data(), comments.size()), OggZarnWriter::Status::ok);
    const bool choices[] = {true, false, true, true};
    for (std::size_t hop = 0; hop < 4; ++hop) {
        const FrameBytes bytes[3] = {{frames[0][hop].data(), frames[0][hop].size()},
                                     {frames[1][hop].data(), frames[1][hop].size()},
                                     {frames[2][hop].data(), frames[2][hop].size()}};
        ASSERT_EQ(writer.hop(bytes, choices[hop]), OggZarnWriter::Status::ok);
    }
    ASSERT_EQ(writer.silentHop(), OggZarnWriter::Status::ok);
    ASSERT_EQ(writer.finish(1100), OggZarnWriter::Status::ok);
    OggZarnReader reader;
    const std::uint8_t* bytes = file.bytes.data();
    std::size_t size = file.bytes.size();
    std::size_t hop = 0;
    for (Outcome outcome; (outcome = reader.next(bytes, size)) != Outcome::needMore;) {
        if (outcome != Outcome::hop) continue;
        if (hop < 4) {
            EXPECT_EQ(reader.midSide(), choices[hop]) << hop;
            EXPECT_EQ(Bytes(reader.frame(2).bytes, reader.frame(2).bytes + reader.frame(2).size), frames[2][hop]);
        } else {
            EXPECT_TRUE(reader.silent());
            EXPECT_FALSE(reader.midSide());
        }
        ++hop;
    }
    EXPECT_EQ(hop, 5u);
    EXPECT_EQ(reader.length(), 1100u);
    // A mono stream has no pair to couple.
    OggZarnWriter mono(5, keepPage, &file);
    ASSERT_EQ(mono.begin(Identification{}, comments.data(), comments.size()), OggZarnWriter::Status::ok);
    const FrameBytes one{frames[0][0].data(), frames[0][0].size()};
    EXPECT_EQ(mono.hop(&one, true), OggZarnWriter::Status::argument);
}

// A stream written with libogg directly, audio packets as given, each on a
// page of its own, so that packets no writer of ours makes can be read.
Bytes rawStream(const Identification& header, const std::vector<Bytes>& packets, std::int64_t lastGranule) {
    ogg_stream_state stream;
    ogg_stream_init(&stream, 77);
    Bytes out;
    const auto put = [&](const std::uint8_t* data, std::size_t size, bool last, std::int64_t granule) {
        ogg_packet packet{};
        packet.packet = const_cast<std::uint8_t*>(data);
        packet.bytes = static_cast<long>(size);
        packet.e_o_s = last;
        packet.granulepos = granule;
        ogg_stream_packetin(&stream, &packet);
        ogg_page page;
        while (ogg_stream_flush(&stream, &page) != 0) {
            out.insert(out.end(), page.header, page.header + page.header_len);
            out.insert(out.end(), page.body, page.body + page.body_len);
        }
    };
    const auto identification = writeIdentification(header);
    put(identification.data(), identification.size(), false, 0);
    const Bytes comments = commentsOf({});
    put(comments.data(), comments.size(), false, 0);
    for (std::size_t i = 0; i < packets.size(); ++i) {
        const bool last = i + 1 == packets.size();
        put(packets[i].data(), packets[i].size(), last, last ? lastGranule : static_cast<std::int64_t>(256 * (i + 1)));
    }
    ogg_stream_clear(&stream);
    return out;
}

TEST(OggStream, PacketsThatAreNoHopsFramesAreDamageAndTheCountGoesOn) {
    const auto frames = encodeChannels(2, 256);
    Bytes good = frames[0][0];
    good.insert(good.end(), frames[1][0].begin(), frames[1][0].end());
    Bytes trailing = good;
    trailing.push_back(0);
    const Bytes oneChannel = frames[0][0];
    Bytes reserved = good;
    reserved.insert(reserved.begin(), 2);
    Identification stereo;
    stereo.channels = 2;
    {
        const ReadBack read = readOgg(rawStream(stereo, {good, trailing, oneChannel, good}, 256 + 1024));
        const std::vector<Outcome> hops(read.outcomes.begin() + 2, read.outcomes.end());
        EXPECT_EQ(hops, (std::vector<Outcome>{Outcome::hop, Outcome::badPacket, Outcome::badPacket, Outcome::hop,
                                              Outcome::endOfStream}));
        EXPECT_EQ(read.hops.back().index, 3u);
        EXPECT_EQ(read.lengths, std::vector<std::uint64_t>{1024});
    }
    Identification coupled = stereo;
    coupled.coupling = Coupling::frontPair;
    Bytes leftRight = good;
    leftRight.insert(leftRight.begin(), 0);
    const ReadBack read = readOgg(rawStream(coupled, {leftRight, reserved}, 256 + 400));
    EXPECT_EQ(read.count(Outcome::badPacket), 1u);
    EXPECT_EQ(read.hops.size(), 1u);
}

TEST(OggStream, AGranuleThatContradictsTheCountIsReportedAndTheCountKept) {
    const auto frames = encodeChannels(1, 256 * 3);
    OggFile file = writeOgg(frames, 256 * 3);
    // The first audio page says it ends two packets later than it does.
    const std::size_t page = file.pageStarts[2];
    const std::size_t packets = static_cast<std::size_t>(file.granules[2] / 256);
    const std::int64_t wrong = static_cast<std::int64_t>((packets + 2) * 256);
    for (int i = 0; i < 8; ++i) file.bytes[page + 6 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(wrong >> (8 * i));
    ogg_page view;
    view.header = file.bytes.data() + page;
    view.header_len = 27 + view.header[26];
    view.body = view.header + view.header_len;
    view.body_len = static_cast<long>(file.pageBodies[2]);
    ogg_page_checksum_set(&view);
    const ReadBack read = readOgg(file.bytes);
    EXPECT_EQ(read.count(Outcome::badGranule), 1u);
    for (std::size_t i = 0; i < read.hops.size(); ++i) EXPECT_EQ(read.hops[i].index, i);
    // A last granule past what the packets hold gives what they hold.
    const ReadBack over = readOgg(rawStream(Identification{}, {frames[0][0]}, 256 + 300));
    EXPECT_EQ(over.count(Outcome::badGranule), 1u);
    EXPECT_EQ(over.lengths, std::vector<std::uint64_t>{256});
    // One below the pre-skip gives none.
    const ReadBack under = readOgg(rawStream(Identification{}, {frames[0][0]}, 100));
    EXPECT_EQ(under.count(Outcome::badGranule), 1u);
    EXPECT_EQ(under.lengths, std::vector<std::uint64_t>{~0ull});
}

TEST(OggStream, APacketLongerThanAnyHopIsDroppedBeforeItIsGathered) {
    Bytes huge(40000, 0xFF);
    const ReadBack read = readOgg(rawStream(Identification{}, {huge, framesOf(encodeChannel(256, 0))[0]}, 512));
    EXPECT_GE(read.count(Outcome::badPacket), 1u);
    EXPECT_EQ(read.hops.size(), 1u);
}

TEST(OggStream, LiboggsBuffersStayAsTheyWereMadeWhateverComes) {
    const auto frames = encodeChannels(8, 44100);
    OggFile file;
    OggZarnWriter writer(8, keepPage, &file);
    Identification header;
    header.channels = 8;
    const Bytes comments = commentsOf({"TITLE=eight"});
    ASSERT_EQ(writer.begin(header, comments.data(), comments.size()), OggZarnWriter::Status::ok);
    const std::size_t written = writer.bufferBytes();
    for (std::size_t hop = 0; hop < frames[0].size(); ++hop) {
        std::vector<FrameBytes> bytes;
        for (const auto& channel : frames) bytes.push_back({channel[hop].data(), channel[hop].size()});
        ASSERT_EQ(writer.hop(bytes.data()), OggZarnWriter::Status::ok);
    }
    ASSERT_EQ(writer.finish(44100), OggZarnWriter::Status::ok);
    EXPECT_EQ(writer.bufferBytes(), written);

    Bytes hostile = file.bytes;
    const Bytes huge = rawStream(Identification{}, {Bytes(60000, 0xFF), frames[0][0]}, 512);
    hostile.insert(hostile.end(), huge.begin(), huge.end());
    hostile.insert(hostile.end(), file.bytes.begin() + 5000, file.bytes.end());
    OggZarnReader reader;
    const std::size_t made = reader.bufferBytes();
    for (const std::size_t piece : {std::size_t{1}, std::size_t{100000}}) {
        ReadBack read;
        feed(reader, hostile.data(), hostile.size(), piece, read);
        EXPECT_EQ(read.identifications.size(), 2u);
        EXPECT_EQ(reader.bufferBytes(), made) << piece;
        reader.restart();
    }
}

// What ogginfo says of `file`, with its exit status.
std::string ogginfoOn(const OggFile& file, const std::string& name, int& status) {
    const std::string path = testing::TempDir() + name;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return "cannot write " + path;
    const bool written = std::fwrite(file.bytes.data(), 1, file.bytes.size(), out) == file.bytes.size();
    std::fclose(out);
    if (!written) return "cannot write " + path;
    FILE* pipe = popen(("ogginfo '" + path + "' 2>&1").c_str(), "r");
    if (pipe == nullptr) return "cannot run ogginfo";
    std::string said;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) said += line;
    status = pclose(pipe);
    std::remove(path.c_str());
    return said;
}

// A kind of stream for ogginfo to judge.
struct StreamKind {
    const char* name;
    unsigned channels;
    std::size_t samples;
    std::vector<std::string_view> tags;
    bool silentMiddle;  // a run of silence inside the sound: empty packets
};

// The kind as the encoder writes it, from tones of its own per channel.
OggFile throughEncoder(const StreamKind& kind) {
    std::vector<Sample> sound(kind.samples * kind.channels);
    for (std::size_t i = 0; i < kind.samples; ++i) {
        const bool silent = kind.silentMiddle && i >= kind.samples / 4 && i < kind.samples / 2;
        for (unsigned c = 0; c < kind.channels; ++c) {
            const double tone = 8000.0 * std::sin(0.01 * (c + 1) * static_cast<double>(i));
            sound[i * kind.channels + c] = silent ? Sample{0} : static_cast<Sample>(tone);
        }
    }
    OggFile file;
    OggZarnEncoder::Settings settings;
    settings.channels = kind.channels;
    settings.kbitPerSecond = 96 * kind.channels;
    settings.serial = 3;
    OggZarnEncoder encoder(settings, keepPage, &file);
    const Bytes comments = commentsOf(kind.tags);
    EXPECT_EQ(encoder.begin(comments.data(), comments.size()), OggZarnEncoder::Status::ok);
    EXPECT_EQ(encoder.write(sound.data(), kind.samples), OggZarnEncoder::Status::ok);
    EXPECT_EQ(encoder.finish(), OggZarnEncoder::Status::ok);
    if (kind.silentMiddle) {
        EXPECT_GT(encoder.silentHops(), 0u);
    }
    return file;
}

// The kind as the writer is given it, from the bare encoder's frames.
OggFile throughWriter(const StreamKind& kind) {
    auto frames = encodeChannels(kind.channels, kind.samples);
    for (auto& channel : frames) {
        // A bare stream of no samples still holds its one frame; the
        // container holds no hop at all.
        if (kind.samples == 0) channel.clear();
        if (!kind.silentMiddle) continue;
        for (std::size_t hop = channel.size() / 4; hop < channel.size() / 2; ++hop) channel[hop].clear();
    }
    return writeOgg(frames, kind.samples, 7, kind.tags);
}

TEST(OggStream, OgginfoFindsNothingWrongWithAnyKindOfStream) {
    if (std::system("command -v ogginfo >/dev/null 2>&1") != 0) GTEST_SKIP() << "ogginfo (vorbis-tools) not installed";
    const std::vector<StreamKind> kinds = {
        {"mono", 1, 44100 * 2 + 3, {}, false},
        {"stereo", 2, 44100 * 3, {}, false},
        {"six channels", 6, 44100 + 255, {}, false},
        {"no samples", 2, 0, {}, false},
        {"one sample", 1, 1, {}, false},
        {"tags", 2, 44100 / 2, {"TITLE=Hav og fjord", "ARTIST=Kør ", "TRACKNUMBER=3", "COMMENT="}, false},
        {"silence inside", 2, 44100 * 4, {}, true},
    };
    for (const bool encoder : {true, false}) {
        for (const StreamKind& kind : kinds) {
            SCOPED_TRACE(std::string(kind.name) + (encoder ? ", by the encoder" : ", by the writer"));
            const OggFile file = encoder ? throughEncoder(kind) : throughWriter(kind);
            int status = -1;
            const std::string said = ogginfoOn(file, "ogginfo-test.oza", status);
            EXPECT_EQ(status, 0) << said;
            // It knows no Zarn, and says so ("type unknown"); of the pages it
            // must find nothing wrong, and it warns of nothing.
            EXPECT_NE(said.find("New logical stream"), std::string::npos) << said;
            std::string lower = said;
            std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
            for (const char* fault :
                 {"warning", "error", "hole", "crc", "corrupt", "negative", "granulepos", "eos", "bos", "gap"}) {
                EXPECT_EQ(lower.find(fault), std::string::npos) << fault << " in: " << said;
            }
        }
    }
}

}  // namespace
}  // namespace zarn::test
