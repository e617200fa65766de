#include "tools/config/CControlsPage.h"

#include "engine/platform/input/CInput.h"
#include "engine/platform/input/KeyCodes.h"

#include <cmath>
#include <cstring>

namespace
{
constexpr int kRows = 12;
constexpr int kRowHeight = 30;
// Sensitivity sliders run in tenths: 1 is 0.1, 100 is 10.0.
constexpr int kSensitivitySteps = 10;

const char* KeyText(uint32_t code)
{
    const char* name = code < 256 ? CInput::GetKeyName(static_cast<uint8_t>(code)) : "";
    return name[0] != '\0' ? name : "-";
}

const char* PadText(uint32_t element)
{
    return element < 64 ? CInput::GetPadElementName(static_cast<uint8_t>(element)) : "-";
}

int ToSteps(float sensitivity)
{
    return static_cast<int>(std::lround(sensitivity * kSensitivitySteps));
}
}

DialogTemplate CControlsPage::MakeTemplate() const
{
    DialogTemplate page("Controls", kPageWidth, kPageHeight, true);
    for (uint32_t action = 0; action < kActionCount; ++action)
    {
        const int x = action < kRows ? 16 : 328;
        const int y = kPageTop + static_cast<int>(action % kRows) * kRowHeight;
        const int id = static_cast<int>(action);
        page.Add(DialogControlKind::Static, ID_NAME + id, x, y + 4, 90, 20,
                 CInput::GetPadElementName(static_cast<uint8_t>(action)))
            .Add(DialogControlKind::Button, ID_KEY + id, x + 92, y, 100, 26)
            .Add(DialogControlKind::Button, ID_PAD + id, x + 196, y, 100, 26);
    }
    const int y = kPageTop + kRows * kRowHeight + 8;
    page.Add(DialogControlKind::Static, ID_LABELS, 16, y + 4, 130, 20, "Camera sensitivity")
        .Add(DialogControlKind::Trackbar, ID_CAMERA_TRACK, 150, y, 200, 30)
        .Add(DialogControlKind::Static, ID_CAMERA_VALUE, 356, y + 4, 50, 20)
        .Add(DialogControlKind::Static, ID_LABELS + 1, 16, y + 36, 130, 20, "Mouse sensitivity")
        .Add(DialogControlKind::Trackbar, ID_MOUSE_TRACK, 150, y + 32, 200, 30)
        .Add(DialogControlKind::Static, ID_MOUSE_VALUE, 356, y + 36, 50, 20)
        .Add(DialogControlKind::CheckBox, ID_VIBRATION, 430, y + 2, 180, 24, "Pad vibration");
    return page;
}

void CControlsPage::ShowBindings()
{
    for (uint32_t action = 0; action < kActionCount; ++action)
    {
        const int id = static_cast<int>(action);
        Window()->SetControlText(ID_KEY + id, id == m_waitingKey ? "Press a key" : KeyText(m_keys[action]));
        Window()->SetControlText(ID_PAD + id, id == m_waitingPad ? "Press a button" : PadText(m_padElements[action]));
    }
}

void CControlsPage::Fill(const tag_TOLQGAMECONFIG& config)
{
    StopWaiting();
    std::memcpy(m_keys, config.keys, sizeof(m_keys));
    std::memcpy(m_padElements, config.padElements, sizeof(m_padElements));
    ShowBindings();
    Window()->SetTrackRange(ID_CAMERA_TRACK, 1, 10 * kSensitivitySteps);
    Window()->SetTrackRange(ID_MOUSE_TRACK, 1, 10 * kSensitivitySteps);
    Window()->SetTrackPosition(ID_CAMERA_TRACK, ToSteps(config.cameraSensitivity));
    Window()->SetTrackPosition(ID_MOUSE_TRACK, ToSteps(config.mouseSensitivity));
    OnScroll(ID_CAMERA_TRACK, ToSteps(config.cameraSensitivity));
    OnScroll(ID_MOUSE_TRACK, ToSteps(config.mouseSensitivity));
    Window()->SetCheck(ID_VIBRATION, config.padVibration != 0);
}

void CControlsPage::Store(tag_TOLQGAMECONFIG* config) const
{
    std::memcpy(config->keys, m_keys, sizeof(m_keys));
    std::memcpy(config->padElements, m_padElements, sizeof(m_padElements));
    config->cameraSensitivity = static_cast<float>(Window()->GetTrackPosition(ID_CAMERA_TRACK)) / kSensitivitySteps;
    config->mouseSensitivity = static_cast<float>(Window()->GetTrackPosition(ID_MOUSE_TRACK)) / kSensitivitySteps;
    config->padVibration = Window()->GetCheck(ID_VIBRATION) ? 1 : 0;
}

void CControlsPage::OnCommand(int id, uint32_t code)
{
    (void)code;
    const int action = id >= ID_PAD ? id - ID_PAD : id - ID_KEY;
    if (id < ID_KEY || id >= ID_PAD + static_cast<int>(kActionCount) || action >= static_cast<int>(kActionCount))
        return;
    StopWaiting();
    if (id >= ID_PAD)
        m_waitingPad = action;
    else
    {
        // Keys go to this row instead of the focused button until one comes.
        m_waitingKey = action;
        Parent()->SetKeyCapture(true);
    }
    ShowBindings();
}

void CControlsPage::OnScroll(int id, int position)
{
    if (id != ID_CAMERA_TRACK && id != ID_MOUSE_TRACK)
        return;
    char text[16];
    std::snprintf(text, sizeof(text), "%.1f", static_cast<double>(position) / kSensitivitySteps);
    Window()->SetControlText(id + 1, text);
}

void CControlsPage::OnKey(uint8_t code)
{
    if (m_waitingKey < 0)
        return;
    // Escape gives up and keeps the old key.
    if (code != KEY_ESCAPE)
        m_keys[m_waitingKey] = code;
    StopWaiting();
    ShowBindings();
}

void CControlsPage::OnFrame(CInput* input)
{
    if (m_waitingPad < 0 || input == nullptr)
        return;
    // The tool's input object maps action n to pad element n and no keys,
    // so a pressed action button names the element.
    tag_KVRPADSTATE* pad = input->GetPadState(0);
    for (uint32_t element = 0; element < kActionCount; ++element)
    {
        if (CInput::GetMappedButton(pad, static_cast<uint8_t>(8 + element)) == 0)
            continue;
        m_padElements[m_waitingPad] = element;
        StopWaiting();
        ShowBindings();
        return;
    }
}

void CControlsPage::OnHide()
{
    if (m_waitingKey < 0 && m_waitingPad < 0)
        return;
    StopWaiting();
    ShowBindings();
}

void CControlsPage::StopWaiting()
{
    if (m_waitingKey >= 0 && Parent() != nullptr)
        Parent()->SetKeyCapture(false);
    m_waitingKey = -1;
    m_waitingPad = -1;
}
