// TImageFont: glyph images made on demand from a source font, text drawing and measuring.
#include "render/image_font.h"

#include "render/freetype_font.h"
#include "render/texture_pixels.h"

#include <algorithm>
#include <cmath>

namespace {

// The built-in font's cells.
constexpr int DEFAULT_FIRST_CHAR = 32;
constexpr int DEFAULT_GLYPH_COUNT = 96;
constexpr int DEFAULT_CELL_W = 8;
constexpr int DEFAULT_CELL_H = 16;

// The atlas is a fixed width and doubles its height as glyphs arrive; 2048 rows hold thousands of
// glyphs of any size a game's text uses. Each glyph is framed by one copied edge pixel.
constexpr int ATLAS_WIDTH = 256;
constexpr int ATLAS_FIRST_HEIGHT = 64;
constexpr int ATLAS_MAX_HEIGHT = 2048;
constexpr int ATLAS_BORDER = 1;

// Below this a transform component counts as zero: a quarter turn leaves cos 90 degrees, about 6e-17.
constexpr float AXIS_TOLERANCE = 1e-6f;

// Whether text under this transform looks the same drawn from the atlas as from each glyph's own
// texture. Only upright or quarter-turned text at 1:1 or larger does: a shrinking transform samples
// the smaller mip levels or skips texels, and the atlas's levels mix neighbouring glyphs; a turn by
// any other angle takes its filter weights from texture coordinates of another magnitude, which
// round a level apart here and there.
bool AtlasDrawsExactly(float ix, float iy, float jx, float jy) {
    const auto zero = [](float v) { return std::fabs(v) < AXIS_TOLERANCE; };
    const auto not_shrunk = [](float v) { return std::fabs(v) >= 1.0f; };
    if (zero(iy) && zero(jx)) return not_shrunk(ix) && not_shrunk(jy);
    if (zero(ix) && zero(jy)) return not_shrunk(iy) && not_shrunk(jx);
    return false;
}

} // namespace

void TImageGlyph::GetRect(int& x, int& y, int& w, int& h) {
    x = _x;
    y = _y;
    w = _w;
    h = _h;
}

int TImageFont::Style() {
    return _src_font ? _src_font->Style() : 0;
}

int TImageFont::Height() {
    return _src_font ? _src_font->Height() : DEFAULT_CELL_H;
}

int TImageFont::CountGlyphs() {
    return static_cast<int>(_glyphs.size());
}

int TImageFont::CharToGlyph(int char_code) {
    if (_src_font) return _src_font->CharToGlyph(char_code);
    if (char_code < DEFAULT_FIRST_CHAR || char_code >= DEFAULT_FIRST_CHAR + DEFAULT_GLYPH_COUNT) return -1;
    return char_code - DEFAULT_FIRST_CHAR;
}

TImageGlyph* TImageFont::LoadGlyph(int index) {
    if (index < 0 || index >= CountGlyphs()) return nullptr;
    if (_glyphs[index]) return _glyphs[index].get();
    _glyphs[index] = std::make_unique<TImageGlyph>();
    TImageGlyph& glyph = *_glyphs[index];

    if (!_src_font) {
        glyph._advance = static_cast<float>(DEFAULT_CELL_W);
        glyph._w = DEFAULT_CELL_W;
        glyph._h = DEFAULT_CELL_H;
        if (_sheet) {
            TPixmapPtr cell = _sheet->Window(index * DEFAULT_CELL_W, 0, DEFAULT_CELL_W, DEFAULT_CELL_H);
            glyph._image = TImage::Load(cell ? cell->Copy() : nullptr, _imageFlags, 0, 0, 0);
        }
        AddToAtlas(glyph);
        return &glyph;
    }

    TGlyph* source = _src_font->LoadGlyph(index);
    if (!source) return &glyph;
    glyph._advance = source->Advance();
    source->GetRect(glyph._x, glyph._y, glyph._w, glyph._h);
    // A copy, so the image owns its pixels whatever the source font does with its glyph later. The
    // alpha pixmap becomes white texels carrying the coverage, so the drawing colour tints the text.
    if (TPixmapPtr pixels = source->Pixels())
        glyph._image = TImage::Load(pixels->Copy(), _imageFlags, 0, 0, 0);
    AddToAtlas(glyph);
    return &glyph;
}

void TImageFont::Preload(const std::string& characters) {
    for (const char c : characters) {
        // The glyph's own image too: shrunk or turned text draws from it.
        TImageGlyph* glyph = LoadGlyph(CharToGlyph(static_cast<unsigned char>(c)));
        if (glyph && glyph->_image) glyph->_image->Frame(0);
    }
    if (_atlas) _atlas->Frame(0);
}

void TImageFont::AddToAtlas(TImageGlyph& glyph) {
    const TPixmapPtr pixels = glyph._image ? glyph._image->pixmaps[0] : nullptr;
    if (!pixels || pixels->width <= 0 || pixels->height <= 0) return;
    const int w = pixels->width;
    const int h = pixels->height;
    const int slot_w = w + 2 * ATLAS_BORDER;
    const int slot_h = h + 2 * ATLAS_BORDER;
    if (slot_w > ATLAS_WIDTH) return;
    if (_shelf_x + slot_w > ATLAS_WIDTH) {
        _shelf_y += _shelf_h;
        _shelf_x = 0;
        _shelf_h = 0;
    }
    const int needed = _shelf_y + slot_h;
    if (needed > ATLAS_MAX_HEIGHT) return;
    if (!_atlas || needed > _atlas->height) {
        int height = _atlas ? _atlas->height : ATLAS_FIRST_HEIGHT;
        while (height < needed) height *= 2;
        TPixmapPtr grown = CreatePixmap(ATLAS_WIDTH, height, PF_RGBA8888);
        if (!grown) return;
        grown->ClearPixels(0);
        if (_atlas) grown->Paste(*_atlas->pixmaps[0], 0, 0);
        _atlas = TImage::Load(grown, _imageFlags, 0, 0, 0);
        if (!_atlas) return;
    }

    // Locking for writing drops the atlas texture; the next draw uploads it with the new glyph.
    TPixmapPtr atlas = _atlas->Lock(0, 1, 1);
    const int x = _shelf_x + ATLAS_BORDER;
    const int y = _shelf_y + ATLAS_BORDER;
    // The copied edge makes filtered drawing at the glyph's edges sample the glyph's own pixels, as
    // it would from a texture of its own, instead of its neighbour in the atlas.
    PasteFramed(*atlas, *pixels, x, y);
    glyph._atlas_x = x;
    glyph._atlas_y = y;
    _shelf_x += slot_w;
    _shelf_h = std::max(_shelf_h, slot_h);
}

void TImageFont::Draw(const std::string& text, float x, float y, float ix, float iy, float jx, float jy) {
    // Glyphs new to the atlas are all added before drawing, so a line uploads the atlas at most once.
    const bool use_atlas = AtlasDrawsExactly(ix, iy, jx, jy);
    if (use_atlas) {
        for (const char c : text) LoadGlyph(CharToGlyph(static_cast<unsigned char>(c)));
    }
    const TImageFramePtr atlas = use_atlas && _atlas ? _atlas->Frame(0) : nullptr;

    for (const char c : text) {
        const int index = CharToGlyph(static_cast<unsigned char>(c));
        if (index < 0) continue;
        TImageGlyph* glyph = LoadGlyph(index);
        if (!glyph) continue;
        if (glyph->_image) {
            const auto gx = static_cast<float>(glyph->_x);
            const auto gy = static_cast<float>(glyph->_y);
            const auto w = static_cast<float>(glyph->_image->width);
            const auto h = static_cast<float>(glyph->_image->height);
            const float px = x + gx * ix + gy * iy;
            const float py = y + gx * jx + gy * jy;
            if (atlas && glyph->_atlas_x >= 0) {
                atlas->DrawPart(static_cast<float>(glyph->_atlas_x), static_cast<float>(glyph->_atlas_y), w,
                                h, 0.0f, 0.0f, w, h, px, py);
            } else if (TImageFramePtr frame = glyph->_image->Frame(0)) {
                frame->Draw(0.0f, 0.0f, w, h, px, py);
            }
        }
        x += ix * glyph->_advance;
        y += jx * glyph->_advance;
    }
}

TImageFontPtr TImageFont::Load(const std::string& url, int size, int style) {
    TFontPtr source = LoadFont(url, size, style);
    if (!source) return nullptr;
    auto font = std::make_shared<TImageFont>();
    font->_src_font = source;
    font->_glyphs.resize(static_cast<size_t>(source->CountGlyphs()));
    font->_imageFlags = (style & FONT_SMOOTH) != 0 ? IMAGE_FILTERED | IMAGE_MIPMAPPED : 0;
    return font;
}

void InitFontLoaders() {
    static bool done = false;
    if (done) return;
    done = true;
    static TFreeTypeFontLoader freetype_loader;
    AddFontLoader(&freetype_loader);
    SetDefaultImageFontMaker(&TImageFont::CreateDefault);
}

TImageFontPtr LoadImageFont(const std::string& url, int size, int style) {
    return TImageFont::Load(url, size, style);
}

void DrawText(const std::string& text, float x, float y) {
    TImageFontPtr font = GetImageFont();
    if (!font) return;
    const TDraw2DGraphics& s = *TDraw2DGraphics::Current();
    const float hx = s.handle_x;
    const float hy = s.handle_y;
    const float ix = s.tform_ix, iy = s.tform_iy, jx = s.tform_jx, jy = s.tform_jy;
    font->Draw(text, x + s.origin_x + hx * ix + hy * iy, y + s.origin_y + hx * jx + hy * jy, ix, iy, jx, jy);
}

int TextWidth(const std::string& text) {
    TImageFontPtr font = GetImageFont();
    if (!font) return 0;
    int width = 0;
    for (const char c : text) {
        const int index = font->CharToGlyph(static_cast<unsigned char>(c));
        if (index < 0) continue;
        if (TImageGlyph* glyph = font->LoadGlyph(index)) {
            width = static_cast<int>(static_cast<float>(width) + glyph->_advance);
        }
    }
    return width;
}

int TextHeight() {
    TImageFontPtr font = GetImageFont();
    return font ? font->Height() : 0;
}
