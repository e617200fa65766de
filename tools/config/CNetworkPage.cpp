#include "tools/config/CNetworkPage.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{
constexpr long kLowestPort = 1;
constexpr long kHighestPort = 65535;
constexpr int kMaxKeyResponse = 30;
constexpr long kHighestSendByte = 255;
constexpr size_t kMaxLoginIdBytes = kLoginIdBytes - 1;

// Network page, in pixels of the page: a label, its field, and the reason
// a value is refused to the right of the field.
constexpr int kLabelLeft = 24;
constexpr int kLabelWidth = 140;
constexpr int kFieldLeft = 170;
// Text fields are drawn no narrower than the theme's smallest entry.
constexpr int kFieldWidth = 200;
constexpr int kRowPitch = 40;
constexpr int kProblemLeft = kFieldLeft + kFieldWidth + 12;
constexpr int kProblemWidth = kPageWidth - 24 - kProblemLeft;

constexpr const char* kKeyResponseTip =
    "Frames of input sent together in an online battle (1-30). More ride out a slow line, "
    "but your fighter answers the buttons later. The room's host's setting counts for everyone.";
constexpr const char* kSendByteTip =
    "A number (0-255) that the room's host sends to every guest when a battle starts. "
    "The game only passes it on: it changes nothing in play.";
}

DialogTemplate CNetworkPage::MakeTemplate() const
{
    DialogTemplate page("Network", kPageWidth, kPageHeight, true);
    const int y = kPageTop + 8;
    page.Add(DialogControlKind::Static, ID_LABELS, kLabelLeft, y + 7, kLabelWidth, 20, "Lobby port")
        .Add(DialogControlKind::Edit, ID_PORT, kFieldLeft, y, kFieldWidth, kControlHeight)
        .Add(DialogControlKind::Static, ID_PORT_PROBLEM, kProblemLeft, y + 7, kProblemWidth, 20)
        .Style(DialogTextStyle::Error)
        .Add(DialogControlKind::CheckBox, ID_UPNP, kLabelLeft, y + kRowPitch, 360, 24,
             "Open the port on the router (UPnP)")
        .Add(DialogControlKind::Static, ID_LABELS + 1, kLabelLeft, y + 2 * kRowPitch + 7, kLabelWidth, 20, "Login ID")
        .Add(DialogControlKind::Edit, ID_LOGIN_ID, kFieldLeft, y + 2 * kRowPitch, kFieldWidth, kControlHeight)
        .Add(DialogControlKind::Static, ID_LOGIN_ID_PROBLEM, kProblemLeft, y + 2 * kRowPitch + 7, kProblemWidth, 20)
        .Style(DialogTextStyle::Error)
        .Add(DialogControlKind::Static, ID_LABELS + 2, kLabelLeft, y + 3 * kRowPitch + 7, kLabelWidth, 20,
             "Key response")
        .Tooltip(kKeyResponseTip)
        .Add(DialogControlKind::Trackbar, ID_RESPONSE_TRACK, kFieldLeft, y + 3 * kRowPitch, 300, kControlHeight)
        .Tooltip(kKeyResponseTip)
        .Add(DialogControlKind::Static, ID_RESPONSE_VALUE, 480, y + 3 * kRowPitch + 7, 100, 20)
        .Add(DialogControlKind::Static, ID_LABELS + 3, kLabelLeft, y + 4 * kRowPitch + 7, kLabelWidth, 20, "Send byte")
        .Tooltip(kSendByteTip)
        .Add(DialogControlKind::Edit, ID_SEND_BYTE, kFieldLeft, y + 4 * kRowPitch, kFieldWidth, kControlHeight)
        .Tooltip(kSendByteTip)
        .Add(DialogControlKind::Static, ID_SEND_BYTE_PROBLEM, kProblemLeft, y + 4 * kRowPitch + 7, kProblemWidth, 20)
        .Style(DialogTextStyle::Error);
    return page;
}

void CNetworkPage::Fill(const tag_TOLQGAMECONFIG& config)
{
    char number[16];
    std::snprintf(number, sizeof(number), "%u", static_cast<unsigned>(config.lobbyPort));
    Window()->SetControlText(ID_PORT, number);
    Window()->SetCheck(ID_UPNP, config.upnp != 0);
    char loginId[kLoginIdBytes];
    std::memcpy(loginId, config.loginId, sizeof(loginId));
    loginId[sizeof(loginId) - 1] = '\0';
    Window()->SetControlText(ID_LOGIN_ID, loginId);
    Window()->SetTrackRange(ID_RESPONSE_TRACK, 1, kMaxKeyResponse);
    Window()->SetTrackPosition(ID_RESPONSE_TRACK, config.keyResponse);
    OnScroll(ID_RESPONSE_TRACK, Window()->GetTrackPosition(ID_RESPONSE_TRACK));
    std::snprintf(number, sizeof(number), "%u", static_cast<unsigned>(config.sendByte));
    Window()->SetControlText(ID_SEND_BYTE, number);
    CheckFields();
}

bool CNetworkPage::ReadNumber(int id, long low, long high, long* value) const
{
    char text[32];
    if (!Window()->GetControlText(id, text, sizeof(text)))
        return false;
    char* end = nullptr;
    errno = 0;
    const long read = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || read < low || read > high)
        return false;
    *value = read;
    return true;
}

bool CNetworkPage::ReadLoginId(std::string* loginId) const
{
    char text[256];
    if (!Window()->GetControlText(ID_LOGIN_ID, text, sizeof(text)) || std::strlen(text) > kMaxLoginIdBytes)
        return false;
    *loginId = text;
    return true;
}

void CNetworkPage::Store(tag_TOLQGAMECONFIG* config) const
{
    long value = 0;
    if (ReadNumber(ID_PORT, kLowestPort, kHighestPort, &value))
        config->lobbyPort = static_cast<uint16_t>(value);
    config->upnp = Window()->GetCheck(ID_UPNP) ? 1 : 0;
    std::string loginId;
    if (ReadLoginId(&loginId))
    {
        std::memset(config->loginId, 0, sizeof(config->loginId));
        std::memcpy(config->loginId, loginId.data(), loginId.size());
    }
    config->keyResponse = static_cast<uint8_t>(Window()->GetTrackPosition(ID_RESPONSE_TRACK));
    if (ReadNumber(ID_SEND_BYTE, 0, kHighestSendByte, &value))
        config->sendByte = static_cast<uint8_t>(value);
}

bool CNetworkPage::ShowProblem(int field, int problemLabel, const char* reason)
{
    Window()->MarkControlInvalid(field, reason != nullptr);
    Window()->SetControlText(problemLabel, reason != nullptr ? reason : "");
    return reason == nullptr;
}

bool CNetworkPage::CheckFields()
{
    long value = 0;
    std::string loginId;
    const bool port = ShowProblem(ID_PORT, ID_PORT_PROBLEM,
                                  ReadNumber(ID_PORT, kLowestPort, kHighestPort, &value)
                                      ? nullptr
                                      : "Use a whole number from 1 to 65535.");
    const bool login = ShowProblem(ID_LOGIN_ID, ID_LOGIN_ID_PROBLEM,
                                   ReadLoginId(&loginId) ? nullptr
                                                         : "Too long: at most 32 letters or 16 Japanese characters.");
    const bool sendByte = ShowProblem(ID_SEND_BYTE, ID_SEND_BYTE_PROBLEM,
                                      ReadNumber(ID_SEND_BYTE, 0, kHighestSendByte, &value)
                                          ? nullptr
                                          : "Use a whole number from 0 to 255.");
    return port && login && sendByte;
}

void CNetworkPage::OnCommand(int id, uint32_t code)
{
    if (code != NOTIFY_EDIT_CHANGE)
        return;
    // The mark goes as soon as the user starts mending the field; the check
    // comes again on saving.
    if (id == ID_PORT)
        ShowProblem(ID_PORT, ID_PORT_PROBLEM, nullptr);
    else if (id == ID_LOGIN_ID)
        ShowProblem(ID_LOGIN_ID, ID_LOGIN_ID_PROBLEM, nullptr);
    else if (id == ID_SEND_BYTE)
        ShowProblem(ID_SEND_BYTE, ID_SEND_BYTE_PROBLEM, nullptr);
}

void CNetworkPage::OnScroll(int id, int position)
{
    if (id != ID_RESPONSE_TRACK)
        return;
    char text[24];
    std::snprintf(text, sizeof(text), position == 1 ? "%d frame" : "%d frames", position);
    Window()->SetControlText(ID_RESPONSE_VALUE, text);
}
