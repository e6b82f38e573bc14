#pragma once
// The maths library's part in the outputs. Both programs build their tables
// from cos and sin, the encoder compares levels from log10, and the golden
// inputs come from sin, exp and the standard library's normal distribution; a C library that rounds one of
// those values differently changes output bytes without any fault of the codec. This recomputes every such
// value with the codec's own expressions, fingerprints each group, and compares the fingerprints with those
// of libraries whose outputs are known to match the golden hashes.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zarn::test {

// FNV-1a over `count` bytes, carrying on from `hash`: how the golden outputs
// and the maths library's results are both fingerprinted.
constexpr std::uint64_t kFnvStart = 14695981039346656037ull;
std::uint64_t fnv1a(const std::uint8_t* bytes, std::size_t count, std::uint64_t hash = kFnvStart);

// `value` as sixteen hexadecimal digits.
std::string hexDigits(std::uint64_t value);

enum class MathsFunction { cos, sin, log10 };

// One function over the arguments the codec gives it.
struct MathsGroup {
    std::string name;  // the function and its expression
    MathsFunction function = MathsFunction::cos;
    std::vector<double> arguments;                     // exactly as the codec forms them
    std::vector<double> values;                        // what this library returns for them
    std::vector<std::uint32_t> uses;                   // table entries per argument
    std::function<std::string(std::size_t)> describe;  // argument i in the codec's terms
    std::uint64_t fingerprint = 0;
};

// Every group; the last one, the golden input signals, has no arguments of
// its own, only a fingerprint.
std::vector<MathsGroup> surveyMaths();

// A library whose fingerprints are known, group by group.
struct KnownLibrary {
    const char* name;
    std::vector<std::uint64_t> fingerprints;
};
const std::vector<KnownLibrary>& knownLibraries();

// The correctly rounded value of `function` at `x`, from double-double
// arithmetic that rounds the same on every IEEE machine; false where the
// exact value lies too close to a rounding boundary to decide.
bool correctlyRounded(MathsFunction function, double x, double& result);

struct MathsVerdict {
    const char* library = nullptr;  // the known library that matches every group, or null
    std::string report;             // group by group; argument by argument where unknown
};
MathsVerdict judgeMathsLibrary();

// One line for a golden test's failure message: whether the maths library is
// one of the known ones, and so whether a mismatch is the codec's.
std::string mathsLibraryNote();

}  // namespace zarn::test
