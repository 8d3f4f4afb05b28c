// Writes PNG files into memory with libpng, so pixmap tests and benchmarks make their own images.
#pragma once

#include <cstdint>
#include <cstring>
#include <png.h>
#include <vector>
#include <zlib.h>

struct PngImage {
    int width = 0;
    int height = 0;
    int bit_depth = 8;
    int colour_type = PNG_COLOR_TYPE_RGB;
    bool interlaced = false;
    // Packed rows exactly as the file stores them (16-bit samples big-endian, low depths packed).
    std::vector<uint8_t> data;
    std::vector<png_color> palette;
    std::vector<uint8_t> palette_alpha; // tRNS for palette images
    bool has_trans_colour = false;      // tRNS for grey and RGB images
    png_color_16 trans_colour{};
    int compression_level = 6;
};

inline size_t PngRowBytes(const PngImage& image) {
    int channels = 1;
    switch (image.colour_type) {
    case PNG_COLOR_TYPE_GRAY_ALPHA: channels = 2; break;
    case PNG_COLOR_TYPE_RGB: channels = 3; break;
    case PNG_COLOR_TYPE_RGB_ALPHA: channels = 4; break;
    default: break;
    }
    return (size_t(image.width) * size_t(channels) * size_t(image.bit_depth) + 7) / 8;
}

// libpng aborts the process on a writer error (no jump buffer is set): the images are ours and valid.
inline std::vector<uint8_t> EncodePng(const PngImage& image) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep bytes, size_t length) {
            auto* sink = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
            sink->insert(sink->end(), bytes, bytes + length);
        },
        nullptr);
    png_set_compression_level(png, image.compression_level);
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), image.bit_depth,
                 image.colour_type, image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!image.palette.empty()) png_set_PLTE(png, info, image.palette.data(), int(image.palette.size()));
    if (!image.palette_alpha.empty()) {
        png_set_tRNS(png, info, image.palette_alpha.data(), int(image.palette_alpha.size()), nullptr);
    } else if (image.has_trans_colour) {
        png_color_16 colour = image.trans_colour;
        png_set_tRNS(png, info, nullptr, 0, &colour);
    }
    std::vector<png_bytep> rows(size_t(image.height));
    std::vector<uint8_t> copy = image.data; // libpng wants mutable rows
    const size_t row_bytes = PngRowBytes(image);
    for (int y = 0; y < image.height; ++y) rows[size_t(y)] = copy.data() + size_t(y) * row_bytes;
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// Offset of the first byte of the data of the first chunk of the given type, or 0 when absent.
inline size_t PngChunkData(const std::vector<uint8_t>& file, const char* type, uint32_t* length = nullptr) {
    size_t at = 8;
    while (at + 12 <= file.size()) {
        const uint32_t n = uint32_t(file[at]) << 24 | uint32_t(file[at + 1]) << 16 |
                           uint32_t(file[at + 2]) << 8 | uint32_t(file[at + 3]);
        if (std::memcmp(&file[at + 4], type, 4) == 0) {
            if (length) *length = n;
            return at + 8;
        }
        at += 12 + size_t(n);
    }
    return 0;
}

// Recomputes the CRC of the chunk whose data starts at `data_at`, so that a deliberate corruption
// of its contents gets past the checksum and reaches the decoder.
inline void FixPngChunkCrc(std::vector<uint8_t>& file, size_t data_at, uint32_t length) {
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, &file[data_at - 4], uInt(length + 4));
    const size_t at = data_at + length;
    file[at] = uint8_t(crc >> 24);
    file[at + 1] = uint8_t(crc >> 16);
    file[at + 2] = uint8_t(crc >> 8);
    file[at + 3] = uint8_t(crc);
}

// Recomputes the CRC of every whole chunk of a PNG file in place (fuzzing: changed bytes then reach
// the decoders instead of ending at the checksum). Stops at the first chunk cut short.
inline void FixAllPngChunkCrcs(uint8_t* data, size_t size) {
    size_t at = 8;
    while (at + 12 <= size) {
        const size_t length = size_t(data[at]) << 24 | size_t(data[at + 1]) << 16 |
                              size_t(data[at + 2]) << 8 | size_t(data[at + 3]);
        if (length > size - at - 12) return;
        const uLong crc = crc32(crc32(0L, Z_NULL, 0), data + at + 4, uInt(length + 4));
        for (int i = 0; i < 4; ++i) data[at + 8 + length + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
        at += 12 + length;
    }
}
