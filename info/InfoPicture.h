#pragma once

#include <string>

#include "info/FrameTable.h"
#include "info/FrequencyAxis.h"
#include "info/Sonogram.h"

namespace zarn {

// One PNG picture of a conversion, panels under one another on a shared time
// axis: the original's spectrogram (when there is one), the decoded file's
// spectrogram, the bits of every band in every frame, and the bit rate.
class InfoPicture {
public:
    static constexpr int kWidth = 1200;
    static constexpr int kPlotLeft = 80;    // room for the value labels
    static constexpr int kPlotWidth = 1010;  // one column per time slot; the colour scales to the right
    static constexpr int kHeightWithOriginal = 1000;
    static constexpr int kHeightWithoutOriginal = 742;

    // The first spectrogram's top row, the height of each and the distance
    // from one's top to the next's: where a reader of the picture finds them.
    static constexpr int kFirstSonogramTop = 36;
    static constexpr int kSonogramHeight = 206;
    static constexpr int kSonogramPitch = 258;

    // The spectrograms must span frames.frameCount() frames in kPlotWidth
    // columns. False when the file cannot be written.
    static bool write(const std::string& path, const FrameTable& frames, const Sonogram* original,
                      const Sonogram& decoded, const FrequencyAxis& axis);
};

}  // namespace zarn
