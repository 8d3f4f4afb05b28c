// Start-up, the main loop and shut-down, and the small steps of the frame they call.
#pragma once

#include "game/options.h"

// Runs the whole game; returns the process exit code (1 when the display cannot be opened,
// exit_output_failed when a recording, trace or screenshot could not be written).
int run_game(const game_options& options);

// Clears the back buffer and draws everything behind the state's own drawing.
void draw_world();

// Holds the game (and its music) while the application is suspended.
void wait_if_suspended();
