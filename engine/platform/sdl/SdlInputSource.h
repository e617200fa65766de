#pragma once

#include "engine/platform/input/CPressLatch.h"
#include "engine/platform/input/InputSource.h"

#include <SDL.h>

#include <atomic>
#include <mutex>

// Input devices through SDL: the keyboard and mouse of an SDL window, up to
// 16 joysticks and up to 4 game controllers standing in as game pads of
// users 0-3. Everything reads as idle while the window doesn't have the
// keyboard focus.
//
// Mouse motion, the wheel and a press that is let go before the next frame
// only exist as events. They are collected through an SDL event watch,
// which sees every event as it is queued and removes none, so the window's
// own event pump keeps receiving all of them; the keys' and the mouse
// buttons' presses fold into each frame's reading through a press latch.
class SdlInputSource : public InputSource
{
public:
    SdlInputSource();
    ~SdlInputSource() override;

    SdlInputSource(const SdlInputSource&) = delete;
    SdlInputSource& operator=(const SdlInputSource&) = delete;

    // A pad that SDL knows as a game controller is opened as a game pad and,
    // by default, left out of the joystick list, so that one pad never
    // drives two logical pads. Set before OpenJoysticks.
    void SetListGamepadsAsJoysticks(bool list) { m_listGamepadsAsJoysticks = list; }

    int OpenSystem() override;
    int OpenKeyboard(WindowHandle window) override;
    int OpenMouse(WindowHandle window) override;
    int OpenJoysticks() override;
    void Close() override;

    void BeginFrame() override;
    int ReadKeyboard(uint8_t keys[256]) override;
    int ReadMouse(InputMouseState& state) override;

    int GetJoystickCount() const override { return m_joystickCount; }
    bool HasJoystick(int joystick) const override;
    int ReadJoystick(int joystick, InputJoystickState& state) override;
    const char* GetJoystickName(int joystick) const override;

    int ReadGamepad(int user, InputGamepadState& state) override;
    int SetGamepadVibration(int user, uint16_t left, uint16_t right) override;

    int GetCursorPosition(int& x, int& y) override;
    void SetCursorPosition(int x, int y) override;

    // The key code of an SDL scancode; 0 for keys that have none.
    static uint8_t TranslateScancode(SDL_Scancode scancode);

private:
    static int WatchEvent(void* userdata, SDL_Event* event);
    void OnEvent(const SDL_Event& event);
    bool IsOurWindow(uint32_t windowId) const;
    bool HasFocus() const;
    void OpenNewGamepads();
    bool IsOpenAsGamepad(SDL_JoystickID id) const;
    bool IsOpenAsJoystick(SDL_JoystickID id) const;

    WindowHandle m_window = nullptr;
    SDL_Window* m_sdlWindow = nullptr;
    bool m_systemOpen = false;
    bool m_listGamepadsAsJoysticks = false;

    // Filled by the event watch, emptied by the reads.
    std::mutex m_eventLock;
    int32_t m_motionX = 0;
    int32_t m_motionY = 0;
    int32_t m_wheel = 0;
    CPressLatch m_keyPresses;
    CPressLatch m_mousePresses;
    std::atomic<bool> m_devicesChanged{false};

    SDL_Joystick* m_joysticks[INPUT_MAX_JOYSTICKS] = {};
    char m_joystickNames[INPUT_MAX_JOYSTICKS][INPUT_JOYSTICK_NAME_SIZE] = {};
    int m_joystickCount = 0;
    SDL_GameController* m_gamepads[INPUT_MAX_GAMEPADS] = {};
};
