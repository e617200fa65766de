// The online battle's sampling, batches and frame ring.
#include "game/scene/CNetLockstep.h"

#include <algorithm>
#include <cstring>

namespace
{
// Offsets inside an input record.
constexpr uint32_t kLeftStickX = 7;
constexpr uint32_t kFirstAxis = 7;
constexpr uint32_t kAxisCount = 4;
constexpr uint32_t kMouseX = 11;
constexpr uint32_t kMouseY = 13;
// An axis byte no pad gives (packing keeps axes within -127..127): the
// departure mark.
constexpr uint8_t kMarkAxis = 0x80;
constexpr uint8_t kLowestAxis = 0x81;

int32_t ReadDelta(const uint8_t* at)
{
    return static_cast<int16_t>(static_cast<uint16_t>(at[0] | (at[1] << 8)));
}

void WriteDelta(uint8_t* at, int32_t value)
{
    const uint16_t bits = static_cast<uint16_t>(value);
    at[0] = static_cast<uint8_t>(bits);
    at[1] = static_cast<uint8_t>(bits >> 8);
}
}

uint8_t CNetLockstep::ClampFramesPerBatch(uint32_t framesPerBatch)
{
    return static_cast<uint8_t>(std::clamp<uint32_t>(framesPerBatch, 1, kMaxFramesPerBatch));
}

uint32_t CNetLockstep::TransmittedFrames(uint32_t framesPerBatch)
{
    return (ClampFramesPerBatch(framesPerBatch) + kRepeat - 1) / kRepeat;
}

void CNetLockstep::MakeDepartureMark(uint8_t record[tag_TOLQINPUTRECORD::kSize])
{
    std::memset(record, 0, tag_TOLQINPUTRECORD::kSize);
    record[kLeftStickX] = kMarkAxis;
}

bool CNetLockstep::IsDepartureMark(const uint8_t record[tag_TOLQINPUTRECORD::kSize])
{
    return record[kLeftStickX] == kMarkAxis;
}

void CNetLockstep::AddMouse(uint8_t* record, int32_t dx, int32_t dy)
{
    // 16-bit sums that wrap, as the records carry them.
    WriteDelta(record + kMouseX, ReadDelta(record + kMouseX) + dx);
    WriteDelta(record + kMouseY, ReadDelta(record + kMouseY) + dy);
}

void CNetLockstep::Reset(uint32_t framesPerBatch)
{
    m_framesPerBatch = ClampFramesPerBatch(framesPerBatch);
    m_counter = 0;
    m_sampledBatches = 0;
    m_takenBatches = 0;
    std::memset(m_records, 0, sizeof(m_records));
    for (auto& batch : m_batches)
    {
        for (Frame& frame : batch)
            frame.fill(0);
    }
    m_guestSent = false;
    m_carryX = 0;
    m_carryY = 0;
    std::memset(m_outgoing, 0, sizeof(m_outgoing));
    m_readIndex = 0;
    m_writeIndex = 0;
}

bool CNetLockstep::CanStartBatch(bool host) const
{
    // Every batch but the one just sampled has come back: a side runs one
    // batch ahead of its frames, no more.
    const uint32_t arrived = m_sampledBatches > 0 ? (m_sampledBatches - 1) * m_framesPerBatch : 0;
    if (m_writeIndex < arrived)
        return false;
    return !host || m_sampledBatches < m_takenBatches + kQueuedBatches;
}

void CNetLockstep::RestartCounter()
{
    m_counter = 0;
    m_guestSent = false;
}

bool CNetLockstep::SampleHost(const tag_TOLQINPUTRECORD& own, uint32_t frameMilliseconds)
{
    if (m_counter >= m_framesPerBatch)
        return true;
    const uint32_t k = m_counter / kRepeat;
    uint8_t* record = BatchRecord(m_sampledBatches, k, 0);
    if (m_counter % kRepeat != 0)
    {
        AddMouse(record, ReadDelta(own.bytes + kMouseX), ReadDelta(own.bytes + kMouseY));
    }
    else
    {
        m_batches[m_sampledBatches % kQueuedBatches][k][0] =
            static_cast<uint8_t>(std::min(frameMilliseconds, kMaxFrameTime));
        std::memcpy(record, own.bytes, tag_TOLQINPUTRECORD::kSize);
    }
    if (++m_counter < m_framesPerBatch)
        return false;
    ++m_sampledBatches;
    return true;
}

bool CNetLockstep::SampleGuest(uint8_t slot, const tag_TOLQINPUTRECORD& own, std::vector<uint8_t>* send)
{
    send->clear();
    if (m_counter >= m_framesPerBatch)
        return true;
    const uint32_t transmitted = GetTransmittedFrames();
    const uint32_t k = m_counter / kRepeat;
    const int32_t dx = ReadDelta(own.bytes + kMouseX);
    const int32_t dy = ReadDelta(own.bytes + kMouseY);
    uint8_t* record = m_outgoing[k] + 1;
    if (m_counter % kRepeat != 0)
    {
        // The record already went out: its movement goes into the next one.
        if (m_guestSent)
        {
            m_carryX += dx;
            m_carryY += dy;
        }
        else
        {
            AddMouse(record, dx, dy);
        }
    }
    else
    {
        m_outgoing[k][0] = slot;
        std::memcpy(record, own.bytes, tag_TOLQINPUTRECORD::kSize);
        AddMouse(record, m_carryX, m_carryY);
        m_carryX = 0;
        m_carryY = 0;
        if (k + 1 == transmitted)
        {
            send->assign(&m_outgoing[0][0], &m_outgoing[0][0] + transmitted * kRecordSize);
            m_guestSent = true;
        }
    }
    if (++m_counter < m_framesPerBatch)
        return false;
    ++m_sampledBatches;
    return true;
}

uint32_t CNetLockstep::StoreGuestRecords(uint8_t slot, const uint8_t* records, uint32_t count)
{
    if (slot == 0 || slot >= kSlots || records == nullptr)
        return 0;
    const uint32_t transmitted = GetTransmittedFrames();
    uint32_t kept = 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        const uint8_t* record = records + i * kRecordSize;
        const uint32_t batch = m_records[slot] / transmitted;
        if (record[0] != slot || batch < m_takenBatches || batch >= m_takenBatches + kQueuedBatches)
            continue;
        uint8_t* target = BatchRecord(batch, m_records[slot] % transmitted, slot);
        std::memcpy(target, record + 1, tag_TOLQINPUTRECORD::kSize);
        for (uint32_t axis = kFirstAxis; axis < kFirstAxis + kAxisCount; ++axis)
        {
            if (target[axis] == kMarkAxis)
                target[axis] = kLowestAxis;
        }
        ++m_records[slot];
        ++kept;
    }
    return kept;
}

uint32_t CNetLockstep::GetInputCount(uint32_t slot) const
{
    if (slot >= kSlots)
        return 0;
    const uint32_t transmitted = GetTransmittedFrames();
    const uint32_t before = m_takenBatches * transmitted;
    const uint32_t count = m_records[slot] > before ? m_records[slot] - before : 0;
    return std::min(count, transmitted);
}

bool CNetLockstep::IsBatchReady(uint32_t waitFor) const
{
    if (m_sampledBatches <= m_takenBatches || !HasRoomFor(m_framesPerBatch))
        return false;
    return MissingRecords(waitFor) == 0;
}

uint32_t CNetLockstep::MissingRecords(uint32_t waitFor) const
{
    if (m_sampledBatches <= m_takenBatches)
        return 0;
    const uint32_t transmitted = GetTransmittedFrames();
    uint32_t missing = 0;
    for (uint32_t slot = 1; slot < kSlots; ++slot)
    {
        if ((waitFor & (1u << slot)) != 0 && GetInputCount(slot) < transmitted)
            missing |= 1u << slot;
    }
    return missing;
}

void CNetLockstep::TakeBatch(uint32_t departed, std::vector<uint8_t>* out)
{
    const uint32_t transmitted = GetTransmittedFrames();
    const auto& batch = m_batches[m_takenBatches % kQueuedBatches];
    for (uint32_t k = 0; k < transmitted; ++k)
    {
        for (uint32_t slot = 1; slot < kSlots; ++slot)
        {
            if ((departed & (1u << slot)) != 0)
                MakeDepartureMark(BatchRecord(m_takenBatches, k, slot));
        }
    }
    out->resize(transmitted * kFrameSize);
    for (uint32_t k = 0; k < transmitted; ++k)
        std::memcpy(out->data() + k * kFrameSize, batch[k].data(), kFrameSize);
    ++m_takenBatches;
    PushFrames(out->data(), transmitted);
}

uint32_t CNetLockstep::BattleFramesOf(uint32_t count) const
{
    uint32_t total = 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        const int32_t left = static_cast<int32_t>(m_framesPerBatch) - static_cast<int32_t>(kRepeat * i);
        if (left <= 0)
            break;
        total += static_cast<uint32_t>(std::min<int32_t>(left, kRepeat));
    }
    return total;
}

bool CNetLockstep::HasRoomFor(uint32_t battleFrames) const
{
    return m_writeIndex - m_readIndex + battleFrames <= kRingFrames;
}

bool CNetLockstep::PushFrames(const uint8_t* frames, uint32_t count)
{
    if (frames == nullptr || !HasRoomFor(BattleFramesOf(count)))
        return false;
    for (uint32_t i = 0; i < count; ++i)
    {
        const int32_t left = static_cast<int32_t>(m_framesPerBatch) - static_cast<int32_t>(kRepeat * i);
        if (left <= 0)
            break;
        const int32_t repeat = std::min<int32_t>(left, kRepeat);
        Frame frame;
        std::memcpy(frame.data(), frames + i * kFrameSize, kFrameSize);
        for (uint32_t slot = 0; slot < kSlots; ++slot)
        {
            uint8_t* record = frame.data() + 1 + slot * tag_TOLQINPUTRECORD::kSize;
            WriteDelta(record + kMouseX, ReadDelta(record + kMouseX) / repeat);
            WriteDelta(record + kMouseY, ReadDelta(record + kMouseY) / repeat);
        }
        for (int32_t copy = 0; copy < repeat; ++copy)
            m_ring[m_writeIndex++ % kRingFrames] = frame;
    }
    return true;
}

bool CNetLockstep::PopFrame(Frame* out)
{
    if (!HasFrame())
        return false;
    *out = m_ring[m_readIndex++ % kRingFrames];
    return true;
}
