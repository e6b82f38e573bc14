#include "tests/container/JointEncoding.h"

#include <algorithm>
#include <memory>

#include "rate/JointRateEncoder.h"

namespace zarn::test {

std::vector<JointHop> encodeJoint(const std::vector<std::vector<Sample>>& input) {
    const std::size_t channels = input.size(), samples = input[0].size();
    const std::size_t hops = (samples + kHop - 1) / kHop;
    const auto encoder = std::make_unique<JointRateEncoder>(channels, 128 * static_cast<unsigned>(channels));
    std::vector<std::vector<Sample>> padded(channels, std::vector<Sample>(kHop));
    const Sample* from[JointRateEncoder::kMostChannels] = {};
    std::vector<JointHop> out(hops);
    for (std::size_t hop = 0; hop < hops; ++hop) {
        const std::size_t take = std::min<std::size_t>(kHop, samples - hop * kHop);
        for (std::size_t c = 0; c < channels; ++c) {
            std::fill(padded[c].begin(), padded[c].end(), Sample{0});
            std::copy_n(input[c].begin() + static_cast<std::ptrdiff_t>(hop * kHop), take, padded[c].begin());
            from[c] = padded[c].data();
        }
        out[hop].frames.resize(channels);
        out[hop].midSide = encoder->encode(from, hop + 1 == hops, out[hop].frames.data()) == HopCoupling::midSide;
    }
    return out;
}

}  // namespace zarn::test
