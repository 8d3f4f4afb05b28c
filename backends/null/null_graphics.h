// The display-less graphics driver: every context is a picture in memory, presented to no one.
#pragma once

#include "render/graphics.h"
#include "render/pixmap.h"

// One context: a format-6 picture of the context's size, top row first. The picture is the back
// buffer; a flip leaves it as it is, like a swap that copies.
class TNullGraphics : public TGraphics {
public:
    TNullGraphics(int width, int height, int depth, int hertz, int flags);
    ~TNullGraphics() override;
    TNullGraphics(const TNullGraphics&) = delete;
    TNullGraphics& operator=(const TNullGraphics&) = delete;

    TGraphicsDriver* Driver() override;
    void GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) override;
    // Drops the picture; a second Close does nothing.
    void Close() override;

    // Null after Close.
    const TPixmapPtr& Picture() const { return picture_; }

private:
    TPixmapPtr picture_;
    int width_, height_, depth_, hertz_, flags_;
};

// Stands for a display that keeps a steady vertical blank of DISPLAY_HERTZ: Flip with sync waits for
// the next blank, so the start-up probe of OpenGraphics finds vertical-blank sync and Flip(-1) runs at
// that rate; Flip(0) returns at once. There are no windows to attach to.
class TNullGraphicsDriver : public TGraphicsDriver {
public:
    static constexpr int DISPLAY_HERTZ = 60;

    // A few common full-screen modes, all at DISPLAY_HERTZ.
    std::vector<TGraphicsMode> GraphicsModes() override;
    // Always null: there are no windows.
    std::shared_ptr<TGraphics> AttachGraphics(intptr_t window, int flags) override;
    // A picture of width x height; null (with GraphicsError() set) for a size that is not positive or
    // does not fit in memory. depth and hertz are only kept for GetSettings.
    std::shared_ptr<TGraphics> CreateGraphics(int width, int height, int depth, int hertz,
                                              int flags) override;
    // g must be a TNullGraphics or null (none current).
    void SetGraphics(TGraphics* g) override;
    // sync != 0 sleeps until the next vertical blank: the next whole multiple of 1000 / DISPLAY_HERTZ
    // milliseconds of the millisecond clock. Nothing happens without a current context.
    void Flip(int sync) override;

    // The current context, or null.
    TNullGraphics* Current() const { return current_; }
    // Flips presented since the driver was made (any sync), for tests and counters.
    uint64_t FlipCount() const { return flips_; }
    // The sync of the last flip presented (-1 before the first), for tests.
    int LastFlipSync() const { return last_sync_; }

private:
    friend class TNullGraphics;
    TNullGraphics* current_ = nullptr;
    uint64_t flips_ = 0;
    int last_sync_ = -1;
};

// The one display-less graphics driver, made on first use.
TNullGraphicsDriver* NullGraphicsDriver();

// Milliseconds from now_ms to the next vertical blank of a display refreshing `hertz` times a second
// whose blanks fall on the multiples of 1000 / hertz ms of the clock: 1 .. ceil(1000 / hertz).
int MillisToNextBlank(uint32_t now_ms, int hertz);
