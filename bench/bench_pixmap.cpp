// Pixmap throughput: PNG decoding of a screen-sized sprite sheet, masking and bilinear resampling.
#include "platform/stream.h"
#include "render/pixmap.h"
#include "render/pixmap_loader.h"
#include "tests/png_encode.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

// Smooth gradients with a few hard-edged shapes and black (mask colour) background: compresses
// like the game's own sprite sheets rather than like noise.
std::vector<uint8_t> SheetPixels(int width, int height, int channels) {
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * size_t(channels));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &pixels[(size_t(y) * size_t(width) + size_t(x)) * size_t(channels)];
            const bool shape = ((x / 40) + (y / 30)) % 3 != 0 && (x % 40) > 4 && (y % 30) > 3;
            p[0] = shape ? uint8_t(x * 255 / width) : 0;
            p[1] = shape ? uint8_t(y * 255 / height) : 0;
            p[2] = shape ? uint8_t((x ^ y) & 0xFF) : 0;
            if (channels == 4) p[3] = shape ? 255 : 0;
        }
    }
    return pixels;
}

TPixmapPtr SheetPixmap(int width, int height, int format) {
    const std::vector<uint8_t> rgb = SheetPixels(width, height, 3);
    TPixmapPtr p = CreatePixmap(width, height, format);
    for (int y = 0; y < height; ++y) {
        ConvertPixels(&rgb[size_t(y) * size_t(width) * 3], PF_RGB888, p->PixelPtr(0, y), format, width);
    }
    return p;
}

void BM_DecodePngRgba400x300(benchmark::State& state) {
    InitPixmapLoaders();
    PngImage image;
    image.width = 400;
    image.height = 300;
    image.colour_type = PNG_COLOR_TYPE_RGB_ALPHA;
    image.data = SheetPixels(400, 300, 4);
    std::vector<uint8_t> file = EncodePng(image);
    std::shared_ptr<TStream> stream = TRamStream::Create(file.data(), int(file.size()), 1, 0);
    for (auto _ : state) {
        stream->Seek(0);
        TPixmapPtr p = LoadPixmap(stream);
        if (!p) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(p);
    }
    state.counters["file_bytes"] = double(file.size());
    state.SetItemsProcessed(state.iterations() * 400 * 300);
}
BENCHMARK(BM_DecodePngRgba400x300)->Unit(benchmark::kMicrosecond);

// One megapixel per iteration, so the time per iteration is the time per megapixel.
void BM_MaskPixmapPerMegapixel(benchmark::State& state) {
    TPixmapPtr source = SheetPixmap(1000, 1000, PF_RGB888);
    for (auto _ : state) benchmark::DoNotOptimize(MaskPixmap(source, 0, 0, 0));
    state.SetItemsProcessed(state.iterations() * 1000 * 1000);
}
BENCHMARK(BM_MaskPixmapPerMegapixel)->Unit(benchmark::kMillisecond);

// Upscaling 800 x 600 RGBA to a 1000 x 1000 (one megapixel) result.
void BM_ResizePixmapPerMegapixel(benchmark::State& state) {
    TPixmapPtr source = SheetPixmap(800, 600, PF_RGBA8888);
    for (auto _ : state) benchmark::DoNotOptimize(ResizePixmap(source, 1000, 1000));
    state.SetItemsProcessed(state.iterations() * 1000 * 1000);
}
BENCHMARK(BM_ResizePixmapPerMegapixel)->Unit(benchmark::kMillisecond);

// The mipmap case: halving a 1024 x 1024 RGBA level, measured per megapixel of source.
void BM_ResizePixmapHalvePerMegapixel(benchmark::State& state) {
    TPixmapPtr source = SheetPixmap(1024, 1024, PF_RGBA8888);
    for (auto _ : state) benchmark::DoNotOptimize(ResizePixmap(source, 512, 512));
    state.SetItemsProcessed(state.iterations() * 1024 * 1024);
}
BENCHMARK(BM_ResizePixmapHalvePerMegapixel)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
