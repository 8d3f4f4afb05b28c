// The display-less drawing back-end against the GL back-end on a real GL picture (Xvfb): the same
// drawing on both, byte for byte where the game's logic depends on it (sprite sheets laid out and cut,
// pixmap writes and reads, clearing), and within stated bounds everywhere else.
#include "draw_test_support.h"

#include "backends/gl1/gl_draw2d.h"
#include "backends/null/null_draw2d.h"
#include "game/embedded_assets.h"
#include "render/image.h"
#include "render/image_font.h"
#include "render/pixmap_loader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace draw_test;

namespace {

enum class Backend { GL, Null };

[[maybe_unused]] const char* Name(Backend backend) {
    return backend == Backend::GL ? "gl" : "null";
}

constexpr int PICTURE_W = 640;
constexpr int PICTURE_H = 480;

// A scene draws onto the cleared picture at the default state and returns the pictures it read
// back (the whole picture unless it grabs rectangles of its own).
struct Scene {
    std::string name;
    std::function<std::vector<TPixmapPtr>()> draw;
};

std::vector<TPixmapPtr> WholePicture() {
    return {GrabPixmap(0, 0, PICTURE_W, PICTURE_H)};
}

void OpenOn(Backend backend) {
    if (backend == Backend::GL) {
        SetGraphicsDriver(TestDrawDriver(), GRAPHICS_BACKBUFFER);
    } else {
        SetGraphicsDriver(NullDraw2DDriver(), GRAPHICS_BACKBUFFER);
    }
    ASSERT_TRUE(OpenGraphics(PICTURE_W, PICTURE_H, 0, 60, GRAPHICS_BACKBUFFER)) << GraphicsError();
}

// Every scene on one back-end, each from a cleared picture at the default state. Images made by the
// scenes are re-made as the back-end's frames on first draw, as after any new context.
std::vector<std::vector<TPixmapPtr>> RenderAll(Backend backend, const std::vector<Scene>& scenes) {
    std::vector<std::vector<TPixmapPtr>> results;
    OpenOn(backend);
    for (const Scene& scene : scenes) {
        ResetDrawing();
        SetImageFont(nullptr);
        results.push_back(scene.draw());
    }
    CloseOpenedGraphics();
    return results;
}

// Differences between the reference picture and the null back-end's.
struct Difference {
    int pixels = 0;   // pixels with any channel different
    int largest = 0;  // the largest difference of one channel
    int off_edge = 0; // differing pixels whose 3 x 3 neighbourhood in the reference is uniform
    int first_x = -1, first_y = -1;
};

Difference Compare(const TPixmapPtr& reference, const TPixmapPtr& actual) {
    Difference d;
    for (int y = 0; y < reference->height; ++y) {
        for (int x = 0; x < reference->width; ++x) {
            const uint8_t* r = reference->PixelPtr(x, y);
            const uint8_t* a = actual->PixelPtr(x, y);
            int worst = 0;
            for (int c = 0; c < 4; ++c) worst = std::max(worst, std::abs(r[c] - a[c]));
            if (worst == 0) continue;
            if (d.pixels++ == 0) {
                d.first_x = x;
                d.first_y = y;
            }
            d.largest = std::max(d.largest, worst);
            bool uniform = true;
            for (int ny = std::max(0, y - 1); ny <= std::min(reference->height - 1, y + 1); ++ny) {
                for (int nx = std::max(0, x - 1); nx <= std::min(reference->width - 1, x + 1); ++nx)
                    uniform = uniform && PixelOf(reference, nx, ny) == PixelOf(reference, x, y);
            }
            if (uniform) ++d.off_edge;
        }
    }
    return d;
}

// Renders the scenes on both back-ends and asserts every picture identical.
void ExpectIdentical(const std::vector<Scene>& scenes) {
    const auto gl = RenderAll(Backend::GL, scenes);
    const auto null = RenderAll(Backend::Null, scenes);
    ASSERT_EQ(gl.size(), scenes.size());
    ASSERT_EQ(null.size(), scenes.size());
    for (size_t i = 0; i < scenes.size(); ++i) {
        ASSERT_EQ(gl[i].size(), null[i].size()) << scenes[i].name;
        for (size_t k = 0; k < gl[i].size(); ++k) {
            if (!gl[i][k] && !null[i][k]) continue;
            EXPECT_TRUE(SamePixels(gl[i][k], null[i][k], scenes[i].name + "_" + std::to_string(k)));
        }
    }
}

TImagePtr LoadSheet(const std::string& name, int flags) {
    return LoadImage("incbin::graphx\\" + name, flags);
}

// A pixmap with every kind of texel a frame can hold: opaque colours, black (the mask colour),
// and a sweep of alpha through the alpha-test threshold.
TPixmapPtr TestPattern(int w, int h, int format) {
    TPixmapPtr p = CreatePixmap(w, h, PF_RGBA8888);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool hole = ((x / 3) + (y / 4)) % 5 == 0;
            PutPixel(p, x, y,
                     {hole ? 0 : (37 * x + 11 * y) & 255, hole ? 0 : (5 * x * y + 90) & 255,
                      hole ? 0 : (200 - 3 * y) & 255, (x * 255 / std::max(1, w - 1) + 13 * y) & 255});
        }
    }
    return format == PF_RGBA8888 ? p : p->Convert(format);
}

class NullDraw2DTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        register_embedded_assets();
        InitPixmapLoaders();
        InitFontLoaders();
        SetImageMaskColor(0, 0, 0);
        SetAutoCenterHandle(0);
    }
};

} // namespace

TEST_F(NullDraw2DTest, GameSheetsLaidOutAndGrabbedAreByteIdentical) {
    // As the game builds its sprites: the sheet drawn at (0, 0) in the default state onto a cleared
    // picture, the frames grabbed from it. The whole picture covers every grab rectangle.
    std::vector<Scene> scenes;
    for (const char* sheet : {"RetroBorderSpr.png", "Brakkovane_ms.png", "Brakkovane_sf.png",
                              "Brakkovane_bg.png", "Brakkovane_sp.png", "dmpointer.png", "ovlogo.png"}) {
        scenes.push_back({sheet, [sheet] {
                              TImagePtr image = LoadSheet(sheet, IMAGE_MASKED | IMAGE_DYNAMIC);
                              EXPECT_TRUE(image) << sheet;
                              Cls();
                              DrawImage(image, 0, 0, 0);
                              return WholePicture();
                          }});
    }
    // The grabbed frames drawn back as the game draws them each frame, at whole positions.
    scenes.push_back({"grabbed_frames_redrawn", [] {
                          TImagePtr sheet = LoadSheet("Brakkovane_sf.png", IMAGE_MASKED | IMAGE_DYNAMIC);
                          Cls();
                          DrawImage(sheet, 0, 0, 0);
                          TImagePtr player = CreateImage(40, 27, 10, IMAGE_MASKED | IMAGE_DYNAMIC);
                          for (int i = 0; i < 10; ++i)
                              GrabImage(player, 1 + 41 * (i % 5), 1 + 28 * (i / 5), i);
                          TImagePtr tank = CreateImage(55, 25, 5, IMAGE_MASKED | IMAGE_DYNAMIC);
                          for (int i = 0; i < 5; ++i) GrabImage(tank, 1 + 56 * i, 255, i);
                          Cls();
                          for (int i = 0; i < 10; ++i) DrawImage(player, 30.0f + 45 * i, 300, i);
                          for (int i = 0; i < 5; ++i) DrawImage(tank, 30.0f + 60 * i, 350, i);
                          std::vector<TPixmapPtr> out = WholePicture();
                          out.push_back(player->pixmaps[3]);
                          out.push_back(tank->pixmaps[4]);
                          return out;
                      }});
    ExpectIdentical(scenes);
}

TEST_F(NullDraw2DTest, SyntheticFramesOnThePixelGridAreByteIdentical) {
    // Masked and unmasked, filtered and not, with and without alpha (RGB pixmaps have none), drawn in
    // the mask and solid blends at whole positions, some partly off the picture.
    struct Variant {
        const char* name;
        int format;
        int flags;
    };
    const Variant variants[] = {
        {"rgba_plain", PF_RGBA8888, 0},
        {"rgba_filtered", PF_RGBA8888, IMAGE_FILTERED},
        {"rgba_masked_filtered_mip", PF_RGBA8888, IMAGE_MASKED | IMAGE_FILTERED | IMAGE_MIPMAPPED},
        {"rgb_masked", PF_RGB888, IMAGE_MASKED},
        {"rgb_masked_filtered", PF_RGB888, IMAGE_MASKED | IMAGE_FILTERED},
        {"rgb_plain_filtered", PF_RGB888, IMAGE_FILTERED},
        {"grey_masked_mip", PF_I8, IMAGE_MASKED | IMAGE_MIPMAPPED},
    };
    // Sizes below, at and above powers of two; positions inside, across each edge and corner.
    const int sizes[][2] = {{37, 23}, {64, 64}, {1, 1}, {300, 5}, {129, 70}};
    const int places[][2] = {{10, 10}, {-15, 40}, {600, 100}, {200, -9}, {250, 460}, {-20, -20}, {620, 470}};
    std::vector<Scene> scenes;
    for (const Variant& v : variants) {
        for (int blend : {BLEND_MASK, BLEND_SOLID}) {
            scenes.push_back({std::string(v.name) + (blend == BLEND_MASK ? "_mask" : "_solid"),
                              [v, blend, &sizes, &places] {
                                  SetBlend(blend);
                                  int i = 0;
                                  for (const auto& size : sizes) {
                                      TImagePtr image =
                                          LoadImage(TestPattern(size[0], size[1], v.format), v.flags);
                                      for (const auto& place : places) {
                                          DrawImage(image, static_cast<float>(place[0] + 3 * i),
                                                    static_cast<float>(place[1] + 5 * i));
                                          ++i;
                                      }
                                  }
                                  return WholePicture();
                              }});
        }
    }
    // Tinted and faded, still on the grid: the texel times colour and the alpha test by bytes.
    scenes.push_back({"tinted_and_faded", [] {
                          TImagePtr image = LoadImage(TestPattern(60, 40, PF_RGBA8888), IMAGE_FILTERED);
                          int i = 0;
                          for (int blend : {BLEND_MASK, BLEND_SOLID}) {
                              SetBlend(blend);
                              for (float alpha : {1.0f, 0.75f, 0.5f, 0.2f}) {
                                  SetAlpha(alpha);
                                  SetColor(255 - 40 * i, 90 + 20 * i, 17 * i);
                                  DrawImage(image, static_cast<float>(10 + 70 * i), 30);
                                  ++i;
                              }
                          }
                          return WholePicture();
                      }});
    // The other blends on the grid: the blend arithmetic by bytes.
    scenes.push_back({"blends_on_grid", [] {
                          TImagePtr image = LoadImage(TestPattern(90, 70, PF_RGBA8888), 0);
                          SetBlend(BLEND_SOLID);
                          DrawImage(LoadImage(TestPattern(400, 200, PF_RGB888), 0), 0, 0);
                          int i = 0;
                          for (int blend : {BLEND_ALPHA, BLEND_LIGHT, BLEND_SHADE}) {
                              SetBlend(blend);
                              SetColor(255, 200 - 50 * i, 255);
                              SetAlpha(1.0f - 0.3f * i);
                              DrawImage(image, static_cast<float>(20 + 100 * i), 40);
                              DrawImage(image, static_cast<float>(60 + 100 * i), 80);
                              ++i;
                          }
                          return WholePicture();
                      }});
    ExpectIdentical(scenes);
}

TEST_F(NullDraw2DTest, PixmapReadsWritesAndClearsAreByteIdentical) {
    std::vector<Scene> scenes;
    scenes.push_back({"grab_rectangles_partly_outside", [] {
                          SetBlend(BLEND_SOLID);
                          DrawImage(LoadImage(TestPattern(640, 480, PF_RGB888), 0), 0, 0);
                          std::vector<TPixmapPtr> out;
                          const int rects[][4] = {{-10, -10, 50, 50}, {620, 470, 40, 40}, {-5, 100, 700, 3},
                                                  {1000, 1000, 5, 5}, {0, 0, 640, 480},   {639, 479, 1, 1},
                                                  {300, -20, 1, 30},  {-700, 10, 20, 20}};
                          for (const auto& r : rects) out.push_back(GrabPixmap(r[0], r[1], r[2], r[3]));
                          out.push_back(GrabPixmap(10, 10, 0, 5)); // empty: null on both
                          return out;
                      }});
    scenes.push_back(
        {"pixmaps_written", [] {
             // Written as they are in every blend mode, partly off the picture and in
             // every source format, clipped by the viewport.
             SetColor(200, 10, 10);
             DrawRect(0, 0, 640, 480);
             int i = 0;
             const int formats[] = {PF_RGBA8888, PF_RGB888, PF_BGRA8888, PF_BGR888, PF_I8, PF_A8};
             for (int blend : {BLEND_LIGHT, BLEND_ALPHA, BLEND_MASK}) {
                 SetBlend(blend);
                 for (int format : formats) {
                     DrawPixmap(TestPattern(45, 33, format), -20 + 110 * (i % 7), -10 + 80 * (i / 7));
                     ++i;
                 }
             }
             SetViewport(100, 300, 200, 100);
             DrawPixmap(TestPattern(300, 200, PF_RGBA8888), 50, 250);
             SetViewport(0, 0, 640, 480);
             DrawPixmap(TestPattern(100, 100, PF_RGBA8888), 590, 430);
             std::vector<TPixmapPtr> out = WholePicture();
             out.push_back(GrabPixmap(580, 420, 100, 100));
             return out;
         }});
    scenes.push_back(
        {"cls_colours_and_viewports", [] {
             std::vector<TPixmapPtr> out;
             const int colours[][3] = {{0, 0, 0}, {255, 255, 255}, {1, 128, 254}, {-40, 300, 77}};
             for (const auto& c : colours) {
                 SetClsColor(c[0], c[1], c[2]);
                 Cls();
                 out.push_back(GrabPixmap(0, 0, 8, 8));
             }
             SetClsColor(90, 20, 200);
             SetViewport(30, 40, 100, 50);
             Cls();
             SetViewport(600, 450, 100, 100); // partly outside the picture
             SetClsColor(10, 250, 10);
             Cls();
             SetViewport(0, 0, 640, 480);
             out.push_back(GrabPixmap(0, 0, 640, 480));
             return out;
         }});
    ExpectIdentical(scenes);
}

namespace {

// A sprite with soft edges and every alpha, centred handle.
TImagePtr SoftSprite(int w, int h, int flags) {
    TPixmapPtr p = CreatePixmap(w, h, PF_RGBA8888);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const float dx = (x + 0.5f - w * 0.5f) / (w * 0.5f), dy = (y + 0.5f - h * 0.5f) / (h * 0.5f);
            const float r = std::sqrt(dx * dx + dy * dy);
            const int alpha = std::clamp(static_cast<int>((1.0f - r) * 400.0f), 0, 255);
            PutPixel(p, x, y, {(40 + 7 * x) & 255, (30 + 11 * y) & 255, 180, alpha});
        }
    }
    TImagePtr image = LoadImage(p, flags);
    CenterImageHandle(image);
    return image;
}

// The backdrop the blended scenes draw over: colour ramps, so every blend has something to work on.
void DrawBackdrop() {
    SetBlend(BLEND_SOLID);
    DrawImage(LoadImage(TestPattern(640, 480, PF_RGB888), 0), 0, 0);
}

struct CloseScene {
    Scene scene;
    int max_differing;          // differing pixels allowed (about twice what the back-end gives now)
    int max_channel_difference; // the largest difference of one channel allowed
    bool edges_only;            // every differing pixel must lie on an edge of the reference picture
};

} // namespace

TEST_F(NullDraw2DTest, EverythingElseIsCloseToGL) {
    std::vector<CloseScene> scenes;
    auto add = [&scenes](const std::string& name, int max_differing, int max_difference, bool edges_only,
                         std::function<void()> draw) {
        const Scene scene{name, [draw] {
                              draw();
                              return WholePicture();
                          }};
        scenes.push_back({scene, max_differing, max_difference, edges_only});
    };
    const int nearest = IMAGE_MASKED;
    const int filtered = IMAGE_MASKED | IMAGE_FILTERED;
    add("scaled_sprites_nearest", 1200, 255, true, [=] {
        TImagePtr sheet = LoadSheet("Brakkovane_sf.png", nearest);
        const float scales[] = {2.0f, 0.5f, 1.37f, 0.73f};
        for (int i = 0; i < 4; ++i) {
            SetScale(scales[i], scales[i]);
            DrawImage(sheet, static_cast<float>(10 + 150 * i), 10);
        }
    });
    add("scaled_sprites_filtered", 100, 12, false, [=] {
        TImagePtr sprite = SoftSprite(40, 27, filtered);
        for (int i = 0; i < 12; ++i) {
            SetScale(0.4f + 0.3f * i, 0.5f + 0.2f * i);
            DrawImage(sprite, static_cast<float>(40 + 50 * (i % 6)), static_cast<float>(80 + 200 * (i / 6)));
        }
    });
    add("rotated_sprites", 8000, 255, true, [=] {
        TImagePtr sheet = LoadSheet("Brakkovane_sf.png", nearest);
        TImagePtr soft = SoftSprite(60, 40, filtered);
        const float angles[] = {30.0f, 90.0f, 45.0f, 180.0f, -17.5f, 270.0f};
        for (int i = 0; i < 6; ++i) {
            SetRotationScale(angles[i], 1.0f + 0.25f * (i % 3), 1.0f);
            SetImageHandle(sheet, 60.0f, 50.0f);
            DrawImage(sheet, static_cast<float>(100 + 200 * (i % 3)),
                      static_cast<float>(100 + 250 * (i / 3)));
        }
        SetRotationScale(0.0f, 1.0f, 1.0f);
    });
    for (int blend : {BLEND_ALPHA, BLEND_LIGHT, BLEND_SHADE}) {
        add("blend_" + std::to_string(blend) + "_rotated", 150, 12, false, [=] {
            DrawBackdrop();
            TImagePtr soft = SoftSprite(50, 50, filtered);
            TImagePtr hard = SoftSprite(30, 20, nearest);
            SetBlend(blend);
            for (int i = 0; i < 20; ++i) {
                SetRotationScale(18.0f * i, 0.6f + 0.1f * (i % 7), 0.8f + 0.05f * i);
                SetColor(255, 255 - 10 * i, 100 + 7 * i);
                SetAlpha(0.3f + 0.035f * i);
                DrawImage(i % 2 ? soft : hard, static_cast<float>(40 + 30 * i),
                          static_cast<float>(60 + 17 * i));
            }
        });
    }
    add("half_pixel_placements", 500, 255, true, [=] {
        // Centred handles of odd sizes put texel edges on pixel centres.
        TImagePtr odd = LoadImage(TestPattern(21, 13, PF_RGBA8888), nearest);
        TImagePtr odd_filtered = LoadImage(TestPattern(21, 13, PF_RGBA8888), filtered);
        CenterImageHandle(odd);
        CenterImageHandle(odd_filtered);
        for (int i = 0; i < 10; ++i) {
            DrawImage(odd, 30.0f + 40 * i, 50.0f);
            DrawImage(odd_filtered, 30.0f + 40 * i, 100.0f);
            DrawImage(odd, 30.25f + 40 * i, 150.75f);
        }
    });
    add("rects_lines_points", 40, 255, true, [] {
        SetColor(250, 200, 40);
        DrawRect(10.5f, 10.25f, 100.3f, 40.7f);
        SetRotation(33.0f);
        DrawRect(200, 20, 120, 60);
        SetRotation(0.0f);
        SetColor(90, 250, 250);
        for (int i = 0; i < 24; ++i) {
            const float a = i * 15.0f * 0.01745329f;
            DrawLine(320, 240, 320 + 150 * std::cos(a), 240 + 150 * std::sin(a), 0);
            DrawLine(100.3f + i * 3.7f, 300.6f, 130.2f + i * 2.1f, 470.1f - i, 1);
        }
        SetLineWidth(3.0f);
        DrawLine(400, 60, 630, 90);
        DrawLine(600, 120, 560, 300);
        SetLineWidth(1.0f);
        for (int i = 0; i < 30; ++i) Plot(500.0f + i * 4.25f, 400.0f + i * 0.5f);
    });
    add("ovals_and_polys", 40, 255, true, [] {
        SetColor(200, 90, 255);
        DrawOval(20, 20, 100, 100);
        DrawOval(150.5f, 30.25f, 31, 30);
        DrawOval(220, 20, 10, 10);
        SetRotation(20.0f);
        DrawOval(300, 40, 200, 80);
        SetRotation(0.0f);
        SetColor(40, 220, 90);
        DrawPoly({50, 200, 250, 220, 180, 400});
        DrawPoly({300, 200, 450, 200, 450, 350, 380, 260, 300, 350}); // concave
        SetBlend(BLEND_ALPHA);
        SetAlpha(0.5f);
        DrawPoly({500, 200, 630, 300, 500, 400, 600, 300}); // self-overlapping fan
    });
    add("text", 60, 40, false, [] {
        TImageFontPtr font = LoadImageFont("incbin::fonts\\joystix.ttf", 12, FONT_SMOOTH);
        ASSERT_TRUE(font);
        SetImageFont(font);
        DrawText("SCORE 0123456789 HI-SCORE", 10, 10);
        SetColor(255, 200, 0);
        DrawText("Game Over!", 10.5f, 40.25f);
        SetScale(2.0f, 2.0f);
        DrawText("STAGE 3", 10, 80);
        SetScale(0.5f, 0.5f);
        DrawText("tiny text at half size", 10, 150);
        SetRotationScale(30.0f, 1.5f, 1.5f);
        DrawText("TILTED", 300, 200);
        SetRotationScale(0.0f, 1.0f, 1.0f);
        SetImageFont(nullptr);
        SetColor(255, 255, 255);
        DrawText("Built-in font 1x", 10, 300);
        SetScale(3.0f, 2.0f);
        DrawText("3x2", 10, 330);
        SetScale(1.0f, 1.0f);
        SetBlend(BLEND_LIGHT);
        SetAlpha(0.6f);
        DrawText("light blended", 10, 400);
    });
    add("viewport_clipping", 8000, 255, true, [] {
        TImagePtr sheet = LoadSheet("Brakkovane_sf.png", nearest);
        SetViewport(50, 60, 200, 150);
        DrawImage(sheet, 0, 0);
        SetRotation(10.0f);
        DrawImage(sheet, 100, 100);
        SetRotation(0.0f);
        SetColor(255, 0, 0);
        DrawLine(0, 0, 640, 480);
        DrawOval(200, 150, 120, 120);
        SetViewport(300, 250, 250, 200);
        SetColor(255, 255, 255);
        SetScale(1.5f, 1.5f);
        DrawImage(sheet, 280, 240);
        SetScale(1.0f, 1.0f);
        SetViewport(0, 0, 640, 480);
    });

    std::vector<Scene> plain;
    for (const CloseScene& s : scenes) plain.push_back(s.scene);
    const auto gl = RenderAll(Backend::GL, plain);
    const auto null = RenderAll(Backend::Null, plain);
    ASSERT_EQ(gl.size(), scenes.size());
    ASSERT_EQ(null.size(), scenes.size());
    std::printf("%-28s %9s %8s %8s\n", "scene", "differing", "largest", "off-edge");
    for (size_t i = 0; i < scenes.size(); ++i) {
        const CloseScene& s = scenes[i];
        const Difference d = Compare(gl[i][0], null[i][0]);
        std::printf("%-28s %9d %8d %8d\n", s.scene.name.c_str(), d.pixels, d.largest, d.off_edge);
        SavePixmapPNG(gl[i][0], OutPath("close_" + s.scene.name + "_gl.png"));
        SavePixmapPNG(null[i][0], OutPath("close_" + s.scene.name + "_null.png"));
        EXPECT_LE(d.pixels, s.max_differing) << s.scene.name;
        EXPECT_LE(d.largest, s.max_channel_difference)
            << s.scene.name << ", first at " << d.first_x << "," << d.first_y;
        if (s.edges_only) {
            EXPECT_EQ(d.off_edge, 0) << s.scene.name << ": differences away from any edge";
        }
    }
}
