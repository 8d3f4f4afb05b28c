// The PNG pixmap loader: libpng decodes straight into the pixmap's rows, reading through a TStream.
#include "render/png_loader.h"

#include "platform/stream.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <new>
#include <png.h>
#include <vector>

namespace {

constexpr int PNG_SIGNATURE_BYTES = 8;

// The largest width and height accepted: the game's largest picture is 640 x 480, and no graphics
// card makes a texture wider than this.
constexpr png_uint_32 kMaxSide = 16384;

// A deflate stream expands at most 1032 times (a 258-byte match coded in 2 bits). A header whose
// pixels need more bytes than the rest of the file could inflate to belongs to a file that is cut
// short or lies about its size; it is refused before the pixel memory is taken.
constexpr uint64_t kMaxInflateRatio = 1032;

// Everything a decode owns lives here, in the frame of TPixmapLoaderPNG::LoadPixmap, so that a
// libpng error (a longjmp) skips no destructor.
struct PngDecode {
    TStream* stream = nullptr;
    uint64_t bytes_after_signature = 0; // what the stream holds beyond the signature
    TPixmapPtr pixmap;
    std::vector<png_bytep> rows;
    bool grey_alpha = false; // rows hold (grey, alpha) pairs to be widened to RGBA afterwards
};

// Reads exactly `length` bytes; false at the end of data or on a stream error. Stream exceptions
// must not travel through libpng's C frames, so they end here.
bool ReadExactly(TStream& stream, png_bytep data, size_t length) {
    try {
        while (length > 0) {
            const int want = length > size_t(INT_MAX) ? INT_MAX : int(length);
            const int got = stream.Read(data, want);
            if (got <= 0) return false;
            data += got;
            length -= size_t(got);
        }
        return true;
    } catch (const TStreamException&) {
        return false;
    }
}

void ReadCallback(png_structp png, png_bytep data, size_t length) {
    PngDecode* decode = static_cast<PngDecode*>(png_get_io_ptr(png));
    if (!ReadExactly(*decode->stream, data, length)) png_error(png, "PNG data ends early");
}

// libpng's own handlers print to stderr; a failed load is silent, so errors only return control to
// the setjmp in DecodePng.
void ErrorCallback(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void WarningCallback(png_structp, png_const_charp) {}

// Makes the pixmap for the decoded header and points one row pointer into each of its rows.
bool PrepareRows(PngDecode& decode, png_uint_32 width, png_uint_32 height, int bit_depth, int colour_type,
                 size_t row_bytes) {
    if (bit_depth != 8 || width > png_uint_32(INT_MAX) || height > png_uint_32(INT_MAX)) return false;
    int format;
    switch (colour_type) {
    case PNG_COLOR_TYPE_GRAY: format = PF_I8; break;
    case PNG_COLOR_TYPE_RGB: format = PF_RGB888; break;
    case PNG_COLOR_TYPE_RGB_ALPHA: format = PF_RGBA8888; break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        format = PF_RGBA8888;
        decode.grey_alpha = true;
        break;
    default: return false;
    }
    try {
        decode.pixmap = TPixmap::Create(int(width), int(height), format, PIXMAP_ALIGN);
        if (!decode.pixmap || row_bytes > size_t(decode.pixmap->pitch)) return false;
        decode.rows.resize(height);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (png_uint_32 y = 0; y < height; ++y) decode.rows[y] = decode.pixmap->PixelPtr(0, int(y));
    return true;
}

// The only function that holds a setjmp: it keeps no C++ object, and a libpng error anywhere
// below it returns 0 here. The transforms are those of one whole-image read: 16-bit samples
// stripped to 8 bits, palettes, low bit depths and transparency chunks expanded.
int DecodePng(png_structp png, png_infop info, PngDecode* decode) {
    if (setjmp(png_jmpbuf(png))) return 0;
    png_set_sig_bytes(png, PNG_SIGNATURE_BYTES);
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_set_read_fn(png, decode, ReadCallback);
    png_read_info(png, info);
    // Pixel data as stored, before any transform widens it.
    const uint64_t stored_bits = uint64_t(png_get_image_width(png, info)) * png_get_image_height(png, info) *
                                 png_get_bit_depth(png, info) * png_get_channels(png, info);
    if (stored_bits / 8 > kMaxInflateRatio * decode->bytes_after_signature) return 0;
    png_set_strip_16(png);
    png_set_expand(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (!PrepareRows(*decode, png_get_image_width(png, info), png_get_image_height(png, info),
                     png_get_bit_depth(png, info), png_get_color_type(png, info),
                     png_get_rowbytes(png, info))) {
        return 0;
    }
    png_read_image(png, decode->rows.data());
    png_read_end(png, nullptr);
    return 1;
}

// (grey, alpha) pairs become (grey, grey, grey, alpha), widened in place from the row's end so that
// no pair is overwritten before it is read.
void WidenGreyAlpha(TPixmap& pixmap) {
    for (int y = 0; y < pixmap.height; ++y) {
        uint8_t* row = pixmap.PixelPtr(0, y);
        for (int x = pixmap.width - 1; x >= 0; --x) {
            const uint8_t grey = row[x * 2];
            const uint8_t alpha = row[x * 2 + 1];
            row[x * 4] = row[x * 4 + 1] = row[x * 4 + 2] = grey;
            row[x * 4 + 3] = alpha;
        }
    }
}

} // namespace

TPixmapPtr TPixmapLoaderPNG::LoadPixmap(TStream& stream) {
    png_byte signature[PNG_SIGNATURE_BYTES];
    if (!ReadExactly(stream, signature, sizeof signature)) return nullptr;
    if (png_sig_cmp(signature, 0, PNG_SIGNATURE_BYTES) != 0) return nullptr;

    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, ErrorCallback, WarningCallback);
    if (!png) return nullptr;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return nullptr;
    }
    PngDecode decode;
    decode.stream = &stream;
    try {
        const int size = stream.Size(), pos = stream.Pos();
        if (size > pos) decode.bytes_after_signature = uint64_t(size - pos);
    } catch (const TStreamException&) {
        // Left at 0: nothing is decoded from a stream that cannot say how much it holds.
    }
    const int decoded = DecodePng(png, info, &decode);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!decoded) return nullptr;
    if (decode.grey_alpha) WidenGreyAlpha(*decode.pixmap);
    return decode.pixmap;
}

TPixmapLoaderPNG* RegisterPixmapLoaderPNG() {
    static TPixmapLoaderPNG loader;
    return &loader;
}
