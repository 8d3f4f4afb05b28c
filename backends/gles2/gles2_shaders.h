// The one shader program of the ES 2.0 back-end: coloured or textured-and-tinted vertices in picture
// pixels, with the mask blend's alpha test done by discarding.
#pragma once

#include <cstdint>

// Fixed attribute locations, so that vertex layouts are set without asking the program.
enum : uint32_t {
    GLES2_ATTRIB_POSITION = 0,
    GLES2_ATTRIB_TEXCOORD = 1,
    GLES2_ATTRIB_COLOR = 2,
};

// The switches are uniforms rather than one program per state, so that every draw uses the one
// program and a state change never costs a program switch.
struct TGLES2Program {
    uint32_t program = 0; // 0 when it could not be made
    int projection = -1;  // mat4: picture pixels (y down) to clip space
    int textured = -1;    // bool: texel times vertex colour, else the vertex colour alone
    int alpha_test = -1;  // bool: fragments of alpha below one half are discarded
};

// Compiles and links the program in the current context (0 in .program on failure, with a line on
// standard error naming the stage). It samples texture unit 0.
TGLES2Program CompileGLES2Program();

// Sets the program's switches; it must be in use.
void SetGLES2Switches(const TGLES2Program& program, bool textured, bool alpha_test);

// Sets the projection of a y-down w x h pixel space, the matrix a y-down orthographic projection of
// that size has, so that vertices land where the fixed-function pipeline puts them.
void SetGLES2Projection(const TGLES2Program& program, int w, int h);
