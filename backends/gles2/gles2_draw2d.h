// TGLES2Draw2DDriver: the drawing back-end over OpenGL ES 2.0.
#pragma once

#include "backends/gl_common/gl_batch_driver.h"
#include "backends/gles2/gles2_shaders.h"

#include <vector>

// One shader program (gles2_shaders.h) whose uniforms stand for the fixed-function switches: the
// texturing switch and the mask blend's alpha test. Batches go through one streamed vertex buffer; quads
// are sent as the two triangles a quad is drawn as, outlines as triangle fans, pixel writes as a
// textured quad sampled texel for texel.
class TGLES2Draw2DDriver : public TGLBatchDriver {
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

private:
    void DrawPoints(const Vertex* vertices, int count);
    // Sends `count` vertices of GL primitive `mode` through the vertex buffer.
    void DrawArrays(uint32_t mode, const Vertex* vertices, int count);
    TGLES2Program program_;
    uint32_t vertex_buffer_ = 0;
    bool textured_ = false;
    bool alpha_test_ = false;
    std::vector<Vertex> triangles_; // quads split into triangles, reused between batches
    std::vector<Vertex> points_;    // points moved to their pixels' centres, reused between batches
    float target_height_ = 0.0f;    // of the picture drawn into, for window coordinates
};

// The single OpenGL ES 2.0 drawing back-end.
TGLES2Draw2DDriver* GLES2Draw2DDriver();
