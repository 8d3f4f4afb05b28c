// TPixmap: format conversions through RGBA, copying, masking, flipping and bilinear resampling.
#include "render/pixmap.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr int BYTES_PER_PIXEL[PIXMAP_FORMAT_COUNT] = {0, 1, 1, 3, 3, 4, 4, 1, 1, 1, 1, 1, 1};

// Conversions that need an RGBA intermediate go through this many pixels at a time on the stack.
constexpr int CONVERT_CHUNK_PIXELS = 1024;

[[maybe_unused]] bool IsConvertible(int format) {
    return format >= PF_I8 && format <= PF_RGBA8888;
}

void ToRgba(const uint8_t* src, int format, uint8_t* dst, int count) {
    switch (format) {
    case PF_I8:
        for (int i = 0; i < count; ++i, src += 1, dst += 4) {
            dst[0] = dst[1] = dst[2] = src[0];
            dst[3] = 255;
        }
        break;
    case PF_A8:
        for (int i = 0; i < count; ++i, src += 1, dst += 4) {
            dst[0] = dst[1] = dst[2] = 255;
            dst[3] = src[0];
        }
        break;
    case PF_BGR888:
        for (int i = 0; i < count; ++i, src += 3, dst += 4) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            dst[3] = 255;
        }
        break;
    case PF_RGB888:
        for (int i = 0; i < count; ++i, src += 3, dst += 4) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
            dst[3] = 255;
        }
        break;
    case PF_BGRA8888:
        for (int i = 0; i < count; ++i, src += 4, dst += 4) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            dst[3] = src[3];
        }
        break;
    case PF_RGBA8888: std::memcpy(dst, src, size_t(count) * 4); break;
    default:
        assert(!"pixmap format cannot be converted");
        std::memset(dst, 0, size_t(count) * 4);
        break;
    }
}

void FromRgba(const uint8_t* src, uint8_t* dst, int format, int count) {
    switch (format) {
    case PF_I8:
        for (int i = 0; i < count; ++i, src += 4) dst[i] = uint8_t((src[0] + src[1] + src[2]) / 3);
        break;
    case PF_A8:
        for (int i = 0; i < count; ++i, src += 4) dst[i] = src[3];
        break;
    case PF_BGR888:
        for (int i = 0; i < count; ++i, src += 4, dst += 3) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
        }
        break;
    case PF_RGB888:
        for (int i = 0; i < count; ++i, src += 4, dst += 3) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
        break;
    case PF_BGRA8888:
        for (int i = 0; i < count; ++i, src += 4, dst += 4) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            dst[3] = src[3];
        }
        break;
    case PF_RGBA8888: std::memcpy(dst, src, size_t(count) * 4); break;
    default:
        assert(!"pixmap format cannot be converted");
        std::memset(dst, 0, size_t(count) * size_t(PixmapBytesPerPixel(format)));
        break;
    }
}

uint32_t RgbaToArgb(const uint8_t* rgba) {
    return uint32_t(rgba[3]) << 24 | uint32_t(rgba[0]) << 16 | uint32_t(rgba[1]) << 8 | uint32_t(rgba[2]);
}

void ArgbToRgba(uint32_t argb, uint8_t* rgba) {
    rgba[0] = uint8_t(argb >> 16);
    rgba[1] = uint8_t(argb >> 8);
    rgba[2] = uint8_t(argb);
    rgba[3] = uint8_t(argb >> 24);
}

// Source row and blend weight of one destination row (or column) of a bilinear resize.
struct ResampleTap {
    int a, b; // the two source indices blended; equal at the edges
    float f;  // weight of b
};

std::vector<ResampleTap> ResampleTaps(int src_size, int dst_size) {
    std::vector<ResampleTap> taps(static_cast<size_t>(dst_size));
    const float scale = float(src_size) / float(dst_size);
    for (int i = 0; i < dst_size; ++i) {
        // Centre of destination pixel i in source pixel coordinates, measured from source centres.
        const float s = (float(i) + 0.5f) * scale - 0.5f;
        const int s0 = int(std::floor(s));
        if (s0 < 0) {
            taps[i] = {0, 0, 0.0f};
        } else if (s0 >= src_size - 1) {
            taps[i] = {src_size - 1, src_size - 1, 0.0f};
        } else {
            taps[i] = {s0, s0 + 1, s - float(s0)};
        }
    }
    return taps;
}

} // namespace

int PixmapBytesPerPixel(int format) {
    return format >= 0 && format < PIXMAP_FORMAT_COUNT ? BYTES_PER_PIXEL[format] : 0;
}

bool PixmapFormatHasAlpha(int format) {
    return format == PF_A8 || format == PF_BGRA8888 || format == PF_RGBA8888;
}

void ConvertPixels(const uint8_t* src, int src_format, uint8_t* dst, int dst_format, int count) {
    if (count <= 0) return;
    if (src_format == dst_format) {
        // memmove: a window pasted into its own pixmap may overlap its source.
        std::memmove(dst, src, size_t(count) * size_t(PixmapBytesPerPixel(src_format)));
        return;
    }
    assert(IsConvertible(src_format) && IsConvertible(dst_format) && "pixmap format cannot be converted");
    if (src_format == PF_RGBA8888) return FromRgba(src, dst, dst_format, count);
    if (dst_format == PF_RGBA8888) return ToRgba(src, src_format, dst, count);
    uint8_t rgba[CONVERT_CHUNK_PIXELS * 4];
    const int src_bpp = PixmapBytesPerPixel(src_format);
    const int dst_bpp = PixmapBytesPerPixel(dst_format);
    while (count > 0) {
        const int n = std::min(count, CONVERT_CHUNK_PIXELS);
        ToRgba(src, src_format, rgba, n);
        FromRgba(rgba, dst, dst_format, n);
        src += size_t(n) * size_t(src_bpp);
        dst += size_t(n) * size_t(dst_bpp);
        count -= n;
    }
}

TPixmap::~TPixmap() {
    if (capacity >= 0) delete[] pixels;
}

uint8_t* TPixmap::PixelPtr(int x, int y) const {
    return pixels + ptrdiff_t(y) * pitch + ptrdiff_t(x) * PixmapBytesPerPixel(format);
}

TPixmapPtr TPixmap::Window(int x, int y, int w, int h) {
    assert(x >= 0 && y >= 0 && w >= 0 && h >= 0 && x <= width - w && y <= height - h &&
           "pixmap window outside the pixmap");
    TPixmapPtr window = CreateStatic(PixelPtr(x, y), w, h, pitch, format);
    window->_source = weak_from_this().lock();
    return window;
}

TPixmapPtr TPixmap::Copy() const {
    TPixmapPtr copy = Create(width, height, format, PIXMAP_ALIGN);
    if (!copy) return nullptr;
    const size_t row_bytes = size_t(width) * size_t(PixmapBytesPerPixel(format));
    for (int y = 0; y < height; ++y) std::memcpy(copy->PixelPtr(0, y), PixelPtr(0, y), row_bytes);
    return copy;
}

void TPixmap::Paste(const TPixmap& source, int x, int y) {
    // 64-bit so that far-away positions can neither negate nor wrap into range.
    const long long sx = std::max(0LL, -(long long)x);
    const long long sy = std::max(0LL, -(long long)y);
    const long long dx = std::max(0LL, (long long)x);
    const long long dy = std::max(0LL, (long long)y);
    const long long w = std::min(source.width - sx, width - dx);
    const long long h = std::min(source.height - sy, height - dy);
    if (w <= 0 || h <= 0) return;
    for (long long row = 0; row < h; ++row) {
        ConvertPixels(source.PixelPtr(int(sx), int(sy + row)), source.format,
                      PixelPtr(int(dx), int(dy + row)), format, int(w));
    }
}

TPixmapPtr TPixmap::Convert(int new_format) const {
    TPixmapPtr result = Create(width, height, new_format, PIXMAP_ALIGN);
    if (!result) return nullptr;
    result->Paste(*this, 0, 0);
    return result;
}

uint32_t TPixmap::ReadPixel(int x, int y) const {
    uint8_t rgba[4];
    ConvertPixels(PixelPtr(x, y), format, rgba, PF_RGBA8888, 1);
    return RgbaToArgb(rgba);
}

void TPixmap::WritePixel(int x, int y, uint32_t argb) {
    uint8_t rgba[4];
    ArgbToRgba(argb, rgba);
    ConvertPixels(rgba, PF_RGBA8888, PixelPtr(x, y), format, 1);
}

TPixmapPtr TPixmap::Create(int width, int height, int format, int align) {
    assert(width >= 0 && height >= 0 && "negative pixmap size");
    assert(format > 0 && format < PIXMAP_FORMAT_COUNT && "invalid pixmap format");
    assert(align > 0 && "pixmap row alignment must be positive");
    if (width < 0 || height < 0 || PixmapBytesPerPixel(format) == 0 || align <= 0) return nullptr;
    // 64-bit arithmetic: width * 4 + align cannot overflow it, and pitch is checked before the
    // multiplication by height, so neither product can wrap.
    const long long row_bytes = (long long)width * PixmapBytesPerPixel(format);
    const long long pitch = (row_bytes + align - 1) / align * align;
    if (pitch > INT_MAX) return nullptr;
    const long long bytes = pitch * height;
    if (bytes > INT_MAX) return nullptr;
    uint8_t* memory = new (std::nothrow) uint8_t[size_t(bytes)];
    if (!memory) return nullptr;
    auto pixmap = std::make_shared<TPixmap>();
    pixmap->pixels = memory;
    pixmap->width = width;
    pixmap->height = height;
    pixmap->pitch = int(pitch);
    pixmap->format = format;
    pixmap->capacity = int(bytes);
    return pixmap;
}

TPixmapPtr TPixmap::CreateStatic(void* pixels, int width, int height, int pitch, int format) {
    assert(format > 0 && format < PIXMAP_FORMAT_COUNT && "invalid pixmap format");
    assert(width >= 0 && height >= 0 && pitch >= width * PixmapBytesPerPixel(format) &&
           "pitch too small for pixmap width");
    auto pixmap = std::make_shared<TPixmap>();
    pixmap->pixels = static_cast<uint8_t*>(pixels);
    pixmap->width = width;
    pixmap->height = height;
    pixmap->pitch = pitch;
    pixmap->format = format;
    pixmap->capacity = -1;
    return pixmap;
}

void TPixmap::ClearPixels(uint32_t argb) {
    const int bpp = PixmapBytesPerPixel(format);
    if (argb == 0 && pitch == width * bpp) {
        std::memset(pixels, 0, size_t(pitch) * size_t(height));
        return;
    }
    uint8_t rgba[4];
    uint8_t pixel[4];
    ArgbToRgba(argb, rgba);
    ConvertPixels(rgba, PF_RGBA8888, pixel, format, 1);
    for (int y = 0; y < height; ++y) {
        uint8_t* p = PixelPtr(0, y);
        for (int x = 0; x < width; ++x, p += bpp) std::memcpy(p, pixel, size_t(bpp));
    }
}

TPixmapPtr CreatePixmap(int width, int height, int format, int align) {
    return TPixmap::Create(width, height, format, align);
}

TPixmapPtr CreateStaticPixmap(void* pixels, int width, int height, int pitch, int format) {
    return TPixmap::CreateStatic(pixels, width, height, pitch, format);
}

TPixmapPtr CopyPixmap(const TPixmapPtr& pixmap) {
    return pixmap->Copy();
}
TPixmapPtr ConvertPixmap(const TPixmapPtr& pixmap, int format) {
    return pixmap->Convert(format);
}
int PixmapWidth(const TPixmapPtr& pixmap) {
    return pixmap->width;
}
int PixmapHeight(const TPixmapPtr& pixmap) {
    return pixmap->height;
}
int PixmapPitch(const TPixmapPtr& pixmap) {
    return pixmap->pitch;
}
int PixmapFormat(const TPixmapPtr& pixmap) {
    return pixmap->format;
}
uint8_t* PixmapPixelPtr(const TPixmapPtr& pixmap, int x, int y) {
    return pixmap->PixelPtr(x, y);
}

TPixmapPtr PixmapWindow(const TPixmapPtr& pixmap, int x, int y, int width, int height) {
    return pixmap->Window(x, y, width, height);
}

TPixmapPtr MaskPixmap(const TPixmapPtr& pixmap, int r, int g, int b) {
    TPixmapPtr result = pixmap->Convert(PF_RGBA8888);
    if (!result) return nullptr;
    const int w = result->width;
    const int h = result->height;
    // Pass 1: alpha marks the mask pixels (0) and the others (255). Pass 2 reads only alpha to
    // tell them apart, so it may overwrite the colour of mask pixels in place.
    for (int y = 0; y < h; ++y) {
        uint8_t* p = result->PixelPtr(0, y);
        for (int x = 0; x < w; ++x, p += 4) p[3] = (p[0] == r && p[1] == g && p[2] == b) ? 0 : 255;
    }
    for (int y = 0; y < h; ++y) {
        uint8_t* p = result->PixelPtr(0, y);
        for (int x = 0; x < w; ++x, p += 4) {
            if (p[3] != 0) continue;
            int sum_r = 0, sum_g = 0, sum_b = 0, count = 0;
            for (int ny = std::max(0, y - 1); ny <= std::min(h - 1, y + 1); ++ny) {
                const uint8_t* q = result->PixelPtr(std::max(0, x - 1), ny);
                for (int nx = std::max(0, x - 1); nx <= std::min(w - 1, x + 1); ++nx, q += 4) {
                    if (q[3] == 0) continue;
                    sum_r += q[0];
                    sum_g += q[1];
                    sum_b += q[2];
                    ++count;
                }
            }
            if (count > 0) {
                p[0] = uint8_t(sum_r / count);
                p[1] = uint8_t(sum_g / count);
                p[2] = uint8_t(sum_b / count);
            } else {
                p[0] = p[1] = p[2] = 0;
            }
        }
    }
    return result;
}

TPixmapPtr XFlipPixmap(const TPixmapPtr& pixmap) {
    TPixmapPtr result = TPixmap::Create(pixmap->width, pixmap->height, pixmap->format, PIXMAP_ALIGN);
    if (!result) return nullptr;
    const int bpp = PixmapBytesPerPixel(pixmap->format);
    const int w = pixmap->width;
    for (int y = 0; y < pixmap->height; ++y) {
        const uint8_t* src = pixmap->PixelPtr(0, y);
        uint8_t* dst = result->PixelPtr(w - 1, y);
        for (int x = 0; x < w; ++x, src += bpp, dst -= bpp) std::memcpy(dst, src, size_t(bpp));
    }
    return result;
}

TPixmapPtr YFlipPixmap(const TPixmapPtr& pixmap) {
    TPixmapPtr result = TPixmap::Create(pixmap->width, pixmap->height, pixmap->format, PIXMAP_ALIGN);
    if (!result) return nullptr;
    const size_t row_bytes = size_t(pixmap->width) * size_t(PixmapBytesPerPixel(pixmap->format));
    const int h = pixmap->height;
    for (int y = 0; y < h; ++y)
        std::memcpy(result->PixelPtr(0, h - 1 - y), pixmap->PixelPtr(0, y), row_bytes);
    return result;
}

TPixmapPtr ResizePixmap(const TPixmapPtr& pixmap, int width, int height) {
    assert(width > 0 && height > 0 && "resize to an empty pixmap");
    if (width <= 0 || height <= 0 || pixmap->width <= 0 || pixmap->height <= 0) return nullptr;
    TPixmapPtr source = pixmap->format == PF_RGBA8888 ? pixmap : pixmap->Convert(PF_RGBA8888);
    TPixmapPtr result = TPixmap::Create(width, height, pixmap->format, PIXMAP_ALIGN);
    if (!source || !result) return nullptr;
    const std::vector<ResampleTap> rows = ResampleTaps(source->height, height);
    const std::vector<ResampleTap> cols = ResampleTaps(source->width, width);
    // Rows of other formats are blended into RGBA first and converted once finished.
    std::vector<uint8_t> rgba_row(result->format == PF_RGBA8888 ? 0 : size_t(width) * 4);
    for (int y = 0; y < height; ++y) {
        const ResampleTap& ty = rows[y];
        const uint8_t* top = source->PixelPtr(0, ty.a);
        const uint8_t* bottom = source->PixelPtr(0, ty.b);
        uint8_t* out = rgba_row.empty() ? result->PixelPtr(0, y) : rgba_row.data();
        for (int x = 0; x < width; ++x) {
            const ResampleTap& tx = cols[x];
            const uint8_t* p00 = top + tx.a * 4;
            const uint8_t* p01 = top + tx.b * 4;
            const uint8_t* p10 = bottom + tx.a * 4;
            const uint8_t* p11 = bottom + tx.b * 4;
            for (int c = 0; c < 4; ++c) {
                // Interpolated as a + (b - a) * f so that equal neighbours give exactly their value.
                const float upper = float(p00[c]) + float(p01[c] - p00[c]) * tx.f;
                const float lower = float(p10[c]) + float(p11[c] - p10[c]) * tx.f;
                out[x * 4 + c] = uint8_t(upper + (lower - upper) * ty.f);
            }
        }
        if (!rgba_row.empty())
            ConvertPixels(rgba_row.data(), PF_RGBA8888, result->PixelPtr(0, y), result->format, width);
    }
    return result;
}

uint32_t ReadPixel(const TPixmapPtr& pixmap, int x, int y) {
    return pixmap->ReadPixel(x, y);
}
void WritePixel(const TPixmapPtr& pixmap, int x, int y, uint32_t argb) {
    pixmap->WritePixel(x, y, argb);
}
void ClearPixels(const TPixmapPtr& pixmap, uint32_t argb) {
    pixmap->ClearPixels(argb);
}
