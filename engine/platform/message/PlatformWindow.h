#pragma once

#include "engine/platform/message/Message.h"

#include <string>

// Outer bounds of a window in screen pixels.
struct WindowBounds
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// A top-level window as the rest of the program sees it: a procedure that
// receives its messages and a few operations on the window itself. Backends
// (SDL window, GTK dialog, headless window for tests) derive from it.
class PlatformWindow
{
public:
    explicit PlatformWindow(WindowProcedure procedure) : m_procedure(procedure) {}
    // Drops the window's messages still waiting in the queue, so none is
    // dispatched to a window that no longer exists.
    virtual ~PlatformWindow();

    PlatformWindow(const PlatformWindow&) = delete;
    PlatformWindow& operator=(const PlatformWindow&) = delete;

    WindowProcedure GetProcedure() const { return m_procedure; }
    void SetProcedure(WindowProcedure procedure) { m_procedure = procedure; }

    // Title text is Shift-JIS, as everywhere in the program.
    virtual void SetTitle(const char* text) { m_title = text != nullptr ? text : ""; }
    const char* GetTitle() const { return m_title.c_str(); }

    virtual void SetBounds(const WindowBounds& bounds) { m_bounds = bounds; }
    virtual WindowBounds GetBounds() const { return m_bounds; }

    virtual void Show() { m_visible = true; m_minimized = false; }
    virtual void Minimize() { m_minimized = true; }
    virtual void Restore() { m_minimized = false; }
    virtual void Raise() {}
    virtual bool IsVisible() const { return m_visible; }
    virtual bool IsMinimized() const { return m_minimized; }
    virtual bool HasFocus() const { return false; }

    // Size of the screen the window lives on (the primary screen); false
    // when the backend has no screen.
    virtual bool GetScreenSize(int& width, int& height) const
    {
        (void)width;
        (void)height;
        return false;
    }

    // The backend's own window (an SDL_Window* for the SDL backend, a
    // GtkWidget* for dialogs), for the few platform classes that wrap the
    // same library; null for a headless window.
    virtual void* GetNativeHandle() const { return nullptr; }

    // Sends MSG_DESTROY to the procedure, then closes the OS window. The
    // object stays valid (its owner deletes it); a second call does nothing.
    void Destroy();
    bool IsDestroyed() const { return m_destroyed; }

protected:
    virtual void DestroyNative() {}

private:
    WindowProcedure m_procedure = nullptr;
    std::string m_title;
    WindowBounds m_bounds;
    bool m_visible = false;
    bool m_minimized = false;
    bool m_destroyed = false;
};
