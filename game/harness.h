// The frame harness: counts presented frames and, on request, records or replays the input,
// writes the trace, saves screenshots, closes after N frames and measures a timedemo.
#pragma once

#include "game/options.h"

#include <cstdint>
#include <string>

// Loads the replay script and opens the output files, before any window opens. Two options naming
// the same file are refused before anything is opened.
// Returns false and sets `error` to one line naming the file (and line) at fault.
bool harness_begin(const game_options& options, std::string& error);

// The seed of this run: --seed, else the replay's seed line, else the clock.
uint32_t harness_seed();

// Installs the recording or replaying input source; call once the event layer runs.
void harness_install_input();

// The game's one way to present a frame: Flip(-1) and the bookkeeping of the harness.
void flip_frame();

// Frames presented so far.
int64_t frames_presented();

// Notes an effect started by play_sound, for the next trace line.
void harness_note_sound(const std::string& name);

// Exit code of a run whose recording, trace or a screenshot could not be written (each failure was
// reported in one line when it happened); the game itself shut down normally.
inline constexpr int exit_output_failed = 3;

// Closes the record and trace files and prints the timedemo figures. False when a write to an
// output file or a screenshot failed during the run.
bool harness_end();
