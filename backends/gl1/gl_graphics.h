// The OpenGL graphics driver over SDL2: windows, contexts sharing one texture space, and the picture
// scaled into windows whose size differs from it.
#pragma once

#include "render/graphics.h"

struct SDL_Window;
struct TGLContextRecord;

// One OpenGL context made by TGLGraphicsDriver.
class TGLGraphics : public TGraphics {
public:
    explicit TGLGraphics(TGLContextRecord* context)
        : _context(context) {}
    ~TGLGraphics() override { Close(); }
    TGLGraphics(const TGLGraphics&) = delete;
    TGLGraphics& operator=(const TGLGraphics&) = delete;

    TGraphicsDriver* Driver() override;
    // Width and height are the picture's, whatever size the window has.
    void GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) override;
    void Close() override;

    TGLContextRecord* _context; // null after Close
};

// Every context it makes shares textures with a hidden context made once, so textures survive the
// closing and re-creation of visible contexts. Full screen switches the display to the asked size
// where the display has that mode; elsewhere it covers the desktop and the picture is scaled to fit
// (aspect kept, black bars). A wrapping driver may call CreateGraphics, SetGraphics and Flip directly.
class TGLGraphicsDriver : public TGraphicsDriver {
public:
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
};

// The one OpenGL driver, made on first use.
TGLGraphicsDriver* GLGraphicsDriver();

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
