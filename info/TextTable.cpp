#include "info/TextTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zarn {

TextTable::TextTable(std::vector<std::string> header, std::size_t leftColumns) : leftColumns_(leftColumns) {
    if (!header.empty()) rows_.push_back(std::move(header));
}

void TextTable::add(std::vector<std::string> row) {
    rows_.push_back(std::move(row));
}

void TextTable::print(std::ostream& out, std::size_t indent) const {
    std::vector<std::size_t> widths;
    for (const auto& row : rows_) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
    }
    for (const auto& row : rows_) {
        std::string line(indent, ' ');
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::string padding(widths[c] - row[c].size(), ' ');
            if (c > 0) line += "  ";
            line += c < leftColumns_ ? row[c] + padding : padding + row[c];
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << '\n';
    }
}

std::string TextTable::number(double value, int decimals) {
    if (std::isnan(value)) return "-";
    if (std::isinf(value)) return value > 0 ? "uendelig" : "-uendelig";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace zarn
