// The millisecond clock and sleeping.
#pragma once

#include <cstdint>

// Milliseconds of a monotonic clock, as a 32-bit count that wraps after about 49.7 days. Take
// intervals by unsigned subtraction (later - earlier), which stays correct across the wrap.
uint32_t GetTickMillis();

// Blocks the calling thread for at least ms milliseconds; nothing for ms <= 0.
void SleepMillis(int ms);

// Moves the clock's reading forward by delta milliseconds, for the rest of the run. Lets a test
// (or a developer) bring the wrap of the 32-bit count close instead of waiting weeks for it.
void AdvanceTickMillis(uint32_t delta);
