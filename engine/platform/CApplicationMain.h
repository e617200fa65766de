#pragma once

#include "engine/platform/message/Message.h"

#include <cstdint>

class CSystem;

// The application that the entry and the window procedure drive: the
// configuration tool and the game derive from it. The virtual operations
// keep this order.
class CApplicationMain
{
public:
    CApplicationMain() = default;
    virtual ~CApplicationMain() = default;

    CApplicationMain(const CApplicationMain&) = delete;
    CApplicationMain& operator=(const CApplicationMain&) = delete;

    virtual int Init(InstanceHandle instance, WindowProcedure procedure) = 0;
    virtual int Update() = 0;
    virtual int OnLostDevice() = 0;
    virtual int OnResetDevice() = 0;
    virtual int Render() = 0;
    virtual uint32_t Shutdown() = 0;
    virtual LResult WindowProc(WindowHandle window, uint32_t id, WParam wParam, LParam lParam);

    CSystem* GetSystem() const { return m_system; }

protected:
    CSystem* m_system = nullptr;
};
