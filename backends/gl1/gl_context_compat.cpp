// Compatibility contexts: asked of SDL without a profile; the offscreen picture of a scaled window is a
// framebuffer object with renderbuffers, scaled and copied by blits.
#include "backends/gl1/gl_context_compat.h"

#include "backends/gl_common/gl_picture_copy_state.h"

#include <SDL.h>
#include <SDL_opengl.h>

namespace {

// Framebuffer-object entry points, looked up once a context exists (core names, else the extension's).
struct TFramebufferApi {
    PFNGLGENFRAMEBUFFERSPROC GenFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC BindFramebuffer = nullptr;
    PFNGLGENRENDERBUFFERSPROC GenRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC DeleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC BindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC RenderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC FramebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus = nullptr;
    PFNGLBLITFRAMEBUFFERPROC BlitFramebuffer = nullptr;

    bool Complete() const {
        return GenFramebuffers && DeleteFramebuffers && BindFramebuffer && GenRenderbuffers &&
               DeleteRenderbuffers && BindRenderbuffer && RenderbufferStorage && FramebufferRenderbuffer &&
               CheckFramebufferStatus && BlitFramebuffer;
    }
};

template <typename F> void LoadEntry(F& entry, const char* core, const char* extension) {
    entry = reinterpret_cast<F>(SDL_GL_GetProcAddress(core));
    if (!entry) entry = reinterpret_cast<F>(SDL_GL_GetProcAddress(extension));
}

class TCompatContextKind final : public TGLContextKind {
public:
    const char* Name() const override { return "OpenGL"; }

    void RequestContext() override {
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, 0);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, kDefaultMajorVersion);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, kDefaultMinorVersion);
    }

    void LoadEntryPoints() override {
        LoadEntry(fb_.GenFramebuffers, "glGenFramebuffers", "glGenFramebuffersEXT");
        LoadEntry(fb_.DeleteFramebuffers, "glDeleteFramebuffers", "glDeleteFramebuffersEXT");
        LoadEntry(fb_.BindFramebuffer, "glBindFramebuffer", "glBindFramebufferEXT");
        LoadEntry(fb_.GenRenderbuffers, "glGenRenderbuffers", "glGenRenderbuffersEXT");
        LoadEntry(fb_.DeleteRenderbuffers, "glDeleteRenderbuffers", "glDeleteRenderbuffersEXT");
        LoadEntry(fb_.BindRenderbuffer, "glBindRenderbuffer", "glBindRenderbufferEXT");
        LoadEntry(fb_.RenderbufferStorage, "glRenderbufferStorage", "glRenderbufferStorageEXT");
        LoadEntry(fb_.FramebufferRenderbuffer, "glFramebufferRenderbuffer", "glFramebufferRenderbufferEXT");
        LoadEntry(fb_.CheckFramebufferStatus, "glCheckFramebufferStatus", "glCheckFramebufferStatusEXT");
        LoadEntry(fb_.BlitFramebuffer, "glBlitFramebuffer", "glBlitFramebufferEXT");
    }

    bool CreatePictureTarget(TGLContextRecord& rec) override {
        if (!fb_.Complete()) return false;
        TPictureCopyState copying;
        GLuint fbo = 0, color = 0, depth = 0;
        fb_.GenFramebuffers(1, &fbo);
        fb_.BindFramebuffer(GL_FRAMEBUFFER, fbo);
        fb_.GenRenderbuffers(1, &color);
        fb_.BindRenderbuffer(GL_RENDERBUFFER, color);
        fb_.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, rec.width, rec.height);
        fb_.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, color);
        if (rec.flags & (GRAPHICS_DEPTHBUFFER | GRAPHICS_STENCILBUFFER)) {
            fb_.GenRenderbuffers(1, &depth);
            fb_.BindRenderbuffer(GL_RENDERBUFFER, depth);
            fb_.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, rec.width, rec.height);
            fb_.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
            fb_.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth);
        }
        fb_.BindRenderbuffer(GL_RENDERBUFFER, 0);
        rec.fbo = fbo;
        rec.color_target = color;
        rec.depth_target = depth;
        if (fb_.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            DeletePictureTarget(rec);
            return false;
        }
        glViewport(0, 0, rec.width, rec.height);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        return true;
    }

    void DeletePictureTarget(TGLContextRecord& rec) override {
        GLuint fbo = rec.fbo, color = rec.color_target, depth = rec.depth_target;
        fb_.BindFramebuffer(GL_FRAMEBUFFER, 0);
        fb_.DeleteFramebuffers(1, &fbo);
        fb_.DeleteRenderbuffers(1, &color);
        if (depth) fb_.DeleteRenderbuffers(1, &depth);
        rec.fbo = rec.color_target = rec.depth_target = 0;
    }

    void BindFramebuffer(uint32_t fbo) override {
        if (fb_.BindFramebuffer) fb_.BindFramebuffer(GL_FRAMEBUFFER, fbo);
    }

    void PresentPicture(const TGLContextRecord& rec, const TPicturePlacement& place,
                        int drawable_height) override {
        TPictureCopyState copying;
        fb_.BindFramebuffer(GL_READ_FRAMEBUFFER, rec.fbo);
        fb_.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        // GL rows count upward from the bottom of the window.
        const int bottom = drawable_height - (place.y + place.height);
        fb_.BlitFramebuffer(0, 0, rec.width, rec.height, place.x, bottom, place.x + place.width,
                            bottom + place.height, GL_COLOR_BUFFER_BIT,
                            place.integer_scale ? GL_NEAREST : GL_LINEAR);
        fb_.BindFramebuffer(GL_FRAMEBUFFER, rec.fbo);
    }

    void CopyBackBufferToPicture(const TGLContextRecord& rec) override { CopyPicture(rec, 0, rec.fbo); }
    void CopyPictureToBackBuffer(const TGLContextRecord& rec) override { CopyPicture(rec, rec.fbo, 0); }

private:
    // SDL's own defaults: a context of any version that keeps the fixed-function pipeline.
    static constexpr int kDefaultMajorVersion = 2;
    static constexpr int kDefaultMinorVersion = 1;

    void CopyPicture(const TGLContextRecord& rec, GLuint from, GLuint to) {
        TPictureCopyState copying;
        fb_.BindFramebuffer(GL_READ_FRAMEBUFFER, from);
        fb_.BindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
        fb_.BlitFramebuffer(0, 0, rec.width, rec.height, 0, 0, rec.width, rec.height, GL_COLOR_BUFFER_BIT,
                            GL_NEAREST);
        fb_.BindFramebuffer(GL_FRAMEBUFFER, to);
    }

    TFramebufferApi fb_;
};

} // namespace

TGLGraphicsDriver* GLGraphicsDriver() {
    static TCompatContextKind* kind = new TCompatContextKind;
    static TGLGraphicsDriver* driver = new TGLGraphicsDriver(*kind);
    return driver;
}
