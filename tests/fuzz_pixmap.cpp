// libFuzzer entry point for the pixmap loader chain: any bytes must give a pixmap or null, never a crash.
#include "platform/stream.h"
#include "render/pixmap.h"
#include "render/pixmap_loader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InitPixmapLoaders();
    std::vector<uint8_t> bytes(data, data + size);
    std::shared_ptr<TStream> stream = TRamStream::Create(bytes.data(), int(bytes.size()), 1, 0);
    TPixmapPtr pixmap = LoadPixmap(stream);
    if (!pixmap) return 0;
    // Every pixel of the result is read, so the sanitizers see a pixmap smaller than it claims.
    if (pixmap->width <= 0 || pixmap->height <= 0 ||
        pixmap->pitch < pixmap->width * PixmapBytesPerPixel(pixmap->format))
        std::abort();
    unsigned sum = 0;
    for (int y = 0; y < pixmap->height; ++y)
        for (int x = 0; x < pixmap->width; ++x) sum += pixmap->ReadPixel(x, y);
    volatile unsigned sink = sum;
    (void)sink;
    return 0;
}
