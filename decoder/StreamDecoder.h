#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/EncodedFrame.h"
#include "common/Types.h"
#include "decoder/FrameDecoder.h"
#include "stream/FrameParser.h"

namespace zarn {

// A Zarn stream to samples, as its bytes arrive in pieces of any size: the
// frame parser, the batches and the frame decoder joined once, for every
// program and the library alike.
//
// Samples go to `out`, a callable bool(const Sample*, std::size_t) that
// returns false to stop, as frames complete: decoding a frame finishes the
// hop of the one before, and frames wait until a batch is full (Synthesis's
// kBatch; one for the fast transform).
template <class Synthesis>
class StreamDecoder {
public:
    enum class Status {
        ok,
        badTag,     // a frame lacks the tag: every sample before it is out
        truncated,  // the stream ended inside a frame: every sample before it is out
        refused,    // `out` returned false
    };

    // Decodes `size` more bytes of the stream.
    template <class Out>
    Status write(const std::uint8_t* bytes, std::size_t size, Out& out) {
        for (;;) {
            switch (parser_.next(bytes, size, frames_[count_])) {
                case FrameParser::Outcome::frame:
                    if (++count_ == kBatch && !flush(out)) return Status::refused;
                    break;
                case FrameParser::Outcome::needMore:
                    return Status::ok;
                case FrameParser::Outcome::badTag:
                    return flush(out) ? Status::badTag : Status::refused;
            }
        }
    }

    // Ends the stream: decodes the frames still waiting, then hands out the
    // last hop, the second half of the last Block (256 zeros when no frame
    // came). Bytes of an unfinished frame make it `truncated`.
    template <class Out>
    Status finish(Out& out) {
        if (!flush(out)) return Status::refused;
        core_.finish(hops_.data());
        if (!out(static_cast<const Sample*>(hops_.data()), kHop)) return Status::refused;
        return parser_.pending() > 0 ? Status::truncated : Status::ok;
    }

    // Bytes taken as whole frames: after badTag or truncated, where the
    // damaged or unfinished frame starts.
    std::uint64_t position() const { return parser_.position(); }
    // After badTag, the 12 bits that stood where the tag belonged.
    unsigned badTag() const { return parser_.badTag(); }

private:
    static constexpr std::size_t kBatch = FrameDecoder<Synthesis>::kBatch;

    template <class Out>
    bool flush(Out& out) {
        const std::size_t hops = core_.decodeBatch(frames_.data(), count_, hops_.data());
        count_ = 0;
        return hops == 0 || out(static_cast<const Sample*>(hops_.data()), kHop * hops);
    }

    FrameParser parser_;
    FrameDecoder<Synthesis> core_;
    std::array<EncodedFrame, kBatch> frames_;   // frames parsed, waiting for a batch to fill
    std::size_t count_ = 0;                     // how many of frames_ wait
    std::array<Sample, kBatch * kHop> hops_{};  // the hops a batch finishes
};

}  // namespace zarn
