#pragma once

#include <memory>
#include <string>

class PlatformWindow;

// The OpenGL 3.3 compatibility context that the graphics device draws with.
// A window with an SDL window behind it gets an SDL context on that window;
// a window without one (tests, headless runs) gets an EGL context on Mesa's
// surfaceless platform, which draws only into framebuffer objects.
class GraphicsContext
{
public:
    ~GraphicsContext();

    GraphicsContext(const GraphicsContext&) = delete;
    GraphicsContext& operator=(const GraphicsContext&) = delete;

    // Null when no context can be made. With requireAccelerated a context
    // on a software rasterizer counts as a failure.
    static std::unique_ptr<GraphicsContext> Create(PlatformWindow* window, bool requireAccelerated);

    bool MakeCurrent();
    // Leaves the calling thread without a current context, so that another
    // thread can make this one current (a context is current on one thread
    // at a time).
    bool ReleaseCurrent();
    // Shows the window's back buffer; nothing without a window.
    void SwapBuffers();
    // The size of the window's drawable, or 0, 0 without a window.
    void GetDrawableSize(int* width, int* height) const;
    void SetSwapInterval(int interval);

    bool HasWindow() const { return m_sdlWindow != nullptr; }
    void* GetSdlWindow() const { return m_sdlWindow; }
    bool IsSoftware() const { return m_software; }
    const std::string& GetRendererName() const { return m_renderer; }
    const std::string& GetVersionText() const { return m_version; }
    // The GL version as major * 10 + minor (45 for 4.5).
    int GetVersionNumber() const { return m_versionNumber; }

private:
    GraphicsContext() = default;
    bool CreateSdl(void* sdlWindow);
    bool CreateEgl(bool requireAccelerated);
    void ReadRendererInfo();

    void* m_sdlWindow = nullptr;
    void* m_sdlContext = nullptr;
    void* m_eglDisplay = nullptr;
    void* m_eglContext = nullptr;
    bool m_software = false;
    int m_versionNumber = 0;
    std::string m_renderer;
    std::string m_version;
};
