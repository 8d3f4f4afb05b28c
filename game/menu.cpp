// Title screen and options menu.
#include "game/menu.h"

#include "game/controls.h"
#include "game/globals.h"
#include "game/player.h"
#include "game/resources.h"
#include "game/settings_files.h"
#include "game/sound.h"
#include "game/stereo_draw.h"
#include "platform/audio.h"
#include "platform/joystick.h"
#include "platform/polled_input.h"
#include "platform/system.h"
#include "render/draw2d.h"

#include <algorithm>

const char* const credit_text = "v1.2 - Brakkovane team arcade (Ovrilo)";

namespace {

float eye() {
    return static_cast<float>(eye_offset);
}

void draw_title_art() {
    SetColor(255, 255, 255);
    draw3d.sip(BLEND_MASK, 1.0f, 0.0f, 0.8f, 0.8f);
    draw3d.i3d(img_title, 320.0f, 75.0f, 0, eye(), 0.0f, 2);
    draw3d.sip(BLEND_MASK, 1.0f, 0.0f, 0.9f, 0.9f);
    draw3d.i3d(img_logo, 320.0f, 150.0f, 0, eye() + 2.0f, 0.0f, 2);

    SetColor(200, 200, 10);
    draw3d.sip(BLEND_ALPHA, 1.0f, 0.0f, 0.8f, 1.0f);
    draw3d.t3d(credit_text, 320.0f, 472.0f, eye(), 1, 2);
}

constexpr int item_count = 8;
constexpr int item_x = 320; // items are centred on it

// The y of item i's row centre, where it is drawn.
int item_y(int i) {
    return 220 + 20 * i;
}

void draw_items(int selected) {
    for (int i = 0; i < item_count; ++i) {
        const float y = static_cast<float>(item_y(i));
        const bool lit = i == selected;
        const float offset = lit ? eye() + 1.0f : eye();
        const float scale = lit ? 1.2f : 1.0f;
        // The text comes first: in the frame that turns versus off it still shows the old value, in
        // red; the next frame shows "Off".
        const std::string text = menu_item_text(i);
        bool red = game_state != state_title && i == 4;
        if (game_state == state_title && i == 4 && joystick_count < 2) {
            // Versus needs two joysticks; without them it is off and shown disabled.
            versus = 0;
            red = true;
        }
        if (red) {
            SetColor(200, 10, 10);
        } else {
            SetColor(200, 200, 10);
        }
        draw3d.sip(BLEND_ALPHA, 1.0f, 0.0f, scale, scale);
        draw3d.t3d(text, static_cast<float>(item_x), y, offset, 1, 2);
    }
}

// What a click on item i does; game_state tells the title (4) from the pause menu (3).
void act_on(int i) {
    const bool title = game_state == state_title;
    switch (i) {
    case 0:
        game_state = state_playing;
        if (title) {
            player_tag::reset(1);
            play_sound(snd_warp);
            play_sound(snd_letsgo);
        }
        break;
    case 1:
        mode_3d += 1;
        if (mode_3d > mode_3d_last) mode_3d = 0;
        anaglyph_settings(0);
        play_sound(snd_thud);
        break;
    case 2:
        eye_offset += 2;
        if (eye_offset > 30) eye_offset = 2;
        play_sound(snd_thud);
        break;
    case 3:
        retro_fx = retro_fx != 0 ? 0 : 1;
        play_sound(snd_thud);
        break;
    case 4:
        if (title && joystick_count >= 2) {
            versus = versus != 0 ? 0 : 1;
            play_sound(snd_thud);
        }
        break;
    case 5:
        sound_level += 1;
        sound_volume += 0.1f;
        if (sound_level > 10) {
            sound_level = 0;
            sound_volume = 0.0f;
        }
        play_sound(snd_smexpl); // a sample at the new volume
        break;
    case 6:
        music_level += 1;
        music_volume += 0.1f;
        if (music_level > 10) {
            music_level = 0;
            music_volume = 0.0f;
        }
        ChannelSetVolume(music_channel, music_volume);
        break;
    case 7:
        if (title) {
            quit_game = 1;
        } else {
            game_state = state_title;
            SetMousePosition(pointer_home_x, pointer_home_y);
            play_sound(snd_thud);
            play_sound(snd_title);
        }
        break;
    default: break;
    }
}

} // namespace

int menu_item_at(int y) {
    return y > 200 ? (y - 210) / 20 : -1;
}

std::string menu_item_text(int i) {
    const bool title = game_state == state_title;
    switch (i) {
    case 0: return title ? txt_menu[0] : "Resume Game";
    case 1: return std::string(txt_menu[1]) + txt_3d_modes[mode_3d];
    case 2: return std::string(txt_menu[2]) + std::to_string(eye_offset);
    case 3: return std::string(txt_menu[3]) + txt_off_on[retro_fx];
    case 4: return std::string(txt_menu[4]) + txt_off_on[versus];
    case 5: return std::string(txt_menu[5]) + txt_percent[sound_level];
    case 6: return std::string(txt_menu[6]) + txt_percent[music_level];
    case 7: return title ? txt_menu[7] : "Quit This Game";
    default: return {};
    }
}

void run_menu() {
    joystick_pointer();
    keyboard_pointer();
    joystick_count = CountJoysticks();
    const int px = GetMouseX(), py = GetMouseY();

    draw_title_art();
    const int selected = menu_item_at(py);
    draw_items(selected);

    if (MouseHitCount(mouse_left) || JoyButtonHitCount(joy_fire, port_player1) || KeyHitCount(key_return)) {
        act_on(selected);
        ClearKeys();
        ClearMouse();
    }

    SetColor(255, 255, 255);
    draw3d.sip(BLEND_MASK, 1.0f, 0.0f, 1.0f, 1.0f);
    draw3d.i3d(img_pointer, static_cast<float>(px), static_cast<float>(py), 0, eye() + 2.0f, 0.0f, 2);
}

void joystick_pointer() {
    int x = GetMouseX(), y = GetMouseY();
    // Only the ends of an axis count, as a digital pad gives them; each test moves the pointer at once.
    const auto step = [&](int dx, int dy) {
        x += dx;
        y += dy;
        SetMousePosition(x, y);
    };
    if (GetJoyX(port_player1) == -1.0f) step(-2, 0);
    if (GetJoyX(port_player1) == 1.0f) step(2, 0);
    if (GetJoyY(port_player1) == -1.0f) step(0, -2);
    if (GetJoyY(port_player1) == 1.0f) step(0, 2);
}

void keyboard_pointer() {
    const int up = KeyHitCount(key_up), down = KeyHitCount(key_down);
    if (!up && !down) return;
    // The item under the pointer, or -1 above the items, item_count and more below them.
    const int item = menu_item_at(GetMouseY());
    const int target = std::clamp(item + (down ? 1 : 0) - (up ? 1 : 0), 0, item_count - 1);
    SetMousePosition(item_x, item_y(target));
}
