// Graphics contexts under a real X server: the frame pacer's arithmetic, OpenGraphics, windowed and
// full-screen pictures as they reach the screen, the pointer mapping, window close and shared textures.
#include "backends/gl1/gl_context_compat.h"
#include "backends/install.h"
#include "backends/sdl/sdl_system.h"
#include "platform/event.h"
#include "platform/polled_input.h"
#include "platform/system.h"
#include "platform/system_driver.h"
#include "render/graphics.h"
#include "render/image.h"
#include "tests/draw_test_support.h"
#include "tests/gl_texture_read.h"

#include <gtest/gtest.h>

// After gtest: the X headers define macros (None, Bool) that clash with its names.
#include <SDL.h>
#include <SDL_opengl.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// ---- the frame pacer and the vertical-blank probe ----

// Runs `frames` paced flips whose drawing takes draw_ms; returns each frame's length in ms.
std::vector<int> PaceFrames(TFramePacer& pacer, uint32_t& now, int frames, int draw_ms = 0) {
    std::vector<int> lengths;
    for (int i = 0; i < frames; ++i) {
        const uint32_t start = now;
        now += static_cast<uint32_t>(draw_ms);
        now += static_cast<uint32_t>(pacer.FrameWait(now));
        lengths.push_back(static_cast<int>(now - start));
    }
    return lengths;
}

TEST(FramePacer, SixtyFramesAtSixtyHertzSpanOneSecond) {
    for (uint32_t start : {0u, 123456u, 0xFFFFFE00u}) { // the last one wraps the 32-bit clock
        TFramePacer pacer;
        pacer.Start(60, start);
        uint32_t now = start;
        const std::vector<int> lengths = PaceFrames(pacer, now, 60);
        EXPECT_EQ(now - start, 1000u) << "start " << start;
        int long_frames = 0;
        for (int ms : lengths) {
            ASSERT_TRUE(ms == 16 || ms == 17) << ms;
            long_frames += ms == 17;
        }
        EXPECT_EQ(long_frames, 40);
        // The extra millisecond is spread: 16, 17, 17, and again.
        EXPECT_EQ(std::vector<int>(lengths.begin(), lengths.begin() + 6),
                  (std::vector<int>{16, 17, 17, 16, 17, 17}));
    }
}

TEST(FramePacer, DrawingTimeIsAbsorbedAndLatenessNotMadeUp) {
    TFramePacer pacer;
    pacer.Start(60, 1000);
    uint32_t now = 1000;
    // Frames that draw for 10 ms still come every 16 or 17 ms.
    const std::vector<int> lengths = PaceFrames(pacer, now, 30, 10);
    EXPECT_EQ(now - 1000, 500u);

    // One frame 100 ms late: it is presented at once, and the next is a whole frame later, not sooner.
    now += 100;
    EXPECT_EQ(pacer.FrameWait(now), 0);
    const int next = pacer.FrameWait(now);
    EXPECT_TRUE(next == 16 || next == 17) << next;

    // Other rates: 50 Hz is exactly 20 ms, 75 Hz 13 or 14 ms adding up to 1000 per 75.
    pacer.Start(50, 0);
    uint32_t t = 0;
    EXPECT_EQ(PaceFrames(pacer, t, 50), std::vector<int>(50, 20));
    pacer.Start(75, 0);
    t = 0;
    PaceFrames(pacer, t, 75);
    EXPECT_EQ(t, 1000u);
}

TEST(VerticalBlankProbe, ThreeConsecutiveFramesOfOnePeriodMeanSync) {
    TVerticalBlankProbe probe;
    EXPECT_FALSE(probe.Sample(16, 60));
    EXPECT_FALSE(probe.Sample(17, 60));
    EXPECT_FALSE(probe.Sample(3, 60)) << "a miss starts the count again";
    EXPECT_FALSE(probe.Sample(15, 60));
    EXPECT_FALSE(probe.Sample(16, 60));
    EXPECT_TRUE(probe.Sample(17, 60));

    TVerticalBlankProbe fast;
    for (int i = 0; i < 10; ++i) EXPECT_FALSE(fast.Sample(0, 60)) << "swaps that never wait";
    TVerticalBlankProbe slow;
    for (int i = 0; i < 10; ++i) EXPECT_FALSE(slow.Sample(18, 60));
}

// ---- picture placement ----

TEST(PicturePlacement, FitsWithAspectKeptAndMapsPointersBothWays) {
    struct Case {
        int ww, wh;
        TPicturePlacement expect;
    };
    const Case cases[] = {
        {640, 480, {0, 0, 640, 480, true}},     {1280, 960, {0, 0, 1280, 960, true}},
        {1024, 768, {0, 0, 1024, 768, false}},  {1920, 1080, {240, 0, 1440, 1080, false}},
        {1920, 1440, {0, 0, 1920, 1440, true}}, {800, 1000, {0, 200, 800, 600, false}},
    };
    for (const Case& c : cases) {
        const TPicturePlacement p = FitPicture(c.ww, c.wh, 640, 480);
        EXPECT_EQ(p.x, c.expect.x) << c.ww << "x" << c.wh;
        EXPECT_EQ(p.y, c.expect.y) << c.ww << "x" << c.wh;
        EXPECT_EQ(p.width, c.expect.width) << c.ww << "x" << c.wh;
        EXPECT_EQ(p.height, c.expect.height) << c.ww << "x" << c.wh;
        EXPECT_EQ(p.integer_scale, c.expect.integer_scale) << c.ww << "x" << c.wh;
        for (int px = 0; px < 640; ++px) {
            int wx = 0, wy = 0, bx = 0, by = 0;
            PictureToWindow(p, 640, 480, px, px * 3 / 4, &wx, &wy);
            WindowToPicture(p, 640, 480, wx, wy, &bx, &by);
            ASSERT_EQ(bx, px) << c.ww << "x" << c.wh;
            ASSERT_EQ(by, px * 3 / 4) << c.ww << "x" << c.wh;
        }
    }
    // Black bars lie outside the picture, on either side.
    const TPicturePlacement wide = FitPicture(1920, 1080, 640, 480);
    int px = 0, py = 0;
    WindowToPicture(wide, 640, 480, 0, 0, &px, &py);
    EXPECT_LT(px, 0);
    WindowToPicture(wide, 640, 480, 1919, 1079, &px, &py);
    EXPECT_GE(px, 640);
    EXPECT_EQ(py, 479);
}

TEST(GraphicsMode, Text) {
    EXPECT_EQ((TGraphicsMode{640, 480, 32, 60}).ToString(), "640,480,32 60Hz");
}

// ---- contexts on the X server ----

// Before any OpenGraphics in this process (first test of the binary; ctest runs each alone).
TEST(GraphicsState, NothingIsOpenAtStart) {
    EXPECT_EQ(GraphicsWidth(), 0);
    EXPECT_EQ(GraphicsHeight(), 0);
    EXPECT_EQ(CurrentGraphics(), nullptr);
    EXPECT_EQ(GraphicsSeq(), 1);
}

void DrainQueue() {
    while (CountQueuedEvents() > 0) PollQueuedEvent();
}

struct XWindow {
    Display* display = nullptr;
    Window window = 0;
};

XWindow XWindowOf(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    XWindow x;
    if (window && SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
        x.display = info.info.x11.display;
        x.window = info.info.x11.window;
    }
    return x;
}

int g_x_errors = 0;
int CountXError(Display*, XErrorEvent*) {
    ++g_x_errors;
    return 0;
}

// What the X server shows at a window pixel, as 0xRRGGBB; 0xDEADBEEF when it cannot be read (the
// pixel must lie on the screen).
unsigned long ScreenPixel(int x, int y) {
    const XWindow xw = XWindowOf(GLGraphicsWindow());
    if (!xw.display) return 0xDEADBEEF;
    glFinish();
    XSync(xw.display, False);
    // Xlib's default handler would end the process on a refused read.
    const int errors = g_x_errors;
    auto* previous = XSetErrorHandler(CountXError);
    XImage* image = XGetImage(xw.display, xw.window, x, y, 1, 1, AllPlanes, ZPixmap);
    XSync(xw.display, False);
    XSetErrorHandler(previous);
    if (!image || g_x_errors != errors) {
        if (image) XDestroyImage(image);
        return 0xDEADBEEF;
    }
    const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

// Compares a window pixel as shown, where it lies on the screen (X cannot read beyond its edge).
void ExpectScreenPixel(int x, int y, unsigned long rgb) {
    int wx = 0, wy = 0;
    SDL_GetWindowPosition(GLGraphicsWindow(), &wx, &wy);
    SDL_Rect screen{};
    SDL_GetDisplayBounds(0, &screen);
    if (wx + x >= screen.x + screen.w || wy + y >= screen.y + screen.h) return;
    EXPECT_EQ(ScreenPixel(x, y), rgb) << "window pixel (" << x << ", " << y << ")";
}

// Clears a rectangle of the picture given with y downward, as the game sees it.
void FillPicture(int x, int y, int w, int h, float r, float g, float b) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, GraphicsHeight() - (y + h), w, h);
    glClearColor(r, g, b, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
}

unsigned long PicturePixel(int x, int y) {
    unsigned char rgba[4] = {};
    glReadPixels(x, GraphicsHeight() - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return (static_cast<unsigned long>(rgba[0]) << 16) | (rgba[1] << 8) | rgba[2];
}

class Graphics : public ::testing::Test {
protected:
    void SetUp() override {
        // The OpenGL graphics driver alone, with the SDL system driver that reports its window's
        // pointer and close button.
        SetSystemDriver(SDLSystemDriver());
        SetSDLPointerMap(GLPointerMap());
        SetGraphicsDriver(draw_test::TestGraphicsDriver(), GRAPHICS_BACKBUFFER);
        SetGraphicsWindowed(true, 1);
        SetFlipUnpaced(false);
    }
    void TearDown() override {
        CloseOpenedGraphics();
        SetGraphics(nullptr);
        SetGraphicsWindowed(false, 1);
        TakeAppTerminate();
        DrainQueue();
    }
    static void WindowSize(int* w, int* h) {
        *w = *h = 0;
        ASSERT_NE(GLGraphicsWindow(), nullptr);
        SDL_GetWindowSize(GLGraphicsWindow(), w, h);
    }
};

TEST_F(Graphics, OpenGraphicsWindowedAndAgainRaisesTheSequenceTwice) {
    const int seq = GraphicsSeq();
    std::shared_ptr<TGraphics> first = OpenGraphics(640, 480, 32, 60, 2);
    ASSERT_NE(first, nullptr) << GraphicsError();
    EXPECT_EQ(GraphicsSeq(), seq + 1);
    EXPECT_EQ(CurrentGraphics(), first);
    EXPECT_EQ(GraphicsWidth(), 640);
    EXPECT_EQ(GraphicsHeight(), 480);
    EXPECT_EQ(GraphicsDepth(), 0) << "the windowed option opens a window";
    EXPECT_EQ(GraphicsHertz(), 60);
    EXPECT_EQ(GraphicsFlags() & GRAPHICS_BACKBUFFER, GRAPHICS_BACKBUFFER);
    int w = 0, h = 0;
    WindowSize(&w, &h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);

    std::shared_ptr<TGraphics> second = OpenGraphics(640, 480, 32, 60, 2);
    ASSERT_NE(second, nullptr) << GraphicsError();
    EXPECT_EQ(GraphicsSeq(), seq + 3);
    int fw = -1, fh = -1, fd = -1, fhz = -1, ff = -1;
    first->GetSettings(fw, fh, fd, fhz, ff);
    EXPECT_EQ(fw, 0) << "the first context was closed";
    first->Close(); // a second Close does nothing

    CloseOpenedGraphics();
    EXPECT_EQ(GraphicsSeq(), seq + 4);
    EXPECT_EQ(GraphicsWidth(), 0);
    EXPECT_EQ(CurrentGraphics(), nullptr);
}

// A 320 x 240 picture, so that the doubled window fits the test display's desktop.
TEST_F(Graphics, ScaledWindowShowsThePictureTwiceAsLarge) {
    SetGraphicsWindowed(true, 2);
    testing::internal::CaptureStderr();
    ASSERT_NE(OpenGraphics(320, 240, 32, 60, 2), nullptr) << GraphicsError();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "a scale that fits is kept without a word";
    int w = 0, h = 0;
    WindowSize(&w, &h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    EXPECT_EQ(GraphicsWidth(), 320);
    EXPECT_EQ(GraphicsHeight(), 240);

    // The game draws and reads back exactly the picture's pixels.
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(PicturePixel(0, 0), 0xFF0000u);
    EXPECT_EQ(PicturePixel(319, 239), 0xFF0000u);
    FillPicture(160, 120, 160, 120, 0, 0, 1); // bottom-right quarter blue
    FillPicture(100, 50, 1, 1, 0, 1, 0);      // one green picture pixel
    EXPECT_EQ(PicturePixel(319, 239), 0x0000FFu);
    EXPECT_EQ(PicturePixel(100, 50), 0x00FF00u);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 320);

    Flip(0);
    ExpectScreenPixel(5, 5, 0xFF0000u);
    ExpectScreenPixel(319, 239, 0xFF0000u);
    ExpectScreenPixel(320, 240, 0x0000FFu);
    ExpectScreenPixel(600, 400, 0x0000FFu);
    // Nearest sampling: the green pixel is exactly the 2 x 2 block at (200, 100).
    ExpectScreenPixel(200, 100, 0x00FF00u);
    ExpectScreenPixel(201, 101, 0x00FF00u);
    ExpectScreenPixel(202, 100, 0xFF0000u);
    ExpectScreenPixel(199, 101, 0xFF0000u);
    ExpectScreenPixel(200, 102, 0xFF0000u);

    // The picture stays the read target after the flip, and the drawing state is as it was left.
    EXPECT_EQ(PicturePixel(100, 50), 0x00FF00u);
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    GLfloat clear[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[1], 1.0f);
}

// --scale 8 asks for a 5120 x 3840 window: it gets the largest scale whose window fits the desktop's
// usable area, and one line says so.
TEST_F(Graphics, ScaleLargerThanTheDesktopIsLoweredToTheLargestThatFits) {
    SetGraphicsWindowed(true, 8);
    testing::internal::CaptureStderr();
    ASSERT_NE(OpenGraphics(640, 480, 32, 60, 2), nullptr) << GraphicsError();
    const std::string said = testing::internal::GetCapturedStderr();
    SDL_Rect usable{};
    ASSERT_EQ(SDL_GetDisplayUsableBounds(0, &usable), 0) << SDL_GetError();
    const int fits = std::max(1, std::min({8, usable.w / 640, usable.h / 480}));
    if (fits == 8) GTEST_SKIP() << "the desktop holds even the largest window";
    int w = 0, h = 0;
    WindowSize(&w, &h);
    EXPECT_EQ(w, 640 * fits);
    EXPECT_EQ(h, 480 * fits);
    EXPECT_EQ(GraphicsWidth(), 640) << "the picture keeps its size";
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("scale 8 (5120 x 3840)"), std::string::npos) << said;
    EXPECT_NE(said.find("using scale " + std::to_string(fits) + "\n"), std::string::npos) << said;
}

TEST_F(Graphics, PointerMovesInPicturePixels) {
    SetGraphicsWindowed(true, 2);
    ASSERT_NE(OpenGraphics(320, 240, 32, 60, 2), nullptr) << GraphicsError();
    DrainQueue();

    SetMousePosition(100, 50);
    EXPECT_EQ(GetMouseX(), 100);
    EXPECT_EQ(GetMouseY(), 50);
    // Whatever the X server makes of the warp, the move is reported exactly once.
    for (int i = 0; i < 20; ++i) WaitSystemEvent();
    int moves = 0;
    while (PollQueuedEvent()) {
        if (CurrentEventId() != EVENT_MOUSEMOVE) continue;
        ++moves;
        EXPECT_EQ(CurrentEventX(), 100);
        EXPECT_EQ(CurrentEventY(), 50);
    }
    EXPECT_EQ(moves, 1);

    // Device moves in window pixels arrive in picture pixels.
    SDL_Event move{};
    move.type = SDL_MOUSEMOTION;
    move.motion.windowID = SDL_GetWindowID(GLGraphicsWindow());
    move.motion.x = 639;
    move.motion.y = 479;
    SDL_PushEvent(&move);
    EXPECT_EQ(GetMouseX(), 319);
    EXPECT_EQ(GetMouseY(), 239);
    move.motion.x = 201;
    move.motion.y = 101;
    SDL_PushEvent(&move);
    EXPECT_EQ(GetMouseX(), 100);
    EXPECT_EQ(GetMouseY(), 50);
}

TEST_F(Graphics, FullScreenCoversTheDisplayWithTheScaledPicture) {
    SetGraphicsWindowed(false, 1);
    ASSERT_NE(OpenGraphics(640, 480, 32, 60, 2), nullptr) << GraphicsError();
    EXPECT_EQ(GraphicsWidth(), 640);
    EXPECT_EQ(GraphicsHeight(), 480);
    EXPECT_EQ(GraphicsDepth(), 32);
    EXPECT_EQ(GetMouseX(), 320) << "full screen centres the pointer";
    EXPECT_EQ(GetMouseY(), 240);

    SDL_Rect desktop{};
    ASSERT_EQ(SDL_GetDisplayBounds(0, &desktop), 0);
    const bool has_mode = GraphicsModeExists(640, 480) == 1;
    int w = 0, h = 0;
    WindowSize(&w, &h);
    EXPECT_EQ(w, has_mode ? 640 : desktop.w);
    EXPECT_EQ(h, has_mode ? 480 : desktop.h);

    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(PicturePixel(639, 479), 0x00FF00u);
    Flip(0);
    ExpectScreenPixel(w / 2, h / 2, 0x00FF00u);
    const TPicturePlacement place = FitPicture(w, h, 640, 480);
    if (place.x > 0) {
        ExpectScreenPixel(0, h / 2, 0x000000u); // black bar
    }
    if (place.y > 0) {
        ExpectScreenPixel(w / 2, 0, 0x000000u); // black bar
    }
}

TEST_F(Graphics, WindowCloseRequestSetsTheTerminateFlagOnce) {
    ASSERT_NE(OpenGraphics(640, 480, 32, 60, 2), nullptr) << GraphicsError();
    const XWindow xw = XWindowOf(GLGraphicsWindow());
    ASSERT_NE(xw.display, nullptr);
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = xw.window;
    close.xclient.message_type = XInternAtom(xw.display, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(xw.display, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(xw.display, xw.window, False, NoEventMask, &close);
    XFlush(xw.display);

    int terminate = 0;
    for (int i = 0; i < 200 && !terminate; ++i) {
        WaitSystemEvent();
        terminate = TakeAppTerminate();
    }
    EXPECT_EQ(terminate, 1);
    EXPECT_EQ(TakeAppTerminate(), 0);
    EXPECT_NE(GLGraphicsWindow(), nullptr) << "a close request does not close the window";
}

TEST_F(Graphics, TexturesSurviveTheContext) {
    ASSERT_NE(OpenGraphics(640, 480, 32, 60, 2), nullptr) << GraphicsError();
    GLuint name = 0;
    const unsigned char texel[4] = {10, 20, 30, 255};
    draw_test::TestGraphicsDriver()->SwapSharedContext();
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    glBindTexture(GL_TEXTURE_2D, 0);
    draw_test::TestGraphicsDriver()->SwapSharedContext();
    EXPECT_NE(SDL_GL_GetCurrentContext(), nullptr);

    CloseOpenedGraphics();
    ASSERT_NE(OpenGraphics(640, 480, 32, 60, 2), nullptr) << GraphicsError();
    EXPECT_EQ(glIsTexture(name), GL_TRUE);
    int w = 1, h = 1;
    const TPixmapPtr texture = ReadTexture(name, w, h);
    const uint8_t* read = texture->PixelPtr(0, 0);
    EXPECT_EQ(read[0], 10);
    EXPECT_EQ(read[2], 30);
    glDeleteTextures(1, &name);
}

int g_flip_hooks = 0;
void* CountFlip(int, void* data, void*) {
    EXPECT_EQ(data, nullptr);
    ++g_flip_hooks;
    return data;
}

TEST_F(Graphics, FlipRunsItsHookAndTheModeListHasDepths) {
    InsertHook(FlipHookId(), CountFlip, nullptr, 0);
    Flip(0); // with nothing open: only the hook runs
    ASSERT_NE(OpenGraphics(640, 480, 32, 60, 2), nullptr) << GraphicsError();
    Flip(0);
    Flip(-1);
    EXPECT_EQ(g_flip_hooks, 3);
    DeleteHook(FlipHookId(), CountFlip, nullptr);

    const std::vector<TGraphicsMode> modes = GetGraphicsModes();
    ASSERT_FALSE(modes.empty());
    EXPECT_EQ(CountGraphicsModes(), static_cast<int>(modes.size()));
    for (const TGraphicsMode& mode : modes) EXPECT_GE(mode.depth, 16) << mode.ToString();
    int w = 0, h = 0, d = 0, hz = 0;
    GetGraphicsMode(0, w, h, d, hz);
    EXPECT_EQ(w, modes[0].width);
    EXPECT_EQ(GraphicsModeExists(w, h, 0, 0), 1);
    EXPECT_EQ(GraphicsModeExists(w, h, d, hz), 1);
    EXPECT_EQ(GraphicsModeExists(w + 1, h, 0, 0), 0);
    EXPECT_EQ(GraphicsModeExists(0, 0, 8, 0), 0) << "modes under 16 bits are left out";
}

TEST_F(Graphics, FailedOpenReturnsNullWithAReason) {
    ASSERT_NE(OpenGraphics(640, 480, 32, 60, 2), nullptr) << GraphicsError();
    const int seq = GraphicsSeq();
    EXPECT_EQ(OpenGraphics(0, 480, 32, 60, 2), nullptr);
    EXPECT_FALSE(GraphicsError().empty());
    EXPECT_EQ(GraphicsSeq(), seq + 1) << "the opened graphics were closed first, nothing else";
    EXPECT_EQ(CurrentGraphics(), nullptr);
}

TEST(GraphicsDeathTest, NoDisplayGivesOneLineAndNull) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            setenv("SDL_VIDEODRIVER", "x11", 1);
            SetGraphicsDriver(draw_test::TestGraphicsDriver(), GRAPHICS_BACKBUFFER);
            if (!OpenGraphics(640, 480, 32, 60, 2)) {
                std::fprintf(stderr, "cannot open the display: %s\n", GraphicsError().c_str());
                std::exit(1);
            }
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), "cannot open the display: could not start the video system");
}

} // namespace

// ---- the full-screen switch ----

namespace {

void PushKey(uint32_t type, SDL_Scancode scancode, uint16_t mod = 0) {
    SDL_Event e{};
    e.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = scancode;
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
}

// Key events that reached the game's queue.
int QueuedKeyEvents() {
    PollSystemEvents();
    int keys = 0;
    while (PollQueuedEvent()) {
        const int id = CurrentEventId();
        keys += id == EVENT_KEYDOWN || id == EVENT_KEYUP || id == EVENT_KEYCHAR || id == EVENT_KEYREPEAT;
    }
    return keys;
}

// A picture with a texture made before any switch: a gradient sprite with its handle in its middle,
// plain at whole and half pixels, turned and enlarged, and a solid rectangle.
void DrawScene(const TImagePtr& sprite) {
    SetClsColor(10, 20, 30);
    Cls();
    SetColor(255, 255, 255);
    for (int blend : {BLEND_MASK, BLEND_ALPHA}) {
        SetBlend(blend);
        for (int i = 0; i < 8; ++i) {
            const float x = 60.0f + 45.0f * i + 0.25f * i,
                        y = 60.0f + 0.25f * i + (blend == BLEND_MASK ? 0 : 60);
            DrawImage(sprite, x, y);
        }
    }
    SetBlend(BLEND_ALPHA);
    SetRotationScale(30.0f, 2.5f, 1.5f);
    DrawImage(sprite, 320.0f, 240.0f);
    SetRotationScale(0.0f, 1.0f, 1.0f);
    SetBlend(BLEND_SOLID);
    SetColor(200, 50, 50);
    DrawRect(400.0f, 300.0f, 100.0f, 60.0f);
}

bool IsFullScreenWindow() {
    return (SDL_GetWindowFlags(GLGraphicsWindow()) & SDL_WINDOW_FULLSCREEN) != 0;
}

} // namespace

// F11, then Alt+Return: full screen and back in the same context, at the flips after the keys. The
// keys never reach the game; the texture made before survives; the 640 x 480 picture is the same in
// either mode and fills the desktop in full screen.
TEST_F(Graphics, F11AndAltReturnSwitchFullScreenAndBackWithTheSamePicture) {
    std::string error;
    TBackendChoice choice;
    choice.renderer = draw_test::TestRenderer();
    ASSERT_TRUE(InstallBackends(choice, error)) << error; // joins SDL's keys to GL's window
    ASSERT_NE(OpenGraphics(640, 480, 32, 60, 2), nullptr) << GraphicsError();
    DrainQueue();
    TPixmapPtr gradient = CreatePixmap(40, 27, PF_RGBA8888);
    for (int y = 0; y < 27; ++y)
        for (int x = 0; x < 40; ++x) {
            uint8_t* p = gradient->PixelPtr(x, y);
            p[0] = static_cast<uint8_t>(x * 7), p[1] = static_cast<uint8_t>(y * 11), p[2] = 200;
            p[3] = static_cast<uint8_t>(128 + x * 3);
        }
    const TImagePtr sprite = LoadImage(gradient);
    ASSERT_NE(sprite, nullptr);
    CenterImageHandle(sprite);
    DrawScene(sprite);
    const TPixmapPtr windowed = GrabPixmap(0, 0, 640, 480);
    Flip(-1);

    PushKey(SDL_KEYDOWN, SDL_SCANCODE_F11);
    PushKey(SDL_KEYUP, SDL_SCANCODE_F11);
    EXPECT_EQ(QueuedKeyEvents(), 0);
    EXPECT_FALSE(IsFullScreenWindow()) << "the switch waits for the flip";
    DrawScene(sprite);
    Flip(-1);
    ASSERT_TRUE(IsFullScreenWindow());
    SDL_Rect desktop{};
    SDL_GetDisplayBounds(0, &desktop);
    int w = 0, h = 0;
    WindowSize(&w, &h);
    EXPECT_EQ(w, desktop.w);
    EXPECT_EQ(h, desktop.h);
    // Drawn offscreen now, as a scaled window is: the same scene, though sprites between pixels may
    // be sampled a shade apart from the back buffer's.
    DrawScene(sprite);
    const TPixmapPtr full = GrabPixmap(0, 0, 640, 480);
    EXPECT_EQ(draw_test::PixelOf(full, 450, 330), (draw_test::Rgba{200, 50, 50, 255}));
    EXPECT_EQ(draw_test::PixelOf(full, 5, 5), (draw_test::Rgba{10, 20, 30, 255}));
    EXPECT_EQ(draw_test::PixelOf(full, 60, 60), draw_test::PixelOf(windowed, 60, 60));
    SavePixmapPNG(full, draw_test::OutPath("switch_full_screen.png"));
    Flip(0);
    // The red rectangle's middle, (450, 330) in the picture, scaled onto the desktop.
    const TPicturePlacement place = FitPicture(w, h, 640, 480);
    ExpectScreenPixel(place.x + 450 * place.width / 640, place.y + 330 * place.height / 480, 0xC83232u);

    // Alt+Return, with either Enter; a Return without Alt is the game's again.
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_KP_ENTER, KMOD_LALT);
    PushKey(SDL_KEYUP, SDL_SCANCODE_KP_ENTER, KMOD_LALT);
    EXPECT_EQ(QueuedKeyEvents(), 0);
    DrawScene(sprite);
    Flip(-1);
    ASSERT_FALSE(IsFullScreenWindow());
    WindowSize(&w, &h);
    EXPECT_EQ(w, 640) << "the --scale 1 window";
    EXPECT_EQ(h, 480);
    DrawScene(sprite);
    const TPixmapPtr back = GrabPixmap(0, 0, 640, 480);
    EXPECT_TRUE(draw_test::SamePixels(windowed, back, "switch_back"));
    SavePixmapPNG(back, draw_test::OutPath("switch_back.png"));
    Flip(0);
    ExpectScreenPixel(450, 330, 0xC83232u);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_RETURN);
    PushKey(SDL_KEYUP, SDL_SCANCODE_RETURN);
    EXPECT_EQ(QueuedKeyEvents(), 3) << "down, the character, up";
}
