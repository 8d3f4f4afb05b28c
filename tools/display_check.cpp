// Manual display check: opens the game's display, shows a test picture and saves the whole X screen.
//
//   display_check [--windowed N] [--seconds S] SCREENSHOT.png
//
// Run under an X server (e.g. xvfb-run -s "-screen 0 1024x768x24") and look at the PNG: the picture
// is 640 x 480 with a white frame, four coloured quarters and a white cross at its centre; full screen
// covers the screen (scaled, black bars where the aspect differs), windowed is a window of 640N x 480N.
#include "backends/gl1/gl_context_compat.h"
#include "render/graphics.h"

#include <SDL.h>
#include <SDL_opengl.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Fill(int x, int y, int w, int h, float r, float g, float b) {
    glScissor(x, 480 - (y + h), w, h);
    glClearColor(r, g, b, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

void DrawTestPicture() {
    glEnable(GL_SCISSOR_TEST);
    Fill(0, 0, 640, 480, 1, 1, 1);
    Fill(4, 4, 316, 236, 0.8f, 0.1f, 0.1f);
    Fill(320, 4, 316, 236, 0.1f, 0.8f, 0.1f);
    Fill(4, 240, 316, 236, 0.1f, 0.1f, 0.8f);
    Fill(320, 240, 316, 236, 0.8f, 0.8f, 0.1f);
    Fill(318, 200, 4, 80, 1, 1, 1);
    Fill(280, 238, 80, 4, 1, 1, 1);
    glDisable(GL_SCISSOR_TEST);
}

bool SaveScreen(Display* display, const char* path) {
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    XImage* image = XGetImage(display, root, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image) return false;
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_byte> row(static_cast<size_t>(attributes.width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        XDestroyImage(image);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, attributes.width, attributes.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < attributes.height; ++y) {
        for (int x = 0; x < attributes.width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            row[x * 3] = static_cast<png_byte>(pixel >> 16);
            row[x * 3 + 1] = static_cast<png_byte>(pixel >> 8);
            row[x * 3 + 2] = static_cast<png_byte>(pixel);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    XDestroyImage(image);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    int scale = 0;
    int seconds = 1;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--windowed") && i + 1 < argc) {
            scale = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) {
            seconds = std::atoi(argv[++i]);
        } else {
            path = argv[i];
        }
    }
    if (!path || (scale < 0)) {
        std::fprintf(stderr, "usage: display_check [--windowed N] [--seconds S] SCREENSHOT.png\n");
        return 2;
    }
    SetGraphicsDriver(GLGraphicsDriver(), GRAPHICS_BACKBUFFER);
    SetGraphicsWindowed(scale > 0, scale > 0 ? scale : 1);
    if (!OpenGraphics(640, 480, 32, 60, 2)) {
        std::fprintf(stderr, "display_check: cannot open the display: %s\n", GraphicsError().c_str());
        return 1;
    }
    SDL_Window* window = GLGraphicsWindow();
    for (int frame = 0; frame < seconds * 60; ++frame) {
        DrawTestPicture();
        Flip(-1);
    }

    int ww = 0, wh = 0, dw = 0, dh = 0;
    SDL_GetWindowSize(window, &ww, &wh);
    SDL_GL_GetDrawableSize(window, &dw, &dh);
    SDL_Rect screen{};
    SDL_GetDisplayBounds(0, &screen);
    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    if (!SDL_GetWindowWMInfo(window, &wm) || wm.subsystem != SDL_SYSWM_X11) {
        std::fprintf(stderr, "display_check: not an X11 window\n");
        return 1;
    }
    Window root = 0;
    int x = 0, y = 0;
    unsigned int xw = 0, xh = 0, border = 0, xdepth = 0;
    XGetGeometry(wm.info.x11.display, wm.info.x11.window, &root, &x, &y, &xw, &xh, &border, &xdepth);
    const uint32_t flags = SDL_GetWindowFlags(window);
    std::printf(
        "screen %dx%d; picture %dx%d depth %d; %s; SDL window %dx%d, drawable %dx%d; X window %ux%u at "
        "(%d, %d)\n",
        screen.w, screen.h, GraphicsWidth(), GraphicsHeight(), GraphicsDepth(),
        (flags & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP
            ? "full screen (desktop size)"
        : (flags & SDL_WINDOW_FULLSCREEN) ? "full screen (display mode)"
                                          : "windowed",
        ww, wh, dw, dh, xw, xh, x, y);
    if (!SaveScreen(wm.info.x11.display, path)) {
        std::fprintf(stderr, "display_check: cannot save %s\n", path);
        return 1;
    }
    CloseOpenedGraphics();
    return 0;
}
