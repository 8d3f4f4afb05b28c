// PNG output through libpng: no time chunk, fixed compression, so reruns are byte-identical.
#include "tools/assetgen/png_writer.h"

#include <png.h>

#include <cstdio>

namespace {

// libpng reports errors by longjmp; this function owns no C++ objects, so nothing is skipped.
bool write_rows(FILE* file, int width, int height, int channels, const uint8_t* pixels) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const size_t stride = static_cast<size_t>(width) * static_cast<size_t>(channels);
    for (int y = 0; y < height; ++y) png_write_row(png, pixels + stride * static_cast<size_t>(y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool write_png(const std::string& path, int width, int height, int channels,
               const std::vector<uint8_t>& pixels) {
    if ((channels != 3 && channels != 4) || width <= 0 || height <= 0 ||
        pixels.size() !=
            static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(channels))
        return false;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = write_rows(file, width, height, channels, pixels.data());
    return std::fclose(file) == 0 && ok;
}
