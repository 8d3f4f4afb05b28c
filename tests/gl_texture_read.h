// Shared by the GL image tests: reads level 0 of a texture back as a pixmap, on either renderer.
#pragma once

#include "render/pixmap.h"
#include "tests/draw_test_support.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL.h>

#include <cstdint>

// Level 0 of a texture as a format-6 pixmap, read without disturbing the drawing layer's bound
// texture or framebuffer. With a compatibility context width and height are set to the texture's;
// ES 2.0 cannot tell a texture's size, so there they must hold it on entry (the read then checks the
// pixels, not the size).
inline TPixmapPtr ReadTexture(uint32_t name, int& width, int& height) {
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    if (!draw_test::OnGles2()) {
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        TPixmapPtr p = CreatePixmap(width, height, PF_RGBA8888);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, p->pixels);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
        return p;
    }
    // Attached to a framebuffer of its own and read like a picture (rows bottom-up in GL's terms,
    // which for a texture are its own rows top-first).
    auto gen = reinterpret_cast<PFNGLGENFRAMEBUFFERSPROC>(SDL_GL_GetProcAddress("glGenFramebuffers"));
    auto bind = reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(SDL_GL_GetProcAddress("glBindFramebuffer"));
    auto attach =
        reinterpret_cast<PFNGLFRAMEBUFFERTEXTURE2DPROC>(SDL_GL_GetProcAddress("glFramebufferTexture2D"));
    auto drop = reinterpret_cast<PFNGLDELETEFRAMEBUFFERSPROC>(SDL_GL_GetProcAddress("glDeleteFramebuffers"));
    GLint previous_fbo = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous_fbo);
    GLuint fbo = 0;
    gen(1, &fbo);
    bind(GL_FRAMEBUFFER, fbo);
    attach(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, name, 0);
    TPixmapPtr p = CreatePixmap(width, height, PF_RGBA8888, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, p->pixels);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    bind(GL_FRAMEBUFFER, static_cast<GLuint>(previous_fbo));
    drop(1, &fbo);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
    return p;
}
