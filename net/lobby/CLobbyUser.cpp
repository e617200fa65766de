#include "net/lobby/CLobbyUser.h"

#include "engine/core/ShiftJisText.h"
#include "engine/core/TextEncoding.h"
#include "engine/render/CTexture.h"

#include <cstring>
#include <string>

void ConvertLobbyText(char* field, size_t size)
{
    if (field == nullptr || size == 0)
        return;
    const std::string utf8(field, strnlen(field, size));
    const std::string text = ConvertUtf8ToShiftJisSkipping(utf8);
    size_t n = 0;
    while (n < text.size())
    {
        const size_t length = ShiftJisCharLength(text.c_str() + n, text.size() - n);
        if (length == 0 || n + length + 1 > size)
            break;
        n += length;
    }
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), n);
}

CLobbyUser::CLobbyUser() = default;

CLobbyUser::~CLobbyUser()
{
    FreeIcon();
}

void CLobbyUser::SetData(const tag_KVRLOBBYUSERDATA& source)
{
    data = source;
    ConvertLobbyText(data.name, sizeof(data.name));
    ConvertLobbyText(data.comment, sizeof(data.comment));
}

void CLobbyUser::SetEntry(const tag_KVRLOBBYUSERENTRY& entry)
{
    data.id = entry.id;
    CopyLobbyString(data.name, entry.name, sizeof(data.name));
    data.rank = entry.rank;
    ConvertLobbyText(data.name, sizeof(data.name));
}

tag_KVRLOBBYUSERENTRY CLobbyUser::GetEntry() const
{
    tag_KVRLOBBYUSERENTRY entry;
    entry.id = data.id;
    CopyLobbyString(entry.name, data.name, sizeof(entry.name));
    entry.rank = data.rank;
    return entry;
}

bool CLobbyUser::SetIcon(const uint8_t* bytes, int32_t size)
{
    if (bytes == nullptr)
        return false;
    FreeIcon();
    if (size <= 0 || size > kMaxIconSize)
        return false;
    m_iconImage.assign(bytes, bytes + size);
    auto texture = std::make_unique<CTexture>();
    if (!texture->CreateFromMemory(m_iconImage.data(), data.name, static_cast<uint32_t>(size)))
        return false;
    m_icon = std::move(texture);
    return true;
}

void CLobbyUser::FreeIcon()
{
    if (m_icon)
        m_icon->Release();
    m_icon.reset();
    m_iconImage.clear();
}
