// The game's own assets: decoding the sprite sheet PNG, and drawing text with the game's TrueType font
// and the built-in font, per character (text drawing needs a GL picture: run under Xvfb).
#include "backends/gl1/gl_draw2d.h"
#include "bench/bench_backends.h"
#include "platform/stream.h"
#include "render/draw2d.h"
#include "render/graphics.h"
#include "render/image_font.h"
#include "render/pixmap.h"
#include "render/pixmap_loader.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void BM_DecodeSpriteSheet(benchmark::State& state) {
    InitPixmapLoaders();
    std::vector<uint8_t> file = ReadFile(SOURCE_DIR "/assets/graphx/Brakkovane_sf.png");
    std::shared_ptr<TStream> stream = TRamStream::Create(file.data(), static_cast<int>(file.size()), 1, 0);
    int pixels = 0;
    for (auto _ : state) {
        stream->Seek(0);
        TPixmapPtr p = LoadPixmap(stream);
        if (!p) {
            state.SkipWithError("the sprite sheet does not decode");
            return;
        }
        pixels = p->width * p->height;
        benchmark::DoNotOptimize(p);
    }
    state.counters["megapixels_per_s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * pixels / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeSpriteSheet)->Unit(benchmark::kMillisecond);

// range(0): 1 the game's TrueType font at 12 pixels, 0 the built-in 8 x 16 font. Each iteration draws
// one 64-character line additively, as the HUD and menus do; a flip every 100 lines keeps the
// queue short.
void BM_DrawTextPerChar(benchmark::State& state) {
    InitFontLoaders();
    if (!CurrentGraphics()) {
        InstallWindowBackends();
        SetFlipUnpaced(true);
        SetGraphicsWindowed(true, 1);
        if (!OpenGraphics(640, 480, 0, 60, 2)) {
            state.SkipWithError("no graphics (run under Xvfb)");
            return;
        }
    }
    TImageFontPtr font = state.range(0) ? LoadImageFont(SOURCE_DIR "/assets/fonts/joystix.ttf", 12, 4)
                                        : TImageFont::CreateDefault();
    if (!font) {
        state.SkipWithError("the font does not load");
        return;
    }
    SetImageFont(font);
    SetBlend(BLEND_LIGHT);
    SetColor(200, 255, 120);
    const std::string line = "SCORE 0012345  HI 0099999  STAGE 07  LIVES 3  abcdefghijklmnopqr";
    DrawText(line, 0, 0); // glyph images are made on first use; keep that out of the timing
    int lines = 0;
    for (auto _ : state) {
        DrawText(line, 4.0f, static_cast<float>(lines % 28) * 17.0f);
        if (++lines % 100 == 0) {
            Flip(0);
            Cls();
        }
    }
    Flip(0);
    SetBlend(BLEND_MASK);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(line.size()));
}
BENCHMARK(BM_DrawTextPerChar)->ArgName("truetype")->Arg(1)->Arg(0)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
