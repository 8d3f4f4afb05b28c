// The compatibility-context kind of the OpenGL graphics driver, and that driver.
#pragma once

#include "backends/gl_common/gl_window.h"

// The one OpenGL driver of compatibility contexts (OpenGL 1.x drawing), made on first use.
TGLGraphicsDriver* GLGraphicsDriver();
