// TImageFont: text drawn as images, one lazily made image per glyph, and the global text functions.
#pragma once

#include "render/font.h"
#include "render/image.h"

#include <memory>
#include <string>
#include <vector>

class TImageFont;
using TImageFontPtr = std::shared_ptr<TImageFont>;

// A glyph as a one-frame image; `_image` is null for a glyph with no ink.
class TImageGlyph {
public:
    TImagePtr _image;
    float _advance = 0.0f;              // pixels to the next pen position
    int _x = 0, _y = 0, _w = 0, _h = 0; // placement relative to the pen at the top of the line, size
    int _atlas_x = -1, _atlas_y = -1;   // the image's pixels in the font's atlas; -1: not in it

    TImagePtr Pixels() { return _image; }
    float Advance() { return _advance; }
    void GetRect(int& x, int& y, int& w, int& h);
};

// Glyph images are made on the first draw or measurement of their character and kept for the life
// of the font. Each glyph image is also copied into the font's atlas, one image whose texture holds
// every glyph loaded so far, and upright or quarter-turned text at 1:1 or larger is drawn from the
// atlas: a line of text is then one batch instead of a texture change per character. Text that is
// shrunk or turned by another angle, and a glyph that does not fit, draw from the glyphs' own
// images, since the atlas would not give the same pixels there.
class TImageFont {
public:
    TFontPtr _src_font;                                // null for the built-in default font
    std::vector<std::unique_ptr<TImageGlyph>> _glyphs; // per glyph index; null until first used
    int _imageFlags = 0;                               // flags of every glyph image
    TPixmapPtr _sheet; // the default font's 768 x 16 sheet of 8 x 16 cells; null for other fonts
    TImagePtr _atlas;  // null until the first glyph with pixels
    int _shelf_x = 0, _shelf_y = 0, _shelf_h = 0; // where the atlas's next glyph goes

    virtual ~TImageFont() = default;
    virtual int Style();
    virtual int Height();
    virtual int CountGlyphs();
    // -1 for a character the font lacks.
    virtual int CharToGlyph(int char_code);
    // Null for an index out of range.
    virtual TImageGlyph* LoadGlyph(int index);
    // Loads the glyphs of these characters that are not loaded yet and makes their images' textures
    // and the atlas's under the current graphics now, so that drawing them later makes nothing.
    void Preload(const std::string& characters);
    // Draws each character's glyph with the current colour, alpha, blend and transform. The pen
    // starts at (x, y), the top of the line; (ix, jx) is the direction of one pixel of advance and
    // (iy, jy) of one pixel down the line. Characters the font lacks are skipped without advance.
    virtual void Draw(const std::string& text, float x, float y, float ix, float iy, float jx, float jy);

    // Null when no loader opens the font at that size.
    static TImageFontPtr Load(const std::string& url, int size, int style);
    // The built-in 8 x 16 font for character codes 32 to 127.
    static TImageFontPtr CreateDefault();

private:
    // Copies the glyph's image into the atlas, growing the atlas when the glyph does not fit.
    void AddToAtlas(TImageGlyph& glyph);
};

// The engine's start-up step for fonts: registers the FreeType loader with the loader chain and the
// built-in font as the default of every drawing state. Later calls do nothing. Call it before the
// first graphics context opens so that states start with the built-in font.
void InitFontLoaders();

TImageFontPtr LoadImageFont(const std::string& url, int size, int style);

// The text functions work on the current font of the drawing state. Text is a sequence of 8-bit
// character codes. DrawText places the start of the top line at (x, y) + origin, moved by the
// drawing handle, and rotates and scales the text about that point with the drawing transform.
void DrawText(const std::string& text, float x, float y);
// Sum of the advances, truncated to whole pixels after each character.
int TextWidth(const std::string& text);
int TextHeight();
