// zarninfo's picture read back: its size, and where the spectrograms put a
// tone whose frequency is known.

#include <cairo.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <set>

#include "info/InfoPicture.h"
#include "tests/info/InfoTestSupport.h"

namespace zarn::test {
namespace {

// A PNG read back with Cairo.
class Picture {
public:
    explicit Picture(const std::string& path)
        : surface_(cairo_image_surface_create_from_png(path.c_str()), &cairo_surface_destroy) {}

    bool read() const { return cairo_surface_status(surface_.get()) == CAIRO_STATUS_SUCCESS; }
    int width() const { return cairo_image_surface_get_width(surface_.get()); }
    int height() const { return cairo_image_surface_get_height(surface_.get()); }
    // 0xRRGGBB
    std::uint32_t at(int x, int y) const {
        const unsigned char* row =
            cairo_image_surface_get_data(surface_.get()) + y * cairo_image_surface_get_stride(surface_.get());
        return reinterpret_cast<const std::uint32_t*>(row)[x] & 0xFFFFFF;
    }
    double luminance(int x, int y) const {
        const std::uint32_t rgb = at(x, y);
        return 0.2126 * (rgb >> 16) + 0.7152 * (rgb >> 8 & 0xFF) + 0.0722 * (rgb & 0xFF);
    }
    std::size_t colours() const {
        std::set<std::uint32_t> seen;
        for (int y = 0; y < height(); ++y) {
            for (int x = 0; x < width(); ++x) seen.insert(at(x, y));
        }
        return seen.size();
    }

private:
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface_;
};

TEST(InfoPicture, IsAPngOfTheStatedSize) {
    TempDir dir;
    encode(ZARNCONV_PATH, dir, "music", makeMusicSignal(13230));
    struct Case {
        std::vector<std::string> arguments;
        int height;
    };
    // The option may come anywhere; the original adds a spectrogram of 258 px.
    for (const Case& c : {Case{{"--picture", "p.png", "music.zarn", "music.wav"}, 1000},
                          Case{{"music.zarn", "--picture", "p.png"}, 742}}) {
        SCOPED_TRACE(c.height);
        std::filesystem::remove(dir.file("p.png"));
        const RunResult result = runInfo(dir, c.arguments);
        ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
        EXPECT_EQ(result.err, "");
        const Picture picture(dir.file("p.png"));
        ASSERT_TRUE(picture.read());
        EXPECT_EQ(picture.width(), 1200);
        EXPECT_EQ(picture.height(), c.height);
        EXPECT_GT(picture.colours(), 50u);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("tmp")));

    // One line on standard error whether the file cannot be opened or not written.
    for (const std::string path : {"no/such/folder.png", "/dev/full"}) {
        SCOPED_TRACE(path);
        const RunResult unwritable = runInfo(dir, {"music.zarn", "--picture", path});
        EXPECT_EQ(unwritable.exitStatus, 1);
        EXPECT_EQ(unwritable.err, "Cannot write the picture " + path + "\n");
    }
}

// The row of a spectrogram, counted from its bottom, that is brightest over
// the middle half of the time axis, away from the tone's fades.
int brightestRow(const Picture& picture, int top) {
    int brightest = -1;
    double most = -1.0;
    for (int row = 0; row < InfoPicture::kSonogramHeight; ++row) {
        double sum = 0.0;
        for (int column = InfoPicture::kPlotWidth / 4; column < 3 * InfoPicture::kPlotWidth / 4; ++column) {
            sum += picture.luminance(InfoPicture::kPlotLeft + column, top + InfoPicture::kSonogramHeight - 1 - row);
        }
        if (sum > most) {
            most = sum;
            brightest = row;
        }
    }
    return brightest;
}

TEST(InfoPicture, AToneIsTheBrightestRowOfBothSpectrogramsWhereTheAxisPutsIt) {
    TempDir dir;
    encode(ZARNCONV_PATH, dir, "tone", toneOnBin40());
    const double hz = 40 * 44100.0 / 512;  // 3445 Hz, bin 40
    const int height = InfoPicture::kSonogramHeight;
    struct Case {
        const char* name;
        std::vector<std::string> options;
        int row;
    };
    const Case cases[] = {
        // 257 equal rows of one bin each, squeezed into the height: bin 40
        // takes the 41st.
        {"linear", {}, static_cast<int>((40 + 0.5) / 257 * height)},
        // Equal heights for equal ratios from 50 Hz to 22050 Hz: 3445 Hz lies
        // at 69 % of the height, where the linear axis has 16 %.
        {"logarithmic", {"--log-frequency"}, static_cast<int>(std::log(hz / 50) / std::log(22050.0 / 50) * height)},
    };
    ASSERT_EQ(cases[0].row, 32);
    ASSERT_EQ(cases[1].row, 143);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments = {"tone.zarn", "tone.wav", "--picture", "p.png"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const RunResult result = runInfo(dir, arguments);
        ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
        const Picture picture(dir.file("p.png"));
        ASSERT_TRUE(picture.read());
        EXPECT_NEAR(brightestRow(picture, InfoPicture::kFirstSonogramTop), c.row, 1) << "original";
        EXPECT_NEAR(brightestRow(picture, InfoPicture::kFirstSonogramTop + InfoPicture::kSonogramPitch), c.row, 1)
            << "decoded";
    }
}

}  // namespace
}  // namespace zarn::test
