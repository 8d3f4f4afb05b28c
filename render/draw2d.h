// The 2D drawing state of a graphics context and the global drawing functions.
#pragma once

#include "render/graphics.h"
#include "render/pixmap.h"

#include <cstdint>
#include <memory>
#include <vector>

class TImageFrame;
class TImageFont;
class TDraw2DDriver;
class TDraw2DGraphics;
using TImageFramePtr = std::shared_ptr<TImageFrame>;
using TImageFontPtr = std::shared_ptr<TImageFont>;
using TDraw2DGraphicsPtr = std::shared_ptr<TDraw2DGraphics>;
using TGraphicsPtr = std::shared_ptr<TGraphics>;

// Blend modes of SetBlend.
enum : int { BLEND_MASK = 1, BLEND_SOLID = 2, BLEND_ALPHA = 3, BLEND_LIGHT = 4, BLEND_SHADE = 5 };

// The drawing state bound to one graphics context.
class TDraw2DGraphics : public TGraphics {
public:
    int color_red = 255, color_green = 255, color_blue = 255; // 0..255
    float color_alpha = 1.0f;                                 // 0..1
    int clscolor_red = 0, clscolor_green = 0, clscolor_blue = 0;
    float line_width = 1.0f; // pixels
    float tform_rot = 0.0f;  // degrees, clockwise on screen
    float tform_scale_x = 1.0f, tform_scale_y = 1.0f;
    // Local (x, y) goes to (x * ix + y * iy, x * jx + y * jy); derived from rotation and scale.
    float tform_ix = 1.0f, tform_iy = 0.0f, tform_jx = 0.0f, tform_jy = 1.0f;
    int viewport_x = 0, viewport_y = 0, viewport_w = 0, viewport_h = 0;
    float origin_x = 0.0f, origin_y = 0.0f; // added to every drawing position
    // The negated value given to SetHandle, added to local points before the transform.
    float handle_x = 0.0f, handle_y = 0.0f;
    TImageFontPtr image_font;
    int blend_mode = BLEND_MASK;
    TGraphicsPtr _graphics;
    TDraw2DDriver* _driver = nullptr; // the back-ends are singletons that outlive every state
    int _setup = 0;                   // 1 once both buffers were cleared on first use

    TGraphicsDriver* Driver() override;
    void GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) override;
    void Close() override;

    // Re-applies the whole state through the global setters (after a context reset).
    void Validate();
    // Becomes the current state; the first time also clears both buffers.
    void MakeCurrent();

    static void ClearCurrent();
    // The current state, or an idle one (no context, a back-end that draws nothing) when none is.
    static TDraw2DGraphics* Current();
    static TDraw2DGraphicsPtr Create(const TGraphicsPtr& graphics, TDraw2DDriver* driver);
};

// The default image font is built by the font layer; it registers its maker here, and the maker runs
// once, when the first drawing state is created (or on the first GetImageFont after registration).
using DefaultImageFontMaker = TImageFontPtr (*)();
void SetDefaultImageFontMaker(DefaultImageFontMaker maker);

void Cls();
void SetClsColor(int red, int green, int blue);
void GetClsColor(int& red, int& green, int& blue);
void SetColor(int red, int green, int blue);
void GetColor(int& red, int& green, int& blue);
void SetAlpha(float alpha);
float GetAlpha();
void SetBlend(int mode);
int GetBlend();
void SetLineWidth(float width);
float GetLineWidth();
void SetViewport(int x, int y, int w, int h);
void GetViewport(int& x, int& y, int& w, int& h);
void SetOrigin(float x, float y);
void GetOrigin(float& x, float& y);
void SetHandle(float x, float y);
void GetHandle(float& x, float& y);
void SetRotation(float degrees);
float GetRotation();
void SetScale(float scale_x, float scale_y);
void GetScale(float& scale_x, float& scale_y);
void SetRotationScale(float degrees, float scale_x, float scale_y);
// The 2 x 2 transform derived from the rotation and scale of the current state.
void GetTransform(float& ix, float& iy, float& jx, float& jy);
// The transform the pixel collisions place frames with; follows every rotation or scale change,
// also while no drawing state is current.
void GetCollisionTransform(float& ix, float& iy, float& jx, float& jy);

void Plot(float x, float y);
// With last_pixel non-zero the end point (x2, y2) is plotted too, which a GL line leaves out.
void DrawLine(float x1, float y1, float x2, float y2, int last_pixel = 1);
void DrawRect(float x, float y, float w, float h);
void DrawOval(float x, float y, float w, float h);
void DrawPoly(const std::vector<float>& xy);
void SetImageFont(const TImageFontPtr& font);
TImageFontPtr GetImageFont();
void DrawPixmap(const TPixmapPtr& pixmap, int x, int y);
TPixmapPtr GrabPixmap(int x, int y, int w, int h);

// What the drawing back-end has sent to its device since the program started: draw calls and texture
// binds. The GL back-end counts both; a back-end without such a device reports zeros. For measuring:
// the difference over a stretch of frames, divided by their number, is the cost per frame.
struct TDrawCounts {
    uint64_t draw_calls = 0;
    uint64_t texture_binds = 0;
};
TDrawCounts GetDrawCounts();

// Segment count of an oval with radii xr, yr (pixels): |xr| + |yr| truncated, at least 12, then
// rounded down to a multiple of 4 so the polygon is symmetric about both axes.
int OvalSegmentCount(float xr, float yr);
