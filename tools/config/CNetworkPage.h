#pragma once

#include "tools/config/CConfigPage.h"

// The lobby port, UPnP, the login ID, the online key response and the send
// byte.
class CNetworkPage : public CConfigPage
{
public:
    enum ControlId
    {
        ID_PORT = 200,
        ID_UPNP,
        ID_LOGIN_ID,
        ID_RESPONSE_TRACK,
        ID_RESPONSE_VALUE,
        ID_SEND_BYTE,
        ID_LABELS = 300,
    };

    const char* GetTitle() const override { return "Network"; }
    void Fill(const tag_TOLQGAMECONFIG& config) override;
    // Text fields that do not hold a valid value keep the setting they had.
    void Store(tag_TOLQGAMECONFIG* config) const override;
    void OnScroll(int id, int position) override;

protected:
    DialogTemplate MakeTemplate() const override;

private:
    bool ReadNumber(int id, long low, long high, long* value) const;
};
