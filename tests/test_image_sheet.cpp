// Images whose frames share one GL texture: the cells and their copied edges, which images keep a
// texture per frame, one texture bind for a run of frames, and pixel for pixel the pictures that
// frames with textures of their own draw, wherever and however a frame is placed.
#include "draw_test_support.h"
#include "gl_texture_read.h"

#include "backends/gl1/gl_draw2d.h"
#include "backends/gl_common/gl_image_frame.h"
#include "render/image.h"

#include <cstdint>
#include <string>
#include <vector>

using namespace draw_test;

namespace {

class ImageSheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureGraphics();
        TestDrawDriver()->SetBatching(true);
        ResetDrawing();
        SetAutoCenterHandle(0);
    }
};

// The game's flags: black is transparent, nearest sampling, no mipmaps.
constexpr int GAME_FLAGS = IMAGE_MASKED | IMAGE_DYNAMIC;

// A small deterministic generator, so every run draws the same scenes.
struct TRandom {
    uint32_t state;
    uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
    float Unit() { return static_cast<float>(Next() & 0xFFFF) / 65536.0f; }
};

// Frames of random colours, about a third of their texels transparent, each frame unlike the others.
std::vector<TPixmapPtr> RandomFrames(int w, int h, int count, uint32_t seed) {
    TRandom random{seed};
    std::vector<TPixmapPtr> frames;
    for (int i = 0; i < count; ++i) {
        TPixmapPtr p = CreatePixmap(w, h, PF_RGBA8888);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const bool clear = random.Below(3) == 0;
                PutPixel(p, x, y,
                         {random.Below(256), random.Below(256), random.Below(256),
                          clear ? 0 : 128 + random.Below(128)});
            }
        }
        frames.push_back(p);
    }
    return frames;
}

TImagePtr ImageOfFrames(const std::vector<TPixmapPtr>& frames, int flags) {
    TImagePtr image =
        TImage::Create(frames[0]->width, frames[0]->height, static_cast<int>(frames.size()), flags, 0, 0, 0);
    for (size_t i = 0; i < frames.size(); ++i) image->SetPixmap(static_cast<int>(i), frames[i]);
    CenterImageHandle(image);
    return image;
}

std::shared_ptr<TGLImageFrame> GLFrame(const TImagePtr& image, int index) {
    return std::dynamic_pointer_cast<TGLImageFrame>(image->Frame(index));
}

} // namespace

TEST_F(ImageSheetTest, AllFramesLieInOneTextureFramedByTheirEdges) {
    const std::vector<TPixmapPtr> pixels = RandomFrames(7, 5, 5, 11);
    TImagePtr image = ImageOfFrames(pixels, GAME_FLAGS);
    const uint32_t name = GLFrame(image, 0)->name;
    // ES 2.0 cannot tell a texture's size: there it comes from the first frame's cell of 7 x 5 texels.
    auto first = GLFrame(image, 0);
    int texture_width = static_cast<int>(std::lround(7.0f / (first->u1 - first->u0)));
    int texture_height = static_cast<int>(std::lround(5.0f / (first->v1 - first->v0)));
    const TPixmapPtr texture = ReadTexture(name, texture_width, texture_height);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        auto frame = GLFrame(image, i);
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->name, name);
        // The cell is the frame's own size in texels.
        const float cell_x = frame->u0 * static_cast<float>(texture->width);
        const float cell_y = frame->v0 * static_cast<float>(texture->height);
        EXPECT_FLOAT_EQ((frame->u1 - frame->u0) * static_cast<float>(texture->width), 7.0f);
        EXPECT_FLOAT_EQ((frame->v1 - frame->v0) * static_cast<float>(texture->height), 5.0f);
        const int x0 = static_cast<int>(cell_x), y0 = static_cast<int>(cell_y);
        ASSERT_EQ(static_cast<float>(x0), cell_x);
        ASSERT_GE(x0, 1);
        ASSERT_GE(y0, 1);
        // Inside, the frame; around it, copies of its edge texels, corners included.
        for (int y = -1; y <= 5; ++y) {
            for (int x = -1; x <= 7; ++x) {
                const int fx = std::clamp(x, 0, 6), fy = std::clamp(y, 0, 4);
                ASSERT_EQ(PixelOf(texture, x0 + x, y0 + y), PixelOf(pixels[static_cast<size_t>(i)], fx, fy))
                    << x << "," << y;
            }
        }
    }

    // Frame after frame on the pixel grid: one texture bind, one draw call.
    SetImageHandle(image, 0.0f, 0.0f);
    Cls();
    const TDrawCounts before = GetDrawCounts();
    for (int i = 0; i < 40; ++i) DrawImage(image, 20.0f + 9.0f * i, 100.0f, i % 5);
    GrabPixmap(0, 0, 1, 1);
    EXPECT_EQ(GetDrawCounts().texture_binds - before.texture_binds, 1u);
    EXPECT_EQ(GetDrawCounts().draw_calls - before.draw_calls, 1u);
}

TEST_F(ImageSheetTest, ImagesWhoseSharedTextureWouldDrawOtherPixelsKeepATexturePerFrame) {
    struct TCase {
        const char* what;
        int flags;
        int width, height, count;
    };
    const TCase cases[] = {
        {"one frame", GAME_FLAGS, 40, 27, 1},
        {"filtered", IMAGE_FILTERED, 40, 27, 4},
        {"mipmapped", IMAGE_MIPMAPPED, 40, 27, 4},
        {"wider than a shared texture may be", GAME_FLAGS, 4095, 2, 2},
        {"large frames", GAME_FLAGS, 300, 298, 2},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        TImagePtr image = ImageOfFrames(RandomFrames(c.width, c.height, c.count, 5), c.flags);
        std::vector<uint32_t> names;
        for (int i = 0; i < c.count; ++i) {
            auto frame = GLFrame(image, i);
            ASSERT_TRUE(frame);
            EXPECT_EQ(frame->u0, 0.0f);
            EXPECT_EQ(frame->v0, 0.0f);
            for (uint32_t other : names) EXPECT_NE(frame->name, other);
            names.push_back(frame->name);
        }
    }
    // Frames of differing sizes cannot share cells.
    TImagePtr mixed = ImageOfFrames(RandomFrames(8, 8, 2, 3), GAME_FLAGS);
    mixed->SetPixmap(1, RandomFrames(6, 9, 1, 4)[0]);
    EXPECT_NE(GLFrame(mixed, 0)->name, GLFrame(mixed, 1)->name);
}

TEST_F(ImageSheetTest, ReplacedPixelsRemakeTheSharedTexture) {
    TImagePtr image =
        ImageOfFrames({SolidPixmap(6, 6, {200, 10, 10, 255}), SolidPixmap(6, 6, {10, 200, 10, 255}),
                       SolidPixmap(6, 6, {10, 10, 200, 255})},
                      GAME_FLAGS);
    SetImageHandle(image, 0, 0);
    DrawImage(image, 10, 10, 1);
    const auto before = GLFrame(image, 0);
    image->SetPixmap(2, SolidPixmap(6, 6, {250, 250, 0, 255}));
    EXPECT_EQ(image->seqs[0], 0) << "every frame is remade with the shared texture";
    DrawImage(image, 20, 10, 2);
    DrawImage(image, 30, 10, 0);
    EXPECT_NE(GLFrame(image, 0)->name, before->name);
    EXPECT_EQ(GLFrame(image, 0)->name, GLFrame(image, 2)->name);
    EXPECT_EQ(ReadPicture(22, 12), (Rgba{250, 250, 0, 255}));
    EXPECT_EQ(ReadPicture(32, 12), (Rgba{200, 10, 10, 255}));

    TPixmapPtr locked = LockImage(image, 1, 1, 1);
    PutPixel(locked, 2, 2, {1, 2, 3, 255});
    DrawImage(image, 40, 10, 1);
    EXPECT_EQ(ReadPicture(42, 12), (Rgba{1, 2, 3, 255}));
    EXPECT_EQ(ReadPicture(43, 12), (Rgba{10, 200, 10, 255}));
}

// The heart of sharing: each draw from the shared texture leaves exactly the pixels of the same draw
// from an image holding that one frame (a texture per frame, as before frames shared). Positions on
// the pixel grid, on half pixels (pixel centres on texel edges) and a hair off them, scales that
// shrink, enlarge and mirror, turns, stretches, and parts of frames as the font atlas draws them.
TEST_F(ImageSheetTest, SharedFramesDrawExactlyThePixelsOfFramesAlone) {
    struct TSize {
        int width, height, count, draws;
    };
    const TSize sizes[] = {{7, 7, 5, 220},   {40, 27, 10, 160}, {55, 25, 5, 160},
                           {10, 10, 8, 220}, {8, 6, 3, 220},    {120, 100, 3, 40}};
    const float fractions[] = {0.0f, 0.5f, 0.25f, 0.5f + 1e-4f, 0.5f - 1e-3f, 0.75f, 1.0f / 3.0f};
    const float scales[] = {1.0f, 1.0f, 0.5f, 0.75f, 1.37f, 2.0f, -1.0f, 3.0f};
    const int blends[] = {BLEND_MASK, BLEND_LIGHT, BLEND_ALPHA};
    for (const TSize& size : sizes) {
        const std::string label = std::to_string(size.width) + "x" + std::to_string(size.height);
        SCOPED_TRACE(label);
        const std::vector<TPixmapPtr> pixels = RandomFrames(size.width, size.height, size.count, 77);
        TImagePtr shared = ImageOfFrames(pixels, GAME_FLAGS);
        ASSERT_EQ(GLFrame(shared, 0)->name, GLFrame(shared, size.count - 1)->name);
        std::vector<TImagePtr> alone;
        for (const TPixmapPtr& p : pixels) alone.push_back(ImageOfFrames({p}, GAME_FLAGS));

        uint64_t binds[2] = {0, 0};
        for (int picture = 0; picture < 12; ++picture) {
            TPixmapPtr result[2];
            for (int side = 0; side < 2; ++side) {
                TRandom random{static_cast<uint32_t>(1000 * picture + size.width)};
                SetClsColor(20, 30, 40);
                Cls();
                const TDrawCounts before = GetDrawCounts();
                for (int i = 0; i < size.draws; ++i) {
                    const int frame = random.Below(size.count);
                    const float x = static_cast<float>(random.Below(600)) + fractions[random.Below(7)];
                    const float y = static_cast<float>(random.Below(440)) + fractions[random.Below(7)];
                    const int kind = random.Below(10);
                    float sx = 1.0f, sy = 1.0f, turn = 0.0f;
                    if (kind >= 5 && kind < 8) sx = sy = scales[random.Below(8)];
                    if (kind == 8) sx = 0.3f + 2.7f * random.Unit(), sy = 0.3f + 2.7f * random.Unit();
                    if (kind == 9) turn = random.Below(2) == 0 ? 90.0f : 30.0f * random.Unit();
                    SetBlend(blends[random.Below(3)]);
                    SetColor(255, 128 + random.Below(128), 255);
                    SetRotationScale(turn, sx, sy);
                    const TImagePtr& image = side == 0 ? alone[static_cast<size_t>(frame)] : shared;
                    const int index = side == 0 ? 0 : frame;
                    switch (random.Below(4)) {
                    case 0:
                        DrawImageStretched(image, x, y, size.width * (0.5f + random.Unit()),
                                           size.height * (0.5f + random.Unit()), index);
                        break;
                    case 1: {
                        // A part of the frame, as the font atlas draws its glyphs.
                        const int px = random.Below(size.width), py = random.Below(size.height);
                        const float pw = static_cast<float>(1 + random.Below(size.width - px));
                        const float ph = static_cast<float>(1 + random.Below(size.height - py));
                        image->Frame(index)->DrawPart(static_cast<float>(px), static_cast<float>(py), pw, ph,
                                                      0.0f, 0.0f, pw, ph, x, y);
                        break;
                    }
                    default: DrawImage(image, x, y, index); break;
                    }
                    // Each draw is rasterised on its own: on exact texel ties the software rasteriser's
                    // choice for a turned quad can also depend on the other quads of its draw call,
                    // and sharing a texture changes which quads go together by design.
                    GrabPixmap(0, 0, 1, 1);
                }
                SetRotationScale(0.0f, 1.0f, 1.0f);
                result[side] = GrabPixmap(0, 0, 640, 480);
                binds[side] += GetDrawCounts().texture_binds - before.texture_binds;
            }
            ASSERT_TRUE(SamePixels(result[0], result[1], "sheet_" + label + "_" + std::to_string(picture)));
        }
        // Many draws came from the shared texture: fewer binds than a texture per frame takes, although
        // these scenes are made of the placements that need the frame's own texture.
        if (size.count > 2) {
            EXPECT_LT(binds[1], binds[0]);
        }
    }
    SetBlend(BLEND_MASK);
    SetColor(255, 255, 255);
}
