#include "cli/FileFailure.h"

#include <algorithm>

namespace zarn::cli {

std::string printableName(const std::string& name) {
    const auto control = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
    if (std::none_of(name.begin(), name.end(), control)) return name;
    std::string quoted = "'";
    for (const char c : name) {
        if (c == '\'') {
            quoted += "'\\''";
        } else if (!control(c)) {
            quoted += c;
        } else {
            // Outside the single quotes, in $'...', where the shell reads escapes.
            quoted += "'$'";
            if (c == '\n') {
                quoted += "\\n";
            } else if (c == '\t') {
                quoted += "\\t";
            } else if (c == '\r') {
                quoted += "\\r";
            } else {
                const auto code = static_cast<unsigned char>(c);
                quoted += '\\';
                quoted += static_cast<char>('0' + (code >> 6));
                quoted += static_cast<char>('0' + ((code >> 3) & 7));
                quoted += static_cast<char>('0' + (code & 7));
            }
            quoted += "''";
        }
    }
    quoted += "'";
    // The empty quotes left at either end say nothing: ''$'\n''a' is $'\n''a'.
    if (quoted.compare(0, 3, "''$") == 0) quoted.erase(0, 2);
    if (quoted.size() >= 2 && quoted.compare(quoted.size() - 2, 2, "''") == 0) quoted.erase(quoted.size() - 2);
    return quoted;
}

}  // namespace zarn::cli
