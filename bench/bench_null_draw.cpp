// Frames per second of a frame like the game's on the display-less back-end: the 640 x 480 overlay in
// the mask blend, a few hundred small additive sprites, scan lines and a line of text. Baselines in the
// same run: the clear alone on the same back-end, and the same frame on the GL back-end (needs a
// display: run under Xvfb; skipped without one).
#include "backends/gl1/gl_draw2d.h"
#include "backends/null/null_draw2d.h"
#include "game/embedded_assets.h"
#include "render/draw2d.h"
#include "render/graphics.h"
#include "render/image.h"
#include "render/image_font.h"
#include "render/pixmap_loader.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

enum Backend : int64_t { NULL_BACKEND = 0, GL_BACKEND = 1 };

struct FrameAssets {
    TImagePtr overlay, particle, player;
    TImageFontPtr font;
};

// Opens a 640 x 480 picture on the back-end (again when the other one was open) and loads what the
// frame draws; frames are made lazily for the back-end that is current.
bool Open(Backend backend, FrameAssets& assets) {
    static bool started = false;
    if (!started) {
        started = true;
        register_embedded_assets();
        InitPixmapLoaders();
        InitFontLoaders();
    }
    static Backend opened = NULL_BACKEND;
    if (!CurrentGraphics() || opened != backend) {
        if (backend == GL_BACKEND) {
            if (!std::getenv("DISPLAY")) return false;
            SetGraphicsDriver(GLDraw2DDriver(), GRAPHICS_BACKBUFFER);
        } else {
            SetGraphicsDriver(NullDraw2DDriver(), GRAPHICS_BACKBUFFER);
        }
        SetFlipUnpaced(true);
        if (!OpenGraphics(640, 480, 0, 60, GRAPHICS_BACKBUFFER)) return false;
        opened = backend;
    }
    SetImageMaskColor(0, 0, 0);
    const int game_flags = IMAGE_MASKED | IMAGE_DYNAMIC;
    assets.overlay = LoadImage("incbin::graphx\\Brakkovane_bg.png", game_flags);
    TImagePtr sheet = LoadImage("incbin::graphx\\Brakkovane_sf.png", game_flags);
    if (!assets.overlay || !sheet) return false;
    // Cut from the sheet as the game does.
    SetBlend(BLEND_MASK);
    SetColor(255, 255, 255);
    SetAlpha(1.0f);
    Cls();
    DrawImage(sheet, 0, 0);
    SetAutoCenterHandle(1);
    assets.particle = CreateImage(7, 7, 5, game_flags);
    assets.player = CreateImage(40, 27, 10, game_flags);
    SetAutoCenterHandle(0);
    for (int i = 0; i < 5; ++i) GrabImage(assets.particle, 208 + 8 * i, 1, i);
    for (int i = 0; i < 10; ++i) GrabImage(assets.player, 1 + 41 * (i % 5), 1 + 28 * (i / 5), i);
    assets.font = LoadImageFont("incbin::fonts\\joystix.ttf", 12, FONT_SMOOTH);
    return assets.font != nullptr;
}

void DrawGameFrame(const FrameAssets& assets, int sprites) {
    Cls();
    SetColor(255, 255, 255);
    SetAlpha(1.0f);
    // Additive sprites scattered over the playfield, the particles at half-pixel handles.
    SetBlend(BLEND_LIGHT);
    for (int i = 0; i < sprites; ++i) {
        const float x = 180.0f + static_cast<float>((i * 37) % 280);
        const float y = 40.0f + static_cast<float>((i * 11) % 400);
        if (i % 8 == 0) {
            SetColor(140, 4, 40);
            DrawImage(assets.player, x, y, i % 10);
        } else {
            SetColor(255, 255, 255);
            DrawImage(assets.particle, x, y, i % 5);
        }
    }
    // The overlay over everything, masked, as the game draws it each frame.
    SetBlend(BLEND_MASK);
    SetColor(255, 255, 255);
    DrawImage(assets.overlay, 0, 0);
    SetImageFont(assets.font);
    SetBlend(BLEND_ALPHA);
    DrawText("SCORE 000123450  HI 000999990", 180, 4);
    // Scan lines every other row.
    SetBlend(BLEND_SHADE);
    SetColor(200, 200, 200);
    for (int y = 0; y < 480; y += 2) DrawLine(0, static_cast<float>(y), 640, static_cast<float>(y), 1);
    SetBlend(BLEND_MASK);
    Flip(0);
}

// state.range(0): back-end; range(1): sprites per frame.
void BM_GameFrame(benchmark::State& state) {
    FrameAssets assets;
    if (!Open(static_cast<Backend>(state.range(0)), assets)) {
        state.SkipWithError("no picture (the GL back-end needs a display: run under Xvfb)");
        return;
    }
    const int sprites = static_cast<int>(state.range(1));
    for (auto _ : state) DrawGameFrame(assets, sprites);
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GameFrame)
    ->ArgNames({"gl", "sprites"})
    ->Args({NULL_BACKEND, 300})
    ->Args({NULL_BACKEND, 1000})
    ->Args({GL_BACKEND, 300})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The floor of any frame on the display-less back-end: clearing the picture and flipping.
void BM_ClearOnly(benchmark::State& state) {
    FrameAssets assets;
    if (!Open(NULL_BACKEND, assets)) {
        state.SkipWithError("no picture");
        return;
    }
    for (auto _ : state) {
        Cls();
        Flip(0);
    }
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ClearOnly)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
