// Display-less graphics contexts: pictures in memory, a fixed mode list and a simulated vertical blank.
#include "backends/null/null_graphics.h"

#include "platform/clock.h"

#include <cassert>

TNullGraphics::TNullGraphics(int width, int height, int depth, int hertz, int flags)
    : width_(width)
    , height_(height)
    , depth_(depth)
    , hertz_(hertz)
    , flags_(flags) {
    picture_ = CreatePixmap(width, height, PF_RGBA8888);
    // A new display shows black until the first clear.
    if (picture_) picture_->ClearPixels(0xff000000u);
}

TNullGraphics::~TNullGraphics() {
    Close();
}

TGraphicsDriver* TNullGraphics::Driver() {
    return NullGraphicsDriver();
}

void TNullGraphics::GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) {
    if (!picture_) {
        width = height = depth = hertz = flags = 0;
        return;
    }
    width = width_;
    height = height_;
    depth = depth_;
    hertz = hertz_;
    flags = flags_;
}

void TNullGraphics::Close() {
    if (!picture_) return;
    picture_.reset();
    TNullGraphicsDriver* driver = NullGraphicsDriver();
    if (driver->current_ == this) driver->current_ = nullptr;
}

TNullGraphicsDriver* NullGraphicsDriver() {
    // Never destroyed: CloseOpenedGraphics runs at exit and needs it.
    static TNullGraphicsDriver* driver = new TNullGraphicsDriver;
    return driver;
}

std::vector<TGraphicsMode> TNullGraphicsDriver::GraphicsModes() {
    constexpr int kDepth = 32;
    return {{640, 480, kDepth, DISPLAY_HERTZ},
            {800, 600, kDepth, DISPLAY_HERTZ},
            {1024, 768, kDepth, DISPLAY_HERTZ},
            {1280, 720, kDepth, DISPLAY_HERTZ},
            {1920, 1080, kDepth, DISPLAY_HERTZ}};
}

std::shared_ptr<TGraphics> TNullGraphicsDriver::AttachGraphics(intptr_t, int) {
    SetGraphicsError("the display-less driver has no windows to attach to");
    return nullptr;
}

std::shared_ptr<TGraphics> TNullGraphicsDriver::CreateGraphics(int width, int height, int depth, int hertz,
                                                               int flags) {
    if (width <= 0 || height <= 0) {
        SetGraphicsError("graphics size must be positive");
        return nullptr;
    }
    auto g = std::make_shared<TNullGraphics>(width, height, depth, hertz, flags);
    if (!g->Picture()) {
        SetGraphicsError("not enough memory for a " + std::to_string(width) + " x " + std::to_string(height) +
                         " picture");
        return nullptr;
    }
    return g;
}

void TNullGraphicsDriver::SetGraphics(TGraphics* g) {
    if (!g) {
        current_ = nullptr;
        return;
    }
    auto* null_graphics = dynamic_cast<TNullGraphics*>(g);
    assert(null_graphics && "TNullGraphicsDriver::SetGraphics needs a TNullGraphics");
    current_ = null_graphics && null_graphics->Picture() ? null_graphics : nullptr;
}

void TNullGraphicsDriver::Flip(int sync) {
    if (!current_) return;
    if (sync != 0) SleepMillis(MillisToNextBlank(GetTickMillis(), DISPLAY_HERTZ));
    ++flips_;
    last_sync_ = sync;
}

int MillisToNextBlank(uint32_t now_ms, int hertz) {
    assert(hertz > 0 && "a display refreshes at least once a second");
    // Blank k falls at ceil(k * 1000 / hertz) ms; the next one is the first after now.
    const uint64_t now = now_ms;
    const uint64_t next_blank = now * static_cast<uint64_t>(hertz) / 1000u + 1u;
    const uint64_t blank_ms =
        (next_blank * 1000u + static_cast<uint64_t>(hertz) - 1u) / static_cast<uint64_t>(hertz);
    return static_cast<int>(blank_ms - now);
}
