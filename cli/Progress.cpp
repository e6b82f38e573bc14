#include "cli/Progress.h"

#include <algorithm>
#include <cstdio>

#include "text/Translation.h"

namespace zarn::cli {

Progress::Progress(bool shown, std::string label)
    : shown_(shown), label_(std::move(label)), start_(Clock::now()), next_(start_ + std::chrono::milliseconds(100)) {}

Progress::~Progress() {
    // \033[K: erase to the end of the line, whatever the last redraw left.
    if (drawn_) std::fputs("\r\033[K", stderr);
}

void Progress::update(std::uint64_t done, std::optional<std::uint64_t> total, double seconds,
                      std::optional<std::uint64_t> codedBytes) {
    if (!shown_) return;
    const Clock::time_point now = Clock::now();
    if (now < next_) return;
    next_ = now + std::chrono::milliseconds(100);
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    std::string line = "\r\033[K" + label_ + ":";
    if (!what_.empty()) line += " " + what_ + ",";
    if (total && *total > 0) {
        const double share = static_cast<double>(done) / static_cast<double>(*total);
        line += text::format(" %3d %%", std::min(100, static_cast<int>(100.0 * share)));
    }
    line += " " + text::format("%.1f s", seconds);
    if (codedBytes && seconds > 0.0) {
        line += ", " + text::format(text::tr("%.0f kbit/s"), 8.0 * static_cast<double>(*codedBytes) / seconds / 1000.0);
    }
    if (elapsed > 0.0) {
        line += " " + text::format(text::tr("(%.0fx real time)"), seconds / elapsed);
    }
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    drawn_ = true;
}

}  // namespace zarn::cli
