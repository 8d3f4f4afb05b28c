// PNG writing over libpng; its longjmp error path is confined to one function without destructors.
#include "render/png_writer.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

namespace {

// C-style on purpose: libpng reports errors by longjmp back into this frame, which must therefore
// hold no object with a destructor.
bool write_rows(FILE* file, int width, int height, bool alpha, png_bytep* rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool SavePixmapPNG(const TPixmapPtr& pixmap, const std::string& path) {
    if (!pixmap || pixmap->width <= 0 || pixmap->height <= 0) return false;
    const bool alpha = PixmapFormatHasAlpha(pixmap->format);
    TPixmapPtr rgb = pixmap->format == (alpha ? PF_RGBA8888 : PF_RGB888)
                         ? pixmap
                         : pixmap->Convert(alpha ? PF_RGBA8888 : PF_RGB888);
    if (!rgb) return false;
    std::vector<png_bytep> rows(static_cast<size_t>(rgb->height));
    for (int y = 0; y < rgb->height; ++y) rows[static_cast<size_t>(y)] = rgb->PixelPtr(0, y);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = write_rows(file, rgb->width, rgb->height, alpha, rows.data());
    ok = std::fclose(file) == 0 && ok;
    return ok;
}
