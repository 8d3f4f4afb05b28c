// The OpenGL image frames, for code that reaches them through the gl1 back-end (they are shared with
// gles2 and live in gl_common).
#pragma once

#include "backends/gl_common/gl_image_frame.h"
