// Images on a real GL picture: texture sizes and edge copies, placement with handles, masking,
// grabbing, cells, tiling, filtering and the re-upload of textures after a new context.
#include "draw_test_support.h"
#include "gl_texture_read.h"

#include "backends/gl1/gl_draw2d.h"
#include "backends/gl_common/gl_image_frame.h"
#include "render/draw2d_driver.h"
#include "render/image.h"
#include "render/pixmap_loader.h"
#include "render/texture_pixels.h"

#include <GL/gl.h>

#include <unistd.h>

#include <cstring>

#include <vector>

using namespace draw_test;

namespace {

// Like the game's image globals, made before main and destroyed after the GL layer's own state, with
// a texture still held.
TImagePtr g_image_held_until_exit;

class ImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureGraphics();
        InitPixmapLoaders();
        ResetDrawing();
        SetImageMaskColor(0, 0, 0);
        SetDefaultImageFlags(3);
        SetAutoCenterHandle(0);
    }
};

std::shared_ptr<TGLImageFrame> GLFrame(const TImagePtr& image, int index = 0) {
    return std::dynamic_pointer_cast<TGLImageFrame>(image->Frame(index));
}

// A pixmap whose colour changes with x only (so sampling between rows does not matter).
TPixmapPtr ColumnPixmap(int w, int h) {
    TPixmapPtr p = CreatePixmap(w, h, PF_RGBA8888);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) PutPixel(p, x, y, {6 * x + 10, 200, 40 + y, 255});
    }
    return p;
}

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/test_image_XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

} // namespace

TEST(ImageTextureSize, PowersOfTwo) {
    EXPECT_EQ(TextureSizePow2(1), 1);
    EXPECT_EQ(TextureSizePow2(27), 32);
    EXPECT_EQ(TextureSizePow2(40), 64);
    EXPECT_EQ(TextureSizePow2(64), 64);
    EXPECT_EQ(TextureSizePow2(65), 128);
    EXPECT_EQ(TextureSizePow2(480), 512);
}

TEST_F(ImageTest, FrameTextureRepeatsItsLastColumnAndRow) {
    TPixmapPtr p = CreatePixmap(40, 27, PF_RGBA8888);
    for (int y = 0; y < 27; ++y) {
        for (int x = 0; x < 40; ++x) PutPixel(p, x, y, {x * 6, y * 9, (x * y) & 255, 200});
    }
    TImagePtr img = LoadImage(p, 0);
    auto frame = GLFrame(img);
    ASSERT_TRUE(frame);
    EXPECT_FLOAT_EQ(frame->u1, 0.625f);
    EXPECT_FLOAT_EQ(frame->v1, 0.84375f);
    EXPECT_EQ(frame->u0, 0.0f);
    EXPECT_EQ(frame->v0, 0.0f);
    EXPECT_EQ(frame->seq, GraphicsSeq());

    int tw = 64, th = 32; // given for ES 2.0, which cannot tell
    TPixmapPtr tex = ReadTexture(frame->name, tw, th);
    ASSERT_EQ(tw, 64);
    ASSERT_EQ(th, 32);
    for (int y = 0; y < 27; ++y) {
        for (int x = 0; x < 40; ++x) ASSERT_EQ(PixelOf(tex, x, y), PixelOf(p, x, y)) << x << "," << y;
        EXPECT_EQ(PixelOf(tex, 40, y), PixelOf(p, 39, y)) << "row " << y;
    }
    for (int x = 0; x < 40; ++x) EXPECT_EQ(PixelOf(tex, x, 27), PixelOf(p, x, 26)) << "column " << x;
    EXPECT_EQ(PixelOf(tex, 40, 27), PixelOf(p, 39, 26));
    EXPECT_EQ(PixelOf(tex, 41, 28), (Rgba{0, 0, 0, 0}));
}

TEST_F(ImageTest, ScreenSizedImageAndMipmaps) {
    TImagePtr screen = CreateImage(640, 480, 1, 0);
    auto frame = GLFrame(screen);
    ASSERT_TRUE(frame);
    EXPECT_FLOAT_EQ(frame->u1, 0.625f);
    EXPECT_FLOAT_EQ(frame->v1, 0.9375f);
    if (!OnGles2()) {
        int tw = 0, th = 0;
        ReadTexture(frame->name, tw, th);
        EXPECT_EQ(tw, 1024);
        EXPECT_EQ(th, 512);
    }

    // Filtered and mipmapped: linear filters and a chain of levels down to 1 x 1 (64 x 32 needs 6).
    TImagePtr mip = LoadImage(SolidPixmap(40, 27, {90, 90, 90, 255}), IMAGE_FILTERED | IMAGE_MIPMAPPED);
    auto mf = GLFrame(mip);
    ASSERT_TRUE(mf);
    // ES 2.0 has no queries of a texture's level sizes.
    if (OnGles2()) GTEST_SKIP() << "level sizes cannot be asked of an ES 2.0 context";
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, mf->name);
    GLint min_filter = 0, mag_filter = 0, w5 = 0, h5 = 0, w6 = 0, h6 = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag_filter);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 5, GL_TEXTURE_WIDTH, &w5);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 5, GL_TEXTURE_HEIGHT, &h5);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 6, GL_TEXTURE_WIDTH, &w6);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 6, GL_TEXTURE_HEIGHT, &h6);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
    EXPECT_EQ(min_filter, GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(mag_filter, GL_LINEAR);
    EXPECT_EQ(w5, 2);
    EXPECT_EQ(h5, 1);
    EXPECT_EQ(w6, 1);
    EXPECT_EQ(h6, 1);
}

TEST_F(ImageTest, FilteringFlagDecidesBetweenBlendAndNearest) {
    TPixmapPtr p = SolidPixmap(2, 1, {0, 0, 0, 255});
    PutPixel(p, 1, 0, {255, 255, 255, 255});
    TImagePtr sharp = LoadImage(p, 0);
    TImagePtr smooth = LoadImage(p, IMAGE_FILTERED);
    SetBlend(BLEND_SOLID);
    DrawImageStretched(sharp, 0, 0, 16, 1);
    DrawImageStretched(smooth, 0, 10, 16, 1);
    TPixmapPtr a = GrabPixmap(0, 0, 16, 1);
    TPixmapPtr b = GrabPixmap(0, 10, 16, 1);
    for (int x = 0; x < 16; ++x) {
        const int v = PixelOf(a, x, 0).r;
        EXPECT_TRUE(v == 0 || v == 255) << "nearest x " << x << " gave " << v;
    }
    int between = 0;
    for (int x = 0; x < 16; ++x) {
        const int v = PixelOf(b, x, 0).r;
        if (v > 0 && v < 255) ++between;
    }
    EXPECT_GE(between, 6);
}

TEST_F(ImageTest, HandlePlacesTheFrame) {
    TImagePtr img = LoadImage(ColumnPixmap(40, 27), 0);
    SetImageHandle(img, 20.0f, 13.5f);
    DrawImage(img, 100, 100);
    TPixmapPtr shot = GrabPixmap(0, 0, 200, 200);
    int x0, y0, x1, y1;
    ASSERT_TRUE(LitBox(shot, x0, y0, x1, y1));
    // Covers x 80..120 and y 86.5..113.5. The pixel centres on the half-pixel edges follow GL's rule,
    // which counts rows from the bottom: the one on the lower edge is in, the one on the upper is out.
    EXPECT_EQ(x0, 80);
    EXPECT_EQ(x1, 119);
    EXPECT_EQ(y0, 87);
    EXPECT_EQ(y1, 113);
    EXPECT_EQ(PixelOf(shot, 80, 100).r, 10);
    EXPECT_EQ(PixelOf(shot, 119, 100).r, 6 * 39 + 10);

    // Turned 180 degrees about the handle: the same box, mirrored.
    Cls();
    SetRotation(180.0f);
    DrawImage(img, 100, 100);
    shot = GrabPixmap(0, 0, 200, 200);
    ASSERT_TRUE(LitBox(shot, x0, y0, x1, y1));
    EXPECT_EQ(x0, 80);
    EXPECT_EQ(x1, 119);
    EXPECT_EQ(y0, 87);
    EXPECT_EQ(y1, 113);
    for (int x = 80; x < 120; ++x) EXPECT_EQ(PixelOf(shot, x, 100).r, 6 * (119 - x) + 10) << "x " << x;

    // The origin moves images too; the global handle does not.
    Cls();
    SetRotation(0.0f);
    SetOrigin(-50.0f, 10.0f);
    SetHandle(30.0f, 30.0f);
    DrawImage(img, 100, 100);
    shot = GrabPixmap(0, 0, 200, 200);
    ASSERT_TRUE(LitBox(shot, x0, y0, x1, y1));
    EXPECT_EQ(x0, 30);
    EXPECT_EQ(y0, 97); // 96.5, the upper edge again
}

TEST_F(ImageTest, StretchedAndScaled) {
    TImagePtr img = LoadImage(SolidPixmap(4, 4, {255, 255, 255, 255}), 0);
    DrawImageStretched(img, 10, 10, 20, 8);
    TPixmapPtr shot = GrabPixmap(0, 0, 100, 100);
    int x0, y0, x1, y1;
    ASSERT_TRUE(LitBox(shot, x0, y0, x1, y1));
    EXPECT_EQ(x0, 10);
    EXPECT_EQ(x1, 29);
    EXPECT_EQ(y0, 10);
    EXPECT_EQ(y1, 17);

    Cls();
    SetScale(3.0f, 2.0f);
    DrawImage(img, 50, 50);
    shot = GrabPixmap(0, 0, 100, 100);
    ASSERT_TRUE(LitBox(shot, x0, y0, x1, y1));
    EXPECT_EQ(x0, 50);
    EXPECT_EQ(x1, 61);
    EXPECT_EQ(y0, 50);
    EXPECT_EQ(y1, 57);
}

TEST_F(ImageTest, CreateImageFlagsAndAutoCentre) {
    SetDefaultImageFlags(9);
    EXPECT_EQ(CreateImage(4, 4, 1, -1)->flags, 9);
    SetDefaultImageFlags(3);
    EXPECT_EQ(CreateImage(4, 4, 1, -1)->flags, 11);
    SetDefaultImageFlags(-1);
    EXPECT_EQ(GetDefaultImageFlags(), 3);
    EXPECT_EQ(CreateImage(4, 4, 1, 0)->flags, 8);

    TImagePtr plain = CreateImage(40, 27, 3, -1);
    EXPECT_EQ(plain->handle_x, 0.0f);
    EXPECT_EQ(plain->pixmaps.size(), 3u);
    SetAutoCenterHandle(1);
    TImagePtr centred = CreateImage(40, 27, 1, -1);
    TImagePtr loaded = LoadImage(SolidPixmap(10, 5, {1, 2, 3, 255}), 0);
    SetAutoCenterHandle(0);
    EXPECT_EQ(centred->handle_x, 20.0f);
    EXPECT_EQ(centred->handle_y, 13.5f);
    EXPECT_EQ(loaded->handle_x, 5.0f);
    EXPECT_EQ(loaded->handle_y, 2.5f);
    SetImageMaskColor(1, 2, 3);
    int r, g, b;
    GetImageMaskColor(r, g, b);
    EXPECT_EQ(CreateImage(1, 1)->mask_b, 3);
    EXPECT_EQ(b, 3);
}

TEST_F(ImageTest, MaskingOfLoadedPngFiles) {
    TempDir dir;
    // An RGB file: black becomes transparent and takes its neighbours' colour.
    TPixmapPtr rgb = CreatePixmap(3, 1, PF_RGB888);
    const uint8_t rgb_bytes[] = {0, 0, 0, 200, 100, 50, 0, 0, 1};
    std::memcpy(rgb->pixels, rgb_bytes, sizeof rgb_bytes);
    ASSERT_TRUE(SavePixmapPNG(rgb, dir.File("rgb.png")));
    TImagePtr masked = LoadImage(dir.File("rgb.png"), IMAGE_MASKED);
    ASSERT_TRUE(masked);
    ASSERT_EQ(masked->pixmaps[0]->format, PF_RGBA8888);
    EXPECT_EQ(PixelOf(masked->pixmaps[0], 0, 0), (Rgba{200, 100, 50, 0}));
    EXPECT_EQ(PixelOf(masked->pixmaps[0], 1, 0), (Rgba{200, 100, 50, 255}));
    EXPECT_EQ(PixelOf(masked->pixmaps[0], 2, 0), (Rgba{0, 0, 1, 255}));
    TImagePtr unmasked = LoadImage(dir.File("rgb.png"), 0);
    EXPECT_EQ(unmasked->pixmaps[0]->format, PF_RGB888);

    // An RGBA file keeps its own alpha, opaque black included.
    TPixmapPtr rgba = SolidPixmap(2, 1, {0, 0, 0, 255});
    PutPixel(rgba, 1, 0, {9, 9, 9, 30});
    ASSERT_TRUE(SavePixmapPNG(rgba, dir.File("rgba.png")));
    TImagePtr kept = LoadImage(dir.File("rgba.png"), IMAGE_MASKED);
    ASSERT_TRUE(kept);
    EXPECT_EQ(PixelOf(kept->pixmaps[0], 0, 0), (Rgba{0, 0, 0, 255}));
    EXPECT_EQ(PixelOf(kept->pixmaps[0], 1, 0), (Rgba{9, 9, 9, 30}));

    EXPECT_EQ(LoadImage(dir.File("missing.png")), nullptr);
    // Drawn masked, the transparent black leaves the picture alone.
    SetClsColor(0, 0, 255);
    Cls();
    DrawImage(masked, 10, 10);
    EXPECT_EQ(ReadPicture(10, 10), (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(ReadPicture(11, 10), (Rgba{200, 100, 50, 255}));
}

// The rectangle holding every pixel a frame does not cover opaquely: masked black and part-transparent
// pixels count, opaque ones (black included when the file has alpha) do not.
TEST(ImageClearBounds, HoldsEveryPixelThatIsNotOpaque) {
    TImagePtr frames = TImage::Create(8, 6, 4, IMAGE_MASKED, 0, 0, 0);
    int x = -1, y = -1, w = -1, h = -1;
    EXPECT_FALSE(ImageClearBounds(frames, 0, x, y, w, h)) << "no pixels yet";
    EXPECT_FALSE(ImageClearBounds(frames, 4, x, y, w, h)) << "no such frame";

    TPixmapPtr rgb = CreatePixmap(8, 6, PF_RGB888);
    std::memset(rgb->pixels, 90, static_cast<size_t>(rgb->pitch) * 6);
    frames->SetPixmap(0, rgb);
    ASSERT_TRUE(ImageClearBounds(frames, 0, x, y, w, h));
    EXPECT_EQ((std::vector<int>{x, y, w, h}), (std::vector<int>{0, 0, 0, 0})) << "opaque throughout";

    // Two masked black pixels span the rectangle between them.
    for (int px : {2 * 3 + 1 * rgb->pitch, 5 * 3 + 3 * rgb->pitch}) std::memset(rgb->pixels + px, 0, 3);
    frames->SetPixmap(1, rgb);
    ASSERT_TRUE(ImageClearBounds(frames, 1, x, y, w, h));
    EXPECT_EQ((std::vector<int>{x, y, w, h}), (std::vector<int>{2, 1, 4, 3}));

    TPixmapPtr rgba = SolidPixmap(8, 6, {0, 0, 0, 255});
    PutPixel(rgba, 7, 5, {200, 200, 200, 254});
    frames->SetPixmap(2, rgba);
    ASSERT_TRUE(ImageClearBounds(frames, 2, x, y, w, h));
    EXPECT_EQ((std::vector<int>{x, y, w, h}), (std::vector<int>{7, 5, 1, 1}));
    PutPixel(rgba, 0, 0, {0, 0, 0, 0});
    frames->SetPixmap(3, rgba);
    ASSERT_TRUE(ImageClearBounds(frames, 3, x, y, w, h));
    EXPECT_EQ((std::vector<int>{x, y, w, h}), (std::vector<int>{0, 0, 8, 6}));
}

TEST_F(ImageTest, GrabImageTurnsBlackTransparent) {
    SetColor(255, 0, 0);
    DrawRect(12, 12, 4, 4);
    TImagePtr masked = CreateImage(8, 8, 2, 9);
    GrabImage(masked, 10, 10, 1);
    ASSERT_TRUE(masked->pixmaps[1]);
    EXPECT_FALSE(masked->pixmaps[0]);
    EXPECT_EQ(PixelOf(masked->pixmaps[1], 0, 0).a, 0);
    EXPECT_EQ(PixelOf(masked->pixmaps[1], 3, 3), (Rgba{255, 0, 0, 255}));
    TImagePtr opaque = CreateImage(8, 8, 1, 0);
    GrabImage(opaque, 10, 10, 0);
    EXPECT_EQ(PixelOf(opaque->pixmaps[0], 0, 0), (Rgba{0, 0, 0, 255}));

    // Drawn over blue, only the red square shows.
    SetClsColor(0, 0, 255);
    Cls();
    SetColor(255, 255, 255);
    DrawImage(masked, 100, 100, 1);
    EXPECT_EQ(ReadPicture(100, 100), (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(ReadPicture(103, 103), (Rgba{255, 0, 0, 255}));
    DrawImage(opaque, 200, 100, 0);
    EXPECT_EQ(ReadPicture(200, 100), (Rgba{0, 0, 0, 255}));
    // A frame never grabbed is transparent.
    DrawImage(masked, 300, 100, 0);
    EXPECT_EQ(ReadPicture(303, 103), (Rgba{0, 0, 255, 255}));
}

TEST_F(ImageTest, TexturesAreRemadeAfterANewContext) {
    TImagePtr img = LoadImage(SolidPixmap(8, 8, {30, 200, 90, 255}), 0);
    DrawImage(img, 10, 10);
    const int first_seq = GraphicsSeq();
    auto first = GLFrame(img);
    ASSERT_TRUE(first);
    EXPECT_EQ(img->seqs[0], first_seq);
    EXPECT_EQ(GLFrame(img), first); // the same texture while the context lives

    ASSERT_TRUE(OpenGraphics(640, 480, 0, 60, 2));
    ASSERT_NE(GraphicsSeq(), first_seq);
    EXPECT_EQ(GraphicsSeq(), first_seq + 2); // closed once, opened once
    DrawImage(img, 10, 10);
    EXPECT_EQ(img->seqs[0], GraphicsSeq());
    auto second = GLFrame(img);
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_EQ(ReadPicture(12, 12), (Rgba{30, 200, 90, 255}));
    g_image_held_until_exit = LoadImage(SolidPixmap(4, 4, {1, 1, 1, 255}), 0);
    ASSERT_TRUE(g_image_held_until_exit->Frame(0));

    // Replacing or writing the pixmap drops the texture; the next draw shows the new content.
    img->SetPixmap(0, SolidPixmap(8, 8, {250, 10, 10, 255}));
    EXPECT_EQ(img->seqs[0], 0);
    DrawImage(img, 30, 10);
    EXPECT_EQ(ReadPicture(32, 12), (Rgba{250, 10, 10, 255}));
    TPixmapPtr locked = LockImage(img, 0, 1, 1);
    PutPixel(locked, 2, 2, {1, 2, 250, 255});
    UnlockImage(img, 0);
    DrawImage(img, 50, 10);
    EXPECT_EQ(ReadPicture(52, 12), (Rgba{1, 2, 250, 255}));
    EXPECT_EQ(ReadPicture(53, 12), (Rgba{250, 10, 10, 255}));
}

TEST_F(ImageTest, CellsFromASheet) {
    // A 4 x 2 sheet of 3 x 3 cells, cell k coloured (k * 20, 0, 0).
    TPixmapPtr sheet = CreatePixmap(12, 6, PF_RGBA8888);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 12; ++x) PutPixel(sheet, x, y, {((y / 3) * 4 + x / 3) * 20 + 5, 0, 0, 255});
    }
    TImagePtr cells = LoadImageCells(sheet, 3, 3, 2, 4, 0);
    ASSERT_TRUE(cells);
    ASSERT_EQ(cells->pixmaps.size(), 4u);
    EXPECT_EQ(cells->width, 3);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(PixelOf(cells->pixmaps[i], 1, 1).r, (i + 2) * 20 + 5) << "frame " << i;
    EXPECT_EQ(LoadImageCells(sheet, 3, 3, 5, 4, 0), nullptr);
    EXPECT_TRUE(LoadImageCells(sheet, 3, 3, 4, 4, 0));
}

TEST_F(ImageTest, TileFillsTheViewportOnTheGrid) {
    TPixmapPtr p = CreatePixmap(16, 16, PF_RGBA8888);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) PutPixel(p, x, y, {x * 16 + 1, y * 16 + 1, 77, 255});
    }
    TImagePtr img = LoadImage(p, 0);
    SetImageHandle(img, 2.0f, 0.0f);
    SetViewport(100, 100, 50, 40);
    // Tiles ignore the rotation and come back with it in place.
    SetRotation(30.0f);
    TileImage(img, 3, 5);
    SetRotation(0.0f);
    SetViewport(0, 0, 640, 480);
    TPixmapPtr shot = GrabPixmap(90, 90, 70, 60);
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 70; ++x) {
            const int px = 90 + x;
            const int py = 90 + y;
            const bool inside = px >= 100 && px < 150 && py >= 100 && py < 140;
            // The grid runs through (3 - 2, 5).
            const Rgba expected = inside ? Rgba{((px - 1) % 16) * 16 + 1, ((py - 5) % 16) * 16 + 1, 77, 255}
                                         : Rgba{0, 0, 0, 255};
            ASSERT_EQ(PixelOf(shot, x, y), expected) << "pixel " << px << "," << py;
        }
    }
}

TEST_F(ImageTest, DrawingWithoutAFrameDrawsNothing) {
    TImagePtr img = CreateImage(4, 4, 1, 0);
    DrawImage(nullptr, 0, 0);
    GrabImage(nullptr, 0, 0);
    EXPECT_EQ(ImageWidth(img), 4);
    EXPECT_EQ(ImageHeight(nullptr), 0);
    EXPECT_EQ(ReadPicture(1, 1), (Rgba{0, 0, 0, 255}));
}

// A large frame remembers where its ink is: bands of 32 rows, runs of 32-column cells, each texel
// also marking a neighbouring cell it lies next to. Mostly inked, small or empty frames say so.
TEST(ImageInkSpans, CellsWithInkAndTheirOneTexelMargin) {
    TPixmapPtr sparse = CreatePixmap(256, 256, PF_RGBA8888);
    sparse->ClearPixels(0);
    sparse->WritePixel(100, 40, 0xFF0000FFu); // inside cell (3, 1)
    sparse->WritePixel(127, 70, 0x01000000u); // alpha 1 at the right edge of cell (3, 2): (4, 2) too
    for (int x = 0; x < 256; ++x) sparse->WritePixel(x, 200, 0xFFFFFFFFu); // band 6, all across
    const std::vector<TGLImageFrame::InkSpan> spans = FindInkSpans(*sparse);
    ASSERT_EQ(spans.size(), 3u);
    const auto same = [](const TGLImageFrame::InkSpan& s, int x0, int y0, int x1, int y1) {
        return s.x0 == x0 && s.y0 == y0 && s.x1 == x1 && s.y1 == y1;
    };
    EXPECT_TRUE(same(spans[0], 96, 32, 128, 64));
    EXPECT_TRUE(same(spans[1], 96, 64, 160, 96));
    EXPECT_TRUE(same(spans[2], 0, 192, 256, 224));

    // A frame whose size is not a whole number of cells ends its spans at its edge.
    TPixmapPtr odd = CreatePixmap(200, 150, PF_RGBA8888);
    odd->ClearPixels(0);
    odd->WritePixel(199, 149, 0xFF00FF00u);
    const auto corner = FindInkSpans(*odd);
    ASSERT_EQ(corner.size(), 1u);
    EXPECT_TRUE(same(corner[0], 192, 128, 200, 150));

    TPixmapPtr blank = CreatePixmap(256, 256, PF_RGBA8888);
    blank->ClearPixels(0);
    const auto none = FindInkSpans(*blank);
    ASSERT_EQ(none.size(), 1u);
    EXPECT_TRUE(same(none[0], 0, 0, 0, 0)) << "an empty frame draws nothing";

    TPixmapPtr full = CreatePixmap(256, 256, PF_RGBA8888);
    full->ClearPixels(0xFF808080u);
    EXPECT_TRUE(FindInkSpans(*full).empty()) << "a full frame is drawn whole";
    TPixmapPtr small = CreatePixmap(64, 64, PF_RGBA8888);
    small->ClearPixels(0);
    EXPECT_TRUE(FindInkSpans(*small).empty()) << "a small frame is drawn whole";
}

// Drawing only the inked parts of a frame must leave exactly the picture that drawing it whole leaves,
// in every blend mode, filtered or not, at fractional positions; scaled and turned, it is drawn whole.
TEST_F(ImageTest, DrawingOnlyTheInkLeavesTheSamePicture) {
    // A star field: scattered single texels and a few soft blobs on transparent black.
    TPixmapPtr stars = CreatePixmap(300, 200, PF_RGBA8888);
    stars->ClearPixels(0);
    uint32_t seed = 12345;
    for (int i = 0; i < 40; ++i) {
        seed = seed * 1103515245u + 12345u;
        const int x = static_cast<int>(seed % 300), y = static_cast<int>((seed >> 12) % 200);
        stars->WritePixel(x, y, 0xFF000000u | (seed & 0xFFFFFFu) | 0x404040u);
    }
    for (int y = 120; y < 140; ++y) {
        for (int x = 31; x < 64; ++x)
            stars->WritePixel(x, y, (static_cast<uint32_t>(x * 7) << 24) | 0xC0A060u);
    }
    for (const int flags : {0, static_cast<int>(IMAGE_FILTERED)}) {
        TImagePtr image = LoadImage(stars, flags);
        ASSERT_TRUE(image);
        auto frame = std::dynamic_pointer_cast<TGLImageFrame>(image->Frame(0));
        ASSERT_TRUE(frame);
        ASSERT_FALSE(frame->ink.empty());
        const std::vector<TGLImageFrame::InkSpan> ink = frame->ink;
        for (const int blend : {BLEND_MASK, BLEND_SOLID, BLEND_ALPHA, BLEND_LIGHT, BLEND_SHADE}) {
            // Unscaled at whole, half, quarter and third pixels (texel edges fall on pixel centres at
            // the half), then scaled and turned, which draw the frame whole.
            for (const float scale : {1.0f, 1.5f}) {
                const auto draw = [&] {
                    SetClsColor(30, 60, 90);
                    Cls();
                    SetBlend(blend);
                    SetColor(255, 200, 160);
                    SetAlpha(0.8f);
                    SetRotationScale(scale == 1.0f ? 0.0f : 20.0f, scale, scale);
                    DrawImage(image, 20.0f, 30.0f);
                    DrawImage(image, 330.5f, 20.5f);
                    DrawImage(image, 10.25f, 250.75f);
                    DrawImage(image, 330.0f + 1.0f / 3.0f, 260.0f + 2.0f / 3.0f);
                    SetRotationScale(0.0f, 1.0f, 1.0f);
                    SetAlpha(1.0f);
                    return GrabPixmap(0, 0, 640, 480);
                };
                frame->ink = ink;
                const TPixmapPtr trimmed = draw();
                frame->ink.clear();
                const TPixmapPtr whole = draw();
                EXPECT_TRUE(SamePixels(whole, trimmed,
                                       "ink_" + std::to_string(flags) + "_" + std::to_string(blend) + "_" +
                                           std::to_string(static_cast<int>(scale * 10))));
            }
        }
        frame->ink = ink;
    }
    SetBlend(BLEND_MASK);
    SetColor(255, 255, 255);
}
