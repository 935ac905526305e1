#pragma once
// How the program meets the signals that would otherwise end it in the middle of a file.
//
// SIGTERM, SIGINT and SIGHUP end the program as before, at once, except while a file is being
// put in place: then they take effect the moment that file is complete (or dropped). SIGXFSZ is
// ignored, so a write past the file-size limit fails with EFBIG and is reported like any other
// failed write instead of ending the process.

namespace gg {

// Installs the handlers; call once at start-up, before any window opens.
void installTerminationHandling();

// While one of these lives, a termination request waits; the last one to go acts on it.
// Nests, and may be used on any thread.
class TerminationDeferral {
public:
    TerminationDeferral();
    ~TerminationDeferral();
    TerminationDeferral(const TerminationDeferral&) = delete;
    TerminationDeferral& operator=(const TerminationDeferral&) = delete;
};

} // namespace gg
