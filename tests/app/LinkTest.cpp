// Each program must link only its own half of the codec: zarnconv nothing of
// the reduced build, zarnbasic nothing of the perceptual model or the FFT,
// and neither anything of the rate encoder, nor the user's language of zarn
// and zarninfo (their Danish is fixed).

#include <cctype>
#include <cstdio>

#include "tests/app/AppTestSupport.h"

namespace zarn::test {
namespace {

// The demangled symbol table of `path`, one symbol a line, read with the nm of
// the build's target (the host's may not know a cross-built file's format).
std::string symbols(const char* path) {
    std::string text;
    FILE* pipe = popen((shellWord(ZARN_TEST_NM) + " -C " + shellWord(path) + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, n);
    pclose(pipe);
    return text;
}

// The line of `table` that names zarn::NAME as a whole word, or nothing.
// (No std::regex: g++ 12 warns inside it when built with the sanitizers.)
std::string lineNaming(const std::string& table, const std::string& name) {
    const std::string symbol = "zarn::" + name;
    for (std::size_t at = table.find(symbol); at != std::string::npos; at = table.find(symbol, at + 1)) {
        const std::size_t end = at + symbol.size();
        if (end < table.size() && (std::isalnum(static_cast<unsigned char>(table[end])) || table[end] == '_'))
            continue;
        const std::size_t start = table.rfind('\n', at) + 1;  // 0 on the first line
        return table.substr(start, table.find('\n', at) - start);
    }
    return "";
}

TEST(Link, EachProgramHoldsOnlyItsOwnSteps) {
    if (!haveCommand(ZARN_TEST_NM)) GTEST_SKIP() << ZARN_TEST_NM " is not available";
    struct Case {
        Program program;
        std::vector<const char*> forbidden;
    };
    // Every class and function of rate/ that has code of its own.
    const std::vector<const char*> rate = {"RateEncoder",      "RateChannel",     "RateAllocator",   "RateControl",
                                           "BandwidthFollower", "PerceptualWeights", "HighBandSegments",
                                           "ErrorFeedback",     "BandComponents",  "quantisationErrors",
                                           "storePart",         "setSideFields",   "padWithZeros",
                                           "JointRateEncoder",  "CoupledDecoder"};
    const auto with = [&](std::vector<const char*> names) {
        names.insert(names.end(), rate.begin(), rate.end());
        return names;
    };
    const Case cases[] = {
        {kZarnconv, with({"Dft", "FixedAllocator", "text"})},
        {kZarnbasic, with({"Fft", "QuietThreshold", "MaskingModel", "BitAllocator", "text"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program.name);
        const std::string table = symbols(c.program.path);
        // A program's own pipeline must be there, or the table says nothing.
        ASSERT_NE(table.find("zarn::Encoder<"), std::string::npos);
        for (const char* name : c.forbidden) EXPECT_EQ(lineNaming(table, name), "") << "links " << name;
    }
}

}  // namespace
}  // namespace zarn::test
