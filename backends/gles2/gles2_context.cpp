// ES 2.0 contexts: asked of SDL with the ES profile; the offscreen picture of a scaled window is a
// framebuffer object on a texture, scaled into the back buffer by drawing that texture (ES 2.0 has no
// blits).
#include "backends/gles2/gles2_context.h"

#include "backends/gl_common/gl_picture_copy_state.h"
#include "backends/gles2/gles2_shaders.h"

#include <GLES2/gl2.h>
#include <SDL.h>

namespace {

constexpr int kESMajorVersion = 2;
constexpr int kESMinorVersion = 0;

// What drawing the picture into the back buffer changes beyond the copy state, put back after, so the
// drawing back-end's cached state stays true.
class TPresentState {
public:
    TPresentState() {
        blend_ = glIsEnabled(GL_BLEND);
        glGetIntegerv(GL_CURRENT_PROGRAM, &program_);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture_);
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &buffer_);
        glGetIntegerv(GL_VIEWPORT, viewport_);
    }
    ~TPresentState() {
        if (blend_) glEnable(GL_BLEND);
        glUseProgram(static_cast<GLuint>(program_));
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture_));
        glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(buffer_));
        glViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
    }
    TPresentState(const TPresentState&) = delete;
    TPresentState& operator=(const TPresentState&) = delete;

private:
    GLboolean blend_;
    GLint program_ = 0, texture_ = 0, buffer_ = 0;
    GLint viewport_[4] = {};
};

class TESContextKind final : public TGLContextKind {
public:
    const char* Name() const override { return "OpenGL ES 2.0"; }

    void RequestContext() override {
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, kESMajorVersion);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, kESMinorVersion);
    }

    // Core in ES 2.0: linked, nothing to look up.
    void LoadEntryPoints() override {}

    bool CreatePictureTarget(TGLContextRecord& rec) override {
        GLint previous_texture = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous_texture);
        GLuint texture = 0, fbo = 0, depth = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        // The picture's own size, whatever it is: ES 2.0 takes any size without mipmaps and with
        // clamping to the edge.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, rec.width, rec.height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous_texture));
        glGenFramebuffers(1, &fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
        if (rec.flags & GRAPHICS_DEPTHBUFFER) {
            // ES 2.0's one core depth format; no stencil alongside it without an extension.
            glGenRenderbuffers(1, &depth);
            glBindRenderbuffer(GL_RENDERBUFFER, depth);
            glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, rec.width, rec.height);
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
            glBindRenderbuffer(GL_RENDERBUFFER, 0);
        }
        rec.fbo = fbo;
        rec.color_target = texture;
        rec.depth_target = depth;
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            DeletePictureTarget(rec);
            return false;
        }
        TPictureCopyState copying;
        glViewport(0, 0, rec.width, rec.height);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        return true;
    }

    void DeletePictureTarget(TGLContextRecord& rec) override {
        GLuint fbo = rec.fbo, texture = rec.color_target, depth = rec.depth_target;
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &fbo);
        glDeleteTextures(1, &texture);
        if (depth) glDeleteRenderbuffers(1, &depth);
        rec.fbo = rec.color_target = rec.depth_target = 0;
    }

    void BindFramebuffer(uint32_t fbo) override { glBindFramebuffer(GL_FRAMEBUFFER, fbo); }

    void PresentPicture(const TGLContextRecord& rec, const TPicturePlacement& place,
                        int drawable_height) override {
        TPictureCopyState copying;
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        DrawPicture(rec, place, drawable_height, place.integer_scale ? GL_NEAREST : GL_LINEAR);
        glBindFramebuffer(GL_FRAMEBUFFER, rec.fbo);
    }

    void CopyBackBufferToPicture(const TGLContextRecord& rec) override {
        TPictureCopyState copying;
        GLint previous_texture = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous_texture);
        // Copies read the bound framebuffer: the back buffer, into the picture's texture.
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glBindTexture(GL_TEXTURE_2D, rec.color_target);
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, rec.width, rec.height);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous_texture));
        glBindFramebuffer(GL_FRAMEBUFFER, rec.fbo);
    }

    void CopyPictureToBackBuffer(const TGLContextRecord& rec) override {
        TPictureCopyState copying;
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        TPicturePlacement whole;
        whole.width = rec.width;
        whole.height = rec.height;
        whole.integer_scale = true;
        DrawPicture(rec, whole, rec.height, GL_NEAREST);
    }

private:
    // Draws the picture's texture over `place` of the bound framebuffer (drawable_height rows), sampled
    // with `filter`, unblended.
    void DrawPicture(const TGLContextRecord& rec, const TPicturePlacement& place, int drawable_height,
                     GLint filter) {
        TPresentState saved;
        if (!program_.program) program_ = CompileGLES2Program();
        if (!program_.program) return;
        glDisable(GL_BLEND);
        // GL rows count upward from the bottom of the window.
        glViewport(place.x, drawable_height - (place.y + place.height), place.width, place.height);
        SetGLES2Projection(program_, 1, 1);
        glUseProgram(program_.program);
        SetGLES2Switches(program_, true, false);
        glBindTexture(GL_TEXTURE_2D, rec.color_target);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        // The unit square, y down, showing the texture upside down: its first row is the picture's
        // bottom one, as GL stores it.
        struct Corner {
            GLfloat x, y, u, v;
            GLubyte rgba[4];
        };
        const Corner corners[4] = {{0, 0, 0, 1, {255, 255, 255, 255}},
                                   {1, 0, 1, 1, {255, 255, 255, 255}},
                                   {0, 1, 0, 0, {255, 255, 255, 255}},
                                   {1, 1, 1, 0, {255, 255, 255, 255}}};
        glVertexAttribPointer(GLES2_ATTRIB_POSITION, 2, GL_FLOAT, GL_FALSE, sizeof(Corner), &corners[0].x);
        glVertexAttribPointer(GLES2_ATTRIB_TEXCOORD, 2, GL_FLOAT, GL_FALSE, sizeof(Corner), &corners[0].u);
        glVertexAttribPointer(GLES2_ATTRIB_COLOR, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Corner),
                              corners[0].rgba);
        glEnableVertexAttribArray(GLES2_ATTRIB_POSITION);
        glEnableVertexAttribArray(GLES2_ATTRIB_TEXCOORD);
        glEnableVertexAttribArray(GLES2_ATTRIB_COLOR);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    }

    // Made in the first context that presents; contexts of this kind share it.
    TGLES2Program program_;
};

} // namespace

TGLGraphicsDriver* GLES2GraphicsDriver() {
    static TESContextKind* kind = new TESContextKind;
    static TGLGraphicsDriver* driver = new TGLGraphicsDriver(*kind);
    return driver;
}
