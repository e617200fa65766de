#include "bench/support/HandGl.h"

namespace
{
GLuint Compile(GLenum type, const char* source)
{
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    return shader;
}
}

HandGlProgram::HandGlProgram(const char* vertexSource, const char* fragmentSource)
{
    m_program = glCreateProgram();
    m_vertexShader = Compile(GL_VERTEX_SHADER, vertexSource);
    m_fragmentShader = Compile(GL_FRAGMENT_SHADER, fragmentSource);
    glAttachShader(m_program, m_vertexShader);
    glAttachShader(m_program, m_fragmentShader);
    glLinkProgram(m_program);
    glUseProgram(m_program);
}

HandGlProgram::~HandGlProgram()
{
    glUseProgram(0);
    glDeleteShader(m_vertexShader);
    glDeleteShader(m_fragmentShader);
    glDeleteProgram(m_program);
}

HandGlTarget::HandGlTarget(int32_t width, int32_t height, bool depth)
{
    glGenRenderbuffers(1, &m_colorBuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, m_colorBuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glGenFramebuffers(1, &m_framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_colorBuffer);
    if (depth)
    {
        glGenRenderbuffers(1, &m_depthBuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, m_depthBuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, m_depthBuffer);
    }
    glViewport(0, 0, width, height);
}

HandGlTarget::~HandGlTarget()
{
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &m_framebuffer);
    glDeleteRenderbuffers(1, &m_colorBuffer);
    if (m_depthBuffer != 0)
        glDeleteRenderbuffers(1, &m_depthBuffer);
}
