// Feeds an arbitrary byte stream to the frame reassembly, cut into runs at
// points the input chooses, and checks what comes out: whole frames only,
// never more bytes than went in, nothing beyond the payload limit.
#include "net/CPacketQueue.h"
#include "net/NetHeader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    // The first byte picks the run lengths, the second a smaller limit.
    uint32_t state = data[0] | 1u;
    const uint32_t limit = data[1] & 1 ? kNetMaxPayload : 64u;
    const uint8_t* stream = data + 2;
    const size_t length = size - 2;

    CPacketQueue queue;
    queue.SetMaxPayload(limit);
    size_t at = 0;
    size_t delivered = 0;
    while (at < length)
    {
        state = state * 1103515245u + 12345u;
        size_t run = 1 + (state >> 16) % 97;
        if (run > length - at)
            run = length - at;
        const uint32_t ok = queue.Reassemble(stream + at, run);
        at += run;
        while (queue.FrontComplete())
        {
            tag_KVRPACKETNODE* node = queue.PopFront();
            const tag_KVRNETHEADER header = ReadNetHeader(node->data);
            if (header.length != static_cast<uint32_t>(node->size) || node->size < 8 ||
                static_cast<uint32_t>(node->size) - 8 > limit)
                __builtin_trap();
            delivered += static_cast<size_t>(node->size);
            CPacketQueue::FreeNode(node);
        }
        if (!ok)
            break;
    }
    if (delivered > at)
        __builtin_trap();
    if (queue.count > 1 || queue.PendingHeaderBytes() > 7)
        __builtin_trap();
    return 0;
}
