// The 2D drawing state and the global drawing functions: every setter stores into the current state
// and forwards to the current back-end; transforms are applied on the CPU.
#include "render/draw2d.h"
#include "render/draw2d_driver.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Degrees to radians, to the precision the placement rules are written in.
constexpr double DEGREES_TO_RADIANS = 0.01745329252;

TDraw2DDriver& IdleDriver() {
    static TDraw2DDriver driver;
    return driver;
}

// Stands in while no context is current: keeps state, draws nothing.
TDraw2DGraphics& IdleState() {
    static TDraw2DGraphics state;
    return state;
}

TDraw2DGraphics* g_current = nullptr;
TDraw2DDriver* g_driver = nullptr;

DefaultImageFontMaker g_default_font_maker = nullptr;
TImageFontPtr g_default_font;

struct CollisionTransform {
    float ix = 1.0f, iy = 0.0f, jx = 0.0f, jy = 1.0f;
} g_collision_transform;

TDraw2DGraphics& State() {
    return g_current ? *g_current : IdleState();
}
TDraw2DDriver& Driver() {
    return g_driver ? *g_driver : IdleDriver();
}

const TImageFontPtr& DefaultFont() {
    if (!g_default_font && g_default_font_maker) g_default_font = g_default_font_maker();
    return g_default_font;
}

// Rebuilds the 2 x 2 transform from the state's rotation and scale and hands it to the back-end and
// to the collision placement.
void UpdateTransform() {
    TDraw2DGraphics& s = State();
    const double radians = s.tform_rot * DEGREES_TO_RADIANS;
    const double c = std::cos(radians);
    const double sn = std::sin(radians);
    s.tform_ix = static_cast<float>(c * s.tform_scale_x);
    s.tform_iy = static_cast<float>(-sn * s.tform_scale_y);
    s.tform_jx = static_cast<float>(sn * s.tform_scale_x);
    s.tform_jy = static_cast<float>(c * s.tform_scale_y);
    Driver().SetTransform(s.tform_ix, s.tform_iy, s.tform_jx, s.tform_jy);
    g_collision_transform = {s.tform_ix, s.tform_iy, s.tform_jx, s.tform_jy};
}

// Whether a plotted point at (x, y) surely lights no pixel: a point covers the pixel its centre
// (x + 0.5, y + 0.5) falls in, and a centre on a pixel edge may go to either side, so both candidates
// must lie outside the viewport or the picture. Such a point is not sent at all; it would only cut the
// back-end's batch of lines in two.
bool PlotSurelyOutside(float x, float y) {
    const TDraw2DGraphics& s = State();
    const int left = std::max(s.viewport_x, 0);
    const int top = std::max(s.viewport_y, 0);
    const int right = std::min(s.viewport_x + s.viewport_w, GraphicsWidth());
    const int bottom = std::min(s.viewport_y + s.viewport_h, GraphicsHeight());
    const auto outside = [](float centre, int low, int high) {
        return std::floor(centre) < static_cast<float>(low) ||
               std::ceil(centre - 1.0f) >= static_cast<float>(high);
    };
    return outside(x + 0.5f, left, right) || outside(y + 0.5f, top, bottom);
}

} // namespace

// The base back-end, current while no drawing state is: every operation does nothing.
std::vector<TGraphicsMode> TDraw2DDriver::GraphicsModes() {
    return {};
}
TGraphicsPtr TDraw2DDriver::AttachGraphics(intptr_t, int) {
    return nullptr;
}
TGraphicsPtr TDraw2DDriver::CreateGraphics(int, int, int, int, int) {
    return nullptr;
}
void TDraw2DDriver::SetGraphics(TGraphics*) {}
void TDraw2DDriver::Flip(int) {}
TImageFramePtr TDraw2DDriver::CreateFrameFromPixmap(const TPixmapPtr&, int) {
    return nullptr;
}
std::vector<TImageFramePtr> TDraw2DDriver::CreateImageFrames(const std::vector<TPixmapPtr>& pixmaps,
                                                             int flags) {
    std::vector<TImageFramePtr> frames;
    frames.reserve(pixmaps.size());
    for (const TPixmapPtr& pixmap : pixmaps) frames.push_back(CreateFrameFromPixmap(pixmap, flags));
    return frames;
}
void TDraw2DDriver::SetBlend(int) {}
void TDraw2DDriver::SetAlpha(float) {}
void TDraw2DDriver::SetColor(int, int, int) {}
void TDraw2DDriver::SetClsColor(int, int, int) {}
void TDraw2DDriver::SetViewport(int, int, int, int) {}
void TDraw2DDriver::SetTransform(float, float, float, float) {}
void TDraw2DDriver::SetLineWidth(float) {}
void TDraw2DDriver::Cls() {}
void TDraw2DDriver::Plot(float, float) {}
void TDraw2DDriver::DrawLine(float, float, float, float, float, float) {}
void TDraw2DDriver::DrawRect(float, float, float, float, float, float) {}
void TDraw2DDriver::DrawOval(float, float, float, float, float, float) {}
void TDraw2DDriver::DrawPoly(const std::vector<float>&, float, float, float, float) {}
void TDraw2DDriver::DrawPixmap(const TPixmapPtr&, int, int) {}
TPixmapPtr TDraw2DDriver::GrabPixmap(int, int, int, int) {
    return nullptr;
}
TDrawCounts TDraw2DDriver::DrawCounts() const {
    return {};
}

TGraphicsDriver* TDraw2DGraphics::Driver() {
    return _driver;
}

void TDraw2DGraphics::GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) {
    width = height = depth = hertz = flags = 0;
    if (_graphics) _graphics->GetSettings(width, height, depth, hertz, flags);
}

void TDraw2DGraphics::Close() {
    if (_graphics) _graphics->Close();
    _graphics.reset();
    _driver = nullptr;
}

void TDraw2DGraphics::Validate() {
    // The setters work on the current state; make sure that is this one while they run.
    TDraw2DGraphics* previous = g_current;
    g_current = this;
    const float handle_x_given = -handle_x;
    const float handle_y_given = -handle_y;
    ::SetBlend(blend_mode);
    ::SetColor(color_red, color_green, color_blue);
    ::SetAlpha(color_alpha);
    ::SetClsColor(clscolor_red, clscolor_green, clscolor_blue);
    ::SetLineWidth(line_width);
    ::SetRotation(tform_rot);
    ::SetScale(tform_scale_x, tform_scale_y);
    ::SetViewport(viewport_x, viewport_y, viewport_w, viewport_h);
    ::SetOrigin(origin_x, origin_y);
    ::SetHandle(handle_x_given, handle_y_given);
    ::SetImageFont(image_font);
    g_current = previous;
}

void TDraw2DGraphics::MakeCurrent() {
    g_current = this;
    g_driver = _driver;
    Validate();
    if (_setup == 0) {
        ::Cls();
        Flip(0);
        ::Cls();
        Flip(0);
        _setup = 1;
    }
}

void TDraw2DGraphics::ClearCurrent() {
    g_current = nullptr;
    g_driver = nullptr;
}

TDraw2DGraphics* TDraw2DGraphics::Current() {
    return &State();
}

TDraw2DGraphicsPtr TDraw2DGraphics::Create(const TGraphicsPtr& graphics, TDraw2DDriver* driver) {
    auto state = std::make_shared<TDraw2DGraphics>();
    state->image_font = DefaultFont();
    state->_graphics = graphics;
    state->_driver = driver;
    int depth = 0, hertz = 0, flags = 0;
    graphics->GetSettings(state->viewport_w, state->viewport_h, depth, hertz, flags);
    return state;
}

TDraw2DDriver* CurrentDraw2DDriver() {
    return &Driver();
}

void SetDefaultImageFontMaker(DefaultImageFontMaker maker) {
    g_default_font_maker = maker;
}

void Cls() {
    Driver().Cls();
}

void SetClsColor(int red, int green, int blue) {
    TDraw2DGraphics& s = State();
    s.clscolor_red = red;
    s.clscolor_green = green;
    s.clscolor_blue = blue;
    Driver().SetClsColor(red, green, blue);
}

void GetClsColor(int& red, int& green, int& blue) {
    const TDraw2DGraphics& s = State();
    red = s.clscolor_red;
    green = s.clscolor_green;
    blue = s.clscolor_blue;
}

void SetColor(int red, int green, int blue) {
    TDraw2DGraphics& s = State();
    s.color_red = red;
    s.color_green = green;
    s.color_blue = blue;
    Driver().SetColor(red, green, blue);
}

void GetColor(int& red, int& green, int& blue) {
    const TDraw2DGraphics& s = State();
    red = s.color_red;
    green = s.color_green;
    blue = s.color_blue;
}

void SetAlpha(float alpha) {
    State().color_alpha = alpha;
    Driver().SetAlpha(alpha);
}

float GetAlpha() {
    return State().color_alpha;
}

void SetBlend(int mode) {
    State().blend_mode = mode;
    Driver().SetBlend(mode);
}

int GetBlend() {
    return State().blend_mode;
}

void SetLineWidth(float width) {
    State().line_width = width;
    Driver().SetLineWidth(width);
}

float GetLineWidth() {
    return State().line_width;
}

void SetViewport(int x, int y, int w, int h) {
    TDraw2DGraphics& s = State();
    s.viewport_x = x;
    s.viewport_y = y;
    s.viewport_w = w;
    s.viewport_h = h;
    Driver().SetViewport(x, y, w, h);
}

void GetViewport(int& x, int& y, int& w, int& h) {
    const TDraw2DGraphics& s = State();
    x = s.viewport_x;
    y = s.viewport_y;
    w = s.viewport_w;
    h = s.viewport_h;
}

void SetOrigin(float x, float y) {
    State().origin_x = x;
    State().origin_y = y;
}

void GetOrigin(float& x, float& y) {
    x = State().origin_x;
    y = State().origin_y;
}

void SetHandle(float x, float y) {
    State().handle_x = -x;
    State().handle_y = -y;
}

void GetHandle(float& x, float& y) {
    x = -State().handle_x;
    y = -State().handle_y;
}

void SetRotation(float degrees) {
    State().tform_rot = degrees;
    UpdateTransform();
}

float GetRotation() {
    return State().tform_rot;
}

void SetScale(float scale_x, float scale_y) {
    State().tform_scale_x = scale_x;
    State().tform_scale_y = scale_y;
    UpdateTransform();
}

void GetScale(float& scale_x, float& scale_y) {
    scale_x = State().tform_scale_x;
    scale_y = State().tform_scale_y;
}

void SetRotationScale(float degrees, float scale_x, float scale_y) {
    TDraw2DGraphics& s = State();
    s.tform_rot = degrees;
    s.tform_scale_x = scale_x;
    s.tform_scale_y = scale_y;
    UpdateTransform();
}

void GetTransform(float& ix, float& iy, float& jx, float& jy) {
    const TDraw2DGraphics& s = State();
    ix = s.tform_ix;
    iy = s.tform_iy;
    jx = s.tform_jx;
    jy = s.tform_jy;
}

void GetCollisionTransform(float& ix, float& iy, float& jx, float& jy) {
    ix = g_collision_transform.ix;
    iy = g_collision_transform.iy;
    jx = g_collision_transform.jx;
    jy = g_collision_transform.jy;
}

void Plot(float x, float y) {
    Driver().Plot(x + State().origin_x, y + State().origin_y);
}

void DrawLine(float x1, float y1, float x2, float y2, int last_pixel) {
    const TDraw2DGraphics& s = State();
    const float hx = s.handle_x;
    const float hy = s.handle_y;
    const float tx = x1 + s.origin_x;
    const float ty = y1 + s.origin_y;
    const float ax = hx + x2 - x1;
    const float ay = hy + y2 - y1;
    Driver().DrawLine(hx, hy, ax, ay, tx, ty);
    if (last_pixel != 0) {
        const float px = ax * s.tform_ix + ay * s.tform_iy + tx;
        const float py = ax * s.tform_jx + ay * s.tform_jy + ty;
        if (!PlotSurelyOutside(px, py)) Driver().Plot(px, py);
    }
}

void DrawRect(float x, float y, float w, float h) {
    const TDraw2DGraphics& s = State();
    Driver().DrawRect(s.handle_x, s.handle_y, s.handle_x + w, s.handle_y + h, x + s.origin_x, y + s.origin_y);
}

void DrawOval(float x, float y, float w, float h) {
    const TDraw2DGraphics& s = State();
    Driver().DrawOval(s.handle_x, s.handle_y, s.handle_x + w, s.handle_y + h, x + s.origin_x, y + s.origin_y);
}

void DrawPoly(const std::vector<float>& xy) {
    const TDraw2DGraphics& s = State();
    Driver().DrawPoly(xy, s.handle_x, s.handle_y, s.origin_x, s.origin_y);
}

void SetImageFont(const TImageFontPtr& font) {
    State().image_font = font ? font : DefaultFont();
}

TImageFontPtr GetImageFont() {
    TDraw2DGraphics& s = State();
    if (!s.image_font) s.image_font = DefaultFont();
    return s.image_font;
}

void DrawPixmap(const TPixmapPtr& pixmap, int x, int y) {
    if (pixmap) Driver().DrawPixmap(pixmap, x, y);
}

TPixmapPtr GrabPixmap(int x, int y, int w, int h) {
    return Driver().GrabPixmap(x, y, w, h);
}

TDrawCounts GetDrawCounts() {
    return Driver().DrawCounts();
}

int OvalSegmentCount(float xr, float yr) {
    int segments = static_cast<int>(std::fabs(xr) + std::fabs(yr));
    if (segments < 12) segments = 12;
    return segments & ~3;
}
