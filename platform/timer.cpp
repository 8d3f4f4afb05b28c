// Periodic timers: the table of running timers and the firing of ticks on the main thread.
#include "platform/timer.h"

#include "platform/system.h"
#include "platform/system_driver.h"

#include <algorithm>
#include <array>

namespace {

// Running timers by slot. A tick names its slot and the generation the slot had when the timer
// started, so a tick posted just before a Stop finds a different generation and is ignored.
struct TTimerSlot {
    TTimer* timer = nullptr;
    TSystemDriver* driver = nullptr;
    intptr_t generation = 0;
};

std::array<TTimerSlot, TTimer::kMaxRunning> g_slots;
intptr_t g_last_generation = 0;

} // namespace

std::shared_ptr<TTimer> TTimer::Create(double hertz, std::optional<TEvent> event) {
    if (!(hertz > 0)) return nullptr;
    int slot = 0;
    while (slot < kMaxRunning && g_slots[slot].timer) ++slot;
    if (slot == kMaxRunning) return nullptr;

    // Whole milliseconds, as the system timer takes them; faster than 1000 Hz runs at 1000 Hz.
    const int period_ms = std::max(1, static_cast<int>(1000.0 / hertz));
    TSystemDriver* driver = CurrentSystemDriver();
    if (!driver) return nullptr;
    const intptr_t generation = ++g_last_generation;
    const int handle = driver->StartTimer(period_ms, &TTimer::Fire, slot, generation);
    if (handle == 0) return nullptr;

    std::shared_ptr<TTimer> timer(new TTimer);
    if (event) timer->_event = std::make_unique<TEvent>(std::move(*event));
    timer->_handle = handle;
    timer->_cycle = timer;
    g_slots[slot] = TTimerSlot{timer.get(), driver, generation};
    return timer;
}

TTimer::~TTimer() {
    Stop();
}

void TTimer::Fire(intptr_t slot, intptr_t generation) {
    if (slot < 0 || slot >= kMaxRunning) return;
    const TTimerSlot& entry = g_slots[slot];
    if (!entry.timer || entry.generation != generation) return;
    // The emitted event may stop this timer from a hook; keep it alive until we are done.
    std::shared_ptr<TTimer> self = entry.timer->_cycle;
    TTimer& timer = *entry.timer;
    ++timer._ticks;
    if (timer._event) {
        timer._event->Emit();
    } else {
        TEvent::Create(EVENT_TIMERTICK, &timer, timer._ticks).Emit();
    }
}

int TTimer::Wait() {
    if (!_handle) return 0;
    while (_ticks == _wticks && _handle) WaitSystemEvent();
    const int reported = _ticks - _wticks;
    _wticks = _ticks;
    return reported;
}

void TTimer::Stop() {
    if (!_handle) return;
    for (TTimerSlot& entry : g_slots) {
        if (entry.timer == this) {
            entry.driver->StopTimer(_handle);
            entry = TTimerSlot{};
        }
    }
    _handle = 0;
    _event.reset();
    // Dropping the self-reference may destroy this object; it must be the last thing done.
    std::shared_ptr<TTimer> cycle = std::move(_cycle);
}
