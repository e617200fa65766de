#pragma once

#include "tools/config/CConfigPage.h"

// The 24 actions: the key and the pad element bound to each, changed by
// pressing the row's button and then the new key or pad button; camera and
// mouse sensitivity; pad vibration.
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
        ID_LABELS = 600,
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
    int GetWaitingKey() const { return m_waitingKey; }
    int GetWaitingPad() const { return m_waitingPad; }

protected:
    DialogTemplate MakeTemplate() const override;

private:
    void ShowBindings();
    void StopWaiting();

    uint32_t m_keys[kActionCount] = {};
    uint32_t m_padElements[kActionCount] = {};
    int m_waitingKey = -1;
    int m_waitingPad = -1;
};
