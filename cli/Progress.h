#pragma once
// The one line per file that shows, on a terminal, how far a conversion has
// come: the share done where the input's length is known, and the speed as a
// multiple of real time. It is redrawn at most ten times a second and erased
// when the file is done, so that only the file's result line remains.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace zarn::cli {

class Progress {
public:
    // Shows nothing unless `shown` (standard error is a terminal and the
    // user did not ask for quiet).
    Progress(bool shown, std::string label);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // `done` of `total` units read (bytes or frames), `seconds` of sound so
    // far, and where given the bytes coded for them, shown as a bit rate.
    void update(std::uint64_t done, std::optional<std::uint64_t> total, double seconds,
                std::optional<std::uint64_t> codedBytes = std::nullopt);
    // What the file holds, once it is known: "stereo, 48 kHz".
    void describe(const std::string& what) { what_ = what; }

private:
    using Clock = std::chrono::steady_clock;

    bool shown_;
    bool drawn_ = false;  // a line is on the screen and must be erased
    std::string label_;
    std::string what_;
    Clock::time_point start_;
    Clock::time_point next_;  // no redraw before then
};

}  // namespace zarn::cli
