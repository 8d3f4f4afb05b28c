// Fonts and glyphs as the image fonts read them, and the chain of font loaders.
#pragma once

#include "render/pixmap.h"

#include <memory>
#include <string>

class TFont;
using TFontPtr = std::shared_ptr<TFont>;

// Font style bit: glyph images are filtered and mipmapped, and glyph bitmaps get a one-pixel
// transparent border so filtering never samples past the ink. Other bits are kept and reported only.
enum : int { FONT_SMOOTH = 4 };

// One glyph: its bitmap and where that sits relative to the pen.
class TGlyph {
public:
    virtual ~TGlyph() = default;
    // The bitmap (a format-2 alpha pixmap), or null for a glyph with no ink.
    virtual TPixmapPtr Pixels();
    // Pixels from this pen position to the next.
    virtual float Advance();
    // Bitmap placement relative to the pen position at the top of the line, and its size, in pixels.
    virtual void GetRect(int& x, int& y, int& w, int& h);
};

// A font at one pixel size. Glyph indices run from 0 to CountGlyphs() - 1.
class TFont {
public:
    virtual ~TFont() = default;
    virtual int Style();
    // Line height in pixels.
    virtual int Height();
    virtual int CountGlyphs();
    // -1 when the font has no glyph for the character code.
    virtual int CharToGlyph(int char_code);
    // The glyph, made on first request and kept by the font; null for an index out of range.
    virtual TGlyph* LoadGlyph(int index);
};

// One link of the loader chain.
class TFontLoader {
public:
    virtual ~TFontLoader() = default;
    // Null when this loader cannot open the location at that size.
    virtual TFontPtr LoadFont(const std::string& url, int size, int style) = 0;

    TFontLoader* _succ = nullptr;
};

// Puts the loader at the head of the chain, so it is asked first; a loader already in the chain
// stays where it is. The loader must outlive its use.
void AddFontLoader(TFontLoader* loader);
// The newest loader; follow _succ for the older ones.
TFontLoader* FontLoaders();
// Asks each loader from the head; the first font wins. Null when none opens it.
TFontPtr LoadFont(const std::string& url, int size, int style);
