#include "tests/cli/CliTestSupport.h"

#include <dirent.h>
#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>

namespace zarn::test {

std::string zarnCommand() { return targetCommand(ZARN_PATH); }

RunResult runZarn(const TempDir& dir, const std::string& arguments, const std::string& input) {
    return runCommand(zarnCommand() + " " + arguments, dir.path(), input);
}

void menuConvert(const char* programPath, const TempDir& dir, char entry, const std::string& input,
                 const std::string& output) {
    const RunResult result =
        runProgram(programPath, dir.path(), std::string(1, entry) + "\n" + input + "\n" + output + "\n5\n");
    ASSERT_EQ(result.exitStatus, 0) << programPath << " " << input << "\n" << result.out << result.err;
}

void writeSound(const std::string& path, int format, int channels, int rate, const std::vector<double>& frames) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    // The best a lossy format has, so that its own loss stays small; the
    // others ignore it.
    double quality = 1.0;
    sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
    const auto count = static_cast<sf_count_t>(frames.size() / static_cast<std::size_t>(channels));
    EXPECT_EQ(sf_writef_double(file, frames.data(), count), count);
    EXPECT_EQ(sf_close(file), 0);
}

std::vector<std::int16_t> readSamples(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        ADD_FAILURE() << path << ": " << sf_strerror(nullptr);
        return {};
    }
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.samplerate, 44100);
    std::vector<std::int16_t> samples;
    std::int16_t block[4096];
    for (sf_count_t n; (n = sf_readf_short(file, block, 4096)) > 0;) samples.insert(samples.end(), block, block + n);
    sf_close(file);
    return samples;
}

std::vector<double> asDoubles(const std::vector<std::int16_t>& samples) {
    std::vector<double> values(samples.size());
    std::transform(samples.begin(), samples.end(), values.begin(), [](std::int16_t s) { return s / 32768.0; });
    return values;
}

std::vector<double> resampled(const std::vector<double>& mono, int from, int to) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    std::vector<double> out(static_cast<std::size_t>(std::ceil(mono.size() * (static_cast<double>(to) / from))) + 16);
    std::size_t done = 0;
    const soxr_error_t error =
        soxr_oneshot(from, to, 1, mono.data(), mono.size(), nullptr, out.data(), out.size(), &done, &io, &quality,
                     nullptr);
    EXPECT_EQ(error, nullptr);
    out.resize(done);
    return out;
}

double snrDb(const std::vector<std::int16_t>& original, const std::vector<std::int16_t>& decoded, long lag) {
    double signal = 0.0, noise = 0.0;
    for (std::size_t i = 0; i < original.size(); ++i) {
        const long at = static_cast<long>(i) + lag;
        const bool inside = at >= 0 && at < static_cast<long>(decoded.size());
        const double out = inside ? decoded[static_cast<std::size_t>(at)] : 0.0;
        signal += static_cast<double>(original[i]) * original[i];
        noise += (original[i] - out) * (original[i] - out);
    }
    return 10.0 * std::log10(signal / std::max(noise, 1e-9));
}

std::vector<std::string> filesIn(const TempDir& dir) {
    std::vector<std::string> names;
    if (DIR* folder = opendir(dir.path().c_str())) {
        while (const dirent* entry = readdir(folder)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(folder);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace zarn::test
