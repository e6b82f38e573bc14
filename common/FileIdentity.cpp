#include "common/FileIdentity.h"

#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include "common/Fatal.h"

namespace zarn {

bool isRegularFile(const char* path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

bool isSameFile(const char* first, const char* second) {
    // Compares device and inode; a name that does not exist yet matches nothing.
    std::error_code error;
    return std::filesystem::equivalent(first, second, error) && !error;
}

}  // namespace zarn

namespace zarn {

void refuseSameFile(const char* input, const char* output) {
    if (isSameFile(input, output)) {
        fail(std::cerr, std::string("Outputfilen er den samme som inputfilen: ") + output);
    }
}

}  // namespace zarn
