// TGLDraw2DDriver: the drawing back-end over OpenGL 1.x in a compatibility context.
#pragma once

#include "backends/gl_common/gl_batch_driver.h"

// The fixed-function pipeline: a y-down orthographic projection, the alpha test for the mask blend,
// texturing switched with GL_TEXTURE_2D, client vertex arrays for batches and begin/end blocks for
// primitives sent alone, glDrawPixels for pixel writes.
class TGLDraw2DDriver : public TGLBatchDriver {
public:
    std::string ToString() const;
    bool TextureSizeAccepted(int width, int height) override;
    TGLGraphicsDriver* Graphics() override;

protected:
    void SendVertices(TPrimitive kind, const Vertex* vertices, int count, bool immediate) override;
    void ApplyBlend(int mode) override;
    void ApplyTexturing(bool on) override;
    void PrepareContext(int w, int h) override;
    void WritePixels(const TPixmapPtr& rgba, int x, int y) override;
};

// The single OpenGL 1.x drawing back-end.
TGLDraw2DDriver* GLDraw2DDriver();
