// ImagesCollide throughput: a pair of frames that overlap and a pair whose boxes do not touch.
#include "render/collision.h"
#include "render/image.h"

#include <benchmark/benchmark.h>

namespace {

// A 32 x 32 frame with a solid disc and transparent corners, like a sprite.
TImagePtr SpriteImage() {
    TPixmapPtr p = CreatePixmap(32, 32, PF_RGBA8888);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const int dx = 2 * x - 31, dy = 2 * y - 31;
            p->WritePixel(x, y, dx * dx + dy * dy <= 31 * 31 ? 0xffffffffu : 0u);
        }
    }
    return TImage::Load(p, 0, 0, 0, 0);
}

// The discs overlap near the centre of their shared rows, so the test scans several rows before the hit.
void BM_ImagesCollideHit(benchmark::State& state) {
    TImagePtr a = SpriteImage();
    TImagePtr b = SpriteImage();
    int hits = 0;
    for (auto _ : state) hits += ImagesCollide(a, 100, 100, 0, b, 124, 118, 0);
    if (hits != static_cast<int>(state.iterations())) state.SkipWithError("expected every call to hit");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ImagesCollideHit);

// Boxes 10 pixels apart: the bounding boxes reject the pair before any rasterising.
void BM_ImagesCollideMiss(benchmark::State& state) {
    TImagePtr a = SpriteImage();
    TImagePtr b = SpriteImage();
    int hits = 0;
    for (auto _ : state) hits += ImagesCollide(a, 100, 100, 0, b, 142, 100, 0);
    if (hits != 0) state.SkipWithError("expected no hit");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ImagesCollideMiss);

// Boxes that overlap only in transparent corners: the whole overlap is scanned and nothing is found.
void BM_ImagesCollideCornerMiss(benchmark::State& state) {
    TImagePtr a = SpriteImage();
    TImagePtr b = SpriteImage();
    int hits = 0;
    for (auto _ : state) hits += ImagesCollide(a, 100, 100, 0, b, 126, 126, 0);
    if (hits != 0) state.SkipWithError("expected no hit");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ImagesCollideCornerMiss);

} // namespace

BENCHMARK_MAIN();
