#include "NetTestSupport.h"

#include "net/CNetworkTest.h"
#include "net/LineTestMessages.h"

#include <gtest/gtest.h>

#include <thread>

using namespace nettest;

namespace
{
// Tests the service at host, retrying while it is not up yet.
uint32_t TestWhenUp(CNetworkTest& tester, const char* host, uint16_t size, uint16_t count,
                    tag_KVRNETWORKTESTRESULT* result)
{
    for (int attempt = 0; attempt < 200; ++attempt)
    {
        if (tester.TestPeer(host, size, count, result))
            return 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return 0;
}
} // namespace

// 100 blocks of 1000 bytes between two processes: every datagram of a
// loss-free line counts, in both directions.
TEST(LineTest, TwoProcessesWithTheLobbySizes)
{
    const uint16_t port = FreePortBoth("127.0.40.2");
    ASSERT_NE(port, 0);
    int done[2];
    ASSERT_EQ(pipe(done), 0);
    ChildProcess service([&] {
        close(done[1]);
        CNetworkTest test;
        test.SetLocalAddress("127.0.40.2");
        test.SetPause(1);
        if (!test.Start(port))
            return 1;
        // Serves until the tester says it is done.
        char byte = 0;
        return read(done[0], &byte, 1) == 1 ? 0 : 2;
    });
    close(done[0]);
    CNetworkTest tester;
    ASSERT_EQ(tester.SetLocalAddress("127.0.40.3"), 1u);
    tester.SetPause(1);
    ASSERT_EQ(tester.Start(port), 1u);
    tag_KVRNETWORKTESTRESULT result;
    EXPECT_EQ(TestWhenUp(tester, "127.0.40.2", 1000, 100, &result), 1u);
    EXPECT_EQ(result.receivedFromPeer, 100u);
    EXPECT_EQ(result.receivedByPeer, 100u);
    const char byte = 1;
    ASSERT_EQ(write(done[1], &byte, 1), 1);
    close(done[1]);
    EXPECT_EQ(service.Wait(30000), 0);
}

TEST(LineTest, SizesAndCountsOutsideTheLimitsAreRefused)
{
    CNetworkTest tester;
    ASSERT_EQ(tester.SetLocalAddress("127.0.42.3"), 1u);
    ASSERT_EQ(tester.Start(0), 1u);
    tag_KVRNETWORKTESTRESULT result;
    EXPECT_EQ(tester.TestPeer("127.0.42.2", 0, 100, &result), 0u);
    EXPECT_EQ(tester.TestPeer("127.0.42.2", 1, 100, &result), 0u);
    EXPECT_EQ(tester.TestPeer("127.0.42.2", 1401, 100, &result), 0u);
    EXPECT_EQ(tester.TestPeer("127.0.42.2", 1000, 0, &result), 0u);
    EXPECT_EQ(tester.TestPeer("127.0.42.2", 1000, kLineTestMaxBlockCount + 1, &result), 0u);

    uint8_t request[4];
    uint16_t count = 0;
    uint16_t size = 0;
    WriteLineTestRequest(request, 100, 1000);
    EXPECT_EQ(ParseLineTestRequest(request, 4, &count, &size), 1u);
    EXPECT_EQ(ParseLineTestRequest(request, 3, &count, &size), 0u);
    WriteLineTestRequest(request, 100, 1);
    EXPECT_EQ(ParseLineTestRequest(request, 4, &count, &size), 0u);
    WriteLineTestRequest(request, 65535, 1000);
    EXPECT_EQ(ParseLineTestRequest(request, 4, &count, &size), 0u);
    uint16_t sequence = 0;
    uint8_t side = 0;
    const uint8_t oneByte[1] = {7};
    EXPECT_EQ(ParseLineTestDatagram(oneByte, 1, &sequence, &side), 0u);
}

// The service drops a tester asking for sizes that would overrun its
// buffers, ignores short datagrams, and goes on serving.
TEST(LineTest, ServiceRefusesBadRequestsAndGoesOn)
{
    const uint16_t port = FreePortBoth("127.0.43.2");
    CNetworkTest service;
    ASSERT_EQ(service.SetLocalAddress("127.0.43.2"), 1u);
    service.SetPause(0);
    ASSERT_EQ(service.Start(port), 1u);
    const uint16_t bad[][2] = {{5, 0}, {5, 1}, {5, 1401}, {60000, 1000}};
    for (const auto& ask : bad)
    {
        CNetSocket raw = ConnectRetrying("127.0.43.3", "127.0.43.2", port);
        uint8_t request[4];
        WriteLineTestRequest(request, ask[0], ask[1]);
        ASSERT_EQ(SendWithDeadline(raw.Get(), request, 4, 2000), 1u);
        uint8_t byte = 0;
        EXPECT_TRUE(WaitUntil([&] { return ::recv(raw.Get(), &byte, 1, 0) == 0; }, 5000))
            << ask[0] << "x" << ask[1];
    }
    // Datagrams of 0 and 1 bytes.
    CNetSocket udp(OpenNetSocket(SOCK_DGRAM));
    in_addr local{};
    in_addr target{};
    ParseIPv4("127.0.43.3", &local);
    ParseIPv4("127.0.43.2", &target);
    ASSERT_TRUE(BindNetSocket(udp.Get(), &local, 0));
    const sockaddr_in to = MakeAddress(target, port);
    const uint8_t one = 1;
    ::sendto(udp.Get(), &one, 0, 0, reinterpret_cast<const sockaddr*>(&to), sizeof(to));
    ::sendto(udp.Get(), &one, 1, 0, reinterpret_cast<const sockaddr*>(&to), sizeof(to));

    CNetworkTest tester;
    ASSERT_EQ(tester.SetLocalAddress("127.0.43.3"), 1u);
    tester.SetPause(0);
    ASSERT_EQ(tester.Start(port), 1u);
    tag_KVRNETWORKTESTRESULT result;
    ASSERT_EQ(tester.TestPeer("127.0.43.2", 2, 10, &result), 1u);
    EXPECT_EQ(result.receivedByPeer, 10u);
    EXPECT_EQ(result.receivedFromPeer, 10u);
}

// Two machines testing each other at once: each has a tester record and a
// service record for the same address, and each stream counts into its own.
TEST(LineTest, MutualTestsKeepTheirRecordsApart)
{
    const uint16_t port = FreePortBoth("127.0.44.2");
    CNetworkTest first;
    CNetworkTest second;
    ASSERT_EQ(first.SetLocalAddress("127.0.44.2"), 1u);
    ASSERT_EQ(second.SetLocalAddress("127.0.44.3"), 1u);
    first.SetPause(1);
    second.SetPause(1);
    ASSERT_EQ(first.Start(port), 1u);
    ASSERT_EQ(second.Start(port), 1u);
    tag_KVRNETWORKTESTRESULT fromFirst;
    tag_KVRNETWORKTESTRESULT fromSecond;
    uint32_t firstOk = 0;
    std::thread other([&] { firstOk = first.TestPeer("127.0.44.3", 500, 50, &fromFirst); });
    const uint32_t secondOk = second.TestPeer("127.0.44.2", 500, 50, &fromSecond);
    other.join();
    ASSERT_EQ(firstOk, 1u);
    ASSERT_EQ(secondOk, 1u);
    EXPECT_EQ(fromFirst.receivedFromPeer, 50u);
    EXPECT_EQ(fromFirst.receivedByPeer, 50u);
    EXPECT_EQ(fromSecond.receivedFromPeer, 50u);
    EXPECT_EQ(fromSecond.receivedByPeer, 50u);
}

// A tester that goes away after the TCP phase ends the service's thread,
// and its record goes with it.
TEST(LineTest, TesterLeavingMidTestFreesTheRecord)
{
    const uint16_t port = FreePortBoth("127.0.45.2");
    CNetworkTest service;
    ASSERT_EQ(service.SetLocalAddress("127.0.45.2"), 1u);
    service.SetPause(0);
    ASSERT_EQ(service.Start(port), 1u);
    {
        CNetSocket raw = ConnectRetrying("127.0.45.3", "127.0.45.2", port);
        uint8_t request[4];
        WriteLineTestRequest(request, 3, 100);
        ASSERT_EQ(SendWithDeadline(raw.Get(), request, 4, 2000), 1u);
        std::vector<uint8_t> block(300, 0);
        ASSERT_EQ(SendWithDeadline(raw.Get(), block.data(), block.size(), 2000), 1u);
        std::vector<uint8_t> back(300);
        size_t got = 0;
        ASSERT_TRUE(WaitUntil(
            [&] {
                const ssize_t n = ::recv(raw.Get(), back.data() + got, back.size() - got, 0);
                if (n > 0)
                    got += static_cast<size_t>(n);
                return got == back.size();
            },
            5000));
        EXPECT_EQ(service.GetServiceRecordCount(), 1u);
    }
    EXPECT_TRUE(WaitUntil([&] { return service.GetServiceRecordCount() == 0; }, 5000));
}
