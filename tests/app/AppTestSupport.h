#pragma once
// What the end-to-end tests share: the two programs, the console texts they
// must write byte for byte, and conversions run through the menu.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/FileBytes.h"
#include "tests/support/Messages.h"
#include "tests/support/TestFiles.h"
#include "tools/MusicSignal.h"

namespace zarn::test {

struct Program {
    const char* name;
    const char* path;
};

inline const Program kZarnconv{"zarnconv", ZARNCONV_PATH};
inline const Program kZarnbasic{"zarnbasic", ZARNBASIC_PATH};

// Test names and messages show the program by name.
inline void PrintTo(const Program& program, std::ostream* out) { *out << program.name; }

inline std::string programName(const ::testing::TestParamInfo<Program>& info) {
    return info.param.name;
}

// A program caught in its menu loop at the end of its input would fill the
// disk with menus; past this size its writes fail instead (the programs
// ignore the signal that would end them there). Nothing the tests write
// comes near it.
inline const bool kOutputLimited = [] {
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, rlim_t{64} << 20);
    return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}();

// The console, as both programs must write it.
inline const std::string kTitle =
    "Konvertering imellem henholdvis WAVE PCM -> Zarn og Zarn -> WAVE PCM\n";
inline const std::string kMenu =
    "\n"
    "1. WAVE PCM -> Zarn\n"
    "2. Zarn -> WAVE PCM\n"
    "3. WAVE PCM -> Zarn -> WAVE PCM\n"
    "4. Zarn -> WAVE PCM -> Zarn\n"
    "5. Afslut programmet\n"
    "Indtast valg: ";
inline const std::string kWaveIn = "Indtast WAVE PCM filnavn til input: ";
inline const std::string kZarnOut = "Indtast Zarn filnavn til output: ";
inline const std::string kZarnIn = "Indtast Zarn filnavn til input: ";
inline const std::string kWaveOut = "Indtast WAVE PCM filnavn til output: ";
inline const std::string kEncode = kEncodeStart + kDone;
inline const std::string kDecode = kDecodeStart + kDone;

inline RunResult run(const Program& program, const TempDir& dir, const std::string& script) {
    return runProgram(program.path, dir.path(), script);
}

// Runs one conversion (entry 1 or 2) that must succeed.
inline void convert(const Program& program, const TempDir& dir, char entry,
                    const std::string& input, const std::string& output) {
    const RunResult result =
        run(program, dir, std::string(1, entry) + "\n" + input + "\n" + output + "\n5\n");
    ASSERT_EQ(result.exitStatus, 0)
        << program.name << " entry " << entry << " " << input << " -> " << output << "\n"
        << result.out << result.err;
    ASSERT_EQ(result.err, "");
}

inline void writeSamples(const TempDir& dir, const std::string& name,
                         const std::vector<std::int16_t>& samples) {
    writeFile(dir.file(name), makeWaveFile(samples));
}

}  // namespace zarn::test
