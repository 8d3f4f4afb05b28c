// Start-up, the main loop with its state dispatch, and shut-down.
#include "game/flow.h"

#include "game/controls.h"
#include "game/effects.h"
#include "game/embedded_assets.h"
#include "game/file_locations.h"
#include "game/globals.h"
#include "game/harness.h"
#include "game/hud.h"
#include "game/intro.h"
#include "game/layers.h"
#include "game/lazer.h"
#include "game/menu.h"
#include "game/player.h"
#include "game/resources.h"
#include "game/settings_files.h"
#include "game/sound.h"
#include "game/stage.h"
#include "game/stereo_draw.h"
#include "game/tank.h"
#include "game/trace_state.h"
#include "platform/audio.h"
#include "platform/audio_sample.h"
#include "platform/clock.h"
#include "platform/joystick.h"
#include "platform/paths.h"
#include "platform/polled_input.h"
#include "platform/random.h"
#include "platform/system.h"
#include "render/draw2d.h"
#include "render/graphics.h"
#include "render/image.h"
#include "render/image_font.h"
#include "render/pixmap_loader.h"

#include <algorithm>
#include <cstdio>

namespace {

// The engine services the game uses, in this order, over the back-ends main() installed.
void start_engine() {
    register_embedded_assets();
    InitPixmapLoaders();
    InitFontLoaders();
    InitAudioSampleLoaders();
    InitAudioDrivers();
    InitJoysticks();
}

// The state step of the current frame, by game_state.
void run_state_step() {
    switch (game_state) {
    case state_playing: play_stage(); break;
    case state_paused:
    case state_title: run_menu(); break;
    case state_game_over: game_over_screen(); break;
    default: break;
    }
}

// The long-lived game objects, fresh.
void create_world_objects() {
    draw3d = ovdraw_tag{};
    player1 = player_tag{};
    player2 = player_tag{};
    tank_tag::init(1);
    space_tag::init();
    surface_tag::init();
    moonscape_tag::init();
    lazer_tag::destroy_all();
    ltrail_tag::destroy_all();
    explode_tag::destroy_all();
    particle_tag::destroy_all();
}

// The frame of the playfield, drawn over everything of the world in every state.
void draw_border() {
    SetColor(255, 255, 255);
    draw3d.sip(BLEND_MASK, 1.0f, 0.0f, 1.0f, 1.0f);
    const float eye = static_cast<float>(eye_offset);
    for (int i = 0; i <= 42; ++i) {
        const float y = static_cast<float>(30 + 10 * i);
        draw3d.i3d(img_border, 165.0f, y, 0, eye, 0.0f, 2);
        draw3d.i3d(img_border, 475.0f, y, 4, eye, 0.0f, 2);
    }
    for (int i = 0; i <= 29; ++i) {
        const float x = static_cast<float>(175 + 10 * i);
        draw3d.i3d(img_border, x, 20.0f, 2, eye, 0.0f, 2);
        draw3d.i3d(img_border, x, 460.0f, 6, eye, 0.0f, 2);
    }
    draw3d.i3d(img_border, 165.0f, 20.0f, 1, eye, 0.0f, 2);
    draw3d.i3d(img_border, 475.0f, 20.0f, 3, eye, 0.0f, 2);
    draw3d.i3d(img_border, 165.0f, 460.0f, 5, eye, 0.0f, 2);
    draw3d.i3d(img_border, 475.0f, 460.0f, 7, eye, 0.0f, 2);
}

} // namespace

void draw_world() {
    Cls();
    if (game_state == state_paused) {
        SetColor(80, 80, 150);
        SetBlend(BLEND_MASK);
        DrawImage(img_pause, 0, 0, 0);
    } else {
        // The world shows only through the overlay's window; clipped to it, the rasteriser is spared
        // the pixels the overlay paints over anyway (the picture is the same).
        int vx = 0, vy = 0, vw = 0, vh = 0;
        GetViewport(vx, vy, vw, vh);
        if (overlay_window) {
            // Within whatever viewport is set already.
            const int x0 = std::max(vx, overlay_window->x), y0 = std::max(vy, overlay_window->y);
            const int x1 = std::min(vx + vw, overlay_window->x + overlay_window->w);
            const int y1 = std::min(vy + vh, overlay_window->y + overlay_window->h);
            SetViewport(x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0));
        }
        // The layers take this colour when 3D is off.
        SetColor(100, 100, 180);
        surface_tag::scroll_all(3.0f);
        if (game_state == state_playing && stage_phase == 0) {
            tank_entry_step();
            tank_tag::update_all();
        }
        if (overlay_window) SetViewport(vx, vy, vw, vh);
        // The overlay comes after the entering tanks, so it hides them outside the playfield.
        draw3d.sip(BLEND_MASK, 1.0f, 0.0f, 1.0f, 1.0f);
        SetColor(255, 255, 255);
        DrawImage(img_background, 0, 0, 0);
    }
    draw_border();
}

void wait_if_suspended() {
    // Once the game is quitting there is nothing to hold: the shut-down comes next.
    if (quit_game != 0 || !IsAppSuspended()) return;
    const bool paused_music = ChannelIsPlaying(music_channel) != 0;
    if (paused_music) ChannelPause(music_channel);
    // Waiting on events, not spinning: a suspended game must not keep a core busy. A close request
    // (window close, or a signal at logout) ends the wait; check_keys takes it in the next frame.
    while (IsAppSuspended() && !IsAppTerminatePending()) WaitSystemEvent();
    if (paused_music) ChannelResume(music_channel);
}

int run_game(const game_options& options) {
    set_file_locations(choose_file_locations(options.data_dir, ExecutableDirectory()));
    start_engine();
    harness_install_input();
    start_trace_state();
    // Input recorded before the first frame (a joystick already plugged in) arrives here, so the
    // start-up count below sees it in a replay exactly as in the recorded run.
    PollSystemEvents();

    SetAppTitle("Brakkovane 3D");
    joystick_count = CountJoysticks();
    SetGraphicsWindowed(options.windowed, options.scale);
    SetFlipUnpaced(options.unpaced);
    if (!OpenGraphics(640, 480, 32, 60, 2)) {
        std::fprintf(stderr, "brakkovane3d: cannot open the display: %s\n", GraphicsError().c_str());
        harness_end();
        return 1;
    }
    SetImageMaskColor(0, 0, 0);
    SetDefaultImageFlags(IMAGE_MASKED | IMAGE_DYNAMIC);
    create_world_objects();
    create_image_placeholders();
    music_channel = AudioAllocChannel();
    HidePointer();
    SetRandomSeed(static_cast<int32_t>(harness_seed()));
    // A picture or the font that does not decode is reported and leaves its image empty.
    load_resources();
    anaglyph_settings(1);
    hiscore_file(0);
    show_logo(-25);

    game_state = state_title;
    start_music(1);
    play_sound(snd_title);
    SetMousePosition(pointer_home_x, pointer_home_y);

    do {
        draw_world();
        run_state_step();
        draw_hud();
        draw_scanlines(2);
        flip_frame();
        check_keys();
        wait_if_suspended();
        collect_finished_sounds();
    } while (quit_game == 0);
    collect_all_sounds();

    if (ChannelIsPlaying(music_channel)) {
        ChannelStop(music_channel);
        // Lets the output drain the stopped voice before the files are written and the process ends.
        SleepMillis(500);
    }
    anaglyph_settings(2);
    hiscore_file(1);
    return harness_end() ? 0 : exit_output_failed;
}
