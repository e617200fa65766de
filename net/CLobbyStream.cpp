#include "net/CLobbyStream.h"

#include <algorithm>
#include <cstring>

bool CLobbyStream::Feed(const uint8_t* bytes, size_t count)
{
    if (bytes == nullptr && count != 0)
        return false;
    size_t at = 0;
    while (at < count)
    {
        if (m_open)
        {
            const size_t wanted = m_current.payload.size() - m_filled;
            const size_t take = std::min(wanted, count - at);
            std::memcpy(m_current.payload.data() + m_filled, bytes + at, take);
            m_filled += take;
            at += take;
            if (m_filled == m_current.payload.size())
            {
                m_complete.push_back(std::move(m_current));
                m_current = tag_KVRLOBBYMESSAGE();
                m_open = false;
            }
            continue;
        }
        const size_t take = std::min(kLobbyHeaderSize - m_headerCount, count - at);
        std::memcpy(m_header + m_headerCount, bytes + at, take);
        m_headerCount += take;
        at += take;
        if (m_headerCount < kLobbyHeaderSize)
            break;
        m_headerCount = 0;
        LobbyScramble(kLobbyHeaderKey, m_header, kLobbyHeaderSize);
        const tag_KVRLOBBYHEADER header = ReadLobbyHeader(m_header);
        if (header.length > m_maxPayload)
            return false;
        m_current.header = header;
        m_current.payload.assign(header.length, 0);
        m_filled = 0;
        if (header.length == 0)
        {
            m_complete.push_back(std::move(m_current));
            m_current = tag_KVRLOBBYMESSAGE();
            continue;
        }
        m_open = true;
    }
    return true;
}

bool CLobbyStream::Take(tag_KVRLOBBYMESSAGE& out)
{
    if (m_complete.empty())
        return false;
    out = std::move(m_complete.front());
    m_complete.pop_front();
    return true;
}

void CLobbyStream::Clear()
{
    m_complete.clear();
    m_current = tag_KVRLOBBYMESSAGE();
    m_filled = 0;
    m_open = false;
    m_headerCount = 0;
}
