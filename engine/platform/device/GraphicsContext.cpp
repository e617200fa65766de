#include "engine/platform/device/GraphicsContext.h"

#include "engine/core/FailureLog.h"
#include "engine/platform/message/PlatformWindow.h"

#include <SDL.h>
#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <cstdio>
#include <cstring>

namespace
{
// EGL reports a number only; its name in the EGL headers is what the
// number means.
void LogEglFailure(const char* call)
{
    char reason[32];
    std::snprintf(reason, sizeof reason, "EGL error 0x%04X", static_cast<unsigned>(eglGetError()));
    LogFailure(call, reason);
}

bool IsSoftwareRendererName(const char* name)
{
    if (name == nullptr)
        return true;
    return std::strstr(name, "llvmpipe") != nullptr || std::strstr(name, "softpipe") != nullptr ||
           std::strstr(name, "swrast") != nullptr || std::strstr(name, "Software") != nullptr;
}

EGLDisplay GetSurfacelessDisplay()
{
    if (!epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless"))
        return EGL_NO_DISPLAY;
    // The EXT entry works before any display exists; the EGL 1.5 core one
    // is only resolvable once a display reports the version.
    return eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
}
}

GraphicsContext::~GraphicsContext()
{
    if (m_sdlContext != nullptr)
    {
        if (SDL_GL_GetCurrentContext() == m_sdlContext)
            SDL_GL_MakeCurrent(static_cast<SDL_Window*>(m_sdlWindow), nullptr);
        SDL_GL_DeleteContext(m_sdlContext);
    }
    if (m_eglContext != nullptr)
    {
        if (eglGetCurrentContext() == m_eglContext)
            eglMakeCurrent(m_eglDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(m_eglDisplay, m_eglContext);
    }
    // The display stays initialised for the life of the process: EGL
    // hands the same one to every later context, and terminating it would
    // unload the driver under objects that still refer to it.
}

std::unique_ptr<GraphicsContext> GraphicsContext::Create(PlatformWindow* window, bool requireAccelerated)
{
    // A refused context must not leave another one of ours uncurrent.
    const EGLDisplay previousDisplay = eglGetCurrentDisplay();
    const EGLContext previousEgl = eglGetCurrentContext();
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    const SDL_GLContext previousSdl = SDL_GL_GetCurrentContext();

    std::unique_ptr<GraphicsContext> context(new GraphicsContext());
    void* sdlWindow = window != nullptr ? window->GetNativeHandle() : nullptr;
    bool usable = sdlWindow != nullptr ? context->CreateSdl(sdlWindow) : context->CreateEgl(requireAccelerated);
    if (usable)
    {
        context->ReadRendererInfo();
        usable = context->m_versionNumber >= 33 && !(requireAccelerated && context->m_software);
    }
    if (usable)
        return context;
    context.reset();
    if (previousEgl != EGL_NO_CONTEXT)
        eglMakeCurrent(previousDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, previousEgl);
    else if (previousSdl != nullptr)
        SDL_GL_MakeCurrent(previousWindow, previousSdl);
    return nullptr;
}

bool GraphicsContext::CreateSdl(void* sdlWindow)
{
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GLContext glContext = SDL_GL_CreateContext(static_cast<SDL_Window*>(sdlWindow));
    if (glContext == nullptr)
    {
        LogFailure("graphics: SDL_GL_CreateContext", SDL_GetError());
        return false;
    }
    m_sdlWindow = sdlWindow;
    m_sdlContext = glContext;
    return MakeCurrent();
}

bool GraphicsContext::CreateEgl(bool requireAccelerated)
{
    (void)requireAccelerated;
    EGLDisplay display = GetSurfacelessDisplay();
    if (display == EGL_NO_DISPLAY)
    {
        LogEglFailure("graphics: surfaceless EGL display");
        return false;
    }
    EGLint major = 0;
    EGLint minor = 0;
    if (!eglInitialize(display, &major, &minor))
    {
        LogEglFailure("graphics: eglInitialize");
        return false;
    }
    m_eglDisplay = display;
    if (!eglBindAPI(EGL_OPENGL_API))
    {
        LogEglFailure("graphics: eglBindAPI");
        return false;
    }
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                        EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    // Surfaceless contexts need no config; fall back to one when the
    // driver lacks the no-config extension.
    EGLConfig config = EGL_NO_CONFIG_KHR;
    if (!epoxy_has_egl_extension(display, "EGL_KHR_no_config_context"))
    {
        const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
        EGLint count = 0;
        if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count < 1)
        {
            LogEglFailure("graphics: eglChooseConfig");
            return false;
        }
    }
    EGLContext glContext = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (glContext == EGL_NO_CONTEXT)
    {
        LogEglFailure("graphics: eglCreateContext");
        return false;
    }
    m_eglContext = glContext;
    return MakeCurrent();
}

void GraphicsContext::ReadRendererInfo()
{
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    m_renderer = renderer != nullptr ? renderer : "";
    m_version = version != nullptr ? version : "";
    m_software = IsSoftwareRendererName(renderer);
    m_versionNumber = epoxy_gl_version();
}

bool GraphicsContext::MakeCurrent()
{
    if (m_sdlContext != nullptr)
        return SDL_GL_MakeCurrent(static_cast<SDL_Window*>(m_sdlWindow), m_sdlContext) == 0;
    if (m_eglContext != nullptr)
        return eglMakeCurrent(m_eglDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, m_eglContext) == EGL_TRUE;
    return false;
}

bool GraphicsContext::ReleaseCurrent()
{
    if (m_sdlContext != nullptr)
        return SDL_GL_MakeCurrent(static_cast<SDL_Window*>(m_sdlWindow), nullptr) == 0;
    if (m_eglContext != nullptr)
        return eglMakeCurrent(m_eglDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT) == EGL_TRUE;
    return false;
}

void GraphicsContext::SwapBuffers()
{
    if (m_sdlWindow != nullptr)
        SDL_GL_SwapWindow(static_cast<SDL_Window*>(m_sdlWindow));
    else
        glFlush();
}

void GraphicsContext::GetDrawableSize(int* width, int* height) const
{
    int w = 0;
    int h = 0;
    if (m_sdlWindow != nullptr)
        SDL_GL_GetDrawableSize(static_cast<SDL_Window*>(m_sdlWindow), &w, &h);
    if (width != nullptr)
        *width = w;
    if (height != nullptr)
        *height = h;
}

void GraphicsContext::SetSwapInterval(int interval)
{
    if (m_sdlContext != nullptr)
        SDL_GL_SetSwapInterval(interval);
}
