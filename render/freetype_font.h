// TFreeTypeFont: a TrueType (or other FreeType-readable) font opened at one pixel size.
#pragma once

#include "render/font.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct FT_FaceRec_;

// A glyph rendered by FreeType: an alpha bitmap and its placement.
class TFreeTypeGlyph : public TGlyph {
public:
    TPixmapPtr _pixmap; // format 2 (alpha), or null for a glyph with no ink
    float _advance = 0.0f;
    int _x = 0, _y = 0, _w = 0, _h = 0;

    TPixmapPtr Pixels() override;
    float Advance() override;
    void GetRect(int& x, int& y, int& w, int& h) override;
};

class TFreeTypeFont : public TFont {
public:
    FT_FaceRec_* _ft_face = nullptr;
    int _style = 0;
    int _height = 0, _ascend = 0, _descend = 0;           // pixels; _descend is negative below the baseline
    std::vector<std::unique_ptr<TFreeTypeGlyph>> _glyphs; // one per glyph of the face, made on demand
    // The font file when it was read from a stream: FreeType reads the face from it for as long as
    // the face lives.
    std::vector<uint8_t> _buf;

    TFreeTypeFont() = default;
    TFreeTypeFont(const TFreeTypeFont&) = delete;
    TFreeTypeFont& operator=(const TFreeTypeFont&) = delete;
    ~TFreeTypeFont() override;

    int Style() override;
    int Height() override;
    int CountGlyphs() override;
    // FreeType's glyph 0 is its "missing character" glyph, so our index i is FreeType's i + 1.
    int CharToGlyph(int char_code) override;
    TGlyph* LoadGlyph(int index) override;

    // A location with "::" after its first character is a stream name ("incbin::fonts\x.ttf") and is
    // read whole into memory; anything else is a file path. When the face cannot take `size` pixels,
    // the largest smaller size it accepts is used. Null when nothing opens or no size fits.
    static std::shared_ptr<TFreeTypeFont> Load(const std::string& url, int size, int style);
};

// The loader the chain asks for every font; the empty location opens nothing.
class TFreeTypeFontLoader : public TFontLoader {
public:
    TFontPtr LoadFont(const std::string& url, int size, int style) override;
};
