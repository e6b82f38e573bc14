#pragma once
// The joint rate encoder's frames for the container's tests.

#include <cstddef>
#include <vector>

#include "common/EncodedFrame.h"
#include "common/Types.h"

namespace zarn::test {

struct JointHop {
    std::vector<EncodedFrame> frames;  // one per channel, in channel order
    bool midSide = false;
};

// `input`'s channels (of one length) coded together at 128 kbit/s each,
// hop by hop, the last hop padded with zeros.
std::vector<JointHop> encodeJoint(const std::vector<std::vector<Sample>>& input);

}  // namespace zarn::test
