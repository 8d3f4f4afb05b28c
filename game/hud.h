// The frame around play: the score line and lives (draw_hud), the retro scan lines, the global keys
// with the pause (check_keys), and the game-over screen.
#pragma once

#include <string>

// "1up 07", "2up 120": at least two digits after the label.
std::string score_text(const char* label, int score);
// The high score alone, also with at least two digits: "00".
std::string hiscore_text(int score);

// Each frame after the state step: scores and high score; while playing the lives and, in versus,
// a player's own "Game Over".
void draw_hud();

// With the retro effect on, darkens every odd line of the picture to (shade, shade, shade): drawn
// over everything, the intro and the menus included.
void draw_scanlines(int shade);

// Each frame right after the flip: Escape, Space and joystick button 2 pause, resume and leave a
// game; Escape at the title and the window's close request end the program.
void check_keys();

// One frame of game_state 5: effects play out, "Game Over" (and in versus the winner) shows, and
// the title returns on input after 200 frames or by itself at frame 1000.
void game_over_screen();
