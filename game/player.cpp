// The players' craft.
#include "game/player.h"

#include "game/controls.h"
#include "game/effects.h"
#include "game/globals.h"
#include "game/lazer.h"
#include "game/resources.h"
#include "game/sound.h"
#include "game/stereo_draw.h"
#include "platform/joystick.h"
#include "platform/polled_input.h"
#include "platform/system.h"
#include "render/collision.h"
#include "render/draw2d.h"

player_tag player1, player2;

namespace {

// Effect colours: frames of img_particle.
constexpr int colour_player1 = 3, colour_player2 = 1;

// How far a collision pushes each craft, pixels.
constexpr float push = 25.0f;

// The rectangle the craft move in.
void clamp_to_limits(player_tag& craft) {
    if (craft.x < 200.0f) craft.x = 200.0f;
    if (craft.x > 440.0f) craft.x = 440.0f;
    if (craft.y < 60.0f) craft.y = 60.0f;
    if (craft.y > 250.0f) craft.y = 250.0f;
}

// A joystick axis counts only when it is pushed all the way: exactly -1.0 or +1.0.
bool axis_is(float reading, float end) {
    return reading == end;
}

} // namespace

void player_tag::update() {
    SetColor(255, 255, 255);
    draw3d.sip(BLEND_MASK, 1.0f, 0.0f, 1.0f, 1.0f);
    ftmr += 1;
    if (ftmr >= 5) {
        ftmr = 0;
        fctr += 1;
        if (fctr > 4) fctr = 0;
    }
    const float eye = static_cast<float>(eye_offset);
    // Both craft run on this object's animation counters.
    if (player1.state == 1) draw3d.i3d(img_player, player1.x, player1.y, fctr, eye, 0.0f, 2);
    if (versus != 0 && player2.state == 1)
        draw3d.i3d(img_player, player2.x, player2.y, fctr + 5, eye, 0.0f, 2);

    if (player1.state != 1 || player2.state != 1) return;
    const int x1 = static_cast<int>(player1.x), y1 = static_cast<int>(player1.y);
    const int x2 = static_cast<int>(player2.x), y2 = static_cast<int>(player2.y);
    if (!ImagesCollide(img_player, x1, y1, 0, img_player, x2, y2, 5)) return;
    // Pushed apart past each other's sides; get_inputs brings them back inside the limits.
    if (x1 < x2) {
        player1.x -= push;
        player2.x += push;
        particle_tag::set(static_cast<float>(x1 + 40), static_cast<float>(y1), 0.5f, colour_player1, 20);
        particle_tag::set(static_cast<float>(x2 - 40), static_cast<float>(y2), 0.5f, colour_player2, 20);
    } else {
        player1.x += push;
        player2.x -= push;
        particle_tag::set(static_cast<float>(x1 - 40), static_cast<float>(y1), 0.5f, colour_player1, 20);
        particle_tag::set(static_cast<float>(x2 + 40), static_cast<float>(y2), 0.5f, colour_player2, 20);
    }
    if (y1 < y2) {
        player1.y -= push;
        player2.y += push;
    } else {
        player1.y += push;
        player2.y -= push;
    }
    play_sound(snd_tankhit);
}

void player_tag::get_inputs() {
    if (player1.state == 1) {
        player_tag& p = player1;
        if (IsJoyButtonDown(joy_fire, port_player1) || IsKeyDown(key_left_control)) {
            // Firing holds the craft still; the arrows only aim the shot. Right wins over Left.
            // The keys are asked before the stick, Right before Left, in this order.
            float step = 0.0f;
            // NOLINTBEGIN(bugprone-branch-clone)
            if (IsKeyDown(key_right))
                step = 2.0f;
            else if (IsKeyDown(key_left))
                step = -2.0f;
            else if (axis_is(GetJoyX(port_player1), 1.0f))
                step = 2.0f;
            else if (axis_is(GetJoyX(port_player1), -1.0f))
                step = -2.0f;
            // NOLINTEND(bugprone-branch-clone)
            if (p.shoot == 0) lazer_tag::fire(p.x, p.y, step, 6.0f, 0, 0);
        } else {
            // Each direction on its own, so opposite ones cancel.
            if (axis_is(GetJoyX(port_player1), -1.0f) || IsKeyDown(key_left)) p.x -= 2.0f;
            if (axis_is(GetJoyX(port_player1), 1.0f) || IsKeyDown(key_right)) p.x += 2.0f;
            if (axis_is(GetJoyY(port_player1), -1.0f) || IsKeyDown(key_up)) p.y -= 2.0f;
            if (axis_is(GetJoyY(port_player1), 1.0f) || IsKeyDown(key_down)) p.y += 2.0f;
        }
        clamp_to_limits(p);
    }
    if (versus != 0 && player2.state == 1) {
        player_tag& p = player2;
        if (IsJoyButtonDown(joy_fire, port_player2)) {
            float step = 0.0f;
            if (axis_is(GetJoyX(port_player2), 1.0f))
                step = 2.0f;
            else if (axis_is(GetJoyX(port_player2), -1.0f))
                step = -2.0f;
            if (p.shoot == 0) lazer_tag::fire(p.x, p.y, step, 6.0f, 1, 1);
        } else {
            if (axis_is(GetJoyX(port_player2), -1.0f)) p.x -= 2.0f;
            if (axis_is(GetJoyX(port_player2), 1.0f)) p.x += 2.0f;
            if (axis_is(GetJoyY(port_player2), -1.0f)) p.y -= 2.0f;
            if (axis_is(GetJoyY(port_player2), 1.0f)) p.y += 2.0f;
        }
        clamp_to_limits(p);
    }
}

void player_tag::flush_inputs() {
    // Each round counts what is still held or pending; the loop ends once a round finds nothing and
    // the rounds owed from earlier are used up. The pairs are short-circuit on purpose: a hit counter
    // is read (and so cleared) only while its partner is not held.
    int n = 0;
    do {
        if (n != 0) n -= 1;
        bool held = false;
        if (IsMouseDown(0) || MouseHitCount(0) != 0) n += 1;
        if (IsMouseDown(1) || MouseHitCount(1) != 0) n += 1;
        if (IsJoyButtonDown(0, 0) || IsJoyButtonDown(1, 0)) {
            n += 1;
            held = true;
        }
        if (JoyButtonHitCount(0, 0) != 0 || JoyButtonHitCount(1, 0) != 0) n += 1;
        if (IsJoyButtonDown(0, 1) || IsJoyButtonDown(1, 1)) {
            n += 1;
            held = true;
        }
        if (JoyButtonHitCount(0, 1) != 0 || JoyButtonHitCount(1, 1) != 0) n += 1;
        ClearKeys();
        ClearMouse();
        if (held) {
            // Wait for the release instead of spinning; a replay hands over its next event here.
            // A close request ends the wait; check_keys takes it later in the frame and ends the game.
            if (IsAppTerminatePending()) return;
            WaitSystemEvent();
        }
    } while (n != 0);
}
