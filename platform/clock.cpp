// The millisecond clock over the system's monotonic clock.
#include "platform/clock.h"

#include <atomic>
#include <cerrno>
#include <ctime>

namespace {

// Added to every reading; the mixer thread may read the clock while the main thread advances it.
std::atomic<uint32_t> g_tick_offset{0};

} // namespace

uint32_t GetTickMillis() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Unsigned arithmetic keeps the low 32 bits of the millisecond count, which is the wrap.
    const uint64_t ms =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms) + g_tick_offset.load(std::memory_order_relaxed);
}

void SleepMillis(int ms) {
    if (ms <= 0) return;
    timespec remaining{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    // A signal cuts the sleep short; sleep the rest.
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {}
}

void AdvanceTickMillis(uint32_t delta) {
    g_tick_offset.fetch_add(delta, std::memory_order_relaxed);
}
