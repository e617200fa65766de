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
    // How long any one read or write of a test may wait (30 s), and how
    // long one whole test may take, on either side (60 s): a peer that
    // drips its bytes can't hold a test, or a service thread, longer.
    void SetStepTimeout(uint32_t milliseconds) { m_stepTimeoutMs = milliseconds; }
    void SetTestTimeout(uint32_t milliseconds) { m_testTimeoutMs = milliseconds; }

    // Starts the service on port: TCP listener with its accept thread and
    // the UDP socket with its thread.
    uint32_t Start(uint16_t port);
    // Tests the service of host (dotted text or a name) on this object's
    // port. 1 when every phase completed.
    uint32_t TestPeer(const char* host, uint16_t blockSize, uint16_t blockCount, tag_KVRNETWORKTESTRESULT* result);
    uint32_t TestPeerAddress(uint32_t address, uint16_t blockSize, uint16_t blockCount,
                             tag_KVRNETWORKTESTRESULT* result);
    // Ends the tests running on this object at once (they give 0), and
    // makes later ones fail at once until ResumeTests. The service goes on.
    void CancelTests();
    // Lets tests run again after CancelTests; call while none runs.
    void ResumeTests();
    // Stops the service: wakes and waits for every thread, frees records.
    // Running tests end at once, and later ones fail until ResumeTests.
    void Release();

    uint16_t GetPort() const { return m_port; }
    // Service connections currently open (for tests).
    size_t GetServiceRecordCount();

private:
    using Record = std::shared_ptr<tag_KVRNETWORKTESTCLIENT>;

    // What bounds the waits of one test or one served tester: the event
    // that ends it early and the time by which it must be done.
    struct Bounds
    {
        const std::atomic<bool>* ended = nullptr;
        int wake = -1;
        uint32_t start = 0;
        uint32_t totalMs = 0;
    };

    void AcceptThread();
    void PeerThread(Record record);
    void UdpThread();
    // Takes one datagram from the UDP socket and counts it; false when the
    // socket failed for good.
    bool CountDatagram();
    uint32_t ServeTester(tag_KVRNETWORKTESTCLIENT& record);
    uint32_t TestTcp(tag_KVRNETWORKTESTCLIENT& record, tag_KVRNETWORKTESTRESULT& result, const Bounds& bounds);
    uint32_t TestUdp(tag_KVRNETWORKTESTCLIENT& record, tag_KVRNETWORKTESTRESULT& result, const Bounds& bounds);
    // The longest the next wait may take: the step timeout or what is left
    // of the whole; 0 once the time is up or the wake was signalled.
    uint32_t WaitLimit(const Bounds& bounds) const;
    uint32_t SendAll(int fd, const void* bytes, size_t n, const Bounds& bounds);
    uint32_t ReceiveAll(int fd, void* bytes, size_t n, const Bounds& bounds);
    uint32_t SendDatagrams(const tag_KVRNETWORKTESTCLIENT& record, uint8_t side, const Bounds& bounds);
    // Waits a short while for datagrams still on their way, until the
    // record has counted expected ones or none came for a while.
    void SettleDatagrams(tag_KVRNETWORKTESTCLIENT& record, uint32_t expected, const Bounds& bounds);
    // A datagram sits in the UDP socket, not read yet.
    bool DatagramWaiting() const;
    // The pause between blocks; false when the test was ended meanwhile.
    bool Pause(const Bounds& bounds);
    void RemoveRecord(const Record& record);
    void ReapFinished();
    const in_addr* LocalAddress() const { return m_localAddress.Get(); }

    CNetSocket m_listenSocket;
    CNetSocket m_udpSocket;
    // Ends the service's waits (Release).
    std::unique_ptr<CNetWakeEvent> m_wake;
    // Ends the tests' waits (CancelTests, Release).
    std::unique_ptr<CNetWakeEvent> m_testWake = std::make_unique<CNetWakeEvent>();
    std::thread m_acceptThread;
    std::thread m_udpThread;
    uint16_t m_port = 0;
    NetLocalAddress m_localAddress;
    uint32_t m_pauseMs = 16;
    uint32_t m_stepTimeoutMs = 30000;
    uint32_t m_testTimeoutMs = 60000;
    ClockFunction m_clock = NetMilliseconds;

    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_testsCancelled{false};
    std::mutex m_lock;
    std::condition_variable m_counted;
    std::vector<Record> m_records;
};
