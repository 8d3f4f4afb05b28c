// The pixmap loader chain: each loader recognises its own file format in a stream.
#pragma once

#include "render/pixmap.h"

class TStream;

// One link of the chain. Constructing a loader puts it at the head, so the loader registered last
// is tried first; destroying it unlinks it.
class TPixmapLoader {
public:
    TPixmapLoader();
    virtual ~TPixmapLoader();
    TPixmapLoader(const TPixmapLoader&) = delete;
    TPixmapLoader& operator=(const TPixmapLoader&) = delete;

    // Reads from the stream's current position; null when the data is not this loader's format or
    // cannot be decoded. Never closes the stream. A stream exception counts as a refusal.
    virtual TPixmapPtr LoadPixmap(TStream& stream) = 0;

    TPixmapLoader* _succ = nullptr;
};

// The newest loader; follow _succ for the older ones.
TPixmapLoader* PixmapLoaders();

// The engine's start-up step for pixmap loading: registers the built-in loaders once, in their
// fixed order. Later calls do nothing.
void InitPixmapLoaders();
