// The current graphics driver and context, OpenGraphics, and Flip with its frame pacer.
#include "render/graphics.h"

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/polled_input.h"
#include "platform/system.h"

#include <cassert>
#include <cstdlib>
#include <exception>

namespace {

struct TGraphicsState {
    TGraphicsDriver* driver = nullptr;
    int default_flags = 0;
    std::vector<TGraphicsMode> modes; // cache, empty until first asked

    std::shared_ptr<TGraphics> current;
    int width = 0, height = 0, depth = 0, hertz = 0, flags = 0;

    std::shared_ptr<TGraphics> opened;
    bool soft_sync = true;
    TFramePacer pacer;
    uint32_t probe_ms = 0;

    int seq = 1;
    bool exit_handler_registered = false;
    std::string error;

    bool windowed = false;
    int window_scale = 1;
    bool unpaced = false;
    int64_t paced_flips = 0;
};

TGraphicsState& State() {
    static TGraphicsState state;
    return state;
}

void ClearSettings(TGraphicsState& s) {
    s.width = s.height = s.depth = s.hertz = s.flags = 0;
}

void RaiseSeq(TGraphicsState& s) {
    ++s.seq;
    if (s.seq == 0) s.seq = 1;
}

// How long the vertical-blank probe may take at start-up.
constexpr uint32_t kProbeMs = 1000;

} // namespace

std::string TGraphicsMode::ToString() const {
    return std::to_string(width) + "," + std::to_string(height) + "," + std::to_string(depth) + " " +
           std::to_string(hertz) + "Hz";
}

void TFramePacer::Start(int hertz, uint32_t now_ms) {
    sync_hertz = hertz;
    rate = hertz ? 1000 / hertz : 0;
    fraction = hertz ? 1000 - rate * hertz : 0;
    accumulator = 0;
    next_frame_ms = now_ms;
}

int TFramePacer::FrameWait(uint32_t now_ms) {
    next_frame_ms += static_cast<uint32_t>(rate);
    accumulator += fraction;
    if (sync_hertz > 0 && accumulator >= sync_hertz) {
        accumulator -= sync_hertz;
        next_frame_ms += 1;
    }
    const int32_t wait = static_cast<int32_t>(next_frame_ms - now_ms);
    if (wait > 0) return wait;
    next_frame_ms -= static_cast<uint32_t>(wait);
    return 0;
}

bool TVerticalBlankProbe::Sample(uint32_t elapsed_ms, int hertz) {
    const int error_ms = static_cast<int>(elapsed_ms) - 1000 / hertz;
    if (error_ms >= -1 && error_ms <= 1) return ++hits_ >= 3;
    hits_ = 0;
    return false;
}

void SetGraphicsDriver(TGraphicsDriver* driver, int default_flags) {
    TGraphicsState& s = State();
    if (driver != s.driver) {
        if (s.driver && s.current) s.driver->SetGraphics(nullptr);
        s.modes.clear();
        s.driver = driver;
    }
    s.default_flags = default_flags;
    s.current = nullptr;
    ClearSettings(s);
}

TGraphicsDriver* GetGraphicsDriver() {
    return State().driver;
}
int DefaultGraphicsFlags() {
    return State().default_flags;
}

std::vector<TGraphicsMode> GetGraphicsModes() {
    TGraphicsState& s = State();
    if (s.modes.empty() && s.driver) s.modes = s.driver->GraphicsModes();
    return s.modes;
}

int CountGraphicsModes() {
    return static_cast<int>(GetGraphicsModes().size());
}

void GetGraphicsMode(int index, int& width, int& height, int& depth, int& hertz) {
    const std::vector<TGraphicsMode> modes = GetGraphicsModes();
    assert(index >= 0 && index < static_cast<int>(modes.size()) && "graphics mode index out of range");
    const TGraphicsMode& mode = modes[index];
    width = mode.width;
    height = mode.height;
    depth = mode.depth;
    hertz = mode.hertz;
}

int GraphicsModeExists(int width, int height, int depth, int hertz) {
    for (const TGraphicsMode& mode : GetGraphicsModes()) {
        if (width && mode.width != width) continue;
        if (height && mode.height != height) continue;
        if (depth && mode.depth != depth) continue;
        if (hertz && mode.hertz != hertz) continue;
        return 1;
    }
    return 0;
}

std::shared_ptr<TGraphics> CreateGraphics(int width, int height, int depth, int hertz, int flags) {
    TGraphicsState& s = State();
    if (!s.driver) {
        s.error = "no graphics driver";
        return nullptr;
    }
    try {
        std::shared_ptr<TGraphics> g =
            s.driver->CreateGraphics(width, height, depth, hertz, flags | s.default_flags);
        if (g) s.error.clear();
        return g;
    } catch (const std::exception& e) {
        s.error = e.what();
        return nullptr;
    }
}

std::shared_ptr<TGraphics> AttachGraphics(intptr_t window, int flags) {
    TGraphicsState& s = State();
    if (!s.driver) {
        s.error = "no graphics driver";
        return nullptr;
    }
    try {
        std::shared_ptr<TGraphics> g = s.driver->AttachGraphics(window, flags | s.default_flags);
        if (g) s.error.clear();
        return g;
    } catch (const std::exception& e) {
        s.error = e.what();
        return nullptr;
    }
}

void CloseGraphics(const std::shared_ptr<TGraphics>& g) {
    if (!g) return;
    TGraphicsState& s = State();
    // g may be a reference to one of the fields cleared below, so it is copied first.
    std::shared_ptr<TGraphics> keep = g; // NOLINT(performance-unnecessary-copy-initialization)
    if (keep == s.opened) s.opened = nullptr;
    if (keep == s.current) SetGraphics(nullptr);
    keep->Close();
}

void SetGraphics(const std::shared_ptr<TGraphics>& g) {
    TGraphicsState& s = State();
    if (!g) {
        if (s.driver && s.current) s.driver->SetGraphics(nullptr);
        s.current = nullptr;
        ClearSettings(s);
        return;
    }
    TGraphicsDriver* driver = g->Driver();
    if (driver != s.driver) {
        if (s.driver && s.current) s.driver->SetGraphics(nullptr);
        s.modes.clear();
        s.driver = driver;
    }
    g->GetSettings(s.width, s.height, s.depth, s.hertz, s.flags);
    driver->SetGraphics(g.get());
    s.current = g;
}

std::shared_ptr<TGraphics> CurrentGraphics() {
    return State().current;
}

int GraphicsWidth() {
    return State().width;
}
int GraphicsHeight() {
    return State().height;
}
int GraphicsDepth() {
    return State().depth;
}
int GraphicsHertz() {
    return State().hertz;
}
int GraphicsFlags() {
    return State().flags;
}

void Flip(int sync) {
    CallHooks(FlipHookId(), nullptr);
    TGraphicsState& s = State();
    if (!s.driver) return;
    if (sync != -1) {
        s.driver->Flip(sync);
        return;
    }
    ++s.paced_flips;
    if (s.unpaced) {
        s.driver->Flip(0);
        return;
    }
    if (s.current != s.opened || !s.soft_sync) {
        s.driver->Flip(s.depth != 0 ? 1 : 0);
        return;
    }
    const int wait_ms = s.pacer.FrameWait(GetTickMillis());
    if (wait_ms > 0) SleepMillis(wait_ms);
    s.driver->Flip(0);
}

int64_t PacedFlipCount() {
    return State().paced_flips;
}

void GraphicsPresentationChanged() {
    TGraphicsState& s = State();
    if (!s.opened || s.soft_sync || s.pacer.sync_hertz == 0) return;
    s.soft_sync = true;
    s.pacer.Start(s.pacer.sync_hertz, GetTickMillis());
}

std::shared_ptr<TGraphics> OpenGraphics(int width, int height, int depth, int hertz, int flags) {
    TGraphicsState& s = State();
    CloseOpenedGraphics();
    // The windowed option turns the game's full-screen request into a window of the same picture.
    const int asked_depth = s.windowed ? 0 : depth;
    std::shared_ptr<TGraphics> g = CreateGraphics(width, height, asked_depth, hertz, flags);
    if (!g) return nullptr;

    RaiseSeq(s);
    SetGraphics(g);

    s.soft_sync = true;
    s.probe_ms = 0;
    if (hertz == 0) {
        s.soft_sync = false;
    } else if (asked_depth != 0 && !s.unpaced) {
        TVerticalBlankProbe probe;
        const uint32_t probe_start = GetTickMillis();
        while (GetTickMillis() - probe_start < kProbeMs) {
            const uint32_t t0 = GetTickMillis();
            s.driver->Flip(1);
            if (probe.Sample(GetTickMillis() - t0, hertz)) {
                s.soft_sync = false;
                break;
            }
        }
        s.probe_ms = GetTickMillis() - probe_start;
    }
    s.pacer.Start(hertz, GetTickMillis());

    s.opened = g;
    // Polled input first, so the pointer table sees the centring move (a window system would deliver
    // that move as a message after this call returns).
    EnablePolledInput(nullptr);
    if (asked_depth != 0) SetMousePosition(width / 2, height / 2);
    if (!s.exit_handler_registered) {
        s.exit_handler_registered = true;
        std::atexit(CloseOpenedGraphics);
    }
    return g;
}

void CloseOpenedGraphics() {
    TGraphicsState& s = State();
    if (!s.opened) return;
    RaiseSeq(s);
    DisablePolledInput();
    CloseGraphics(s.opened);
}

uint32_t GraphicsProbeMillis() {
    return State().probe_ms;
}

int GraphicsSeq() {
    return State().seq;
}

int FlipHookId() {
    static const int id = NewHookId();
    return id;
}

const std::string& GraphicsError() {
    return State().error;
}
void SetGraphicsError(const std::string& error) {
    State().error = error;
}

void SetGraphicsWindowed(bool windowed, int scale) {
    assert(scale >= 1 && "window scale must be at least 1");
    State().windowed = windowed;
    State().window_scale = scale;
}

bool GraphicsWindowed() {
    return State().windowed;
}
int GraphicsWindowScale() {
    return State().window_scale;
}

void SetFlipUnpaced(bool unpaced) {
    State().unpaced = unpaced;
}
bool FlipUnpaced() {
    return State().unpaced;
}
