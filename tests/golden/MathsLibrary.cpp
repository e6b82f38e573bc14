#include "tests/golden/MathsLibrary.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "common/Types.h"
#include "tools/MusicSignal.h"

namespace zarn::test {

std::uint64_t fnv1a(const std::uint8_t* bytes, std::size_t count, std::uint64_t hash) {
    for (std::size_t i = 0; i < count; ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string hexDigits(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

namespace {

std::uint64_t bitsOf(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Each value's bits, low byte first, so that a big-endian machine gives the
// same fingerprint for the same values.
std::uint64_t fingerprintOf(const std::vector<double>& values) {
    std::uint64_t hash = kFnvStart;
    for (double value : values) {
        const std::uint64_t bits = bitsOf(value);
        std::uint8_t bytes[8];
        for (int byte = 0; byte < 8; ++byte) bytes[byte] = static_cast<std::uint8_t>(bits >> (8 * byte));
        hash = fnv1a(bytes, sizeof bytes, hash);
    }
    return hash;
}

std::string hex(std::uint64_t value) { return "0x" + hexDigits(value); }

std::string format(const char* pattern, long long a, long long b = 0, long long c = 0) {
    char text[96];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

const char* nameOf(MathsFunction function) {
    switch (function) {
        case MathsFunction::cos: return "cos";
        case MathsFunction::sin: return "sin";
        case MathsFunction::log10: return "log10";
    }
    return "?";
}

MathsGroup group(const std::string& name, MathsFunction function) {
    MathsGroup g;
    g.name = name;
    g.function = function;
    return g;
}

double evaluate(MathsFunction function, double x) {
    switch (function) {
        case MathsFunction::cos: return std::cos(x);
        case MathsFunction::sin: return std::sin(x);
        case MathsFunction::log10: return std::log10(x);
    }
    return x;
}

void evaluate(MathsGroup& g) {
    g.values.resize(g.arguments.size());
    for (std::size_t i = 0; i < g.arguments.size(); ++i) g.values[i] = evaluate(g.function, g.arguments[i]);
    g.fingerprint = fingerprintOf(g.values);
}

// The twiddles of every FFT level, formed as dsp/Fft.cpp forms them.
void addFftGroups(std::vector<MathsGroup>& groups) {
    MathsGroup c = group("cos((2pi*k)/n), FFT twiddles", MathsFunction::cos);
    MathsGroup s = group("sin((k*(-2pi))/n), FFT twiddles", MathsFunction::sin);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> index;
    for (std::uint32_t n = 2; n <= kBlockLength; n *= 2) {
        for (std::uint32_t k = 0; k < n / 2; ++k) {
            c.arguments.push_back((kTwoPi * k) / n);
            s.arguments.push_back((k * -kTwoPi) / n);
            index.emplace_back(k, n);
        }
    }
    for (MathsGroup* g : {&c, &s}) {
        g->uses.assign(index.size(), 1);
        g->describe = [index](std::size_t i) {
            return format("k = %lld, n = %lld", index[i].first, index[i].second);
        };
        groups.push_back(std::move(*g));
    }
}

// The Hann window's terms, formed as dsp/FrameWindow.cpp forms them.
void addWindowGroup(std::vector<MathsGroup>& groups) {
    MathsGroup g = group("cos((i*2pi)/512), window", MathsFunction::cos);
    const auto n = static_cast<std::int32_t>(kBlockLength);
    for (std::int32_t i = 0; i < n; ++i) g.arguments.push_back((i * kTwoPi) / n);
    g.uses.assign(g.arguments.size(), 1);
    g.describe = [](std::size_t i) { return format("i = %lld", static_cast<long long>(i)); };
    groups.push_back(std::move(g));
}

// The direct transform's tables, formed as reduced/Dft.cpp forms them: the
// angle depends on the index product alone, so each product is evaluated
// once and counted as often as the tables hold it. The forward tables cover
// bins 0..256, the inverse ones every output.
void addDftGroups(std::vector<MathsGroup>& groups) {
    const int length = static_cast<int>(kBlockLength);
    for (bool forward : {true, false}) {
        const int rows = forward ? length / 2 + 1 : length;
        std::vector<std::uint32_t> uses(static_cast<std::size_t>((length - 1) * (length - 1) + 1), 0);
        std::vector<std::pair<int, int>> factors(uses.size());
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < length; ++c) {
                if (uses[static_cast<std::size_t>(r * c)]++ == 0)
                    factors[static_cast<std::size_t>(r * c)] = {r, c};
            }
        }
        const double signedTwoPi = forward ? -kTwoPi : kTwoPi;
        const char* direction =
            forward ? "(-2pi)/512), direct transform forward" : "2pi/512), direct transform inverse";
        MathsGroup c = group(std::string("cos((k*m)*") + direction, MathsFunction::cos);
        MathsGroup s = group(std::string("sin((k*m)*") + direction, MathsFunction::sin);
        std::vector<std::pair<int, std::pair<int, int>>> index;
        for (std::size_t product = 0; product < uses.size(); ++product) {
            if (uses[product] == 0) continue;
            const double theta = static_cast<double>(static_cast<int>(product)) * signedTwoPi / length;
            for (MathsGroup* g : {&c, &s}) {
                g->arguments.push_back(theta);
                g->uses.push_back(uses[product]);
            }
            index.push_back({static_cast<int>(product), factors[product]});
        }
        for (MathsGroup* g : {&c, &s}) {
            g->describe = [index](std::size_t i) {
                return format("k*m = %lld (k = %lld, m = %lld)", index[i].first, index[i].second.first,
                              index[i].second.second);
            };
            groups.push_back(std::move(*g));
        }
    }
}

// Levels in dB, 20·log10(sqrt(p)) as encoder/LevelBracket.h forms them, where
// the threshold in quiet and the bit allocation compare them: powers
// (1 + j/64)·2^e from far below the quietest level a frame holds to past the
// 1e300 where their bisections start.
void addLevelGroup(std::vector<MathsGroup>& groups) {
    MathsGroup g = group("log10(sqrt(p)), levels of powers p = (1 + j/64)*2^e", MathsFunction::log10);
    std::vector<std::pair<int, int>> index;
    for (int e = -100; e < 1000; ++e) {
        for (int j = 0; j < 64; ++j) {
            g.arguments.push_back(std::sqrt(std::ldexp(1 + j / 64.0, e)));
            index.emplace_back(j, e);
        }
    }
    g.uses.assign(g.arguments.size(), 1);
    g.describe = [index](std::size_t i) {
        return format("j = %lld, e = %lld", index[i].first, index[i].second);
    };
    groups.push_back(std::move(g));
}

// The golden test's inputs: the quiet signal's sines, as it forms them, and
// the music signal as a whole (sin, exp, and log and sqrt inside
// std::normal_distribution), which has no arguments to list.
void addGoldenInputGroups(std::vector<MathsGroup>& groups) {
    MathsGroup quiet = group("sin(i*0.05), golden quiet input", MathsFunction::sin);
    for (std::size_t i = 0; i < 5000; ++i) quiet.arguments.push_back(i * 0.05);
    quiet.uses.assign(quiet.arguments.size(), 1);
    quiet.describe = [](std::size_t i) { return format("i = %lld", static_cast<long long>(i)); };
    groups.push_back(std::move(quiet));

    MathsGroup music =
        group("samples of the golden music input (sin, exp, normal distribution)", MathsFunction::sin);
    for (std::int16_t sample : makeMusicSignal(44100, 7)) music.values.push_back(sample);
    music.fingerprint = fingerprintOf(music.values);
    groups.push_back(std::move(music));
}

// Double-double arithmetic: a value is hi + lo with |lo| at most half an ulp
// of hi. Built from IEEE additions and multiplications alone (no fused
// multiply-add: the build forbids contraction), it gives the same bits on
// every machine.
struct Dd {
    double hi, lo;
};

Dd quickTwoSum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

Dd twoSum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

Dd twoProduct(double a, double b) {
    const double p = a * b;
    const double splitter = 134217729.0;  // 2^27 + 1
    const double ta = splitter * a, tb = splitter * b;
    const double aHi = ta - (ta - a), aLo = a - aHi;
    const double bHi = tb - (tb - b), bLo = b - bHi;
    return {p, ((aHi * bHi - p) + aHi * bLo + aLo * bHi) + aLo * bLo};
}

Dd add(Dd a, Dd b) {
    Dd s = twoSum(a.hi, b.hi);
    const Dd t = twoSum(a.lo, b.lo);
    s = quickTwoSum(s.hi, s.lo + t.hi);
    return quickTwoSum(s.hi, s.lo + t.lo);
}

Dd multiply(Dd a, Dd b) {
    const Dd p = twoProduct(a.hi, b.hi);
    return quickTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

Dd divide(Dd a, double b) {
    const double q1 = a.hi / b;
    const Dd p = twoProduct(q1, b);
    const Dd d = twoSum(a.hi, -p.hi);
    const double q2 = (d.hi + (d.lo + a.lo - p.lo)) / b;
    return quickTwoSum(q1, q2);
}

Dd divide(Dd a, Dd b) {
    const double q1 = a.hi / b.hi;
    Dd r = add(a, multiply(Dd{-q1, 0.0}, b));
    const double q2 = r.hi / b.hi;
    r = add(r, multiply(Dd{-q2, 0.0}, b));
    const double q3 = r.hi / b.hi;
    const Dd q = quickTwoSum(q1, q2);
    return add(q, Dd{q3, 0.0});
}

Dd negative(Dd a) { return {-a.hi, -a.lo}; }

// ±1/j! for the series of sin (odd j) and cos (even j), to j = 31: past
// π/4 the next term is below 2^-120 of the result.
struct SeriesTerms {
    Dd term[32];
    SeriesTerms() {
        Dd factor{1.0, 0.0};
        term[0] = factor;
        for (int j = 1; j < 32; ++j) {
            factor = divide(factor, j);
            term[j] = (j / 2) % 2 == 0 ? factor : negative(factor);
        }
    }
};

// sin(r) or cos(r) for |r| a little over π/4 at most, to about 2^-100.
Dd series(bool sine, Dd r) {
    static const SeriesTerms terms;
    const Dd r2 = multiply(r, r);
    const int first = sine ? 31 : 30;
    Dd sum = terms.term[first];
    for (int j = first - 2; j >= 0; j -= 2) sum = add(multiply(sum, r2), terms.term[j]);
    return sine ? multiply(sum, r) : sum;
}

// sin or cos of a double x, |x| < 2^19.
Dd sineOrCosine(bool sine, double x) {
    // π/2 in four parts, the first three of 33 bits so that their products
    // with a quadrant count below 2^20 are exact; the rest is below 2^-160.
    const double p1 = 0x1.921fb544p+0, p2 = 0x1.0b4611a6p-34, p3 = 0x1.3198a2ep-69,
                 p4 = 0x1.b839a252049c1p-104;
    const double q = std::nearbyint(x * 0x1.45f306dc9c883p-1);  // x·2/π
    Dd r = twoSum(x - q * p1, -(q * p2));                       // x − q·p1 is exact
    r = add(r, Dd{-(q * p3), 0.0});
    r = add(r, negative(twoProduct(q, p4)));
    // sin(r + qπ/2) and cos(r + qπ/2) from sin r and cos r.
    const auto quadrant = static_cast<long long>(q) & 3;
    const Dd v = series(sine == (quadrant % 2 == 0), r);
    const bool negate = sine ? quadrant >= 2 : (quadrant == 1 || quadrant == 2);
    return negate ? negative(v) : v;
}

// 2·atanh(t)/t = 2·(1 + t²/3 + t⁴/5 …), enough terms for |t| ≤ 0.172.
struct AtanhTerms {
    Dd term[24];
    AtanhTerms() {
        for (int j = 0; j < 24; ++j) term[j] = divide(Dd{2.0, 0.0}, 2.0 * j + 1);
    }
};

// log10 of a positive finite double: with y = m·2^e, m in [√½, √2),
// ln y = e·ln 2 + 2·atanh((m − 1)/(m + 1)).
Dd log10Of(double y) {
    static const AtanhTerms terms;
    const Dd ln2{0x1.62e42fefa39efp-1, 0x1.abc9e3b39803fp-56};
    const Dd log10e{0x1.bcb7b1526e50ep-2, 0x1.95355baaafad3p-57};
    int e;
    double m = std::frexp(y, &e);
    if (m < 0x1.6a09e667f3bcdp-1) {
        m *= 2;
        --e;
    }
    const Dd t = divide(Dd{m - 1, 0.0}, twoSum(m, 1.0));  // m − 1 is exact
    const Dd t2 = multiply(t, t);
    Dd sum = terms.term[23];
    for (int j = 22; j >= 0; --j) sum = add(multiply(sum, t2), terms.term[j]);
    const Dd ln = add(multiply(ln2, Dd{static_cast<double>(e), 0.0}), multiply(sum, t));
    return multiply(ln, log10e);
}

}  // namespace

bool correctlyRounded(MathsFunction function, double x, double& result) {
    Dd v{};
    if (function == MathsFunction::log10) {
        if (!(x > 0) || std::isinf(x)) return false;
        v = log10Of(x);
    } else {
        if (x == 0) {
            result = function == MathsFunction::sin ? x : 1.0;
            return true;
        }
        if (!(std::fabs(x) < 0x1p19)) return false;
        v = sineOrCosine(function == MathsFunction::sin, x);
    }
    // The exact value lies within `error` of hi + lo: round it to a double,
    // unless it lies that close to the midpoint between two.
    const double error = 0x1p-136 + std::fabs(v.hi) * 0x1p-96;
    if (v.lo == 0) {
        result = v.hi;
        return true;
    }
    const double neighbour = std::nextafter(v.hi, v.lo > 0 ? HUGE_VAL : -HUGE_VAL);
    const double half = (neighbour - v.hi) / 2;
    if (std::fabs(v.lo - half) <= error) return false;
    result = std::fabs(v.lo) > std::fabs(half) ? neighbour : v.hi;
    return true;
}

std::vector<MathsGroup> surveyMaths() {
    std::vector<MathsGroup> groups;
    addFftGroups(groups);
    addWindowGroup(groups);
    addDftGroups(groups);
    addLevelGroup(groups);
    addGoldenInputGroups(groups);
    for (MathsGroup& g : groups) {
        if (!g.arguments.empty()) evaluate(g);
    }
    return groups;
}

const std::vector<KnownLibrary>& knownLibraries() {
    // Group by group, in surveyMaths() order; each gives the golden hashes.
    // glibc picks its cos and sin by processor: the FMA variants on x86-64
    // processors with FMA, the others without it (as under
    // GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2,-FMA,-FMA4), and 135 arguments of
    // the direct transform's tables (433 entries) come out 1 ulp apart.
    static const std::vector<KnownLibrary> libraries = {
        {"glibc 2.36 x86-64 with FMA (aarch64, s390x alike)",
         {0x8bf1bef41924b00c, 0x89feaebd3aa6ac25, 0x5d3b0b6cce8f8464, 0x5f67e18357df88ab, 0x3c51f89f1c61cf54,
          0xde4d5b072b813264, 0x91d70e233b570785, 0x5b865774df43a26b, 0x2ece335f4b77c466,
          0xc93e73070544f4b0}},
        {"glibc 2.36 x86-64 without FMA",
         {0x8bf1bef41924b00c, 0x89feaebd3aa6ac25, 0x5d3b0b6cce8f8464, 0x3abd3aaad07f18ce, 0xa76ead2678e8c42f,
          0x98ffba5e78157ad9, 0x19d901163aa2d6c7, 0x5b865774df43a26b, 0xa7a383ad95d7f36c,
          0xc93e73070544f4b0}},
        {"glibc 2.36 32-bit x86 (SSE2 build)",
         {0x8bf1bef41924b00c, 0x89feaebd3aa6ac25, 0x5d3b0b6cce8f8464, 0x3abd3aaad07f18ce, 0xa76ead2678e8c42f,
          0x98ffba5e78157ad9, 0x19d901163aa2d6c7, 0xe8da3219b33c5d11, 0xa7a383ad95d7f36c,
          0xc93e73070544f4b0}},
    };
    return libraries;
}

namespace {

// Where a group's values depart from the correctly rounded ones, listed
// argument by argument up to a limit.
void reportDepartures(const MathsGroup& g, std::ostringstream& out) {
    constexpr std::size_t kListed = 12;
    std::size_t departures = 0, entries = 0, undecided = 0;
    for (std::size_t i = 0; i < g.arguments.size(); ++i) {
        double reference;
        if (!correctlyRounded(g.function, g.arguments[i], reference)) {
            ++undecided;
            continue;
        }
        if (bitsOf(reference) == bitsOf(g.values[i])) continue;
        if (departures++ < kListed) {
            // Signed steps between neighbouring doubles, upwards in value.
            const auto magnitude = [](double x) { return static_cast<long long>(bitsOf(std::fabs(x))); };
            long long ulps = magnitude(g.values[i]) - magnitude(reference);
            if (std::signbit(reference)) ulps = -ulps;
            out << "      " << nameOf(g.function) << "(" << hex(bitsOf(g.arguments[i])) << ") at "
                << g.describe(i) << ": " << hex(bitsOf(g.values[i])) << ", correctly rounded "
                << hex(bitsOf(reference)) << " (" << (ulps > 0 ? "+" : "") << ulps << " ulp)\n";
        }
        entries += g.uses[i];
    }
    out << "      " << departures << " of " << g.arguments.size() << " arguments depart from correct rounding";
    if (entries != departures) out << " (" << entries << " table entries)";
    if (undecided > 0) out << "; " << undecided << " too close to a rounding boundary to decide";
    out << "\n";
}

}  // namespace

MathsVerdict judgeMathsLibrary() {
    const std::vector<MathsGroup> groups = surveyMaths();
    const std::vector<KnownLibrary>& known = knownLibraries();
    MathsVerdict verdict;
    for (const KnownLibrary& library : known) {
        bool all = library.fingerprints.size() == groups.size();
        for (std::size_t g = 0; all && g < groups.size(); ++g)
            all = library.fingerprints[g] == groups[g].fingerprint;
        if (all) {
            verdict.library = library.name;
            break;
        }
    }
    std::ostringstream out;
    out << "maths library: " << (verdict.library ? verdict.library : "none of the known ones") << "\n";
    for (std::size_t g = 0; g < groups.size(); ++g) {
        out << "  " << groups[g].name << ": " << hex(groups[g].fingerprint);
        std::string matches;
        for (const KnownLibrary& library : known) {
            if (g < library.fingerprints.size() && library.fingerprints[g] == groups[g].fingerprint)
                matches += std::string(matches.empty() ? "" : "; ") + library.name;
        }
        out << (matches.empty() ? " matches no known library\n" : " as " + matches + "\n");
        if (matches.empty() && !groups[g].arguments.empty()) reportDepartures(groups[g], out);
    }
    verdict.report = out.str();
    return verdict;
}

std::string mathsLibraryNote() {
    static const std::string note = [] {
        const MathsVerdict verdict = judgeMathsLibrary();
        if (verdict.library != nullptr) {
            return std::string("The maths library is a known one: ") + verdict.library +
                   ". Its results give these hashes, so the difference is the codec's.";
        }
        std::string groups;
        const std::vector<MathsGroup> survey = surveyMaths();
        for (std::size_t g = 0; g < survey.size(); ++g) {
            bool matched = false;
            for (const KnownLibrary& library : knownLibraries())
                matched = matched || (g < library.fingerprints.size() &&
                                      library.fingerprints[g] == survey[g].fingerprint);
            if (!matched) groups += "\n  " + survey[g].name;
        }
        return "The maths library is none of the known ones, so the difference may be its own rather "
               "than the codec's. Results that match no known library (maths_library_test lists the "
               "arguments):" +
               groups;
    }();
    return note;
}

}  // namespace zarn::test
