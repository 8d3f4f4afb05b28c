// Reads the shared game state into a trace snapshot.
#include "game/trace_state.h"

#include "game/effects.h"
#include "game/globals.h"
#include "game/lazer.h"
#include "game/player.h"
#include "game/sound.h"
#include "game/tank.h"
#include "platform/audio.h"
#include "platform/event.h"

namespace {

// The pointer as the last MouseMove left it, read without pumping: a trace line shows the state as
// the frame was presented, before the input that arrives after it.
int pointer_x = 0, pointer_y = 0;

void* track_pointer(int, void* data, void*) {
    if (const auto* event = static_cast<const TEvent*>(data); event && event->id == EVENT_MOUSEMOVE)
        pointer_x = event->x, pointer_y = event->y;
    return data;
}

trace_player trace_of(const player_tag& p) {
    trace_player t;
    t.x = p.x, t.y = p.y;
    t.score = p.score, t.lives = p.lives, t.state = p.state, t.shoot = p.shoot, t.fctr = p.fctr,
    t.ftmr = p.ftmr;
    return t;
}

} // namespace

void start_trace_state() {
    InsertHook(EventEmitHookId, &track_pointer, nullptr, -1);
}

trace_snapshot collect_trace_snapshot(int64_t frame) {
    trace_snapshot s;
    s.frame = frame;
    s.state = game_state;
    s.phase = stage_phase;
    s.stage = stage;
    s.quit = quit_game;
    s.hiscore = hiscore;
    s.tank_speed = tank_speed;
    s.tank_vx = tank_vx;
    s.versus = versus;
    s.mode_3d = mode_3d;
    s.eye_offset = eye_offset;
    s.retro_fx = retro_fx;
    s.sound_level = sound_level;
    s.music_level = music_level;
    s.gameover_timer = gameover_timer;
    s.joysticks = joystick_count;
    s.mouse_x = pointer_x;
    s.mouse_y = pointer_y;
    s.p1 = trace_of(player1);
    s.p2 = trace_of(player2);
    for (size_t i = 0; i < tanks.size(); ++i) {
        const tank_tag& tank = tanks[i];
        trace_tank& t = s.tanks[i];
        t.x = tank.x, t.y = tank.y;
        t.state = tank.state, t.fctr = tank.fctr, t.ftmr = tank.ftmr, t.shoot = tank.shoot;
        t.whlrot = tank.whlrot;
    }
    s.lazer_count = static_cast<int>(lazer_list.size());
    s.ltrail_count = static_cast<int>(ltrail_list.size());
    s.explode_count = static_cast<int>(explode_list.size());
    s.particle_count = static_cast<int>(particle_list.size());
    s.music = ChannelIsPlaying(music_channel) != 0 ? 1 : 0;
    return s;
}
