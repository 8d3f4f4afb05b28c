// The ES 2.0 kind of the OpenGL graphics driver, and that driver.
#pragma once

#include "backends/gl_common/gl_window.h"

// The one OpenGL graphics driver of ES 2.0 contexts, made on first use.
TGLGraphicsDriver* GLES2GraphicsDriver();
