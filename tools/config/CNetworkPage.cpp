#include "tools/config/CNetworkPage.h"

#include "engine/core/TextEncoding.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
constexpr int kMaxKeyResponse = 30;

// Cuts a Shift-JIS text to at most limit bytes without splitting a
// double-byte character.
void CutText(char* text, size_t limit)
{
    size_t i = 0;
    while (text[i] != '\0')
    {
        const size_t step = IsShiftJisLeadByte(static_cast<unsigned char>(text[i])) && text[i + 1] != '\0' ? 2 : 1;
        if (i + step > limit)
            break;
        i += step;
    }
    text[i] = '\0';
}
}

DialogTemplate CNetworkPage::MakeTemplate() const
{
    DialogTemplate page("Network", kPageWidth, kPageHeight, true);
    const int y = kPageTop + 8;
    page.Add(DialogControlKind::Static, ID_LABELS, 24, y + 4, 140, 20, "Lobby port")
        .Add(DialogControlKind::Edit, ID_PORT, 170, y, 120, 28)
        .Add(DialogControlKind::CheckBox, ID_UPNP, 24, y + 40, 360, 24, "Open the port on the router (UPnP)")
        .Add(DialogControlKind::Static, ID_LABELS + 1, 24, y + 84, 140, 20, "Login ID")
        .Add(DialogControlKind::Edit, ID_LOGIN_ID, 170, y + 80, 260, 28)
        .Add(DialogControlKind::Static, ID_LABELS + 2, 24, y + 124, 140, 20, "Key response")
        .Add(DialogControlKind::Trackbar, ID_RESPONSE_TRACK, 170, y + 120, 300, 30)
        .Add(DialogControlKind::Static, ID_RESPONSE_VALUE, 480, y + 124, 60, 20)
        .Add(DialogControlKind::Static, ID_LABELS + 3, 24, y + 164, 140, 20, "Send byte")
        .Add(DialogControlKind::Edit, ID_SEND_BYTE, 170, y + 160, 120, 28);
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
    SetTrackValue(ID_RESPONSE_TRACK, ID_RESPONSE_VALUE, config.keyResponse);
    std::snprintf(number, sizeof(number), "%u", static_cast<unsigned>(config.sendByte));
    Window()->SetControlText(ID_SEND_BYTE, number);
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

void CNetworkPage::Store(tag_TOLQGAMECONFIG* config) const
{
    long value = 0;
    if (ReadNumber(ID_PORT, 1, 65535, &value))
        config->lobbyPort = static_cast<uint16_t>(value);
    config->upnp = Window()->GetCheck(ID_UPNP) ? 1 : 0;
    char loginId[256];
    if (Window()->GetControlText(ID_LOGIN_ID, loginId, sizeof(loginId)))
    {
        CutText(loginId, kLoginIdBytes - 1);
        std::memset(config->loginId, 0, sizeof(config->loginId));
        std::memcpy(config->loginId, loginId, std::strlen(loginId));
    }
    config->keyResponse = static_cast<uint8_t>(Window()->GetTrackPosition(ID_RESPONSE_TRACK));
    if (ReadNumber(ID_SEND_BYTE, 0, 255, &value))
        config->sendByte = static_cast<uint8_t>(value);
}

void CNetworkPage::OnScroll(int id, int position)
{
    if (id == ID_RESPONSE_TRACK)
        ShowNumber(ID_RESPONSE_VALUE, position);
}
