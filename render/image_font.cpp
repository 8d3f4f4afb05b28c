// TImageFont: glyph images made on demand from a source font, text drawing and measuring.
#include "render/image_font.h"

#include "render/freetype_font.h"

namespace {

// The built-in font's cells.
constexpr int DEFAULT_FIRST_CHAR = 32;
constexpr int DEFAULT_GLYPH_COUNT = 96;
constexpr int DEFAULT_CELL_W = 8;
constexpr int DEFAULT_CELL_H = 16;

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
    return &glyph;
}

void TImageFont::Draw(const std::string& text, float x, float y, float ix, float iy, float jx, float jy) {
    for (const char c : text) {
        const int index = CharToGlyph(static_cast<unsigned char>(c));
        if (index < 0) continue;
        TImageGlyph* glyph = LoadGlyph(index);
        if (!glyph) continue;
        if (glyph->_image) {
            if (TImageFramePtr frame = glyph->_image->Frame(0)) {
                const auto gx = static_cast<float>(glyph->_x);
                const auto gy = static_cast<float>(glyph->_y);
                frame->Draw(0.0f, 0.0f, static_cast<float>(glyph->_image->width),
                            static_cast<float>(glyph->_image->height), x + gx * ix + gy * iy,
                            y + gx * jx + gy * jy);
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
