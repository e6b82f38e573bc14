#pragma once
// What the zarninfo tests share: runs of the program with arguments, Zarn
// files made by the two converters, and the figures read back from its tables.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/FileBytes.h"
#include "tests/support/TestFiles.h"
#include "tools/MusicSignal.h"

namespace zarn::test {

// Runs zarninfo in `dir` with `arguments` under `locale`, through a small
// script since runProgram passes none. The folder's "tmp" is the system's temporary folder
// for the run, so that whatever the program leaves there can be seen.
inline RunResult runInfo(const TempDir& dir, const std::vector<std::string>& arguments,
                         const std::string& locale = "C") {
    std::filesystem::create_directories(dir.file("tmp"));
    std::string script = "#!/bin/sh\nTMPDIR=" + shellWord(dir.file("tmp")) + " LC_ALL=" + shellWord(locale) +
                         " exec " + targetCommand(ZARNINFO_PATH);
    for (const std::string& argument : arguments) script += " " + shellWord(argument);
    script += "\n";
    writeFile(dir.file("zarninfo.sh"), Bytes(script.begin(), script.end()));
    chmod(dir.file("zarninfo.sh").c_str(), 0755);
    return runCommand(shellWord(dir.file("zarninfo.sh")), dir.path(), "");
}

// zarninfo's lines for the failures that the readers it shares with the menu
// programs find, in English.
inline const std::string kInfoZarnUnreadable = "Cannot open the Zarn file for reading\n";
inline const std::string kInfoZarnTooSmall = "The file is too small to be in the Zarn format\n";

inline std::string infoBadTag(const char* found) {
    return std::string("Frame tag 0xFFF missing (found: ") + found + ")\n";
}
inline std::string infoUnwritable(const std::string& name) { return "Cannot open " + name + " for writing\n"; }
inline std::string infoWriteFailed(const std::string& name) { return "Error writing to " + name + "\n"; }
inline std::string infoSameFile(const std::string& name) {
    return "The output file is the same as the input file: " + name + "\n";
}

// A tone on bin 40, in the middle of band 16 (bins 37 to 42), faded in and out
// over 1024 samples so that no frame holds a click that spreads over all bands.
inline std::vector<std::int16_t> toneOnBin40() {
    constexpr std::size_t kLength = 43 * 256;
    constexpr double kPi = 3.14159265358979323846;
    auto fade = [](std::size_t i) {
        return 0.5 - 0.5 * std::cos(kPi * std::min<std::size_t>(i, 1024) / 1024);
    };
    std::vector<std::int16_t> samples(kLength);
    for (std::size_t i = 0; i < kLength; ++i) {
        const double value = 10000.0 * fade(i) * fade(kLength - 1 - i) * std::sin(2 * kPi * 40 * i / 512);
        samples[i] = static_cast<std::int16_t>(std::lround(value));
    }
    return samples;
}

// Writes `samples` to NAME.wav and converts it with `program` to NAME.zarn.
inline void encode(const char* program, const TempDir& dir, const std::string& name,
                   const std::vector<std::int16_t>& samples) {
    writeFile(dir.file(name + ".wav"), makeWaveFile(samples));
    const RunResult result = runProgram(program, dir.path(), "1\n" + name + ".wav\n" + name + ".zarn\n5\n");
    ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
}

// The value of a figure line such as "  Bitrate   38.59 kbit/s".
inline std::string figure(const std::string& out, const std::string& label) {
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t start = line.find_first_not_of(' ');
        if (start == std::string::npos || line.compare(start, label.size() + 2, label + "  ") != 0) continue;
        return line.substr(line.find_first_not_of(' ', start + label.size()));
    }
    return "(no line " + label + ")";
}

// The cells of the band rows under the header that has the column `column`:
// band, from Hz, to Hz, then the table's own three columns.
inline std::vector<std::vector<std::string>> bandTable(const std::string& out, const std::string& column) {
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line) && line.find(column) == std::string::npos) {
    }
    std::vector<std::vector<std::string>> rows;
    while (rows.size() < 25 && std::getline(lines, line)) {
        std::istringstream cells(line);
        rows.emplace_back(std::istream_iterator<std::string>(cells), std::istream_iterator<std::string>());
        if (rows.back().size() != 6) rows.pop_back();
    }
    return rows;
}

}  // namespace zarn::test
