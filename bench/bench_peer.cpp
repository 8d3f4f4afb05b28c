// The same additive 40 x 27 sprites drawn through SDL2's own batching OpenGL renderer and through our
// DrawImage, in one run and on the same X server, so their ratio is measured rather than remembered.
// Each frame clears, draws N sprites at the same scattered places, and presents without waiting.
#include "backends/gl1/gl_draw2d.h"
#include "bench/bench_backends.h"
#include "render/draw2d.h"
#include "render/graphics.h"
#include "render/image.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <vector>

namespace {

constexpr int kSpriteW = 40, kSpriteH = 27;

// An opaque ellipse with a colour ramp on a transparent ground, RGBA bytes.
std::vector<uint8_t> SpritePixels() {
    std::vector<uint8_t> rgba(kSpriteW * kSpriteH * 4);
    for (int y = 0; y < kSpriteH; ++y) {
        for (int x = 0; x < kSpriteW; ++x) {
            uint8_t* px = &rgba[(y * kSpriteW + x) * 4];
            const float dx = (x + 0.5f - 20.0f) / 20.0f;
            const float dy = (y + 0.5f - 13.5f) / 13.5f;
            px[0] = static_cast<uint8_t>(6 * x);
            px[1] = static_cast<uint8_t>(9 * y);
            px[2] = 200;
            px[3] = dx * dx + dy * dy < 1.0f ? 255 : 0;
        }
    }
    return rgba;
}

// The sprite centres of both sides: 61 columns, rows stepping by 7 pixels.
float SpriteX(int i) {
    return 20.0f + static_cast<float>((i * 37) % 600);
}
float SpriteY(int i) {
    return 14.0f + static_cast<float>((i * 7) % 452);
}

void BM_SDLRenderer(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "opengl");
    // Naming a driver turns SDL's batching off unless it is asked for.
    SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        state.SkipWithError("no display (run under Xvfb)");
        return;
    }
    SDL_Window* window = SDL_CreateWindow("peer", 0, 0, 640, 480, SDL_WINDOW_OPENGL);
    SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED) : nullptr;
    SDL_RendererInfo info{};
    if (!renderer || SDL_GetRendererInfo(renderer, &info) != 0 || SDL_strcmp(info.name, "opengl") != 0) {
        state.SkipWithError("SDL's opengl renderer is not available");
    } else {
        std::vector<uint8_t> pixels = SpritePixels();
        SDL_Texture* sprite = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_STATIC,
                                                kSpriteW, kSpriteH);
        SDL_UpdateTexture(sprite, nullptr, pixels.data(), kSpriteW * 4);
        SDL_SetTextureBlendMode(sprite, SDL_BLENDMODE_ADD);
        for (auto _ : state) {
            SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
            SDL_RenderClear(renderer);
            for (int i = 0; i < count; ++i) {
                const SDL_FRect dst{SpriteX(i) - kSpriteW / 2.0f, SpriteY(i) - kSpriteH / 2.0f,
                                    static_cast<float>(kSpriteW), static_cast<float>(kSpriteH)};
                SDL_RenderCopyF(renderer, sprite, nullptr, &dst);
            }
            SDL_RenderPresent(renderer);
        }
        SDL_DestroyTexture(sprite);
        state.SetItemsProcessed(state.iterations() * count);
    }
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void BM_DrawImage(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    if (!CurrentGraphics()) {
        InstallWindowBackends();
        SetFlipUnpaced(true);
        SetGraphicsWindowed(true, 1);
        if (!OpenGraphics(640, 480, 0, 60, 2)) {
            state.SkipWithError("no graphics (run under Xvfb)");
            return;
        }
    }
    std::vector<uint8_t> pixels = SpritePixels();
    TPixmapPtr pixmap = CreatePixmap(kSpriteW, kSpriteH, PF_RGBA8888);
    for (int y = 0; y < kSpriteH; ++y)
        for (int x = 0; x < kSpriteW; ++x)
            for (int c = 0; c < 4; ++c) pixmap->PixelPtr(x, y)[c] = pixels[(y * kSpriteW + x) * 4 + c];
    TImagePtr sprite = LoadImage(pixmap, IMAGE_MASKED | IMAGE_DYNAMIC);
    CenterImageHandle(sprite);
    SetRotationScale(0.0f, 1.0f, 1.0f);
    for (auto _ : state) {
        Cls();
        SetBlend(BLEND_LIGHT);
        SetColor(255, 255, 255);
        for (int i = 0; i < count; ++i) DrawImage(sprite, SpriteX(i), SpriteY(i));
        SetBlend(BLEND_MASK);
        Flip(0);
    }
    state.SetItemsProcessed(state.iterations() * count);
}

// SDL's renderer first: it opens and closes its own window before ours opens.
BENCHMARK(BM_SDLRenderer)
    ->ArgName("sprites")
    ->Arg(1000)
    ->Arg(8000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_DrawImage)
    ->ArgName("sprites")
    ->Arg(1000)
    ->Arg(8000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The console table, then one line per sprite count with both frame times and their ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
            const std::string name = run.benchmark_name();
            const double ms = run.GetAdjustedRealTime();
            const auto slash = name.find('/');
            (name.rfind("BM_SDLRenderer", 0) == 0 ? sdl_ms : ours_ms)[name.substr(slash + 1)] = ms;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const auto& [arg, sdl] : sdl_ms) {
            auto ours = ours_ms.find(arg);
            if (ours == ours_ms.end()) continue;
            std::printf(
                "peer %s: SDL renderer %.2f ms, DrawImage %.2f ms per frame, DrawImage throughput x%.2f\n",
                arg.c_str(), sdl, ours->second, sdl / ours->second);
        }
    }

private:
    std::map<std::string, double> sdl_ms, ours_ms;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
