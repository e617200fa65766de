#include "net/CPacketQueue.h"

#include "engine/core/AlignedMemory.h"
#include "net/NetHeader.h"

#include <cstring>
#include <new>

uint32_t CPacketQueue::Push(const uint8_t* bytes, int32_t size, int32_t present)
{
    if (size < 0)
        return 0;
    void* nodeMemory = AlignedAlloc(sizeof(tag_KVRPACKETNODE), 16);
    if (nodeMemory == nullptr)
        return 0;
    // A zero-sized message still gets a block, so that data is never null.
    uint8_t* data = static_cast<uint8_t*>(AlignedAlloc(size > 0 ? static_cast<size_t>(size) : 1, 16));
    if (data == nullptr)
    {
        AlignedFree(nodeMemory);
        return 0;
    }
    tag_KVRPACKETNODE* node = new (nodeMemory) tag_KVRPACKETNODE;
    node->data = data;
    node->size = size;
    const int32_t copied = present < size ? (present > 0 ? present : 0) : size;
    if (bytes != nullptr && copied > 0)
        std::memcpy(data, bytes, static_cast<size_t>(copied));
    node->filled = bytes != nullptr ? copied : 0;

    node->previous = last;
    if (last != nullptr)
        last->next = node;
    else
        first = node;
    last = node;
    ++count;
    return 1;
}

tag_KVRPACKETNODE* CPacketQueue::PopFront()
{
    tag_KVRPACKETNODE* node = first;
    if (node == nullptr)
        return nullptr;
    first = node->next;
    if (first != nullptr)
        first->previous = nullptr;
    else
        last = nullptr;
    node->next = nullptr;
    --count;
    return node;
}

void CPacketQueue::Clear()
{
    while (tag_KVRPACKETNODE* node = PopFront())
        FreeNode(node);
    count = 0;
    m_pendingCount = 0;
}

void CPacketQueue::FreeNode(tag_KVRPACKETNODE* node)
{
    if (node == nullptr)
        return;
    AlignedFree(node->data);
    node->~tag_KVRPACKETNODE();
    AlignedFree(node);
}

// Queues the frame whose 8 header bytes are given, with as much of its
// payload as rest holds; *used says how many bytes of rest it took.
uint32_t CPacketQueue::StartFrame(const uint8_t* header, const uint8_t* rest, size_t restCount, size_t* used)
{
    *used = 0;
    tag_KVRNETHEADER parsed = ReadNetHeader(header);
    if (parsed.length > m_maxPayload)
        return 0;
    const uint32_t total = parsed.length + static_cast<uint32_t>(kNetHeaderSize);
    // The queued copy carries the total size in its length field.
    parsed.length = total;
    uint8_t head[kNetHeaderSize];
    WriteNetHeader(head, parsed);
    if (!Push(head, static_cast<int32_t>(total), static_cast<int32_t>(kNetHeaderSize)))
        return 0;
    const size_t payload = total - kNetHeaderSize;
    const size_t take = restCount < payload ? restCount : payload;
    if (take > 0)
        std::memcpy(last->data + kNetHeaderSize, rest, take);
    last->filled += static_cast<int32_t>(take);
    *used = take;
    return 1;
}

uint32_t CPacketQueue::Reassemble(const uint8_t* bytes, size_t n)
{
    size_t at = 0;
    while (at < n)
    {
        // An open frame takes what it still lacks.
        if (last != nullptr && last->filled < last->size)
        {
            const size_t missing = static_cast<size_t>(last->size - last->filled);
            const size_t take = n - at < missing ? n - at : missing;
            std::memcpy(last->data + last->filled, bytes + at, take);
            last->filled += static_cast<int32_t>(take);
            at += take;
            continue;
        }
        // Gather a header, keeping a partial one for the next read.
        if (m_pendingCount > 0 || n - at < kNetHeaderSize)
        {
            const size_t want = kNetHeaderSize - m_pendingCount;
            const size_t take = n - at < want ? n - at : want;
            std::memcpy(m_pending + m_pendingCount, bytes + at, take);
            m_pendingCount += static_cast<uint32_t>(take);
            at += take;
            if (m_pendingCount < kNetHeaderSize)
                return 1;
            m_pendingCount = 0;
            size_t used = 0;
            if (!StartFrame(m_pending, bytes + at, n - at, &used))
                return 0;
            at += used;
            continue;
        }
        size_t used = 0;
        if (!StartFrame(bytes + at, bytes + at + kNetHeaderSize, n - at - kNetHeaderSize, &used))
            return 0;
        at += kNetHeaderSize + used;
    }
    return 1;
}

uint32_t CPacketQueue::DeliverComplete(Sink sink, void* argument)
{
    while (FrontComplete())
    {
        tag_KVRPACKETNODE* node = PopFront();
        const uint32_t goOn = sink(argument, node->data, static_cast<uint32_t>(node->size));
        FreeNode(node);
        if (!goOn)
            return 0;
    }
    return 1;
}

uint32_t CPacketQueue::Deliver(const uint8_t* bytes, size_t n, Sink sink, void* argument)
{
    size_t at = 0;
    while (at < n)
    {
        if (count == 0 && m_pendingCount == 0)
        {
            while (n - at >= kNetHeaderSize)
            {
                const uint32_t length = ReadNetHeader(bytes + at).length;
                if (length > m_maxPayload)
                    return 0;
                const size_t total = kNetHeaderSize + length;
                if (n - at < total)
                    break;
                if (!sink(argument, bytes + at, static_cast<uint32_t>(total)))
                    return 0;
                at += total;
            }
            // What is left is the start of a message or of a header.
            return Reassemble(bytes + at, n - at);
        }
        // Feed the open message just what completes it, then deliver.
        size_t need = kNetHeaderSize - m_pendingCount;
        if (last != nullptr && last->filled < last->size)
            need = static_cast<size_t>(last->size - last->filled);
        const size_t take = n - at < need ? n - at : need;
        if (!Reassemble(bytes + at, take))
            return 0;
        at += take;
        if (!DeliverComplete(sink, argument))
            return 0;
    }
    return 1;
}
