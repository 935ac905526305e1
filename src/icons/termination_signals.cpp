#include "icons/termination_signals.h"

#include <atomic>
#include <csignal>

namespace gg {

namespace {

std::atomic<int> deferrals{0};
std::atomic<int> pendingSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "used from a signal handler");

constexpr int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Ends the process the way the signal would have by default, so a parent still sees which
// signal it was. From a handler the signal is blocked until the handler returns, and then
// delivered with its default action.
void endBySignal(int signal)
{
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    sigaction(signal, &byDefault, nullptr);
    raise(signal);
}

void onTermination(int signal)
{
    if (deferrals.load() > 0) {
        pendingSignal.store(signal);
        // A deferral that ended meanwhile has not seen the signal: act on it here.
        if (deferrals.load() > 0)
            return;
    }
    endBySignal(signal);
}

} // namespace

void installTerminationHandling()
{
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, nullptr);

    struct sigaction deferrable {};
    deferrable.sa_handler = onTermination;
    sigemptyset(&deferrable.sa_mask);
    for (int signal : kTerminationSignals)
        sigaddset(&deferrable.sa_mask, signal);
    // Interrupted file calls carry on; the writer's loops also retry on EINTR.
    deferrable.sa_flags = SA_RESTART;
    for (int signal : kTerminationSignals) {
        struct sigaction previous {};
        // A signal ignored by whoever started us (nohup) stays ignored.
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &deferrable, nullptr);
    }
}

TerminationDeferral::TerminationDeferral()
{
    deferrals.fetch_add(1);
}

TerminationDeferral::~TerminationDeferral()
{
    if (deferrals.fetch_sub(1) == 1) {
        const int signal = pendingSignal.exchange(0);
        if (signal != 0)
            endBySignal(signal);
    }
}

} // namespace gg
