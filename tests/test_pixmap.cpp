// TPixmap formats, copying, masking, flips and resampling, and PNG decoding through the loader chain.
#include "platform/embedded.h"
#include "platform/stream.h"
#include "render/pixmap.h"
#include "render/pixmap_loader.h"
#include "render/png_loader.h"
#include "tests/address_space_growth.h"
#include "tests/png_encode.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// A pixmap of the given format whose pixels, row by row without padding, are `bytes`.
TPixmapPtr MakePixmap(int width, int height, int format, const Bytes& bytes, int align = PIXMAP_ALIGN) {
    TPixmapPtr p = CreatePixmap(width, height, format, align);
    const size_t row = size_t(width) * size_t(PixmapBytesPerPixel(format));
    EXPECT_EQ(bytes.size(), row * size_t(height)) << "test data does not fit the pixmap";
    for (int y = 0; y < height; ++y) std::memcpy(p->PixelPtr(0, y), bytes.data() + row * size_t(y), row);
    return p;
}

// The pixels row by row without padding.
Bytes PixelBytes(const TPixmap& p) {
    const size_t row = size_t(p.width) * size_t(PixmapBytesPerPixel(p.format));
    Bytes out(row * size_t(p.height));
    for (int y = 0; y < p.height; ++y) std::memcpy(out.data() + row * size_t(y), p.PixelPtr(0, y), row);
    return out;
}

// Compares every byte; on failure names the first differing pixel and both pictures.
::testing::AssertionResult SamePixels(const TPixmapPtr& p, int format, int width, int height,
                                      const Bytes& expected) {
    if (!p) return ::testing::AssertionFailure() << "no pixmap";
    if (p->format != format || p->width != width || p->height != height) {
        return ::testing::AssertionFailure()
               << "expected " << width << "x" << height << " format " << format << ", got " << p->width << "x"
               << p->height << " format " << p->format;
    }
    const Bytes actual = PixelBytes(*p);
    const int bpp = PixmapBytesPerPixel(format);
    for (size_t i = 0; i < expected.size() && i < actual.size(); ++i) {
        if (expected[i] == actual[i]) continue;
        const size_t pixel = i / size_t(bpp);
        std::ostringstream text;
        text << "first difference at pixel (" << pixel % size_t(width) << ", " << pixel / size_t(width)
             << ") byte " << i % size_t(bpp) << ": expected " << int(expected[i]) << ", actual "
             << int(actual[i]) << "\nexpected:";
        for (uint8_t b : expected) text << ' ' << int(b);
        text << "\nactual:  ";
        for (uint8_t b : actual) text << ' ' << int(b);
        return ::testing::AssertionFailure() << text.str();
    }
    if (expected.size() != actual.size()) return ::testing::AssertionFailure() << "size differs";
    return ::testing::AssertionSuccess();
}

std::string Hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", v);
    return text;
}

} // namespace

// ---- creation and layout ----

TEST(Pixmap, CreateAlignsRowsAndCountsCapacity) {
    TPixmapPtr a = CreatePixmap(3, 2, PF_RGB888, 4);
    EXPECT_EQ(a->pitch, 12);
    EXPECT_EQ(a->capacity, 24);
    EXPECT_EQ(CreatePixmap(5, 1, PF_RGBA8888, 4)->pitch, 20);
    EXPECT_EQ(CreatePixmap(5, 1, PF_RGB888, 1)->pitch, 15);
    EXPECT_EQ(CreatePixmap(5, 1, PF_I8, 8)->pitch, 8);
    TPixmapPtr empty = CreatePixmap(0, 0, PF_RGBA8888);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->capacity, 0);
    EXPECT_EQ(a->PixelPtr(2, 1), a->pixels + 12 + 6);
}

TEST(Pixmap, CreateRefusesSizesBeyondTheIntFields) {
    EXPECT_FALSE(CreatePixmap(INT_MAX, 1, PF_RGBA8888));   // pitch alone overflows
    EXPECT_FALSE(CreatePixmap(70000, 70000, PF_RGBA8888)); // pitch * height overflows
    EXPECT_FALSE(CreatePixmap(INT_MAX / 4 + 1, 1, PF_RGBA8888, 4));
    EXPECT_TRUE(CreatePixmap(1 << 16, 1, PF_RGBA8888));
}

TEST(Pixmap, ClearPixelsFillsPixelsAndLeavesRowPadding) {
    TPixmapPtr p = CreatePixmap(3, 2, PF_BGR888, 8); // 9 bytes of pixels, 7 of padding per row
    std::memset(p->pixels, 0xAB, size_t(p->capacity));
    p->ClearPixels(0);
    EXPECT_TRUE(SamePixels(p, PF_BGR888, 3, 2, Bytes(18, 0)));
    EXPECT_EQ(p->pixels[9], 0xAB);
    EXPECT_EQ(p->pixels[16 + 15], 0xAB);
    p->ClearPixels(0x80102030);
    EXPECT_TRUE(SamePixels(p, PF_BGR888, 3, 2,
                           {0x30, 0x20, 0x10, 0x30, 0x20, 0x10, 0x30, 0x20, 0x10, 0x30, 0x20, 0x10, 0x30,
                            0x20, 0x10, 0x30, 0x20, 0x10}));
    EXPECT_EQ(p->pixels[9], 0xAB);

    TPixmapPtr packed = CreatePixmap(2, 2, PF_RGBA8888);
    ClearPixels(packed, 0);
    EXPECT_TRUE(SamePixels(packed, PF_RGBA8888, 2, 2, Bytes(16, 0)));
    ClearPixels(packed, 0x04010203);
    EXPECT_TRUE(SamePixels(packed, PF_RGBA8888, 2, 2, {1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4}));
}

// ---- conversions ----

TEST(PixmapConvert, EveryFormatToRgba) {
    struct Case {
        int format;
        Bytes pixels; // two pixels
        Bytes rgba;
    };
    const Case cases[] = {
        {PF_I8, {7, 200}, {7, 7, 7, 255, 200, 200, 200, 255}},
        {PF_A8, {7, 200}, {255, 255, 255, 7, 255, 255, 255, 200}},
        {PF_BGR888, {1, 2, 3, 4, 5, 6}, {3, 2, 1, 255, 6, 5, 4, 255}},
        {PF_RGB888, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 255, 4, 5, 6, 255}},
        {PF_BGRA8888, {1, 2, 3, 4, 5, 6, 7, 8}, {3, 2, 1, 4, 7, 6, 5, 8}},
        {PF_RGBA8888, {1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 6, 7, 8}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("format " + std::to_string(c.format));
        TPixmapPtr p = MakePixmap(2, 1, c.format, c.pixels);
        EXPECT_TRUE(SamePixels(p->Convert(PF_RGBA8888), PF_RGBA8888, 2, 1, c.rgba));
    }
}

TEST(PixmapConvert, RgbaToEveryFormatWithExactGreyWeights) {
    // Grey is the plain mean, truncated: (10 + 20 + 32) / 3 = 20, (255 + 255 + 254) / 3 = 254.
    TPixmapPtr rgba = MakePixmap(2, 1, PF_RGBA8888, {10, 20, 32, 99, 255, 255, 254, 0});
    EXPECT_TRUE(SamePixels(rgba->Convert(PF_I8), PF_I8, 2, 1, {20, 254}));
    EXPECT_TRUE(SamePixels(rgba->Convert(PF_A8), PF_A8, 2, 1, {99, 0}));
    EXPECT_TRUE(SamePixels(rgba->Convert(PF_BGR888), PF_BGR888, 2, 1, {32, 20, 10, 254, 255, 255}));
    EXPECT_TRUE(SamePixels(rgba->Convert(PF_RGB888), PF_RGB888, 2, 1, {10, 20, 32, 255, 255, 254}));
    EXPECT_TRUE(
        SamePixels(rgba->Convert(PF_BGRA8888), PF_BGRA8888, 2, 1, {32, 20, 10, 99, 254, 255, 255, 0}));
}

TEST(PixmapConvert, PairsWithoutRgbaGoThroughIt) {
    TPixmapPtr bgr = MakePixmap(2, 1, PF_BGR888, {30, 20, 10, 0, 0, 255});
    EXPECT_TRUE(SamePixels(bgr->Convert(PF_RGB888), PF_RGB888, 2, 1, {10, 20, 30, 255, 0, 0}));
    EXPECT_TRUE(SamePixels(bgr->Convert(PF_BGRA8888), PF_BGRA8888, 2, 1, {30, 20, 10, 255, 0, 0, 255, 255}));
    EXPECT_TRUE(SamePixels(bgr->Convert(PF_I8), PF_I8, 2, 1, {20, 85}));
    TPixmapPtr alpha = MakePixmap(2, 1, PF_A8, {0, 77});
    EXPECT_TRUE(
        SamePixels(alpha->Convert(PF_BGRA8888), PF_BGRA8888, 2, 1, {255, 255, 255, 0, 255, 255, 255, 77}));
    EXPECT_TRUE(SamePixels(alpha->Convert(PF_I8), PF_I8, 2, 1, {255, 255}));
}

TEST(PixmapConvert, RoundTripsKeepWhatTheFormatHolds) {
    // Longer than one conversion chunk, so the temporary RGBA buffer is refilled.
    const int n = 3000;
    Bytes rgba(size_t(n) * 4);
    for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = uint8_t(i * 37 + i / 5);
    TPixmapPtr source = MakePixmap(n, 1, PF_RGBA8888, rgba);

    EXPECT_TRUE(SamePixels(source->Convert(PF_BGRA8888)->Convert(PF_RGBA8888), PF_RGBA8888, n, 1, rgba));
    Bytes opaque = rgba;
    for (int i = 0; i < n; ++i) opaque[size_t(i) * 4 + 3] = 255;
    EXPECT_TRUE(SamePixels(source->Convert(PF_RGB888)->Convert(PF_BGR888)->Convert(PF_RGBA8888), PF_RGBA8888,
                           n, 1, opaque));
    Bytes grey(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const uint8_t* px = &rgba[size_t(i) * 4];
        grey[size_t(i)] = uint8_t((px[0] + px[1] + px[2]) / 3);
    }
    EXPECT_TRUE(SamePixels(source->Convert(PF_BGR888)->Convert(PF_I8), PF_I8, n, 1, grey));
}

TEST(PixmapConvert, ConvertMakesAnAlignedCopy) {
    TPixmapPtr p = MakePixmap(3, 2, PF_RGB888, Bytes(18, 5), 1);
    ASSERT_EQ(p->pitch, 9);
    TPixmapPtr copy = p->Copy();
    EXPECT_EQ(copy->pitch, 12);
    EXPECT_NE(copy->pixels, p->pixels);
    EXPECT_TRUE(SamePixels(copy, PF_RGB888, 3, 2, Bytes(18, 5)));
    TPixmapPtr same = p->Convert(PF_RGB888);
    EXPECT_EQ(same->pitch, 12);
    EXPECT_TRUE(SamePixels(same, PF_RGB888, 3, 2, Bytes(18, 5)));
}

TEST(PixmapConvert, ReadAndWritePixelInEveryFormat) {
    const uint32_t colour = 0x80102030; // alpha 0x80, red 0x10, green 0x20, blue 0x30
    struct Case {
        int format;
        Bytes stored;
        uint32_t read_back;
    };
    const Case cases[] = {
        {PF_I8, {0x20}, 0xFF202020},
        {PF_A8, {0x80}, 0x80FFFFFF},
        {PF_BGR888, {0x30, 0x20, 0x10}, 0xFF102030},
        {PF_RGB888, {0x10, 0x20, 0x30}, 0xFF102030},
        {PF_BGRA8888, {0x30, 0x20, 0x10, 0x80}, 0x80102030},
        {PF_RGBA8888, {0x10, 0x20, 0x30, 0x80}, 0x80102030},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("format " + std::to_string(c.format));
        TPixmapPtr p = CreatePixmap(3, 2, c.format);
        p->ClearPixels(0);
        WritePixel(p, 2, 1, colour);
        const Bytes stored(p->PixelPtr(2, 1), p->PixelPtr(2, 1) + PixmapBytesPerPixel(c.format));
        EXPECT_EQ(stored, c.stored);
        EXPECT_EQ(Hex(ReadPixel(p, 2, 1)), Hex(c.read_back));
        EXPECT_EQ(p->PixelPtr(1, 1)[0], 0) << "neighbour touched";
    }
}

// ---- windows and pasting ----

TEST(PixmapWindow, SharesPixelsAndKeepsItsSourceAlive) {
    TPixmapPtr p = CreatePixmap(4, 3, PF_RGBA8888);
    p->ClearPixels(0);
    TPixmapPtr w = PixmapWindow(p, 1, 1, 2, 2);
    EXPECT_EQ(w->pixels, p->PixelPtr(1, 1));
    EXPECT_EQ(w->pitch, p->pitch);
    EXPECT_EQ(w->format, PF_RGBA8888);
    EXPECT_EQ(w->capacity, -1);
    EXPECT_EQ(w->_source, p);

    w->WritePixel(1, 1, 0xFF0000FF);
    EXPECT_EQ(Hex(p->ReadPixel(2, 2)), Hex(0xFF0000FF));
    p->WritePixel(1, 1, 0xFF00FF00);
    EXPECT_EQ(Hex(w->ReadPixel(0, 0)), Hex(0xFF00FF00));

    std::weak_ptr<TPixmap> watch = p;
    p.reset();
    EXPECT_FALSE(watch.expired()) << "the window must keep its source alive";
    EXPECT_EQ(Hex(w->ReadPixel(1, 1)), Hex(0xFF0000FF));
    w.reset();
    EXPECT_TRUE(watch.expired());
}

TEST(PixmapWindow, CopyOfAWindowOwnsItsPixels) {
    TPixmapPtr p = MakePixmap(3, 2, PF_I8, {1, 2, 3, 4, 5, 6});
    TPixmapPtr copy = p->Window(1, 0, 2, 2)->Copy();
    EXPECT_EQ(copy->capacity, 8);
    EXPECT_FALSE(copy->_source);
    p->ClearPixels(0);
    EXPECT_TRUE(SamePixels(copy, PF_I8, 2, 2, {2, 3, 5, 6}));
}

TEST(PixmapPaste, ConvertsIntoPlace) {
    TPixmapPtr dst = CreatePixmap(3, 3, PF_RGBA8888);
    dst->ClearPixels(0);
    dst->Paste(*MakePixmap(2, 1, PF_BGR888, {3, 2, 1, 6, 5, 4}), 1, 2);
    Bytes expected(36, 0);
    const Bytes row = {1, 2, 3, 255, 4, 5, 6, 255};
    std::copy(row.begin(), row.end(), expected.begin() + 28);
    EXPECT_TRUE(SamePixels(dst, PF_RGBA8888, 3, 3, expected));
}

TEST(PixmapPaste, ClipsAtEveryEdge) {
    const TPixmapPtr src = MakePixmap(3, 3, PF_I8, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    struct Case {
        int x, y;
        Bytes expected; // 4 x 3 destination, cleared to 0 first
    };
    const Case cases[] = {
        {2, 1, {0, 0, 0, 0, 0, 0, 1, 2, 0, 0, 4, 5}},   // right and bottom
        {-1, -2, {8, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // left and top
        {-2, 1, {0, 0, 0, 0, 3, 0, 0, 0, 6, 0, 0, 0}},
        {4, 0, Bytes(12, 0)},  // just beyond the right edge
        {0, -3, Bytes(12, 0)}, // just above the top
        {INT_MAX, INT_MAX, Bytes(12, 0)},
        {INT_MIN, 0, Bytes(12, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("paste at " + std::to_string(c.x) + ", " + std::to_string(c.y));
        TPixmapPtr dst = CreatePixmap(4, 3, PF_I8);
        dst->ClearPixels(0);
        dst->Paste(*src, c.x, c.y);
        EXPECT_TRUE(SamePixels(dst, PF_I8, 4, 3, c.expected));
    }
}

// ---- masking ----

TEST(MaskPixmap, MaskColourTakesItsNeighboursColour) {
    TPixmapPtr p = MakePixmap(1, 2, PF_RGB888, {0, 0, 0, 200, 100, 50});
    EXPECT_TRUE(SamePixels(MaskPixmap(p, 0, 0, 0), PF_RGBA8888, 1, 2, {200, 100, 50, 0, 200, 100, 50, 255}));
    EXPECT_EQ(p->format, PF_RGB888) << "the source is left alone";
}

TEST(MaskPixmap, AllMaskColourBecomesTransparentBlack) {
    TPixmapPtr p = CreatePixmap(3, 2, PF_BGR888);
    p->ClearPixels(0xFF000000);
    EXPECT_TRUE(SamePixels(MaskPixmap(p, 0, 0, 0), PF_RGBA8888, 3, 2, Bytes(24, 0)));
}

TEST(MaskPixmap, OnlyAnExactMatchIsMasked) {
    TPixmapPtr p = MakePixmap(3, 1, PF_RGB888, {0, 0, 1, 1, 0, 0, 0, 0, 0});
    EXPECT_TRUE(
        SamePixels(MaskPixmap(p, 0, 0, 0), PF_RGBA8888, 3, 1,
                   {0, 0, 1, 255, 1, 0, 0, 255, 1, 0, 0, 0})); // (0,0,0) takes only (1,0,0), its neighbour
    TPixmapPtr q = MakePixmap(2, 1, PF_RGB888, {255, 0, 255, 255, 0, 254});
    EXPECT_TRUE(
        SamePixels(MaskPixmap(q, 255, 0, 255), PF_RGBA8888, 2, 1, {255, 0, 254, 0, 255, 0, 254, 255}));
}

TEST(MaskPixmap, AveragesTheUnmaskedThreeByThreeNeighbourhoodTruncating) {
    // Mask pixels (M) are black. Centre (1,1) sees five unmasked neighbours.
    //   10,0,0   M      20,0,0  M
    //   M        M      31,3,0  M
    //   40,0,0   50,0,1 M       M
    const Bytes rgb = {10, 0, 0, 0,  0, 0, 20, 0, 0, 0, 0, 0, //
                       0,  0, 0, 0,  0, 0, 31, 3, 0, 0, 0, 0, //
                       40, 0, 0, 50, 0, 1, 0,  0, 0, 0, 0, 0};
    TPixmapPtr m = MaskPixmap(MakePixmap(4, 3, PF_RGB888, rgb), 0, 0, 0);
    ASSERT_TRUE(m);
    auto px = [&](int x, int y) { return Bytes(m->PixelPtr(x, y), m->PixelPtr(x, y) + 4); };
    // (10 + 20 + 31 + 40 + 50) / 5 = 30, (0 + 0 + 3 + 0 + 0) / 5 = 0, 1 / 5 = 0
    EXPECT_EQ(px(1, 1), (Bytes{30, 0, 0, 0}));
    // Corner (3,0): neighbours (2,0) and (2,1): (20 + 31) / 2 = 25, 3 / 2 = 1
    EXPECT_EQ(px(3, 0), (Bytes{25, 1, 0, 0}));
    // (3,2): only (2,1) is unmasked
    EXPECT_EQ(px(3, 2), (Bytes{31, 3, 0, 0}));
    // (0,1): (10 + 40 + 50) / 3 = 33, 1 / 3 = 0
    EXPECT_EQ(px(0, 1), (Bytes{33, 0, 0, 0}));
    EXPECT_EQ(px(2, 1), (Bytes{31, 3, 0, 255}));
    EXPECT_EQ(px(1, 2), (Bytes{50, 0, 1, 255}));
}

TEST(MaskPixmap, ReplacesAnExistingAlphaChannel) {
    TPixmapPtr p = MakePixmap(2, 1, PF_RGBA8888, {9, 9, 9, 7, 0, 0, 0, 200});
    EXPECT_TRUE(SamePixels(MaskPixmap(p, 0, 0, 0), PF_RGBA8888, 2, 1, {9, 9, 9, 255, 9, 9, 9, 0}));
}

// ---- flips and resampling ----

TEST(PixmapFlip, ReversesColumnsOrRowsInTheSameFormat) {
    TPixmapPtr p = MakePixmap(3, 2, PF_RGB888, {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6});
    EXPECT_TRUE(
        SamePixels(XFlipPixmap(p), PF_RGB888, 3, 2, {3, 3, 3, 2, 2, 2, 1, 1, 1, 6, 6, 6, 5, 5, 5, 4, 4, 4}));
    EXPECT_TRUE(
        SamePixels(YFlipPixmap(p), PF_RGB888, 3, 2, {4, 4, 4, 5, 5, 5, 6, 6, 6, 1, 1, 1, 2, 2, 2, 3, 3, 3}));
    TPixmapPtr a = MakePixmap(1, 3, PF_A8, {1, 2, 3});
    EXPECT_TRUE(SamePixels(XFlipPixmap(a), PF_A8, 1, 3, {1, 2, 3}));
    EXPECT_TRUE(SamePixels(YFlipPixmap(a), PF_A8, 1, 3, {3, 2, 1}));
}

TEST(ResizePixmap, TwoPixelsToFourBlendLinearlyAndTruncate) {
    TPixmapPtr p = MakePixmap(2, 1, PF_RGB888, {0, 0, 0, 255, 255, 255});
    // Destination centres fall at source x -0.25, 0.25, 0.75, 1.25: clamped, 1/4, 3/4, clamped.
    EXPECT_TRUE(SamePixels(ResizePixmap(p, 4, 1), PF_RGB888, 4, 1,
                           {0, 0, 0, 63, 63, 63, 191, 191, 191, 255, 255, 255}));
    TPixmapPtr column = MakePixmap(1, 2, PF_RGBA8888, {0, 0, 0, 0, 255, 255, 255, 255});
    EXPECT_TRUE(SamePixels(ResizePixmap(column, 1, 4), PF_RGBA8888, 1, 4,
                           {0, 0, 0, 0, 63, 63, 63, 63, 191, 191, 191, 191, 255, 255, 255, 255}));
}

TEST(ResizePixmap, DownscalingAveragesPairs) {
    TPixmapPtr p = MakePixmap(4, 1, PF_I8, {10, 21, 100, 201});
    // Centres at 0.5 and 2.5: (10 + 21) / 2 = 15.5, (100 + 201) / 2 = 150.5.
    EXPECT_TRUE(SamePixels(ResizePixmap(p, 2, 1), PF_I8, 2, 1, {15, 150}));
}

TEST(ResizePixmap, BilinearInBothAxes) {
    TPixmapPtr p = MakePixmap(2, 2, PF_A8, {0, 100, 200, 40});
    // (1,1) of 4x4 samples (0.25, 0.25): top 0 + 100 * .25 = 25, bottom 200 - 160 * .25 = 160,
    // 25 + 135 * .25 = 58.75. (2,1) samples (0.75, 0.25): top 75, bottom 80, 76.25.
    TPixmapPtr r = ResizePixmap(p, 4, 4);
    ASSERT_TRUE(r);
    EXPECT_EQ(int(r->PixelPtr(1, 1)[0]), 58);
    EXPECT_EQ(int(r->PixelPtr(2, 1)[0]), 76);
    EXPECT_EQ(int(r->PixelPtr(0, 0)[0]), 0);
    EXPECT_EQ(int(r->PixelPtr(3, 3)[0]), 40);
    EXPECT_EQ(int(r->PixelPtr(0, 3)[0]), 200);
}

TEST(ResizePixmap, SameSizeAndFlatColourAreReproduced) {
    Bytes rgb(7 * 5 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 53 + 11);
    TPixmapPtr p = MakePixmap(7, 5, PF_BGR888, rgb);
    EXPECT_TRUE(SamePixels(ResizePixmap(p, 7, 5), PF_BGR888, 7, 5, rgb));

    // Odd ratios give weights without an exact float form; a flat area must still keep its value.
    TPixmapPtr flat = CreatePixmap(3, 3, PF_RGBA8888);
    flat->ClearPixels(0xFFC8C8C8);
    Bytes expected(13 * 11 * 4);
    for (size_t i = 0; i < expected.size(); ++i) expected[i] = (i % 4 == 3) ? 255 : 200;
    EXPECT_TRUE(SamePixels(ResizePixmap(flat, 13, 11), PF_RGBA8888, 13, 11, expected));
}

// ---- PNG decoding ----

namespace {

TPixmapPtr LoadFromMemory(const Bytes& file) {
    InitPixmapLoaders();
    Bytes copy = file;
    std::shared_ptr<TStream> stream = TRamStream::Create(copy.data(), int(copy.size()), 1, 0);
    return LoadPixmap(stream);
}

PngImage Image(int width, int height, int colour_type, int bit_depth, Bytes data) {
    PngImage image;
    image.width = width;
    image.height = height;
    image.colour_type = colour_type;
    image.bit_depth = bit_depth;
    image.data = std::move(data);
    return image;
}

// A small RGB image used where only loading, not the colour type, matters.
Bytes SmallRgbPng() {
    Bytes data(5 * 4 * 3);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7);
    return EncodePng(Image(5, 4, PNG_COLOR_TYPE_RGB, 8, data));
}

} // namespace

TEST(PngLoader, RgbAndRgbaKeepTheirBytes) {
    const Bytes rgb = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    EXPECT_TRUE(
        SamePixels(LoadFromMemory(EncodePng(Image(3, 2, PNG_COLOR_TYPE_RGB, 8, rgb))), PF_RGB888, 3, 2, rgb));
    const Bytes rgba = {255, 0, 0, 0, 0, 255, 0, 128, 0, 0, 255, 255, 9, 8, 7, 6};
    EXPECT_TRUE(SamePixels(LoadFromMemory(EncodePng(Image(2, 2, PNG_COLOR_TYPE_RGB_ALPHA, 8, rgba))),
                           PF_RGBA8888, 2, 2, rgba));
}

TEST(PngLoader, SixteenBitSamplesKeepTheirHighByte) {
    // 0x12FF would round to 0x13; the loader strips to the high byte.
    const Bytes rgba16 = {0x12, 0xFF, 0x00, 0x01, 0xFF, 0xFF, 0x80, 0x00, //
                          0xAB, 0xCD, 0x00, 0x00, 0x7F, 0xFF, 0x01, 0x00};
    EXPECT_TRUE(SamePixels(LoadFromMemory(EncodePng(Image(2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 16, rgba16))),
                           PF_RGBA8888, 2, 1, {0x12, 0x00, 0xFF, 0x80, 0xAB, 0x00, 0x7F, 0x01}));
    const Bytes grey16 = {0xFE, 0xFF, 0x00, 0xFF};
    EXPECT_TRUE(SamePixels(LoadFromMemory(EncodePng(Image(2, 1, PNG_COLOR_TYPE_GRAY, 16, grey16))), PF_I8, 2,
                           1, {0xFE, 0x00}));
}

TEST(PngLoader, PaletteExpandsAndItsTransparencyChunkBecomesAlpha) {
    PngImage image = Image(4, 1, PNG_COLOR_TYPE_PALETTE, 8, {0, 1, 2, 1});
    image.palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
    EXPECT_TRUE(SamePixels(LoadFromMemory(EncodePng(image)), PF_RGB888, 4, 1,
                           {10, 20, 30, 40, 50, 60, 70, 80, 90, 40, 50, 60}));
    image.palette_alpha = {0, 128}; // entry 2 has no alpha in the chunk: opaque
    EXPECT_TRUE(SamePixels(LoadFromMemory(EncodePng(image)), PF_RGBA8888, 4, 1,
                           {10, 20, 30, 0, 40, 50, 60, 128, 70, 80, 90, 255, 40, 50, 60, 128}));
    // Four-bit indices are unpacked before the lookup.
    PngImage packed = Image(3, 1, PNG_COLOR_TYPE_PALETTE, 4, {0x21, 0x00});
    packed.palette = image.palette;
    EXPECT_TRUE(
        SamePixels(LoadFromMemory(EncodePng(packed)), PF_RGB888, 3, 1, {70, 80, 90, 40, 50, 60, 10, 20, 30}));
}

TEST(PngLoader, GreyDepthsAndGreyWithAlpha) {
    EXPECT_TRUE(SamePixels(LoadFromMemory(EncodePng(Image(3, 1, PNG_COLOR_TYPE_GRAY, 8, {0, 77, 255}))),
                           PF_I8, 3, 1, {0, 77, 255}));
    // Low depths are scaled up to the full range: 2-bit 0..3 become 0, 85, 170, 255.
    EXPECT_TRUE(SamePixels(LoadFromMemory(EncodePng(Image(4, 1, PNG_COLOR_TYPE_GRAY, 2, {0x1B}))), PF_I8, 4,
                           1, {0, 85, 170, 255}));
    EXPECT_TRUE(SamePixels(LoadFromMemory(EncodePng(Image(3, 1, PNG_COLOR_TYPE_GRAY, 1, {0xA0}))), PF_I8, 3,
                           1, {255, 0, 255}));
    // Rows wider than half the pitch check the in-place widening of (grey, alpha) pairs.
    EXPECT_TRUE(SamePixels(LoadFromMemory(EncodePng(Image(3, 2, PNG_COLOR_TYPE_GRAY_ALPHA, 8,
                                                          {10, 0, 20, 128, 30, 255, 40, 1, 50, 2, 60, 3}))),
                           PF_RGBA8888, 3, 2, {10, 10, 10, 0, 20, 20, 20, 128, 30, 30, 30, 255,
                                               40, 40, 40, 1, 50, 50, 50, 2,   60, 60, 60, 3}));
    PngImage keyed = Image(3, 1, PNG_COLOR_TYPE_GRAY, 8, {5, 6, 7});
    keyed.has_trans_colour = true;
    keyed.trans_colour.gray = 6;
    EXPECT_TRUE(SamePixels(LoadFromMemory(EncodePng(keyed)), PF_RGBA8888, 3, 1,
                           {5, 5, 5, 255, 6, 6, 6, 0, 7, 7, 7, 255}));
}

TEST(PngLoader, InterlacedImageDecodesLikeAPlainOne) {
    Bytes rgba(13 * 9 * 4);
    for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = uint8_t(i * 29 + i / 7);
    PngImage image = Image(13, 9, PNG_COLOR_TYPE_RGB_ALPHA, 8, rgba);
    image.interlaced = true;
    EXPECT_TRUE(SamePixels(LoadFromMemory(EncodePng(image)), PF_RGBA8888, 13, 9, rgba));
}

TEST(PngLoader, BadSignatureOrTooFewBytesGiveNull) {
    Bytes file = SmallRgbPng();
    ASSERT_TRUE(LoadFromMemory(file));
    EXPECT_FALSE(LoadFromMemory({}));
    EXPECT_FALSE(LoadFromMemory(Bytes(file.begin(), file.begin() + 7)));
    for (size_t i = 0; i < 8; ++i) {
        Bytes bad = file;
        bad[i] ^= 0x20;
        EXPECT_FALSE(LoadFromMemory(bad)) << "signature byte " << i << " changed";
    }
}

TEST(PngLoader, EveryTruncationGivesNull) {
    const Bytes file = SmallRgbPng();
    for (size_t n = 8; n < file.size(); ++n) {
        EXPECT_FALSE(LoadFromMemory(Bytes(file.begin(), file.begin() + ptrdiff_t(n))))
            << "cut to " << n << " bytes";
    }
}

TEST(PngLoader, CorruptChunksGiveNull) {
    const Bytes file = SmallRgbPng();
    uint32_t idat_length = 0;
    const size_t idat = PngChunkData(file, "IDAT", &idat_length);
    uint32_t ihdr_length = 0;
    const size_t ihdr = PngChunkData(file, "IHDR", &ihdr_length);
    ASSERT_NE(idat, 0u);
    ASSERT_NE(ihdr, 0u);

    Bytes flipped = file; // data changed, checksum no longer matches
    flipped[idat + idat_length / 2] ^= 0xFF;
    EXPECT_FALSE(LoadFromMemory(flipped));

    Bytes bad_crc = file;
    bad_crc[idat + idat_length] ^= 0x01;
    EXPECT_FALSE(LoadFromMemory(bad_crc));

    Bytes bad_zlib = file; // checksum repaired, so the inflater meets the damage
    bad_zlib[idat] = 0x00;
    bad_zlib[idat + 1] = 0x00;
    FixPngChunkCrc(bad_zlib, idat, idat_length);
    EXPECT_FALSE(LoadFromMemory(bad_zlib));

    Bytes bad_adler = file; // the stream's own checksum sits in its last four bytes
    bad_adler[idat + idat_length - 1] ^= 0x55;
    FixPngChunkCrc(bad_adler, idat, idat_length);
    EXPECT_FALSE(LoadFromMemory(bad_adler));

    Bytes bad_header = file; // width 0 is not a PNG
    std::memset(&bad_header[ihdr], 0, 4);
    FixPngChunkCrc(bad_header, ihdr, ihdr_length);
    EXPECT_FALSE(LoadFromMemory(bad_header));

    Bytes bad_type = file; // colour type 5 does not exist
    bad_type[ihdr + 9] = 5;
    FixPngChunkCrc(bad_type, ihdr, ihdr_length);
    EXPECT_FALSE(LoadFromMemory(bad_type));
}

// ---- the loader chain ----

namespace {

// Reads "TEST" and one byte n: an n x 1 intensity pixmap. Anything else is refused.
class TestTagLoader : public TPixmapLoader {
public:
    int calls = 0;
    TPixmapPtr LoadPixmap(TStream& stream) override {
        ++calls;
        char tag[4];
        if (stream.Read(tag, 4) != 4 || std::memcmp(tag, "TEST", 4) != 0) return nullptr;
        return CreatePixmap(stream.ReadByte(), 1, PF_I8);
    }
};

// Consumes some bytes and then fails the way a broken stream does.
class ThrowingLoader : public TPixmapLoader {
public:
    int calls = 0;
    TPixmapPtr LoadPixmap(TStream& stream) override {
        ++calls;
        stream.SkipBytes(3);
        throw TStreamReadException();
    }
};

// A stream over memory that cannot tell its position.
class UnseekableStream : public TStreamWrapper {
public:
    int closed = 0;
    int Pos() override { return -1; }
    int Close() override { return ++closed; }
};

} // namespace

TEST(PixmapLoaderChain, NewestLoaderIsAskedFirstAndEachStartsAtTheSamePosition) {
    InitPixmapLoaders();
    TestTagLoader tag_loader;
    ThrowingLoader throwing; // newest: asked first, its exception is a refusal
    ASSERT_EQ(PixmapLoaders(), &throwing);
    EXPECT_EQ(PixmapLoaders()->_succ, &tag_loader);

    Bytes data = {'x', 'x', 'T', 'E', 'S', 'T', 9};
    std::shared_ptr<TStream> stream = TRamStream::Create(data.data(), int(data.size()), 1, 0);
    stream->Seek(2);
    TPixmapPtr p = LoadPixmap(stream);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->width, 9);
    EXPECT_EQ(throwing.calls, 1);
    EXPECT_EQ(tag_loader.calls, 1);

    // A PNG after a prefix: the two newer loaders refuse, the PNG loader still sees byte 0 of it.
    Bytes prefixed = {'j', 'u', 'n', 'k'};
    const Bytes png = SmallRgbPng();
    prefixed.insert(prefixed.end(), png.begin(), png.end());
    std::shared_ptr<TStream> second = TRamStream::Create(prefixed.data(), int(prefixed.size()), 1, 0);
    second->Seek(4);
    TPixmapPtr image = LoadPixmap(second);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 5);
    EXPECT_EQ(tag_loader.calls, 2);
    // The caller's stream stays open and usable.
    EXPECT_EQ(second->Seek(0), 0);
    EXPECT_EQ(second->ReadByte(), 'j');
}

TEST(PixmapLoaderChain, DestroyedLoadersLeaveTheChain) {
    InitPixmapLoaders();
    TPixmapLoader* before = PixmapLoaders();
    {
        TestTagLoader first;
        TestTagLoader second;
        EXPECT_EQ(PixmapLoaders(), &second);
    }
    EXPECT_EQ(PixmapLoaders(), before);
    Bytes data = {'T', 'E', 'S', 'T', 3};
    std::shared_ptr<TStream> stream = TRamStream::Create(data.data(), int(data.size()), 1, 0);
    EXPECT_FALSE(LoadPixmap(stream));
}

TEST(PixmapLoaderChain, StreamThatCannotTellItsPositionLoadsNothing) {
    InitPixmapLoaders();
    Bytes png = SmallRgbPng();
    auto unseekable = std::make_shared<UnseekableStream>();
    unseekable->SetStream(TRamStream::Create(png.data(), int(png.size()), 1, 0));
    EXPECT_FALSE(LoadPixmap(std::shared_ptr<TStream>(unseekable)));
}

TEST(PixmapLoaderChain, LoadsFromFilesAndEmbeddedResources) {
    InitPixmapLoaders();
    const Bytes png = SmallRgbPng();
    const auto dir = std::filesystem::temp_directory_path() / ("test_pixmap_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "small.png").string();
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_TRUE(f);
        std::fwrite(png.data(), 1, png.size(), f);
        std::fclose(f);
    }
    TPixmapPtr from_file = LoadPixmap(path);
    TPixmapPtr missing = LoadPixmap((dir / "missing.png").string());
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(from_file);
    EXPECT_EQ(from_file->width, 5);
    EXPECT_EQ(from_file->height, 4);
    EXPECT_FALSE(missing);

    // The embedded table keeps a pointer to the bytes, so they must outlive the program's use.
    static const Bytes embedded = png;
    ASSERT_EQ(RegisterEmbeddedResource("graphx\\test_pixmap.png", embedded.data(), int(embedded.size())), 1);
    TPixmapPtr from_resource = LoadPixmap("Incbin::graphx\\test_pixmap.png");
    ASSERT_TRUE(from_resource);
    EXPECT_EQ(PixelBytes(*from_resource), PixelBytes(*from_file));
    EXPECT_FALSE(LoadPixmap("incbin::graphx\\no_such.png"));
    EXPECT_FALSE(LoadPixmap("nosuchprotocol::x.png"));
}

TEST(PixmapLoaderChain, DataNoLoaderKnowsGivesNull) {
    InitPixmapLoaders();
    Bytes text(64, 'a');
    std::shared_ptr<TStream> stream = TRamStream::Create(text.data(), int(text.size()), 1, 0);
    EXPECT_FALSE(LoadPixmap(stream));
}

namespace {

// The same file with other width and height in its header (and the header's checksum repaired).
Bytes WithDeclaredSize(Bytes file, uint32_t width, uint32_t height) {
    uint32_t length = 0;
    const size_t ihdr = PngChunkData(file, "IHDR", &length);
    for (int i = 0; i < 4; ++i) {
        file[ihdr + i] = uint8_t(width >> (24 - 8 * i));
        file[ihdr + 4 + i] = uint8_t(height >> (24 - 8 * i));
    }
    FixPngChunkCrc(file, ihdr, length);
    return file;
}

} // namespace

TEST(PngLoader, AHeaderClaimingAHugeImageIsRefusedBeforeItsMemoryIsTaken) {
    // 23170 x 23170 RGBA claims 2 GB of pixels, in a file of about 70 bytes.
    const Bytes file =
        WithDeclaredSize(EncodePng(Image(1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {1, 2, 3, 4})), 23170, 23170);
    ASSERT_LT(file.size(), 100u);
    EXPECT_FALSE(LoadFromMemory(file));
    const long growth_kb = PeakAddressSpaceGrowthKb([&] { (void)LoadFromMemory(file); });
    ASSERT_GE(growth_kb, 0);
    EXPECT_LT(growth_kb, 64 * 1024) << "the loader reserved memory for the claimed size";
}

TEST(PngLoader, ImagesAsLargeAsTheirDataAllowStillLoad) {
    // All zero compresses as far as deflate goes (about 1000 : 1): the most pixels a file this size
    // can really hold.
    PngImage zeros = Image(2000, 2000, PNG_COLOR_TYPE_RGB_ALPHA, 8, Bytes(size_t(2000) * 2000 * 4, 0));
    zeros.compression_level = 9;
    const TPixmapPtr big = LoadFromMemory(EncodePng(zeros));
    ASSERT_TRUE(big);
    EXPECT_EQ(big->width, 2000);
    EXPECT_EQ(big->ReadPixel(1999, 1999), 0u);

    // The widest picture accepted is 16384 pixels; one more is refused from its header.
    EXPECT_TRUE(LoadFromMemory(EncodePng(Image(16384, 1, PNG_COLOR_TYPE_GRAY, 8, Bytes(16384, 7)))));
    EXPECT_FALSE(LoadFromMemory(EncodePng(Image(16385, 1, PNG_COLOR_TYPE_GRAY, 8, Bytes(16385, 7)))));
}
