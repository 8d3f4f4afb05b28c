// The logo intro: the maker's logo zooms (in 3D: flies out of the screen) and fades.
#include "game/intro.h"

#include "game/controls.h"
#include "game/globals.h"
#include "game/harness.h"
#include "game/hud.h"
#include "game/resources.h"
#include "game/sound.h"
#include "game/stereo_draw.h"
#include "platform/joystick.h"
#include "platform/polled_input.h"
#include "platform/system.h"
#include "render/draw2d.h"
#include "render/graphics.h"
#include "render/image.h"

#include <cstdio>

void show_logo(int y_offset) {
    // The prefix is matched without regard to case.
    TImagePtr logo = LoadImage("Incbin::graphx\\ovlogo.png", -1);
    if (!logo)
        std::fprintf(stderr, "brakkovane3d: cannot decode the embedded picture graphx\\ovlogo.png\n");
    else
        CenterImageHandle(logo);
    // Integer halves: 320 and 215 in the game.
    const int half_width = GraphicsWidth() / 2, half_height = GraphicsHeight() / 2;
    const float cx = static_cast<float>(half_width);
    const float cy = static_cast<float>(half_height + y_offset);
    float alpha = 1.0f, scale = 0.1f, depth = -4.0f;
    do {
        Cls();
        SetColor(255, 255, 255);
        if (mode_3d != 0) {
            // The logo flies out of the screen: it grows while its eye offset passes through zero.
            draw3d.sip(BLEND_LIGHT, alpha, 0.0f, scale, scale);
            draw3d.i3d(logo, cx, cy, 0, depth, 0.0f, 2);
            scale += 0.004f;
            depth += 0.05f;
            if (scale > 1.1f) alpha -= 0.01f;
        } else {
            // Flat, the logo stands at full size; scale only counts out the hold before the fade.
            draw3d.sip(BLEND_ALPHA, alpha, 0.0f, 1.0f, 1.0f);
            draw3d.i3d(logo, cx, cy, 0, 0.0f, 0.0f, 1);
            if (scale > 1.0f)
                alpha -= 0.01f;
            else
                scale += 0.004f;
        }
        draw_scanlines(2);
        if (alpha < 0.0f) alpha = 0.0f;
        flip_frame();
        // The intro's spare time goes to what the title's first frame would otherwise do all at once:
        // one piece a frame, a sound whose decode has finished, else a texture.
        if (!collect_next_finished_sound()) prepare_next_texture();
        // A close request ends the wait for resume too, and is taken just below.
        while (IsAppSuspended() && !IsAppTerminatePending()) WaitSystemEvent();
        if (TakeAppTerminate()) {
            quit_game = 1;
            break;
        }
        if (KeyHitCount(key_escape) || KeyHitCount(key_space) || MouseHitCount(mouse_left) ||
            JoyButtonHitCount(joy_fire, port_player1))
            break;
    } while (alpha > 0.0f);
    SetColor(255, 255, 255);
    draw3d.sip(BLEND_MASK, 1.0f, 0.0f, 1.0f, 1.0f);
    ClearKeys();
    ClearMouse();
}
