// zarnalign: lines a decoded sound up with its original and grades it.
//
//   zarnalign REFERENCE.wav TEST.wav [--max-lag N] [--write REF_OUT TEST_OUT]
//
// Both inputs are 16-bit PCM WAVE (the first channel is used). Encoders put
// a delay of their own in front of the sound (and some drop samples at the
// start), so the lag of TEST behind REFERENCE is the one within ±N samples
// (default 4096) with the largest normalised cross-correlation; the two are
// then cut to the samples they share at that lag. Prints, one "name value"
// per line: lag (positive: TEST is late), samples, correlation, snr and
// segsnr in dB. With --write the two cut signals are written as 16-bit mono
// 44.1 kHz WAVE files, for a grader that needs them sample for sample.
//
// Segmental SNR is the mean over hops of 256 samples, each hop's SNR held to
// −10..60 dB so that a few silent or perfect hops cannot dominate; hops of
// the reference quieter than −60 dB full scale are skipped, as their SNR
// measures the codec's idle noise rather than its coding of sound.

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "zarnalign: %s\n", message.c_str());
    std::exit(1);
}

std::uint32_t le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}

std::uint16_t le16(const unsigned char* p) { return std::uint16_t(p[0] | (p[1] << 8)); }

// Walks the RIFF chunks rather than assuming a 44-byte header: ffmpeg and
// others put LIST chunks before the data, and a size of 0xFFFFFFFF (written
// to a pipe) means "to the end of the file".
std::vector<double> readWave(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fail("cannot open " + path);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        fail(path + " is not a RIFF WAVE file");
    std::size_t pos = 12;
    unsigned channels = 0, bits = 0;
    while (pos + 8 <= bytes.size()) {
        const unsigned char* chunk = bytes.data() + pos;
        std::uint64_t size = le32(chunk + 4);
        std::size_t body = pos + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && body + 16 <= bytes.size()) {
            channels = le16(bytes.data() + body + 2);
            bits = le16(bytes.data() + body + 14);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (channels == 0) fail(path + " has its data before its format");
            if (bits != 16) fail(path + " is not 16-bit PCM");
            std::size_t end = size == 0xFFFFFFFFu ? bytes.size() : std::min<std::size_t>(bytes.size(), body + size);
            std::size_t frame = 2 * channels;
            std::vector<double> samples;
            samples.reserve((end - body) / frame);
            for (std::size_t p = body; p + frame <= end; p += frame)
                samples.push_back(std::int16_t(le16(bytes.data() + p)));
            return samples;
        }
        pos = body + size + (size & 1);
    }
    fail(path + " has no data chunk");
}

void writeWave(const std::string& path, const double* samples, std::size_t count) {
    std::ofstream out(path, std::ios::binary);
    if (!out) fail("cannot write " + path);
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out.put(char((v >> (8 * i)) & 0xFF));
    };
    auto put16 = [&](std::uint16_t v) {
        out.put(char(v & 0xFF));
        out.put(char(v >> 8));
    };
    std::uint32_t dataBytes = std::uint32_t(2 * count);
    out.write("RIFF", 4);
    put32(36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(16);
    put16(1);
    put16(1);
    put32(44100);
    put32(88200);
    put16(2);
    put16(16);
    out.write("data", 4);
    put32(dataBytes);
    for (std::size_t i = 0; i < count; ++i) put16(std::uint16_t(std::int16_t(samples[i])));
    if (!out) fail("cannot write " + path);
}

using Spectrum = std::vector<std::complex<double>>;

// In-place radix-2 FFT; a measuring tool's, not the codec's, so plain and
// double throughout.
void fft(Spectrum& a, bool inverse) {
    std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    const double pi = std::acos(-1.0);
    for (std::size_t len = 2; len <= n; len <<= 1) {
        double angle = 2 * pi / double(len) * (inverse ? 1 : -1);
        std::complex<double> step(std::cos(angle), std::sin(angle));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> w(1);
            for (std::size_t k = 0; k < len / 2; ++k, w *= step) {
                std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

// The samples the two share when test[n + lag] lines up with ref[n].
struct Overlap {
    std::size_t refStart, testStart, count;
};

Overlap overlap(std::size_t refSize, std::size_t testSize, long lag) {
    long refStart = std::max(0L, -lag);
    long end = std::min(long(refSize), long(testSize) - lag);
    if (end <= refStart) return {0, 0, 0};
    return {std::size_t(refStart), std::size_t(refStart + lag), std::size_t(end - refStart)};
}

// The lag within ±maxLag whose correlation, normalised by both signals'
// energy, is largest. A window of the reference from its middle, a few
// seconds long, is enough to find it and keeps the transform small.
long findLag(const std::vector<double>& ref, const std::vector<double>& test, long maxLag, double& best) {
    const std::size_t window = std::min<std::size_t>(ref.size(), 1u << 17);
    const long refStart = long(ref.size() - window) / 2;
    const long testStart = refStart - maxLag;  // test[testStart + i] sits in b[i]
    const std::size_t span = window + 2 * std::size_t(maxLag);
    std::size_t n = 1;
    while (n < window + span) n <<= 1;
    Spectrum a(n), b(n);
    for (std::size_t i = 0; i < window; ++i) a[i] = ref[std::size_t(refStart) + i];
    std::vector<double> testEnergy(span + 1);
    for (std::size_t i = 0; i < span; ++i) {
        long j = testStart + long(i);
        double v = j >= 0 && j < long(test.size()) ? test[std::size_t(j)] : 0;
        b[i] = v;
        testEnergy[i + 1] = testEnergy[i] + v * v;
    }
    double refEnergy = 0;
    for (std::size_t i = 0; i < window; ++i) refEnergy += a[i].real() * a[i].real();
    fft(a, false);
    fft(b, false);
    for (std::size_t i = 0; i < n; ++i) a[i] = std::conj(a[i]) * b[i];
    fft(a, true);
    long bestLag = 0;
    best = -2;
    for (long lag = -maxLag; lag <= maxLag; ++lag) {
        std::size_t shift = std::size_t(lag + maxLag);  // sum_i ref[refStart + i] * b[shift + i]
        double cross = a[shift].real() / double(n);
        double et = testEnergy[shift + window] - testEnergy[shift];
        double score = refEnergy > 0 && et > 0 ? cross / std::sqrt(refEnergy * et) : 0;
        if (score > best) {
            best = score;
            bestLag = lag;
        }
    }
    return bestLag;
}

double decibels(double signal, double noise) {
    if (noise <= 0) return 200;
    if (signal <= 0) return -200;
    return 10 * std::log10(signal / noise);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    long maxLag = 4096;
    std::string refOut, testOut;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--max-lag" && i + 1 < argc) {
            maxLag = std::strtol(argv[++i], nullptr, 10);
        } else if (arg == "--write" && i + 2 < argc) {
            refOut = argv[++i];
            testOut = argv[++i];
        } else if (!arg.empty() && arg[0] == '-') {
            fail("unknown option " + arg);
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2 || maxLag < 0)
        fail("usage: zarnalign REFERENCE.wav TEST.wav [--max-lag N] [--write REF_OUT TEST_OUT]");

    std::vector<double> ref = readWave(files[0]);
    std::vector<double> test = readWave(files[1]);
    if (ref.empty() || test.empty()) fail("an input holds no samples");

    double correlation = 0;
    long lag = findLag(ref, test, maxLag, correlation);
    Overlap o = overlap(ref.size(), test.size(), lag);
    const double* r = ref.data() + o.refStart;
    const double* t = test.data() + o.testStart;

    const std::size_t hop = 256;
    const double silent = hop * std::pow(32768.0 * 1e-3, 2);  // −60 dB full scale
    double signal = 0, noise = 0, segmental = 0;
    std::size_t hops = 0;
    for (std::size_t start = 0; start < o.count; start += hop) {
        std::size_t end = std::min(o.count, start + hop);
        double s = 0, e = 0;
        for (std::size_t i = start; i < end; ++i) {
            s += r[i] * r[i];
            e += (r[i] - t[i]) * (r[i] - t[i]);
        }
        signal += s;
        noise += e;
        if (end - start == hop && s >= silent) {
            segmental += std::clamp(decibels(s, e), -10.0, 60.0);
            ++hops;
        }
    }

    std::printf("lag %ld\nsamples %zu\ncorrelation %.6f\nsnr %.2f\nsegsnr %.2f\n", lag, o.count, correlation,
                decibels(signal, noise), hops ? segmental / double(hops) : 0.0);
    if (!refOut.empty()) {
        writeWave(refOut, r, o.count);
        writeWave(testOut, t, o.count);
    }
    return 0;
}
