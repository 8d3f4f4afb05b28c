// Pixel-exact image collisions: touching edges, transparent pixels, rotation, scale, handles, origin,
// the layer store and its reuse, frames, and agreement with what DrawImage puts on a real GL picture.
#include "draw_test_support.h"

#include "render/collision.h"
#include "render/image.h"

#include <string>
#include <vector>

using namespace draw_test;

namespace {

class CollisionTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureGraphics();
        ResetDrawing();
        SetImageMaskColor(0, 0, 0);
        SetAutoCenterHandle(0);
        ClearCollisionLayers(0);
    }
    void TearDown() override {
        SetAutoCenterHandle(0);
        SetRotationScale(0.0f, 1.0f, 1.0f);
        SetOrigin(0.0f, 0.0f);
    }
};

// An RGBA pixmap from rows of '#' (opaque white) and '.' (transparent).
TPixmapPtr ArtPixmap(const std::vector<std::string>& rows) {
    const int w = static_cast<int>(rows[0].size());
    const int h = static_cast<int>(rows.size());
    TPixmapPtr p = CreatePixmap(w, h, PF_RGBA8888);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            PutPixel(p, x, y, rows[y][x] == '#' ? Rgba{255, 255, 255, 255} : Rgba{0, 0, 0, 0});
        }
    }
    return p;
}

TImagePtr ArtImage(const std::vector<std::string>& rows) {
    return LoadImage(ArtPixmap(rows), 0);
}

TImagePtr Box(int w, int h) {
    return LoadImage(SolidPixmap(w, h, {255, 255, 255, 255}), 0);
}

// One opaque pixel, placed without rotation or scale by ImagesCollideTransformed.
int DotHits(const TImagePtr& image, int x, int y, int frame, float rotation, float sx, float sy, int dot_x,
            int dot_y) {
    static const TImagePtr dot = Box(1, 1);
    return ImagesCollideTransformed(image, x, y, frame, rotation, sx, sy, dot, dot_x, dot_y, 0, 0.0f, 1.0f,
                                    1.0f);
}

// Draws a in red and b in green, added together under the current state, and tells whether any pixel of
// the picture got both.
bool DrawnOverlap(const TImagePtr& a, int ax, int ay, const TImagePtr& b, int bx, int by) {
    Cls();
    SetBlend(BLEND_LIGHT);
    SetColor(255, 0, 0);
    DrawImage(a, static_cast<float>(ax), static_cast<float>(ay));
    SetColor(0, 255, 0);
    DrawImage(b, static_cast<float>(bx), static_cast<float>(by));
    TPixmapPtr picture = GrabPixmap(130, 130, 110, 110);
    for (int y = 0; y < picture->height; ++y) {
        for (int x = 0; x < picture->width; ++x) {
            const Rgba c = PixelOf(picture, x, y);
            if (c.r >= 128 && c.g >= 128) return true;
        }
    }
    return false;
}

const std::vector<std::string> kShape = {
    "##......", //
    "###....#", //
    ".#.##..#", //
    "...###..", //
    "#...##..", //
    "##.....#", //
};

} // namespace

TEST_F(CollisionTest, OpaqueFramesTouchOnlyWhenPixelsShare) {
    TImagePtr a = Box(10, 10);
    TImagePtr b = Box(10, 10);
    // Spans 0..10 and 9..19 share column 9; 0..10 and 10..20 share nothing.
    EXPECT_EQ(ImagesCollide(a, 0, 0, 0, b, 9, 0, 0), 1);
    EXPECT_EQ(ImagesCollide(a, 0, 0, 0, b, 10, 0, 0), 0);
    EXPECT_EQ(ImagesCollide(a, 0, 0, 0, b, 0, 9, 0), 1);
    EXPECT_EQ(ImagesCollide(a, 0, 0, 0, b, 0, 10, 0), 0);
    EXPECT_EQ(ImagesCollide(a, 0, 0, 0, b, 9, 9, 0), 1);
    EXPECT_EQ(ImagesCollide(a, 0, 0, 0, b, 10, 9, 0), 0);
    EXPECT_EQ(ImagesCollide(a, 0, 0, 0, b, 9, -10, 0), 0);
    // The other way round, and on the left and above.
    EXPECT_EQ(ImagesCollide(b, 9, 0, 0, a, 0, 0, 0), 1);
    EXPECT_EQ(ImagesCollide(a, 100, 50, 0, b, 91, 41, 0), 1);
    EXPECT_EQ(ImagesCollide(a, 100, 50, 0, b, 90, 41, 0), 0);
    EXPECT_EQ(ImagesCollide(a, 100, 50, 0, b, 91, 40, 0), 0);
    // Far apart: rejected by the boxes; same place: full overlap.
    EXPECT_EQ(ImagesCollide(a, 0, 0, 0, b, 300, 300, 0), 0);
    EXPECT_EQ(ImagesCollide(a, 40, 40, 0, b, 40, 40, 0), 1);
}

TEST_F(CollisionTest, TransparentPixelsNeverCollide) {
    TImagePtr left_half = ArtImage(std::vector<std::string>(10, "#####....."));
    TImagePtr box = Box(10, 10);
    // The boxes overlap in columns 5..9 of left_half, which are all transparent.
    EXPECT_EQ(ImagesCollide(left_half, 0, 0, 0, box, 5, 0, 0), 0);
    EXPECT_EQ(ImagesCollide(left_half, 0, 0, 0, box, 4, 0, 0), 1);
    EXPECT_EQ(ImagesCollide(box, 5, 3, 0, left_half, 0, 0, 0), 0);
    // Two half-solid frames on top of each other: their solid halves lie side by side.
    TImagePtr right_half = ArtImage(std::vector<std::string>(10, ".....#####"));
    EXPECT_EQ(ImagesCollide(left_half, 0, 0, 0, right_half, 0, 0, 0), 0);
    EXPECT_EQ(ImagesCollide(left_half, 1, 0, 0, right_half, 0, 0, 0), 1);

    // Solid means alpha 128 or more.
    TImagePtr faint = LoadImage(SolidPixmap(10, 10, {255, 255, 255, 127}), 0);
    TImagePtr half = LoadImage(SolidPixmap(10, 10, {255, 255, 255, 128}), 0);
    EXPECT_EQ(ImagesCollide(faint, 0, 0, 0, box, 3, 3, 0), 0);
    EXPECT_EQ(ImagesCollide(half, 0, 0, 0, box, 3, 3, 0), 1);
}

TEST_F(CollisionTest, MasksWithoutOrWithOneByteAlpha) {
    TPixmapPtr black = CreatePixmap(10, 10, PF_RGB888);
    black->ClearPixels(0xff000000u);
    black->WritePixel(6, 2, 0xffffffffu);
    TImagePtr box = Box(1, 1);
    // An unmasked RGB frame has no alpha: the whole rectangle is solid.
    TImagePtr plain = LoadImage(black, 0);
    EXPECT_EQ(ImagesCollide(plain, 0, 0, 0, box, 0, 0, 0), 1);
    EXPECT_EQ(ImagesCollide(plain, 0, 0, 0, box, 9, 9, 0), 1);
    // Masked, its black is transparent: only the white pixel is left.
    TImagePtr masked = LoadImage(black, IMAGE_MASKED);
    int hits = 0;
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) hits += ImagesCollide(masked, 0, 0, 0, box, x, y, 0);
    }
    EXPECT_EQ(hits, 1);
    EXPECT_EQ(ImagesCollide(masked, 0, 0, 0, box, 6, 2, 0), 1);

    // A one-byte alpha frame reads its alpha byte per pixel (not four bytes per pixel).
    TPixmapPtr alpha = CreatePixmap(10, 10, PF_A8);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) *alpha->PixelPtr(x, y) = x < 3 ? 255 : 0;
    }
    TImagePtr a8 = TImage::Create(10, 10, 1, 0, 0, 0, 0);
    a8->SetPixmap(0, alpha);
    EXPECT_EQ(ImagesCollide(a8, 0, 0, 0, box, 2, 9, 0), 1);
    EXPECT_EQ(ImagesCollide(a8, 0, 0, 0, box, 3, 9, 0), 0);
    EXPECT_EQ(ImagesCollide(a8, 0, 0, 0, box, 9, 0, 0), 0);
}

TEST_F(CollisionTest, EmptyFramesAndMissingImagesHitNothing) {
    TImagePtr empty = CreateImage(10, 10, 1, 0);
    TImagePtr box = Box(10, 10);
    EXPECT_EQ(ImagesCollide(empty, 0, 0, 0, box, 0, 0, 0), 0);
    EXPECT_EQ(ImagesCollide(nullptr, 0, 0, 0, box, 0, 0, 0), 0);
    EXPECT_EQ(ImagesCollide(box, 0, 0, 0, nullptr, 0, 0, 0), 0);
    // Zero-sized frames cover no row.
    TImagePtr flat = TImage::Create(10, 0, 1, 0, 0, 0, 0);
    EXPECT_EQ(ImagesCollide(flat, 0, 0, 0, box, 0, 0, 0), 0);
}

TEST_F(CollisionTest, ThinBarRotatedWithTheDrawingState) {
    TImagePtr bar1 = Box(20, 2);
    TImagePtr bar2 = Box(20, 2);
    // Unrotated the bars lie along x: one behind the other they overlap, one below the other they do not.
    EXPECT_EQ(ImagesCollide(bar1, 100, 100, 0, bar2, 110, 100, 0), 1);
    EXPECT_EQ(ImagesCollide(bar1, 100, 100, 0, bar2, 100, 110, 0), 0);
    // Turned 90 degrees (clockwise on screen) each runs down from its position, two pixels to its left.
    SetRotation(90.0f);
    EXPECT_EQ(ImagesCollide(bar1, 100, 100, 0, bar2, 110, 100, 0), 0);
    EXPECT_EQ(ImagesCollide(bar1, 100, 100, 0, bar2, 100, 110, 0), 1);
    EXPECT_EQ(ImagesCollide(bar1, 100, 100, 0, bar2, 101, 110, 0), 1);
    EXPECT_EQ(ImagesCollide(bar1, 100, 100, 0, bar2, 102, 110, 0), 0);
    SetRotation(0.0f);

    EXPECT_EQ(DotHits(bar1, 100, 100, 0, 90.0f, 1.0f, 1.0f, 98, 119), 1);
    EXPECT_EQ(DotHits(bar1, 100, 100, 0, 90.0f, 1.0f, 1.0f, 99, 100), 1);
    EXPECT_EQ(DotHits(bar1, 100, 100, 0, 90.0f, 1.0f, 1.0f, 100, 105), 0);
    EXPECT_EQ(DotHits(bar1, 100, 100, 0, 90.0f, 1.0f, 1.0f, 97, 105), 0);
    EXPECT_EQ(DotHits(bar1, 100, 100, 0, 90.0f, 1.0f, 1.0f, 99, 120), 0);
    EXPECT_EQ(DotHits(bar1, 100, 100, 0, 90.0f, 1.0f, 1.0f, 110, 100), 0); // where the unturned bar lies
    EXPECT_EQ(DotHits(bar1, 100, 100, 0, 0.0f, 1.0f, 1.0f, 110, 100), 1);
}

TEST_F(CollisionTest, ScaledFramesCoverTheirScaledSize) {
    TImagePtr a = Box(10, 10);
    TImagePtr b = Box(10, 10);
    SetScale(2.0f, 2.0f);
    EXPECT_EQ(ImagesCollide(a, 0, 0, 0, b, 19, 0, 0), 1);
    EXPECT_EQ(ImagesCollide(a, 0, 0, 0, b, 20, 0, 0), 0);
    SetScale(0.5f, 1.0f);
    EXPECT_EQ(ImagesCollide(a, 0, 0, 0, b, 4, 0, 0), 1);
    EXPECT_EQ(ImagesCollide(a, 0, 0, 0, b, 5, 0, 0), 0);
    SetScale(1.0f, 1.0f);

    // Mirrored in x the frame lies to the left of its position, its columns reversed.
    TImagePtr left_col = ArtImage(std::vector<std::string>(4, "#..."));
    EXPECT_EQ(DotHits(left_col, 50, 50, 0, 0.0f, -1.0f, 1.0f, 49, 51), 1);
    EXPECT_EQ(DotHits(left_col, 50, 50, 0, 0.0f, -1.0f, 1.0f, 46, 51), 0);
    EXPECT_EQ(DotHits(left_col, 50, 50, 0, 0.0f, -1.0f, 1.0f, 50, 51), 0);
    EXPECT_EQ(DotHits(left_col, 50, 50, 0, 0.0f, 3.0f, 2.0f, 52, 57), 1);
    EXPECT_EQ(DotHits(left_col, 50, 50, 0, 0.0f, 3.0f, 2.0f, 53, 57), 0);
    EXPECT_EQ(DotHits(left_col, 50, 50, 0, 0.0f, 3.0f, 2.0f, 52, 58), 0);
}

TEST_F(CollisionTest, ImageHandlesPlaceFramesButTheDrawingHandleDoesNot) {
    TImagePtr a = Box(10, 10);
    TImagePtr b = Box(10, 10);
    CenterImageHandle(a);
    CenterImageHandle(b);
    // Centred on (100, 100): 95..105.
    EXPECT_EQ(ImagesCollide(a, 100, 100, 0, b, 109, 100, 0), 1);
    EXPECT_EQ(ImagesCollide(a, 100, 100, 0, b, 110, 100, 0), 0);
    EXPECT_EQ(DotHits(a, 100, 100, 0, 0.0f, 1.0f, 1.0f, 95, 95), 1);
    EXPECT_EQ(DotHits(a, 100, 100, 0, 0.0f, 1.0f, 1.0f, 94, 95), 0);
    EXPECT_EQ(DotHits(a, 100, 100, 0, 0.0f, 1.0f, 1.0f, 104, 104), 1);
    EXPECT_EQ(DotHits(a, 100, 100, 0, 0.0f, 1.0f, 1.0f, 105, 104), 0);
    // A centred frame turns about its centre: a 20 x 2 bar turned 90 degrees covers 99..101 x 90..110.
    SetAutoCenterHandle(1);
    TImagePtr bar = Box(20, 2);
    EXPECT_FLOAT_EQ(bar->handle_x, 10.0f);
    EXPECT_EQ(DotHits(bar, 100, 100, 0, 90.0f, 1.0f, 1.0f, 99, 90), 1);
    EXPECT_EQ(DotHits(bar, 100, 100, 0, 90.0f, 1.0f, 1.0f, 100, 109), 1);
    EXPECT_EQ(DotHits(bar, 100, 100, 0, 90.0f, 1.0f, 1.0f, 101, 100), 0);
    EXPECT_EQ(DotHits(bar, 100, 100, 0, 90.0f, 1.0f, 1.0f, 99, 110), 0);
    EXPECT_EQ(DotHits(bar, 100, 100, 0, 90.0f, 1.0f, 1.0f, 90, 100), 0);
    SetAutoCenterHandle(0);

    SetHandle(5.0f, 5.0f);
    TImagePtr c = Box(10, 10);
    // c stays at 0..10; b centred on (14, 5) covers 9..19.
    EXPECT_EQ(ImagesCollide(c, 0, 0, 0, b, 14, 5, 0), 1);
    EXPECT_EQ(ImagesCollide(c, 0, 0, 0, b, 15, 5, 0), 0);
    SetHandle(0.0f, 0.0f);
}

TEST_F(CollisionTest, TransformedCallRestoresRotationAndScale) {
    SetRotationScale(30.0f, 1.5f, 0.5f);
    float ix = 0, iy = 0, jx = 0, jy = 0;
    GetCollisionTransform(ix, iy, jx, jy);
    TImagePtr a = Box(10, 10);
    DotHits(a, 0, 0, 0, 90.0f, 2.0f, 2.0f, 0, 0);
    EXPECT_FLOAT_EQ(GetRotation(), 30.0f);
    float sx = 0, sy = 0;
    GetScale(sx, sy);
    EXPECT_FLOAT_EQ(sx, 1.5f);
    EXPECT_FLOAT_EQ(sy, 0.5f);
    float ix2 = 0, iy2 = 0, jx2 = 0, jy2 = 0;
    GetCollisionTransform(ix2, iy2, jx2, jy2);
    EXPECT_EQ(ix, ix2);
    EXPECT_EQ(iy, iy2);
    EXPECT_EQ(jx, jx2);
    EXPECT_EQ(jy, jy2);
}

TEST_F(CollisionTest, RepeatedCallsReuseOneScratchQuad) {
    TImagePtr a = Box(10, 10);
    TImagePtr b = Box(10, 10);
    EXPECT_EQ(ImagesCollide(a, 0, 0, 0, b, 5, 5, 0), 1);
    EXPECT_EQ(ImagesCollide(a, 0, 0, 0, b, 5, 5, 0), 1);
    const int quads = CollisionLayerSize(31) + CollisionFreeQuadCount();
    EXPECT_EQ(CollisionLayerSize(31), 1);
    // A miss after a hit: the first frame of the earlier call is gone from the scratch layer.
    EXPECT_EQ(ImagesCollide(a, 200, 200, 0, b, 5, 5, 0), 0);
    EXPECT_EQ(ImagesCollide(a, 0, 0, 0, b, 5, 5, 0), 1);
    for (int i = 0; i < 100; ++i) ImagesCollide(a, i, 0, 0, b, 50, 0, 0);
    EXPECT_EQ(CollisionLayerSize(31), 1);
    EXPECT_EQ(CollisionLayerSize(31) + CollisionFreeQuadCount(), quads);
    // Other layers are left alone.
    for (int layer = 0; layer < 31; ++layer) EXPECT_EQ(CollisionLayerSize(layer), 0) << layer;
}

TEST_F(CollisionTest, LayersReturnIdsInLayerThenListOrder) {
    TImagePtr box = Box(10, 10);
    auto id_a = std::make_shared<int>(1);
    auto id_b = std::make_shared<int>(2);
    auto id_c = std::make_shared<int>(3);
    EXPECT_TRUE(CollideImageLayers(box, 0, 0, 0, 0, 1u << 0 | 1u << 2, id_a).empty());
    EXPECT_TRUE(CollideImageLayers(box, 5, 0, 0, 0, 1u << 1, id_b).empty());
    // Layer 0 now holds c then a (newest at the head).
    EXPECT_TRUE(CollideImageLayers(box, 100, 0, 0, 0, 1u << 0, id_c).empty());
    EXPECT_EQ(CollisionLayerSize(0), 2);

    std::vector<TCollisionId> hits = CollideRectLayers(0, 0, 200, 10, 0b111, 0, nullptr);
    EXPECT_EQ(hits, (std::vector<TCollisionId>{id_c, id_a, id_b, id_a}));
    // Only the layers asked for; the rectangle at 12..22 misses a (0..10) and reaches b (5..15) and c.
    hits = CollideRectLayers(12, 0, 10, 10, 0b011, 0, nullptr);
    EXPECT_EQ(hits, (std::vector<TCollisionId>{id_b}));
    hits = CollideRectLayers(95, 0, 10, 10, 0b001, 0, nullptr);
    EXPECT_EQ(hits, (std::vector<TCollisionId>{id_c}));
    EXPECT_TRUE(CollideRectLayers(30, 0, 10, 10, 0, 0, nullptr).empty());

    // Writing into a layer that is also tested does not hit the frame being written.
    hits = CollideImageLayers(box, 300, 0, 0, 1u << 5, 1u << 5, id_a);
    EXPECT_TRUE(hits.empty());
    hits = CollideImageLayers(box, 305, 5, 0, 1u << 5, 1u << 5, id_b);
    EXPECT_EQ(hits, (std::vector<TCollisionId>{id_a}));

    hits.clear();
    // Clearing returns the quads to the free list and lets go of their ids and masks.
    const int free_before = CollisionFreeQuadCount();
    const long a_refs = id_a.use_count();
    ClearCollisionLayers(1u << 0);
    EXPECT_EQ(CollisionLayerSize(0), 0);
    EXPECT_EQ(CollisionLayerSize(2), 1);
    EXPECT_EQ(CollisionFreeQuadCount(), free_before + 2);
    EXPECT_EQ(id_a.use_count(), a_refs - 1);
    EXPECT_EQ(id_c.use_count(), 1);
    ClearCollisionLayers(0);
    for (int layer = 0; layer < COLLISION_LAYER_COUNT; ++layer) EXPECT_EQ(CollisionLayerSize(layer), 0);
    EXPECT_EQ(id_a.use_count(), 1);
    EXPECT_EQ(id_b.use_count(), 1);
    // New quads come from the free list.
    const int free_now = CollisionFreeQuadCount();
    CollideImageLayers(box, 0, 0, 0, 0, 1u << 3 | 1u << 4, id_a);
    EXPECT_EQ(CollisionFreeQuadCount(), free_now - 2);
}

TEST_F(CollisionTest, LayerQuadsKeepTheOriginTheyWerePlacedWith) {
    TImagePtr box = Box(10, 10);
    auto id = std::make_shared<int>(7);
    SetOrigin(40.0f, 30.0f);
    CollideImageLayers(box, 0, 0, 0, 0, 1u << 0, id); // at 40..50, 30..40 on screen
    SetOrigin(0.0f, 0.0f);
    EXPECT_EQ(CollideRectLayers(49, 39, 1, 1, 1u << 0, 0, nullptr).size(), 1u);
    EXPECT_TRUE(CollideRectLayers(50, 39, 1, 1, 1u << 0, 0, nullptr).empty());
    EXPECT_TRUE(CollideRectLayers(39, 30, 1, 1, 1u << 0, 0, nullptr).empty());
    SetOrigin(-40.0f, -30.0f);
    EXPECT_EQ(CollideImageLayers(box, 89, 69, 0, 1u << 0, 0, nullptr).size(), 1u); // 49..59, 39..49
    EXPECT_TRUE(CollideImageLayers(box, 90, 69, 0, 1u << 0, 0, nullptr).empty());
}

TEST_F(CollisionTest, EachFrameCollidesWithItsOwnPixels) {
    TImagePtr two = TImage::Create(10, 10, 3, 0, 0, 0, 0);
    two->SetPixmap(0, ArtPixmap(std::vector<std::string>(10, "##........")));
    two->SetPixmap(1, ArtPixmap(std::vector<std::string>(10, "........##")));
    TImagePtr box = Box(2, 2);
    EXPECT_EQ(ImagesCollide(two, 0, 0, 0, box, 0, 4, 0), 1);
    EXPECT_EQ(ImagesCollide(two, 0, 0, 0, box, 8, 4, 0), 0);
    EXPECT_EQ(ImagesCollide(two, 0, 0, 1, box, 0, 4, 0), 0);
    EXPECT_EQ(ImagesCollide(two, 0, 0, 1, box, 8, 4, 0), 1);
    EXPECT_EQ(ImagesCollide(box, 8, 4, 0, two, 0, 0, 1), 1);
    EXPECT_EQ(ImagesCollide(two, 0, 0, 2, box, 4, 4, 0), 0); // never filled

    // Cells of one sheet.
    TPixmapPtr sheet = ArtPixmap({"#...", "#...", "...#", "...#"});
    TImagePtr cells = LoadImageCells(sheet, 2, 2, 0, 4, 0);
    ASSERT_TRUE(cells);
    TImagePtr dot = Box(1, 1);
    EXPECT_EQ(ImagesCollide(cells, 0, 0, 0, dot, 0, 1, 0), 1);
    EXPECT_EQ(ImagesCollide(cells, 0, 0, 1, dot, 0, 1, 0), 0);
    EXPECT_EQ(ImagesCollide(cells, 0, 0, 3, dot, 1, 0, 0), 1);
    EXPECT_EQ(ImagesCollide(cells, 0, 0, 3, dot, 0, 0, 0), 0);
}

// Every solid pixel of a rotated frame is found where DrawImage puts it, and nowhere else.
TEST_F(CollisionTest, RotatedMaskMatchesTheDrawnPicture) {
    TImagePtr shape = ArtImage(kShape);
    struct Pose {
        float rotation, sx, sy;
    };
    for (const Pose pose : {Pose{0, 1, 1}, Pose{90, 1, 1}, Pose{180, 1, 1}, Pose{270, 1, 1}, Pose{90, 2, 3},
                            Pose{0, -2, 1}, Pose{270, 1, -2}}) {
        SCOPED_TRACE("rotation " + std::to_string(pose.rotation) + " scale " + std::to_string(pose.sx) + " " +
                     std::to_string(pose.sy));
        SetImageHandle(shape, 3.0f, 2.0f);
        SetRotationScale(pose.rotation, pose.sx, pose.sy);
        Cls();
        DrawImage(shape, 150.0f, 150.0f);
        SetRotationScale(0.0f, 1.0f, 1.0f);
        TPixmapPtr picture = GrabPixmap(100, 100, 100, 100);
        int solid = 0;
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 100; ++x) {
                const bool drawn = PixelOf(picture, x, y).r == 255;
                const int hit =
                    DotHits(shape, 150, 150, 0, pose.rotation, pose.sx, pose.sy, 100 + x, 100 + y);
                solid += drawn;
                ASSERT_EQ(hit, drawn ? 1 : 0) << "pixel " << 100 + x << ", " << 100 + y;
            }
        }
        EXPECT_GE(solid, 19); // the shape's solid pixels, unscaled
    }
}

// Both frames drawn under one state overlap on the picture exactly when ImagesCollide says they collide.
TEST_F(CollisionTest, CollisionsAgreeWithDrawnOverlap) {
    TImagePtr shape = ArtImage(kShape);
    TImagePtr hook = ArtImage({"###", "#..", "#.#"});
    struct State {
        float rotation, sx, sy, origin_x, origin_y;
        bool centred;
    };
    for (const State s : {State{0, 1, 1, 0, 0, false}, State{90, 1, 1, 17, 11, true},
                          State{180, 2, 2, 0, 0, false}, State{270, -1, 2, -9, 4, true}}) {
        SCOPED_TRACE("rotation " + std::to_string(s.rotation));
        if (s.centred) {
            CenterImageHandle(shape);
            SetImageHandle(hook, 1.0f, 1.0f);
        } else {
            SetImageHandle(shape, 0.0f, 0.0f);
            SetImageHandle(hook, 0.0f, 0.0f);
        }
        SetRotationScale(s.rotation, s.sx, s.sy);
        SetOrigin(s.origin_x, s.origin_y);
        int hits = 0, misses = 0;
        for (int dy = -14; dy <= 14; ++dy) {
            for (int dx = -14; dx <= 14; ++dx) {
                const int collide = ImagesCollide(shape, 180, 180, 0, hook, 180 + dx, 180 + dy, 0);
                const bool drawn = DrawnOverlap(shape, 180, 180, hook, 180 + dx, 180 + dy);
                ASSERT_EQ(collide, drawn ? 1 : 0) << "hook at offset " << dx << ", " << dy;
                (collide ? hits : misses)++;
            }
        }
        EXPECT_GT(hits, 20);
        EXPECT_GT(misses, 20);
    }
}
