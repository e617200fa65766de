#pragma once

#include "tools/config/CConfigPage.h"

// The 24 actions in a grid, in action order, each row named by what the
// action does in the game with its pad element as a hint below, then its
// key and its pad button. Pressing a row's key or pad button starts a wait
// for the new key or pad button; Escape ends the wait and keeps the old
// one. A key or pad button that another action has is swapped with it, and
// the line under the grid says so. Then camera and mouse sensitivity, and
// pad vibration.
class CControlsPage : public CConfigPage
{
public:
    enum ControlId
    {
        ID_NAME = 200,    // + action
        ID_KEY = 300,     // + action
        ID_PAD = 400,     // + action
        ID_CAMERA_TRACK = 500,
        ID_CAMERA_VALUE,
        ID_MOUSE_TRACK,
        ID_MOUSE_VALUE,
        ID_VIBRATION,
        ID_STATUS,
        ID_LABELS = 600,
        ID_HINT = 700,    // + action
        ID_HEADINGS = 800, // action, key, pad button; for each of the two columns
    };

    const char* GetTitle() const override { return "Controls"; }
    void Fill(const tag_TOLQGAMECONFIG& config) override;
    void Store(tag_TOLQGAMECONFIG* config) const override;
    void OnCommand(int id, uint32_t code) override;
    void OnScroll(int id, int position) override;
    void OnKey(uint8_t code) override;
    void OnFrame(CInput* input) override;
    void OnHide() override;

    // The action waiting for a key or a pad button, or -1.
    int GetWaitingKey() const { return m_waiting == Binding::Key ? m_waitingAction : -1; }
    int GetWaitingPad() const { return m_waiting == Binding::PadButton ? m_waitingAction : -1; }

    // The name the row of an action shows (Shift-JIS), "" past the actions.
    static const char* GetActionName(uint32_t action);

protected:
    DialogTemplate MakeTemplate() const override;

private:
    // What a row's button waits for.
    enum class Binding
    {
        Nothing,
        Key,
        PadButton,
    };

    void StartWaiting(Binding binding, int action);
    void StopWaiting();
    // Gives the waiting action the key or pad element, swapping with the
    // action that had it, and says what happened.
    void Bind(uint32_t value);
    void ShowBindings();
    void ShowStatus(const std::string& utf8);

    uint32_t m_keys[kActionCount] = {};
    uint32_t m_padElements[kActionCount] = {};
    Binding m_waiting = Binding::Nothing;
    int m_waitingAction = -1;
};
