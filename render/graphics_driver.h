// The graphics back-end contract: display modes, contexts and presenting. A back-end implements
// TGraphicsDriver (the drawing back-ends extend it, see draw2d_driver.h) and is installed once at
// start-up with SetGraphicsDriver.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Graphics flags, OR-ed with the driver's default flags.
enum : int {
    GRAPHICS_BACKBUFFER = 2,
    GRAPHICS_ALPHABUFFER = 4,
    GRAPHICS_DEPTHBUFFER = 8,
    GRAPHICS_STENCILBUFFER = 16,
    GRAPHICS_ACCUMBUFFER = 32,
};

struct TGraphicsMode {
    int width = 0;
    int height = 0;
    int depth = 0; // bits per pixel
    int hertz = 0; // refresh rate, 0 = any

    // "640,480,32 60Hz"
    std::string ToString() const;
};

class TGraphicsDriver;

class TGraphics {
public:
    virtual ~TGraphics() = default;
    virtual TGraphicsDriver* Driver() = 0;
    virtual void GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) = 0;
    // Releases the context; a second Close does nothing.
    virtual void Close() = 0;
};

class TGraphicsDriver {
public:
    virtual ~TGraphicsDriver() = default;
    virtual std::vector<TGraphicsMode> GraphicsModes() = 0;
    // Null when the context cannot be made. May throw; the global functions turn that into null.
    virtual std::shared_ptr<TGraphics> AttachGraphics(intptr_t window, int flags) = 0;
    // depth 0 opens a window, any other depth full screen.
    virtual std::shared_ptr<TGraphics> CreateGraphics(int width, int height, int depth, int hertz,
                                                      int flags) = 0;
    // Makes g (one of this driver's contexts) current, or none for null.
    virtual void SetGraphics(TGraphics* g) = 0;
    // Presents the back buffer; sync 1 waits for the vertical blank where the display can, 0 does not.
    virtual void Flip(int sync) = 0;
};

// Makes `driver` current; the flags are OR-ed into every context it opens.
void SetGraphicsDriver(TGraphicsDriver* driver, int default_flags = GRAPHICS_BACKBUFFER);
