// The same additive 40 x 27 sprites drawn through SDL2's own batching OpenGL renderer and through our
// DrawImage, on the same X server, so their ratio is measured rather than remembered. Each frame
// clears, draws N sprites at the same scattered places, presents without waiting for a vertical
// blank, and waits until the X server has taken the picture (so that no side leaves presents piled up
// in the server for the other to pay for). Each point draws for at least a second.
//
// `make bench` runs each side in a process of its own, taking turns round after round (scripts/
// run-bench), so that both see the same state of a machine shared with other work; scripts/
// bench-summary gives each side's median over the rounds, their spread and the ratio.
#include "backends/gl1/gl_draw2d.h"
#include "backends/gl_common/gl_window.h"
#include "bench/bench_backends.h"
#include "render/draw2d.h"
#include "render/graphics.h"
#include "render/image.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
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

// Returns once the X server has done everything asked of it so far for this window's display.
void WaitForDisplay(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window && SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11)
        XSync(info.info.x11.display, False);
}

// SDL's renderer, its window and the sprite texture: made on its first turn, kept for all of them.
struct SdlSide {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* sprite = nullptr;
    std::string error;

    bool Open() {
        if (sprite) return true;
        if (!error.empty()) return false;
        SDL_SetHint(SDL_HINT_RENDER_DRIVER, "opengl");
        // Naming a driver turns SDL's batching off unless it is asked for.
        SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return Fail("no display (run under Xvfb)");
        window = SDL_CreateWindow("peer", 0, 0, 640, 480, SDL_WINDOW_OPENGL);
        renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED) : nullptr;
        SDL_RendererInfo info{};
        if (!renderer || SDL_GetRendererInfo(renderer, &info) != 0 || SDL_strcmp(info.name, "opengl") != 0)
            return Fail("SDL's opengl renderer is not available");
        const std::vector<uint8_t> pixels = SpritePixels();
        sprite = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_STATIC, kSpriteW,
                                   kSpriteH);
        if (!sprite) return Fail("SDL could not make the sprite texture");
        SDL_UpdateTexture(sprite, nullptr, pixels.data(), kSpriteW * 4);
        SDL_SetTextureBlendMode(sprite, SDL_BLENDMODE_ADD);
        return true;
    }

    bool Fail(const char* why) {
        error = why;
        return false;
    }

    void Close() {
        if (sprite) SDL_DestroyTexture(sprite);
        if (renderer) SDL_DestroyRenderer(renderer);
        if (window) SDL_DestroyWindow(window);
        if (window || renderer) SDL_QuitSubSystem(SDL_INIT_VIDEO);
        *this = SdlSide{};
    }
};

SdlSide& Sdl() {
    static SdlSide side;
    return side;
}

void BM_SDLRenderer(benchmark::State& state, int count) {
    SdlSide& sdl = Sdl();
    if (!sdl.Open()) {
        state.SkipWithError(sdl.error.c_str());
        return;
    }
    SDL_Renderer* renderer = sdl.renderer;
    for (auto _ : state) {
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        for (int i = 0; i < count; ++i) {
            const SDL_FRect dst{SpriteX(i) - kSpriteW / 2.0f, SpriteY(i) - kSpriteH / 2.0f,
                                static_cast<float>(kSpriteW), static_cast<float>(kSpriteH)};
            SDL_RenderCopyF(renderer, sdl.sprite, nullptr, &dst);
        }
        SDL_RenderPresent(renderer);
        WaitForDisplay(sdl.window);
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_DrawImage(benchmark::State& state, int count) {
    static TImagePtr sprite;
    if (!CurrentGraphics()) {
        InstallWindowBackends();
        SetFlipUnpaced(true);
        SetGraphicsWindowed(true, 1);
        if (!OpenGraphics(640, 480, 0, 60, 2)) {
            state.SkipWithError("no graphics (run under Xvfb)");
            return;
        }
    }
    if (!sprite) {
        const std::vector<uint8_t> pixels = SpritePixels();
        TPixmapPtr pixmap = CreatePixmap(kSpriteW, kSpriteH, PF_RGBA8888);
        for (int y = 0; y < kSpriteH; ++y)
            for (int x = 0; x < kSpriteW; ++x)
                for (int c = 0; c < 4; ++c) pixmap->PixelPtr(x, y)[c] = pixels[(y * kSpriteW + x) * 4 + c];
        sprite = LoadImage(pixmap, IMAGE_MASKED | IMAGE_DYNAMIC);
        CenterImageHandle(sprite);
    }
    SetRotationScale(0.0f, 1.0f, 1.0f);
    for (auto _ : state) {
        Cls();
        SetBlend(BLEND_LIGHT);
        SetColor(255, 255, 255);
        for (int i = 0; i < count; ++i) DrawImage(sprite, SpriteX(i), SpriteY(i));
        SetBlend(BLEND_MASK);
        Flip(0);
        WaitForDisplay(GLGraphicsWindow());
    }
    state.SetItemsProcessed(state.iterations() * count);
}

// Each point draws for at least this many seconds.
constexpr double kSecondsPerPoint = 1.0;
constexpr int kSpriteCounts[] = {1000, 8000};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    // Named side/sprites_N: scripts/run-bench picks one side and count per process by this name.
    using side_function = void (*)(benchmark::State&, int);
    const std::pair<const char*, side_function> sides[] = {{"BM_SDLRenderer", BM_SDLRenderer},
                                                           {"BM_DrawImage", BM_DrawImage}};
    for (const auto& [side, function] : sides)
        for (int count : kSpriteCounts)
            benchmark::RegisterBenchmark((std::string(side) + "/sprites_" + std::to_string(count)).c_str(),
                                         function, count)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->MinTime(kSecondsPerPoint);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Sdl().Close();
    return 0;
}
