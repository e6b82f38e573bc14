#include "cli/InterruptCleanup.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zarn::cli {
namespace {

constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};

std::array<char, 8192> watchedPath{};   // the temporary file's name, NUL-terminated
volatile sig_atomic_t watching = 0;     // 1 while watchedPath names a file to remove

void onSignal(int signal) {
    if (watching) unlink(watchedPath.data());
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    raise(signal);
}

// Blocks the signals for its lifetime, so the handler never sees a half-copied name.
class SignalsBlocked {
public:
    SignalsBlocked() {
        sigset_t set;
        sigemptyset(&set);
        for (int signal : kSignals) sigaddset(&set, signal);
        sigprocmask(SIG_BLOCK, &set, &previous_);
    }
    ~SignalsBlocked() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    SignalsBlocked(const SignalsBlocked&) = delete;
    SignalsBlocked& operator=(const SignalsBlocked&) = delete;

private:
    sigset_t previous_;
};

}  // namespace

void installInterruptCleanup() {
    // A write past the file-size limit (ulimit -f) would end the process by
    // a signal that leaves the temporary file behind; ignored, the write
    // fails instead, as on a full disk, and the file goes with the rest of
    // the failed conversion.
    signal(SIGXFSZ, SIG_IGN);
    for (int signal : kSignals) {
        struct sigaction action {};
        sigaction(signal, nullptr, &action);
        // A signal the caller chose to ignore (nohup) stays ignored.
        if (action.sa_handler == SIG_IGN) continue;
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(signal, &action, nullptr);
    }
}

int createWatchedFile(char* path) {
    const std::size_t length = std::strlen(path);
    if (length >= watchedPath.size()) {
        errno = ENAMETOOLONG;
        return -1;
    }
    const SignalsBlocked blocked;
    const int descriptor = mkstemp(path);
    if (descriptor < 0) return -1;
    std::memcpy(watchedPath.data(), path, length + 1);
    watching = 1;
    return descriptor;
}

void forgetWatchedFile() {
    const SignalsBlocked blocked;
    watching = 0;
}

}  // namespace zarn::cli
