// The online battle's batches and frame ring, headless: what a guest sends,
// how the host gathers a batch, and how every side spreads the frames.
#include "game/scene/CNetLockstep.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace
{
tag_TOLQINPUTRECORD Record(uint8_t firstByte, int16_t dx = 0, int16_t dy = 0)
{
    tag_TOLQINPUTRECORD record;
    record.bytes[0] = firstByte;
    record.bytes[11] = static_cast<uint8_t>(dx);
    record.bytes[12] = static_cast<uint8_t>(static_cast<uint16_t>(dx) >> 8);
    record.bytes[13] = static_cast<uint8_t>(dy);
    record.bytes[14] = static_cast<uint8_t>(static_cast<uint16_t>(dy) >> 8);
    return record;
}

int16_t DeltaX(const uint8_t* record)
{
    return static_cast<int16_t>(record[11] | (record[12] << 8));
}

// The guest's records of one message: slot byte and 15 bytes each.
std::vector<uint8_t> GuestRecords(uint8_t slot, uint32_t count, uint8_t firstByte)
{
    std::vector<uint8_t> bytes(count * CNetLockstep::kRecordSize, 0);
    for (uint32_t i = 0; i < count; ++i)
    {
        bytes[i * CNetLockstep::kRecordSize] = slot;
        bytes[i * CNetLockstep::kRecordSize + 1] = static_cast<uint8_t>(firstByte + i);
    }
    return bytes;
}

// Samples a whole batch on the host, frame i with record byte 0 = i.
void SampleHostBatch(CNetLockstep& lockstep, int16_t dx = 0)
{
    for (uint32_t i = 0; i < lockstep.GetFramesPerBatch(); ++i)
        lockstep.SampleHost(Record(static_cast<uint8_t>(i), dx), 16);
}
}

TEST(NetLockstep, FramesPerBatchStayBetweenOneAndThirty)
{
    EXPECT_EQ(CNetLockstep::ClampFramesPerBatch(0), 1);
    EXPECT_EQ(CNetLockstep::ClampFramesPerBatch(7), 7);
    EXPECT_EQ(CNetLockstep::ClampFramesPerBatch(31), 30);
    EXPECT_EQ(CNetLockstep::ClampFramesPerBatch(255), 30);
    EXPECT_EQ(CNetLockstep::TransmittedFrames(255), 10u);
    EXPECT_EQ(CNetLockstep::TransmittedFrames(1), 1u);
    CNetLockstep lockstep;
    lockstep.Reset(200);
    EXPECT_EQ(lockstep.GetFramesPerBatch(), 30u);
    EXPECT_EQ(lockstep.GetTransmittedFrames(), 10u);
}

TEST(NetLockstep, WithSevenFramesABatchTravelsAsThreeFramesThatStandForThreeThreeAndOne)
{
    CNetLockstep host;
    host.Reset(7);
    ASSERT_EQ(host.GetTransmittedFrames(), 3u);
    for (uint32_t i = 0; i < 7; ++i)
    {
        // A mouse movement of 10 on the first battle frame only.
        EXPECT_EQ(host.SampleHost(Record(static_cast<uint8_t>(i), i == 0 ? 10 : 0), 16), i == 6);
    }
    ASSERT_TRUE(host.IsBatchReady(0));
    std::vector<uint8_t> batch;
    host.TakeBatch(0, &batch);
    ASSERT_EQ(batch.size(), 3u * CNetLockstep::kFrameSize);
    // The ring grows by the batch's 7 battle frames.
    EXPECT_EQ(host.GetWriteIndex(), 7u);
    const uint8_t expectedFirst[7] = {0, 0, 0, 3, 3, 3, 6};
    for (uint32_t i = 0; i < 7; ++i)
    {
        CNetLockstep::Frame frame;
        ASSERT_TRUE(host.PopFrame(&frame));
        EXPECT_EQ(frame[0], 16) << i;
        EXPECT_EQ(CNetLockstep::SlotRecord(frame, 0)[0], expectedFirst[i]) << i;
        // 10 spread over the first frame's three repeats, the rest lost.
        EXPECT_EQ(DeltaX(CNetLockstep::SlotRecord(frame, 0)), i < 3 ? 3 : 0) << i;
    }
    EXPECT_FALSE(host.HasFrame());
}

TEST(NetLockstep, WithSixFramesAGuestSendsTwoRecordsAtItsFourthFrameAndCarriesLaterMovement)
{
    CNetLockstep guest;
    guest.Reset(6);
    std::vector<uint8_t> sent;
    std::vector<std::vector<uint8_t>> messages;
    for (uint32_t counter = 0; counter < 6; ++counter)
    {
        // Counter values 4 and 5 move the mouse after record 1 went out.
        const int16_t dx = counter == 1 ? 2 : counter >= 4 ? 5 : 0;
        guest.SampleGuest(3, Record(static_cast<uint8_t>(counter), dx), &sent);
        if (!sent.empty())
        {
            EXPECT_EQ(counter, 3u);
            messages.push_back(sent);
        }
    }
    ASSERT_EQ(messages.size(), 1u);
    ASSERT_EQ(messages[0].size(), 32u);
    EXPECT_EQ(messages[0][0], 3);
    EXPECT_EQ(messages[0][1], 0);
    EXPECT_EQ(DeltaX(&messages[0][1]), 2);
    EXPECT_EQ(messages[0][16], 3);
    EXPECT_EQ(messages[0][17], 3);
    // The next batch: its first record carries the 10 that came too late.
    guest.RestartCounter();
    for (uint32_t counter = 0; counter < 6; ++counter)
    {
        guest.SampleGuest(3, Record(0x40, 0), &sent);
        if (!sent.empty())
            messages.push_back(sent);
    }
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(DeltaX(&messages[1][1]), 10);
    EXPECT_EQ(DeltaX(&messages[1][17]), 0);
}

TEST(NetLockstep, TheHostTakesEachBatchOnceAndOnlyWithEverySeatedGuestsRecords)
{
    CNetLockstep host;
    host.Reset(6);
    const uint32_t seated = (1u << 1) | (1u << 2);
    // Nothing is missing before the host has sampled the batch.
    EXPECT_EQ(host.MissingRecords(seated), 0u);
    SampleHostBatch(host);
    EXPECT_FALSE(host.IsBatchReady(seated));
    EXPECT_EQ(host.MissingRecords(seated), seated);
    std::vector<uint8_t> one = GuestRecords(1, 2, 0x10);
    EXPECT_EQ(host.StoreGuestRecords(1, one.data(), 2), 2u);
    EXPECT_FALSE(host.IsBatchReady(seated));
    // The guest that keeps the batch waiting is the one named.
    EXPECT_EQ(host.MissingRecords(seated), 1u << 2);
    // Records for another slot in a guest's message are not its to give.
    std::vector<uint8_t> forged = GuestRecords(2, 2, 0x66);
    EXPECT_EQ(host.StoreGuestRecords(1, forged.data(), 2), 0u);
    std::vector<uint8_t> two = GuestRecords(2, 2, 0x20);
    EXPECT_EQ(host.StoreGuestRecords(2, two.data(), 2), 2u);
    ASSERT_TRUE(host.IsBatchReady(seated));
    std::vector<uint8_t> batch;
    host.TakeBatch(0, &batch);
    EXPECT_FALSE(host.IsBatchReady(seated));
    EXPECT_FALSE(host.IsBatchReady(0)) << "the same batch again";
    EXPECT_EQ(host.GetTakenBatches(), 1u);
    CNetLockstep::Frame frame;
    std::memcpy(frame.data(), batch.data() + CNetLockstep::kFrameSize, CNetLockstep::kFrameSize);
    EXPECT_EQ(CNetLockstep::SlotRecord(frame, 0)[0], 3);
    EXPECT_EQ(CNetLockstep::SlotRecord(frame, 1)[0], 0x11);
    EXPECT_EQ(CNetLockstep::SlotRecord(frame, 2)[0], 0x21);
}

TEST(NetLockstep, RecordsThatComeEarlyWaitForTheirBatchAndTheHostSamplesOneBatchAhead)
{
    CNetLockstep host;
    host.Reset(3);
    const uint32_t seated = 1u << 1;
    // The guest's records for batches 0 and 1 arrive before either batch.
    std::vector<uint8_t> early = GuestRecords(1, 1, 0x30);
    host.StoreGuestRecords(1, early.data(), 1);
    early = GuestRecords(1, 1, 0x31);
    host.StoreGuestRecords(1, early.data(), 1);
    SampleHostBatch(host);
    ASSERT_TRUE(host.IsBatchReady(seated));
    std::vector<uint8_t> batch;
    host.TakeBatch(0, &batch);
    EXPECT_EQ(batch[1 + 15], 0x30);
    host.RestartCounter();
    SampleHostBatch(host);
    host.TakeBatch(0, &batch);
    EXPECT_EQ(batch[1 + 15], 0x31);
    host.RestartCounter();
    // A guest's records for the next four batches are kept, not more.
    for (uint32_t i = 0; i < CNetLockstep::kQueuedBatches; ++i)
    {
        early = GuestRecords(1, 1, static_cast<uint8_t>(0x40 + i));
        EXPECT_EQ(host.StoreGuestRecords(1, early.data(), 1), 1u) << i;
    }
    early = GuestRecords(1, 1, 0x50);
    EXPECT_EQ(host.StoreGuestRecords(1, early.data(), 1), 0u);
    // The host samples one batch past the frames it has, and waits there.
    EXPECT_TRUE(host.CanStartBatch(true));
    SampleHostBatch(host);
    host.RestartCounter();
    SampleHostBatch(host);
    EXPECT_FALSE(host.CanStartBatch(true));
    host.TakeBatch(0, &batch);
    EXPECT_EQ(batch[1 + 15], 0x40);
    EXPECT_TRUE(host.CanStartBatch(true));
}

TEST(NetLockstep, ADepartedSlotCarriesTheMarkThatNoPadCanMake)
{
    CNetLockstep host;
    host.Reset(3);
    SampleHostBatch(host);
    // A guest's stick at -128 would read as the mark: it is held at -127.
    std::vector<uint8_t> forged = GuestRecords(2, 1, 0);
    forged[1 + 7] = 0x80;
    host.StoreGuestRecords(2, forged.data(), 1);
    std::vector<uint8_t> batch;
    host.TakeBatch(1u << 1, &batch);
    CNetLockstep::Frame frame;
    ASSERT_TRUE(host.PopFrame(&frame));
    EXPECT_TRUE(CNetLockstep::IsDepartureMark(CNetLockstep::SlotRecord(frame, 1)));
    EXPECT_FALSE(CNetLockstep::IsDepartureMark(CNetLockstep::SlotRecord(frame, 2)));
    EXPECT_EQ(CNetLockstep::SlotRecord(frame, 2)[7], 0x81);
    EXPECT_FALSE(CNetLockstep::IsDepartureMark(CNetLockstep::SlotRecord(frame, 0)));
}

TEST(NetLockstep, TheRingNeverOverwritesFramesNotYetStepped)
{
    CNetLockstep guest;
    guest.Reset(30);
    std::vector<uint8_t> frames(10 * CNetLockstep::kFrameSize, 0);
    ASSERT_TRUE(guest.PushFrames(frames.data(), 10));
    ASSERT_TRUE(guest.PushFrames(frames.data(), 10));
    EXPECT_EQ(guest.GetWriteIndex(), 60u);
    // A third batch of 30 would pass the 80 frames: refused whole.
    EXPECT_FALSE(guest.PushFrames(frames.data(), 10));
    EXPECT_EQ(guest.GetWriteIndex(), 60u);
    CNetLockstep::Frame frame;
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(guest.PopFrame(&frame));
    EXPECT_TRUE(guest.PushFrames(frames.data(), 10));
    EXPECT_EQ(guest.GetWriteIndex(), 90u);
    // Frames past the batch's count stand for nothing.
    CNetLockstep short7;
    short7.Reset(7);
    EXPECT_TRUE(short7.PushFrames(frames.data(), 5));
    EXPECT_EQ(short7.GetWriteIndex(), 7u);
}

TEST(NetLockstep, ASideRunsOneBatchAheadOfItsFramesAndNoFurther)
{
    CNetLockstep guest;
    guest.Reset(3);
    std::vector<uint8_t> sent;
    for (int i = 0; i < 3; ++i)
        guest.SampleGuest(1, Record(0), &sent);
    EXPECT_EQ(guest.GetCounter(), 3u);
    // The first batch needs nothing back yet.
    EXPECT_TRUE(guest.CanStartBatch(false));
    // A sampled batch samples nothing more until it restarts.
    EXPECT_TRUE(guest.SampleGuest(1, Record(0), &sent));
    EXPECT_TRUE(sent.empty());
    guest.RestartCounter();
    for (int i = 0; i < 3; ++i)
        guest.SampleGuest(1, Record(0), &sent);
    EXPECT_FALSE(guest.CanStartBatch(false)) << "the first batch has not come back";
    std::vector<uint8_t> frame(CNetLockstep::kFrameSize, 0);
    guest.PushFrames(frame.data(), 1);
    EXPECT_TRUE(guest.CanStartBatch(false));
    guest.RestartCounter();
    EXPECT_EQ(guest.GetCounter(), 0u);
}
