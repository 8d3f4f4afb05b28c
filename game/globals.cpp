// Start values of the shared game state.
#include "game/globals.h"

#include "game/stereo_draw.h"

int game_state = 0;
int stage_phase = 0;
int quit_game = 0;
int stage = 0;
float tank_speed = 0.0f;
float tank_vx = 0.0f;
int hiscore = 0;
int versus = 0;
int mode_3d = 0;
int eye_offset = 0;
int retro_fx = 0;
float sound_volume = 1.0f;
float music_volume = 1.0f;
int sound_level = 10;
int music_level = 10;
int joystick_count = 0;
int gameover_timer = 0;

const std::array<const char*, 2> txt_off_on = {"Off", "On"};
const std::array<const char*, 11> txt_percent = {"Off", "10%", "20%", "30%", "40%", "50%",
                                                 "60%", "70%", "80%", "90%", "Max"};
const std::array<const char*, 8> txt_menu = {
    "Start Game",        "3D Graphics: ",  "Hologram Intensity: ", "Retro line FX: ",
    "2 Player Versus: ", "Sound Volume: ", "Music Volume: ",       "Exit Game"};
const std::array<const char*, 5> txt_3d_modes = {modes_3d[0].name, modes_3d[1].name, modes_3d[2].name,
                                                 modes_3d[3].name, modes_3d[4].name};
