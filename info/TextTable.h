#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace zarn {

// Plain text columns, padded to the widest cell (in characters, not bytes)
// and two spaces apart: the first `leftColumns` columns aligned left, the
// numbers after them right.
class TextTable {
public:
    // An empty header prints no header line.
    explicit TextTable(std::vector<std::string> header, std::size_t leftColumns = 1);

    void add(std::vector<std::string> row);
    // Every line starts with `indent` spaces.
    void print(std::ostream& out, std::size_t indent) const;

    // `value` with `decimals` decimals as the locale writes numbers; "-" for
    // not a number, "infinite" and "-infinite" for the infinities.
    static std::string number(double value, int decimals);

private:
    std::vector<std::vector<std::string>> rows_;
    std::size_t leftColumns_;
};

}  // namespace zarn
