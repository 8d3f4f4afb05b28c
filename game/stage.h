// The rules of a game: new game and new stage, the tanks' entry, the playing step with its
// stage-clear and game-over tests, and the live high score. player_tag::reset is defined here too.
#pragma once

// Ends every shot, trail copy, explosion sprite and particle.
void clear_objects();

// One frame of the tanks' entry (phase 0), run by draw_world before the tanks are drawn: the group
// moves left 3 pixels; once tank 0 is at x 240 or less it has arrived and the fight begins.
void tank_entry_step();

// One frame of the playing state (game_state 2).
void play_stage();
