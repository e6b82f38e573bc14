#include "info/InfoPicture.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "info/ColourMap.h"
#include "info/TextTable.h"
#include "text/Translation.h"

namespace zarn {

namespace {

struct Ink {
    double r, g, b;
};

constexpr Ink kBackground{1.0, 1.0, 1.0};
constexpr Ink kText{0.16, 0.16, 0.16};
constexpr Ink kGrid{0.84, 0.84, 0.84};
constexpr Ink kCurve{0.75, 0.12, 0.18};

constexpr double kLabelSize = 12.0;
constexpr double kTitleSize = 14.0;
constexpr int kMargin = 10;
constexpr int kTitleHeight = 26;
constexpr int kAxisHeight = 26;
constexpr int kSonogramHeight = InfoPicture::kSonogramHeight;
constexpr int kBandRows = 8;
constexpr int kAllocationHeight = kBandRows * static_cast<int>(kBandCount);
constexpr int kRateHeight = 160;
constexpr int kPlotLeft = InfoPicture::kPlotLeft;
constexpr int kPlotWidth = InfoPicture::kPlotWidth;
constexpr int kPlotRight = kPlotLeft + kPlotWidth;
constexpr int kScaleLeft = kPlotRight + 12;
constexpr int kScaleWidth = 16;
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
static_assert(InfoPicture::kFirstSonogramTop == kMargin + kTitleHeight);
static_assert(InfoPicture::kSonogramPitch == panel(kSonogramHeight));
static_assert(kPlotRight + 110 == InfoPicture::kWidth, "room for a colour scale and its labels");

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

Surface imageSurface(int width, int height) {
    return Surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height), &cairo_surface_destroy);
}

// Pixels filled one by one and then painted whole at (x, y): the
// spectrograms and the heat map are one colour per time slot and row, and
// painting them at whole-pixel offsets keeps every value's pixel exact.
class Pixels {
public:
    Pixels(int width, int height) : surface_(imageSurface(width, height)) {
        cairo_surface_flush(surface_.get());
        data_ = cairo_image_surface_get_data(surface_.get());
        stride_ = cairo_image_surface_get_stride(surface_.get());
    }

    // Row 0 is the top.
    void set(int x, int y, Colour colour) {
        auto* pixel = reinterpret_cast<std::uint32_t*>(data_ + static_cast<std::ptrdiff_t>(y) * stride_) + x;
        *pixel = std::uint32_t{colour.r} << 16 | std::uint32_t{colour.g} << 8 | colour.b;
    }

    void paint(cairo_t* cr, int x, int y) {
        cairo_surface_mark_dirty(surface_.get());
        cairo_set_source_surface(cr, surface_.get(), x, y);
        cairo_rectangle(cr, x, y, cairo_image_surface_get_width(surface_.get()),
                        cairo_image_surface_get_height(surface_.get()));
        cairo_fill(cr);
    }

private:
    Surface surface_;
    unsigned char* data_ = nullptr;
    int stride_ = 0;
};

void setInk(cairo_t* cr, const Ink& ink) {
    cairo_set_source_rgb(cr, ink.r, ink.g, ink.b);
}

enum class Align { left, centre, right };

// `label` (in the locale's character set, as translations come) on the
// baseline `baseline`, placed by `align` against x.
void drawText(cairo_t* cr, double x, double baseline, const std::string& label, Align align = Align::left,
              double size = kLabelSize, bool bold = false) {
    const std::string shown = text::toUtf8(label);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, shown.c_str(), &extents);
    const double shift = align == Align::left     ? 0.0
                         : align == Align::centre ? extents.x_advance / 2
                                                  : extents.x_advance;
    setInk(cr, kText);
    cairo_move_to(cr, x - shift, baseline);
    cairo_show_text(cr, shown.c_str());
}

// The baseline that centres a label's digits, about 0.72 em high in a
// sans-serif face, on the pixel row y.
double centredBaseline(double y) {
    return y + 0.5 + kLabelSize * 0.36;
}

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
    const std::size_t first = Sonogram::spread(column, kPlotWidth, frameCount);
    const std::size_t end = Sonogram::spread(column + 1, kPlotWidth, frameCount);
    return {first, std::max(end, first + 1)};
}

// The row, 0 at the top of the picture, of `fraction` of a plot's height.
int rowAt(int top, int height, double fraction) {
    return top + height - 1 - static_cast<int>(std::lround(fraction * (height - 1)));
}

void drawTitles(cairo_t* cr, int top, const std::string& title, const std::string& unit) {
    drawText(cr, 8, top - 9, unit);
    drawText(cr, kPlotLeft + kPlotWidth / 2.0, top - 9, title, Align::centre, kTitleSize, true);
}

void drawBorder(cairo_t* cr, int top, int height) {
    setInk(cr, kText);
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, kPlotLeft - 0.5, top - 0.5, kPlotWidth + 1, height + 1);
    cairo_stroke(cr);
}

// A tick and a label left of the plot at `fraction` of its height; returns the row.
int valueTick(cairo_t* cr, int top, int height, double fraction, const std::string& label) {
    const int y = rowAt(top, height, fraction);
    setInk(cr, kText);
    cairo_rectangle(cr, kPlotLeft - 6, y, 5, 1);
    cairo_fill(cr);
    drawText(cr, kPlotLeft - 9, centredBaseline(y), label, Align::right);
    return y;
}

void drawTimeAxis(cairo_t* cr, int bottom, double seconds) {
    const double baseline = bottom + 20;
    drawText(cr, kPlotRight + 12, baseline, text::tr("time (s)"));
    if (!(seconds > 0.0)) return;
    const double step = niceStep(seconds, 12);
    for (int i = 0; i * step <= seconds * (1 + 1e-9); ++i) {
        const double x = kPlotLeft + i * step / seconds * kPlotWidth;
        setInk(cr, kText);
        cairo_rectangle(cr, std::min(std::floor(x), kPlotRight - 1.0), bottom + 1, 1, 5);
        cairo_fill(cr);
        // A label at the very end would run into the axis title.
        if (x < kPlotRight - 15) {
            drawText(cr, x, baseline, TextTable::number(i * step, decimalsFor(step)), Align::centre);
        }
    }
}

// The colour scale right of a plot, from `low` at the bottom to `high` at the
// top, with a label at each of `labels`, given as values between them.
void drawColourScale(cairo_t* cr, int top, int height, double low, double high,
                     const std::vector<double>& labels, const std::string& unit) {
    Pixels scale(kScaleWidth, height);
    for (int row = 0; row < height; ++row) {
        const Colour colour = ColourMap::at(1.0 - row / (height - 1.0));
        for (int x = 0; x < kScaleWidth; ++x) scale.set(x, row, colour);
    }
    scale.paint(cr, kScaleLeft, top);
    for (double value : labels) {
        const int y = rowAt(top, height, (value - low) / (high - low));
        const std::string label = TextTable::number(value, 0) + (value == labels.back() ? " " + unit : "");
        // The end labels stay within the scale's height.
        const double baseline = std::clamp(centredBaseline(y), top + kLabelSize * 0.72, top + height + 0.0);
        drawText(cr, kScaleLeft + kScaleWidth + 5, baseline, label);
    }
}

void drawSonogram(cairo_t* cr, int top, const Sonogram& spectrogram, const FrequencyAxis& axis,
                  const std::string& title) {
    drawTitles(cr, top, title, axis.unit());
    Pixels plot(kPlotWidth, kSonogramHeight);
    std::vector<std::pair<std::size_t, std::size_t>> rows;
    for (int row = 0; row < kSonogramHeight; ++row) rows.push_back(axis.rowBins(row, kSonogramHeight));
    for (int column = 0; column < kPlotWidth; ++column) {
        for (int row = 0; row < kSonogramHeight; ++row) {
            // A row shows the loudest of its bins.
            double level = -HUGE_VAL;
            if (spectrogram.slots() > 0) {
                const std::size_t slot = Sonogram::spread(column, kPlotWidth, spectrogram.slots());
                for (std::size_t bin = rows[row].first; bin < rows[row].second; ++bin) {
                    level = std::max(level, spectrogram.levelDb(slot, bin));
                }
            }
            plot.set(column, kSonogramHeight - 1 - row, ColourMap::at((level - kLowDb) / (kHighDb - kLowDb)));
        }
    }
    plot.paint(cr, kPlotLeft, top);
    drawBorder(cr, top, kSonogramHeight);
    for (const FrequencyAxis::Tick& tick : axis.ticks()) {
        valueTick(cr, top, kSonogramHeight, axis.fraction(tick.hz), tick.label);
    }
    drawColourScale(cr, top, kSonogramHeight, kLowDb, kHighDb, {0, 20, 40, 60, 80}, "dB");
}

void drawAllocation(cairo_t* cr, int top, const FrameTable& frames) {
    drawTitles(cr, top, text::tr("Bits per band in each frame"), text::tr("band"));
    Pixels plot(kPlotWidth, kAllocationHeight);
    for (int column = 0; frames.frameCount() > 0 && column < kPlotWidth; ++column) {
        const auto [first, end] = columnFrames(column, frames.frameCount());
        for (std::size_t band = 0; band < kBandCount; ++band) {
            double bits = 0.0;
            for (std::size_t f = first; f < end; ++f) bits += frames.allocation(f)[band];
            const Colour colour = ColourMap::at(bits / static_cast<double>(end - first) / 15.0);
            const int bottom = kAllocationHeight - static_cast<int>(band) * kBandRows;
            for (int y = bottom - kBandRows; y < bottom; ++y) plot.set(column, y, colour);
        }
    }
    plot.paint(cr, kPlotLeft, top);
    drawBorder(cr, top, kAllocationHeight);
    for (int band = 0; band < static_cast<int>(kBandCount); band += 4) {
        valueTick(cr, top, kAllocationHeight, (band + 0.5) / kBandCount, std::to_string(band));
    }
    drawColourScale(cr, top, kAllocationHeight, 0, 15, {0, 5, 10, 15}, "bit");
}

void drawBitRate(cairo_t* cr, int top, const FrameTable& frames) {
    drawTitles(cr, top, text::tr("Bit rate"), "kbit/s");
    drawBorder(cr, top, kRateHeight);
    if (frames.frameCount() == 0) return;
    std::vector<double> rates(kPlotWidth);
    for (int column = 0; column < kPlotWidth; ++column) {
        const auto [first, end] = columnFrames(column, frames.frameCount());
        for (std::size_t f = first; f < end; ++f) rates[column] += frames.frameKbitPerSecond(f);
        rates[column] /= static_cast<double>(end - first);
    }
    const double highest = *std::max_element(rates.begin(), rates.end());
    const double step = niceStep(highest, 5);
    const double ceiling = std::ceil(highest / step) * step;
    for (int i = 0; i * step <= ceiling * (1 + 1e-9); ++i) {
        const int y =
            valueTick(cr, top, kRateHeight, i * step / ceiling, TextTable::number(i * step, decimalsFor(step)));
        if (i == 0) continue;
        setInk(cr, kGrid);
        cairo_rectangle(cr, kPlotLeft, y, kPlotWidth, 1);
        cairo_fill(cr);
    }
    setInk(cr, kCurve);
    cairo_set_line_width(cr, 1.5);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    for (int column = 0; column < kPlotWidth; ++column) {
        const double y = top + (1.0 - rates[column] / ceiling) * (kRateHeight - 1) + 0.5;
        if (column == 0) {
            cairo_move_to(cr, kPlotLeft + 0.5, y);
        } else {
            cairo_line_to(cr, kPlotLeft + column + 0.5, y);
        }
    }
    cairo_stroke(cr);
}

}  // namespace

bool InfoPicture::write(const std::string& path, const FrameTable& frames, const Sonogram* original,
                        const Sonogram& decoded, const FrequencyAxis& axis) {
    const Surface surface = imageSurface(kWidth, original != nullptr ? kHeightWithOriginal : kHeightWithoutOriginal);
    const std::unique_ptr<cairo_t, decltype(&cairo_destroy)> context(cairo_create(surface.get()), &cairo_destroy);
    cairo_t* cr = context.get();
    setInk(cr, kBackground);
    cairo_paint(cr);

    int top = kMargin + kTitleHeight;
    auto nextPanel = [&](int height) {
        drawTimeAxis(cr, top + height, frames.seconds());
        top += panel(height);
    };
    if (original != nullptr) {
        drawSonogram(cr, top, *original, axis, text::tr("Spectrogram of the original"));
        nextPanel(kSonogramHeight);
    }
    drawSonogram(cr, top, decoded, axis, text::tr("Spectrogram of the decoded file"));
    nextPanel(kSonogramHeight);
    drawAllocation(cr, top, frames);
    nextPanel(kAllocationHeight);
    drawBitRate(cr, top, frames);
    nextPanel(kRateHeight);
    return cairo_status(cr) == CAIRO_STATUS_SUCCESS &&
           cairo_surface_write_to_png(surface.get(), path.c_str()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace zarn
