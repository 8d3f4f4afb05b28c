// The shared game state of the main loop: the globals every flow and world step reads and changes.
#pragma once

#include <array>
#include <string>

// Values of game_state.
enum : int { state_playing = 2, state_paused = 3, state_title = 4, state_game_over = 5 };

extern int game_state;   // 2 playing, 3 paused, 4 title menu, 5 game over
extern int stage_phase;  // 0 tanks entering, 1 fighting
extern int quit_game;    // non-zero ends the main loop after the current frame
extern int stage;        // stage number, 1 from the first new game
extern float tank_speed; // speed of the enemy tank group, pixels per frame
extern float tank_vx;    // signed x velocity of the tank group, pixels per frame
extern int hiscore;
extern int versus;     // two-player versus mode, 0/1
extern int mode_3d;    // 0 off; 1..4 eye colour pairs
extern int eye_offset; // horizontal eye offset of hologram drawing, pixels
extern int retro_fx;   // retro scan lines, 0/1
extern float sound_volume;
extern float music_volume;
extern int sound_level; // menu steps 0..10 of the two volumes
extern int music_level;
extern int joystick_count;
extern int gameover_timer; // frames in the game-over state

extern const std::array<const char*, 2> txt_off_on;
extern const std::array<const char*, 11> txt_percent;
extern const std::array<const char*, 8> txt_menu;
extern const std::array<const char*, 5> txt_3d_modes;
