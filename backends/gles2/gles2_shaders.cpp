// Shader sources, compilation and the pixel projection of the ES 2.0 back-end.
#include "backends/gles2/gles2_shaders.h"

#include <GLES2/gl2.h>

#include <cstdio>
#include <string>

namespace {

const char* const kVertexShader = R"(
attribute vec2 a_position;
attribute vec2 a_texcoord;
attribute vec4 a_color;
uniform mat4 u_projection;
varying vec2 v_texcoord;
varying vec4 v_color;
void main() {
    v_texcoord = a_texcoord;
    v_color = a_color;
    gl_Position = u_projection * vec4(a_position, 0.0, 1.0);
    gl_PointSize = 1.0;
}
)";

// Texel times colour is what fixed-function texturing does by default; the alpha test passes alpha
// of one half or more. Samplers default to lowp in fragment shaders, which a driver may fetch as
// 16-bit floats: a texel byte is then no longer exact and tinted texels round a step away from the
// fixed-function pictures, so the sampler gets the float's precision.
const char* const kFragmentShader = R"(
#ifdef GL_FRAGMENT_PRECISION_HIGH
precision highp float;
precision highp sampler2D;
#else
precision mediump float;
precision mediump sampler2D;
#endif
uniform sampler2D u_texture;
uniform bool u_textured;
uniform bool u_alpha_test;
varying vec2 v_texcoord;
varying vec4 v_color;
void main() {
    vec4 color = u_textured ? texture2D(u_texture, v_texcoord) * v_color : v_color;
    if (u_alpha_test && color.a < 0.5) discard;
    gl_FragColor = color;
}
)";

GLuint CompileStage(GLenum stage, const char* source, const char* name) {
    GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok == GL_TRUE) return shader;
    char log[512] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    std::fprintf(stderr, "graphics: the %s shader does not compile: %s\n", name, log);
    glDeleteShader(shader);
    return 0;
}

} // namespace

TGLES2Program CompileGLES2Program() {
    TGLES2Program result;
    const GLuint vertex = CompileStage(GL_VERTEX_SHADER, kVertexShader, "vertex");
    const GLuint fragment = CompileStage(GL_FRAGMENT_SHADER, kFragmentShader, "fragment");
    if (!vertex || !fragment) {
        if (vertex) glDeleteShader(vertex);
        if (fragment) glDeleteShader(fragment);
        return result;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glBindAttribLocation(program, GLES2_ATTRIB_POSITION, "a_position");
    glBindAttribLocation(program, GLES2_ATTRIB_TEXCOORD, "a_texcoord");
    glBindAttribLocation(program, GLES2_ATTRIB_COLOR, "a_color");
    glLinkProgram(program);
    // The program keeps what it needs of them.
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
        char log[512] = {};
        glGetProgramInfoLog(program, sizeof log, nullptr, log);
        std::fprintf(stderr, "graphics: the shader program does not link: %s\n", log);
        glDeleteProgram(program);
        return result;
    }
    result.program = program;
    result.projection = glGetUniformLocation(program, "u_projection");
    result.textured = glGetUniformLocation(program, "u_textured");
    result.alpha_test = glGetUniformLocation(program, "u_alpha_test");
    // The sampler starts on texture unit 0, the one the back-end uses.
    return result;
}

void SetGLES2Switches(const TGLES2Program& program, bool textured, bool alpha_test) {
    glUniform1i(program.textured, textured ? 1 : 0);
    glUniform1i(program.alpha_test, alpha_test ? 1 : 0);
}

void SetGLES2Projection(const TGLES2Program& program, int w, int h) {
    // Uniforms belong to the program: set with it in use.
    GLint previous = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
    glUseProgram(program.program);
    // Column-major; x: 0..w -> -1..1, y: 0..h -> 1..-1, z: -1..1 -> 1..-1 as the orthographic
    // projection with near -1 and far 1 has it.
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    const GLfloat matrix[16] = {
        2.0f / fw, 0.0f,       0.0f,  0.0f, //
        0.0f,      2.0f / -fh, 0.0f,  0.0f, //
        0.0f,      0.0f,       -1.0f, 0.0f, //
        -1.0f,     1.0f,       0.0f,  1.0f,
    };
    glUniformMatrix4fv(program.projection, 1, GL_FALSE, matrix);
    glUseProgram(static_cast<GLuint>(previous));
}
