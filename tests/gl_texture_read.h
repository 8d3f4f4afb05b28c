// Shared by the GL image tests: reads level 0 of a texture back as a pixmap.
#pragma once

#include "render/pixmap.h"

#include <GL/gl.h>

#include <cstdint>

// Level 0 of a texture as a format-6 pixmap, read without disturbing the drawing layer's bound
// texture; width and height are the texture's.
inline TPixmapPtr ReadTexture(uint32_t name, int& width, int& height) {
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    TPixmapPtr p = CreatePixmap(width, height, PF_RGBA8888);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, p->pixels);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
    return p;
}
