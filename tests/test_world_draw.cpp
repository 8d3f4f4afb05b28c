// The stereo drawer, the scrolling layers and the loaded resources, on the real picture.
#include "game/flow.h"
#include "game/layers.h"
#include "game/sound.h"
#include "tests/world_test_support.h"

#include <algorithm>
#include <cmath>
#include <functional>

using draw_test::ReadPicture;
using draw_test::Rgba;
using world_test::WorldTest;

namespace {

// A 4 x 4 opaque white image with its handle at the top-left corner.
TImagePtr WhiteSquare() {
    SetAutoCenterHandle(0);
    TImagePtr image = CreateImage(4, 4, 1, 0);
    image->SetPixmap(0, draw_test::SolidPixmap(4, 4, {255, 255, 255, 255}));
    return image;
}

constexpr Rgba black{0, 0, 0, 255};

} // namespace

// --- Stereo drawing -------------------------------------------------------------------------------

TEST_F(WorldTest, AnaglyphPairOfAWhiteTexelInModeOne) {
    TImagePtr white = WhiteSquare();
    mode_3d = 1;
    draw3d.slc(140, 4, 40, 4, 100, 20);
    draw3d.sip(BLEND_MASK, 1.0f, 0.0f, 1.0f, 1.0f);

    // Eye offset 0: both copies on the same texels add up.
    draw3d.i3d(white, 100, 100, 0, 0.0f, 0.0f, 1);
    EXPECT_EQ(ReadPicture(101, 101), (Rgba{144, 104, 60, 255}));

    // Eye offset 10: the left-eye copy 10 pixels left, the right-eye copy 10 pixels right, nothing between.
    draw3d.i3d(white, 300, 100, 0, 10.0f, 0.0f, 1);
    EXPECT_EQ(ReadPicture(291, 101), (Rgba{140, 4, 40, 255}));
    EXPECT_EQ(ReadPicture(311, 101), (Rgba{4, 100, 20, 255}));
    EXPECT_EQ(ReadPicture(301, 101), black);

    // A negative offset swaps the sides.
    draw3d.i3d(white, 300, 200, 0, -10.0f, 0.0f, 1);
    EXPECT_EQ(ReadPicture(311, 201), (Rgba{140, 4, 40, 255}));
    EXPECT_EQ(ReadPicture(291, 201), (Rgba{4, 100, 20, 255}));

    // Two passes double both tints; the red sum clamps at 255.
    draw3d.i3d(white, 100, 300, 0, 0.0f, 0.0f, 2);
    EXPECT_EQ(ReadPicture(101, 301), (Rgba{255, 208, 120, 255}));

    // The eye tints replace the caller's colour and blend; the drawer leaves light blend and the
    // right-eye colour behind.
    EXPECT_EQ(GetBlend(), BLEND_LIGHT);
    int r = 0, g = 0, b = 0;
    GetColor(r, g, b);
    EXPECT_EQ((Rgba{r, g, b, 0}), (Rgba{4, 100, 20, 0}));
}

TEST_F(WorldTest, PassCountAndFlatDrawing) {
    TImagePtr white = WhiteSquare();
    draw3d.slc(140, 4, 40, 4, 100, 20);

    mode_3d = 1;
    draw3d.i3d(white, 100, 100, 0, 0.0f, 0.0f, 0);
    EXPECT_EQ(ReadPicture(101, 101), black) << "3D with no pass draws nothing";

    // Flat: once, in the caller's colour and blend, eye offset and passes ignored.
    mode_3d = 0;
    SetColor(100, 100, 180);
    draw3d.sip(BLEND_MASK, 1.0f, 0.0f, 1.0f, 1.0f);
    draw3d.i3d(white, 100, 100, 0, 10.0f, 0.0f, 0);
    EXPECT_EQ(ReadPicture(101, 101), (Rgba{100, 100, 180, 255}));
    EXPECT_EQ(ReadPicture(91, 101), black);
    draw3d.i3d(white, 200, 100, 0, 0.0f, 0.0f, 2);
    EXPECT_EQ(ReadPicture(201, 101), (Rgba{100, 100, 180, 255})) << "flat drawing does not add up passes";

    // Switching back to 3D uses the colours last set.
    mode_3d = 1;
    draw3d.i3d(white, 300, 100, 0, 0.0f, 0.0f, 1);
    EXPECT_EQ(ReadPicture(301, 101), (Rgba{144, 104, 60, 255}));
}

TEST_F(WorldTest, RotationOffsetLeavesTheRotationTruncated) {
    TImagePtr white = WhiteSquare();
    for (int mode : {0, 1}) {
        mode_3d = mode;
        draw3d.sip(BLEND_MASK, 1.0f, 12.7f, 1.0f, 1.0f);
        draw3d.i3d(white, 100, 100, 0, 0.0f, 3.0f, 1);
        EXPECT_FLOAT_EQ(GetRotation(), 12.0f) << "mode " << mode;
        // Without an offset the rotation is not touched.
        draw3d.sip(BLEND_MASK, 1.0f, 12.7f, 1.0f, 1.0f);
        draw3d.i3d(white, 100, 100, 0, 0.0f, 0.0f, 1);
        EXPECT_FLOAT_EQ(GetRotation(), 12.7f) << "mode " << mode;
    }
}

TEST_F(WorldTest, CentredTextSitsOnItsPoint) {
    int x0, y0, x1, y1;
    // Before any sip the text scale is 0, so centring moves nothing: the text starts at the point.
    SetColor(255, 255, 255);
    draw3d.t3d("GET READY", 320, 240, 0.0f, 1, 1);
    ASSERT_TRUE(draw_test::LitBox(GrabPixmap(0, 0, 640, 480), x0, y0, x1, y1));
    EXPECT_GE(x0, 320);
    EXPECT_GE(y0, 240);

    Cls();
    draw3d.sip(BLEND_ALPHA, 1.0f, 0.0f, 0.8f, 0.8f);
    draw3d.t3d("GET READY", 320, 240, 0.0f, 1, 1);
    ASSERT_TRUE(draw_test::LitBox(GrabPixmap(0, 0, 640, 480), x0, y0, x1, y1));
    EXPECT_NEAR((x0 + x1) / 2.0, 320.0, 3.0) << x0 << ".." << x1;
    EXPECT_NEAR((y0 + y1) / 2.0, 240.0, 4.0) << y0 << ".." << y1;
    EXPECT_LT(x1 - x0, TextWidth("GET READY")) << "drawn at 0.8 of its width";

    // In 3D the string comes twice, in the two tints, eye offset apart.
    Cls();
    mode_3d = 1;
    draw3d.slc(140, 0, 0, 0, 100, 0);
    draw3d.sip(BLEND_ALPHA, 1.0f, 0.0f, 1.0f, 1.0f);
    draw3d.t3d("I", 320, 240, 30.0f, 0, 1);
    TPixmapPtr picture = GrabPixmap(0, 0, 640, 480);
    int red = 0, green = 0;
    for (int y = 240; y < 240 + TextHeight(); ++y)
        for (int x = 280; x < 380; ++x) {
            const Rgba c = draw_test::PixelOf(picture, x, y);
            if (c.r > 0) red += x < 320 ? 1 : -1000;
            if (c.g > 0) green += x > 320 ? 1 : -1000;
        }
    EXPECT_GT(red, 0) << "left-eye copy left of the point, only";
    EXPECT_GT(green, 0) << "right-eye copy right of the point, only";
}

// --- Scrolling layers -----------------------------------------------------------------------------

TEST_F(WorldTest, LayersWrapAtTheirFirstFrames) {
    space_tag::init();
    surface_tag::init();
    moonscape_tag::init();
    EXPECT_EQ(surface_layers[1].frame, 1);
    EXPECT_EQ(moon_layers[1].frame, 1);
    int surface_wrap = 0, moon_wrap = 0, space_wrap = 0;
    for (int frame = 1; frame <= 301; ++frame) {
        const float s2 = surface_layers[2].x, m1 = moon_layers[1].x, p1 = space_layers[1].x;
        surface_tag::scroll_all(3.0f);
        if (!surface_wrap && surface_layers[2].x > s2) {
            surface_wrap = frame;
            EXPECT_FLOAT_EQ(surface_layers[0].x, 317.0f);
            EXPECT_FLOAT_EQ(surface_layers[1].x, 167.0f);
            EXPECT_FLOAT_EQ(surface_layers[2].x, 469.0f);
        }
        if (!moon_wrap && moon_layers[1].x > m1) {
            moon_wrap = frame;
            EXPECT_FLOAT_EQ(moon_layers[0].x, 179.0f);
        }
        if (!space_wrap && space_layers[1].x > p1) {
            space_wrap = frame;
            EXPECT_FLOAT_EQ(space_layers[0].x, 169.0f);
        }
    }
    EXPECT_EQ(surface_wrap, 51);
    EXPECT_EQ(moon_wrap, 194);
    EXPECT_EQ(space_wrap, 301);
    EXPECT_EQ(moon_layers[1].x, 469.0f - 1.5f * 107) << "moved on from the wrap at 1.5 pixels a frame";
}

// The world shows through the overlay's window only: drawn clipped to it, the frame is the one drawn
// unclipped, flat and in 3D, with the tanks entering from beyond the right edge and the layers
// reaching past the window's sides.
TEST_F(WorldTest, TheWorldClippedToTheOverlaysWindowLooksTheSame) {
    ASSERT_TRUE(overlay_window.has_value());
    const picture_rect window = *overlay_window;
    EXPECT_EQ((std::vector<int>{window.x, window.y, window.w, window.h}),
              (std::vector<int>{168, 20, 304, 441}));
    // The same 60 frames of a stage's start from the same state, the last one's picture: the tanks
    // half in, a surface tile wrapped. `viewport` is set by the caller around them.
    auto sixtieth_frame = [](bool clipped, int mode, const std::vector<int>& viewport) {
        world_test::ResetWorld();
        SetRandomSeed(777);
        mode_3d = mode;
        eye_offset = 6;
        draw3d.slc(140, 4, 40, 4, 100, 20);
        space_tag::init();
        surface_tag::init();
        moonscape_tag::init();
        game_state = state_playing;
        stage_phase = 0;
        tank_tag::init(0);
        const std::optional<picture_rect> window = overlay_window;
        if (!clipped) overlay_window.reset();
        SetViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
        for (int frame = 0; frame < 60; ++frame) draw_world();
        int x = -1, y = -1, w = -1, h = -1;
        GetViewport(x, y, w, h);
        EXPECT_EQ((std::vector<int>{x, y, w, h}), viewport) << "the caller's viewport is put back";
        SetViewport(0, 0, 640, 480);
        overlay_window = window;
        game_state = state_title;
        return GrabPixmap(0, 0, 640, 480);
    };
    const std::vector<int> whole{0, 0, 640, 480};
    for (int mode : {0, 1})
        EXPECT_TRUE(draw_test::SamePixels(sixtieth_frame(false, mode, whole),
                                          sixtieth_frame(true, mode, whole), "world_clipped"))
            << "3D mode " << mode;
    // A narrower viewport of the caller's, across the window's right edge, still bounds the world.
    const std::vector<int> narrow{400, 300, 200, 150};
    EXPECT_TRUE(draw_test::SamePixels(sixtieth_frame(false, 1, narrow), sixtieth_frame(true, 1, narrow),
                                      "world_clipped_narrow"));
}

TEST_F(WorldTest, SurfaceTilesSettleIntoWrappingAt19) {
    surface_tag::init();
    int wraps = 0;
    for (int frame = 0; frame < 3000; ++frame) {
        float before[3];
        for (int i = 0; i < 3; ++i) before[i] = surface_layers[i].x;
        surface_tag::scroll_all(3.0f);
        for (int i = 0; i < 3; ++i) {
            if (surface_layers[i].x <= before[i]) continue;
            ++wraps;
            if (wraps > 3) {
                EXPECT_FLOAT_EQ(before[i] - 3.0f, 19.0f) << "wrap " << wraps;
            }
        }
        // The spacing of neighbouring tiles drifts by a few pixels around 150.
        float xs[3] = {surface_layers[0].x, surface_layers[1].x, surface_layers[2].x};
        std::sort(xs, xs + 3);
        for (int i = 0; i < 2; ++i) {
            EXPECT_GE(xs[i + 1] - xs[i], 147.0f) << "frame " << frame;
            EXPECT_LE(xs[i + 1] - xs[i], 155.0f) << "frame " << frame;
        }
    }
    EXPECT_GT(wraps, 50);
}

// The star field lies furthest back: at eye offset 2 its copies come out swapped (offset -6), the
// moonscape's at -2, the surface's at +2. The red (left-eye) copy of each tile is found by the shift
// that lines it up with the flat drawing of the same tile.
TEST_F(WorldTest, LayersAreDrawnAtTheirDepths) {
    mode_3d = 1;
    eye_offset = 2;
    draw3d.slc(255, 0, 0, 0, 255, 0);
    // Draw one tile of each layer alone, in 3D and flat, and find the shift of the red copy.
    struct layer_case {
        const char* name;
        std::function<void()> draw;
        int expected_left_shift;
        int passes;
    };
    space_tag::init();
    moonscape_tag::init();
    surface_tag::init();
    const layer_case cases[] = {
        {"stars", [] { space_layers[1].scroll(0.0f); }, +6, 1},
        {"moon", [] { moon_layers[1].scroll(0.0f); }, +2, 1},
        {"surface", [] { surface_layers[1].scroll(0.0f); }, -2, 2},
    };
    for (const layer_case& c : cases) {
        mode_3d = 0;
        Cls();
        SetColor(255, 255, 255);
        c.draw();
        TPixmapPtr flat = GrabPixmap(0, 0, 640, 480);
        mode_3d = 1;
        Cls();
        c.draw();
        TPixmapPtr stereo = GrabPixmap(0, 0, 640, 480);
        int best_shift = 99, best_score = -1;
        for (int shift = -8; shift <= 8; ++shift) {
            int score = 0;
            for (int y = 30; y < 450; y += 3)
                for (int x = 20; x < 620; x += 2) {
                    const Rgba f = draw_test::PixelOf(flat, x, y);
                    const Rgba s = draw_test::PixelOf(stereo, x + shift, y);
                    if (f.r > 40 && std::abs(s.r - std::min(255, f.r * c.passes)) <= 2) ++score;
                }
            if (score > best_score) {
                best_score = score;
                best_shift = shift;
            }
        }
        EXPECT_EQ(best_shift, c.expected_left_shift) << c.name;
    }
}

// --- Resources ------------------------------------------------------------------------------------

namespace {

struct image_case {
    const char* name;
    TImagePtr* image;
    int width, height, frames;
    bool centred;
};

} // namespace

TEST_F(WorldTest, ImagesHaveTheirSizesFramesAndHandles) {
    const image_case cases[] = {
        {"space", &img_space, 300, 155, 1, false},   {"background", &img_background, 640, 480, 1, false},
        {"pointer", &img_pointer, 18, 18, 1, false}, {"pause", &img_pause, 640, 480, 1, false},
        {"moon", &img_moon, 300, 298, 2, false},     {"surface", &img_surface, 150, 70, 2, false},
        {"title", &img_title, 299, 30, 1, true},     {"logo", &img_logo, 310, 82, 1, true},
        {"wheel", &img_wheel, 20, 18, 1, true},      {"player", &img_player, 40, 27, 10, true},
        {"particle", &img_particle, 7, 7, 5, true},  {"tank", &img_tank, 55, 25, 5, true},
        {"lazer", &img_lazer, 8, 6, 3, true},        {"border", &img_border, 10, 10, 8, true},
    };
    for (const image_case& c : cases) {
        const TImage* image = c.image->get();
        ASSERT_NE(image, nullptr) << c.name;
        EXPECT_EQ(image->width, c.width) << c.name;
        EXPECT_EQ(image->height, c.height) << c.name;
        EXPECT_EQ(image->pixmaps.size(), static_cast<size_t>(c.frames)) << c.name;
        EXPECT_FLOAT_EQ(image->handle_x, c.centred ? c.width / 2.0f : 0.0f) << c.name;
        EXPECT_FLOAT_EQ(image->handle_y, c.centred ? c.height / 2.0f : 0.0f) << c.name;
        EXPECT_EQ(image->flags & IMAGE_MASKED, IMAGE_MASKED) << c.name;
    }
    ASSERT_NE(game_font, nullptr);
    EXPECT_EQ(GetImageFont(), game_font);
}

namespace {

struct cut {
    TImagePtr* image;
    int frame, x, y;
};

// Every frame holds the sheet's rectangle: black pixels transparent, every other pixel opaque in
// the sheet's colour.
void ExpectFramesCutFrom(const char* sheet_name, const std::vector<cut>& cuts) {
    TPixmapPtr sheet = LoadPixmap(std::string("incbin::") + sheet_name);
    ASSERT_NE(sheet, nullptr) << sheet_name;
    sheet = ConvertPixmap(sheet, PF_RGBA8888);
    for (const cut& c : cuts) {
        TImage& image = **c.image;
        TPixmapPtr frame = ConvertPixmap(image.Lock(c.frame, 1, 0), PF_RGBA8888);
        ASSERT_EQ(frame->width, image.width);
        int mismatches = 0;
        for (int y = 0; y < image.height && mismatches < 3; ++y)
            for (int x = 0; x < image.width && mismatches < 3; ++x) {
                const Rgba s = draw_test::PixelOf(sheet, c.x + x, c.y + y);
                const Rgba f = draw_test::PixelOf(frame, x, y);
                const bool clear = s.a == 0 || (s.r == 0 && s.g == 0 && s.b == 0);
                const bool ok = clear ? f.a == 0 : f == Rgba{s.r, s.g, s.b, 255};
                if (!ok) {
                    ++mismatches;
                    ADD_FAILURE() << sheet_name << " frame " << c.frame << " of the image cut at (" << c.x
                                  << ", " << c.y << "): pixel (" << x << ", " << y << ") is " << f
                                  << ", sheet " << s;
                }
            }
    }
}

} // namespace

TEST_F(WorldTest, FramesHoldTheSheetRectanglesWithBlackTransparent) {
    std::vector<cut> border, moon, sprites;
    for (int i = 0; i < 8; ++i) border.push_back({&img_border, i, 1 + 11 * i, 1});
    for (int i = 0; i < 2; ++i) moon.push_back({&img_moon, i, 300 * i, 0});
    sprites = {{&img_title, 0, 7, 137}, {&img_logo, 0, 4, 168}, {&img_wheel, 0, 208, 11}};
    for (int i = 0; i < 2; ++i) sprites.push_back({&img_surface, i, 1 + 151 * i, 59});
    for (int i = 0; i < 10; ++i) sprites.push_back({&img_player, i, 1 + 41 * (i % 5), 1 + 28 * (i / 5)});
    for (int i = 0; i < 5; ++i) sprites.push_back({&img_particle, i, 208 + 8 * i, 1});
    for (int i = 0; i < 5; ++i) sprites.push_back({&img_tank, i, 1 + 56 * i, 255});
    for (int i = 0; i < 3; ++i) sprites.push_back({&img_lazer, i, 208 + 9 * i, 32});
    ExpectFramesCutFrom("graphx\\RetroBorderSpr.png", border);
    ExpectFramesCutFrom("graphx\\Brakkovane_ms.png", moon);
    ExpectFramesCutFrom("graphx\\Brakkovane_sf.png", sprites);
}

TEST_F(WorldTest, StarFieldKeepsItsOwnTransparency) {
    TPixmapPtr file = ConvertPixmap(LoadPixmap("incbin::graphx\\Brakkovane_sp.png"), PF_RGBA8888);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(PixmapFormatHasAlpha(LoadPixmap("incbin::graphx\\Brakkovane_sp.png")->format));
    TPixmapPtr frame = ConvertPixmap(img_space->Lock(0, 1, 0), PF_RGBA8888);
    EXPECT_TRUE(draw_test::SamePixels(file, frame, "star_field"));
}

TEST_F(WorldTest, EverySoundLoads) {
    // The files decode on a worker; collecting waits for them.
    collect_all_sounds();
    for (const game_sound* s : {&snd_explode, &snd_lazer, &snd_smexpl, &snd_tankhit, &snd_ufohit, &snd_warp,
                                &snd_letsgo, &snd_blast, &snd_title, &snd_thud})
        EXPECT_NE(s->sound, nullptr) << s->name;
    EXPECT_EQ(snd_tankhit.name, "tankhit");
}

TEST_F(WorldTest, MissingSoundIsReportedOnceAndStaysSilent) {
    testing::internal::CaptureStderr();
    game_sound missing = load_sound("Data\\no_such_effect.ogg");
    std::vector<std::string> sounds = world_test::SoundsOf([&] {
        play_sound(missing);
        play_sound(missing);
    });
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(missing.sound, nullptr);
    EXPECT_EQ(missing.name, "no_such_effect");
    EXPECT_NE(errors.find("Data\\no_such_effect.ogg"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("no_such_effect", errors.find("no_such_effect") + 1), std::string::npos)
        << "reported once, when its load is collected: " << errors;
    EXPECT_EQ(sounds, (std::vector<std::string>{"no_such_effect", "no_such_effect"}));
}
