#include "engine/platform/CApplicationMain.h"

#include "engine/platform/CComInit.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/CImeInput.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/sound/CSound.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/message/MessageQueue.h"

namespace
{
constexpr const char* kWindowName = "QOR";
constexpr int kClientWidth = 640;
constexpr int kClientHeight = 480;
constexpr int kIconId = 105;
constexpr uint32_t kFramesPerSecond = 60;

}

int CApplicationMain::Init(InstanceHandle instance, WindowProcedure procedure)
{
    m_system = new CSystem();
    if (!m_system->CreateMainWindow(instance, kWindowName, -1, -1, kClientWidth, kClientHeight,
                                    WINSTYLE_CAPTION | WINSTYLE_SYSMENU | WINSTYLE_MINIMIZEBOX, kIconId,
                                    procedure, nullptr))
        return 0;

    m_graphics = new CGraphics();
    if (!m_graphics->Create(m_system))
        return 0;

    m_sound = new CSound();
    if (!m_sound->Create(m_system))
        return 0;

    m_input = new CInput();
    if (!m_input->Init(m_system))
        return 0;

    m_comInit = new CComInit();
    m_comInit->Init(m_system);

    InitFrameTimer(m_system, kFramesPerSecond);
    // The window creation hid the cursor once already; the game draws its own.
    m_system->ShowCursor(0);
    return 1;
}

int CApplicationMain::Update()
{
    if (m_input == nullptr)
        return 0;
    return m_input->Update();
}

int CApplicationMain::Render()
{
    if (m_graphics == nullptr || !m_graphics->BeginScene())
        return 0;
    return m_graphics->EndScene();
}

uint32_t CApplicationMain::Shutdown()
{
    // The device goes first: its objects may still refer to the window.
    if (m_graphics != nullptr)
    {
        m_graphics->Destroy();
        delete m_graphics;
        m_graphics = nullptr;
    }
    if (m_input != nullptr)
    {
        m_input->Release();
        delete m_input;
        m_input = nullptr;
    }
    if (m_sound != nullptr)
    {
        m_sound->Release();
        delete m_sound;
        m_sound = nullptr;
    }
    if (m_comInit != nullptr)
    {
        m_comInit->Uninit();
        delete m_comInit;
        m_comInit = nullptr;
    }
    if (m_system != nullptr)
    {
        // The frame timer's title report must not reach a freed window.
        SetFrameTimerSystem(nullptr);
        m_system->Release();
        delete m_system;
        m_system = nullptr;
    }
    return EndFrameTimer();
}

LResult CApplicationMain::WindowProc(WindowHandle window, uint32_t id, WParam wParam, LParam lParam)
{
    // The IME sees composition keys before the game does.
    if (m_ime != nullptr && m_ime->OnMessage(window, id, wParam, lParam) != 0)
        return 0;

    switch (id)
    {
    case MSG_DEVICE_LOST:
        OnLostDevice();
        return 0;
    case MSG_DEVICE_RESET:
        OnResetDevice();
        return 0;
    case MSG_SYSCOMMAND:
        // No screen saver while the game runs.
        if (wParam == SYSCMD_SCREENSAVE)
            return 1;
        break;
    case MSG_CLOSE:
    case MSG_DESTROY:
        // Closing ends the main loop; the window goes with the process.
        MessageQueue::PostQuit(0);
        return 0;
    case MSG_SYSKEYDOWN:
    case MSG_SYSKEYUP:
        // Alt and F10 would open the system menu and stall the game; F12 is
        // the game's own. Alt+F4 passes and still closes the window.
        if (wParam == VKEY_MENU || wParam == VKEY_F10 || wParam == VKEY_F12)
            return 0;
        break;
    default:
        break;
    }
    return DefaultWindowProcedure(window, id, wParam, lParam);
}
