#pragma once

#include "net/LobbyProtocol.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

// One message cut from the lobby server's byte stream: its header, already
// unscrambled, and its payload, still scrambled with the session key (the
// key may change with the message before it, so the payload is unscrambled
// only when it is dispatched).
struct tag_KVRLOBBYMESSAGE
{
    tag_KVRLOBBYHEADER header;
    std::vector<uint8_t> payload;
};

// Cuts the server's stream into messages. A header split across reads is
// kept until its last byte arrives; a payload split across reads is
// completed by the following ones. Complete messages wait in arrival order
// until taken. The owner guards the object with its own lock.
class CLobbyStream
{
public:
    // False when the stream is broken (a header announcing more than the
    // payload limit); the owner ends the connection and clears the stream.
    bool Feed(const uint8_t* bytes, size_t count);
    // The oldest complete message; false when there is none.
    bool Take(tag_KVRLOBBYMESSAGE& out);
    void Clear();

    size_t GetCompleteCount() const { return m_complete.size(); }
    bool HasPartial() const { return m_headerCount != 0 || m_open; }
    void SetMaxPayload(uint32_t bytes) { m_maxPayload = bytes; }

private:
    std::deque<tag_KVRLOBBYMESSAGE> m_complete;
    tag_KVRLOBBYMESSAGE m_current;
    size_t m_filled = 0;
    bool m_open = false;
    uint8_t m_header[kLobbyHeaderSize] = {};
    size_t m_headerCount = 0;
    uint32_t m_maxPayload = kLobbyMaxPayload;
};
