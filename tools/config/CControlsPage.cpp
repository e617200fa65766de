#include "tools/config/CControlsPage.h"

#include "engine/core/GameText.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/input/KeyCodes.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace
{
// The actions as the game's own texts name them, in action order.
const char* const kActionNames[kActionCount] = {
    "武器切り替え上", "武器切り替え下", "使用しない",   "使用しない",           "移動上",
    "移動下",         "移動左",         "移動右",       "カメラ正面",           "カメラ上",
    "カメラ下",       "カメラ左",       "カメラ右",     "視点切り替え",         "ジャンプ/決定",
    "アイテム/キャンセル", "攻撃",      "エレメンタルアタック", "エレメンタルトリガー", "カバーアクション",
    "ロックオン",     "構え",           "参加者リスト", "メニュー",
};

// The first four actions also move the cursor of the game's menus, which
// their names do not tell (two of them are unused in battle).
const char* MenuRole(uint32_t action)
{
    switch (action)
    {
    case KVR_ACTION_DP_UP:
        return "up";
    case KVR_ACTION_DP_DOWN:
        return "down";
    case KVR_ACTION_DP_LEFT:
        return "left";
    case KVR_ACTION_DP_RIGHT:
        return "right";
    default:
        return nullptr;
    }
}

// Sensitivity sliders run in tenths: 1 is 0.1, 100 is 10.0.
constexpr int kSensitivitySteps = 10;
// Device elements a pad button can be: those the input layer reads.
constexpr uint32_t kReadableElements = 48;

// Controls page, in pixels of the page. The grid has two columns of twelve
// rows; each row is the action's name with its hint below, its key button
// and its pad button. Buttons are as tall as the theme draws them.
constexpr int kRowsPerColumn = 12;
constexpr int kColumnLeft[2] = {16, 452};
constexpr int kHeadingTop = kPageTop + 8;
constexpr int kGridTop = kHeadingTop + 24;
constexpr int kRowPitch = 38;
constexpr int kNameWidth = 160;
constexpr int kNameHeight = 18;
constexpr int kHintTop = 18;
constexpr int kHintHeight = 14;
constexpr int kKeyLeft = 166;
constexpr int kKeyWidth = 134;
constexpr int kPadLeft = 306;
constexpr int kPadWidth = 116;
constexpr int kSlidersTop = kGridTop + kRowsPerColumn * kRowPitch + 8;
constexpr int kSliderPitch = 36;
constexpr int kSliderLabelWidth = 136;
constexpr int kSliderLeft = 150;
constexpr int kSliderWidth = 220;
constexpr int kSliderValueLeft = 376;
constexpr int kStatusTop = kSlidersTop + 2 * kSliderPitch + 4;

const char* KeyText(uint32_t code)
{
    const char* name = code < 256 ? CInput::GetKeyName(static_cast<uint8_t>(code)) : "";
    return name != nullptr && name[0] != '\0' ? name : "-";
}

const char* PadText(uint32_t element)
{
    const char* name = element < KVR_PAD_ELEMENT_COUNT ? CInput::GetPadElementName(static_cast<uint8_t>(element)) : "";
    return name[0] != '\0' ? name : "-";
}

std::string HintText(uint32_t action)
{
    std::string hint = CInput::GetPadElementName(static_cast<uint8_t>(action));
    if (const char* role = MenuRole(action))
        hint += std::string(", menus: ") + role;
    return hint;
}

// "攻撃" with the quotes the status line puts around names.
std::string Quoted(uint32_t action)
{
    std::string text = "\"";
    text += kActionNames[action];
    text += '"';
    return text;
}

int ToSteps(float sensitivity)
{
    return static_cast<int>(std::lround(sensitivity * kSensitivitySteps));
}
}

const char* CControlsPage::GetActionName(uint32_t action)
{
    return action < kActionCount ? GameText(kActionNames[action]) : "";
}

DialogTemplate CControlsPage::MakeTemplate() const
{
    DialogTemplate page("Controls", kPageWidth, kPageHeight, true);
    for (int column = 0; column < 2; ++column)
    {
        const int x = kColumnLeft[column];
        const int id = ID_HEADINGS + column * 3;
        page.Add(DialogControlKind::Static, id, x, kHeadingTop, kNameWidth, kNameHeight, "Action")
            .Style(DialogTextStyle::Heading)
            .Add(DialogControlKind::Static, id + 1, x + kKeyLeft, kHeadingTop, kKeyWidth, kNameHeight, "Key")
            .Style(DialogTextStyle::Heading)
            .Add(DialogControlKind::Static, id + 2, x + kPadLeft, kHeadingTop, kPadWidth, kNameHeight, "Pad button")
            .Style(DialogTextStyle::Heading);
    }
    for (uint32_t action = 0; action < kActionCount; ++action)
    {
        const int x = kColumnLeft[action / kRowsPerColumn];
        const int y = kGridTop + static_cast<int>(action % kRowsPerColumn) * kRowPitch;
        const int id = static_cast<int>(action);
        const std::string hint = HintText(action);
        page.Add(DialogControlKind::Static, ID_NAME + id, x, y, kNameWidth, kNameHeight, GetActionName(action))
            .Add(DialogControlKind::Static, ID_HINT + id, x, y + kHintTop, kNameWidth, kHintHeight, hint.c_str())
            .Style(DialogTextStyle::Hint)
            .Add(DialogControlKind::Button, ID_KEY + id, x + kKeyLeft, y, kKeyWidth, kControlHeight)
            .Tooltip("Click, then press the new key (Escape keeps this one)")
            .Add(DialogControlKind::Button, ID_PAD + id, x + kPadLeft, y, kPadWidth, kControlHeight)
            .Tooltip("Click, then press the new pad button (Escape keeps this one)");
    }
    const int left = kColumnLeft[0];
    const int y = kSlidersTop;
    page.Add(DialogControlKind::Static, ID_LABELS, left, y + 6, kSliderLabelWidth, kNameHeight, "Camera sensitivity")
        .Add(DialogControlKind::Trackbar, ID_CAMERA_TRACK, left + kSliderLeft, y, kSliderWidth, kControlHeight)
        .Add(DialogControlKind::Static, ID_CAMERA_VALUE, left + kSliderValueLeft, y + 6, 40, kNameHeight)
        .Add(DialogControlKind::Static, ID_LABELS + 1, left, y + kSliderPitch + 6, kSliderLabelWidth, kNameHeight,
             "Mouse sensitivity")
        .Add(DialogControlKind::Trackbar, ID_MOUSE_TRACK, left + kSliderLeft, y + kSliderPitch, kSliderWidth,
             kControlHeight)
        .Add(DialogControlKind::Static, ID_MOUSE_VALUE, left + kSliderValueLeft, y + kSliderPitch + 6, 40,
             kNameHeight)
        .Add(DialogControlKind::CheckBox, ID_VIBRATION, kColumnLeft[1], y + 2, 180, 26, "Pad vibration")
        .Add(DialogControlKind::Static, ID_STATUS, left, kStatusTop, kPageWidth - 2 * left, kNameHeight);
    return page;
}

void CControlsPage::ShowBindings()
{
    for (uint32_t action = 0; action < kActionCount; ++action)
    {
        const int id = static_cast<int>(action);
        const bool waitingKey = id == m_waitingAction && m_waiting == Binding::Key;
        const bool waitingPad = id == m_waitingAction && m_waiting == Binding::PadButton;
        Window()->SetControlText(ID_KEY + id, waitingKey ? "Press a key" : KeyText(m_keys[action]));
        Window()->SetControlText(ID_PAD + id, waitingPad ? "Press a button" : PadText(m_padElements[action]));
    }
}

void CControlsPage::ShowStatus(const std::string& utf8)
{
    Window()->SetControlText(ID_STATUS, ToGameText(utf8).c_str());
}

void CControlsPage::Fill(const tag_TOLQGAMECONFIG& config)
{
    StopWaiting();
    ShowStatus("");
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
    const int count = static_cast<int>(kActionCount);
    if (id >= ID_KEY && id < ID_KEY + count)
        StartWaiting(Binding::Key, id - ID_KEY);
    else if (id >= ID_PAD && id < ID_PAD + count)
        StartWaiting(Binding::PadButton, id - ID_PAD);
}

void CControlsPage::StartWaiting(Binding binding, int action)
{
    StopWaiting();
    m_waiting = binding;
    m_waitingAction = action;
    // Keys go to this page instead of the focused button until the wait
    // ends; while a pad button is awaited only Escape means something.
    Parent()->SetKeyCapture(true);
    const char* what = binding == Binding::Key ? "key" : "pad button";
    ShowStatus(std::string("Press the ") + what + " for " + Quoted(static_cast<uint32_t>(action)) +
               " (Escape keeps the one it has).");
    ShowBindings();
}

void CControlsPage::StopWaiting()
{
    if (m_waiting != Binding::Nothing && Parent() != nullptr)
        Parent()->SetKeyCapture(false);
    m_waiting = Binding::Nothing;
    m_waitingAction = -1;
}

void CControlsPage::Bind(uint32_t value)
{
    const bool key = m_waiting == Binding::Key;
    uint32_t* table = key ? m_keys : m_padElements;
    const uint32_t action = static_cast<uint32_t>(m_waitingAction);
    const uint32_t old = table[action];
    StopWaiting();
    std::string status;
    for (uint32_t other = 0; other < kActionCount; ++other)
    {
        if (other == action || table[other] != value)
            continue;
        // One key or pad button drives one action: the two trade places.
        table[other] = old;
        const std::string kind = key ? "key" : "pad button";
        const std::string given = key ? KeyText(old) : PadText(old);
        status = std::string(key ? KeyText(value) : PadText(value)) + " was the " + kind + " of " + Quoted(other) +
                 ", which now has " + (given == "-" ? "no " + kind : given) + " instead.";
        break;
    }
    table[action] = value;
    ShowStatus(status);
    ShowBindings();
}

void CControlsPage::OnScroll(int id, int position)
{
    if (id != ID_CAMERA_TRACK && id != ID_MOUSE_TRACK)
        return;
    char text[16];
    std::snprintf(text, sizeof(text), "%.1f", static_cast<double>(position) / kSensitivitySteps);
    Window()->SetControlText(id == ID_CAMERA_TRACK ? ID_CAMERA_VALUE : ID_MOUSE_VALUE, text);
}

void CControlsPage::OnKey(uint8_t code)
{
    if (m_waiting == Binding::Nothing)
        return;
    if (code == KEY_ESCAPE)
    {
        StopWaiting();
        ShowStatus("");
        ShowBindings();
        return;
    }
    if (m_waiting == Binding::Key)
        Bind(code);
}

void CControlsPage::OnFrame(CInput* input)
{
    if (m_waiting != Binding::PadButton || input == nullptr)
        return;
    for (uint32_t element = 0; element < kReadableElements; ++element)
    {
        if (input->IsPadElementTriggered(0, static_cast<uint8_t>(element)) != 0)
        {
            Bind(element);
            return;
        }
    }
}

void CControlsPage::OnHide()
{
    if (m_waiting == Binding::Nothing)
        return;
    StopWaiting();
    ShowStatus("");
    ShowBindings();
}
