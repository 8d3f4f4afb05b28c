// TPixmap: the CPU-side pixel buffer behind image frames, glyphs, back-buffer grabs and collision masks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class TPixmap;
class TStream;
using TPixmapPtr = std::shared_ptr<TPixmap>;

// Pixel formats. Byte order in memory is given by the name; format 6 is the hub of every conversion
// and the layout of every texture upload. Formats 7..12 are one-byte single-channel formats that
// only the format tables know; nothing here creates or converts them. Format 0 is never valid.
enum PixmapFormat : int {
    PF_I8 = 1,       // intensity (grey)
    PF_A8 = 2,       // alpha
    PF_BGR888 = 3,   // B, G, R
    PF_RGB888 = 4,   // R, G, B
    PF_BGRA8888 = 5, // B, G, R, A
    PF_RGBA8888 = 6, // R, G, B, A
};
constexpr int PIXMAP_FORMAT_COUNT = 13;

// Bytes per pixel of a format; 0 for format 0 and for values outside the table.
int PixmapBytesPerPixel(int format);
// Formats 2, 5 and 6 carry an alpha channel.
bool PixmapFormatHasAlpha(int format);

// Converts a run of `count` pixels. Equal formats are copied byte for byte; any other pair goes
// through RGBA (directly when either side is format 6). Source and destination must not overlap.
void ConvertPixels(const uint8_t* src, int src_format, uint8_t* dst, int dst_format, int count);

// Colours passed to ReadPixel, WritePixel and ClearPixels are 32-bit ARGB: alpha in bits 24..31,
// red 16..23, green 8..15, blue 0..7.
class TPixmap : public std::enable_shared_from_this<TPixmap> {
public:
    uint8_t* pixels = nullptr; // first byte of row 0, the top row
    int width = 0;
    int height = 0;
    int pitch = 0; // bytes from one row to the next, at least width * bytes per pixel
    int format = 0;
    int capacity = -1; // bytes owned by this pixmap; -1 when the memory belongs to someone else
    std::shared_ptr<const void> _source; // what a window keeps alive; empty otherwise

    TPixmap() = default;
    TPixmap(const TPixmap&) = delete;
    TPixmap& operator=(const TPixmap&) = delete;
    ~TPixmap();

    // No bounds check: callers keep x, y inside the pixmap.
    uint8_t* PixelPtr(int x, int y) const;
    // A static pixmap over the rectangle sharing this pixmap's memory; it keeps this pixmap alive.
    // Pixmaps not held by a shared pointer cannot be kept alive and must outlive their windows.
    TPixmapPtr Window(int x, int y, int w, int h);
    TPixmapPtr Copy() const;
    // Converts each source row into this pixmap at (x, y + row). The part of the source that
    // falls outside this pixmap is left out.
    void Paste(const TPixmap& source, int x, int y);
    TPixmapPtr Convert(int new_format) const;
    uint32_t ReadPixel(int x, int y) const;
    void WritePixel(int x, int y, uint32_t argb);
    // pitch = align * ceil(width * bytes per pixel / align); contents undefined. Null when the
    // size does not fit the int fields or the memory cannot be had.
    static TPixmapPtr Create(int width, int height, int format, int align);
    static TPixmapPtr CreateStatic(void* pixels, int width, int height, int pitch, int format);
    void ClearPixels(uint32_t argb);
};

// Row alignment of every pixmap this module creates.
constexpr int PIXMAP_ALIGN = 4;

TPixmapPtr CreatePixmap(int width, int height, int format, int align = PIXMAP_ALIGN);
TPixmapPtr CreateStaticPixmap(void* pixels, int width, int height, int pitch, int format);
TPixmapPtr CopyPixmap(const TPixmapPtr& pixmap);
TPixmapPtr ConvertPixmap(const TPixmapPtr& pixmap, int format);
int PixmapWidth(const TPixmapPtr& pixmap);
int PixmapHeight(const TPixmapPtr& pixmap);
int PixmapPitch(const TPixmapPtr& pixmap);
int PixmapFormat(const TPixmapPtr& pixmap);
uint8_t* PixmapPixelPtr(const TPixmapPtr& pixmap, int x = 0, int y = 0);
TPixmapPtr PixmapWindow(const TPixmapPtr& pixmap, int x, int y, int width, int height);

// A new format-6 pixmap in which the pixels of colour (r, g, b) are transparent and carry the
// average colour of their unmasked 3 x 3 neighbours, so filtering at sprite edges blends towards
// the sprite; every other pixel is opaque.
TPixmapPtr MaskPixmap(const TPixmapPtr& pixmap, int r, int g, int b);
TPixmapPtr XFlipPixmap(const TPixmapPtr& pixmap);
TPixmapPtr YFlipPixmap(const TPixmapPtr& pixmap);
// Bilinear resampling to width x height; the result keeps the source's format.
TPixmapPtr ResizePixmap(const TPixmapPtr& pixmap, int width, int height);

// Opens the location (a path or a "protocol::path" stream name) and asks each pixmap loader in
// turn; null when nothing can be opened or no loader recognises the data.
TPixmapPtr LoadPixmap(const std::string& url);
// Loads from an open stream, which stays open.
TPixmapPtr LoadPixmap(const std::shared_ptr<TStream>& stream);

uint32_t ReadPixel(const TPixmapPtr& pixmap, int x, int y);
void WritePixel(const TPixmapPtr& pixmap, int x, int y, uint32_t argb);
void ClearPixels(const TPixmapPtr& pixmap, uint32_t argb);
