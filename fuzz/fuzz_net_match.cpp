// Parses arbitrary online match messages as a receiver does: the first
// byte picks the message, the rest is its payload. No text may leave its
// bounds and no frame ring may hold more than its 80 frames.
#include "game/battle/SetupMessages.h"
#include "game/scene/CNetLockstep.h"
#include "game/scene/NetMatchMessages.h"

#include <cstddef>
#include <cstdint>

namespace
{
void SeatEntry(const uint8_t* payload, uint32_t length)
{
    SetupMessages::PlayerEntryMessage entry;
    if (!SetupMessages::DecodeEntry(payload, length, 8, 8, &entry))
        return;
    if (entry.name.size() > 254 || entry.summary.slot >= 8)
        __builtin_trap();
}

// Records then frames into one side's lockstep, as the handlers check them.
void Lockstep(const uint8_t* payload, uint32_t length)
{
    if (length < 1)
        return;
    CNetLockstep lockstep;
    lockstep.Reset(payload[0]);
    const uint8_t* rest = payload + 1;
    const uint32_t size = length - 1;
    const uint32_t records = size / CNetLockstep::kRecordSize;
    if (records > 0 && records <= CNetLockstep::kBatchFrames && rest[0] < CNetLockstep::kSlots)
        lockstep.StoreGuestRecords(rest[0], rest, records);
    const uint32_t frames = size / CNetLockstep::kFrameSize;
    for (int round = 0; round < 4 && frames > 0 && frames <= CNetLockstep::kBatchFrames; ++round)
        lockstep.PushFrames(rest, frames);
    if (lockstep.GetWriteIndex() - lockstep.GetReadIndex() > CNetLockstep::kRingFrames)
        __builtin_trap();
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 64 * 1024)
        return 0;
    const uint8_t* payload = data + 1;
    const uint32_t length = static_cast<uint32_t>(size - 1);
    switch (data[0] % 4)
    {
    case 0:
    {
        SetupMessages::PlayerSummary summary;
        if (SetupMessages::DecodeSummary(payload, length, 8, 8, &summary) && summary.slot >= 8)
            __builtin_trap();
        break;
    }
    case 1: SeatEntry(payload, length); break;
    case 2:
    {
        NetSeed seed;
        if (ReadNetSeed(payload, length, &seed) && CNetLockstep::ClampFramesPerBatch(seed.framesPerBatch) > 30)
            __builtin_trap();
        break;
    }
    default: Lockstep(payload, length); break;
    }
    return 0;
}
