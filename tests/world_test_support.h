// Shared by the game-world tests: the real picture with the game's own images and font loaded as at
// start-up, a fresh world per test, and the sound effects a step played.
#pragma once

#include "game/effects.h"
#include "game/embedded_assets.h"
#include "game/globals.h"
#include "game/harness.h"
#include "game/lazer.h"
#include "game/options.h"
#include "game/player.h"
#include "game/resources.h"
#include "game/stereo_draw.h"
#include "game/tank.h"
#include "platform/polled_input.h"
#include "platform/random.h"
#include "render/image_font.h"
#include "render/pixmap_loader.h"
#include "tests/draw_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace world_test {

// The back-end a world test binary runs on: the pixel tests of drawing on real GL, the rules of the
// objects on the null back-end, without a display.
#ifndef WORLD_TEST_VIDEO
#define WORLD_TEST_VIDEO "sdl"
#endif

// Opens the picture and loads the game's images, font and sounds once per test binary.
inline void EnsureWorld() {
    static bool loaded = false;
    draw_test::EnsureGraphics(WORLD_TEST_VIDEO);
    SetFlipUnpaced(true);
    if (loaded) return;
    register_embedded_assets();
    InitPixmapLoaders();
    InitFontLoaders();
    SetImageMaskColor(0, 0, 0);
    SetDefaultImageFlags(IMAGE_MASKED | IMAGE_DYNAMIC);
    create_image_placeholders();
    ASSERT_TRUE(load_resources()) << "an embedded picture or the font does not decode";
    loaded = true;
}

// The world as a new game leaves it, without drawing: nothing in the lists, 3D off, stage 1.
inline void ResetWorld() {
    draw_test::ResetDrawing();
    draw3d = ovdraw_tag{};
    mode_3d = 0;
    eye_offset = 0;
    versus = 0;
    stage = 1;
    stage_phase = 1;
    tank_speed = 1.0f;
    tank_vx = -1.0f;
    quit_game = 0;
    player1 = player_tag{};
    player2 = player_tag{};
    for (tank_tag& tank : tanks) tank = tank_tag{};
    lazer_tag::destroy_all();
    ltrail_tag::destroy_all();
    explode_tag::destroy_all();
    particle_tag::destroy_all();
    SetRandomSeed(12345);
}

class WorldTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureWorld();
        if (HasFatalFailure()) return;
        ResetWorld();
    }
    // Finishes the batched drawing while the process is whole: left for the exit handlers, the GL
    // driver may compile its shaders after its own statics are gone and never return.
    void TearDown() override { GrabPixmap(0, 0, 1, 1); }
};

// The effects that `step` played, in order, as the trace line of the frame records them.
template <class Step> std::vector<std::string> SoundsOf(Step step) {
    // One file per process: the world's test programs run side by side.
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("world_test_sounds." + std::to_string(getpid()) + ".jsonl"))
                                 .string();
    game_options options;
    options.trace_path = path;
    std::string error;
    EXPECT_TRUE(harness_begin(options, error)) << error;
    step();
    flip_frame();
    harness_end();
    std::string line;
    if (FILE* f = std::fopen(path.c_str(), "r")) {
        char buffer[1 << 16];
        while (std::fgets(buffer, sizeof buffer, f)) line = buffer;
        std::fclose(f);
    }
    std::filesystem::remove(path);
    std::vector<std::string> sounds;
    const std::string key = "\"sounds\":[";
    size_t at = line.find(key);
    if (at == std::string::npos) return {"<no trace line>"};
    at += key.size();
    while (at < line.size() && line[at] == '"') {
        const size_t end = line.find('"', at + 1);
        sounds.push_back(line.substr(at + 1, end - at - 1));
        at = end + 1;
        if (at < line.size() && line[at] == ',') ++at;
    }
    return sounds;
}

} // namespace world_test
