// OpenGL contexts of either kind over SDL2: the hidden shared context, windows and full screen, swap
// interval, the offscreen picture for scaled windows, and the display-mode list.
#include "backends/gl_common/gl_window.h"

#include "backends/gl_common/video_driver_choice.h"

#include "backends/sdl/sdl_system.h"
#include "platform/system.h"

#include <SDL.h>

#include <cassert>
#include <cstdio>
#include <stdexcept>

namespace {

constexpr int kMaxModes = 1024;
constexpr int kWindowedX = 32;
constexpr int kWindowedY = 32;

bool g_video_started = false;
TGLGraphicsDriver* g_active = nullptr;

} // namespace

// One driver's contexts.
struct TGLWindowState {
    TGLContextKind* kind = nullptr;
    TGLContextRecord* shared = nullptr;
    TGLContextRecord* records = nullptr; // newest first
    TGLContextRecord* current = nullptr;
    int last_swap_interval = -1;
    bool switch_pending = false; // GLToggleFullScreen was asked since the last flip
    bool entry_points_loaded = false;
};

namespace {

std::string SDLError(const char* what) {
    return std::string(what) + ": " + SDL_GetError();
}

// Makes rec's context current (none for null) and keeps the bookkeeping true.
void MakeCurrent(TGLWindowState& gl, TGLContextRecord* rec) {
    if (rec) {
        SDL_GL_MakeCurrent(rec->window, rec->gl);
    } else {
        SDL_GL_MakeCurrent(gl.shared ? gl.shared->window : nullptr, nullptr);
    }
}

int64_t FloorDiv(int64_t a, int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}
int64_t CeilDiv(int64_t a, int64_t b) {
    return -FloorDiv(-a, b);
}

// The pointer seen by the system driver: window pixels of the current context, mapped into its picture.
class TGLPointerMap final : public TSDLPointerMap {
public:
    SDL_Window* Window() override { return GLGraphicsWindow(); }
    void WindowToPicture(int wx, int wy, int* px, int* py) override {
        TPicturePlacement place;
        int pw = 0, ph = 0;
        if (!Placement(&place, &pw, &ph)) {
            *px = wx;
            *py = wy;
            return;
        }
        ::WindowToPicture(place, pw, ph, wx, wy, px, py);
    }
    void PictureToWindow(int px, int py, int* wx, int* wy) override {
        TPicturePlacement place;
        int pw = 0, ph = 0;
        if (!Placement(&place, &pw, &ph)) {
            *wx = px;
            *wy = py;
            return;
        }
        ::PictureToWindow(place, pw, ph, px, py, wx, wy);
    }

private:
    static bool Placement(TPicturePlacement* place, int* pw, int* ph) {
        TGLGraphicsDriver* driver = ActiveGLGraphicsDriver();
        TGLContextRecord* rec = driver ? driver->CurrentRecord() : nullptr;
        if (!rec || !rec->window || !rec->fbo) return false;
        int ww = 0, wh = 0;
        SDL_GetWindowSize(rec->window, &ww, &wh);
        *pw = rec->width;
        *ph = rec->height;
        *place = FitPicture(ww, wh, rec->width, rec->height);
        return true;
    }
};

bool StartVideo() {
    if (g_video_started) return true;
    // SDL_VIDEODRIVER, when set, still chooses.
    if (!SDL_getenv("SDL_VIDEODRIVER"))
        SDL_SetHint(SDL_HINT_VIDEODRIVER,
                    VideoDriverChoice(SDL_getenv("DISPLAY"), SDL_getenv("WAYLAND_DISPLAY")).c_str());
    // The engine handles SIGINT and SIGTERM itself, on every back-end.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        SetGraphicsError(SDLError("could not start the video system"));
        return false;
    }
    g_video_started = true;
    return true;
}

void SetPixelFormat(int flags, bool double_buffer) {
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, double_buffer ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, (flags & GRAPHICS_ALPHABUFFER) ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, (flags & GRAPHICS_DEPTHBUFFER) ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, (flags & GRAPHICS_STENCILBUFFER) ? 1 : 0);
    const int accum = (flags & GRAPHICS_ACCUMBUFFER) ? 1 : 0;
    SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, accum);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, accum);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, accum);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, accum);
}

// The hidden 1x1 context every other context shares textures with, made once.
bool EnsureSharedContext(TGLWindowState& gl) {
    if (gl.shared) return true;
    if (!StartVideo()) return false;
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
    gl.kind->RequestContext();
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    // Single-buffered where the system offers it; it never presents anything.
    for (bool double_buffer : {false, true}) {
        SetPixelFormat(0, double_buffer);
        window = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (!window) continue;
        context = SDL_GL_CreateContext(window);
        if (context) break;
        SDL_DestroyWindow(window);
        window = nullptr;
    }
    if (!context) {
        SetGraphicsError(
            SDLError((std::string("could not create the shared ") + gl.kind->Name() + " context").c_str()));
        return false;
    }
    gl.shared = new TGLContextRecord;
    gl.shared->window = window;
    gl.shared->gl = context;
    if (!gl.entry_points_loaded) {
        gl.kind->LoadEntryPoints();
        gl.entry_points_loaded = true;
    }
    MakeCurrent(gl, gl.current);
    return true;
}

// Scales the offscreen picture into the window's back buffer, black around it, and shows it.
void PresentPicture(TGLContextKind& kind, TGLContextRecord* rec) {
    int ww = 0, wh = 0;
    SDL_GL_GetDrawableSize(rec->window, &ww, &wh);
    kind.PresentPicture(*rec, FitPicture(ww, wh, rec->width, rec->height), wh);
    SDL_GL_SwapWindow(rec->window);
}

// Gives a context drawn straight into its back buffer an offscreen picture holding the finished frame,
// before its window changes size.
void AdoptPictureTarget(TGLContextKind& kind, TGLContextRecord* rec) {
    if (kind.CreatePictureTarget(*rec)) {
        kind.CopyBackBufferToPicture(*rec);
    } else {
        std::fprintf(stderr, "graphics: no offscreen picture available; drawing unscaled\n");
    }
}

// The other way, once the window has the picture's size again: drawn straight into the back buffer as
// when such a window is made, so that the picture is made exactly as before the switch. The frame just
// shown is copied there first.
void ReleasePictureTarget(TGLContextKind& kind, TGLContextRecord* rec) {
    kind.CopyPictureToBackBuffer(*rec);
    kind.DeletePictureTarget(*rec);
}

// A display mode of exactly width x height to switch to, preferring the asked refresh rate.
bool FindDisplayMode(int width, int height, int hertz, SDL_DisplayMode* found) {
    bool any = false;
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
        if (mode.w != width || mode.h != height || SDL_BYTESPERPIXEL(mode.format) < 2) continue;
        if (!any || (hertz && mode.refresh_rate == hertz)) *found = mode;
        any = true;
    }
    return any;
}

// The largest whole scale up to `scale` (at least 1) at which a width x height picture fits `area`.
int LargestFittingScale(int scale, int width, int height, const SDL_Rect& area) {
    while (scale > 1 && (width * scale > area.w || height * scale > area.h)) --scale;
    return scale;
}

bool IsFullScreen(SDL_Window* window) {
    return (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0;
}

int DisplayOf(SDL_Window* window) {
    const int display = SDL_GetWindowDisplayIndex(window);
    return display < 0 ? 0 : display;
}

// The --scale window for rec's picture: the largest whole factor up to the option's that fits the
// usable desktop, or, where not even the picture's own size fits, the largest size of its aspect that
// does. Centred on the usable desktop.
SDL_Rect FittedWindow(const TGLContextRecord* rec) {
    SDL_Rect usable{0, 0, 0, 0};
    if (SDL_GetDisplayUsableBounds(DisplayOf(rec->window), &usable) != 0 || usable.w <= 0 || usable.h <= 0)
        SDL_GetDisplayBounds(DisplayOf(rec->window), &usable);
    const int scale = LargestFittingScale(GraphicsWindowScale(), rec->width, rec->height, usable);
    int w = rec->width * scale, h = rec->height * scale;
    if (w > usable.w || h > usable.h) {
        const TPicturePlacement fit = FitPicture(usable.w, usable.h, rec->width, rec->height);
        w = fit.width;
        h = fit.height;
    }
    return {usable.x + (usable.w - w) / 2, usable.y + (usable.h - h) / 2, w, h};
}

// Both return the size the window is given.
SDL_Rect EnterFullScreen(TGLContextRecord* rec) {
    SDL_Window* window = rec->window;
    SDL_GetWindowPosition(window, &rec->windowed.x, &rec->windowed.y);
    SDL_GetWindowSize(window, &rec->windowed.w, &rec->windowed.h);
    SDL_DisplayMode mode{};
    if (FindDisplayMode(rec->width, rec->height, rec->hertz, &mode) &&
        SDL_SetWindowDisplayMode(window, &mode) == 0 &&
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) == 0)
        return {0, 0, mode.w, mode.h};
    // Over the desktop first, so that the window covers the screen even where no window manager
    // resizes it.
    SDL_Rect desktop{};
    SDL_GetDisplayBounds(DisplayOf(window), &desktop);
    SDL_SetWindowPosition(window, desktop.x, desktop.y);
    SDL_SetWindowSize(window, desktop.w, desktop.h);
    SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    return desktop;
}

SDL_Rect LeaveFullScreen(TGLContextRecord* rec) {
    SDL_Window* window = rec->window;
    SDL_SetWindowFullscreen(window, 0);
    SDL_Rect place = FittedWindow(rec);
    // Back where it was, when it was a window of this size before.
    if (rec->windowed.w == place.w && rec->windowed.h == place.h) place = rec->windowed;
    SDL_SetWindowSize(window, place.w, place.h);
    SDL_SetWindowPosition(window, place.x, place.y);
    return place;
}

void SwitchWindowMode(TGLContextKind& kind, TGLContextRecord* rec) {
    const SDL_Rect place = IsFullScreen(rec->window) ? LeaveFullScreen(rec) : EnterFullScreen(rec);
    if (rec->fbo && place.w == rec->width && place.h == rec->height) ReleasePictureTarget(kind, rec);
    GraphicsPresentationChanged();
}

// The largest window scale up to `scale` at which a width x height picture fits the desktop's usable
// area (the screen less panels and docks), said in one line when it is lower. A window larger than
// the desktop would open partly off screen. Where the area is unknown, the scale stands.
int FitWindowScale(int scale, int width, int height) {
    SDL_Rect usable{};
    if (scale <= 1 || SDL_GetDisplayUsableBounds(0, &usable) != 0) return scale;
    const int fitted = LargestFittingScale(scale, width, height, usable);
    if (fitted < scale)
        std::fprintf(stderr,
                     "graphics: a window at scale %d (%d x %d) is larger than the desktop (%d x %d usable); "
                     "using scale %d\n",
                     scale, width * scale, height * scale, usable.w, usable.h, fitted);
    return fitted;
}

void DestroyRecord(TGLWindowState& gl, TGLContextRecord* rec) {
    TGLContextRecord* previous = gl.current == rec ? nullptr : gl.current;
    if (rec->fbo) {
        // Renderbuffers belong to the shared texture space and would outlive this context.
        MakeCurrent(gl, rec);
        gl.kind->DeletePictureTarget(*rec);
    }
    gl.current = previous;
    MakeCurrent(gl, previous);
    SDL_GL_DeleteContext(rec->gl);
    if (rec->kind >= 2) SDL_DestroyWindow(rec->window);
    for (TGLContextRecord** link = &gl.records; *link; link = &(*link)->next) {
        if (*link == rec) {
            *link = rec->next;
            break;
        }
    }
    delete rec;
}

} // namespace

TPicturePlacement FitPicture(int window_width, int window_height, int picture_width, int picture_height) {
    TPicturePlacement place;
    if (window_width <= 0 || window_height <= 0 || picture_width <= 0 || picture_height <= 0) return place;
    const int64_t ww = window_width, wh = window_height, pw = picture_width, ph = picture_height;
    if (ww * ph <= wh * pw) { // the width limits the scale
        place.width = window_width;
        place.height = static_cast<int>((ww * ph + pw / 2) / pw);
    } else {
        place.height = window_height;
        place.width = static_cast<int>((wh * pw + ph / 2) / ph);
    }
    place.x = (window_width - place.width) / 2;
    place.y = (window_height - place.height) / 2;
    place.integer_scale = place.width % picture_width == 0 && place.height % picture_height == 0 &&
                          place.width / picture_width == place.height / picture_height;
    return place;
}

void WindowToPicture(const TPicturePlacement& place, int picture_width, int picture_height, int wx, int wy,
                     int* px, int* py) {
    if (place.width <= 0 || place.height <= 0) {
        *px = wx;
        *py = wy;
        return;
    }
    *px = static_cast<int>(FloorDiv(int64_t{wx - place.x} * picture_width, place.width));
    *py = static_cast<int>(FloorDiv(int64_t{wy - place.y} * picture_height, place.height));
}

void PictureToWindow(const TPicturePlacement& place, int picture_width, int picture_height, int px, int py,
                     int* wx, int* wy) {
    if (picture_width <= 0 || picture_height <= 0) {
        *wx = px;
        *wy = py;
        return;
    }
    // The first window pixel inside picture pixel px: it maps back to px whenever the picture is not
    // shrunk.
    *wx = place.x + static_cast<int>(CeilDiv(int64_t{px} * place.width, picture_width));
    *wy = place.y + static_cast<int>(CeilDiv(int64_t{py} * place.height, picture_height));
}

TGraphicsDriver* TGLGraphics::Driver() {
    return driver_;
}

void TGLGraphics::GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) {
    if (!_context) {
        width = height = depth = hertz = flags = 0;
        return;
    }
    width = _context->width;
    height = _context->height;
    depth = _context->depth;
    hertz = _context->hertz;
    flags = _context->flags;
}

void TGLGraphics::Close() {
    if (!_context) return;
    auto* driver = static_cast<TGLGraphicsDriver*>(driver_);
    driver->DestroyContext(_context);
    _context = nullptr;
}

TSDLPointerMap* GLPointerMap() {
    static TGLPointerMap map;
    return &map;
}

TGLGraphicsDriver::TGLGraphicsDriver(TGLContextKind& kind)
    : kind_(kind)
    , state_(new TGLWindowState) {
    state_->kind = &kind;
}

// The drivers live for the whole program (CloseOpenedGraphics runs at exit and needs their state), so
// this runs only for a driver made by a test.
TGLGraphicsDriver::~TGLGraphicsDriver() {
    if (g_active == this) g_active = nullptr;
}

TGLContextRecord* TGLGraphicsDriver::CurrentRecord() const {
    return state_->current;
}

TGLContextRecord* TGLGraphicsDriver::SharedRecord() const {
    return state_->shared;
}

void TGLGraphicsDriver::DestroyContext(TGLContextRecord* rec) {
    DestroyRecord(*state_, rec);
}

bool TGLGraphicsDriver::ProbeContext() {
    return EnsureSharedContext(*state_);
}

TGLGraphicsDriver* ActiveGLGraphicsDriver() {
    return g_active;
}

std::vector<TGraphicsMode> TGLGraphicsDriver::GraphicsModes() {
    std::vector<TGraphicsMode> modes;
    if (!StartVideo()) return modes;
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count && static_cast<int>(modes.size()) < kMaxModes; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
        // Bytes rather than colour bits: a display of 8-bit channels in 32-bit pixels counts as 32.
        const int depth = SDL_BYTESPERPIXEL(mode.format) * 8;
        if (depth < 16) continue;
        modes.push_back(TGraphicsMode{mode.w, mode.h, depth, mode.refresh_rate});
    }
    return modes;
}

std::shared_ptr<TGraphics> TGLGraphicsDriver::AttachGraphics(intptr_t, int) {
    SetGraphicsError("attaching to a foreign window is not supported");
    return nullptr;
}

std::shared_ptr<TGraphics> TGLGraphicsDriver::CreateGraphics(int width, int height, int depth, int hertz,
                                                             int flags) {
    if (width <= 0 || height <= 0) {
        SetGraphicsError("graphics size must be positive");
        return nullptr;
    }
    TGLWindowState& gl = *state_;
    if (!EnsureSharedContext(gl)) return nullptr;

    const bool full_screen = depth != 0;
    const int scale = full_screen ? 1 : FitWindowScale(GraphicsWindowScale(), width, height);
    SDL_DisplayMode mode{};
    const bool switch_mode = full_screen && FindDisplayMode(width, height, hertz, &mode);
    SDL_Rect desktop{0, 0, width, height};
    if (full_screen && !switch_mode) SDL_GetDisplayBounds(0, &desktop);

    // The new context shares with the hidden one, which must be current while it is made.
    SDL_GL_MakeCurrent(gl.shared->window, gl.shared->gl);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
    kind_.RequestContext();
    SetPixelFormat(flags, (flags & GRAPHICS_BACKBUFFER) != 0);

    uint32_t window_flags = SDL_WINDOW_OPENGL;
    int x = kWindowedX, y = kWindowedY, w = width * scale, h = height * scale;
    if (switch_mode) {
        window_flags |= SDL_WINDOW_FULLSCREEN;
        x = y = SDL_WINDOWPOS_UNDEFINED_DISPLAY(0);
    } else if (full_screen) {
        // Made at the desktop's size and place, so that the window covers the screen even where no
        // window manager resizes it.
        window_flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
        x = desktop.x;
        y = desktop.y;
        w = desktop.w;
        h = desktop.h;
    }
    SDL_Window* window = SDL_CreateWindow(AppTitle().c_str(), x, y, w, h, window_flags);
    SDL_GLContext context = nullptr;
    if (window && switch_mode && SDL_SetWindowDisplayMode(window, &mode) != 0) {
        SetGraphicsError(SDLError("GLGraphicsDriver failed to set display mode"));
        SDL_DestroyWindow(window);
        window = nullptr;
    } else if (!window) {
        SetGraphicsError(SDLError("could not open the window"));
    }
    if (window) {
        context = SDL_GL_CreateContext(window);
        if (!context) {
            SetGraphicsError(
                SDLError((std::string("could not create the ") + kind_.Name() + " context").c_str()));
            SDL_DestroyWindow(window);
            window = nullptr;
        }
    }
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
    if (!window) {
        MakeCurrent(gl, gl.current);
        return nullptr;
    }

    auto* rec = new TGLContextRecord;
    rec->kind = full_screen ? 3 : 2;
    rec->width = width;
    rec->height = height;
    rec->depth = depth;
    rec->hertz = hertz;
    rec->flags = flags;
    rec->window = window;
    rec->gl = context;
    rec->next = gl.records;
    gl.records = rec;

    // The new context is current now (SDL makes it so). A window of another size than the picture
    // gets an offscreen picture; without framebuffer objects the picture sits in its lower-left corner.
    int drawable_w = 0, drawable_h = 0;
    SDL_GL_GetDrawableSize(window, &drawable_w, &drawable_h);
    if ((drawable_w != width || drawable_h != height) && !kind_.CreatePictureTarget(*rec))
        std::fprintf(stderr, "graphics: no offscreen picture available; drawing unscaled\n");
    SDL_ShowWindow(window);
    MakeCurrent(gl, gl.current);
    g_active = this;
    return std::make_shared<TGLGraphics>(rec, this);
}

void TGLGraphicsDriver::SetGraphics(TGraphics* g) {
    TGLWindowState& gl = *state_;
    TGLContextRecord* rec = nullptr;
    if (g) {
        auto* glg = dynamic_cast<TGLGraphics*>(g);
        assert(glg && "TGLGraphicsDriver::SetGraphics needs a TGLGraphics");
        rec = glg ? glg->_context : nullptr;
    }
    // Another driver's context may have been made current since this one's was.
    const bool was_active = g_active == this;
    if (rec) g_active = this;
    if (rec == gl.current && was_active) return;
    gl.current = rec;
    MakeCurrent(gl, rec);
    // The swap interval belongs to the context; set it again at the next flip.
    gl.last_swap_interval = -1;
}

void TGLGraphicsDriver::Flip(int sync) {
    TGLWindowState& gl = *state_;
    TGLContextRecord* rec = gl.current;
    if (!rec) return;
    const int interval = sync != 0 ? 1 : 0;
    if (interval != gl.last_swap_interval) {
        SDL_GL_SetSwapInterval(interval); // ignored where the system offers no control
        gl.last_swap_interval = interval;
    }
    const bool switching = gl.switch_pending && rec->kind >= 2;
    gl.switch_pending = false;
    // The other mode's window has another size: from this frame on the picture is drawn offscreen.
    if (switching && !rec->fbo) AdoptPictureTarget(kind_, rec);
    if (rec->fbo) {
        PresentPicture(kind_, rec);
    } else {
        SDL_GL_SwapWindow(rec->window);
    }
    if (switching) SwitchWindowMode(kind_, rec);
}

void TGLGraphicsDriver::SwapSharedContext() {
    TGLWindowState& gl = *state_;
    if (!gl.shared) return;
    if (SDL_GL_GetCurrentContext() != gl.shared->gl) {
        SDL_GL_MakeCurrent(gl.shared->window, gl.shared->gl);
    } else {
        MakeCurrent(gl, gl.current);
    }
}

void TGLGraphicsDriver::ToggleFullScreen() {
    state_->switch_pending = true;
}

void GLBindRenderTarget() {
    TGLGraphicsDriver* driver = ActiveGLGraphicsDriver();
    TGLContextRecord* rec = driver ? driver->CurrentRecord() : nullptr;
    if (rec) driver->Kind().BindFramebuffer(rec->fbo);
}

void GLToggleFullScreen() {
    if (TGLGraphicsDriver* driver = ActiveGLGraphicsDriver()) driver->ToggleFullScreen();
}

SDL_Window* GLGraphicsWindow() {
    TGLGraphicsDriver* driver = ActiveGLGraphicsDriver();
    TGLContextRecord* rec = driver ? driver->CurrentRecord() : nullptr;
    return rec && rec->kind >= 2 ? rec->window : nullptr;
}
