#include "net/CNetworkTest.h"

#include "net/LineTestMessages.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace
{
constexpr size_t kMaxServiceRecords = 16;
constexpr uint32_t kServiceWaitSliceMs = 1000;
// How long the datagram count may stay unchanged before the rest is taken
// as lost.
constexpr uint32_t kSettleQuietMs = 300;
constexpr size_t kEchoDatagramSize = 4096;
constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;

} // namespace

CNetworkTest::~CNetworkTest()
{
    Release();
}

uint32_t CNetworkTest::SetLocalAddress(const char* dotted)
{
    return m_localAddress.Set(dotted);
}

uint32_t CNetworkTest::Start(uint16_t port)
{
    if (m_acceptThread.joinable() && m_udpThread.joinable())
        return 1;
    m_port = port;
    if (!m_wake)
        m_wake = std::make_unique<CNetWakeEvent>();
    if (!m_wake->IsValid())
        return 0;
    // Both sockets exist before either thread starts: a tester may connect
    // at once, and its thread sends from the UDP socket.
    if (!m_listenSocket.IsValid())
    {
        CNetSocket socket(OpenNetSocket(SOCK_STREAM));
        if (!socket.IsValid() || !BindNetSocket(socket.Get(), LocalAddress(), port) ||
            ::listen(socket.Get(), SOMAXCONN) != 0)
            return 0;
        m_listenSocket = std::move(socket);
    }
    if (!m_udpSocket.IsValid())
    {
        CNetSocket socket(OpenNetSocket(SOCK_DGRAM));
        if (!socket.IsValid() || !BindNetSocket(socket.Get(), LocalAddress(), port))
            return 0;
        // Room for a whole test's datagrams (the system caps the request):
        // a reader that a busy machine holds back must not count its own
        // lateness as loss on the line.
        const int buffer = kReceiveBufferBytes;
        setsockopt(socket.Get(), SOL_SOCKET, SO_RCVBUF, &buffer, sizeof(buffer));
        m_udpSocket = std::move(socket);
    }
    if (!m_acceptThread.joinable())
        m_acceptThread = std::thread(&CNetworkTest::AcceptThread, this);
    if (!m_udpThread.joinable())
        m_udpThread = std::thread(&CNetworkTest::UdpThread, this);
    return 1;
}

void CNetworkTest::CancelTests()
{
    m_testsCancelled.store(true);
    m_testWake->Signal();
    std::lock_guard<std::mutex> guard(m_lock);
    m_counted.notify_all();
}

void CNetworkTest::ResumeTests()
{
    m_testWake = std::make_unique<CNetWakeEvent>();
    m_testsCancelled.store(false);
}

void CNetworkTest::Release()
{
    CancelTests();
    m_stopping.store(true);
    if (m_wake)
        m_wake->Signal();
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    if (m_udpThread.joinable())
        m_udpThread.join();
    std::vector<Record> records;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        records.swap(m_records);
    }
    for (const Record& record : records)
    {
        if (record->thread.joinable())
            record->thread.join();
    }
    records.clear();
    m_listenSocket.Close();
    m_udpSocket.Close();
    m_wake.reset();
    m_stopping.store(false);
}

size_t CNetworkTest::GetServiceRecordCount()
{
    ReapFinished();
    std::lock_guard<std::mutex> guard(m_lock);
    size_t count = 0;
    for (const Record& record : m_records)
    {
        if (record->countsFrom == kLineTestFromTester)
            ++count;
    }
    return count;
}

uint32_t CNetworkTest::WaitLimit(const Bounds& bounds) const
{
    if (bounds.ended != nullptr && bounds.ended->load())
        return 0;
    const uint32_t spent = NetMilliseconds() - bounds.start;
    if (spent >= bounds.totalMs)
        return 0;
    const uint32_t left = bounds.totalMs - spent;
    return left < m_stepTimeoutMs ? left : m_stepTimeoutMs;
}

bool CNetworkTest::Pause(const Bounds& bounds)
{
    if (m_pauseMs == 0)
        return WaitLimit(bounds) != 0;
    // A wait on the wake event alone: the pause, cut short by an end.
    pollfd entry{bounds.wake, POLLIN, 0};
    return ::poll(&entry, bounds.wake >= 0 ? 1 : 0, static_cast<int>(m_pauseMs)) == 0 && WaitLimit(bounds) != 0;
}

uint32_t CNetworkTest::SendAll(int fd, const void* bytes, size_t n, const Bounds& bounds)
{
    // At most 1400 bytes per write, as the line's packets would be.
    const uint8_t* at = static_cast<const uint8_t*>(bytes);
    while (n > 0)
    {
        const uint32_t limit = WaitLimit(bounds);
        if (limit == 0)
            return 0;
        const size_t piece = n < 1400 ? n : 1400;
        if (!SendWithDeadline(fd, at, piece, limit, bounds.wake))
            return 0;
        at += piece;
        n -= piece;
    }
    return 1;
}

uint32_t CNetworkTest::ReceiveAll(int fd, void* bytes, size_t n, const Bounds& bounds)
{
    uint8_t* at = static_cast<uint8_t*>(bytes);
    uint32_t waited = 0;
    while (n > 0)
    {
        const uint32_t limit = WaitLimit(bounds);
        if (limit == 0 || waited >= limit)
            return 0;
        const uint32_t slice = limit - waited < kServiceWaitSliceMs ? limit - waited : kServiceWaitSliceMs;
        const int ready = WaitReadable(fd, bounds.wake, slice);
        if (ready < 0)
            return 0;
        if (ready == 0)
        {
            waited += slice;
            continue;
        }
        const ssize_t got = ::recv(fd, at, n < 1400 ? n : 1400, 0);
        if (got == 0)
            return 0;
        if (got < 0)
        {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            return 0;
        }
        waited = 0;
        at += got;
        n -= static_cast<size_t>(got);
    }
    return 1;
}

uint32_t CNetworkTest::SendDatagrams(const tag_KVRNETWORKTESTCLIENT& record, uint8_t side, const Bounds& bounds)
{
    std::vector<uint8_t> block(record.size);
    for (uint16_t i = 0; i < record.count; ++i)
    {
        if (WaitLimit(bounds) == 0)
            return 0;
        FillLineTestBlock(block.data(), record.size, i, side);
        const ssize_t sent = ::sendto(m_udpSocket.Get(), block.data(), block.size(), MSG_NOSIGNAL,
                                      reinterpret_cast<const sockaddr*>(&record.udpAddress), sizeof(record.udpAddress));
        if (sent != static_cast<ssize_t>(block.size()))
            return 0;
        if (!Pause(bounds))
            return 0;
    }
    return 1;
}

void CNetworkTest::SettleDatagrams(tag_KVRNETWORKTESTCLIENT& record, uint32_t expected, const Bounds& bounds)
{
    std::unique_lock<std::mutex> guard(m_lock);
    uint32_t last = record.received;
    for (;;)
    {
        if (record.received >= expected || WaitLimit(bounds) == 0)
            return;
        const bool changed = m_counted.wait_for(guard, std::chrono::milliseconds(kSettleQuietMs), [&] {
            return record.received != last || (bounds.ended != nullptr && bounds.ended->load());
        });
        if (bounds.ended != nullptr && bounds.ended->load())
            return;
        // Quiet is not the end while datagrams wait unread in the socket:
        // on a busy machine the reader may only be late.
        if (!changed && !DatagramWaiting())
            return;
        last = record.received;
    }
}

bool CNetworkTest::DatagramWaiting() const
{
    int bytes = 0;
    return ioctl(m_udpSocket.Get(), FIONREAD, &bytes) == 0 && bytes > 0;
}

void CNetworkTest::RemoveRecord(const Record& record)
{
    std::lock_guard<std::mutex> guard(m_lock);
    for (size_t i = 0; i < m_records.size(); ++i)
    {
        if (m_records[i] == record)
        {
            m_records.erase(m_records.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

void CNetworkTest::ReapFinished()
{
    std::vector<Record> finished;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        for (size_t i = 0; i < m_records.size();)
        {
            if (m_records[i]->thread.joinable() && m_records[i]->finished.load())
            {
                finished.push_back(std::move(m_records[i]));
                m_records.erase(m_records.begin() + static_cast<std::ptrdiff_t>(i));
                continue;
            }
            ++i;
        }
    }
    for (const Record& record : finished)
        record->thread.join();
}

void CNetworkTest::AcceptThread()
{
    for (;;)
    {
        const int ready = WaitReadable(m_listenSocket.Get(), m_wake->Get(), kServiceWaitSliceMs);
        ReapFinished();
        if (ready < 0)
            return;
        if (ready == 0)
            continue;
        sockaddr_in from{};
        socklen_t length = sizeof(from);
        CNetSocket socket(::accept4(m_listenSocket.Get(), reinterpret_cast<sockaddr*>(&from), &length,
                                    SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!socket.IsValid())
        {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED ||
                errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                continue;
            return;
        }
        Record record = std::make_shared<tag_KVRNETWORKTESTCLIENT>();
        record->socket = std::move(socket);
        std::snprintf(record->address, sizeof(record->address), "%s", FormatIPv4(from.sin_addr).c_str());
        record->udpAddress = MakeAddress(from.sin_addr, m_port);
        record->countsFrom = kLineTestFromTester;
        std::lock_guard<std::mutex> guard(m_lock);
        size_t open = 0;
        for (const Record& other : m_records)
            open += other->countsFrom == kLineTestFromTester ? 1 : 0;
        // A flood of testers is refused rather than given a thread each.
        if (open >= kMaxServiceRecords)
            continue;
        m_records.push_back(record);
        record->thread = std::thread(&CNetworkTest::PeerThread, this, record);
    }
}

void CNetworkTest::PeerThread(Record record)
{
    ServeTester(*record);
    record->socket.Close();
    record->finished.store(true);
}

uint32_t CNetworkTest::ServeTester(tag_KVRNETWORKTESTCLIENT& record)
{
    const int fd = record.socket.Get();
    Bounds bounds;
    bounds.ended = &m_stopping;
    bounds.wake = m_wake->Get();
    bounds.start = NetMilliseconds();
    bounds.totalMs = m_testTimeoutMs;
    uint8_t request[4];
    if (!ReceiveAll(fd, request, sizeof(request), bounds))
        return 0;
    uint16_t count = 0;
    uint16_t size = 0;
    if (!ParseLineTestRequest(request, sizeof(request), &count, &size))
        return 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        record.count = count;
        record.size = size;
    }
    std::vector<uint8_t> block(size);
    for (uint16_t i = 0; i < count; ++i)
    {
        if (!ReceiveAll(fd, block.data(), size, bounds))
            return 0;
    }
    for (uint16_t i = 0; i < count; ++i)
    {
        if (!SendAll(fd, block.data(), size, bounds) || !Pause(bounds))
            return 0;
    }
    uint8_t done[4];
    if (!ReceiveAll(fd, done, sizeof(done), bounds))
        return 0;
    SendDatagrams(record, kLineTestFromService, bounds);
    SettleDatagrams(record, count, bounds);
    uint32_t received = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        received = record.received;
    }
    const uint8_t answer[4] = {static_cast<uint8_t>(received), static_cast<uint8_t>(received >> 8),
                               static_cast<uint8_t>(received >> 16), static_cast<uint8_t>(received >> 24)};
    return SendAll(fd, answer, sizeof(answer), bounds);
}

void CNetworkTest::UdpThread()
{
    for (;;)
    {
        const int ready = WaitReadable(m_udpSocket.Get(), m_wake->Get(), kServiceWaitSliceMs);
        if (ready < 0)
            return;
        if (ready == 0)
            continue;
        if (!CountDatagram())
            return;
    }
}

bool CNetworkTest::CountDatagram()
{
    // Read and counted under the lock in one go: a settling test that
    // holds the lock and finds the socket empty knows that every datagram
    // that arrived has been counted, none is half way in between.
    uint8_t datagram[kEchoDatagramSize];
    std::lock_guard<std::mutex> guard(m_lock);
    sockaddr_in from{};
    socklen_t length = sizeof(from);
    const ssize_t n = ::recvfrom(m_udpSocket.Get(), datagram, sizeof(datagram), MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNREFUSED;
    uint16_t sequence = 0;
    uint8_t side = 0;
    if (!ParseLineTestDatagram(datagram, static_cast<size_t>(n), &sequence, &side))
        return true;
    const std::string sender = FormatIPv4(from.sin_addr);
    for (const Record& record : m_records)
    {
        if (sender != record->address || record->finished.load())
            continue;
        if (side != 0 && side != record->countsFrom)
            continue;
        if (!record->seenAny || sequence > record->highest)
        {
            record->seenAny = true;
            record->highest = sequence;
            ++record->received;
            m_counted.notify_all();
        }
        break;
    }
    return true;
}

uint32_t CNetworkTest::TestPeerAddress(uint32_t address, uint16_t blockSize, uint16_t blockCount,
                                       tag_KVRNETWORKTESTRESULT* result)
{
    in_addr value{};
    value.s_addr = address;
    return TestPeer(FormatIPv4(value).c_str(), blockSize, blockCount, result);
}

uint32_t CNetworkTest::TestPeer(const char* host, uint16_t blockSize, uint16_t blockCount,
                                tag_KVRNETWORKTESTRESULT* result)
{
    if (result == nullptr || !m_udpSocket.IsValid())
        return 0;
    if (blockSize < kLineTestMinBlockSize || blockSize > kLineTestMaxBlockSize || blockCount == 0 ||
        blockCount > kLineTestMaxBlockCount)
        return 0;
    in_addr address{};
    if (!ResolveIPv4(host, &address))
        return 0;
    Bounds bounds;
    bounds.ended = &m_testsCancelled;
    bounds.wake = m_testWake->Get();
    bounds.start = NetMilliseconds();
    bounds.totalMs = m_testTimeoutMs;
    const uint32_t limit = WaitLimit(bounds);
    if (limit == 0)
        return 0;
    CNetSocket socket = ConnectWithDeadline(MakeAddress(address, m_port), LocalAddress(), limit, bounds.wake);
    if (!socket.IsValid())
        return 0;
    Record record = std::make_shared<tag_KVRNETWORKTESTCLIENT>();
    record->socket = std::move(socket);
    std::snprintf(record->address, sizeof(record->address), "%s", FormatIPv4(address).c_str());
    record->udpAddress = MakeAddress(address, m_port);
    record->count = blockCount;
    record->size = blockSize;
    record->countsFrom = kLineTestFromService;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_records.push_back(record);
    }
    tag_KVRNETWORKTESTRESULT measured;
    uint8_t request[4];
    WriteLineTestRequest(request, blockCount, blockSize);
    uint32_t ok = SendAll(record->socket.Get(), request, sizeof(request), bounds);
    ok = ok && TestTcp(*record, measured, bounds);
    ok = ok && TestUdp(*record, measured, bounds);
    if (ok)
    {
        SettleDatagrams(*record, blockCount, bounds);
        std::lock_guard<std::mutex> guard(m_lock);
        measured.receivedFromPeer = record->received;
        *result = measured;
    }
    RemoveRecord(record);
    return ok;
}

uint32_t CNetworkTest::TestTcp(tag_KVRNETWORKTESTCLIENT& record, tag_KVRNETWORKTESTRESULT& result,
                               const Bounds& bounds)
{
    const int fd = record.socket.Get();
    std::vector<uint8_t> block(record.size, 0x5A);
    uint32_t start = m_clock();
    for (uint16_t i = 0; i < record.count; ++i)
    {
        if (!SendAll(fd, block.data(), block.size(), bounds) || !Pause(bounds))
            return 0;
    }
    result.tcpUploadMs = m_clock() - start - m_pauseMs * record.count;
    start = m_clock();
    for (uint16_t i = 0; i < record.count; ++i)
    {
        if (!ReceiveAll(fd, block.data(), block.size(), bounds))
            return 0;
    }
    result.tcpDownloadMs = m_clock() - start - m_pauseMs * record.count;
    return 1;
}

uint32_t CNetworkTest::TestUdp(tag_KVRNETWORKTESTCLIENT& record, tag_KVRNETWORKTESTRESULT& result,
                               const Bounds& bounds)
{
    const int fd = record.socket.Get();
    const uint32_t start = m_clock();
    // A datagram that can't be sent is a lost one; the count tells.
    SendDatagrams(record, kLineTestFromTester, bounds);
    uint8_t word[4] = {};
    if (!SendAll(fd, word, sizeof(word), bounds))
        return 0;
    if (!ReceiveAll(fd, word, sizeof(word), bounds))
        return 0;
    result.receivedByPeer = static_cast<uint32_t>(word[0]) | (static_cast<uint32_t>(word[1]) << 8) |
                            (static_cast<uint32_t>(word[2]) << 16) | (static_cast<uint32_t>(word[3]) << 24);
    result.udpMs = m_clock() - start - 2 * m_pauseMs * record.count;
    return 1;
}
