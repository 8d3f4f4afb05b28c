// Image fonts on a real GL picture: the built-in font's metrics and pixels, FreeType glyph metrics and
// bitmaps, smooth padding, size fallback, lazy glyph images, and text under the drawing transform.
#include "draw_test_support.h"

#include "backends/gl1/gl_draw2d.h"

#include "platform/embedded.h"
#include "platform/stream.h"
#include "render/freetype_font.h"
#include "render/image_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

using namespace draw_test;

namespace {

// A fixed-size bitmap font with one 12-pixel strike: "A" is a 5 x 7 bitmap at left 1, top 9 under an
// ascender of 10; the space has no ink; "B" is missing.
const char* const TINY_BDF = R"(STARTFONT 2.1
FONT -test-tiny-medium-r-normal--12-120-75-75-c-70-iso10646-1
SIZE 12 75 75
FONTBOUNDINGBOX 7 12 0 -2
STARTPROPERTIES 3
PIXEL_SIZE 12
FONT_ASCENT 10
FONT_DESCENT 2
ENDPROPERTIES
CHARS 2
STARTCHAR A
ENCODING 65
SWIDTH 583 0
DWIDTH 7 0
BBX 5 7 1 2
BITMAP
70
88
88
F8
88
88
88
ENDCHAR
STARTCHAR space
ENCODING 32
SWIDTH 583 0
DWIDTH 7 0
BBX 0 0 0 0
BITMAP
ENDCHAR
ENDFONT
)";

// Rows of the tiny font's "A", most significant bit leftmost.
const uint8_t TINY_A_ROWS[7] = {0x70, 0x88, 0x88, 0xF8, 0x88, 0x88, 0x88};

class TempDir {
public:
    TempDir() {
        char name[] = "/tmp/test_font_XXXXXX";
        path_ = mkdtemp(name) ? name : "";
    }
    ~TempDir() {
        if (!path_.empty()) std::filesystem::remove_all(path_);
    }
    std::string Write(const std::string& file, const std::string& bytes) const {
        const std::string full = path_ + "/" + file;
        std::ofstream(full, std::ios::binary) << bytes;
        return full;
    }

private:
    std::string path_;
};

// The game's font when the asset exists, else the system copy of the family it is cut from.
std::string TrueTypeFontPath() {
    for (const char* path : {SOURCE_DIR "/assets/fonts/joystix.ttf",
                             "/usr/share/fonts/truetype/dotgothic16/DotGothic16-Regular.ttf"}) {
        if (std::filesystem::exists(path)) return path;
    }
    return "";
}

class FontTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitFontLoaders();
        EnsureGraphics();
        TestDrawDriver()->SetBatching(true);
        ResetDrawing();
        SetImageFont(nullptr);
    }
    void TearDown() override {
        SetImageFont(nullptr);
        ResetDrawing();
    }
};

// What an unrotated, unscaled 8 x 16 default glyph must put on black: white where its sheet cell is
// opaque, black elsewhere, with a one-pixel black border around the cell.
TPixmapPtr ExpectedDefaultCell(const TImageFont& font, int glyph) {
    TPixmapPtr expected = SolidPixmap(10, 18, {0, 0, 0, 255});
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool on = (font._sheet->ReadPixel(glyph * 8 + x, y) >> 24) != 0;
            if (on) PutPixel(expected, x + 1, y + 1, {255, 255, 255, 255});
        }
    }
    return expected;
}

int LitCount(const TPixmapPtr& p) {
    int lit = 0;
    for (int y = 0; y < p->height; ++y) {
        for (int x = 0; x < p->width; ++x) lit += PixelOf(p, x, y).r != 0 ? 1 : 0;
    }
    return lit;
}

} // namespace

TEST_F(FontTest, DefaultFontMetricsAndMapping) {
    TImageFontPtr font = GetImageFont();
    ASSERT_TRUE(font);
    EXPECT_EQ(font->_src_font, nullptr);
    EXPECT_EQ(font->Style(), 0);
    EXPECT_EQ(font->CountGlyphs(), 96);
    EXPECT_EQ(TextHeight(), 16);
    EXPECT_EQ(TextWidth(""), 0);
    EXPECT_EQ(TextWidth("ABC"), 24);
    EXPECT_EQ(TextWidth("Score: 12500"), 12 * 8);

    EXPECT_EQ(font->CharToGlyph(31), -1);
    EXPECT_EQ(font->CharToGlyph(32), 0);
    EXPECT_EQ(font->CharToGlyph('A'), 33);
    EXPECT_EQ(font->CharToGlyph(127), 95);
    EXPECT_EQ(font->CharToGlyph(128), -1);
    EXPECT_EQ(font->LoadGlyph(96), nullptr);
    EXPECT_EQ(font->LoadGlyph(-1), nullptr);

    // Characters the font lacks count nothing.
    EXPECT_EQ(TextWidth("\x80\xC3\xA9\x1F\n"), 0);
    EXPECT_EQ(TextWidth("A\xC3\xA9"
                        "B"),
              16);

    TImageGlyph* a = font->LoadGlyph(33);
    ASSERT_TRUE(a);
    int x, y, w, h;
    a->GetRect(x, y, w, h);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 16);
    EXPECT_EQ(a->Advance(), 8.0f);
    ASSERT_TRUE(a->Pixels());
    EXPECT_EQ(a->Pixels()->flags, 0);
    EXPECT_EQ(a->Pixels()->width, 8);
    EXPECT_EQ(a->Pixels()->height, 16);
}

TEST_F(FontTest, DefaultSheetFollowsTheByteLayout) {
    TImageFontPtr font = TImageFont::CreateDefault();
    ASSERT_TRUE(font && font->_sheet);
    ASSERT_EQ(font->_sheet->width, 768);
    ASSERT_EQ(font->_sheet->height, 16);
    // Only set bits are ink: every pixel is either opaque white or transparent black.
    int ink = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 768; ++x) {
            const uint32_t p = font->_sheet->ReadPixel(x, y);
            ASSERT_TRUE(p == 0xFFFFFFFFu || p == 0u) << x << ", " << y;
            ink += p != 0 ? 1 : 0;
        }
    }
    EXPECT_GT(ink, 96 * 8);
    // The space is empty, and every printable glyph has ink of its own.
    for (int g = 0; g < 96; ++g) {
        int cell_ink = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 8; ++x) cell_ink += font->_sheet->ReadPixel(g * 8 + x, y) != 0 ? 1 : 0;
        }
        if (g == 0) {
            EXPECT_EQ(cell_ink, 0);
        } else {
            EXPECT_GT(cell_ink, 0) << "glyph " << g + 32 << " is blank";
        }
    }
    // No two printable glyphs look the same.
    for (int a = 1; a < 96; ++a) {
        for (int b = a + 1; b < 96; ++b) {
            bool same = true;
            for (int y = 0; y < 16 && same; ++y) {
                for (int x = 0; x < 8 && same; ++x) {
                    same = font->_sheet->ReadPixel(a * 8 + x, y) == font->_sheet->ReadPixel(b * 8 + x, y);
                }
            }
            EXPECT_FALSE(same) << "glyphs " << a + 32 << " and " << b + 32;
        }
    }
}

TEST_F(FontTest, DefaultGlyphLandsOnItsBitmapPixels) {
    TImageFontPtr font = GetImageFont();
    for (const char c : std::string("A@g~")) {
        Cls();
        DrawText(std::string(1, c), 100.0f, 50.0f);
        const int glyph = c - 32;
        EXPECT_TRUE(SamePixels(ExpectedDefaultCell(*font, glyph), GrabPixmap(99, 49, 10, 18),
                               std::string("default_glyph_") + std::to_string(static_cast<int>(c))));
    }

    // Each following character starts 8 pixels on; characters outside the font take no room.
    Cls();
    DrawText("A\xC3\xA9g", 200.0f, 60.0f);
    // Neighbouring cells share their border columns, so those come from the other cell's check.
    TPixmapPtr first = GrabPixmap(199, 59, 10, 18);
    TPixmapPtr second = GrabPixmap(207, 59, 10, 18);
    TPixmapPtr expected_a = ExpectedDefaultCell(*font, 'A' - 32);
    TPixmapPtr expected_g = ExpectedDefaultCell(*font, 'g' - 32);
    for (int y = 0; y < 18; ++y) {
        PutPixel(expected_a, 9, y, PixelOf(expected_g, 1, y));
        PutPixel(expected_g, 0, y, PixelOf(expected_a, 8, y));
    }
    EXPECT_TRUE(SamePixels(expected_a, first, "default_pair_a"));
    EXPECT_TRUE(SamePixels(expected_g, second, "default_pair_g"));
    EXPECT_TRUE(
        SamePixels(SolidPixmap(8, 18, {0, 0, 0, 255}), GrabPixmap(217, 59, 8, 18), "default_pair_end"));

    // The drawing colour tints the white glyphs.
    Cls();
    SetColor(255, 0, 0);
    DrawText("H", 10.0f, 10.0f);
    TPixmapPtr tinted = GrabPixmap(10, 10, 8, 16);
    int red = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 8; ++x) {
            const Rgba p = PixelOf(tinted, x, y);
            EXPECT_EQ(p.g, 0);
            EXPECT_EQ(p.b, 0);
            red += p.r == 255 ? 1 : 0;
        }
    }
    EXPECT_GT(red, 10);
}

TEST_F(FontTest, TextFollowsHandleOriginScaleAndRotation) {
    // Reference: unrotated "AB" at (300, 300).
    DrawText("AB", 300.0f, 300.0f);
    TPixmapPtr flat = GrabPixmap(300, 300, 16, 16);
    ASSERT_GT(LitCount(flat), 20);

    // Rotation 90: local (x, y) goes to (-y, x), so the text runs downward from (200, 100) and local
    // pixel (lx, ly) becomes picture pixel (199 - ly, 100 + lx).
    Cls();
    SetRotation(90.0f);
    DrawText("AB", 200.0f, 100.0f);
    TPixmapPtr expected = SolidPixmap(16, 16 * 2, {0, 0, 0, 255});
    for (int ly = 0; ly < 16; ++ly) {
        for (int lx = 0; lx < 16; ++lx) PutPixel(expected, 15 - ly, lx, PixelOf(flat, lx, ly));
    }
    EXPECT_TRUE(SamePixels(expected, GrabPixmap(184, 100, 16, 32), "rotated_90"));
    int x0, y0, x1, y1;
    ASSERT_TRUE(LitBox(GrabPixmap(0, 0, 640, 480), x0, y0, x1, y1));
    EXPECT_GE(x0, 184);
    EXPECT_LE(x1, 199);
    EXPECT_GE(y0, 100);
    EXPECT_LE(y1, 115);

    // The handle turns with the text: handle (8, 0) at rotation 90 moves the start 8 pixels up, and
    // the origin adds after the transform.
    Cls();
    SetHandle(8.0f, 0.0f);
    SetOrigin(5.0f, -3.0f);
    DrawText("AB", 195.0f, 111.0f);
    EXPECT_TRUE(SamePixels(expected, GrabPixmap(184, 100, 16, 32), "rotated_90_handle"));

    // Scale 2 doubles every texel and every advance.
    Cls();
    SetRotation(0.0f);
    SetHandle(0.0f, 0.0f);
    SetOrigin(0.0f, 0.0f);
    SetScale(2.0f, 2.0f);
    DrawText("AB", 20.0f, 30.0f);
    TPixmapPtr doubled = SolidPixmap(32, 32, {0, 0, 0, 255});
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) PutPixel(doubled, x, y, PixelOf(flat, x / 2, y / 2));
    }
    EXPECT_TRUE(SamePixels(doubled, GrabPixmap(20, 30, 32, 32), "scaled_2"));
    // Measuring ignores the transform.
    EXPECT_EQ(TextWidth("AB"), 16);
}

TEST_F(FontTest, GlyphsAreMadeOnlyForCharactersUsedAndShareOneAtlasTexture) {
    TImageFontPtr font = TImageFont::CreateDefault();
    ASSERT_TRUE(font);
    SetImageFont(font);
    for (const auto& g : font->_glyphs) EXPECT_EQ(g, nullptr);

    // Measuring makes the glyph images and fills the atlas, but makes no texture.
    EXPECT_EQ(TextWidth("AAB"), 24);
    for (int i = 0; i < 96; ++i) EXPECT_EQ(font->_glyphs[i] != nullptr, i == 'A' - 32 || i == 'B' - 32) << i;
    ASSERT_TRUE(font->_atlas);
    EXPECT_EQ(font->_atlas->seqs[0], 0);

    // Drawing uploads the atlas once; the glyphs' own images never need a texture.
    DrawText("AC", 10.0f, 10.0f);
    for (int i = 0; i < 96; ++i) {
        EXPECT_EQ(font->_glyphs[i] != nullptr, i == 'A' - 32 || i == 'B' - 32 || i == 'C' - 32) << i;
    }
    EXPECT_NE(font->_atlas->seqs[0], 0);
    EXPECT_EQ(font->_glyphs['A' - 32]->_image->seqs[0], 0);
    const TImageFramePtr atlas_frame = font->_atlas->frames[0];
    DrawText("CAB", 40.0f, 10.0f);
    EXPECT_EQ(font->_atlas->frames[0], atlas_frame) << "known glyphs must not upload the atlas again";
    DrawText("D", 80.0f, 10.0f);
    EXPECT_NE(font->_atlas->frames[0], atlas_frame) << "a new glyph must reach the texture";
    EXPECT_EQ(font->_glyphs['D' - 32]->_image->seqs[0], 0);

    // Each glyph has its own place in the atlas, framed by a pixel that belongs to no other glyph.
    for (const char a : std::string("ABCD")) {
        const TImageGlyph& ga = *font->_glyphs[a - 32];
        ASSERT_GE(ga._atlas_x, 1);
        ASSERT_GE(ga._atlas_y, 1);
        for (const char b : std::string("ABCD")) {
            const TImageGlyph& gb = *font->_glyphs[b - 32];
            if (a >= b) continue;
            const bool apart =
                ga._atlas_x + ga._w + 1 <= gb._atlas_x - 1 || gb._atlas_x + gb._w + 1 <= ga._atlas_x - 1 ||
                ga._atlas_y + ga._h + 1 <= gb._atlas_y - 1 || gb._atlas_y + gb._h + 1 <= ga._atlas_y - 1;
            EXPECT_TRUE(apart) << a << " and " << b;
        }
    }

    // Selecting null returns to the built-in default, which is shared by every state.
    TImageFontPtr shared_default = (SetImageFont(nullptr), GetImageFont());
    EXPECT_NE(shared_default, font);
    EXPECT_EQ(shared_default->_src_font, nullptr);
}

// Preloading makes everything drawing the characters would make: then neither upright text (from the
// atlas) nor narrowed text (from the glyphs' own images) makes a texture.
TEST_F(FontTest, PreloadedCharactersDrawWithoutMakingTextures) {
    TImageFontPtr font = TImageFont::CreateDefault();
    ASSERT_TRUE(font);
    SetImageFont(font);
    font->Preload("Hi!");
    ASSERT_TRUE(font->_atlas);
    EXPECT_EQ(font->_atlas->seqs[0], GraphicsSeq());
    for (const char c : std::string("Hi!")) {
        ASSERT_TRUE(font->_glyphs[c - 32]);
        EXPECT_EQ(font->_glyphs[c - 32]->_image->seqs[0], GraphicsSeq()) << c;
    }
    EXPECT_EQ(font->_glyphs['j' - 32], nullptr) << "only the characters asked for";

    // Every texture upload binds too: made on the spot, the atlas and the three glyph textures would
    // take eight binds.
    const TDrawCounts before = GetDrawCounts();
    DrawText("Hi!", 10.0f, 10.0f);
    SetScale(0.8f, 1.0f);
    DrawText("Hi!", 10.0f, 40.0f);
    SetScale(1.0f, 1.0f);
    GrabPixmap(0, 0, 1, 1);
    // One bind for the atlas, one for each of the three glyph images of the narrowed line.
    EXPECT_LE(GetDrawCounts().texture_binds - before.texture_binds, 4u);
}

// Text drawn from the atlas must look exactly like each glyph drawn from a texture of its own: for a
// smooth (filtered, mipmapped) font at the game's size and at a size whose glyphs make the atlas grow,
// and for the built-in (unfiltered) font; upright, enlarged (the menu's highlight), narrowed like the
// title's credit line, shrunk to a half and a quarter, turned, and about a handle.
TEST_F(FontTest, AtlasTextMatchesEachGlyphDrawnFromItsOwnImage) {
    const std::string path = TrueTypeFontPath();
    if (path.empty()) GTEST_SKIP() << "no TrueType font installed (fonts-dotgothic16)";
    std::string all;
    for (int c = 32; c < 127; ++c) all += static_cast<char>(c);

    struct Transform {
        float rotation, scale_x, scale_y, handle_x, handle_y;
    };
    const Transform transforms[] = {
        {0.0f, 1.0f, 1.0f, 0.0f, 0.0f},   {0.0f, 1.2f, 1.2f, 0.0f, 0.0f},   {0.0f, 2.0f, 1.5f, 0.5f, 0.25f},
        {90.0f, 1.2f, 1.2f, 0.0f, 0.0f},  {0.0f, 0.8f, 1.0f, 0.0f, 0.0f},   {0.0f, 0.5f, 0.5f, 0.0f, 0.0f},
        {0.0f, 0.25f, 0.25f, 0.0f, 0.0f}, {0.0f, 0.5f, 0.5f, 3.5f, -2.25f}, {180.0f, 0.25f, 0.5f, 0.0f, 0.0f},
        {30.0f, 1.0f, 1.0f, 0.0f, 0.0f},  {30.0f, 0.8f, 1.0f, 0.0f, 0.0f},  {15.0f, 1.2f, 1.2f, 7.0f, 4.5f},
    };
    constexpr int BUILT_IN = 0; // in place of a pixel size: the built-in 8 x 16 font
    for (const int size : {12, 40, BUILT_IN}) {
        for (const Transform& t : transforms) {
            TImageFontPtr font =
                size == BUILT_IN ? TImageFont::CreateDefault() : LoadImageFont(path, size, FONT_SMOOTH);
            ASSERT_TRUE(font);
            SetImageFont(font);
            SetBlend(BLEND_ALPHA);
            SetRotationScale(t.rotation, t.scale_x, t.scale_y);
            SetHandle(t.handle_x, t.handle_y);
            const int per_line = size == 40 ? 14 : 40;
            const auto line_y = [&](size_t first) {
                return 20.0f + static_cast<float>(first / per_line) * static_cast<float>(font->Height());
            };
            const float x_start = t.rotation == 180.0f ? 600.0f : 60.0f;
            const std::string name = "atlas_" + std::to_string(size) + "_turn" +
                                     std::to_string(static_cast<int>(t.rotation)) + "_scale" +
                                     std::to_string(t.scale_x) + "x" + std::to_string(t.scale_y);

            Cls();
            for (size_t first = 0; first < all.size(); first += per_line) {
                DrawText(all.substr(first, per_line), x_start, line_y(first));
            }
            const TPixmapPtr from_atlas = GrabPixmap(0, 0, 640, 480);
            if (size == 40) {
                EXPECT_GT(font->_atlas->height, 64) << "the atlas was meant to grow";
            }

            // The reference: each glyph's own image, placed as the text functions place it.
            Cls();
            const TDraw2DGraphics& st = *TDraw2DGraphics::Current();
            const float ix = st.tform_ix, iy = st.tform_iy, jx = st.tform_jx, jy = st.tform_jy;
            for (size_t first = 0; first < all.size(); first += per_line) {
                float x = x_start + st.origin_x + st.handle_x * ix + st.handle_y * iy;
                float y = line_y(first) + st.origin_y + st.handle_x * jx + st.handle_y * jy;
                for (const char c : all.substr(first, per_line)) {
                    TImageGlyph* g = font->LoadGlyph(font->CharToGlyph(c));
                    ASSERT_TRUE(g);
                    if (g->_image) {
                        const auto w = static_cast<float>(g->_image->width);
                        const auto h = static_cast<float>(g->_image->height);
                        const auto gx = static_cast<float>(g->_x);
                        const auto gy = static_cast<float>(g->_y);
                        g->_image->Frame(0)->Draw(0.0f, 0.0f, w, h, x + gx * ix + gy * iy,
                                                  y + gx * jx + gy * jy);
                    }
                    x += ix * g->_advance;
                    y += jx * g->_advance;
                }
            }
            const TPixmapPtr reference = GrabPixmap(0, 0, 640, 480);
            EXPECT_TRUE(SamePixels(reference, from_atlas, name));
            EXPECT_GT(LitCount(from_atlas), 50) << name << ": nothing drawn";
            SetRotationScale(0.0f, 1.0f, 1.0f);
            SetHandle(0.0f, 0.0f);
            SetImageFont(nullptr);
        }
    }
}

TEST_F(FontTest, BitmapFontGlyphsSmoothPaddingAndMissingCharacters) {
    TempDir dir;
    const std::string path = dir.Write("tiny.bdf", TINY_BDF);

    // Plain style: the one-bit bitmap becomes 255 where a bit is set.
    auto plain = TFreeTypeFont::Load(path, 12, 0);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->Height(), 12);
    EXPECT_EQ(plain->_ascend, 10);
    EXPECT_EQ(plain->_descend, -2);
    const int a_index = plain->CharToGlyph('A');
    ASSERT_GE(a_index, 0);
    EXPECT_EQ(plain->CharToGlyph('B'), -1);
    TGlyph* a = plain->LoadGlyph(a_index);
    ASSERT_TRUE(a);
    int x, y, w, h;
    a->GetRect(x, y, w, h);
    EXPECT_EQ(x, 1);
    EXPECT_EQ(y, 1);
    EXPECT_EQ(w, 5);
    EXPECT_EQ(h, 7);
    EXPECT_EQ(a->Advance(), 7.0f);
    TPixmapPtr bits = a->Pixels();
    ASSERT_TRUE(bits);
    EXPECT_EQ(bits->format, PF_A8);
    for (int row = 0; row < 7; ++row) {
        for (int col = 0; col < 5; ++col) {
            const int want = (TINY_A_ROWS[row] & (0x80 >> col)) ? 255 : 0;
            EXPECT_EQ(*bits->PixelPtr(col, row), want) << col << ", " << row;
        }
    }
    EXPECT_EQ(plain->LoadGlyph(a_index), a) << "glyphs are cached per index";
    // The space has an advance and no ink.
    TGlyph* space = plain->LoadGlyph(plain->CharToGlyph(' '));
    ASSERT_TRUE(space);
    EXPECT_EQ(space->Advance(), 7.0f);
    EXPECT_EQ(space->Pixels(), nullptr);

    // Smooth style: a 5 x 7 bitmap at left 1, top 9 under ascender 10 becomes a 7 x 9 bitmap at (0, 0)
    // with a clear border around the same bits.
    auto smooth = TFreeTypeFont::Load(path, 12, FONT_SMOOTH);
    ASSERT_TRUE(smooth);
    EXPECT_EQ(smooth->Style(), FONT_SMOOTH);
    TGlyph* sa = smooth->LoadGlyph(a_index);
    sa->GetRect(x, y, w, h);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(w, 7);
    EXPECT_EQ(h, 9);
    TPixmapPtr padded = sa->Pixels();
    ASSERT_TRUE(padded);
    ASSERT_EQ(padded->width, 7);
    ASSERT_EQ(padded->height, 9);
    for (int row = 0; row < 9; ++row) {
        for (int col = 0; col < 7; ++col) {
            const bool inside = row >= 1 && row <= 7 && col >= 1 && col <= 5;
            const int want = inside && (TINY_A_ROWS[row - 1] & (0x80 >> (col - 1))) ? 255 : 0;
            EXPECT_EQ(*padded->PixelPtr(col, row), want) << col << ", " << row;
        }
    }

    // As image fonts: smooth glyph images are filtered and mipmapped; missing characters are skipped
    // in measuring and drawing.
    TImageFontPtr image_plain = LoadImageFont(path, 12, 0);
    TImageFontPtr image_smooth = LoadImageFont(path, 12, FONT_SMOOTH);
    ASSERT_TRUE(image_plain && image_smooth);
    EXPECT_EQ(image_plain->_imageFlags, 0);
    EXPECT_EQ(image_smooth->_imageFlags, IMAGE_FILTERED | IMAGE_MIPMAPPED);
    EXPECT_EQ(image_smooth->LoadGlyph(a_index)->Pixels()->flags, IMAGE_FILTERED | IMAGE_MIPMAPPED);
    SetImageFont(image_plain);
    EXPECT_EQ(TextHeight(), 12);
    EXPECT_EQ(TextWidth("BBB"), 0);
    EXPECT_EQ(TextWidth("BA B"), 14);

    DrawText("A", 50.0f, 40.0f);
    TPixmapPtr alone = GrabPixmap(40, 30, 40, 30);
    ASSERT_GT(LitCount(alone), 10);
    Cls();
    DrawText("BBAB", 50.0f, 40.0f);
    EXPECT_TRUE(SamePixels(alone, GrabPixmap(40, 30, 40, 30), "missing_characters_skipped"));
    // The ink sits at the glyph's rectangle: (50 + 1, 40 + 1), 5 x 7.
    int bx0, by0, bx1, by1;
    ASSERT_TRUE(LitBox(GrabPixmap(0, 0, 640, 480), bx0, by0, bx1, by1));
    EXPECT_EQ(bx0, 51);
    EXPECT_EQ(by0, 41);
    EXPECT_EQ(bx1, 55);
    EXPECT_EQ(by1, 47);
}

TEST_F(FontTest, OpeningFailuresAndSizeFallback) {
    TempDir dir;
    const std::string bdf = dir.Write("tiny.bdf", TINY_BDF);

    // A fixed-size face takes the largest size it has below the one asked for.
    TImageFontPtr larger = LoadImageFont(bdf, 20, 0);
    ASSERT_TRUE(larger);
    EXPECT_EQ(larger->Height(), 12);
    EXPECT_EQ(LoadImageFont(bdf, 11, 0), nullptr);
    EXPECT_EQ(LoadImageFont(bdf, 0, 0), nullptr);

    EXPECT_EQ(LoadImageFont("", 12, 0), nullptr);
    EXPECT_EQ(LoadImageFont(dir.Write("junk.ttf", "this is not a font file at all"), 12, 0), nullptr);
    EXPECT_EQ(LoadImageFont(bdf + ".missing", 12, 0), nullptr);
    EXPECT_EQ(LoadImageFont("incbin::fonts\\no_such_font.ttf", 12, 0), nullptr);
    EXPECT_EQ(LoadImageFont("nosuchprotocol::x.ttf", 12, 0), nullptr);

    // From a stream: the whole resource is read into memory the face keeps using.
    static const std::string embedded(TINY_BDF);
    RegisterEmbeddedResource("fonts\\test_tiny.bdf", embedded.data(), static_cast<int>(embedded.size()));
    RegisterEmbeddedResource("fonts\\test_empty.bdf", embedded.data(), 0);
    EXPECT_EQ(LoadImageFont("incbin::fonts\\test_empty.bdf", 12, 0), nullptr);
    auto from_stream = TFreeTypeFont::Load("incbin::fonts\\test_tiny.bdf", 12, 0);
    ASSERT_TRUE(from_stream);
    EXPECT_EQ(from_stream->_buf.size(), embedded.size());
    TGlyph* a = from_stream->LoadGlyph(from_stream->CharToGlyph('A'));
    ASSERT_TRUE(a && a->Pixels());
    EXPECT_EQ(a->Pixels()->width, 5);

    // A path written with backslashes and other letter case still finds the file.
    const std::string mixed = dir.Write("Tiny2.bdf", TINY_BDF);
    std::string windows_path = mixed.substr(0, mixed.size() - 9) + "\\tiny2.BDF";
    EXPECT_TRUE(LoadImageFont(windows_path, 12, 0));

    // The loader chain: the FreeType loader is registered once, at the head.
    ASSERT_TRUE(FontLoaders());
    InitFontLoaders();
    int loaders = 0;
    for (TFontLoader* l = FontLoaders(); l; l = l->_succ) ++loaders;
    AddFontLoader(FontLoaders());
    int again = 0;
    for (TFontLoader* l = FontLoaders(); l; l = l->_succ) ++again;
    EXPECT_EQ(again, loaders);
}

TEST_F(FontTest, TrueTypeGlyphsAtTwelvePixels) {
    const std::string path = TrueTypeFontPath();
    if (path.empty()) GTEST_SKIP() << "no TrueType font installed (fonts-dotgothic16)";

    // FreeType itself is the oracle for the raw metrics and bitmaps.
    FT_Library library;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    FT_Face face;
    ASSERT_EQ(FT_New_Face(library, path.c_str(), 0, &face), 0);
    ASSERT_EQ(FT_Set_Pixel_Sizes(face, 0, 12), 0);
    const int ascend = static_cast<int>(face->size->metrics.ascender >> 6);

    auto font = TFreeTypeFont::Load(path, 12, FONT_SMOOTH);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->Height(), face->size->metrics.height >> 6);
    EXPECT_EQ(font->_ascend, ascend);
    EXPECT_EQ(font->_descend, face->size->metrics.descender >> 6);
    EXPECT_EQ(font->CountGlyphs(), face->num_glyphs);
    EXPECT_GE(font->Height(), 12);

    for (const char c : std::string("Ag.W5")) {
        const int index = font->CharToGlyph(c);
        ASSERT_EQ(index, static_cast<int>(FT_Get_Char_Index(face, c)) - 1) << c;
        ASSERT_GE(index, 0) << c;
        ASSERT_EQ(FT_Load_Glyph(face, index + 1, FT_LOAD_RENDER), 0);
        const FT_GlyphSlot slot = face->glyph;
        TGlyph* glyph = font->LoadGlyph(index);
        ASSERT_TRUE(glyph);
        int x, y, w, h;
        glyph->GetRect(x, y, w, h);
        EXPECT_EQ(glyph->Advance(), static_cast<float>(slot->advance.x >> 6)) << c;
        EXPECT_GT(glyph->Advance(), 0.0f);
        EXPECT_EQ(x, slot->bitmap_left - 1) << c;
        EXPECT_EQ(y, ascend - slot->bitmap_top - 1) << c;
        ASSERT_EQ(w, static_cast<int>(slot->bitmap.width) + 2) << c;
        ASSERT_EQ(h, static_cast<int>(slot->bitmap.rows) + 2) << c;
        TPixmapPtr p = glyph->Pixels();
        ASSERT_TRUE(p);
        ASSERT_EQ(p->format, PF_A8);
        for (int row = 0; row < h; ++row) {
            for (int col = 0; col < w; ++col) {
                const bool inside = row >= 1 && row < h - 1 && col >= 1 && col < w - 1;
                const int want = inside ? slot->bitmap.buffer[(row - 1) * slot->bitmap.pitch + col - 1] : 0;
                ASSERT_EQ(*p->PixelPtr(col, row), want) << c << " at " << col << ", " << row;
            }
        }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);

    // The same font through an embedded-resource stream measures the same.
    std::ifstream file(path, std::ios::binary);
    static const std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                                         std::istreambuf_iterator<char>());
    RegisterEmbeddedResource("fonts\\test_truetype.ttf", bytes.data(), static_cast<int>(bytes.size()));
    TImageFontPtr from_file = LoadImageFont(path, 12, FONT_SMOOTH);
    TImageFontPtr from_stream = LoadImageFont("incbin::fonts\\test_truetype.ttf", 12, FONT_SMOOTH);
    ASSERT_TRUE(from_file && from_stream);
    const std::string sample = "HIGH SCORE 0012500";
    SetImageFont(from_file);
    const int width = TextWidth(sample);
    int sum = 0;
    for (const char c : sample) sum += static_cast<int>(font->LoadGlyph(font->CharToGlyph(c))->Advance());
    EXPECT_EQ(width, sum);
    SetImageFont(from_stream);
    EXPECT_EQ(TextWidth(sample), width);
    EXPECT_EQ(TextHeight(), font->Height());

    // Drawn in the mask blend, the ink stays inside the line box: the top of the line at y 100, the
    // height and the measured width.
    DrawText(sample, 100.0f, 100.0f);
    int x0, y0, x1, y1;
    ASSERT_TRUE(LitBox(GrabPixmap(0, 0, 640, 480), x0, y0, x1, y1));
    EXPECT_GE(x0, 100);
    EXPECT_LE(x1, 100 + width);
    EXPECT_GE(y0, 100);
    EXPECT_LT(y1, 100 + TextHeight());
}

// Draws the sample sheet into out/font_test.png for a person to look at.
TEST_F(FontTest, SampleSheet) {
    SetClsColor(0, 0, 40);
    Cls();
    const char* lines[] = {" !\"#$%&'()*+,-./0123456789:;<=>?", "@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_",
                           "`abcdefghijklmnopqrstuvwxyz{|}~\x7f",
                           "The quick brown fox jumps over the lazy dog.",
                           "SCORE 0012500   HI 0099999   STAGE 3"};
    float y = 10.0f;
    for (const char* line : lines) {
        DrawText(line, 10.0f, y);
        y += static_cast<float>(TextHeight()) + 4.0f;
    }
    SetColor(255, 220, 40);
    DrawText("Default font in colour", 10.0f, y);
    SetColor(255, 255, 255);
    y += 30.0f;

    const std::string path = TrueTypeFontPath();
    TImageFontPtr ttf = path.empty() ? nullptr : LoadImageFont(path, 12, FONT_SMOOTH);
    if (ttf) {
        SetImageFont(ttf);
        const int blends[] = {BLEND_MASK, BLEND_ALPHA, BLEND_LIGHT};
        for (int blend : blends) {
            SetBlend(blend);
            for (const char* line : lines) {
                DrawText(line, 10.0f, y);
                y += static_cast<float>(TextHeight()) + 2.0f;
            }
            y += 6.0f;
        }
        SetBlend(BLEND_ALPHA);
        SetColor(0, 255, 0);
        DrawText("GAME OVER - PRESS FIRE", 360.0f, 400.0f);
        SetRotation(-20.0f);
        SetColor(255, 80, 80);
        DrawText("rotated text", 400.0f, 460.0f);
    }
    SetImageFont(nullptr);
    SetRotationScale(0.0f, 2.0f, 2.0f);
    SetColor(120, 200, 255);
    DrawText("x2", 560.0f, 10.0f);
    TPixmapPtr shot = GrabPixmap(0, 0, 640, 480);
    ASSERT_TRUE(shot);
    ASSERT_TRUE(SavePixmapPNG(shot, OutPath("font_test.png")));
    if (!ttf) GTEST_SKIP() << "sheet saved without the TrueType font";
}
