#pragma once

#include "tools/config/CConfigPage.h"

// The lobby port, UPnP, the login ID, the online key response and the send
// byte. A typed value that can't be saved is refused with the reason beside
// its field.
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
        ID_PORT_PROBLEM = 400,
        ID_LOGIN_ID_PROBLEM,
        ID_SEND_BYTE_PROBLEM,
    };

    const char* GetTitle() const override { return "Network"; }
    void Fill(const tag_TOLQGAMECONFIG& config) override;
    // Text fields that do not hold a valid value keep the setting they had.
    void Store(tag_TOLQGAMECONFIG* config) const override;
    bool CheckFields() override;
    void OnCommand(int id, uint32_t code) override;
    void OnScroll(int id, int position) override;

protected:
    DialogTemplate MakeTemplate() const override;

private:
    bool ReadNumber(int id, long low, long high, long* value) const;
    // The login ID as it is saved (Shift-JIS); false when it does not fit.
    bool ReadLoginId(std::string* loginId) const;
    // Marks the field and says why beside it; a null reason clears both.
    bool ShowProblem(int field, int problemLabel, const char* reason);
};
