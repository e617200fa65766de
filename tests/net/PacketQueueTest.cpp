#include "net/CPacketQueue.h"
#include "net/NetHeader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace
{
using Message = std::pair<int16_t, uint32_t>;

std::vector<uint8_t> Frame(int16_t id, uint32_t length, uint8_t fill)
{
    std::vector<uint8_t> payload(length, fill);
    std::vector<uint8_t> frame;
    BuildNetFrame(frame, id, 1, payload.data(), length);
    return frame;
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Pops every complete node: (id, payload length) pairs.
std::vector<std::pair<int16_t, uint32_t>> Drain(CPacketQueue& queue)
{
    std::vector<std::pair<int16_t, uint32_t>> out;
    while (queue.FrontComplete())
    {
        tag_KVRPACKETNODE* node = queue.PopFront();
        const tag_KVRNETHEADER header = ReadNetHeader(node->data);
        EXPECT_EQ(header.length, static_cast<uint32_t>(node->size));
        out.emplace_back(header.id, static_cast<uint32_t>(node->size) - 8u);
        CPacketQueue::FreeNode(node);
    }
    return out;
}
} // namespace

TEST(PacketQueue, TwoWholeMessagesAndPartOfAThird)
{
    CPacketQueue queue;
    const auto third = Frame(3, 20, 0x33);
    auto run = Join({Frame(1, 4, 0x11), Frame(2, 0, 0)});
    run.insert(run.end(), third.begin(), third.begin() + 11);
    ASSERT_EQ(queue.Reassemble(run.data(), run.size()), 1u);
    EXPECT_EQ(queue.count, 3);
    EXPECT_EQ(queue.last->filled, 11);
    EXPECT_EQ(queue.last->size, 28);
    ASSERT_EQ(queue.Reassemble(third.data() + 11, third.size() - 11), 1u);
    const auto messages = Drain(queue);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], (Message{1, 4}));
    EXPECT_EQ(messages[1], (Message{2, 0}));
    EXPECT_EQ(messages[2], (Message{3, 20}));
}

TEST(PacketQueue, HeaderOnlyMessageIsCompleteAtOnce)
{
    CPacketQueue queue;
    const auto frame = Frame(kNetKeepAliveRequest, 0, 0);
    ASSERT_EQ(queue.Reassemble(frame.data(), frame.size()), 1u);
    ASSERT_TRUE(queue.FrontComplete());
    EXPECT_EQ(queue.first->size, 8);
    EXPECT_EQ(ReadNetHeader(queue.first->data).length, 8u);
}

// A header split across reads is kept, alone or behind a whole message.
TEST(PacketQueue, SplitHeaderIsKeptUntilComplete)
{
    CPacketQueue queue;
    const auto first = Frame(1, 3, 0x01);
    const auto second = Frame(2, 5, 0x02);
    auto run = Join({first});
    run.insert(run.end(), second.begin(), second.begin() + 5);
    ASSERT_EQ(queue.Reassemble(run.data(), run.size()), 1u);
    EXPECT_EQ(queue.PendingHeaderBytes(), 5u);
    EXPECT_EQ(queue.count, 1);
    ASSERT_EQ(queue.Reassemble(second.data() + 5, 2), 1u);
    EXPECT_EQ(queue.PendingHeaderBytes(), 7u);
    ASSERT_EQ(queue.Reassemble(second.data() + 7, second.size() - 7), 1u);
    const auto messages = Drain(queue);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1], (Message{2, 5}));
}

TEST(PacketQueue, ShortRunExtendsAnOpenFrame)
{
    CPacketQueue queue;
    const auto frame = Frame(9, 10, 0x09);
    ASSERT_EQ(queue.Reassemble(frame.data(), 13), 1u);
    ASSERT_EQ(queue.Reassemble(frame.data() + 13, 5), 1u);
    EXPECT_EQ(queue.last->filled, 18);
    EXPECT_EQ(queue.PendingHeaderBytes(), 0u);
}

TEST(PacketQueue, OversizedAnnouncementBreaksTheStream)
{
    CPacketQueue queue;
    uint8_t header[8];
    tag_KVRNETHEADER announced;
    announced.id = 1;
    announced.sub = 1;
    announced.length = 0xFFFFFFFFu;
    WriteNetHeader(header, announced);
    EXPECT_EQ(queue.Reassemble(header, sizeof(header)), 0u);
    EXPECT_EQ(queue.count, 0);

    CPacketQueue capped;
    announced.length = kNetMaxPayload + 1;
    WriteNetHeader(header, announced);
    EXPECT_EQ(capped.Reassemble(header, 4), 1u);
    EXPECT_EQ(capped.Reassemble(header + 4, 4), 0u);

    CPacketQueue atLimit;
    announced.length = kNetMaxPayload;
    WriteNetHeader(header, announced);
    EXPECT_EQ(atLimit.Reassemble(header, sizeof(header)), 1u);
}

TEST(PacketQueue, PopFrontOnEmptyQueue)
{
    CPacketQueue queue;
    EXPECT_EQ(queue.PopFront(), nullptr);
    EXPECT_EQ(queue.count, 0);
    ASSERT_EQ(queue.Push(nullptr, 4, 0), 1u);
    tag_KVRPACKETNODE* node = queue.PopFront();
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(queue.first, nullptr);
    EXPECT_EQ(queue.last, nullptr);
    CPacketQueue::FreeNode(node);
}

// Every split of a stream of varied messages yields the same messages.
TEST(PacketQueue, EverySplitPointGivesTheSameMessages)
{
    const auto stream = Join({Frame(1, 0, 0), Frame(2, 1, 0x22), Frame(3, 17, 0x33), Frame(-4, 9, 0x44)});
    for (size_t piece = 1; piece <= stream.size(); ++piece)
    {
        CPacketQueue queue;
        for (size_t at = 0; at < stream.size(); at += piece)
        {
            const size_t n = stream.size() - at < piece ? stream.size() - at : piece;
            ASSERT_EQ(queue.Reassemble(stream.data() + at, n), 1u) << "piece " << piece;
        }
        std::vector<uint8_t> rebuilt;
        while (queue.FrontComplete())
        {
            tag_KVRPACKETNODE* node = queue.PopFront();
            tag_KVRNETHEADER header = ReadNetHeader(node->data);
            header.length -= 8;
            uint8_t head[8];
            WriteNetHeader(head, header);
            rebuilt.insert(rebuilt.end(), head, head + 8);
            rebuilt.insert(rebuilt.end(), node->data + 8, node->data + node->size);
            CPacketQueue::FreeNode(node);
        }
        EXPECT_EQ(rebuilt, stream) << "piece " << piece;
        EXPECT_EQ(queue.count, 0);
    }
}

namespace
{
struct Sunk
{
    std::vector<uint8_t> bytes;
    int frames = 0;
    int stopAfter = -1;

    static uint32_t Take(void* argument, const uint8_t* frame, uint32_t total)
    {
        Sunk* self = static_cast<Sunk*>(argument);
        tag_KVRNETHEADER header = ReadNetHeader(frame);
        header.length = total - 8;
        uint8_t head[8];
        WriteNetHeader(head, header);
        self->bytes.insert(self->bytes.end(), head, head + 8);
        self->bytes.insert(self->bytes.end(), frame + 8, frame + total);
        ++self->frames;
        return self->frames == self->stopAfter ? 0u : 1u;
    }
};
} // namespace

// Delivery straight from the read buffer and through the queue give the
// same messages at every split point, frames split across runs included.
TEST(PacketQueue, DeliverGivesTheStreamAtEverySplit)
{
    const auto stream = Join({Frame(1, 0, 0), Frame(2, 1, 0x22), Frame(3, 17, 0x33), Frame(-4, 9, 0x44)});
    for (size_t piece = 1; piece <= stream.size(); ++piece)
    {
        CPacketQueue queue;
        Sunk sunk;
        for (size_t at = 0; at < stream.size(); at += piece)
        {
            const size_t n = stream.size() - at < piece ? stream.size() - at : piece;
            ASSERT_EQ(queue.Deliver(stream.data() + at, n, Sunk::Take, &sunk), 1u) << "piece " << piece;
        }
        EXPECT_EQ(sunk.bytes, stream) << "piece " << piece;
        EXPECT_EQ(queue.count, 0);
        EXPECT_EQ(queue.PendingHeaderBytes(), 0u);
    }
}

TEST(PacketQueue, DeliverStopsWhenTheSinkRefuses)
{
    const auto stream = Join({Frame(1, 2, 1), Frame(2, 2, 2), Frame(3, 2, 3)});
    CPacketQueue queue;
    Sunk sunk;
    sunk.stopAfter = 2;
    EXPECT_EQ(queue.Deliver(stream.data(), stream.size(), Sunk::Take, &sunk), 0u);
    EXPECT_EQ(sunk.frames, 2);

    uint8_t header[8];
    tag_KVRNETHEADER announced;
    announced.length = kNetMaxPayload + 1;
    WriteNetHeader(header, announced);
    auto broken = Join({Frame(1, 2, 1)});
    broken.insert(broken.end(), header, header + 8);
    CPacketQueue second;
    Sunk before;
    EXPECT_EQ(second.Deliver(broken.data(), broken.size(), Sunk::Take, &before), 0u);
    EXPECT_EQ(before.frames, 1);
}
