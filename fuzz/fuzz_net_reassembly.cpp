// Feeds an arbitrary byte stream to the frame reassembly, cut into runs at
// points the input chooses, through both the queue alone and the delivery
// that hands whole frames over without a copy. Whatever comes out must be
// the stream's own frames, in order, never beyond the payload limit.
#include "net/CPacketQueue.h"
#include "net/NetHeader.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace
{
struct Collected
{
    std::vector<uint8_t> bytes;
    uint32_t limit = 0;

    // Rebuilds the wire form of a delivered frame.
    static uint32_t Add(void* argument, const uint8_t* frame, uint32_t total)
    {
        Collected* self = static_cast<Collected*>(argument);
        if (total < kNetHeaderSize || total - kNetHeaderSize > self->limit)
            __builtin_trap();
        tag_KVRNETHEADER header = ReadNetHeader(frame);
        header.length = total - static_cast<uint32_t>(kNetHeaderSize);
        uint8_t head[kNetHeaderSize];
        WriteNetHeader(head, header);
        self->bytes.insert(self->bytes.end(), head, head + kNetHeaderSize);
        self->bytes.insert(self->bytes.end(), frame + kNetHeaderSize, frame + total);
        return 1;
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    // The first byte picks the run lengths, the second a smaller limit.
    const uint32_t seed = data[0] | 1u;
    const uint32_t limit = data[1] & 1 ? kNetMaxPayload : 64u;
    const uint8_t* stream = data + 2;
    const size_t length = size - 2;

    Collected direct;
    direct.limit = limit;
    Collected queued;
    queued.limit = limit;
    CPacketQueue delivering;
    delivering.SetMaxPayload(limit);
    CPacketQueue plain;
    plain.SetMaxPayload(limit);
    bool directOk = true;
    bool plainOk = true;
    uint32_t state = seed;
    size_t at = 0;
    while (at < length && (directOk || plainOk))
    {
        state = state * 1103515245u + 12345u;
        size_t run = 1 + (state >> 16) % 97;
        if (run > length - at)
            run = length - at;
        if (directOk)
            directOk = delivering.Deliver(stream + at, run, Collected::Add, &direct) != 0;
        if (plainOk)
        {
            plainOk = plain.Reassemble(stream + at, run) != 0;
            while (plain.FrontComplete())
            {
                tag_KVRPACKETNODE* node = plain.PopFront();
                if (ReadNetHeader(node->data).length != static_cast<uint32_t>(node->size))
                    __builtin_trap();
                Collected::Add(&queued, node->data, static_cast<uint32_t>(node->size));
                CPacketQueue::FreeNode(node);
            }
        }
        at += run;
    }
    // Both ways agree, and what they delivered is the stream's beginning.
    if (directOk != plainOk || direct.bytes != queued.bytes)
        __builtin_trap();
    if (direct.bytes.size() > length ||
        (!direct.bytes.empty() && std::memcmp(direct.bytes.data(), stream, direct.bytes.size()) != 0))
        __builtin_trap();
    if (delivering.count > 1 || delivering.PendingHeaderBytes() > 7)
        __builtin_trap();
    return 0;
}
