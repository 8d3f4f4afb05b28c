// TFreeTypeFont: opens faces from files or from streams read into memory and renders glyph bitmaps
// into alpha pixmaps.
#include "render/freetype_font.h"

#include "platform/filesystem.h"
#include "platform/stream.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstddef>
#include <cstring>

namespace {

// Made on the first font load and kept for the life of the process: fonts held in globals may be
// destroyed after any library-level teardown would have run.
FT_Library Library() {
    static FT_Library library = nullptr;
    static bool tried = false;
    if (!tried) {
        tried = true;
        if (FT_Init_FreeType(&library) != 0) library = nullptr;
    }
    return library;
}

// The whole stream, or nothing when it cannot be opened or read.
std::vector<uint8_t> ReadWhole(const std::string& location) {
    std::vector<uint8_t> bytes;
    try {
        std::shared_ptr<TStream> stream = OpenStream(location, 1, 0);
        if (!stream) return bytes;
        uint8_t chunk[16384];
        for (;;) {
            const int n = stream->Read(chunk, static_cast<int>(sizeof chunk));
            if (n <= 0) break;
            bytes.insert(bytes.end(), chunk, chunk + n);
        }
        stream->Close();
    } catch (const TStreamException&) {
        bytes.clear();
    }
    return bytes;
}

// The top row of a FreeType bitmap: with a negative pitch the rows are stored bottom first.
const uint8_t* TopRow(const FT_Bitmap& bitmap) {
    const uint8_t* buffer = bitmap.buffer;
    if (bitmap.pitch < 0) buffer -= static_cast<ptrdiff_t>(bitmap.rows - 1) * bitmap.pitch;
    return buffer;
}

// The glyph slot's bitmap as a format-2 pixmap; null for a pixel mode we do not render.
TPixmapPtr BitmapToAlpha(const FT_Bitmap& bitmap) {
    const int w = static_cast<int>(bitmap.width);
    const int h = static_cast<int>(bitmap.rows);
    const bool grey = bitmap.num_grays != 0;
    if (grey ? bitmap.pixel_mode != FT_PIXEL_MODE_GRAY : bitmap.pixel_mode != FT_PIXEL_MODE_MONO)
        return nullptr;
    TPixmapPtr p = CreatePixmap(w, h, PF_A8);
    if (!p) return nullptr;
    const uint8_t* row = TopRow(bitmap);
    for (int y = 0; y < h; ++y, row += bitmap.pitch) {
        uint8_t* out = p->PixelPtr(0, y);
        if (grey) {
            if (bitmap.num_grays == 256) {
                std::memcpy(out, row, static_cast<size_t>(w));
            } else {
                // Fewer levels than a byte holds: stretch the top level to full coverage.
                const int top = bitmap.num_grays - 1;
                for (int x = 0; x < w; ++x)
                    out[x] = static_cast<uint8_t>(row[x] >= top ? 255 : row[x] * 255 / top);
            }
        } else {
            // One bit per pixel, most significant bit leftmost.
            for (int x = 0; x < w; ++x) out[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
        }
    }
    return p;
}

} // namespace

TPixmapPtr TFreeTypeGlyph::Pixels() {
    return _pixmap;
}

float TFreeTypeGlyph::Advance() {
    return _advance;
}

void TFreeTypeGlyph::GetRect(int& x, int& y, int& w, int& h) {
    x = _x;
    y = _y;
    w = _w;
    h = _h;
}

TFreeTypeFont::~TFreeTypeFont() {
    if (_ft_face) FT_Done_Face(_ft_face);
}

int TFreeTypeFont::Style() {
    return _style;
}

int TFreeTypeFont::Height() {
    return _height;
}

int TFreeTypeFont::CountGlyphs() {
    return static_cast<int>(_glyphs.size());
}

int TFreeTypeFont::CharToGlyph(int char_code) {
    if (char_code < 0) return -1;
    return static_cast<int>(FT_Get_Char_Index(_ft_face, static_cast<FT_ULong>(char_code))) - 1;
}

TGlyph* TFreeTypeFont::LoadGlyph(int index) {
    if (index < 0 || index >= CountGlyphs()) return nullptr;
    if (_glyphs[index]) return _glyphs[index].get();
    _glyphs[index] = std::make_unique<TFreeTypeGlyph>();
    TFreeTypeGlyph& glyph = *_glyphs[index];
    if (FT_Load_Glyph(_ft_face, static_cast<FT_UInt>(index + 1), FT_LOAD_RENDER) != 0) return &glyph;

    const FT_GlyphSlot slot = _ft_face->glyph;
    glyph._x = slot->bitmap_left;
    glyph._y = _ascend - slot->bitmap_top;
    glyph._w = static_cast<int>(slot->bitmap.width);
    glyph._h = static_cast<int>(slot->bitmap.rows);
    glyph._advance = static_cast<float>(slot->advance.x >> 6); // 26.6 fixed point to whole pixels
    if (glyph._w == 0 || glyph._h == 0) return &glyph;

    glyph._pixmap = BitmapToAlpha(slot->bitmap);
    if (glyph._pixmap && (_style & FONT_SMOOTH) != 0) {
        TPixmapPtr padded = CreatePixmap(glyph._w + 2, glyph._h + 2, PF_A8);
        if (padded) {
            padded->ClearPixels(0);
            padded->Paste(*glyph._pixmap, 1, 1);
            glyph._pixmap = padded;
            glyph._x -= 1;
            glyph._y -= 1;
            glyph._w += 2;
            glyph._h += 2;
        }
    }
    return &glyph;
}

std::shared_ptr<TFreeTypeFont> TFreeTypeFont::Load(const std::string& url, int size, int style) {
    FT_Library library = Library();
    if (!library) return nullptr;

    auto font = std::make_shared<TFreeTypeFont>();
    FT_Face face = nullptr;
    const size_t protocol_end = url.find("::");
    if (protocol_end != std::string::npos && protocol_end > 0) {
        font->_buf = ReadWhole(url);
        if (font->_buf.empty()) return nullptr;
        if (FT_New_Memory_Face(library, font->_buf.data(), static_cast<FT_Long>(font->_buf.size()), 0,
                               &face) != 0) {
            return nullptr;
        }
    } else if (FT_New_Face(library, ResolvePathCase(url).c_str(), 0, &face) != 0) {
        return nullptr;
    }
    // From here the font owns the face and releases it on every way out.
    font->_ft_face = face;

    // Fixed-size faces refuse sizes they have no strike for; take the largest smaller one they have.
    while (size > 0 && FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size)) != 0) --size;
    if (size <= 0) return nullptr;

    const FT_Size_Metrics& metrics = face->size->metrics;
    font->_height = static_cast<int>(metrics.height >> 6);
    font->_ascend = static_cast<int>(metrics.ascender >> 6);
    font->_descend = static_cast<int>(metrics.descender >> 6);
    font->_style = style;
    font->_glyphs.resize(static_cast<size_t>(face->num_glyphs));
    return font;
}

TFontPtr TFreeTypeFontLoader::LoadFont(const std::string& url, int size, int style) {
    if (url.empty()) return nullptr;
    return TFreeTypeFont::Load(url, size, style);
}
