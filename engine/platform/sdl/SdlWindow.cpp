#include "engine/platform/sdl/SdlWindow.h"

#include "engine/core/FailureLog.h"
#include "engine/core/GameText.h"
#include "engine/core/TextEncoding.h"
#include "engine/platform/PlatformMessageBox.h"
#include "engine/platform/message/MessageQueue.h"
#include "engine/platform/sdl/SdlEventPump.h"
#include "engine/platform/input/VirtualKeyMap.h"

#include <SDL.h>

#include <cstring>
#include <string>

namespace
{
const char kWindowDataKey[] = "kvr.window";

// Listeners that turn SDL events into window messages, registered while
// any SdlWindow is open.
int g_openWindows;
int g_windowListener;
int g_keyDownListener;
int g_keyUpListener;

void OnWindowEvent(const SDL_Event& event)
{
    SdlWindow* window = SdlWindow::FromWindowId(event.window.windowID);
    if (window == nullptr)
        return;
    switch (event.window.event)
    {
    case SDL_WINDOWEVENT_CLOSE:
        MessageQueue::Post(window, MSG_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        MessageQueue::Post(window, MSG_SETFOCUS, 0, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        MessageQueue::Post(window, MSG_KILLFOCUS, 0, 0);
        break;
    default:
        break;
    }
}

// Alt held, or F10 (which opens the menu bar), makes a key a system key.
bool IsSystemKey(const SDL_KeyboardEvent& key, uint32_t virtualKey)
{
    return (key.keysym.mod & KMOD_ALT) != 0 || virtualKey == 0x12 || virtualKey == 0x79;
}

// Key flags in their fixed layout: repeat count 1, scan code in bits
// 16-23, bit 29 while Alt is held, bit 30 when the key was already down,
// bit 31 on release.
LParam KeyFlags(const SDL_KeyboardEvent& key, bool down)
{
    uint32_t flags = 1u | ((static_cast<uint32_t>(key.keysym.scancode) & 0xFFu) << 16);
    if ((key.keysym.mod & KMOD_ALT) != 0)
        flags |= 1u << 29;
    if (!down || key.repeat != 0)
        flags |= 1u << 30;
    if (!down)
        flags |= 1u << 31;
    return static_cast<LParam>(flags);
}

void OnKeyEvent(const SDL_Event& event)
{
    const SDL_KeyboardEvent& key = event.key;
    SdlWindow* window = SdlWindow::FromWindowId(key.windowID);
    if (window == nullptr)
        return;
    const uint32_t virtualKey = VirtualKeyFromSdlKey(key.keysym.sym);
    if (virtualKey == 0)
        return;
    const bool down = event.type == SDL_KEYDOWN;
    uint32_t id = down ? MSG_KEYDOWN : MSG_KEYUP;
    if (IsSystemKey(key, virtualKey))
        id = down ? MSG_SYSKEYDOWN : MSG_SYSKEYUP;
    MessageQueue::Post(window, id, virtualKey, KeyFlags(key, down));
}

// Video drivers that show nothing. When no display answers, SDL would fall
// back to its offscreen driver and the game would run unseen for ever; these
// serve only when the user names them in SDL_VIDEODRIVER.
bool ShowsNothing(const char* driver)
{
    return std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
}

// Unless the user chose a driver, SDL may choose among those that show a
// window.
void KeepToDriversThatShow()
{
    if (SDL_GetHint(SDL_HINT_VIDEODRIVER) != nullptr)
        return;
    std::string drivers;
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i)
    {
        const char* driver = SDL_GetVideoDriver(i);
        if (driver == nullptr || ShowsNothing(driver))
            continue;
        if (!drivers.empty())
            drivers += ',';
        drivers += driver;
    }
    SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
}

// Why no window can be opened, for the one who started the program: the
// display it was told to use, or that it was told none.
std::string NoDisplayMessage()
{
    std::string why;
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"})
    {
        const char* display = SDL_getenv(variable);
        if (display == nullptr || *display == '\0')
            continue;
        why += why.empty() ? "" : ", and ";
        why += "the display \"" + std::string(display) + "\" that " + variable + " names can't be reached";
    }
    if (why.empty())
        why = "no display is named (neither DISPLAY nor WAYLAND_DISPLAY is set)";
    return "画面を開けません。\n\nThe window can't be opened: " + why +
           ". Start the program inside a desktop session, or choose a video driver with SDL_VIDEODRIVER.";
}

// Said at once, where no box can show it.
void ReportNoDisplay()
{
    const std::string text = ToGameText(NoDisplayMessage());
    if (!DivertMessageBox(text.c_str(), "Error"))
        PrintMessageBox(text.c_str(), "Error");
}

void AddWindowListeners()
{
    if (g_openWindows++ > 0)
        return;
    g_windowListener = SdlEventPump::AddListener(SDL_WINDOWEVENT, OnWindowEvent);
    g_keyDownListener = SdlEventPump::AddListener(SDL_KEYDOWN, OnKeyEvent);
    g_keyUpListener = SdlEventPump::AddListener(SDL_KEYUP, OnKeyEvent);
    SdlEventPump::Acquire();
}

void RemoveWindowListeners()
{
    if (g_openWindows == 0 || --g_openWindows > 0)
        return;
    SdlEventPump::RemoveListener(g_windowListener);
    SdlEventPump::RemoveListener(g_keyDownListener);
    SdlEventPump::RemoveListener(g_keyUpListener);
    SdlEventPump::Release();
}
}

SdlWindow::SdlWindow(WindowProcedure procedure) : PlatformWindow(procedure)
{
}

SdlWindow::~SdlWindow()
{
    // Deleting the object closes the OS window without MSG_DESTROY: by
    // then nobody listens, and a late quit message would end the next loop.
    CloseNative();
}

bool SdlWindow::Create(const char* title, const WindowBounds& bounds, const WindowFrame& frame)
{
    if (m_window != nullptr)
        return false;
    // SDL would turn Ctrl+C into a quit event that no window owns; the
    // signal keeps its usual meaning instead.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    KeepToDriversThatShow();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
    {
        LogFailure("window: SDL_InitSubSystem", SDL_GetError());
        ReportNoDisplay();
        return false;
    }
    m_videoStarted = true;
    m_frame = frame;

    PlatformWindow::SetTitle(title);
    const std::string utf8Title = ConvertShiftJisToUtf8(GetTitle());
    const int clientWidth = bounds.width - frame.left - frame.right;
    const int clientHeight = bounds.height - frame.top - frame.bottom;
    m_window = SDL_CreateWindow(utf8Title.c_str(), bounds.x + frame.left, bounds.y + frame.top,
                                clientWidth > 1 ? clientWidth : 1, clientHeight > 1 ? clientHeight : 1,
                                SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (m_window == nullptr)
    {
        LogFailure("window: SDL_CreateWindow", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        m_videoStarted = false;
        return false;
    }
    SDL_SetWindowData(m_window, kWindowDataKey, this);
    AddWindowListeners();
    return true;
}

void SdlWindow::CloseNative()
{
    if (m_window != nullptr)
    {
        SDL_SetWindowData(m_window, kWindowDataKey, nullptr);
        SDL_DestroyWindow(m_window);
        m_window = nullptr;
        RemoveWindowListeners();
    }
    if (m_videoStarted)
    {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        m_videoStarted = false;
    }
}

void SdlWindow::DestroyNative()
{
    CloseNative();
}

void SdlWindow::SetTitle(const char* text)
{
    PlatformWindow::SetTitle(text);
    if (m_window != nullptr)
        SDL_SetWindowTitle(m_window, ConvertShiftJisToUtf8(GetTitle()).c_str());
}

void SdlWindow::SetBounds(const WindowBounds& bounds)
{
    PlatformWindow::SetBounds(bounds);
    if (m_window == nullptr)
        return;
    const int clientWidth = bounds.width - m_frame.left - m_frame.right;
    const int clientHeight = bounds.height - m_frame.top - m_frame.bottom;
    SDL_SetWindowSize(m_window, clientWidth > 1 ? clientWidth : 1, clientHeight > 1 ? clientHeight : 1);
    SDL_SetWindowPosition(m_window, bounds.x + m_frame.left, bounds.y + m_frame.top);
}

WindowBounds SdlWindow::GetBounds() const
{
    if (m_window == nullptr)
        return PlatformWindow::GetBounds();
    WindowBounds bounds = GetClientBounds();
    bounds.x -= m_frame.left;
    bounds.y -= m_frame.top;
    bounds.width += m_frame.left + m_frame.right;
    bounds.height += m_frame.top + m_frame.bottom;
    return bounds;
}

WindowBounds SdlWindow::GetClientBounds() const
{
    WindowBounds bounds;
    if (m_window == nullptr)
        return bounds;
    SDL_GetWindowPosition(m_window, &bounds.x, &bounds.y);
    SDL_GetWindowSize(m_window, &bounds.width, &bounds.height);
    return bounds;
}

void SdlWindow::Show()
{
    PlatformWindow::Show();
    if (m_window != nullptr)
        SDL_ShowWindow(m_window);
}

void SdlWindow::Hide()
{
    if (m_window != nullptr)
        SDL_HideWindow(m_window);
}

void SdlWindow::Minimize()
{
    PlatformWindow::Minimize();
    if (m_window != nullptr)
        SDL_MinimizeWindow(m_window);
}

void SdlWindow::Restore()
{
    PlatformWindow::Restore();
    if (m_window != nullptr)
        SDL_RestoreWindow(m_window);
}

void SdlWindow::Raise()
{
    if (m_window != nullptr)
        SDL_RaiseWindow(m_window);
}

bool SdlWindow::IsVisible() const
{
    if (m_window == nullptr)
        return false;
    return (SDL_GetWindowFlags(m_window) & SDL_WINDOW_SHOWN) != 0;
}

bool SdlWindow::IsMinimized() const
{
    if (m_window == nullptr)
        return false;
    return (SDL_GetWindowFlags(m_window) & SDL_WINDOW_MINIMIZED) != 0;
}

bool SdlWindow::HasFocus() const
{
    if (m_window == nullptr)
        return false;
    return (SDL_GetWindowFlags(m_window) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

bool SdlWindow::GetScreenSize(int& width, int& height) const
{
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return false;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0)
        return false;
    width = mode.w;
    height = mode.h;
    return true;
}

uint32_t SdlWindow::GetWindowId() const
{
    return m_window != nullptr ? SDL_GetWindowID(m_window) : 0;
}

SdlWindow* SdlWindow::FromWindowId(uint32_t windowId)
{
    if (windowId == 0 || SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return nullptr;
    SDL_Window* window = SDL_GetWindowFromID(windowId);
    if (window == nullptr)
        return nullptr;
    return static_cast<SdlWindow*>(SDL_GetWindowData(window, kWindowDataKey));
}
