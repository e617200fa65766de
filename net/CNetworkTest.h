#pragma once

#include "net/NetSocket.h"

#include <netinet/in.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// What a line test measured: times in milliseconds with the built-in pauses
// taken out (they may come out below zero read as signed numbers), and the
// datagram counts of both directions.
struct tag_KVRNETWORKTESTRESULT
{
    uint32_t tcpUploadMs = 0;
    uint32_t tcpDownloadMs = 0;
    uint32_t udpMs = 0;
    uint32_t receivedFromPeer = 0;
    uint32_t receivedByPeer = 0;
};

// One test connection, on either side.
struct tag_KVRNETWORKTESTCLIENT
{
    CNetSocket socket;
    char address[32] = {};
    std::thread thread;
    uint16_t count = 0;
    uint16_t highest = 0;
    uint16_t size = 0;
    bool seenAny = false;
    uint32_t received = 0;
    // The side whose datagrams this record counts: a tester record counts
    // what the peer's service sends, and the other way round.
    uint8_t countsFrom = 0;
    std::atomic<bool> finished{false};
    sockaddr_in udpAddress{};
};

// Measures the line between two players over TCP and UDP. The same object
// is the service (answering testers on its port) and the tester (testing a
// peer's service on the same port number); its one UDP socket both sends
// and counts.
class CNetworkTest
{
public:
    using ClockFunction = uint32_t (*)();

    CNetworkTest() = default;
    ~CNetworkTest();
    CNetworkTest(const CNetworkTest&) = delete;
    CNetworkTest& operator=(const CNetworkTest&) = delete;

    // The address the service binds and tests leave from (any by default).
    uint32_t SetLocalAddress(const char* dotted);
    // The pause after each block and datagram (16 ms), which the timing
    // takes out again; tests shorten it.
    void SetPause(uint32_t milliseconds) { m_pauseMs = milliseconds; }
    // The millisecond clock of the timing.
    void SetClock(ClockFunction clock) { m_clock = clock; }
    // How long any one read or write of a test may wait (30 s).
    void SetStepTimeout(uint32_t milliseconds) { m_stepTimeoutMs = milliseconds; }

    // Starts the service on port: TCP listener with its accept thread and
    // the UDP socket with its thread.
    uint32_t Start(uint16_t port);
    // Tests the service of host (dotted text or a name) on this object's
    // port. 1 when every phase completed.
    uint32_t TestPeer(const char* host, uint16_t blockSize, uint16_t blockCount, tag_KVRNETWORKTESTRESULT* result);
    uint32_t TestPeerAddress(uint32_t address, uint16_t blockSize, uint16_t blockCount,
                             tag_KVRNETWORKTESTRESULT* result);
    // Stops the service: wakes and waits for every thread, frees records.
    void Release();

    uint16_t GetPort() const { return m_port; }
    // Service connections currently open (for tests).
    size_t GetServiceRecordCount();

private:
    using Record = std::shared_ptr<tag_KVRNETWORKTESTCLIENT>;

    void AcceptThread();
    void PeerThread(Record record);
    void UdpThread();
    uint32_t ServeTester(tag_KVRNETWORKTESTCLIENT& record);
    uint32_t TestTcp(tag_KVRNETWORKTESTCLIENT& record, tag_KVRNETWORKTESTRESULT& result);
    uint32_t TestUdp(tag_KVRNETWORKTESTCLIENT& record, tag_KVRNETWORKTESTRESULT& result);
    uint32_t SendAll(int fd, const void* bytes, size_t n);
    uint32_t ReceiveAll(int fd, void* bytes, size_t n);
    uint32_t SendDatagrams(const tag_KVRNETWORKTESTCLIENT& record, uint8_t side);
    // Waits a short while for datagrams still on their way, until the
    // record has counted expected ones or none came for a while.
    void SettleDatagrams(tag_KVRNETWORKTESTCLIENT& record, uint32_t expected);
    void Pause();
    void RemoveRecord(const Record& record);
    void ReapFinished();
    const in_addr* LocalAddress() const { return m_localAddress.Get(); }

    CNetSocket m_listenSocket;
    CNetSocket m_udpSocket;
    std::unique_ptr<CNetWakeEvent> m_wake;
    std::thread m_acceptThread;
    std::thread m_udpThread;
    uint16_t m_port = 0;
    NetLocalAddress m_localAddress;
    uint32_t m_pauseMs = 16;
    uint32_t m_stepTimeoutMs = 30000;
    ClockFunction m_clock = NetMilliseconds;

    std::atomic<bool> m_stopping{false};
    std::mutex m_lock;
    std::condition_variable m_counted;
    std::vector<Record> m_records;
};
