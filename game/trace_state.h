// Gathers the game state that one trace line records.
#pragma once

#include "game/trace.h"

#include <cstdint>

// Starts following the state that is not kept in globals (the pointer); once, before the first event.
void start_trace_state();

// The globals and game objects as they are now, for the line of `frame`.
trace_snapshot collect_trace_snapshot(int64_t frame);
