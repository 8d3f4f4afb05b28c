// HUD, scan lines, pause and game over.
#include "game/hud.h"

#include "game/controls.h"
#include "game/effects.h"
#include "game/globals.h"
#include "game/player.h"
#include "game/resources.h"
#include "game/sound.h"
#include "game/stereo_draw.h"
#include "platform/joystick.h"
#include "platform/polled_input.h"
#include "platform/system.h"
#include "render/draw2d.h"
#include "render/graphics.h"
#include "render/image.h"
#include "render/image_font.h"

namespace {

// Frames of the game-over state; reaching it sends the game back to the title.
constexpr int gameover_leave = 1000;
// Frames of the game-over state in which input is discarded.
constexpr int gameover_deaf = 200;

float eye() {
    return static_cast<float>(eye_offset);
}

void pause_game() {
    game_state = state_paused;
    // The back buffer after the flip still holds the frame just shown.
    GrabImage(img_pause, 0, 0, 0);
    SetMousePosition(pointer_home_x, pointer_home_y);
    player1.flush_inputs();
}

void draw_lives() {
    SetColor(255, 255, 255);
    draw3d.sip(BLEND_MASK, 1.0f, 0.0f, 0.5f, 0.5f);
    for (int i = 0; i < player1.lives; ++i)
        draw3d.i3d(img_player, 175.0f + 21.0f * i, 472.0f, 0, eye(), 0.0f, 2);
    if (versus != 0) {
        for (int i = 0; i < player2.lives; ++i)
            draw3d.i3d(img_player, 465.0f - 21.0f * i, 472.0f, 5, eye(), 0.0f, 2);
        SetColor(200, 200, 10);
        draw3d.sip(BLEND_ALPHA, 1.0f, 0.0f, 1.0f, 1.0f);
        const std::string over = "Game Over";
        if (player1.lives == 0) draw3d.t3d(over, 175.0f, 466.0f, eye(), 0, 1);
        if (player2.lives == 0)
            draw3d.t3d(over, static_cast<float>(465 - TextWidth(over)), 466.0f, eye(), 0, 1);
    }
    draw3d.sip(BLEND_MASK, 1.0f, 0.0f, 1.0f, 1.0f);
}

void back_to_title() {
    game_state = state_title;
    SetMousePosition(pointer_home_x, pointer_home_y);
    player1.flush_inputs();
    play_sound(snd_title);
}

} // namespace

std::string score_text(const char* label, int score) {
    return std::string(label) + (score < 10 ? " 0" : " ") + std::to_string(score);
}

std::string hiscore_text(int score) {
    std::string text = std::to_string(score);
    if (score < 10) text.insert(0, 1, '0');
    return text;
}

void draw_hud() {
    const std::string one = score_text("1up", player1.score);
    const std::string high = hiscore_text(hiscore);
    const std::string two = score_text("2up", player2.score);
    const int high_half_width = TextWidth(high) / 2; // truncated, as the layout wants
    const float xs[3] = {172.0f, static_cast<float>(320 - high_half_width),
                         static_cast<float>(468 - TextWidth(two))};
    const std::string* texts[3] = {&one, &high, &two};
    for (int i = 0; i < 3; ++i) {
        SetColor(200, 200, 10);
        draw3d.sip(BLEND_ALPHA, 1.0f, 0.0f, 1.0f, 1.0f);
        draw3d.t3d(*texts[i], xs[i], 0.0f, eye(), 0, 2);
    }
    if (game_state == state_playing) draw_lives();
}

void draw_scanlines(int shade) {
    if (retro_fx == 0) return;
    SetColor(shade, shade, shade);
    SetScale(1, 1);
    SetBlend(BLEND_SOLID);
    for (int y = 1; y <= GraphicsHeight(); y += 2)
        DrawLine(0, static_cast<float>(y), static_cast<float>(GraphicsWidth()), static_cast<float>(y), 1);
    SetBlend(BLEND_MASK);
    SetColor(255, 255, 255);
}

void check_keys() {
    if (KeyHitCount(key_escape)) {
        if (game_state == state_title) {
            quit_game = 1;
        } else if (game_state == state_paused) {
            back_to_title();
        } else if (game_state == state_playing) {
            pause_game();
        }
    }
    // Tested against the state Escape left: Escape's pause flushed the keys, so a Space of the same
    // frame is gone and the game stays paused.
    if (KeyHitCount(key_space) || JoyButtonHitCount(joy_pause, port_player1) ||
        JoyButtonHitCount(joy_pause, port_player2)) {
        if (game_state == state_playing) {
            pause_game();
        } else if (game_state == state_paused) {
            game_state = state_playing;
            player1.flush_inputs();
        }
    }
    if (TakeAppTerminate()) quit_game = 1;
}

void game_over_screen() {
    gameover_timer += 1;
    explode_tag::update_all();
    particle_tag::update_all();
    draw3d.sip(BLEND_ALPHA, 1.0f, 0.0f, 2.0f, 2.0f);
    SetColor(200, 200, 10);
    if (versus != 0) {
        draw3d.t3d("Game Over", 320.0f, 220.0f, eye(), 1, 2);
        draw3d.sip(BLEND_ALPHA, 1.0f, 0.0f, 1.0f, 1.0f);
        const char* line = player1.score > player2.score    ? "Player 1 Score Wins!"
                           : player1.score == player2.score ? "Scores Tied - No One Wins!"
                                                            : "Player 2 Score Wins!";
        draw3d.t3d(line, 320.0f, 280.0f, eye(), 1, 2);
    } else {
        draw3d.t3d("Game Over", 320.0f, 240.0f, eye(), 1, 2);
    }
    if (gameover_timer > gameover_deaf) {
        if (KeyHitCount(key_left_control) || MouseHitCount(mouse_left) ||
            JoyButtonHitCount(joy_fire, port_player1) || JoyButtonHitCount(joy_fire, port_player2))
            gameover_timer = gameover_leave;
    } else {
        player1.flush_inputs();
    }
    if (gameover_timer == gameover_leave) back_to_title();
}
