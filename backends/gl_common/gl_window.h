// The OpenGL graphics driver over SDL2, for either kind of context (compatibility or ES 2.0): windows,
// contexts sharing one texture space, and the picture scaled into windows whose size differs from it.
#pragma once

#include "render/graphics.h"

#include <SDL_video.h>

#include <cstdint>

struct TPicturePlacement;

// One context: the hidden shared one (kind 0), one on a caller's window (1), an own window (2), an own
// full-screen window (3). Width and height are the picture's; fbo is 0 when the picture is the back
// buffer itself, else the offscreen picture with its colour and depth/stencil storage.
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
    uint32_t fbo = 0;
    uint32_t color_target = 0;
    uint32_t depth_target = 0;
    SDL_Rect windowed{}; // where the window was before it last went full screen; w 0 until it did
};

// What differs between the kinds of context: how one is asked of SDL, and the offscreen picture of a
// scaled window (made, bound, copied and scaled into the back buffer). The record's context is current
// in every call after the first two.
class TGLContextKind {
public:
    virtual ~TGLContextKind() = default;
    // For messages: "OpenGL", "OpenGL ES 2.0".
    virtual const char* Name() const = 0;
    // Sets SDL's context attributes (profile, version) before a context of this kind is made.
    virtual void RequestContext() = 0;
    // Once, with the first context of this kind current.
    virtual void LoadEntryPoints() = 0;
    // Gives rec an offscreen picture of its own size, bound, cleared black, the viewport on it. False
    // when the context has no usable framebuffer objects.
    virtual bool CreatePictureTarget(TGLContextRecord& rec) = 0;
    // Drops it; the back buffer is bound after.
    virtual void DeletePictureTarget(TGLContextRecord& rec) = 0;
    virtual void BindFramebuffer(uint32_t fbo) = 0;
    // Clears the back buffer black and scales the offscreen picture into `place` (window pixels, y
    // down) of a drawable of drawable_height rows. The offscreen picture is bound again after.
    virtual void PresentPicture(const TGLContextRecord& rec, const TPicturePlacement& place,
                                int drawable_height) = 0;
    // Whole-picture copies between the back buffer and the offscreen picture; the destination is
    // bound after.
    virtual void CopyBackBufferToPicture(const TGLContextRecord& rec) = 0;
    virtual void CopyPictureToBackBuffer(const TGLContextRecord& rec) = 0;
};

// One OpenGL context made by TGLGraphicsDriver.
class TGLGraphics : public TGraphics {
public:
    TGLGraphics(TGLContextRecord* context, TGraphicsDriver* driver)
        : _context(context)
        , driver_(driver) {}
    ~TGLGraphics() override { Close(); }
    TGLGraphics(const TGLGraphics&) = delete;
    TGLGraphics& operator=(const TGLGraphics&) = delete;

    TGraphicsDriver* Driver() override;
    // Width and height are the picture's, whatever size the window has.
    void GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) override;
    void Close() override;

    TGLContextRecord* _context; // null after Close

private:
    TGraphicsDriver* driver_;
};

struct TGLWindowState;

// Every context it makes shares textures with a hidden context of its kind made once, so textures
// survive the closing and re-creation of visible contexts. Full screen switches the display to the asked size
// where the display has that mode; elsewhere it covers the desktop and the picture is scaled to fit
// (aspect kept, black bars). A wrapping driver may call CreateGraphics, SetGraphics and Flip directly.
class TGLGraphicsDriver : public TGraphicsDriver {
public:
    explicit TGLGraphicsDriver(TGLContextKind& kind);
    ~TGLGraphicsDriver() override;
    TGLGraphicsDriver(const TGLGraphicsDriver&) = delete;
    TGLGraphicsDriver& operator=(const TGLGraphicsDriver&) = delete;

    // Display modes of the primary display of 16 bits per pixel or more, at most 1024.
    std::vector<TGraphicsMode> GraphicsModes() override;
    // Not available over SDL: always null.
    std::shared_ptr<TGraphics> AttachGraphics(intptr_t window, int flags) override;
    // A TGLGraphics, or null with GraphicsError() set. Leaves the current context unchanged.
    std::shared_ptr<TGraphics> CreateGraphics(int width, int height, int depth, int hertz,
                                              int flags) override;
    // g must be a TGLGraphics or null (no context current).
    void SetGraphics(TGraphics* g) override;
    // Sets the swap interval when (sync != 0) changes, scales the picture into the window where needed,
    // then swaps.
    void Flip(int sync) override;
    // Brackets texture uploads: makes the hidden shared context current, and on the second call the
    // current record's context again.
    void SwapSharedContext();
    // Makes the hidden shared context of this kind (starting SDL's video first): true when a context of
    // this kind opens on this system. Sets GraphicsError() when not.
    bool ProbeContext();
    TGLContextKind& Kind() { return kind_; }
    // Closes one of its contexts (TGLGraphics::Close).
    void DestroyContext(TGLContextRecord* rec);
    // See GLToggleFullScreen.
    void ToggleFullScreen();
    // The current record, or null.
    TGLContextRecord* CurrentRecord() const;
    // The record of the hidden shared context, or null before it is made.
    TGLContextRecord* SharedRecord() const;

private:
    TGLContextKind& kind_;
    TGLWindowState* state_;
};

// The driver whose context was made current last: the window, pointer and full-screen functions below
// act on its current context.
TGLGraphicsDriver* ActiveGLGraphicsDriver();

// Binds the current context's picture as the framebuffer (the offscreen picture when the window is
// scaled, the back buffer otherwise). Done whenever a context is made current and after each flip;
// the drawing layer calls it only after binding another framebuffer itself. While the offscreen
// picture is bound, glReadPixels reads the picture and glReadBuffer/glDrawBuffer must not name GL_BACK.
void GLBindRenderTarget();

// The window of the current context, or null.
SDL_Window* GLGraphicsWindow();

// Switches the current context's own window between full screen and a window at its next flip, after
// the frame is shown, so that no frame is half drawn in either. The context, its textures and the
// picture's size stay; the picture is scaled into whatever the window becomes. Full screen is made as
// at creation (the picture's display mode where the display has it, else the desktop); the window is
// the --scale window, fitted to the desktop's usable area. Presented frames are paced by the frame
// pacer from then on, since vertical-blank sync found at the start may not hold in the other mode.
void GLToggleFullScreen();

// The pointer's window-to-picture mapping of the current context, for the SDL system driver.
class TSDLPointerMap;
TSDLPointerMap* GLPointerMap();

// Where a picture sits in a window: scaled as large as fits with its aspect kept, centred. Window
// pixels with y downward.
struct TPicturePlacement {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool integer_scale = false; // the same whole factor both ways: sampled nearest, else linearly
};

TPicturePlacement FitPicture(int window_width, int window_height, int picture_width, int picture_height);

// Window pixel -> picture pixel (outside the picture gives coordinates outside 0..size-1), and
// picture pixel -> the window pixel at its centre. Round trips exactly.
void WindowToPicture(const TPicturePlacement& place, int picture_width, int picture_height, int wx, int wy,
                     int* px, int* py);
void PictureToWindow(const TPicturePlacement& place, int picture_width, int picture_height, int px, int py,
                     int* wx, int* wy);
