#include "engine/platform/CApplicationMain.h"

#include "engine/platform/message/MessageQueue.h"

LResult CApplicationMain::WindowProc(WindowHandle window, uint32_t id, WParam wParam, LParam lParam)
{
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
