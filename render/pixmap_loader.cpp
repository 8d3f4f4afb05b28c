// The pixmap loader chain and LoadPixmap, which offers one stream to every loader in turn.
#include "render/pixmap_loader.h"

#include "platform/stream.h"
#include "render/png_loader.h"

namespace {

TPixmapLoader* loader_head = nullptr;

// The stream position is remembered once so that each loader starts from the same byte, whatever
// the loaders before it consumed.
TPixmapPtr LoadFromStream(const std::shared_ptr<TStream>& stream) {
    if (!stream) return nullptr;
    const int start = stream->Pos();
    if (start < 0) {
        stream->Close();
        return nullptr;
    }
    TPixmapPtr pixmap;
    for (TPixmapLoader* loader = loader_head; loader && !pixmap; loader = loader->_succ) {
        try {
            stream->Seek(start);
            pixmap = loader->LoadPixmap(*stream);
        } catch (const TStreamException&) {
            pixmap = nullptr;
        }
    }
    stream->Close();
    return pixmap;
}

} // namespace

TPixmapLoader::TPixmapLoader()
    : _succ(loader_head) {
    loader_head = this;
}

TPixmapLoader::~TPixmapLoader() {
    for (TPixmapLoader** link = &loader_head; *link; link = &(*link)->_succ) {
        if (*link == this) {
            *link = _succ;
            break;
        }
    }
}

TPixmapLoader* PixmapLoaders() {
    return loader_head;
}

void InitPixmapLoaders() {
    static bool done = false;
    if (done) return;
    done = true;
    // Registered oldest first: the engine's other loaders (BMP, JPEG before PNG; TGA after it)
    // would take their places around this call.
    RegisterPixmapLoaderPNG();
}

TPixmapPtr LoadPixmap(const std::string& url) {
    return LoadFromStream(OpenStream(url, 1, 0));
}

TPixmapPtr LoadPixmap(const std::shared_ptr<TStream>& stream) {
    return LoadFromStream(OpenStream(stream, 1, 0));
}
