#pragma once
// SIGINT, SIGTERM and SIGHUP end the program as they would have anyway, but
// first remove the temporary file of the output being written, so that no
// partial file is left behind. The handler only unlinks and re-raises, both
// safe in a signal handler; the name it unlinks is copied into a fixed buffer
// while the signals are blocked. SIGXFSZ is ignored, so that a write past the
// file-size limit fails like any other.

namespace zarn::cli {

void installInterruptCleanup();

// Creates a file from the mkstemp() pattern `path` (its name replaces the
// pattern) and removes it on a signal from then on, until forgotten; one
// file at a time. Returns its descriptor, or -1 with errno set. The signals
// wait meanwhile, so the file never exists unwatched.
int createWatchedFile(char* path);
void forgetWatchedFile();

}  // namespace zarn::cli
