// The abstract font and glyph defaults and the font loader chain.
#include "render/font.h"

namespace {

TFontLoader* g_loader_head = nullptr;

} // namespace

TPixmapPtr TGlyph::Pixels() {
    return nullptr;
}

float TGlyph::Advance() {
    return 0.0f;
}

void TGlyph::GetRect(int& x, int& y, int& w, int& h) {
    x = y = w = h = 0;
}

int TFont::Style() {
    return 0;
}

int TFont::Height() {
    return 0;
}

int TFont::CountGlyphs() {
    return 0;
}

int TFont::CharToGlyph(int) {
    return -1;
}

TGlyph* TFont::LoadGlyph(int) {
    return nullptr;
}

void AddFontLoader(TFontLoader* loader) {
    if (!loader) return;
    for (TFontLoader* l = g_loader_head; l; l = l->_succ) {
        if (l == loader) return;
    }
    loader->_succ = g_loader_head;
    g_loader_head = loader;
}

TFontLoader* FontLoaders() {
    return g_loader_head;
}

TFontPtr LoadFont(const std::string& url, int size, int style) {
    for (TFontLoader* l = g_loader_head; l; l = l->_succ) {
        if (TFontPtr font = l->LoadFont(url, size, style)) return font;
    }
    return nullptr;
}
