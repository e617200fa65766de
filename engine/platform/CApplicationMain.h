#pragma once

#include "engine/platform/message/Message.h"

#include <cstdint>

class CComInit;
class CGraphics;
class CImeInput;
class CInput;
class CSound;
class CSystem;

// The application that the entry and the window procedure drive: the
// configuration tool and the game derive from it. It owns the window, the
// graphics and sound devices, the input object and the COM holder; the
// virtual operations keep this order.
class CApplicationMain
{
public:
    CApplicationMain() = default;
    // Frees nothing: a concrete application's destructor calls Shutdown.
    virtual ~CApplicationMain() = default;

    CApplicationMain(const CApplicationMain&) = delete;
    CApplicationMain& operator=(const CApplicationMain&) = delete;

    // Window, graphics, sound, input, COM holder, frame timer at 60 per
    // second, cursor hidden; 0 at the first failing step, whose objects and
    // those before it stay for Shutdown to free.
    virtual int Init(InstanceHandle instance, WindowProcedure procedure);
    // Polls input; its result.
    virtual int Update();
    virtual int OnLostDevice() = 0;
    virtual int OnResetDevice() = 0;
    // Begins the scene (cleared) and presents it; 0 when the scene could
    // not begin.
    virtual int Render();
    // Frees what exists in a fixed order, clears every field and ends the
    // timer period; safe to call again.
    virtual uint32_t Shutdown();
    virtual LResult WindowProc(WindowHandle window, uint32_t id, WParam wParam, LParam lParam);

    CSystem* GetSystem() const { return m_system; }
    CGraphics* GetGraphics() const { return m_graphics; }
    CInput* GetInput() const { return m_input; }
    CSound* GetSound() const { return m_sound; }
    CComInit* GetComInit() const { return m_comInit; }

    // An IME object sees every message first; nonzero from its filter
    // consumes the message. Neither owned nor released by the application.
    void SetImeInput(CImeInput* ime) { m_ime = ime; }
    CImeInput* GetImeInput() const { return m_ime; }

protected:
    CSystem* m_system = nullptr;
    CGraphics* m_graphics = nullptr;
    CInput* m_input = nullptr;
    CSound* m_sound = nullptr;
    CComInit* m_comInit = nullptr;
    CImeInput* m_ime = nullptr;
};
