#pragma once

#include "net/LobbyProtocol.h"

#include <cstdint>
#include <memory>
#include <vector>

class CTexture;

// A player the lobby knows, the own player included: what the server tells
// of it (names and comments converted from UTF-8 to Shift-JIS), and for the
// own player the login record. Holds the player's icon image and the
// texture made from it.
class CLobbyUser
{
public:
    // The largest icon image kept; a larger one is refused.
    static constexpr int32_t kMaxIconSize = 256 * 1024;

    CLobbyUser();
    ~CLobbyUser();
    CLobbyUser(const CLobbyUser&) = delete;
    CLobbyUser& operator=(const CLobbyUser&) = delete;

    void SetData(const tag_KVRLOBBYUSERDATA& data);
    void SetEntry(const tag_KVRLOBBYUSERENTRY& entry);
    // Keeps a copy of the image and makes the icon texture from it (only
    // when a graphics device exists). False without bytes, with size 0
    // (the old icon is dropped then) or for a size above the limit.
    bool SetIcon(const uint8_t* bytes, int32_t size);
    void FreeIcon();
    CTexture* GetIcon() const { return m_icon.get(); }
    const std::vector<uint8_t>& GetIconImage() const { return m_iconImage; }

    tag_KVRLOBBYUSERENTRY GetEntry() const;

    tag_KVRLOBBYUSERDATA data;
    tag_KVRLOBBYLOGIN login;

private:
    std::vector<uint8_t> m_iconImage;
    std::unique_ptr<CTexture> m_icon;
};

// UTF-8 text of the server into a Shift-JIS field of size bytes, cut at a
// whole character.
void ConvertLobbyText(char* field, size_t size);
