#include "text/Translation.h"

#include <iconv.h>
#include <langinfo.h>
#include <libintl.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <string>
#include <sys/stat.h>

// The build gives both; a build of this file alone gets the usual prefix's.
#ifndef ZARN_LOCALEDIR
#define ZARN_LOCALEDIR "/usr/local/share/locale"
#endif
#ifndef ZARN_BIN_TO_LOCALEDIR
#define ZARN_BIN_TO_LOCALEDIR "../share/locale"
#endif

namespace zarn::text {
namespace {

constexpr const char* kDomain = "zarn";

// The folder of the running program, from /proc: argv[0] may be a bare name
// found on PATH.
std::string programFolder() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    const std::string program(path, static_cast<std::size_t>(length));
    const std::size_t slash = program.rfind('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash);
}

bool isFolder(const std::string& path) {
    struct stat status{};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// A program in the build folder has the catalogues beside it in locale/; an
// installed one finds them from its own place, so that the installed tree may
// be moved, and only then at the prefix it was built for.
std::string catalogueFolder() {
    const std::string folder = programFolder();
    if (!folder.empty()) {
        if (isFolder(folder + "/locale")) return folder + "/locale";
        const std::string installed = folder + "/" ZARN_BIN_TO_LOCALEDIR;
        if (isFolder(installed)) return installed;
    }
    return ZARN_LOCALEDIR;
}

}  // namespace

void useUserLanguage() { useUserLanguage(catalogueFolder().c_str()); }

void useUserLanguage(const char* folder) {
    std::setlocale(LC_ALL, "");
    bindtextdomain(kDomain, folder);
}

const char* tr(const char* message) { return dgettext(kDomain, message); }

const char* trn(const char* singular, const char* plural, unsigned long count) {
    return dngettext(kDomain, singular, plural, count);
}

std::string toUtf8(const std::string& text) {
    const iconv_t converter = iconv_open("UTF-8", nl_langinfo(CODESET));
    if (converter == reinterpret_cast<iconv_t>(-1)) return text;
    std::string in = text;
    // One byte of an 8-bit set becomes at most four of UTF-8.
    std::string out(4 * text.size(), '\0');
    char* from = in.data();
    char* to = out.data();
    std::size_t left = in.size(), room = out.size();
    const bool converted = iconv(converter, &from, &left, &to, &room) != static_cast<std::size_t>(-1);
    iconv_close(converter);
    if (!converted) return text;
    out.resize(out.size() - room);
    return out;
}

std::string formatList(const char* pattern, std::va_list arguments) {
    std::va_list copy;
    va_copy(copy, arguments);
    const int length = std::vsnprintf(nullptr, 0, pattern, copy);
    va_end(copy);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length), '\0');
    std::vsnprintf(text.data(), text.size() + 1, pattern, arguments);
    return text;
}

std::string format(const char* pattern, ...) {
    std::va_list arguments;
    va_start(arguments, pattern);
    std::string text = formatList(pattern, arguments);
    va_end(arguments);
    return text;
}

}  // namespace zarn::text
