#include "info/FrameTable.h"

#include <algorithm>
#include <limits>

#include "stream/ZarnFormat.h"
#include "stream/FrameReader.h"

namespace zarn {

namespace {

template <class Value>
double meanOver(std::size_t count, Value value) {
    if (count == 0) return std::numeric_limits<double>::quiet_NaN();
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i) sum += value(i);
    return sum / static_cast<double>(count);
}

}  // namespace

FrameTable::FrameTable(const std::string& path) {
    FrameReader reader(path.c_str());
    EncodedFrame frame;
    while (reader.readFrames(&frame, 1)) add(frame, static_cast<std::uint32_t>(zarn::frameBytes(frame.allocation)));
    fileBytes_ = reader.size();
}

void FrameTable::add(const EncodedFrame& frame, std::uint32_t bytes) {
    allocations_.push_back(frame.allocation);
    scales_.push_back(frame.scale);
    std::bitset<kCodedBins> stored;
    for (std::size_t bin = 0; bin < kCodedBins; ++bin) stored[bin] = frame.re[bin] != 0 || frame.im[bin] != 0;
    storedBins_.push_back(stored);
    frameBytes_.push_back(bytes);
    fileBytes_ += bytes;
}

double FrameTable::kbitPerSecond() const {
    if (frameCount() == 0) return std::numeric_limits<double>::quiet_NaN();
    return fileBytes_ * 8.0 / seconds() / 1000.0;
}

double FrameTable::frameKbitPerSecond(std::size_t frame) const {
    return frameBytes_[frame] * 8.0 * kSampleRate / static_cast<double>(kHop) / 1000.0;
}

double FrameTable::pcmRatio() const {
    if (frameCount() == 0) return std::numeric_limits<double>::quiet_NaN();
    return static_cast<double>(fileBytes_) / (static_cast<double>(frameCount() * kHop) * 2.0);
}

bool FrameTable::fifteenEverywhere() const {
    return frameCount() > 0 &&
           std::all_of(allocations_.begin(), allocations_.end(), [](const BitAllocation& a) {
               return std::all_of(a.begin(), a.end(), [](std::uint8_t bits) { return bits == 15; });
           });
}

double FrameTable::meanBits(std::size_t band) const {
    return meanOver(frameCount(), [&](std::size_t f) { return static_cast<double>(allocations_[f][band]); });
}

double FrameTable::emptyShare(std::size_t band) const {
    return meanOver(frameCount(), [&](std::size_t f) { return allocations_[f][band] == 0 ? 1.0 : 0.0; });
}

double FrameTable::meanScale(std::size_t band) const {
    return meanOver(frameCount(), [&](std::size_t f) { return static_cast<double>(scales_[f][band]); });
}

}  // namespace zarn
