// Shared by the drawing and image tests: a 640 x 480 picture (a real GL window unless a test asks for
// the null back-end), read-back and exact picture checks.
#pragma once

#include "backends/gl1/gl_context_compat.h"
#include "backends/gl1/gl_draw2d.h"
#include "backends/gl_common/gl_batch_driver.h"
#include "backends/gles2/gles2_context.h"
#include "backends/gles2/gles2_draw2d.h"
#include "backends/install.h"
#include "render/draw2d.h"
#include "render/graphics.h"
#include "render/png_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace draw_test {

struct Rgba {
    int r = 0, g = 0, b = 0, a = 0;
    bool operator==(const Rgba&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Rgba& c) {
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ", " << c.a << ")";
}

// The GL renderer the test binary runs on: TEST_RENDERER from the environment (the build registers every
// pixel test once per renderer), gl1 when unset.
inline std::string TestRenderer() {
    const char* renderer = std::getenv("TEST_RENDERER");
    return renderer && *renderer ? renderer : "gl1";
}

inline bool OnGles2() {
    return TestRenderer() == "gles2";
}

// The graphics driver of the test's renderer.
inline TGLGraphicsDriver* TestGraphicsDriver() {
    return OnGles2() ? GLES2GraphicsDriver() : GLGraphicsDriver();
}

// The drawing back-end of the test's renderer.
inline TGLBatchDriver* TestDrawDriver() {
    return OnGles2() ? static_cast<TGLBatchDriver*>(GLES2Draw2DDriver()) : GLDraw2DDriver();
}

// Installs the back-ends of `video` ("sdl": a real GL window of TestRenderer(); "null": the software
// picture) once per test binary.
inline void EnsureBackends(const char* video = "sdl") {
    static bool installed = false;
    if (installed) return;
    TBackendChoice choice;
    choice.video = video;
    choice.renderer = TestRenderer();
    std::string error;
    ASSERT_TRUE(InstallBackends(choice, error)) << error;
    installed = true;
}

// Opens the windowed 640 x 480 picture once per test binary (again when a test closed it).
inline void EnsureGraphics(const char* video = "sdl") {
    if (GraphicsWidth() == 640 && GraphicsHeight() == 480 && CurrentGraphics()) return;
    EnsureBackends(video);
    ASSERT_TRUE(OpenGraphics(640, 480, 0, 60, 2)) << GraphicsError();
}

// Back to the defaults every test expects: white, opaque, mask blend, no transform, whole viewport,
// black clear colour, cleared picture.
inline void ResetDrawing() {
    SetBlend(BLEND_MASK);
    SetColor(255, 255, 255);
    SetAlpha(1.0f);
    SetRotationScale(0.0f, 1.0f, 1.0f);
    SetOrigin(0.0f, 0.0f);
    SetHandle(0.0f, 0.0f);
    SetLineWidth(1.0f);
    SetViewport(0, 0, 640, 480);
    SetClsColor(0, 0, 0);
    Cls();
}

inline Rgba PixelOf(const TPixmapPtr& p, int x, int y) {
    const uint8_t* px = p->PixelPtr(x, y);
    return {px[0], px[1], px[2], px[3]};
}

// One pixel of the picture.
inline Rgba ReadPicture(int x, int y) {
    return PixelOf(GrabPixmap(x, y, 1, 1), 0, 0);
}

inline std::string OutPath(const std::string& name) {
    std::filesystem::create_directories("out");
    return "out/" + name;
}

// Exact comparison of two format-6 pixmaps; on a difference both are written to out/ as PNG and the
// first differing pixel is reported.
inline ::testing::AssertionResult SamePixels(const TPixmapPtr& expected, const TPixmapPtr& actual,
                                             const std::string& name) {
    if (!expected || !actual) return ::testing::AssertionFailure() << name << ": missing picture";
    if (expected->width != actual->width || expected->height != actual->height) {
        return ::testing::AssertionFailure() << name << ": size " << actual->width << "x" << actual->height
                                             << ", expected " << expected->width << "x" << expected->height;
    }
    for (int y = 0; y < expected->height; ++y) {
        for (int x = 0; x < expected->width; ++x) {
            const Rgba e = PixelOf(expected, x, y);
            const Rgba a = PixelOf(actual, x, y);
            if (e == a) continue;
            SavePixmapPNG(expected, OutPath(name + "_expected.png"));
            SavePixmapPNG(actual, OutPath(name + "_actual.png"));
            return ::testing::AssertionFailure()
                   << name << ": first difference at (" << x << ", " << y << "): expected " << e
                   << ", actual " << a << " (pictures in out/)";
        }
    }
    return ::testing::AssertionSuccess();
}

// A solid format-6 pixmap.
inline TPixmapPtr SolidPixmap(int w, int h, Rgba c) {
    TPixmapPtr p = CreatePixmap(w, h, PF_RGBA8888);
    p->ClearPixels(static_cast<uint32_t>(c.a) << 24 | static_cast<uint32_t>(c.r) << 16 |
                   static_cast<uint32_t>(c.g) << 8 | static_cast<uint32_t>(c.b));
    return p;
}

inline void PutPixel(const TPixmapPtr& p, int x, int y, Rgba c) {
    uint8_t* px = p->PixelPtr(x, y);
    px[0] = static_cast<uint8_t>(c.r);
    px[1] = static_cast<uint8_t>(c.g);
    px[2] = static_cast<uint8_t>(c.b);
    px[3] = static_cast<uint8_t>(c.a);
}

// Bounding box of the pixels that are not black; false when all are black.
inline bool LitBox(const TPixmapPtr& p, int& x0, int& y0, int& x1, int& y1) {
    x0 = y0 = 1 << 30;
    x1 = y1 = -1;
    for (int y = 0; y < p->height; ++y) {
        for (int x = 0; x < p->width; ++x) {
            const Rgba c = PixelOf(p, x, y);
            if (c.r == 0 && c.g == 0 && c.b == 0) continue;
            x0 = std::min(x0, x);
            y0 = std::min(y0, y);
            x1 = std::max(x1, x);
            y1 = std::max(y1, y);
        }
    }
    return x1 >= 0;
}

} // namespace draw_test
