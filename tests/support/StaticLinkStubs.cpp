// Linked into the test programs of a static build only.
//
// GoogleTest can stream its results to a socket (--gtest_stream_result_to),
// which no run of these tests asks for. In a static link glibc warns at every
// test program that getaddrinfo will need its shared resolver modules at run
// time; these stand-ins keep the resolver out of the link and refuse every
// lookup.

#include <netdb.h>

int getaddrinfo(const char*, const char*, const addrinfo*, addrinfo** result) noexcept {
    *result = nullptr;
    return EAI_FAIL;
}

void freeaddrinfo(addrinfo*) noexcept {}
