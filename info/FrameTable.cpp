#include "info/FrameTable.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <limits>

#include "stream/ZarnFormat.h"
#include "stream/ZarnReader.h"

namespace zarn {

namespace {

// The frame reader keeps each allocation to itself, so the fields are taken
// from the file again: they fill the first seven words of a frame after the tag.
constexpr std::size_t kAllocationBytes = 14;

BitAllocation parseAllocation(const std::array<std::uint8_t, kAllocationBytes>& bytes) {
    BitAllocation allocation{};
    for (std::size_t band = 0; band < kBandCount; ++band) {
        // Tag and fields are 4-bit aligned, so no field straddles two words.
        const std::size_t bit = kFrameTagBits + kSideFieldBits * band;
        const std::size_t word = bit / 16;
        const unsigned value = bytes[2 * word] | (bytes[2 * word + 1] << 8);
        allocation[band] = static_cast<std::uint8_t>((value >> (12 - bit % 16)) & 0xF);
    }
    return allocation;
}

// A frame's length as the writer pads it, which is where the next one starts.
std::uint32_t frameBytesOf(const BitAllocation& allocation) {
    std::uint32_t bits = kFrameHeaderBits;
    std::size_t bin = 0;
    for (std::size_t band = 0; band < kBandCount; ++band) {
        for (const std::size_t end = bin + kBandWidths[band]; bin < end; ++bin) {
            if (allocation[band] > 0) bits += (allocation[band] + 1u) * (storesImaginary(bin) ? 2 : 1);
        }
    }
    bits += 16 - bits % 16;
    return bits / 8;
}

template <class Value>
double meanOver(std::size_t count, Value value) {
    if (count == 0) return std::numeric_limits<double>::quiet_NaN();
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i) sum += value(i);
    return sum / static_cast<double>(count);
}

}  // namespace

FrameTable::FrameTable(const std::string& path) {
    ZarnReader reader(path.c_str());
    std::ifstream file(path, std::ios::binary);
    SpectrumPart re{};
    SpectrumPart im{};
    ScaleExponents scale{};
    std::uint64_t offset = 0;
    // The reader has checked the tag and found the frame whole before its
    // allocation is taken from the same bytes.
    while (reader.readFrame(scale, re.data(), im.data())) {
        std::array<std::uint8_t, kAllocationBytes> header{};
        file.seekg(static_cast<std::streamoff>(offset));
        file.read(reinterpret_cast<char*>(header.data()), static_cast<std::streamsize>(header.size()));
        allocations_.push_back(parseAllocation(header));
        scales_.push_back(scale);
        frameBytes_.push_back(frameBytesOf(allocations_.back()));
        offset += frameBytes_.back();
    }
    file.clear();
    file.seekg(0, std::ios::end);
    fileBytes_ = static_cast<std::uint64_t>(file.tellg());
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
