// Stage flow and scoring.
#include "game/stage.h"

#include "game/effects.h"
#include "game/globals.h"
#include "game/lazer.h"
#include "game/player.h"
#include "game/sound.h"
#include "game/stereo_draw.h"
#include "game/tank.h"
#include "render/draw2d.h"

#include <string>

void player_tag::reset(int full) {
    if (full != 0) {
        tank_speed = 1.0f;
        gameover_timer = 0;
        stage = 1;
        for (player_tag* p : {&player1, &player2}) {
            p->dthctr = 0;
            p->score = 0;
            p->lives = 6;
            p->ftmr = 0;
            p->fctr = 0;
            p->shoot = 0;
        }
        player1.state = 1;
        player2.state = versus != 0 ? 1 : 0;
        player1.x = versus != 0 ? 260.0f : 320.0f;
        player1.y = 100.0f;
        player2.x = 380.0f;
        player2.y = 100.0f;
        clear_objects();
    }
    // A new stage keeps positions, scores, lives and whatever shots and effects are still flying.
    tank_vx = -tank_speed;
    tank_tag::init(0);
    stage_phase = 0;
    player1.flush_inputs();
}

void clear_objects() {
    lazer_tag::destroy_all();
    ltrail_tag::destroy_all();
    explode_tag::destroy_all();
    particle_tag::destroy_all();
}

void tank_entry_step() {
    tanks[0].x -= 3.0f;
    if (tanks[0].x <= 240.0f) {
        // Arrived: the others stay where they are this frame (at 332 and 422 from the entry places).
        play_sound(snd_blast);
        stage_phase = 1;
        return;
    }
    tanks[1].x -= 3.0f;
    tanks[2].x -= 3.0f;
}

namespace {

void draw_stage_banner() {
    SetColor(200, 200, 10);
    draw3d.sip(BLEND_ALPHA, 1.0f, 0.0f, 1.2f, 1.2f);
    draw3d.t3d("Stage " + std::to_string(stage) + "... Get Ready!!", 320.0f, 280.0f,
               static_cast<float>(eye_offset), 1, 2);
    draw3d.sip(BLEND_ALPHA, 1.0f, 0.0f, 1.0f, 1.0f);
}

void next_stage() {
    stage += 1;
    tank_speed += 0.2f;
    if (tank_speed > 2.0f) tank_speed = 2.0f;
    player_tag::reset(0);
    // The bonus is for the stage just begun: clearing stage 1 gives 200.
    player1.score += stage * 100;
    if (versus != 0) player2.score += stage * 100;
    play_sound(snd_warp);
    play_sound(snd_letsgo);
}

bool game_lost() {
    if (versus != 0) return player1.lives == 0 && player2.lives == 0;
    return player1.lives == 0;
}

} // namespace

void play_stage() {
    if (stage_phase == 0) {
        ltrail_tag::update_all();
        lazer_tag::update_all();
        player1.update();
        explode_tag::update_all();
        particle_tag::update_all();
        player1.get_inputs();
        draw_stage_banner();
    } else {
        ltrail_tag::update_all();
        lazer_tag::update_all();
        tank_tag::update_all();
        player1.update();
        explode_tag::update_all();
        particle_tag::update_all();
        player1.get_inputs();
        if (tanks[0].state == 0 && tanks[1].state == 0 && tanks[2].state == 0) next_stage();
        // Only while fighting: a player killed during the entry ends the game once the fight begins.
        if (game_lost()) {
            gameover_timer = 0;
            game_state = state_game_over;
        }
    }
    if (player1.score > hiscore) hiscore = player1.score;
    if (player2.score > hiscore) hiscore = player2.score;
}
