// Drawing state and primitives on a real GL picture: blend modes, colour and alpha bytes, placement,
// lines, ovals, viewport, pixel write and read-back, and batched against unbatched drawing.
#include "draw_test_support.h"

#include "backends/gl1/gl_draw2d.h"
#include "backends/gl_common/gl_image_frame.h"
#include "render/draw2d_driver.h"
#include "render/image.h"

#include <GL/gl.h>

#include <cmath>

using namespace draw_test;

namespace {

class Draw2DTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureGraphics();
        TestDrawDriver()->SetBatching(true);
        ResetDrawing();
    }
};

// A white opaque image of w x h, unfiltered.
TImagePtr WhiteImage(int w, int h, int flags = 0) {
    return LoadImage(SolidPixmap(w, h, {255, 255, 255, 255}), flags);
}

} // namespace

TEST(Draw2DState, TransformFollowsRotationAndScale) {
    EnsureGraphics();
    SetRotationScale(0.0f, 1.0f, 1.0f);
    SetRotation(90.0f);
    float ix, iy, jx, jy;
    GetTransform(ix, iy, jx, jy);
    EXPECT_NEAR(ix, 0.0f, 1e-6f);
    EXPECT_FLOAT_EQ(iy, -1.0f);
    EXPECT_FLOAT_EQ(jx, 1.0f);
    EXPECT_NEAR(jy, 0.0f, 1e-6f);
    // A local point (10, 0) lands 10 pixels below the translation point.
    EXPECT_NEAR(10 * ix + 0 * iy, 0.0f, 1e-5f);
    EXPECT_FLOAT_EQ(10 * jx + 0 * jy, 10.0f);

    SetScale(2.0f, 3.0f);
    GetTransform(ix, iy, jx, jy);
    EXPECT_FLOAT_EQ(iy, -3.0f);
    EXPECT_FLOAT_EQ(jx, 2.0f);
    float cix, ciy, cjx, cjy;
    GetCollisionTransform(cix, ciy, cjx, cjy);
    EXPECT_EQ(cix, ix);
    EXPECT_EQ(ciy, iy);
    EXPECT_EQ(cjx, jx);
    EXPECT_EQ(cjy, jy);
    float sx, sy;
    GetScale(sx, sy);
    EXPECT_EQ(sx, 2.0f);
    EXPECT_EQ(sy, 3.0f);
    EXPECT_EQ(GetRotation(), 90.0f);

    SetHandle(5.0f, -2.0f);
    float hx, hy;
    GetHandle(hx, hy);
    EXPECT_EQ(hx, 5.0f);
    EXPECT_EQ(hy, -2.0f);
    EXPECT_EQ(TDraw2DGraphics::Current()->handle_x, -5.0f);
    SetRotationScale(0.0f, 1.0f, 1.0f);
    SetHandle(0.0f, 0.0f);
}

TEST(Draw2DState, OvalSegmentCounts) {
    EXPECT_EQ(OvalSegmentCount(5.0f, 5.0f), 12);
    EXPECT_EQ(OvalSegmentCount(50.0f, 50.0f), 100);
    EXPECT_EQ(OvalSegmentCount(15.0f, 15.5f), 28);
    EXPECT_EQ(OvalSegmentCount(-7.0f, -7.0f), 12);
    EXPECT_EQ(OvalSegmentCount(0.0f, 0.0f), 12);
}

TEST(Draw2DState, NoContextKeepsStateAndDrawsNothing) {
    // With no graphics current the functions still store state and the null back-end draws nothing.
    EnsureGraphics();
    SetGraphics(nullptr);
    EXPECT_EQ(GraphicsWidth(), 0);
    SetColor(1, 2, 3);
    int r, g, b;
    GetColor(r, g, b);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(b, 3);
    DrawRect(0, 0, 10, 10);
    EXPECT_EQ(GrabPixmap(0, 0, 1, 1), nullptr);
    EXPECT_EQ(CurrentDraw2DDriver()->CreateFrameFromPixmap(SolidPixmap(2, 2, {1, 2, 3, 4}), 0), nullptr);
    CloseOpenedGraphics();
}

TEST_F(Draw2DTest, FirstUseClearsToTheClearColour) {
    // A fresh context starts cleared in both buffers, whatever was drawn in the previous one.
    SetColor(255, 0, 0);
    DrawRect(0, 0, 640, 480);
    Flip(0);
    DrawRect(0, 0, 640, 480);
    CloseOpenedGraphics();
    ASSERT_TRUE(OpenGraphics(640, 480, 0, 60, 2));
    EXPECT_EQ(ReadPicture(320, 240), (Rgba{0, 0, 0, 255}));
    Flip(0);
    EXPECT_EQ(ReadPicture(10, 10), (Rgba{0, 0, 0, 255}));
    // The state of the new context starts at its defaults.
    int r, g, b;
    GetColor(r, g, b);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(GetBlend(), BLEND_MASK);
}

TEST_F(Draw2DTest, MaskBlendPassesAlphaFromHalf) {
    // Texel alpha 128 (0.502) passes the mask test, 127 (0.498) does not.
    TPixmapPtr p = SolidPixmap(2, 1, {255, 255, 255, 128});
    PutPixel(p, 1, 0, {255, 255, 255, 127});
    TImagePtr img = LoadImage(p, 0);
    DrawImage(img, 10, 10);
    EXPECT_EQ(ReadPicture(10, 10), (Rgba{255, 255, 255, 255}));
    EXPECT_EQ(ReadPicture(11, 10), (Rgba{0, 0, 0, 255}));

    // The drawing alpha joins in: 0.5 becomes byte 127, so even opaque texels fail.
    SetAlpha(0.5f);
    DrawImage(img, 20, 10);
    EXPECT_EQ(ReadPicture(20, 10), (Rgba{0, 0, 0, 255}));
    // Solid neither tests nor blends: even the texel of alpha 127 is written whole.
    SetBlend(BLEND_SOLID);
    DrawImage(img, 30, 10);
    EXPECT_EQ(ReadPicture(31, 10), (Rgba{255, 255, 255, 255}));
}

TEST_F(Draw2DTest, AlphaByteIsTruncatedAndClamped) {
    // Additive white at alpha a adds the alpha byte itself to black.
    SetBlend(BLEND_LIGHT);
    const struct {
        float alpha;
        int expected;
    } cases[] = {{0.5f, 127}, {1.5f, 255}, {-0.2f, 0}, {std::nanf(""), 0}, {0.999f, 254}, {0.25f, 63}};
    int x = 10;
    for (const auto& c : cases) {
        SetAlpha(c.alpha);
        DrawRect(static_cast<float>(x), 10, 4, 4);
        EXPECT_EQ(ReadPicture(x + 1, 11).r, c.expected) << "alpha " << c.alpha;
        x += 10;
    }
}

TEST_F(Draw2DTest, LightAddsAndClampsAt255) {
    SetBlend(BLEND_LIGHT);
    SetColor(200, 100, 30);
    DrawRect(10, 10, 10, 10);
    DrawRect(10, 10, 10, 10);
    EXPECT_EQ(ReadPicture(12, 12), (Rgba{255, 200, 60, 255}));
    // Colour values beyond 0..255 are clamped before they reach GL.
    Cls();
    SetColor(400, -20, 255);
    DrawRect(10, 10, 10, 10);
    EXPECT_EQ(ReadPicture(12, 12), (Rgba{255, 0, 255, 255}));
}

TEST_F(Draw2DTest, ShadeMultipliesThePicture) {
    SetBlend(BLEND_SOLID);
    SetColor(200, 100, 50);
    DrawRect(0, 0, 40, 40);
    SetBlend(BLEND_SHADE);
    SetColor(255, 128, 0);
    DrawRect(10, 10, 10, 10);
    EXPECT_EQ(ReadPicture(12, 12), (Rgba{200, 50, 0, 255}));
    EXPECT_EQ(ReadPicture(30, 30), (Rgba{200, 100, 50, 255}));
}

TEST_F(Draw2DTest, AlphaBlendMixes) {
    SetBlend(BLEND_SOLID);
    SetColor(0, 0, 255);
    DrawRect(0, 0, 40, 40);
    SetBlend(BLEND_ALPHA);
    SetColor(255, 255, 255);
    SetAlpha(1.0f);
    DrawRect(0, 0, 10, 10);
    SetAlpha(0.0f);
    DrawRect(20, 0, 10, 10);
    EXPECT_EQ(ReadPicture(5, 5), (Rgba{255, 255, 255, 255}));
    EXPECT_EQ(ReadPicture(25, 5), (Rgba{0, 0, 255, 255}));
}

TEST_F(Draw2DTest, SetColorTintsImages) {
    TImagePtr img = WhiteImage(8, 8);
    SetColor(255, 128, 0);
    DrawImage(img, 50, 50);
    EXPECT_EQ(ReadPicture(53, 53), (Rgba{255, 128, 0, 255}));
    // Colour changes between quads of one texture keep each quad's own colour.
    SetColor(0, 255, 0);
    DrawImage(img, 60, 50);
    SetColor(0, 0, 255);
    DrawImage(img, 70, 50);
    EXPECT_EQ(ReadPicture(63, 53), (Rgba{0, 255, 0, 255}));
    EXPECT_EQ(ReadPicture(73, 53), (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(ReadPicture(53, 53), (Rgba{255, 128, 0, 255}));
}

// Every texel byte times every tint byte, as the stereo eyes draw sprites: texel t tinted by colour c
// gives round(t * c / 255), exactly, added to black (light) and written alone (mask). A texel fetched
// at less than full precision lands one step off for products near a half.
TEST_F(Draw2DTest, TintedTexelsRoundToTheNearestByte) {
    constexpr int kBytes = 256;
    constexpr int kMaskColumn = 320; // the mask copy of the grid, right of the light one
    // Channel permutations, so that each channel meets every texel and tint byte in another order.
    auto texel = [](int i) { return Rgba{i, 255 - i, (i * 7) & 255, 255}; };
    auto tint = [](int j) { return Rgba{j, 255 - j, (j * 3) & 255, 255}; };
    // t * c / 255 is never a half (255 is odd), so rounding to nearest has no ties.
    auto product = [](int t, int c) { return (t * c + 127) / 255; };

    TPixmapPtr ramp = CreatePixmap(kBytes, 1, PF_RGBA8888);
    for (int i = 0; i < kBytes; ++i) PutPixel(ramp, i, 0, texel(i));
    TImagePtr img = LoadImage(ramp, 0);
    TPixmapPtr expected = CreatePixmap(kBytes, kBytes, PF_RGBA8888);
    for (int j = 0; j < kBytes; ++j) {
        const Rgba c = tint(j);
        SetColor(c.r, c.g, c.b);
        SetBlend(BLEND_LIGHT);
        DrawImage(img, 0, static_cast<float>(j));
        SetBlend(BLEND_MASK);
        DrawImage(img, kMaskColumn, static_cast<float>(j));
        for (int i = 0; i < kBytes; ++i) {
            const Rgba t = texel(i);
            PutPixel(expected, i, j, {product(t.r, c.r), product(t.g, c.g), product(t.b, c.b), 255});
        }
    }
    EXPECT_TRUE(SamePixels(expected, GrabPixmap(0, 0, kBytes, kBytes), "tinted_texels_light"));
    EXPECT_TRUE(SamePixels(expected, GrabPixmap(kMaskColumn, 0, kBytes, kBytes), "tinted_texels_mask"));
}

TEST_F(Draw2DTest, RotationNinetyTurnsClockwise) {
    // A 4 x 2 image with a different colour per texel, drawn at (100, 100) turned 90 degrees: texel
    // (i, j) lands on pixel (99 - j, 100 + i).
    TPixmapPtr p = CreatePixmap(4, 2, PF_RGBA8888);
    for (int j = 0; j < 2; ++j) {
        for (int i = 0; i < 4; ++i) PutPixel(p, i, j, {40 + 50 * i, 100 + 100 * j, 7, 255});
    }
    TImagePtr img = LoadImage(p, 0);
    SetRotation(90.0f);
    DrawImage(img, 100, 100);
    TPixmapPtr shot = GrabPixmap(90, 90, 20, 20);
    for (int j = 0; j < 2; ++j) {
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(PixelOf(shot, 99 - j - 90, 100 + i - 90), (Rgba{40 + 50 * i, 100 + 100 * j, 7, 255}))
                << "texel " << i << "," << j;
        }
    }
    int x0, y0, x1, y1;
    ASSERT_TRUE(LitBox(shot, x0, y0, x1, y1));
    EXPECT_EQ(x0 + 90, 98);
    EXPECT_EQ(x1 + 90, 99);
    EXPECT_EQ(y0 + 90, 100);
    EXPECT_EQ(y1 + 90, 103);
}

TEST_F(Draw2DTest, HandleAndOriginMovePrimitives) {
    // SetHandle(5, 5) then DrawRect(100, 100, 10, 10) covers 95..105.
    SetHandle(5.0f, 5.0f);
    DrawRect(100, 100, 10, 10);
    TPixmapPtr shot = GrabPixmap(0, 0, 200, 200);
    int x0, y0, x1, y1;
    ASSERT_TRUE(LitBox(shot, x0, y0, x1, y1));
    EXPECT_EQ(x0, 95);
    EXPECT_EQ(y0, 95);
    EXPECT_EQ(x1, 104);
    EXPECT_EQ(y1, 104);

    // The rectangle turns about the handle point: at 90 degrees the box is mirrored in x.
    Cls();
    SetHandle(0.0f, 0.0f);
    SetOrigin(20.0f, 10.0f);
    SetRotation(90.0f);
    DrawRect(100, 100, 10, 4);
    shot = GrabPixmap(0, 0, 200, 200);
    ASSERT_TRUE(LitBox(shot, x0, y0, x1, y1));
    EXPECT_EQ(x0, 116);
    EXPECT_EQ(x1, 119);
    EXPECT_EQ(y0, 110);
    EXPECT_EQ(y1, 119);
}

TEST_F(Draw2DTest, DrawLineLastPixel) {
    SetColor(255, 255, 255);
    DrawLine(10, 20, 30, 20, 0);
    TPixmapPtr shot = GrabPixmap(0, 20, 40, 1);
    int x0, y0, x1, y1;
    ASSERT_TRUE(LitBox(shot, x0, y0, x1, y1));
    EXPECT_EQ(x0, 10);
    EXPECT_EQ(x1, 29); // a GL line leaves its end point out

    DrawLine(10, 30, 30, 30, 1);
    shot = GrabPixmap(0, 30, 40, 1);
    ASSERT_TRUE(LitBox(shot, x0, y0, x1, y1));
    EXPECT_EQ(x0, 10);
    EXPECT_EQ(x1, 30);

    // Rotated about its first point, the last pixel follows: (50, 50) to (60, 50) turned 90 degrees
    // runs down to (50, 60).
    Cls();
    SetRotation(90.0f);
    DrawLine(50, 50, 60, 50, 1);
    SetRotation(0.0f);
    shot = GrabPixmap(0, 0, 100, 100);
    ASSERT_TRUE(LitBox(shot, x0, y0, x1, y1));
    EXPECT_EQ(y0, 50);
    EXPECT_EQ(y1, 60);
    EXPECT_EQ(x0, 50);
    EXPECT_EQ(x1, 50);

    // The scan-line form: full width, every pixel of the row.
    Cls();
    SetColor(2, 2, 2);
    SetBlend(BLEND_SOLID);
    DrawLine(0, 7, 640, 7, 1);
    shot = GrabPixmap(0, 6, 640, 3);
    for (int x = 0; x < 640; ++x) {
        ASSERT_EQ(PixelOf(shot, x, 1), (Rgba{2, 2, 2, 255})) << "x " << x;
        ASSERT_EQ(PixelOf(shot, x, 0), (Rgba{0, 0, 0, 255})) << "x " << x;
        ASSERT_EQ(PixelOf(shot, x, 2), (Rgba{0, 0, 0, 255})) << "x " << x;
    }
}

TEST_F(Draw2DTest, ScanLinesAreOneDrawWithoutTheirLastPixelsOffThePicture) {
    // The game's retro lines: every odd row, full width, the last pixel one past the right edge. The
    // reference plots each last pixel as it is, through the back-end directly.
    TDraw2DDriver* driver = CurrentDraw2DDriver();
    SetColor(2, 2, 2);
    SetBlend(BLEND_SOLID);
    for (int y = 1; y <= 480; y += 2) {
        driver->DrawLine(0, 0, 640, 0, 0, static_cast<float>(y));
        driver->Plot(640, static_cast<float>(y));
    }
    const TPixmapPtr reference = GrabPixmap(0, 0, 640, 480);

    Cls();
    const TDrawCounts before = GetDrawCounts();
    for (int y = 1; y <= 480; y += 2) DrawLine(0, static_cast<float>(y), 640, static_cast<float>(y), 1);
    const TPixmapPtr lines = GrabPixmap(0, 0, 640, 480); // the grab sends the batch
    EXPECT_EQ(GetDrawCounts().draw_calls - before.draw_calls, 1u);
    EXPECT_TRUE(SamePixels(reference, lines, "scan_lines"));

    // A last pixel inside a narrower viewport is still drawn; one just past its edge is not, and the
    // picture is the same as if it had been sent.
    Cls();
    SetBlend(BLEND_MASK);
    SetColor(255, 255, 255);
    SetViewport(100, 100, 50, 50);
    driver->DrawLine(0, 0, 50, 0, 100, 120);
    driver->Plot(150, 120);
    DrawLine(100, 130, 149, 130, 1);
    const TPixmapPtr clipped_reference = GrabPixmap(90, 110, 70, 30);
    Cls();
    DrawLine(100, 120, 150, 120, 1);
    DrawLine(100, 130, 149, 130, 1);
    EXPECT_TRUE(SamePixels(clipped_reference, GrabPixmap(90, 110, 70, 30), "last_pixel_viewport"));
    EXPECT_EQ(ReadPicture(149, 130), (Rgba{255, 255, 255, 255}));
    EXPECT_EQ(ReadPicture(149, 120), (Rgba{255, 255, 255, 255}));
    SetViewport(0, 0, 640, 480);
}

// Lines running rightwards along rows, sent batched as the rectangles of their pixels, light what GL's
// own lines light (the unbatched reference): lengths from one pixel, ends on tile boundaries, at the
// picture's edges and past them, with and without last pixels, additively so a pixel lit twice shows.
// Lines in other directions (whose end pixels the rasteriser rounds its own way), off the pixel
// grid, turned or thicker stay lines and match too.
TEST_F(Draw2DTest, RowLinesBatchedLightWhatLinesLight) {
    auto draw = [] {
        SetClsColor(0, 0, 0);
        Cls();
        SetBlend(BLEND_LIGHT);
        SetColor(60, 90, 120);
        const float ends[][4] = {{10, 10, 60, 10},   {90, 10, 91, 10},   {0, 50, 64, 50},
                                 {63, 52, 64, 52},   {0, 479, 640, 479}, {-20, 30, 700, 30},
                                 {120, 40, 160, 40}, {60, 20, 10, 20},   {91, 40, 90, 40},
                                 {65, 54, 63, 54},   {70, 10, 70, 60},   {80, 60, 80, 10},
                                 {140, 20, 140, 70}, {639, 0, 639, 480}, {200, 100, 200, 100}};
        for (int last = 0; last <= 1; ++last)
            for (const auto& e : ends) DrawLine(e[0], e[1] + 100 * last, e[2], e[3] + 100 * last, last);
        DrawLine(300.25f, 50, 380.25f, 50, 1);
        DrawLine(300, 60.5f, 380, 60.5f, 1);
        DrawLine(300, 70, 380, 110, 1);
        SetRotation(90.0f);
        DrawLine(400, 20, 440, 20, 1);
        SetRotation(0.0f);
        SetLineWidth(3.0f);
        DrawLine(450, 30, 520, 30, 1);
        SetLineWidth(1.0f);
        Plot(530, 30);
        Plot(531.5f, 32.25f);
        // The scan-line run: rows every other pixel, each with its last pixel one past the edge.
        SetBlend(BLEND_SOLID);
        SetColor(2, 2, 2);
        for (int y = 301; y <= 480; y += 2) DrawLine(0, static_cast<float>(y), 640, static_cast<float>(y), 1);
        SetBlend(BLEND_MASK);
        SetColor(255, 255, 255);
    };
    TestDrawDriver()->SetBatching(false);
    draw();
    const TPixmapPtr reference = GrabPixmap(0, 0, 640, 480);
    TestDrawDriver()->SetBatching(true);
    draw();
    EXPECT_TRUE(SamePixels(reference, GrabPixmap(0, 0, 640, 480), "row_lines"));
    // Where a row line crosses a column line the pixel was lit twice.
    EXPECT_EQ(ReadPicture(140, 40), (Rgba{120, 180, 240, 255}));

    // Row lines and their last pixels on the picture go in one draw.
    SetColor(255, 255, 255);
    const TDrawCounts before = GetDrawCounts();
    for (int y = 0; y < 40; ++y) DrawLine(10, static_cast<float>(y), 30, static_cast<float>(y), 1);
    GrabPixmap(0, 0, 1, 1); // the grab sends the batch
    EXPECT_EQ(GetDrawCounts().draw_calls - before.draw_calls, 1u);
}

// A one-pixel point lights exactly one pixel, the nearest to its position (halves go right and up, the
// window's directions), at whole and fractional positions alike; an ES point, a square about its
// position, lit other pixels where its square held two centres or none.
TEST_F(Draw2DTest, FractionalPointsLightTheirNearestPixel) {
    SetBlend(BLEND_SOLID);
    SetColor(255, 255, 255);
    const struct {
        float x, y;
        int px, py;
    } points[] = {{20.0f, 30.0f, 20, 30},   {40.25f, 30.5f, 40, 30},   {60.5f, 30.75f, 61, 31},
                  {80.75f, 30.25f, 81, 30}, {100.99f, 31.0f, 101, 31}, {120.5f, 30.5f, 121, 30}};
    for (const auto& p : points) Plot(p.x, p.y);
    const TPixmapPtr picture = GrabPixmap(0, 0, 140, 40);
    int lit = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 140; ++x) lit += PixelOf(picture, x, y).r == 255;
    EXPECT_EQ(lit, 6) << "one pixel a point";
    for (const auto& p : points)
        EXPECT_EQ(PixelOf(picture, p.px, p.py), (Rgba{255, 255, 255, 255})) << p.x << ", " << p.y;
}

TEST_F(Draw2DTest, OvalUsesItsSegmentCount) {
    // A 100 x 100 oval drawn as a 100-gon reaches 49.98 pixels out along the diagonal; a 12-gon
    // would reach only 48.3, so pixel (184, 115), 48.8 from the centre, tells them apart.
    DrawOval(100, 100, 100, 100);
    EXPECT_EQ(ReadPicture(150, 150), (Rgba{255, 255, 255, 255}));
    EXPECT_EQ(ReadPicture(184, 115), (Rgba{255, 255, 255, 255}));
    EXPECT_EQ(ReadPicture(102, 102), (Rgba{0, 0, 0, 255}));
    EXPECT_EQ(ReadPicture(150, 98), (Rgba{0, 0, 0, 255}));

    // A 10 x 10 oval is a 12-gon: its vertex at 0 degrees reaches x 20 + 10 and none beyond.
    Cls();
    DrawOval(20, 20, 10, 10);
    TPixmapPtr shot = GrabPixmap(0, 0, 50, 50);
    int x0, y0, x1, y1;
    ASSERT_TRUE(LitBox(shot, x0, y0, x1, y1));
    EXPECT_EQ(x0, 20);
    EXPECT_EQ(x1, 29);
    EXPECT_EQ(y0, 20);
    EXPECT_EQ(y1, 29);
}

TEST_F(Draw2DTest, PolyNeedsThreeWholePoints) {
    DrawPoly({10, 10, 30, 10});
    DrawPoly({10, 10, 30, 10, 30, 30, 10});
    TPixmapPtr shot = GrabPixmap(0, 0, 50, 50);
    int x0, y0, x1, y1;
    EXPECT_FALSE(LitBox(shot, x0, y0, x1, y1));
    SetHandle(-10.0f, 0.0f); // stored negated: adds 10 to every x
    DrawPoly({10, 10, 30, 10, 30, 30, 10, 30});
    shot = GrabPixmap(0, 0, 50, 50);
    ASSERT_TRUE(LitBox(shot, x0, y0, x1, y1));
    EXPECT_EQ(x0, 20);
    EXPECT_EQ(x1, 39);
    EXPECT_EQ(y0, 10);
    EXPECT_EQ(y1, 29);
}

TEST_F(Draw2DTest, ViewportScissors) {
    SetViewport(10, 20, 100, 50);
    GLint box[4] = {};
    glGetIntegerv(GL_SCISSOR_BOX, box);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_EQ(box[0], 10);
    EXPECT_EQ(box[1], 410);
    EXPECT_EQ(box[2], 100);
    EXPECT_EQ(box[3], 50);

    SetClsColor(0, 0, 90);
    Cls();
    DrawRect(0, 0, 640, 480);
    TPixmapPtr shot = GrabPixmap(0, 0, 200, 100);
    int x0, y0, x1, y1;
    ASSERT_TRUE(LitBox(shot, x0, y0, x1, y1));
    EXPECT_EQ(x0, 10);
    EXPECT_EQ(y0, 20);
    EXPECT_EQ(x1, 109);
    EXPECT_EQ(y1, 69);
    EXPECT_EQ(PixelOf(shot, 9, 30), (Rgba{0, 0, 0, 255}));

    SetViewport(0, 0, 640, 480);
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    int vx, vy, vw, vh;
    GetViewport(vx, vy, vw, vh);
    EXPECT_EQ(vw, 640);
    EXPECT_EQ(vh, 480);
}

TEST_F(Draw2DTest, RepeatedBlendSendsStateOnce) {
    SetBlend(BLEND_SOLID);
    const int before = TestDrawDriver()->BlendStateChanges();
    SetBlend(BLEND_LIGHT);
    SetBlend(BLEND_LIGHT);
    EXPECT_EQ(TestDrawDriver()->BlendStateChanges(), before + 1);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    GLint src = 0, dst = 0;
    // The colour factors, the query both OpenGL 1.4+ and ES 2.0 answer.
    glGetIntegerv(GL_BLEND_SRC_RGB, &src);
    glGetIntegerv(GL_BLEND_DST_RGB, &dst);
    EXPECT_EQ(src, GL_SRC_ALPHA);
    EXPECT_EQ(dst, GL_ONE);
    SetBlend(BLEND_MASK);
    // ES 2.0 has no alpha test state: its shader discards (MaskBlendPassesAlphaFromHalf checks that).
    if (!OnGles2()) {
        EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    }
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(Draw2DTest, PixmapWriteAndGrabRoundTrip) {
    TPixmapPtr p = CreatePixmap(7, 5, PF_RGB888);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            uint8_t* px = p->PixelPtr(x, y);
            px[0] = static_cast<uint8_t>(30 * x);
            px[1] = static_cast<uint8_t>(50 * y);
            px[2] = 99;
        }
    }
    // Even in light mode the pixels are written as they are.
    SetBlend(BLEND_LIGHT);
    SetColor(255, 0, 0);
    DrawRect(0, 0, 100, 100);
    DrawPixmap(p, 30, 40);
    EXPECT_EQ(GetBlend(), BLEND_LIGHT);
    TPixmapPtr back = GrabPixmap(30, 40, 7, 5);
    ASSERT_EQ(back->format, PF_RGBA8888);
    EXPECT_TRUE(SamePixels(p->Convert(PF_RGBA8888), back, "pixmap_roundtrip"));
    EXPECT_EQ(ReadPicture(29, 40), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(ReadPicture(37, 44), (Rgba{255, 0, 0, 255}));
}

// Everything the layer draws, in one picture: sprites in every blend mode, tinted and rotated, lines,
// ovals, rectangles and a polygon. `stretched` adds a frame stretched by a non-integer factor, whose
// texel choice at exact texel boundaries is the rasteriser's own business.
static void DrawScene(const TImagePtr& sprite, const TImagePtr& ring, bool stretched = true) {
    SetClsColor(10, 10, 30);
    Cls();
    SetBlend(BLEND_SOLID);
    SetColor(40, 60, 90);
    DrawRect(20, 300, 600, 160);
    SetColor(200, 200, 80);
    DrawOval(40, 40, 120, 80);
    SetColor(255, 255, 255);
    for (int i = 0; i < 12; ++i) DrawLine(200, 20 + 6 * i, 400, 40 + 6 * i, 1);
    SetColor(90, 200, 120);
    DrawPoly({450, 40, 600, 60, 560, 160, 470, 130});

    // Mask, tinted and rotated sprites.
    SetBlend(BLEND_MASK);
    for (int i = 0; i < 8; ++i) {
        SetColor(255, 32 * i, 255 - 32 * i);
        SetRotation(i * 45.0f);
        DrawImage(sprite, 60.0f + 70 * i, 210);
    }
    SetRotation(0);
    // Additive anaglyph pairs, colour changing every quad.
    SetBlend(BLEND_LIGHT);
    for (int i = 0; i < 60; ++i) {
        const float x = 40.0f + 9.5f * i;
        SetColor(140, 4, 40);
        DrawImage(sprite, x - 3, 330 + (i % 5) * 8);
        SetColor(4, 100, 20);
        DrawImage(sprite, x + 3, 330 + (i % 5) * 8);
    }
    // Alpha-faded and shaded rings, scaled.
    SetBlend(BLEND_ALPHA);
    SetColor(255, 255, 255);
    for (int i = 0; i < 5; ++i) {
        SetAlpha(0.2f * (i + 1));
        SetScale(1.0f + 0.25f * i, 1.0f + 0.25f * i);
        DrawImage(ring, 80.0f + 110 * i, 420);
    }
    SetAlpha(1.0f);
    SetScale(1.0f, 1.0f);
    SetBlend(BLEND_SHADE);
    SetColor(255, 128, 64);
    DrawRect(300, 280, 120, 60);
    SetBlend(BLEND_MASK);
    SetColor(255, 255, 255);
    if (stretched) DrawImageStretched(ring, 560, 250, 60, 30);
    SetBlend(BLEND_SOLID);
    SetColor(255, 255, 255);
    DrawLine(0, 479, 640, 479, 1);
    SetBlend(BLEND_MASK);
}

static TImagePtr MakeSprite() {
    // 40 x 27 saucer-like sprite with a transparent border, as the game's sprites are.
    TPixmapPtr p = SolidPixmap(40, 27, {0, 0, 0, 0});
    for (int y = 0; y < 27; ++y) {
        for (int x = 0; x < 40; ++x) {
            const float dx = (x + 0.5f - 20.0f) / 19.0f;
            const float dy = (y + 0.5f - 13.5f) / 9.0f;
            const float d = dx * dx + dy * dy;
            if (d < 1.0f) PutPixel(p, x, y, {255 - 4 * x, 120 + 4 * y, 200, 255});
        }
    }
    TImagePtr img = LoadImage(p, IMAGE_MASKED | IMAGE_FILTERED);
    CenterImageHandle(img);
    return img;
}

static TImagePtr MakeRing() {
    TPixmapPtr p = SolidPixmap(32, 32, {0, 0, 0, 0});
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const float d = std::hypot(x + 0.5f - 16.0f, y + 0.5f - 16.0f);
            if (d > 9.0f && d < 15.0f) PutPixel(p, x, y, {255, 180, 60, 255});
        }
    }
    TImagePtr img = LoadImage(p, IMAGE_MASKED);
    CenterImageHandle(img);
    return img;
}

TEST_F(Draw2DTest, BatchedSceneMatchesUnbatchedPixelForPixel) {
    TImagePtr sprite = MakeSprite();
    TImagePtr ring = MakeRing();

    TestDrawDriver()->SetBatching(false);
    DrawScene(sprite, ring);
    TPixmapPtr reference = GrabPixmap(0, 0, 640, 480);
    TestDrawDriver()->SetBatching(true);
    DrawScene(sprite, ring);
    TPixmapPtr batched = GrabPixmap(0, 0, 640, 480);
    EXPECT_TRUE(SamePixels(reference, batched, "scene_batching"));
    SavePixmapPNG(batched, OutPath("scene_draw2d.png"));

    // The picture holds what was drawn: a lit oval, the shaded rectangle, additive pairs.
    EXPECT_EQ(PixelOf(batched, 100, 80), (Rgba{200, 200, 80, 255}));
    EXPECT_EQ(PixelOf(batched, 10, 10), (Rgba{10, 10, 30, 255}));
    // Batching leaves the picture unchanged when a flip comes in between too.
    Flip(0);
    DrawScene(sprite, ring);
    EXPECT_TRUE(SamePixels(reference, GrabPixmap(0, 0, 640, 480), "scene_after_flip"));
}

TEST_F(Draw2DTest, ScaledWindowDrawsAndGrabsThePicture) {
    // In a window twice the picture's size the picture is drawn offscreen; drawing and read-back
    // work on the 640 x 480 picture as in a window of its own size. (The offscreen picture is not
    // stored upside down as a window's is, so a texel chosen exactly on a texel boundary may differ:
    // the scene leaves the stretched frame out.)
    TImagePtr sprite = MakeSprite();
    TImagePtr ring = MakeRing();
    DrawScene(sprite, ring, false);
    TPixmapPtr reference = GrabPixmap(0, 0, 640, 480);

    SetGraphicsWindowed(true, 2);
    std::shared_ptr<TGraphics> scaled = OpenGraphics(640, 480, 0, 60, 2);
    SetGraphicsWindowed(false, 1);
    ASSERT_TRUE(scaled) << GraphicsError();
    EXPECT_EQ(GraphicsWidth(), 640);
    DrawScene(sprite, ring, false);
    EXPECT_TRUE(SamePixels(reference, GrabPixmap(0, 0, 640, 480), "scene_scaled_window"));
    // The picture survives the flip that scales it into the window.
    Flip(0);
    EXPECT_TRUE(SamePixels(reference, GrabPixmap(0, 0, 640, 480), "scene_scaled_after_flip"));
    CloseOpenedGraphics();
}
