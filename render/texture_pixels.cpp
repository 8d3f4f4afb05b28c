// Texture sizes, the padded level-0 pixels of an image frame and framed pastes into shared textures.
#include "render/texture_pixels.h"

int TextureSizePow2(int size) {
    int pow2 = 1;
    while (pow2 < size && pow2 < (1 << 30)) pow2 <<= 1;
    return pow2;
}

TPixmapPtr TexturePixels(const TPixmapPtr& pixmap, int tex_width, int tex_height) {
    const int w = pixmap->width;
    const int h = pixmap->height;
    if (w == tex_width && h == tex_height) {
        return pixmap->format == PF_RGBA8888 ? pixmap : pixmap->Convert(PF_RGBA8888);
    }
    TPixmapPtr pixels = CreatePixmap(tex_width, tex_height, PF_RGBA8888);
    if (!pixels) return nullptr;
    // The area beyond the copied edge is never sampled by a filtered draw of the frame; keep it
    // defined anyway so every upload is the same.
    pixels->ClearPixels(0);
    pixels->Paste(*pixmap, 0, 0);
    // One repeated column and row, so linear filtering at the frame's right and bottom edges samples
    // the frame's own pixels.
    if (w < tex_width) pixels->Paste(*pixmap->Window(w - 1, 0, 1, h), w, 0);
    if (h < tex_height) {
        pixels->Paste(*pixmap->Window(0, h - 1, w, 1), 0, h);
        if (w < tex_width) pixels->Paste(*pixmap->Window(w - 1, h - 1, 1, 1), w, h);
    }
    return pixels;
}

void PasteFramed(TPixmap& sheet, TPixmap& picture, int x, int y) {
    const int w = picture.width;
    const int h = picture.height;
    sheet.Paste(picture, x, y);
    sheet.Paste(*picture.Window(0, 0, 1, h), x - 1, y);
    sheet.Paste(*picture.Window(w - 1, 0, 1, h), x + w, y);
    // The rows above and below copy the sheet's framed edge rows, so the corners come along.
    sheet.Paste(*sheet.Window(x - 1, y, w + 2, 1), x - 1, y - 1);
    sheet.Paste(*sheet.Window(x - 1, y + h - 1, w + 2, 1), x - 1, y + h);
}
