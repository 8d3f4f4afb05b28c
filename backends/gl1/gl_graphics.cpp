// OpenGL contexts over SDL2: the hidden shared context, windows and full screen, swap interval, the
// offscreen picture for scaled windows, and the display-mode list.
#include "backends/gl1/gl_graphics.h"

#include "backends/sdl/sdl_system.h"
#include "platform/system.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <cassert>
#include <cstdio>
#include <stdexcept>

// One context: the hidden shared one (kind 0), one on a caller's window (1), an own window (2), an own
// full-screen window (3). Width and height are the picture's; fbo is 0 when the picture is the back
// buffer itself.
struct TGLContextRecord {
    TGLContextRecord* next = nullptr;
    int kind = 0;
    int width = 0;
    int height = 0;
    int depth = 0;
    int hertz = 0;
    int flags = 0;
    SDL_Window* window = nullptr;
    SDL_GLContext gl = nullptr;
    GLuint fbo = 0;
    GLuint color_rb = 0;
    GLuint depth_rb = 0;
    SDL_Rect windowed{}; // where the window was before it last went full screen; w 0 until it did
};

namespace {

constexpr int kMaxModes = 1024;
constexpr int kWindowedX = 32;
constexpr int kWindowedY = 32;

// Framebuffer-object entry points, looked up once a context exists (core names, else the extension's).
struct TFramebufferApi {
    PFNGLGENFRAMEBUFFERSPROC GenFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC BindFramebuffer = nullptr;
    PFNGLGENRENDERBUFFERSPROC GenRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC DeleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC BindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC RenderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC FramebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus = nullptr;
    PFNGLBLITFRAMEBUFFERPROC BlitFramebuffer = nullptr;
    bool loaded = false;

    bool Complete() const {
        return GenFramebuffers && DeleteFramebuffers && BindFramebuffer && GenRenderbuffers &&
               DeleteRenderbuffers && BindRenderbuffer && RenderbufferStorage && FramebufferRenderbuffer &&
               CheckFramebufferStatus && BlitFramebuffer;
    }
};

template <typename F> void LoadEntry(F& entry, const char* core, const char* extension) {
    entry = reinterpret_cast<F>(SDL_GL_GetProcAddress(core));
    if (!entry) entry = reinterpret_cast<F>(SDL_GL_GetProcAddress(extension));
}

struct TGLState {
    bool video_started = false;
    TGLContextRecord* shared = nullptr;
    TGLContextRecord* records = nullptr; // newest first
    TGLContextRecord* current = nullptr;
    int last_swap_interval = -1;
    bool switch_pending = false; // GLToggleFullScreen was asked since the last flip
    TFramebufferApi fb;
};

TGLState& GL() {
    // Never destroyed: CloseOpenedGraphics runs at exit and needs it.
    static TGLState* state = new TGLState;
    return *state;
}

void LoadFramebufferApi() {
    TFramebufferApi& fb = GL().fb;
    if (fb.loaded) return;
    fb.loaded = true;
    LoadEntry(fb.GenFramebuffers, "glGenFramebuffers", "glGenFramebuffersEXT");
    LoadEntry(fb.DeleteFramebuffers, "glDeleteFramebuffers", "glDeleteFramebuffersEXT");
    LoadEntry(fb.BindFramebuffer, "glBindFramebuffer", "glBindFramebufferEXT");
    LoadEntry(fb.GenRenderbuffers, "glGenRenderbuffers", "glGenRenderbuffersEXT");
    LoadEntry(fb.DeleteRenderbuffers, "glDeleteRenderbuffers", "glDeleteRenderbuffersEXT");
    LoadEntry(fb.BindRenderbuffer, "glBindRenderbuffer", "glBindRenderbufferEXT");
    LoadEntry(fb.RenderbufferStorage, "glRenderbufferStorage", "glRenderbufferStorageEXT");
    LoadEntry(fb.FramebufferRenderbuffer, "glFramebufferRenderbuffer", "glFramebufferRenderbufferEXT");
    LoadEntry(fb.CheckFramebufferStatus, "glCheckFramebufferStatus", "glCheckFramebufferStatusEXT");
    LoadEntry(fb.BlitFramebuffer, "glBlitFramebuffer", "glBlitFramebufferEXT");
}

std::string SDLError(const char* what) {
    return std::string(what) + ": " + SDL_GetError();
}

// Makes rec's context current (none for null) and keeps the bookkeeping true.
void MakeCurrent(TGLContextRecord* rec) {
    TGLState& gl = GL();
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
        TGLContextRecord* rec = GL().current;
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
    TGLState& gl = GL();
    if (gl.video_started) return true;
    // Only drivers that show a picture to a player: left to itself, SDL falls back to its offscreen
    // driver when no display answers, and the game would run invisibly instead of saying so. Wayland
    // is tried only where a compositor is announced, so that its failure does not print a line.
    // SDL_VIDEODRIVER, when set, still chooses.
    if (!SDL_getenv("SDL_VIDEODRIVER"))
        SDL_SetHint(SDL_HINT_VIDEODRIVER,
                    SDL_getenv("WAYLAND_DISPLAY") ? "wayland,x11,KMSDRM" : "x11,KMSDRM");
    // The engine handles SIGINT and SIGTERM itself, on every back-end.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        SetGraphicsError(SDLError("could not start the video system"));
        return false;
    }
    gl.video_started = true;
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
bool EnsureSharedContext() {
    TGLState& gl = GL();
    if (gl.shared) return true;
    if (!StartVideo()) return false;
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
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
        SetGraphicsError(SDLError("could not create the shared OpenGL context"));
        return false;
    }
    gl.shared = new TGLContextRecord;
    gl.shared->window = window;
    gl.shared->gl = context;
    LoadFramebufferApi();
    MakeCurrent(gl.current);
    return true;
}

// Drops rec's offscreen picture (its context must be current); the back buffer is bound after it.
void DeletePictureTarget(TGLContextRecord* rec) {
    const TFramebufferApi& fb = GL().fb;
    fb.BindFramebuffer(GL_FRAMEBUFFER, 0);
    fb.DeleteFramebuffers(1, &rec->fbo);
    fb.DeleteRenderbuffers(1, &rec->color_rb);
    if (rec->depth_rb) fb.DeleteRenderbuffers(1, &rec->depth_rb);
    rec->fbo = rec->color_rb = rec->depth_rb = 0;
}

// Gives rec an offscreen picture of its own size, bound as its framebuffer. False when the system
// has no framebuffer objects or refuses this one.
bool CreatePictureTarget(TGLContextRecord* rec) {
    const TFramebufferApi& fb = GL().fb;
    if (!fb.Complete()) return false;
    fb.GenFramebuffers(1, &rec->fbo);
    fb.BindFramebuffer(GL_FRAMEBUFFER, rec->fbo);
    fb.GenRenderbuffers(1, &rec->color_rb);
    fb.BindRenderbuffer(GL_RENDERBUFFER, rec->color_rb);
    fb.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, rec->width, rec->height);
    fb.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rec->color_rb);
    if (rec->flags & (GRAPHICS_DEPTHBUFFER | GRAPHICS_STENCILBUFFER)) {
        fb.GenRenderbuffers(1, &rec->depth_rb);
        fb.BindRenderbuffer(GL_RENDERBUFFER, rec->depth_rb);
        fb.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, rec->width, rec->height);
        fb.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, rec->depth_rb);
        fb.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, rec->depth_rb);
    }
    fb.BindRenderbuffer(GL_RENDERBUFFER, 0);
    if (fb.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        DeletePictureTarget(rec);
        return false;
    }
    glViewport(0, 0, rec->width, rec->height);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    return true;
}

// While it lives, whole-picture copies and clears are free of the drawing layer's scissor and colour
// mask; it puts those and the clear colour back as they were, so the drawing layer's cached state stays
// true.
class TPictureCopyState {
public:
    TPictureCopyState() {
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear_color_);
        glGetBooleanv(GL_COLOR_WRITEMASK, color_mask_);
        scissor_ = glIsEnabled(GL_SCISSOR_TEST);
        glDisable(GL_SCISSOR_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    }
    ~TPictureCopyState() {
        glClearColor(clear_color_[0], clear_color_[1], clear_color_[2], clear_color_[3]);
        glColorMask(color_mask_[0], color_mask_[1], color_mask_[2], color_mask_[3]);
        if (scissor_) glEnable(GL_SCISSOR_TEST);
    }
    TPictureCopyState(const TPictureCopyState&) = delete;
    TPictureCopyState& operator=(const TPictureCopyState&) = delete;

private:
    GLfloat clear_color_[4];
    GLboolean color_mask_[4];
    GLboolean scissor_;
};

// Scales the offscreen picture into the window's back buffer, black around it.
void PresentPicture(TGLContextRecord* rec) {
    const TFramebufferApi& fb = GL().fb;
    int ww = 0, wh = 0;
    SDL_GL_GetDrawableSize(rec->window, &ww, &wh);
    const TPicturePlacement place = FitPicture(ww, wh, rec->width, rec->height);

    TPictureCopyState copying;
    fb.BindFramebuffer(GL_READ_FRAMEBUFFER, rec->fbo);
    fb.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    // GL rows count upward from the bottom of the window.
    const int bottom = wh - (place.y + place.height);
    fb.BlitFramebuffer(0, 0, rec->width, rec->height, place.x, bottom, place.x + place.width,
                       bottom + place.height, GL_COLOR_BUFFER_BIT,
                       place.integer_scale ? GL_NEAREST : GL_LINEAR);
    SDL_GL_SwapWindow(rec->window);
    fb.BindFramebuffer(GL_FRAMEBUFFER, rec->fbo);
}

// Copies the whole picture between the back buffer (framebuffer 0) and the offscreen picture.
void CopyPicture(const TGLContextRecord* rec, GLuint from, GLuint to) {
    const TFramebufferApi& fb = GL().fb;
    fb.BindFramebuffer(GL_READ_FRAMEBUFFER, from);
    fb.BindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
    fb.BlitFramebuffer(0, 0, rec->width, rec->height, 0, 0, rec->width, rec->height, GL_COLOR_BUFFER_BIT,
                       GL_NEAREST);
    fb.BindFramebuffer(GL_FRAMEBUFFER, to);
}

// Gives a context drawn straight into its back buffer an offscreen picture holding the finished frame,
// before its window changes size.
void AdoptPictureTarget(TGLContextRecord* rec) {
    TPictureCopyState copying;
    if (CreatePictureTarget(rec)) {
        CopyPicture(rec, 0, rec->fbo);
    } else {
        std::fprintf(stderr, "graphics: no offscreen picture available; drawing unscaled\n");
    }
}

// The other way, once the window has the picture's size again: drawn straight into the back buffer as
// when such a window is made, so that the picture is made exactly as before the switch. The frame just
// shown is copied there first.
void ReleasePictureTarget(TGLContextRecord* rec) {
    TPictureCopyState copying;
    CopyPicture(rec, rec->fbo, 0);
    DeletePictureTarget(rec);
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

void SwitchWindowMode(TGLContextRecord* rec) {
    const SDL_Rect place = IsFullScreen(rec->window) ? LeaveFullScreen(rec) : EnterFullScreen(rec);
    if (rec->fbo && place.w == rec->width && place.h == rec->height) ReleasePictureTarget(rec);
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

void DestroyRecord(TGLContextRecord* rec) {
    TGLState& gl = GL();
    TGLContextRecord* previous = gl.current == rec ? nullptr : gl.current;
    if (rec->fbo) {
        // Renderbuffers belong to the shared texture space and would outlive this context.
        MakeCurrent(rec);
        DeletePictureTarget(rec);
    }
    gl.current = previous;
    MakeCurrent(previous);
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
    return GLGraphicsDriver();
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
    DestroyRecord(_context);
    _context = nullptr;
}

TSDLPointerMap* GLPointerMap() {
    static TGLPointerMap map;
    return &map;
}

TGLGraphicsDriver* GLGraphicsDriver() {
    static TGLGraphicsDriver* driver = new TGLGraphicsDriver;
    return driver;
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
    if (!EnsureSharedContext()) return nullptr;
    TGLState& gl = GL();

    const bool full_screen = depth != 0;
    const int scale = full_screen ? 1 : FitWindowScale(GraphicsWindowScale(), width, height);
    SDL_DisplayMode mode{};
    const bool switch_mode = full_screen && FindDisplayMode(width, height, hertz, &mode);
    SDL_Rect desktop{0, 0, width, height};
    if (full_screen && !switch_mode) SDL_GetDisplayBounds(0, &desktop);

    // The new context shares with the hidden one, which must be current while it is made.
    SDL_GL_MakeCurrent(gl.shared->window, gl.shared->gl);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
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
            SetGraphicsError(SDLError("could not create the OpenGL context"));
            SDL_DestroyWindow(window);
            window = nullptr;
        }
    }
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
    if (!window) {
        MakeCurrent(gl.current);
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
    if ((drawable_w != width || drawable_h != height) && !CreatePictureTarget(rec))
        std::fprintf(stderr, "graphics: no offscreen picture available; drawing unscaled\n");
    SDL_ShowWindow(window);
    MakeCurrent(gl.current);
    return std::make_shared<TGLGraphics>(rec);
}

void TGLGraphicsDriver::SetGraphics(TGraphics* g) {
    TGLState& gl = GL();
    TGLContextRecord* rec = nullptr;
    if (g) {
        auto* glg = dynamic_cast<TGLGraphics*>(g);
        assert(glg && "TGLGraphicsDriver::SetGraphics needs a TGLGraphics");
        rec = glg ? glg->_context : nullptr;
    }
    if (rec == gl.current) return;
    gl.current = rec;
    MakeCurrent(rec);
    // The swap interval belongs to the context; set it again at the next flip.
    gl.last_swap_interval = -1;
}

void TGLGraphicsDriver::Flip(int sync) {
    TGLState& gl = GL();
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
    if (switching && !rec->fbo) AdoptPictureTarget(rec);
    if (rec->fbo) {
        PresentPicture(rec);
    } else {
        SDL_GL_SwapWindow(rec->window);
    }
    if (switching) SwitchWindowMode(rec);
}

void TGLGraphicsDriver::SwapSharedContext() {
    TGLState& gl = GL();
    if (!gl.shared) return;
    if (SDL_GL_GetCurrentContext() != gl.shared->gl) {
        SDL_GL_MakeCurrent(gl.shared->window, gl.shared->gl);
    } else {
        MakeCurrent(gl.current);
    }
}

void GLBindRenderTarget() {
    TGLState& gl = GL();
    if (!gl.current || !gl.fb.BindFramebuffer) return;
    gl.fb.BindFramebuffer(GL_FRAMEBUFFER, gl.current->fbo);
}

void GLToggleFullScreen() {
    GL().switch_pending = true;
}

SDL_Window* GLGraphicsWindow() {
    TGLContextRecord* rec = GL().current;
    return rec && rec->kind >= 2 ? rec->window : nullptr;
}
