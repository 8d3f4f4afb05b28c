// The display-less back-end with no display at all (DISPLAY unset): full-screen and windowed contexts,
// the simulated vertical blank and the pacing built on it, drawing, and screenshots read back.
#include "backends/null/null_draw2d.h"
#include "backends/null/null_graphics.h"
#include "game/embedded_assets.h"
#include "platform/clock.h"
#include "render/image.h"
#include "render/pixmap_loader.h"
#include "render/png_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

class NullGraphicsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Nothing here may need a display server.
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        register_embedded_assets();
        InitPixmapLoaders();
    }
    void SetUp() override {
        SetFlipUnpaced(false);
        SetGraphicsWindowed(false);
        SetGraphicsDriver(NullDraw2DDriver(), GRAPHICS_BACKBUFFER);
    }
    void TearDown() override {
        CloseOpenedGraphics();
        SetFlipUnpaced(false);
    }
};

uint64_t Flips() {
    return NullGraphicsDriver()->FlipCount();
}

} // namespace

TEST(NullVerticalBlank, NextBlankFallsOnTheSixtiethsOfASecond) {
    // Blanks at ceil(k * 1000 / 60) ms: 0, 17, 34, 50, 67, ...
    EXPECT_EQ(MillisToNextBlank(0, 60), 17);
    EXPECT_EQ(MillisToNextBlank(16, 60), 1);
    EXPECT_EQ(MillisToNextBlank(17, 60), 17);
    EXPECT_EQ(MillisToNextBlank(34, 60), 16);
    EXPECT_EQ(MillisToNextBlank(49, 60), 1);
    EXPECT_EQ(MillisToNextBlank(50, 60), 17);
    // Across the wrap of the 32-bit clock the wait stays within one frame.
    const int at_wrap = MillisToNextBlank(0xffffffffu, 60);
    EXPECT_GE(at_wrap, 1);
    EXPECT_LE(at_wrap, 17);
    // Over a whole second of clock readings the blanks come 60 times.
    int blanks = 0;
    for (uint32_t ms = 0; ms < 1000; ++ms) blanks += MillisToNextBlank(ms, 60) == 1 ? 1 : 0;
    EXPECT_EQ(blanks, 60);
}

TEST_F(NullGraphicsTest, FullScreenOpensWithoutADisplayAndFindsTheVerticalBlank) {
    EXPECT_EQ(GraphicsModeExists(640, 480, 32, 60), 1);
    EXPECT_EQ(GraphicsModeExists(640, 480, 16, 0), 0);
    EXPECT_EQ(NullDraw2DDriver()->AttachGraphics(1, 0), nullptr);

    const uint64_t before = Flips();
    ASSERT_TRUE(OpenGraphics(640, 480, 32, 60, GRAPHICS_BACKBUFFER)) << GraphicsError();
    EXPECT_EQ(GraphicsWidth(), 640);
    EXPECT_EQ(GraphicsHeight(), 480);
    EXPECT_EQ(GraphicsDepth(), 32);
    EXPECT_EQ(GraphicsHertz(), 60);
    ASSERT_NE(NullDraw2DDriver()->Picture(), nullptr);
    // Three timed flips of a frame each make the probe settle on vertical-blank sync, well inside
    // the second it may take; the two first-use clears flipped unsynced.
    EXPECT_LT(GraphicsProbeMillis(), 1000u);
    EXPECT_GE(Flips() - before, 2u + 3u);

    // Flip(-1) now waits for the blank: 30 frames take half a second, give or take a loaded machine.
    const uint32_t start = GetTickMillis();
    const uint64_t counted = Flips();
    for (int i = 0; i < 30; ++i) Flip(-1);
    const uint32_t elapsed = GetTickMillis() - start;
    EXPECT_EQ(Flips() - counted, 30u);
    EXPECT_GE(elapsed, 30u * 16u - 17u);
    EXPECT_LT(elapsed, 5000u);
}

TEST_F(NullGraphicsTest, UnpacedAndWindowedFlipsDoNotWaitForTheBlank) {
    SetFlipUnpaced(true);
    ASSERT_TRUE(OpenGraphics(640, 480, 32, 60, GRAPHICS_BACKBUFFER));
    // Unpaced there is no probe at all.
    EXPECT_EQ(GraphicsProbeMillis(), 0u);
    const uint32_t start = GetTickMillis();
    for (int i = 0; i < 600; ++i) Flip(-1);
    // Ten seconds' worth of frames at 60 Hz; without waiting they take a small fraction of that.
    EXPECT_LT(GetTickMillis() - start, 2000u);

    // A window keeps the software pacer: 30 frames at 60 Hz still last half a second.
    SetFlipUnpaced(false);
    ASSERT_TRUE(OpenGraphics(320, 240, 0, 60, GRAPHICS_BACKBUFFER));
    EXPECT_EQ(GraphicsWidth(), 320);
    const uint32_t paced_start = GetTickMillis();
    for (int i = 0; i < 30; ++i) Flip(-1);
    EXPECT_GE(GetTickMillis() - paced_start, 30u * 16u - 17u);
    // Flip(0) never waits.
    const uint32_t quick_start = GetTickMillis();
    for (int i = 0; i < 100; ++i) Flip(0);
    EXPECT_LT(GetTickMillis() - quick_start, 1000u);
}

// A back-end that changes how the picture reaches the screen (a full-screen switch) leaves vertical-
// blank sync behind: from then on the frame pacer holds the pace, without waiting for a blank.
TEST_F(NullGraphicsTest, AChangedPresentationIsPacedByThePacer) {
    ASSERT_TRUE(OpenGraphics(640, 480, 32, 60, GRAPHICS_BACKBUFFER)) << GraphicsError();
    Flip(-1);
    ASSERT_EQ(NullGraphicsDriver()->LastFlipSync(), 1) << "the probe found the blank";
    GraphicsPresentationChanged();
    const uint32_t start = GetTickMillis();
    for (int i = 0; i < 30; ++i) {
        Flip(-1);
        ASSERT_EQ(NullGraphicsDriver()->LastFlipSync(), 0);
    }
    EXPECT_GE(GetTickMillis() - start, 30u * 16u - 17u) << "still 60 frames a second";

    // Unpaced stays unpaced.
    SetFlipUnpaced(true);
    ASSERT_TRUE(OpenGraphics(640, 480, 32, 60, GRAPHICS_BACKBUFFER));
    GraphicsPresentationChanged();
    const uint32_t unpaced_start = GetTickMillis();
    for (int i = 0; i < 120; ++i) Flip(-1);
    EXPECT_LT(GetTickMillis() - unpaced_start, 1000u);
}

TEST_F(NullGraphicsTest, ContextsComeAndGo) {
    EXPECT_EQ(NullDraw2DDriver()->CreateGraphics(0, 480, 0, 0, 0), nullptr);
    EXPECT_FALSE(GraphicsError().empty());
    ASSERT_TRUE(OpenGraphics(64, 48, 0, 0, GRAPHICS_BACKBUFFER));
    const int seq = GraphicsSeq();
    ASSERT_TRUE(OpenGraphics(640, 480, 0, 0, GRAPHICS_BACKBUFFER));
    // A second OpenGraphics closes the first context: two raises of the sequence number.
    EXPECT_EQ(GraphicsSeq(), seq + 2);
    CloseOpenedGraphics();
    EXPECT_EQ(GraphicsWidth(), 0);
    EXPECT_EQ(NullDraw2DDriver()->Picture(), nullptr);
    // Without a context flips and drawing do nothing, and nothing is read back.
    const uint64_t flips = Flips();
    Flip(1);
    Flip(-1);
    EXPECT_EQ(Flips(), flips);
    EXPECT_EQ(NullDraw2DDriver()->GrabPixmap(0, 0, 4, 4), nullptr);
}

TEST_F(NullGraphicsTest, SheetsDrawAndScreenshotsReadBack) {
    ASSERT_TRUE(OpenGraphics(640, 480, 32, 60, GRAPHICS_BACKBUFFER));
    SetFlipUnpaced(true);
    // A sheet drawn masked at (0, 0) leaves its own colours where it is opaque and the clear colour
    // where its mask colour made it transparent.
    SetImageMaskColor(0, 0, 0);
    TImagePtr sheet = LoadImage("incbin::graphx\\Brakkovane_sf.png", IMAGE_MASKED | IMAGE_DYNAMIC);
    ASSERT_TRUE(sheet);
    SetClsColor(0, 0, 60);
    Cls();
    DrawImage(sheet, 0, 0);
    TPixmapPtr shot = GrabPixmap(0, 0, 640, 480);
    ASSERT_TRUE(shot);
    const TPixmapPtr& source = sheet->pixmaps[0];
    int opaque = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const uint8_t* p = shot->PixelPtr(x, y);
            const bool inside = x < source->width && y < source->height;
            const uint8_t* s = inside ? source->PixelPtr(x, y) : nullptr;
            const bool drawn = s && s[3] >= 128;
            opaque += drawn ? 1 : 0;
            const uint8_t expected[4] = {drawn ? s[0] : uint8_t{0}, drawn ? s[1] : uint8_t{0},
                                         drawn ? s[2] : uint8_t{60}, 255};
            ASSERT_EQ(std::memcmp(p, expected, 4), 0) << "pixel " << x << "," << y;
        }
    }
    EXPECT_GT(opaque, 10000);

    // The screenshot survives the trip through a PNG file.
    const std::string path = (std::filesystem::temp_directory_path() / "null_graphics_shot.png").string();
    ASSERT_TRUE(SavePixmapPNG(shot, path));
    TPixmapPtr reloaded = LoadPixmap(path);
    std::filesystem::remove(path);
    ASSERT_TRUE(reloaded);
    TPixmapPtr rgba = reloaded->format == PF_RGBA8888 ? reloaded : reloaded->Convert(PF_RGBA8888);
    for (int y = 0; y < 480; y += 7) {
        ASSERT_EQ(std::memcmp(rgba->PixelPtr(0, y), shot->PixelPtr(0, y), 640 * 4), 0) << "row " << y;
    }
}
