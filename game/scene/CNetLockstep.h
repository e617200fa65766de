#pragma once

// The frames of an online battle: what each side samples, what the host
// gathers into a batch, and the ring every side steps its battle from.
//
// A batch is N battle frames (N = frames per batch, 1..30). It travels as
// R = ceil(N / 3) transmitted frames of 121 bytes (the frame time, then the
// 15-byte input record of each of the eight slots), each standing for three
// battle frames (the last one for what remains): every side samples its
// pad once per battle frame, keeps the record of each third frame and adds
// the mouse movement of the two frames after it. The receiver repeats a
// transmitted frame as often as it stands for and spreads its mouse
// movement evenly over the repeats.
//
// A guest sends its R records as soon as it has started the last of them
// (message 8); mouse movement of later frames goes into its next record.
// The host's batch is ready once its own N frames are sampled and every
// seated guest's R records for it are in; the host then takes it exactly
// once, marks departed slots in it, and it goes to everybody (message 9)
// and into the host's own ring.
//
// Every side samples one battle frame per update and steps at most one.
// A side that has sampled a batch goes on to the next once every batch
// before it has come back as frames: it runs one batch ahead of its
// frames, so frames that take up to a batch's time to come back cost no
// update its step, and an input takes effect N updates later plus the
// time the first frames took. The host keeps up to four batches at once:
// the one it samples and the ones still waiting for a guest's records.
// Records beyond that (a guest running further ahead than any side can)
// are dropped.
//
// A departed slot's record in a frame is the departure mark, a record no
// pad can make (a stick axis of -128): every side closes the seat at the
// first frame that carries it, so all stop applying the seat's input at
// the same frame.
//
// Nothing here locks: the owner keeps one lock (the match's frame lock)
// around every call. Positions count up without wrapping; a ring position
// is the index modulo 80. The ring never takes more frames than it has
// room for, so no unread frame is ever overwritten.

#include "game/actor/tag_TOLQINPUTRECORD.h"

#include <array>
#include <cstdint>
#include <vector>

class CNetLockstep
{
public:
    static constexpr uint32_t kSlots = 8;
    static constexpr uint32_t kRingFrames = 80;
    static constexpr uint32_t kBatchFrames = 10;
    static constexpr uint32_t kQueuedBatches = 4;
    static constexpr uint32_t kMaxFramesPerBatch = 30;
    static constexpr uint32_t kFrameSize = 1 + kSlots * tag_TOLQINPUTRECORD::kSize;
    static constexpr uint32_t kRecordSize = 1 + tag_TOLQINPUTRECORD::kSize;
    static constexpr uint32_t kMaxFrameTime = 18;
    // Battle frames one transmitted frame stands for.
    static constexpr uint32_t kRepeat = 3;
    using Frame = std::array<uint8_t, kFrameSize>;

    static uint8_t ClampFramesPerBatch(uint32_t framesPerBatch);
    // ceil(N / 3).
    static uint32_t TransmittedFrames(uint32_t framesPerBatch);
    static void MakeDepartureMark(uint8_t record[tag_TOLQINPUTRECORD::kSize]);
    static bool IsDepartureMark(const uint8_t record[tag_TOLQINPUTRECORD::kSize]);
    // The record of slot s inside a frame.
    static const uint8_t* SlotRecord(const Frame& frame, uint32_t slot) { return frame.data() + 1 + slot * tag_TOLQINPUTRECORD::kSize; }

    CNetLockstep() { Reset(1); }

    // A new battle: empty ring, counters and batch, N clamped to 1..30.
    void Reset(uint32_t framesPerBatch);
    uint32_t GetFramesPerBatch() const { return m_framesPerBatch; }
    uint32_t GetTransmittedFrames() const { return TransmittedFrames(m_framesPerBatch); }

    // One battle frame of the host's own input (slot 0) and the frame time.
    // True when the batch's N frames are sampled: the host then waits for
    // the batch to come back into its ring.
    bool SampleHost(const tag_TOLQINPUTRECORD& own, uint32_t frameMilliseconds);
    // One battle frame of a guest. When its records go out now, send gets
    // them (R x 16 bytes, message 8); otherwise send is left empty. True
    // when the batch's N frames are sampled.
    bool SampleGuest(uint8_t slot, const tag_TOLQINPUTRECORD& own, std::vector<uint8_t>* send);
    // The counter within the batch (0..N).
    uint32_t GetCounter() const { return m_counter; }
    // Whether a side that sampled its whole batch may start the next one:
    // the batches before it are in the ring (and, on the host, a batch
    // place is free).
    bool CanStartBatch(bool host) const;
    // After the wait for frames: the next batch starts.
    void RestartCounter();

    // Host: records of one guest's message 8, all for that guest's slot
    // (others are skipped), each into the next place of that guest's
    // batches. The stick axes are held inside what a pad can give, so no
    // record reads as the departure mark. The number kept.
    uint32_t StoreGuestRecords(uint8_t slot, const uint8_t* records, uint32_t count);
    // Records of the slot for the batch the host takes next (0..R).
    uint32_t GetInputCount(uint32_t slot) const;
    // Batches the host has taken so far.
    uint32_t GetTakenBatches() const { return m_takenBatches; }
    // Host: the batch may go: the host sampled all of it, every slot of
    // waitFor (bit s for slot s) has its R records, and the ring has room.
    bool IsBatchReady(uint32_t waitFor) const;
    // Host: the slots of waitFor whose records the next batch to take
    // still lacks, once the host has sampled that batch (0 before).
    uint32_t MissingRecords(uint32_t waitFor) const;
    // Host: takes the ready batch once (counts and readiness cleared), with
    // the slots of departed (bit s) marked in every frame; its R frames go
    // into out and into the own ring.
    void TakeBatch(uint32_t departed, std::vector<uint8_t>* out);

    // count transmitted frames (count x 121 bytes) into the ring, each
    // repeated as often as it stands for. False, writing nothing, when the
    // ring has no room for them yet.
    bool PushFrames(const uint8_t* frames, uint32_t count);
    // The battle frames count transmitted frames stand for.
    uint32_t BattleFramesOf(uint32_t count) const;
    bool HasRoomFor(uint32_t battleFrames) const;
    bool HasFrame() const { return m_readIndex < m_writeIndex; }
    // The next battle frame; false when none is waiting.
    bool PopFrame(Frame* out);
    uint32_t GetReadIndex() const { return m_readIndex; }
    uint32_t GetWriteIndex() const { return m_writeIndex; }

private:
    static void AddMouse(uint8_t* record, int32_t dx, int32_t dy);
    uint8_t* BatchRecord(uint32_t batch, uint32_t frame, uint32_t slot)
    {
        return m_batches[batch % kQueuedBatches][frame].data() + 1 + slot * tag_TOLQINPUTRECORD::kSize;
    }

    uint32_t m_framesPerBatch = 1;
    uint32_t m_counter = 0;
    // Batches sampled whole; on the host also those taken, and the
    // records kept per slot.
    uint32_t m_sampledBatches = 0;
    uint32_t m_takenBatches = 0;
    uint32_t m_records[kSlots] = {};
    std::array<std::array<Frame, kBatchFrames>, kQueuedBatches> m_batches = {};
    bool m_guestSent = false;
    int32_t m_carryX = 0;
    int32_t m_carryY = 0;
    uint8_t m_outgoing[kBatchFrames][kRecordSize] = {};
    std::array<Frame, kRingFrames> m_ring = {};
    uint32_t m_readIndex = 0;
    uint32_t m_writeIndex = 0;
};
