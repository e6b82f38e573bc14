#pragma once
// The Danish locales that zarn's and zarninfo's language tests run them in,
// in UTF-8 and in the 8-bit character set where æ is one byte. A machine
// without one skips those tests and says how to make it (.ci/run does), as
// does a build without the catalogues.

#include <gtest/gtest.h>
#include <locale.h>

#include <string>

namespace zarn::test {

inline const std::string kDanishUtf8 = "da_DK.UTF-8";
inline const std::string kDanishLatin1 = "da_DK.ISO-8859-1";

// Empty when `name` (language_TERRITORY.CHARSET) is installed and the build
// made the catalogues; otherwise what to do about it.
inline std::string missingLocale(const std::string& name) {
    if (!ZARN_CATALOGUES) return "msgfmt (gettext) was not found, so the build made no catalogue";
    const locale_t locale = newlocale(LC_ALL_MASK, name.c_str(), static_cast<locale_t>(nullptr));
    if (locale != static_cast<locale_t>(nullptr)) {
        freelocale(locale);
        return {};
    }
    const std::size_t dot = name.find('.');
    return "the locale " + name + " is missing; make it with: localedef -i " + name.substr(0, dot) + " -f " +
           name.substr(dot + 1) + " " + name;
}

// `text` from UTF-8 into ISO-8859-1, for texts of that set's letters alone.
inline std::string latin1(const std::string& text) {
    std::string converted;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte == 0xC2 || byte == 0xC3) && i + 1 < text.size()) {
            const auto next = static_cast<unsigned char>(text[++i]);
            converted += static_cast<char>(((byte & 0x03) << 6) | (next & 0x3F));
        } else {
            converted += text[i];
        }
    }
    return converted;
}

}  // namespace zarn::test

// Skips the test when the locale `name` is missing, saying how to make it.
#define ZARN_REQUIRE_LOCALE(name)                                       \
    do {                                                                \
        const std::string zarnMissing = ::zarn::test::missingLocale(name); \
        if (!zarnMissing.empty()) GTEST_SKIP() << zarnMissing;          \
    } while (false)
