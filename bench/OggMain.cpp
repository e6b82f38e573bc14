// zarnogg: the Ogg Zarn encoder and decoder alone, file to file, for
// throughput.sh to time: the encode as zarn's own writes it, the full
// decode, and the decode from a second on by seeking.
//
//   zarnogg encode KBIT_PER_SECOND INPUT.wav OUTPUT.oza
//   zarnogg decode INPUT.oza [FROM_SECOND]
//
// encode reads a 44.1 kHz WAVE of 1 to 8 channels (libsndfile, a block at a
// time, so that memory does not grow with the length) and writes its pages.
// decode decodes every sample of the first link, or, given FROM_SECOND,
// seeks there first and decodes from there to the end; the samples go
// nowhere. Each prints, one "name value" per line: frames (samples per
// channel coded or decoded) and, for encode, bytes.

#include <sndfile.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "container/OggZarnDecoder.h"
#include "container/OggZarnEncoder.h"
#include "container/OggZarnHeaders.h"

namespace {

using zarn::OggZarnDecoder;
using zarn::OggZarnEncoder;

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "zarnogg: %s\n", message.c_str());
    std::exit(1);
}

struct Output {
    std::FILE* file = nullptr;
    std::uint64_t bytes = 0;
};

bool writePage(void* user, const std::uint8_t* header, std::size_t headerSize, const std::uint8_t* body,
               std::size_t bodySize) {
    auto& out = *static_cast<Output*>(user);
    out.bytes += headerSize + bodySize;
    return std::fwrite(header, 1, headerSize, out.file) == headerSize &&
           std::fwrite(body, 1, bodySize, out.file) == bodySize;
}

int encode(const char* rate, const char* inputPath, const char* outputPath) {
    const long kbit = std::strtol(rate, nullptr, 10);
    SF_INFO info{};
    SNDFILE* in = sf_open(inputPath, SFM_READ, &info);
    if (!in) fail(std::string(inputPath) + ": " + sf_strerror(nullptr));
    OggZarnEncoder::Settings settings;
    settings.channels = static_cast<unsigned>(info.channels);
    settings.kbitPerSecond = static_cast<unsigned>(kbit);
    settings.serial = 1;
    if (info.samplerate != 44100) fail("the input must be at 44100 Hz");
    if (!OggZarnEncoder::valid(settings)) fail("no Ogg Zarn for this channel count at this rate");

    Output out;
    out.file = std::fopen(outputPath, "wb");
    if (!out.file) fail(std::string("cannot write ") + outputPath);
    const auto encoder = std::make_unique<OggZarnEncoder>(settings, writePage, &out);
    const char* vendor = "zarnogg";
    std::uint8_t comments[64];
    zarn::HeaderError error;
    const std::size_t commentBytes = zarn::writeComments(vendor, nullptr, 0, comments, sizeof comments, error);
    if (commentBytes == 0) fail("cannot make the comment header");
    if (encoder->begin(comments, commentBytes) != OggZarnEncoder::Status::ok) fail("cannot write the headers");

    constexpr sf_count_t kBlock = 4096;
    const auto block = std::make_unique<zarn::Sample[]>(static_cast<std::size_t>(kBlock) * zarn::kMaxChannels);
    std::uint64_t frames = 0;
    for (sf_count_t got; (got = sf_readf_short(in, block.get(), kBlock)) > 0;) {
        if (encoder->write(block.get(), static_cast<std::size_t>(got)) != OggZarnEncoder::Status::ok)
            fail("cannot write a page");
        frames += static_cast<std::uint64_t>(got);
    }
    sf_close(in);
    if (encoder->finish() != OggZarnEncoder::Status::ok) fail("cannot write the last page");
    if (std::fclose(out.file) != 0) fail(std::string("cannot write ") + outputPath);
    std::printf("frames %llu\nbytes %llu\n", static_cast<unsigned long long>(frames),
                static_cast<unsigned long long>(out.bytes));
    return 0;
}

long readFile(void* user, std::uint8_t* buffer, std::size_t size) {
    std::FILE* file = static_cast<std::FILE*>(user);
    const std::size_t got = std::fread(buffer, 1, size, file);
    return got == 0 && std::ferror(file) ? -1 : static_cast<long>(got);
}

int seekFile(void* user, std::int64_t offset) { return std::fseek(static_cast<std::FILE*>(user), offset, SEEK_SET); }

int decode(const char* inputPath, const char* fromSecond) {
    std::FILE* in = std::fopen(inputPath, "rb");
    if (!in) fail(std::string("cannot read ") + inputPath);
    std::fseek(in, 0, SEEK_END);
    const auto size = static_cast<std::uint64_t>(std::ftell(in));
    std::fseek(in, 0, SEEK_SET);
    const zarn::ByteSource source{in, readFile, seekFile};
    const auto decoder = std::make_unique<OggZarnDecoder>();
    using Result = OggZarnDecoder::Result;
    Result result;
    while ((result = decoder->pull(source)) != Result::header) {
        if (result == Result::end || result == Result::failed) fail("no Ogg Zarn headers");
    }
    if (fromSecond != nullptr) {
        const auto sample = static_cast<std::uint64_t>(std::strtod(fromSecond, nullptr) * 44100.0);
        if (!decoder->seek(source, size, sample)) fail("cannot seek");
    }
    std::uint64_t frames = 0;
    unsigned sum = 0;  // so that the samples are looked at
    while ((result = decoder->pull(source)) != Result::linkEnd && result != Result::end) {
        if (result == Result::failed) fail("the stream is damaged");
        if (result != Result::samples) continue;
        frames += decoder->frames();
        sum += static_cast<unsigned>(decoder->samples()[0]);
    }
    std::fclose(in);
    std::printf("frames %llu\nsum %u\n", static_cast<unsigned long long>(frames), sum);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "encode") == 0) return encode(argv[2], argv[3], argv[4]);
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "decode") == 0)
        return decode(argv[2], argc == 4 ? argv[3] : nullptr);
    fail("usage: zarnogg encode KBIT_PER_SECOND INPUT.wav OUTPUT.oza | zarnogg decode INPUT.oza [FROM_SECOND]");
}
