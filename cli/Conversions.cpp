#include "cli/Conversions.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string_view>
#include <vector>

#include "cli/ByteInput.h"
#include "cli/ChannelSource.h"
#include "cli/DecodedOutput.h"
#include "cli/DecodedStream.h"
#include "cli/FileFailure.h"
#include "cli/MonoSource.h"
#include "cli/OutputFile.h"
#include "cli/Progress.h"
#include "cli/SoundInput.h"
#include "cli/Tags.h"
#include "container/OggZarnDecoder.h"
#include "container/OggZarnEncoder.h"
#include "lib/zarn.h"
#include "text/Translation.h"

namespace zarn::cli {
namespace {

struct EncoderRelease {
    void operator()(zarn_encoder* encoder) const { zarn_encoder_destroy(encoder); }
};
struct DecoderRelease {
    void operator()(zarn_decoder* decoder) const { zarn_decoder_destroy(decoder); }
};

// The library's own texts (zarn_strerror) are English whatever the locale.
const char* libraryCause(int error) {
    switch (error) {
        case ZARN_ERROR_ARGUMENT: return text::tr("invalid argument");
        case ZARN_ERROR_MEMORY: return text::tr("out of memory");
        case ZARN_ERROR_BAD_TAG: return text::tr("frame tag missing: the stream is damaged");
        case ZARN_ERROR_TRUNCATED: return text::tr("the stream ends inside a frame");
        case ZARN_ERROR_OUTPUT: return text::tr("the output function reported a failure");
        case ZARN_ERROR_STATE: return text::tr("the object was finished, has failed, or is in a call already");
        default: return zarn_strerror(error);
    }
}

std::string libraryFailure(int error) {
    return text::format(text::tr("error in the Zarn library: %s"), libraryCause(error));
}

std::string seconds(std::uint64_t samples, int rate = ZARN_SAMPLE_RATE) {
    return text::format("%.2f s", static_cast<double>(samples) / rate);
}

// Decodes `input` into `sink` (which returns 0 when it took the samples) and
// counts the samples; throws FileFailure naming the input for a damaged
// stream, or `outputFailure()` for a failed write.
template <typename Sink, typename OutputFailure>
std::uint64_t decodeStream(const std::string& input, ByteInput& bytes, Sink& sink, OutputFailure outputFailure,
                           bool showProgress) {
    struct Target {
        Sink& sink;
        std::uint64_t samples;
    } target{sink, 0};
    int error = ZARN_OK;
    const std::unique_ptr<zarn_decoder, DecoderRelease> decoder(zarn_decoder_create(
        [](void* user, const std::int16_t* samples, std::size_t count) {
            auto* to = static_cast<Target*>(user);
            to->samples += count;
            return to->sink(samples, count);
        },
        &target, &error));
    if (!decoder) throw FileFailure(inputName(input), libraryFailure(error));

    Progress progress(showProgress, inputName(input));
    std::array<std::uint8_t, 1 << 16> block;
    std::uint64_t read = 0;
    const auto check = [&](int status) {
        if (status == ZARN_OK) return;
        const auto at = static_cast<unsigned long long>(zarn_decoder_position(decoder.get()));
        const std::string name = inputName(input);
        if (status == ZARN_ERROR_BAD_TAG) {
            throw FileFailure(name, text::format(text::tr("damaged frame at byte %llu"), at));
        }
        if (status == ZARN_ERROR_TRUNCATED) {
            throw FileFailure(name, text::format(text::tr("the file ends in the middle of a frame at byte %llu"), at));
        }
        if (status == ZARN_ERROR_OUTPUT) outputFailure();
        throw FileFailure(inputName(input), libraryFailure(status));
    };
    for (std::size_t count; (count = bytes.read(block)) > 0;) {
        check(zarn_decoder_write(decoder.get(), block.data(), count));
        read += count;
        progress.update(read, bytes.size(), static_cast<double>(target.samples) / ZARN_SAMPLE_RATE);
    }
    // An empty file holds no stream; the decoder would finish it as one of
    // no frames.
    if (read == 0) throw FileFailure(inputName(input), text::tr("is empty, no Zarn data"));
    check(zarn_decoder_finish(decoder.get()));
    return target.samples;
}

}  // namespace

namespace {

// The comment header: the input's tags, with --tag's after them; a name
// --tag gives replaces the input's tag of that name.
// The steps the input went through, with the NaN samples made silence
// before them.
std::string withSilencedNaNs(const SoundInput& sound, const std::string& steps) {
    if (sound.nanSamples() == 0) return steps;
    const auto nan = static_cast<unsigned long long>(sound.nanSamples());
    return text::format(text::trn("%llu NaN sample made silence", "%llu NaN samples made silence",
                                  static_cast<unsigned long>(nan)),
                        nan) +
           (steps.empty() ? "" : ", ") + steps;
}

std::vector<std::uint8_t> commentHeader(const SoundInput& sound, const Options& options) {
    std::vector<std::string> tags;
    for (const std::string& tag : sound.tags()) {
        const std::string_view name = std::string_view(tag).substr(0, tag.find('='));
        bool replaced = false;
        for (const std::string& given : options.tags) replaced = replaced || commentNameIs(given, name);
        if (!replaced) tags.push_back(tag);
    }
    tags.insert(tags.end(), options.tags.begin(), options.tags.end());
    const std::vector<std::string_view> views(tags.begin(), tags.end());
    const std::string vendor = std::string("zarn ") + zarn_version();
    std::vector<std::uint8_t> header(commentHeaderBytes(vendor, views.data(), views.size()));
    HeaderError error = HeaderError::none;
    if (writeComments(vendor, views.data(), views.size(), header.data(), header.size(), error) == 0) {
        throw FileFailure(inputName(sound.name()), text::tr("a tag cannot be written"));
    }
    return header;
}

// A fresh serial number for every stream, so that files joined one after
// another stay streams of their own.
int streamSerial() {
    std::random_device random;
    return static_cast<int>(random() & 0x7FFFFFFF);
}

Outcome encodeOgg(const std::string& input, const std::string& output, const Options& options, bool showProgress) {
    SoundInput sound(input);
    if (sound.channels() > static_cast<int>(kMaxChannels)) {
        throw FileFailure(inputName(input), text::format(text::tr("has %d channels; Ogg Zarn holds at most %u"),
                                                         sound.channels(), kMaxChannels));
    }
    const auto channels = static_cast<unsigned>(sound.channels());
    OggZarnEncoder::Settings settings;
    settings.channels = channels;
    settings.kbitPerSecond =
        options.bitrateGiven ? static_cast<unsigned>(options.bitrate) : defaultKbitPerSecond(channels);
    settings.originalRate = static_cast<std::uint32_t>(sound.sampleRate());
    settings.serial = streamSerial();
    if (!OggZarnEncoder::valid(settings)) {
        throw FileFailure(inputName(input),
                          text::format(text::tr("-b %d is outside %u to %u kbit/s for %s"), options.bitrate,
                                       lowestKbitPerSecond(channels), highestKbitPerSecond(channels),
                                       channelsName(sound.channels()).c_str()));
    }
    const std::vector<std::uint8_t> comments = commentHeader(sound, options);
    OutputFile file(output, options.force, sound.identity());
    ChannelSource source(sound, options.dither);
    struct Pages {
        OutputFile& file;
        std::uint64_t bytes;
        std::vector<std::uint8_t> first;  // the identification header's page
        std::size_t firstHeader;          // of it, the page header's bytes
    } pages{file, 0, {}, 0};
    const auto encoder = std::make_unique<OggZarnEncoder>(
        settings,
        [](void* user, const std::uint8_t* header, std::size_t headerSize, const std::uint8_t* body,
           std::size_t bodySize) {
            auto* to = static_cast<Pages*>(user);
            if (to->bytes == 0) {
                to->first.assign(header, header + headerSize);
                to->first.insert(to->first.end(), body, body + bodySize);
                to->firstHeader = headerSize;
            }
            to->bytes += headerSize + bodySize;
            return to->file.write(header, headerSize) && to->file.write(body, bodySize);
        },
        &pages);
    const auto check = [&](OggZarnEncoder::Status status) {
        if (status == OggZarnEncoder::Status::ok) return;
        if (status == OggZarnEncoder::Status::output) throw FileFailure(outputName(output), file.cause());
        throw FileFailure(inputName(input), libraryFailure(ZARN_ERROR_STATE));
    };
    check(encoder->begin(comments.data(), comments.size()));
    Progress progress(showProgress, inputName(input));
    progress.describe(channelsName(sound.channels()) + ", " + rateName(sound.sampleRate()));
    const double inputRate = sound.sampleRate();
    std::array<std::int16_t, ChannelSource::kBlock> block;
    for (std::size_t frames; (frames = source.read(block.data())) > 0;) {
        check(encoder->write(block.data(), frames));
        progress.update(source.inputFramesRead(), sound.frames(),
                        static_cast<double>(source.inputFramesRead()) / inputRate, pages.bytes);
    }
    check(encoder->finish());
    // The length at the original rate, which the coded length gives back
    // exactly only up to 44.1 kHz, goes into the header where the file can
    // be written again; a pipe's says it is unknown.
    if (file.seekable() && pages.first.size() >= pages.firstHeader + kIdentificationBytes) {
        writeOriginalLength(&pages.first[pages.firstHeader + kOriginalLengthOffset], source.inputFramesRead());
        ogg_page page;
        page.header = pages.first.data();
        page.header_len = static_cast<long>(pages.firstHeader);
        page.body = pages.first.data() + pages.firstHeader;
        page.body_len = static_cast<long>(pages.first.size() - pages.firstHeader);
        ogg_page_checksum_set(&page);
        if (!file.rewrite(0, pages.first.data(), pages.first.size())) {
            throw FileFailure(outputName(output), file.cause());
        }
    }
    file.commit();

    const std::string steps = withSilencedNaNs(sound, source.steps());
    const double duration = static_cast<double>(source.inputFramesRead()) / inputRate;
    std::string coded = text::format("%.2f s", duration);
    if (duration > 0.0) {
        coded += ", " + text::format(text::tr("%.0f kbit/s"), 8.0 * static_cast<double>(pages.bytes) / duration / 1000.0);
    }
    const std::string truncated = sound.truncated();
    return {inputName(input) + " -> " + outputName(output) + ": " + sound.description() +
                (steps.empty() ? "" : "; " + steps) + "; " + coded,
            truncated.empty() ? ""
                              : text::format(text::tr("%s: warning: the file ends too early; %s"),
                                             inputName(input).c_str(), truncated.c_str())};
}

}  // namespace

Outcome encodeFile(const std::string& input, const std::string& output, const Options& options,
                       bool showProgress) {
    if (!writesBareStream(options, output)) return encodeOgg(input, output, options, showProgress);
    SoundInput sound(input);
    OutputFile file(output, options.force, sound.identity());
    MonoSource source(sound, options.dither);
    int error = ZARN_OK;
    const std::unique_ptr<zarn_encoder, EncoderRelease> encoder(zarn_encoder_create(
        options.kind,
        [](void* user, const std::uint8_t* bytes, std::size_t size) {
            return static_cast<OutputFile*>(user)->write(bytes, size) ? 0 : -1;
        },
        &file, &error));
    if (!encoder) throw FileFailure(inputName(input), libraryFailure(error));
    if (options.kind == ZARN_ENCODER_BITRATE) {
        const int status = zarn_encoder_set_bitrate(encoder.get(), options.bitrate);
        if (status != ZARN_OK) throw FileFailure(inputName(input), libraryFailure(status));
    }

    const auto check = [&](int status) {
        if (status == ZARN_ERROR_OUTPUT) throw FileFailure(outputName(output), file.cause());
        if (status != ZARN_OK) throw FileFailure(inputName(input), libraryFailure(status));
    };
    Progress progress(showProgress, inputName(input));
    const double inputRate = sound.sampleRate();
    std::array<std::int16_t, MonoSource::kBlock> block;
    for (std::size_t count; (count = source.read(block.data())) > 0;) {
        check(zarn_encoder_write(encoder.get(), block.data(), count));
        progress.update(source.inputFramesRead(), sound.frames(),
                        static_cast<double>(source.inputFramesRead()) / inputRate);
    }
    check(zarn_encoder_finish(encoder.get()));
    file.commit();

    std::string steps = withSilencedNaNs(sound, source.steps());
    // Said, not dropped without a word: the bare stream has no room for tags.
    const std::size_t tags = sound.tags().size() + options.tags.size();
    if (tags > 0) {
        steps += (steps.empty() ? "" : ", ") +
                 text::format(text::trn("%zu tag left out (the bare stream holds none)",
                                        "%zu tags left out (the bare stream holds none)",
                                        static_cast<unsigned long>(tags)),
                              tags);
    }
    const std::string truncated = sound.truncated();
    return {inputName(input) + " -> " + outputName(output) + ": " + sound.description() +
                (steps.empty() ? "" : "; " + steps),
            truncated.empty() ? ""
                              : text::format(text::tr("%s: warning: the file ends too early; %s"),
                                             inputName(input).c_str(), truncated.c_str())};
}

namespace {

// Output that goes nowhere: for -t, which decodes only to check.
class NoOutput final : public DecodedOutput {
public:
    bool write(const std::int16_t*, std::size_t) noexcept override { return true; }
    void finish() override {}
    std::string cause() const override { return ""; }
};

// "stereo, 48 kHz, 12.50 s, 256 kbit/s": what a file holds, for the closing line.
std::string summary(unsigned channels, int rate, std::uint64_t frames, std::uint64_t bytes) {
    const double duration = static_cast<double>(frames) / rate;
    std::string text = channelsName(static_cast<int>(channels)) + ", " + rateName(rate) + ", " +
                       text::format("%.2f s", duration);
    if (duration > 0.0 && bytes > 0) {
        text += ", " + text::format(text::tr("%.0f kbit/s"), 8.0 * static_cast<double>(bytes) / duration / 1000.0);
    }
    return text;
}

std::string damageCause(OggZarnDecoder::Damage damage) {
    using Damage = OggZarnDecoder::Damage;
    switch (damage) {
        case Damage::lostSync: return text::tr("a page is damaged (its CRC does not hold)");
        case Damage::hole: return text::tr("pages are missing");
        case Damage::badPacket: return text::tr("a frame is damaged");
        case Damage::badGranule: return text::tr("a page's position is out of line");
        case Damage::truncated: return text::tr("the file ends before its last page");
        case Damage::badHeader: return text::tr("a stream's headers are damaged");
        case Damage::none: break;
    }
    return text::tr("damaged");
}

// Where damage lies, for the user: seconds and the sample of the output.
std::string damagePlace(std::uint64_t at, int rate) {
    const std::uint64_t sample = DecodedStream::outputFrame(at, rate);
    return text::format(text::tr("at %.2f s (sample %llu)"), static_cast<double>(at) / ZARN_SAMPLE_RATE,
                        static_cast<unsigned long long>(sample));
}

struct Decoded {
    unsigned channels = 1;
    int rate = ZARN_SAMPLE_RATE;  // of the output
    std::uint64_t frames = 0;     // of the output, as written
    std::uint64_t length = 0;     // 44.1 kHz frames of the whole stream, where it was decoded whole
    bool whole = true;            // all of it was decoded, not a span
    std::uint64_t skip = 0;       // the span's first frame
    std::string warning;          // damage decoded through
};

// Where the decoding of an input goes, made once the input says what it holds.
using OpenOutput = std::unique_ptr<DecodedOutput> (*)(void* user, const SoundShape& shape);

Span spanOf(const Options& options, int rate) {
    Span span;
    if (options.skip) span.skip = options.skip->at(rate);
    if (options.until) span.until = options.until->at(rate) + (options.until->fromSkip ? span.skip : 0);
    return span;
}

// Ogg Zarn to `open`'s output: every link in turn, exactly its length, at
// the original rate or the one asked for. Seeks to --skip where the input
// is a regular file.
Decoded decodeOgg(const std::string& input, const std::string& output, ByteInput& bytes, const Options& options,
                  bool checkOnly, OpenOutput open, void* user, bool showProgress) {
    auto decoder = std::make_unique<OggZarnDecoder>(options.throughDamage);
    const ByteSource source = bytes.source();
    Progress progress(showProgress, inputName(input));
    Decoded decoded;
    std::unique_ptr<DecodedOutput> out;
    std::optional<DecodedStream> stream;
    Span span;
    std::uint64_t linkStart = 0;  // 44.1 kHz frames of the links before
    std::uint64_t reached = 0;    // the frame after the last one decoded, for a link cut short
    std::uint64_t damages = 0;
    bool seeked = false;
    std::uint64_t links = 0;
    std::uint64_t originalLength = kLengthUnknown;  // the first link's at its original rate, where told
    bool heardAfterSeek = false;  // samples came after the seek
    const auto fail = [&](const std::string& cause) -> void { throw FileFailure(inputName(input), cause); };
    // The seek lies past the first link's end (in a later link of a chain,
    // or past everything): decoded from the start instead, dropping what
    // lies before the span.
    const auto restart = [&] {
        if (source.seek(source.user, 0) != 0) fail(text::tr("cannot be read"));
        decoder = std::make_unique<OggZarnDecoder>(options.throughDamage);
        stream.emplace(*out, input, output, decoded.channels, decoded.rate, options.dither, span, 0);
        seeked = false;
    };
    for (bool going = true; going;) {
        const OggZarnDecoder::Result result = decoder->pull(source);
        switch (result) {
            case OggZarnDecoder::Result::needMore: break;
            case OggZarnDecoder::Result::header: {
                const Identification& header = decoder->identification();
                if (stream) {
                    if (header.channels != decoded.channels ||
                        (!options.rate && !checkOnly && static_cast<int>(header.originalRate) != decoded.rate)) {
                        fail(text::tr("a stream chained to the first has other channels or another rate"));
                    }
                    break;
                }
                decoded.channels = header.channels;
                originalLength = header.originalLength;
                decoded.rate = checkOnly ? static_cast<int>(header.originalRate)
                                         : options.rate.value_or(static_cast<int>(header.originalRate));
                SoundShape shape;
                shape.channels = decoded.channels;
                shape.rate = decoded.rate;
                std::vector<std::string> comments;
                std::string_view comment;
                for (CommentHeader::Cursor c = decoder->comments().comments(); c.next(comment);) {
                    comments.emplace_back(comment);
                }
                shape.tags = sndfileTags(comments);
                out = open(user, shape);
                progress.describe(channelsName(static_cast<int>(decoded.channels)) + ", " + rateName(decoded.rate));
                span = checkOnly ? Span{} : spanOf(options, decoded.rate);
                std::uint64_t start = 0;
                if (span.skip > 0 && bytes.size()) {
                    // A little before the target, so that the rate conversion
                    // has settled by the first sample heard.
                    const std::uint64_t target = DecodedStream::codedFrame(span.skip, decoded.rate);
                    const std::uint64_t settle = decoded.rate == ZARN_SAMPLE_RATE ? 0 : 8192;
                    start = DecodedStream::seekStart(target > settle ? target - settle : 0, decoded.rate);
                    if (!decoder->seek(source, *bytes.size(), start)) {
                        if (bytes.failure()) throw *bytes.failure();
                        fail(text::tr("cannot be read"));
                    }
                    seeked = true;
                }
                stream.emplace(*out, input, output, decoded.channels, checkOnly ? ZARN_SAMPLE_RATE : decoded.rate,
                               options.dither, span, start);
                break;
            }
            case OggZarnDecoder::Result::samples:
                heardAfterSeek = true;
                reached = linkStart + decoder->position() + decoder->frames();
                if (!stream->write(decoder->samples(), decoder->frames())) throw *stream->failure();
                progress.update(bytes.bytesRead(), bytes.size(),
                                static_cast<double>(linkStart + decoder->position()) / ZARN_SAMPLE_RATE,
                                seeked ? std::nullopt : std::optional<std::uint64_t>(bytes.bytesRead()));
                if (stream->done()) going = false;
                break;
            case OggZarnDecoder::Result::damaged: {
                // A seek past the first link's last sample finds no page of
                // it after the target: the span lies further on.
                if (seeked && !heardAfterSeek && decoder->damage() == OggZarnDecoder::Damage::truncated) {
                    restart();
                    break;
                }
                const std::string cause = damageCause(decoder->damage()) + " " +
                                          damagePlace(linkStart + decoder->damageAt(), decoded.rate);
                if (!options.throughDamage) fail(cause);
                if (damages++ == 0) decoded.warning = cause;
                break;
            }
            case OggZarnDecoder::Result::linkEnd:
                if (seeked && !heardAfterSeek) {
                    restart();
                    break;
                }
                linkStart += decoder->length();
                ++links;
                break;
            case OggZarnDecoder::Result::end:
                if (seeked && !heardAfterSeek) {
                    restart();
                    break;
                }
                going = false;
                break;
            case OggZarnDecoder::Result::failed:
                if (decoder->failure() == OggZarnDecoder::Failure::source && bytes.failure()) throw *bytes.failure();
                if (decoder->failure() == OggZarnDecoder::Failure::noRoom) fail(libraryFailure(ZARN_ERROR_MEMORY));
                fail(text::tr("cannot be read"));
        }
    }
    if (!stream) fail(text::tr("holds no Zarn stream"));
    if (damages > 1) {
        decoded.warning += text::format(text::trn(", and %llu more place", ", and %llu more places",
                                                  static_cast<unsigned long>(damages - 1)),
                                        static_cast<unsigned long long>(damages - 1));
    }
    decoded.length = std::max(linkStart, reached);
    // One link at its original rate: the length its header tells, where
    // that agrees with the coded length.
    std::optional<std::uint64_t> exact;
    const std::uint64_t coded = DecodedStream::outputFrame(decoded.length, decoded.rate);
    if (links == 1 && originalLength != kLengthUnknown && !checkOnly &&
        decoded.rate == static_cast<int>(decoder->identification().originalRate) &&
        originalLength + 2 >= coded && originalLength <= coded + 2) {
        exact = originalLength;
    }
    if (!stream->done()) stream->finish(decoded.length, exact);
    out->finish();
    decoded.frames = stream->given();
    decoded.whole = !seeked && span.skip == 0 && !stream->done();
    decoded.skip = span.skip;
    return decoded;
}

// The bare stream, mono at 44.1 kHz, to the output: the span by dropping
// what lies before it.
Decoded decodeBare(const std::string& input, const std::string& output, ByteInput& bytes, const Options& options,
                   OpenOutput open, void* user, bool showProgress) {
    Decoded decoded;
    decoded.rate = options.rate.value_or(ZARN_SAMPLE_RATE);
    SoundShape shape;
    shape.rate = decoded.rate;
    const std::unique_ptr<DecodedOutput> out = open(user, shape);
    const Span span = spanOf(options, decoded.rate);
    DecodedStream stream(*out, input, output, 1, decoded.rate, options.dither, span);
    const auto sink = [&stream](const std::int16_t* samples, std::size_t count) {
        return stream.write(samples, count) ? 0 : -1;
    };
    decoded.length = decodeStream(
        input, bytes, sink,
        [&] {
            if (stream.failure()) throw *stream.failure();
        },
        showProgress);
    stream.finish(decoded.length);
    out->finish();
    decoded.frames = stream.given();
    decoded.whole = span.skip == 0 && decoded.frames == DecodedStream::outputFrame(decoded.length, decoded.rate);
    decoded.skip = span.skip;
    return decoded;
}

}  // namespace

Outcome decodeFile(const std::string& input, const std::string& output, const Options& options,
                       bool showProgress) {
    ByteInput bytes(input);
    OutputFile file(output, options.force, bytes.identity());
    const OpenOutput open = [](void* user, const SoundShape& shape) {
        return openDecodedOutput(*static_cast<OutputFile*>(user), shape);
    };
    const Decoded decoded = bytes.startsWithOgg()
                                ? decodeOgg(input, output, bytes, options, false, open, &file, showProgress)
                                : decodeBare(input, output, bytes, options, open, &file, showProgress);
    file.commit();
    // A span's bit rate is not the file's: it is told for a whole decode only.
    std::string what = summary(decoded.channels, decoded.rate, decoded.frames,
                               decoded.whole ? bytes.bytesRead() : 0);
    if (decoded.skip > 0) {
        what += " " + text::format(text::tr("from %s"), seconds(decoded.skip, decoded.rate).c_str());
    }
    return {text::format(text::tr("%s -> %s: decoded, %s"), inputName(input).c_str(), outputName(output).c_str(),
                         what.c_str()),
            decoded.warning.empty() ? ""
                                    : text::format(text::tr("%s: warning: decoded through damage: %s"),
                                                   inputName(input).c_str(), decoded.warning.c_str())};
}

Outcome testFile(const std::string& input, const Options& options, bool showProgress) {
    ByteInput bytes(input);
    if (bytes.startsWithOgg()) {
        const OpenOutput open = [](void*, const SoundShape&) -> std::unique_ptr<DecodedOutput> {
            return std::make_unique<NoOutput>();
        };
        Options checking = options;
        checking.throughDamage = false;
        const Decoded decoded = decodeOgg(input, "-", bytes, checking, true, open, nullptr, showProgress);
        return {text::format(text::tr("%s: ok, %s"), inputName(input).c_str(),
                             summary(decoded.channels, decoded.rate, DecodedStream::outputFrame(decoded.length, decoded.rate),
                                     bytes.bytesRead())
                                 .c_str()),
                ""};
    }
    const auto sink = [](const std::int16_t*, std::size_t) { return 0; };
    const std::uint64_t samples = decodeStream(
        input, bytes, sink, [] {}, showProgress);
    return {text::format(text::tr("%s: ok, %s"), inputName(input).c_str(), seconds(samples).c_str()), ""};
}

}  // namespace zarn::cli
