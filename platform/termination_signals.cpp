// POSIX handlers for the termination signals: the handler only stores into a lock-free atomic.
#include "platform/termination_signals.h"

#include <atomic>
#include <csignal>

namespace {

std::atomic<int> g_signal_pending{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal flag must be safe to set in a handler");

extern "C" void RaiseTerminationFlag(int) {
    g_signal_pending.store(1, std::memory_order_relaxed);
}

} // namespace

void InstallTerminationSignalHandlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    struct sigaction action {};
    action.sa_handler = RaiseTerminationFlag;
    sigemptyset(&action.sa_mask);
    // Restarted calls: file reads and writes elsewhere need not expect EINTR. The waits of the event
    // layer time out after a few milliseconds, so they see the flag soon anyway.
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
}

bool TakeTerminationSignal() {
    return g_signal_pending.exchange(0, std::memory_order_relaxed) != 0;
}
