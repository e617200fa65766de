#pragma once

#include <cstddef>
#include <cstdint>

// One received message: the 8-byte header (its length field holding the
// total size, header included) followed by the payload.
struct tag_KVRPACKETNODE
{
    uint8_t* data = nullptr;
    int32_t size = 0;
    int32_t filled = 0;
    tag_KVRPACKETNODE* next = nullptr;
    tag_KVRPACKETNODE* previous = nullptr;
};

// First-in first-out queue of the messages received on one TCP connection,
// and the reassembly that cuts the connection's byte stream into them. The
// owner guards the queue with its own lock; the queue takes none.
class CPacketQueue
{
public:
    CPacketQueue() = default;
    ~CPacketQueue() { Clear(); }
    CPacketQueue(const CPacketQueue&) = delete;
    CPacketQueue& operator=(const CPacketQueue&) = delete;

    // Links a node of size bytes at the tail, the first min(size, present)
    // copied from bytes (when not null), the rest zero. 0 when the node or
    // its buffer can't be allocated (nothing is linked).
    uint32_t Push(const uint8_t* bytes, int32_t size, int32_t present);
    // The oldest node, detached; the caller frees it with FreeNode. Null when
    // the queue is empty.
    tag_KVRPACKETNODE* PopFront();
    // Frees every node and forgets a partly received header.
    void Clear();
    static void FreeNode(tag_KVRPACKETNODE* node);

    // Cuts n received bytes into messages. Bytes of a header split across
    // reads are kept until the header is whole. 0 when the stream is broken
    // (a header announcing more than the payload limit, or an allocation
    // failure); the owner then ends the connection.
    uint32_t Reassemble(const uint8_t* bytes, size_t n);
    // Receives one complete message: frame points at its 8-byte header
    // (whose length field may hold the payload length or the total) and
    // total is the whole size. 0 stops delivery and breaks the stream.
    using Sink = uint32_t (*)(void* argument, const uint8_t* frame, uint32_t total);
    // Reassembles n received bytes and hands every message completed by
    // them to sink, in arrival order. Whole messages with nothing pending
    // from earlier runs go to the sink straight from bytes, without a copy;
    // only a message split across runs is queued. 0 when the stream is
    // broken or the sink stopped.
    uint32_t Deliver(const uint8_t* bytes, size_t n, Sink sink, void* argument);

    // The largest payload a header may announce; kNetMaxPayload by default.
    void SetMaxPayload(uint32_t bytes) { m_maxPayload = bytes; }

    // True when the head node has all its bytes.
    bool FrontComplete() const { return first != nullptr && first->filled >= first->size; }
    // Bytes of a header received so far without its rest (0..7).
    uint32_t PendingHeaderBytes() const { return m_pendingCount; }

    int32_t count = 0;
    tag_KVRPACKETNODE* first = nullptr;
    tag_KVRPACKETNODE* last = nullptr;

private:
    uint32_t DeliverComplete(Sink sink, void* argument);
    uint32_t StartFrame(const uint8_t* header, const uint8_t* rest, size_t restCount, size_t* used);

    uint8_t m_pending[8] = {};
    uint32_t m_pendingCount = 0;
    uint32_t m_maxPayload = 64 * 1024;
};
