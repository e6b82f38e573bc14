#pragma once

#include <cstdarg>
#include <string>

// The user's language for zarn and zarninfo: messages are written in English
// in the source and looked up in the "zarn" catalogue of the locale the user
// chose (LANGUAGE, LC_ALL, LC_MESSAGES, LANG), in the locale's own character
// set; numbers take the locale's form through the printf family. The menu
// programs never link this: their Danish is fixed byte for byte.
namespace zarn::text {

// Takes the user's locale for everything and binds the catalogue, from the
// build folder when the program runs from there, otherwise from the prefix it
// was installed under. Call once, first thing in main.
void useUserLanguage();

// As useUserLanguage, with the catalogues under `folder`
// (folder/LANG/LC_MESSAGES/zarn.mo).
void useUserLanguage(const char* folder);

// `message` in the user's language; `message` itself without a translation.
const char* tr(const char* message) __attribute__((format_arg(1)));

// The form of `singular` or `plural` that fits `count` in the user's language.
const char* trn(const char* singular, const char* plural, unsigned long count)
    __attribute__((format_arg(1))) __attribute__((format_arg(2)));

// Marks `message` for the catalogue where it cannot be translated yet (a
// table built before main); tr() translates it where it is used.
constexpr const char* N_(const char* message) { return message; }

// `text` from the locale's character set into UTF-8, for what takes UTF-8
// whatever the locale (Cairo's text); unchanged where it cannot be converted.
std::string toUtf8(const std::string& text);

// printf into a string, numbers in the locale's form.
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string formatList(const char* pattern, std::va_list arguments);

}  // namespace zarn::text
