#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "common/EncodedFrame.h"
#include "common/Types.h"
#include "encoder/FrameEncoder.h"
#include "stream/FramePacking.h"
#include "stream/ZarnFormat.h"

namespace zarn {

// Samples to a Zarn stream, as they arrive in pieces of any size: the hops,
// the batches, the frame encoder and the packing joined once, for every
// program and the library alike.
//
// Bytes go to `out`, a callable bool(const std::uint8_t*, std::size_t) that
// returns false to stop, a batch of whole frames at a time. An onlooker
// (encoder/EncoderStages.h) may watch every frame's stages.
//
// `Core` encodes hops into frames a batch at a time, as FrameEncoder does,
// through encodeBatch(hops, count, frames, watch, last), where `last` says
// that the batch ends the stream. So that it can say so, a full batch waits
// until a sample after it arrives, or `finish` hands it over as the last.
template <class Core>
class StreamEncoderOf {
public:
    // The core, for its settings.
    Core& core() { return core_; }

    // Encodes `count` more samples. False when `out` refused.
    template <class Out>
    bool write(const Sample* samples, std::size_t count, Out& out) {
        UnwatchedEncoding nobody;
        return write(samples, count, out, nobody);
    }
    template <class Out, class Watch>
    bool write(const Sample* samples, std::size_t count, Out& out, Watch& watch) {
        while (count > 0) {
            // A full batch goes once a sample follows it: whole batches
            // straight from the caller's samples when none wait, else the
            // ones gathered.
            const Sample* batch = nullptr;
            if (waiting_ == hops_.size()) {
                batch = hops_.data();
                waiting_ = 0;
            } else if (waiting_ == 0 && count > kBatch * kHop) {
                batch = samples;
                samples += kBatch * kHop;
                count -= kBatch * kHop;
            }
            if (batch != nullptr) {
                if (!encode(batch, kBatch, false, out, watch)) return false;
                continue;
            }
            const std::size_t take = std::min(count, hops_.size() - waiting_);
            std::copy_n(samples, take, hops_.begin() + static_cast<std::ptrdiff_t>(waiting_));
            waiting_ += take;
            samples += take;
            count -= take;
        }
        return true;
    }

    // Encodes what waits as the stream's last batch, the last hop completed
    // with silence: one frame per hop begun, and one for a stream without
    // samples. False when `out` refused.
    template <class Out>
    bool finish(Out& out) {
        UnwatchedEncoding nobody;
        return finish(out, nobody);
    }
    template <class Out, class Watch>
    bool finish(Out& out, Watch& watch) {
        const std::size_t hops = (waiting_ + kHop - 1) / kHop;
        if (hops == 0 && framesWritten_ > 0) return true;
        std::fill(hops_.begin() + static_cast<std::ptrdiff_t>(waiting_), hops_.end(), Sample{0});
        waiting_ = 0;
        return encode(hops_.data(), hops > 0 ? hops : 1, true, out, watch);
    }

private:
    static constexpr std::size_t kBatch = Core::kBatch;

    template <class Out, class Watch>
    bool encode(const Sample* hops, std::size_t count, bool last, Out& out, Watch& watch) {
        core_.encodeBatch(hops, count, frames_.data(), watch, last);
        std::size_t size = 0;
        for (std::size_t f = 0; f < count; ++f) size += packFrame(frames_[f], bytes_.data() + size);
        framesWritten_ += count;
        return out(static_cast<const std::uint8_t*>(bytes_.data()), size);
    }

    Core core_;
    std::array<Sample, kBatch * kHop> hops_{};                   // samples waiting for a batch to fill
    std::size_t waiting_ = 0;                                    // how many of hops_ wait
    std::array<EncodedFrame, kBatch> frames_;                    // a batch's frames
    std::array<std::uint8_t, kBatch * kMaxFrameBytes> bytes_{};  // and their bytes, back to back
    std::uint64_t framesWritten_ = 0;                            // frames handed to `out` so far
};

// The menu programs' stream encoders, by their analysis.
template <class Analysis>
using StreamEncoder = StreamEncoderOf<FrameEncoder<Analysis>>;

}  // namespace zarn
