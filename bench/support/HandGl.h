#pragma once

#include <epoxy/gl.h>

#include <cstdint>

// What the hand-written GL baselines share: plain GL with no engine code,
// on a context a BenchGraphics made current.

// A program of a vertex and a fragment shader, linked and in use from its
// creation on; deleted with it.
class HandGlProgram
{
public:
    HandGlProgram(const char* vertexSource, const char* fragmentSource);
    ~HandGlProgram();
    HandGlProgram(const HandGlProgram&) = delete;
    HandGlProgram& operator=(const HandGlProgram&) = delete;

    GLint Uniform(const char* name) const { return glGetUniformLocation(m_program, name); }

private:
    GLuint m_program = 0;
    GLuint m_vertexShader = 0;
    GLuint m_fragmentShader = 0;
};

// A framebuffer of an RGBA8 colour buffer (and a depth-stencil buffer when
// asked), bound with the viewport over it from its creation on.
class HandGlTarget
{
public:
    HandGlTarget(int32_t width, int32_t height, bool depth);
    ~HandGlTarget();
    HandGlTarget(const HandGlTarget&) = delete;
    HandGlTarget& operator=(const HandGlTarget&) = delete;

private:
    GLuint m_framebuffer = 0;
    GLuint m_colorBuffer = 0;
    GLuint m_depthBuffer = 0;
};
