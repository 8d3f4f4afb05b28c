// Sprites per second through DrawImage: 40 x 27 additive sprites, a full frame each iteration
// including the clear and the buffer swap, batched and unbatched; and the game's layered backdrop.
#include "backends/gl1/gl_draw2d.h"
#include "backends/gl_common/gl_image_frame.h"
#include "bench/bench_backends.h"
#include "render/draw2d.h"
#include "render/graphics.h"
#include "render/image.h"
#include "render/pixmap_loader.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace {

bool OpenPicture() {
    if (CurrentGraphics()) return true;
    InstallWindowBackends();
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

// The backdrop of a 3D frame of the game from its real pictures: the star field and the two moonscape
// frames for each eye in the additive blend, then the framing overlay masked over all, unscaled at
// whole-pixel positions. range(0) 1 draws only the inked parts of each picture, 0 each one whole.
void BM_LayeredBackdrop(benchmark::State& state) {
    if (!OpenPicture()) {
        state.SkipWithError("no graphics (run under Xvfb)");
        return;
    }
    InitPixmapLoaders();
    TImagePtr stars = LoadImage(SOURCE_DIR "/assets/graphx/Brakkovane_sp.png", IMAGE_MASKED);
    TImagePtr moon = LoadImage(SOURCE_DIR "/assets/graphx/Brakkovane_ms.png", IMAGE_MASKED);
    TImagePtr overlay = LoadImage(SOURCE_DIR "/assets/graphx/Brakkovane_bg.png", IMAGE_MASKED);
    if (!stars || !moon || !overlay) {
        state.SkipWithError("the game's pictures do not load");
        return;
    }
    for (const TImagePtr& image : {stars, moon, overlay}) {
        auto frame = std::dynamic_pointer_cast<TGLImageFrame>(image->Frame(0));
        if (frame && state.range(0) == 0) frame->ink.clear();
    }
    for (auto _ : state) {
        Cls();
        SetBlend(BLEND_LIGHT);
        for (const int eye : {-4, 4}) {
            SetColor(eye < 0 ? 255 : 0, eye < 0 ? 0 : 160, eye < 0 ? 0 : 255);
            DrawImage(stars, 170.0f + static_cast<float>(eye), 25.0f);
            DrawImage(moon, 170.0f + static_cast<float>(eye), 160.0f);
        }
        SetBlend(BLEND_MASK);
        SetColor(255, 255, 255);
        DrawImage(overlay, 0.0f, 0.0f);
        Flip(0);
    }
}
BENCHMARK(BM_LayeredBackdrop)
    ->ArgName("ink_only")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
