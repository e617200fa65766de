#include "engine/platform/CApplicationMain.h"

#include "engine/platform/MessageQueue.h"

LResult CApplicationMain::WindowProc(WindowHandle window, uint32_t id, WParam wParam, LParam lParam)
{
    return DefaultWindowProcedure(window, id, wParam, lParam);
}
