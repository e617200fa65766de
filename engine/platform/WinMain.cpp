#include "engine/platform/WinMain.h"

#include "engine/platform/CApplicationMain.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/message/MessageQueue.h"

#include <string>

CApplicationMain* g_pApplication = nullptr;

namespace
{
char g_instanceToken;
}

InstanceHandle GetProgramInstance()
{
    return &g_instanceToken;
}

int WinMain(InstanceHandle instance, InstanceHandle previous, char* commandLine, int showMode)
{
    (void)previous;
    (void)commandLine;
    (void)showMode;

    g_pApplication = CreateApplication();
    if (g_pApplication == nullptr)
        return -1;
    if (!g_pApplication->Init(instance, WndProc))
    {
        // The process ends either way; free what Init left behind.
        delete g_pApplication;
        g_pApplication = nullptr;
        return -1;
    }

    for (;;)
    {
        Message message;
        if (MessageQueue::Peek(message))
        {
            if (message.id == MSG_QUIT)
                break;
            MessageQueue::Dispatch(message);
            continue;
        }
        WaitNextFrame();
        g_pApplication->Update();
        g_pApplication->Render();
    }

    delete g_pApplication;
    g_pApplication = nullptr;
    return 0;
}

int RunWinMain(int argc, char** argv)
{
    std::string commandLine;
    for (int i = 1; i < argc; ++i)
    {
        if (i > 1)
            commandLine += ' ';
        commandLine += argv[i];
    }
    const int showNormal = 1;
    return WinMain(GetProgramInstance(), nullptr, commandLine.data(), showNormal);
}

LResult WndProc(WindowHandle window, uint32_t id, WParam wParam, LParam lParam)
{
    if (id == MSG_DESTROY)
    {
        MessageQueue::PostQuit(0);
        return 0;
    }
    if (g_pApplication != nullptr)
        return g_pApplication->WindowProc(window, id, wParam, lParam);
    return DefaultWindowProcedure(window, id, wParam, lParam);
}
