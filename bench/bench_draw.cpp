// Sprites per second through DrawImage: 40 x 27 additive sprites, a full frame each iteration
// including the clear and the buffer swap, batched and unbatched.
#include "render/draw2d.h"
#include "render/gl_draw2d.h"
#include "render/graphics.h"
#include "render/image.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace {

bool OpenPicture() {
    if (CurrentGraphics()) return true;
    InstallGLDraw2DDriver();
    SetFlipUnpaced(true);
    return OpenGraphics(640, 480, 0, 60, 2) != nullptr;
}

TImagePtr MakeSprite() {
    TPixmapPtr p = CreatePixmap(40, 27, PF_RGBA8888);
    for (int y = 0; y < 27; ++y) {
        for (int x = 0; x < 40; ++x) {
            uint8_t* px = p->PixelPtr(x, y);
            const float dx = (x + 0.5f - 20.0f) / 20.0f;
            const float dy = (y + 0.5f - 13.5f) / 13.5f;
            const bool inside = dx * dx + dy * dy < 1.0f;
            px[0] = static_cast<uint8_t>(6 * x);
            px[1] = static_cast<uint8_t>(9 * y);
            px[2] = 200;
            px[3] = inside ? 255 : 0;
        }
    }
    TImagePtr img = LoadImage(p, IMAGE_MASKED | IMAGE_DYNAMIC);
    CenterImageHandle(img);
    return img;
}

// state.range(0): sprites per frame; range(1): batching on (1) or off (0); range(2): eye colours
// alternating every sprite (1), as the anaglyph drawing does, or one colour (0).
void BM_AdditiveSprites(benchmark::State& state) {
    if (!OpenPicture()) {
        state.SkipWithError("no graphics (run under Xvfb)");
        return;
    }
    const int count = static_cast<int>(state.range(0));
    GLDraw2DDriver()->SetBatching(state.range(1) != 0);
    const bool anaglyph = state.range(2) != 0;
    TImagePtr sprite = MakeSprite();
    SetRotationScale(0.0f, 1.0f, 1.0f);
    for (auto _ : state) {
        Cls();
        SetBlend(BLEND_LIGHT);
        SetColor(255, 255, 255);
        for (int i = 0; i < count; ++i) {
            // A fixed scatter over the picture: 61 columns, rows stepping by 7 pixels.
            const float x = 20.0f + static_cast<float>((i * 37) % 600);
            const float y = 14.0f + static_cast<float>((i * 7) % 452);
            if (anaglyph) {
                if (i & 1) {
                    SetColor(4, 100, 20);
                } else {
                    SetColor(140, 4, 40);
                }
            }
            DrawImage(sprite, x, y);
        }
        SetBlend(BLEND_MASK);
        Flip(0);
    }
    GLDraw2DDriver()->SetBatching(true);
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_AdditiveSprites)
    ->ArgNames({"sprites", "batched", "anaglyph"})
    ->Args({0, 1, 0})
    ->Args({1000, 1, 0})
    ->Args({8000, 1, 0})
    ->Args({1000, 1, 1})
    ->Args({8000, 1, 1})
    ->Args({1000, 0, 0})
    ->Args({8000, 0, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
