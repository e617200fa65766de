#pragma once

#include "engine/platform/message/PlatformWindow.h"

#include <cstdint>

struct SDL_Window;

// How much of a window's outer bounds its decoration takes on each side.
// The SDL window is only the client area; the window manager draws its own
// frame, so the insets are the metrics the program reckons with.
struct WindowFrame
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// A top-level window on an SDL2 window. Always made with OpenGL support:
// the graphics device creates its context on GetNativeHandle() (the
// SDL_Window*). Window events reach the window's procedure as posted
// messages (close, focus, keys).
class SdlWindow : public PlatformWindow
{
public:
    explicit SdlWindow(WindowProcedure procedure);
    ~SdlWindow() override;

    // Opens the window hidden. bounds are the outer bounds; the client area
    // is what remains inside frame. The title is Shift-JIS. Starts SDL's
    // video subsystem (reference counted); false when it or the window
    // can't be made.
    bool Create(const char* title, const WindowBounds& bounds, const WindowFrame& frame);

    void SetTitle(const char* text) override;
    void SetBounds(const WindowBounds& bounds) override;
    WindowBounds GetBounds() const override;
    // Position and size of the client area alone.
    WindowBounds GetClientBounds() const;
    const WindowFrame& GetFrame() const { return m_frame; }
    void SetFrame(const WindowFrame& frame) { m_frame = frame; }

    void Show() override;
    void Hide();
    void Minimize() override;
    void Restore() override;
    void Raise() override;
    bool IsVisible() const override;
    bool IsMinimized() const override;
    bool HasFocus() const override;
    bool GetScreenSize(int& width, int& height) const override;
    void* GetNativeHandle() const override { return m_window; }

    uint32_t GetWindowId() const;
    // The live SdlWindow with that SDL window id, or null.
    static SdlWindow* FromWindowId(uint32_t windowId);

protected:
    void DestroyNative() override;

private:
    void CloseNative();

    SDL_Window* m_window = nullptr;
    WindowFrame m_frame;
    bool m_videoStarted = false;
};
