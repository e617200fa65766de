// The outgoing queue of a connection over a loopback TCP pair: frames of
// several posters arrive whole and in order, a reader that stops costs the
// poster nothing, and the queue gives the connection up at its byte limit
// or its deadline, once.
#include "NetTestSupport.h"

#include "net/CNetSendQueue.h"
#include "tests/support/CallWatch.h"
#include "tests/support/ThreadsInCall.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace nettest;

namespace
{
// Both ends of one loopback connection.
struct Pair
{
    Pair(const char* local, const char* remote)
    {
        in_addr address{};
        ParseIPv4(remote, &address);
        CNetSocket listener(OpenNetSocket(SOCK_STREAM));
        BindNetSocket(listener.Get(), &address, 0);
        ::listen(listener.Get(), 1);
        sockaddr_in bound{};
        socklen_t length = sizeof(bound);
        getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&bound), &length);
        in_addr from{};
        ParseIPv4(local, &from);
        sender = ConnectWithDeadline(bound, &from, 2000);
        WaitReadable(listener.Get(), -1, 2000);
        receiver = CNetSocket(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    }
    CNetSocket sender;
    CNetSocket receiver;
};

// How often a queue failed, and when it first did (NetMilliseconds).
struct Failures
{
    std::atomic<int> count{0};
    std::atomic<uint32_t> at{0};
    static void Count(void* argument)
    {
        Failures& failures = *static_cast<Failures*>(argument);
        if (failures.count.fetch_add(1) == 0)
            failures.at.store(NetMilliseconds());
    }
};

// Reads n bytes (bounded wait).
std::vector<uint8_t> ReadBytes(int fd, size_t n)
{
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    WaitUntil(
        [&] {
            while (WaitReadable(fd, -1, 10) == 1)
            {
                const ssize_t got = ::recv(fd, chunk, sizeof(chunk), MSG_DONTWAIT);
                if (got <= 0)
                    return true;
                bytes.insert(bytes.end(), chunk, chunk + got);
            }
            return bytes.size() >= n;
        },
        10000);
    return bytes;
}
} // namespace

TEST(NetSendQueue, FramesOfSeveralPostersArriveWholeAndInOrder)
{
    Pair pair("127.0.9.2", "127.0.9.1");
    ASSERT_TRUE(pair.sender.IsValid() && pair.receiver.IsValid());
    Failures failures;
    CNetSendQueue queue;
    ASSERT_TRUE(queue.Start(pair.sender.Get(), 64 * 1024 * 1024, 5000, Failures::Count, &failures));
    constexpr int kPosters = 3;
    constexpr int kFrames = 400;
    constexpr size_t kSize = 3000;
    std::vector<std::thread> posters;
    for (int p = 0; p < kPosters; ++p)
    {
        posters.emplace_back([&, p] {
            for (int i = 0; i < kFrames; ++i)
            {
                std::vector<uint8_t> frame(kSize, static_cast<uint8_t>(p));
                frame[0] = static_cast<uint8_t>(i);
                frame[1] = static_cast<uint8_t>(i >> 8);
                queue.Post(frame.data(), frame.size());
            }
        });
    }
    for (std::thread& poster : posters)
        poster.join();
    const std::vector<uint8_t> bytes = ReadBytes(pair.receiver.Get(), kPosters * kFrames * kSize);
    ASSERT_EQ(bytes.size(), kPosters * kFrames * kSize);
    int next[kPosters] = {};
    for (size_t at = 0; at < bytes.size(); at += kSize)
    {
        const uint8_t poster = bytes[at + 2];
        ASSERT_LT(poster, kPosters);
        for (size_t i = 2; i < kSize; ++i)
            ASSERT_EQ(bytes[at + i], poster) << "frames interleaved at " << at;
        EXPECT_EQ(bytes[at] | (bytes[at + 1] << 8), next[poster]++);
    }
    EXPECT_EQ(failures.count.load(), 0);
}

// Nobody reads: posting never waits, and the queue fails at its byte limit.
// A post that waited for the socket would sleep until the deadline (a
// minute); one that waited for the writer would sleep with it as long as
// the writer waits for room, and one that waited for room on a condition
// would sleep for ever. No post sleeps so.
TEST(NetSendQueue, AReaderThatStopsCostsThePosterNothing)
{
    Pair pair("127.0.9.4", "127.0.9.3");
    Failures failures;
    CNetSendQueue queue;
    ASSERT_TRUE(queue.Start(pair.sender.Get(), 256 * 1024, 60000, Failures::Count, &failures));
    const std::vector<uint8_t> frame(16 * 1024, 0x33);
    CallWatch watch({kPollCall, SYS_futex});
    uint32_t result = 1;
    auto post = [&] { watch.Run([&] { result = queue.Post(frame.data(), frame.size()); }); };
    // A frame at a time, each taken by the writer (the only other thread
    // here) before the next, until the socket is full and the writer waits
    // for room in it: frames waiting in the queue say only that the writer
    // had no turn yet, which a busy machine gives it later.
    bool writerWaits = false;
    for (int posted = 0; posted < 10000 && result != 0 && !writerWaits; ++posted)
    {
        post();
        WaitUntil(
            [&] {
                writerWaits = ThreadsInCall(kPollCall) > 0;
                return writerWaits || queue.GetQueuedBytes() == 0;
            },
            10000);
    }
    ASSERT_TRUE(writerWaits);
    for (int posted = 0; posted < 10000 && result != 0; ++posted)
        post();
    EXPECT_EQ(result, 0u);
    EXPECT_TRUE(NoStall(watch));
    EXPECT_EQ(failures.count.load(), 1);
    EXPECT_TRUE(queue.HasFailed());
    EXPECT_EQ(queue.GetQueuedBytes(), 0u);
    EXPECT_EQ(queue.Post(frame.data(), frame.size()), 0u);
    EXPECT_EQ(failures.count.load(), 1) << "the connection is given up once";
}

// A trickle of reading doesn't save a connection whose oldest byte is late,
// nor is it given up before that byte has waited out the deadline.
TEST(NetSendQueue, TheOldestByteDecidesTheDeadline)
{
    constexpr uint32_t kDeadlineMs = 200;
    Pair pair("127.0.9.6", "127.0.9.5");
    // A small sending buffer: what the reader takes soon makes room in it,
    // and the writer that waits for room gets some well within the deadline.
    constexpr int kBuffer = 16 * 1024;
    setsockopt(pair.sender.Get(), SOL_SOCKET, SO_SNDBUF, &kBuffer, sizeof(kBuffer));
    Failures failures;
    CNetSendQueue queue;
    ASSERT_TRUE(queue.Start(pair.sender.Get(), 64 * 1024 * 1024, kDeadlineMs, Failures::Count, &failures));
    const std::vector<uint8_t> frame(64 * 1024, 0x44);
    // Fill the socket until frames wait in the queue: the oldest of them
    // was posted no earlier than the post that began the queue. (A busy
    // machine may hold this thread back past the deadline before it looks.)
    uint32_t queuedFrom = 0;
    for (int i = 0; i < 4000 && queue.GetQueuedBytes() == 0 && failures.count.load() == 0; ++i)
    {
        queuedFrom = NetMilliseconds();
        queue.Post(frame.data(), frame.size());
    }
    ASSERT_TRUE(queue.GetQueuedBytes() > 0 || failures.count.load() == 1);
    // The reader takes a little now and then while the poster goes on, at
    // half the poster's pace: the socket takes more before the oldest byte
    // is late, but the queue never catches up.
    uint8_t sink[8 * 1024];
    EXPECT_TRUE(WaitUntil(
        [&] {
            ::recv(pair.receiver.Get(), sink, sizeof(sink), MSG_DONTWAIT);
            queue.Post(frame.data(), 16 * 1024);
            return failures.count.load() == 1;
        },
        10000));
    EXPECT_GE(failures.at.load() - queuedFrom, kDeadlineMs);
    EXPECT_EQ(queue.Post(frame.data(), 8), 0u);
}

TEST(NetSendQueue, StopDropsWhatWaitsAndAStartedQueueRunsAgain)
{
    Pair pair("127.0.9.8", "127.0.9.7");
    CNetSendQueue queue;
    const uint8_t frame[4] = {1, 2, 3, 4};
    EXPECT_EQ(queue.Post(frame, sizeof(frame)), 0u) << "not started";
    ASSERT_TRUE(queue.Start(pair.sender.Get(), 1024, 1000, nullptr, nullptr));
    EXPECT_EQ(queue.Post(frame, sizeof(frame)), 1u);
    queue.Stop();
    EXPECT_FALSE(queue.IsRunning());
    EXPECT_EQ(queue.Post(frame, sizeof(frame)), 0u);
    ASSERT_TRUE(queue.Start(pair.sender.Get(), 1024, 1000, nullptr, nullptr));
    EXPECT_EQ(queue.Post(frame, sizeof(frame)), 1u);
    EXPECT_EQ(ReadBytes(pair.receiver.Get(), 8).size(), 8u);
}
