// The drawable-frame contract: what a drawing back-end makes of one image frame (a texture, or a
// software copy) and draws.
#pragma once

// A drawable frame: the back-end's own copy of one image frame (a texture, for the GL back-ends).
class TImageFrame {
public:
    virtual ~TImageFrame() = default;
    // Draws the frame stretched over the local rectangle (x0, y0)-(x1, y1), transformed by the current
    // 2 x 2 transform and translated by (tx, ty).
    virtual void Draw(float x0, float y0, float x1, float y1, float tx, float ty) = 0;
    // Like Draw, showing only the frame's pixel rectangle (sx, sy)-(sx + sw, sy + sh), so that many
    // small pictures packed into one frame draw without a texture change between them.
    virtual void DrawPart(float sx, float sy, float sw, float sh, float x0, float y0, float x1, float y1,
                          float tx, float ty) = 0;
};
