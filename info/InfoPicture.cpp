#include "info/InfoPicture.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "info/BitmapFont.h"
#include "info/Canvas.h"
#include "info/ColourMap.h"
#include "info/TextTable.h"

namespace zarn {

namespace {

constexpr Colour kBackground{255, 255, 255};
constexpr Colour kInk{40, 40, 40};
constexpr Colour kGrid{215, 215, 215};
constexpr Colour kCurve{190, 30, 45};

constexpr int kScale = 2;  // font pixels are 2 × 2
constexpr int kTextHeight = BitmapFont::kHeight * kScale;
constexpr int kMargin = 10;
constexpr int kTitleHeight = 26;
constexpr int kAxisHeight = 26;
constexpr int kSonogramHeight = 206;
constexpr int kBandRows = 8;
constexpr int kAllocationHeight = kBandRows * static_cast<int>(kBandCount);
constexpr int kRateHeight = 160;
constexpr int kPlotRight = InfoPicture::kPlotLeft + InfoPicture::kPlotWidth;
// The spectrograms' colour scale; a full-scale sine reaches about 78 dB, and
// the threshold in quiet lies between −5 and 58 dB.
constexpr double kLowDb = 0.0;
constexpr double kHighDb = 80.0;

constexpr int panel(int plotHeight) {
    return kTitleHeight + plotHeight + kAxisHeight;
}
static_assert(2 * kMargin + 2 * panel(kSonogramHeight) + panel(kAllocationHeight) + panel(kRateHeight) ==
              InfoPicture::kHeightWithOriginal);
static_assert(InfoPicture::kHeightWithOriginal - panel(kSonogramHeight) ==
              InfoPicture::kHeightWithoutOriginal);
static_assert(kPlotRight + 110 == InfoPicture::kWidth);

// The smallest step of the series 0.01, 0.02, 0.05, 0.1, ... that needs at
// most `most` steps for `range`.
double niceStep(double range, int most) {
    double step = 0.01;
    for (int i = 0; range / step > most; ++i) step *= i % 3 == 1 ? 2.5 : 2.0;
    return step;
}

int decimalsFor(double step) {
    return step >= 0.999 ? 0 : step >= 0.0999 ? 1 : 2;
}

// The frames shown in one column: at least one, several when the file is long.
std::pair<std::size_t, std::size_t> columnFrames(int column, std::size_t frameCount) {
    const std::size_t first = Sonogram::spread(column, InfoPicture::kPlotWidth, frameCount);
    const std::size_t end = Sonogram::spread(column + 1, InfoPicture::kPlotWidth, frameCount);
    return {first, std::max(end, first + 1)};
}

void drawFrame(Canvas& canvas, int top, int height, const std::string& title, const std::string& unit) {
    const int textTop = top - kTitleHeight + 1;
    canvas.text(4, textTop, unit, kInk, kScale);
    canvas.text(InfoPicture::kPlotLeft + (InfoPicture::kPlotWidth - Canvas::textWidth(title, kScale)) / 2,
                textTop, title, kInk, kScale);
    canvas.fill(InfoPicture::kPlotLeft - 1, top - 1, InfoPicture::kPlotWidth + 2, 1, kInk);
    canvas.fill(InfoPicture::kPlotLeft - 1, top + height, InfoPicture::kPlotWidth + 2, 1, kInk);
    canvas.fill(InfoPicture::kPlotLeft - 1, top, 1, height, kInk);
    canvas.fill(kPlotRight, top, 1, height, kInk);
}

// A tick and label at `fraction` of the plot's height, 0 at the bottom.
int valueTick(Canvas& canvas, int top, int height, double fraction, const std::string& label) {
    const int y = top + height - 1 - static_cast<int>(std::lround(fraction * (height - 1)));
    canvas.fill(InfoPicture::kPlotLeft - 6, y, 5, 1, kInk);
    canvas.text(InfoPicture::kPlotLeft - 10 - Canvas::textWidth(label, kScale), y - kTextHeight / 2, label,
                kInk, kScale);
    return y;
}

void drawTimeAxis(Canvas& canvas, int bottom, double seconds) {
    canvas.text(kPlotRight + 24, bottom + 8, "tid (s)", kInk, kScale);
    if (!(seconds > 0.0)) return;
    const double step = niceStep(seconds, 12);
    for (int i = 0; i * step <= seconds * (1 + 1e-9); ++i) {
        const int x = InfoPicture::kPlotLeft +
                      static_cast<int>(std::lround(i * step / seconds * InfoPicture::kPlotWidth));
        const std::string label = TextTable::number(i * step, decimalsFor(step));
        const int left = x - Canvas::textWidth(label, kScale) / 2;
        canvas.fill(std::min(x, kPlotRight - 1), bottom + 1, 1, 5, kInk);
        // A label at the very end would run into the axis title.
        if (left + Canvas::textWidth(label, kScale) < kPlotRight + 10) {
            canvas.text(left, bottom + 8, label, kInk, kScale);
        }
    }
}

void drawColourScale(Canvas& canvas, int top, int height, const std::string& low, const std::string& high) {
    const int x = kPlotRight + 12;
    for (int row = 0; row < height; ++row) {
        canvas.fill(x, top + row, 16, 1, ColourMap::at(1.0 - row / (height - 1.0)));
    }
    canvas.text(x + 22, top, high, kInk, kScale);
    canvas.text(x + 22, top + height - kTextHeight, low, kInk, kScale);
}

void drawSonogram(Canvas& canvas, int top, const Sonogram& spectrogram, const std::string& title) {
    drawFrame(canvas, top, kSonogramHeight, title, "kHz");
    for (int column = 0; spectrogram.slots() > 0 && column < InfoPicture::kPlotWidth; ++column) {
        const std::size_t slot = Sonogram::spread(column, InfoPicture::kPlotWidth, spectrogram.slots());
        for (int row = 0; row < kSonogramHeight; ++row) {
            // A row shows the loudest of its one or two bins.
            const std::size_t first = Sonogram::spread(row, kSonogramHeight, kCodedBins);
            const std::size_t end =
                std::max(first + 1, Sonogram::spread(row + 1, kSonogramHeight, kCodedBins));
            double level = -HUGE_VAL;
            for (std::size_t bin = first; bin < end; ++bin) {
                level = std::max(level, spectrogram.levelDb(slot, bin));
            }
            canvas.fill(InfoPicture::kPlotLeft + column, top + kSonogramHeight - 1 - row, 1, 1,
                        ColourMap::at((level - kLowDb) / (kHighDb - kLowDb)));
        }
    }
    const double nyquistKhz = FrameTable::kSampleRate / 2000.0;
    for (int khz = 0; khz <= 20; khz += 5) {
        valueTick(canvas, top, kSonogramHeight, khz / nyquistKhz, std::to_string(khz));
    }
    drawColourScale(canvas, top, kSonogramHeight, TextTable::number(kLowDb, 0),
                    TextTable::number(kHighDb, 0) + " dB");
}

void drawAllocation(Canvas& canvas, int top, const FrameTable& frames) {
    drawFrame(canvas, top, kAllocationHeight, "BIT PR. BAAND", "baand");
    for (int column = 0; frames.frameCount() > 0 && column < InfoPicture::kPlotWidth; ++column) {
        const auto [first, end] = columnFrames(column, frames.frameCount());
        for (std::size_t band = 0; band < kBandCount; ++band) {
            double bits = 0.0;
            for (std::size_t f = first; f < end; ++f) bits += frames.allocation(f)[band];
            canvas.fill(InfoPicture::kPlotLeft + column,
                        top + kAllocationHeight - (static_cast<int>(band) + 1) * kBandRows, 1, kBandRows,
                        ColourMap::at(bits / static_cast<double>(end - first) / 15.0));
        }
    }
    for (int band = 0; band < static_cast<int>(kBandCount); band += 6) {
        valueTick(canvas, top, kAllocationHeight, (band + 0.5) / kBandCount, std::to_string(band));
    }
    drawColourScale(canvas, top, kAllocationHeight, "0", "15 bit");
}

void drawBitRate(Canvas& canvas, int top, const FrameTable& frames) {
    drawFrame(canvas, top, kRateHeight, "BITRATE", "kbit/s");
    if (frames.frameCount() == 0) return;
    std::vector<double> rates(InfoPicture::kPlotWidth);
    for (int column = 0; column < InfoPicture::kPlotWidth; ++column) {
        const auto [first, end] = columnFrames(column, frames.frameCount());
        for (std::size_t f = first; f < end; ++f) rates[column] += frames.frameKbitPerSecond(f);
        rates[column] /= static_cast<double>(end - first);
    }
    const double highest = *std::max_element(rates.begin(), rates.end());
    const double step = niceStep(highest, 5);
    const double ceiling = std::ceil(highest / step) * step;
    for (int i = 0; i * step <= ceiling * (1 + 1e-9); ++i) {
        const int y = valueTick(canvas, top, kRateHeight, i * step / ceiling,
                                TextTable::number(i * step, decimalsFor(step)));
        if (i > 0) canvas.fill(InfoPicture::kPlotLeft, y, InfoPicture::kPlotWidth, 1, kGrid);
    }
    auto yOf = [&](double rate) {
        return top + kRateHeight - 1 - static_cast<int>(std::lround(rate / ceiling * (kRateHeight - 1)));
    };
    for (int column = 1; column < InfoPicture::kPlotWidth; ++column) {
        const int x = InfoPicture::kPlotLeft + column;
        for (int thick = 0; thick < 2; ++thick) {
            canvas.line(x - 1, yOf(rates[column - 1]) - thick, x, yOf(rates[column]) - thick, kCurve);
        }
    }
}

}  // namespace

bool InfoPicture::write(const std::string& path, const FrameTable& frames, const Sonogram* original,
                        const Sonogram& decoded) {
    Canvas canvas(kWidth, original != nullptr ? kHeightWithOriginal : kHeightWithoutOriginal, kBackground);
    int top = kMargin + kTitleHeight;
    auto nextPanel = [&](int height) {
        drawTimeAxis(canvas, top + height, frames.seconds());
        top += panel(height);
    };
    if (original != nullptr) {
        drawSonogram(canvas, top, *original, "ORIGINAL");
        nextPanel(kSonogramHeight);
    }
    drawSonogram(canvas, top, decoded, "AFKODET");
    nextPanel(kSonogramHeight);
    drawAllocation(canvas, top, frames);
    nextPanel(kAllocationHeight);
    drawBitRate(canvas, top, frames);
    nextPanel(kRateHeight);
    return canvas.writePng(path);
}

}  // namespace zarn
