// zarninfo's fail(). The readers it shares with the menu programs end with
// the menu programs' own lines, in their fixed Danish; zarninfo says the same
// failures in the user's language, on the same stream, and ends as they do.
// Linked into zarninfo itself, ahead of libcommon.a, so that the programs'
// fail() is never pulled in (the fuzz build replaces it the same way).

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>

#include "common/BinaryOutput.h"
#include "common/Fatal.h"
#include "text/Translation.h"

namespace zarn {
namespace {

using text::N_;

// A shared reader's line: its fixed text, or the fixed text before and
// after the name or figure it holds, and what zarninfo says for it (%s: that
// name or figure). The menu programs' golden tests hold these texts fixed.
struct SharedLine {
    const char* before;
    const char* after;  // nullptr: the line is fixed
    const char* message;
};

const std::array<SharedLine, 5> kSharedLines{{
    {"Ikke i stand til at aabne Zarn til laesning", nullptr, N_("Cannot open the Zarn file for reading")},
    {"Fil stoerrelsen er for lille til at vaere af Zarn-formatet", nullptr,
     N_("The file is too small to be in the Zarn format")},
    {"Header tag 0xFFF mangler (fejl: ", ")", N_("Frame tag 0xFFF missing (found: %s)")},
    {"Det er ikke muligt at aabne ", " til skrivning!", N_("Cannot open %s for writing")},
    {"Outputfilen er den samme som inputfilen: ", "", N_("The output file is the same as the input file: %s")},
}};

std::string inUserLanguage(const std::string& line) {
    for (const SharedLine& shared : kSharedLines) {
        const std::string before = shared.before;
        if (shared.after == nullptr) {
            if (line == before) return text::tr(shared.message);
            continue;
        }
        const std::string after = shared.after;
        if (line.size() >= before.size() + after.size() && line.compare(0, before.size(), before) == 0 &&
            line.compare(line.size() - after.size(), after.size(), after) == 0) {
            const std::string held = line.substr(before.size(), line.size() - before.size() - after.size());
            return text::format(text::tr(shared.message), held.c_str());
        }
    }
    return line;
}

}  // namespace

void fail(std::ostream& stream, const std::string& line) {
    stream << inUserLanguage(line) << '\n';
    stream.flush();
    // As the programs' fail(): std::exit skips the destructors, so an open
    // output is flushed here.
    BinaryOutput::flushAllOpen();
    std::fflush(nullptr);
    std::exit(1);
}

}  // namespace zarn
