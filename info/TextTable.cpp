#include "info/TextTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "text/Translation.h"

namespace zarn {

TextTable::TextTable(std::vector<std::string> header, std::size_t leftColumns) : leftColumns_(leftColumns) {
    if (!header.empty()) rows_.push_back(std::move(header));
}

void TextTable::add(std::vector<std::string> row) {
    rows_.push_back(std::move(row));
}

namespace {

// The columns a cell takes on the terminal: its characters in the locale's
// set, where UTF-8 spends two bytes on an æ.
std::size_t columns(const std::string& cell) {
    const std::size_t characters = std::mbstowcs(nullptr, cell.c_str(), 0);
    return characters == static_cast<std::size_t>(-1) ? cell.size() : characters;
}

}  // namespace

void TextTable::print(std::ostream& out, std::size_t indent) const {
    std::vector<std::size_t> widths;
    for (const auto& row : rows_) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], columns(row[c]));
    }
    for (const auto& row : rows_) {
        std::string line(indent, ' ');
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::string padding(widths[c] - columns(row[c]), ' ');
            if (c > 0) line += "  ";
            line += c < leftColumns_ ? row[c] + padding : padding + row[c];
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << '\n';
    }
}

std::string TextTable::number(double value, int decimals) {
    if (std::isnan(value)) return "-";
    if (std::isinf(value)) return value > 0 ? text::tr("infinite") : text::tr("-infinite");
    return text::format("%.*f", decimals, value);
}

}  // namespace zarn
