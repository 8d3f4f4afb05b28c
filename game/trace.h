// The per-frame trace: one JSON line of game state for every presented frame.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct trace_player {
    float x = 0, y = 0;
    int score = 0, lives = 0, state = 0, shoot = 0, fctr = 0, ftmr = 0;
};

struct trace_tank {
    float x = 0, y = 0;
    int state = 0, fctr = 0, ftmr = 0, shoot = 0;
    float whlrot = 0;
};

// Everything one trace line holds, taken as Flip returns.
struct trace_snapshot {
    int64_t frame = 0;
    int state = 0, phase = 0, stage = 0, quit = 0, hiscore = 0;
    float tank_speed = 0, tank_vx = 0;
    int versus = 0, mode_3d = 0, eye_offset = 0, retro_fx = 0, sound_level = 0, music_level = 0;
    int gameover_timer = 0, joysticks = 0;
    int mouse_x = 0, mouse_y = 0;
    trace_player p1, p2;
    std::array<trace_tank, 3> tanks;
    int lazer_count = 0, ltrail_count = 0, explode_count = 0, particle_count = 0;
    std::vector<std::string> sounds; // effects started since the previous line, by file name
    int music = 0;                   // 1 while the music channel plays
};

// The line, without its newline. Floats are written as the shortest text that reads back exactly.
std::string format_trace_line(const trace_snapshot& s);
