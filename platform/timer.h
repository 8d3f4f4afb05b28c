// Periodic timers whose ticks arrive on the main thread through the event layer.
#pragma once

#include "platform/event.h"

#include <memory>
#include <optional>

// A running timer keeps itself alive (`_cycle`) until Stop, so a caller may drop its reference.
// Ticks come from the current system driver's periodic timer: the system's thread only posts them,
// and each is fired during a later pump on the main thread. At most 16 timers run at once.
class TTimer {
public:
    static constexpr int kMaxRunning = 16;

    // A running timer ticking `hertz` times a second, or null when the system refuses one (16 already
    // running, no timers in the current system driver, or hertz not positive). Each tick emits `event`
    // or, without one, a TimerTick with the timer as source and the new tick count as data.
    static std::shared_ptr<TTimer> Create(double hertz, std::optional<TEvent> event = std::nullopt);

    ~TTimer();
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    int Ticks() const { return _ticks; }
    // Pumps with WaitSystemEvent until a tick not yet reported has arrived; returns how many. 0 at once
    // when stopped.
    int Wait();
    // Cancels the system timer and drops the event and the self-reference; ticks already posted are
    // ignored.
    void Stop();

    int _ticks = 0;
    int _wticks = 0;
    std::shared_ptr<TTimer> _cycle;
    std::unique_ptr<TEvent> _event;
    int _handle = 0;

private:
    TTimer() = default;
    static void Fire(intptr_t slot, intptr_t handle);
};
