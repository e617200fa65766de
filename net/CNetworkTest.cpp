#include "net/CNetworkTest.h"

#include "net/LineTestMessages.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/socket.h>

namespace
{
constexpr size_t kMaxServiceRecords = 16;
constexpr uint32_t kWaitSliceMs = 1000;
// How long the datagram count may stay unchanged before the rest is taken
// as lost.
constexpr uint32_t kSettleQuietMs = 300;
constexpr size_t kDatagramSize = 4096;

void SleepFor(uint32_t milliseconds)
{
    if (milliseconds == 0)
        return;
    timespec pause{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR)
    {
    }
}
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
        m_udpSocket = std::move(socket);
    }
    if (!m_acceptThread.joinable())
        m_acceptThread = std::thread(&CNetworkTest::AcceptThread, this);
    if (!m_udpThread.joinable())
        m_udpThread = std::thread(&CNetworkTest::UdpThread, this);
    return 1;
}

void CNetworkTest::Release()
{
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

void CNetworkTest::Pause()
{
    SleepFor(m_pauseMs);
}

uint32_t CNetworkTest::SendAll(int fd, const void* bytes, size_t n)
{
    // At most 1400 bytes per write, as the line's packets would be.
    const uint8_t* at = static_cast<const uint8_t*>(bytes);
    while (n > 0)
    {
        if (m_stopping.load())
            return 0;
        const size_t piece = n < 1400 ? n : 1400;
        if (!SendWithDeadline(fd, at, piece, m_stepTimeoutMs))
            return 0;
        at += piece;
        n -= piece;
    }
    return 1;
}

uint32_t CNetworkTest::ReceiveAll(int fd, void* bytes, size_t n)
{
    uint8_t* at = static_cast<uint8_t*>(bytes);
    uint32_t waited = 0;
    while (n > 0)
    {
        const int ready = WaitReadable(fd, m_wake ? m_wake->Get() : -1, kWaitSliceMs);
        if (ready < 0)
            return 0;
        if (ready == 0)
        {
            waited += kWaitSliceMs;
            if (waited >= m_stepTimeoutMs)
                return 0;
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

uint32_t CNetworkTest::SendDatagrams(const tag_KVRNETWORKTESTCLIENT& record, uint8_t side)
{
    std::vector<uint8_t> block(record.size);
    for (uint16_t i = 0; i < record.count; ++i)
    {
        if (m_stopping.load())
            return 0;
        FillLineTestBlock(block.data(), record.size, i, side);
        const ssize_t sent = ::sendto(m_udpSocket.Get(), block.data(), block.size(), MSG_NOSIGNAL,
                                      reinterpret_cast<const sockaddr*>(&record.udpAddress), sizeof(record.udpAddress));
        if (sent != static_cast<ssize_t>(block.size()))
            return 0;
        Pause();
    }
    return 1;
}

void CNetworkTest::SettleDatagrams(tag_KVRNETWORKTESTCLIENT& record, uint32_t expected)
{
    std::unique_lock<std::mutex> guard(m_lock);
    uint32_t last = record.received;
    for (;;)
    {
        if (record.received >= expected || m_stopping.load())
            return;
        const bool changed = m_counted.wait_for(guard, std::chrono::milliseconds(kSettleQuietMs),
                                                [&] { return record.received != last; });
        if (!changed)
            return;
        last = record.received;
    }
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
        const int ready = WaitReadable(m_listenSocket.Get(), m_wake->Get(), kWaitSliceMs);
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
    uint8_t request[4];
    if (!ReceiveAll(fd, request, sizeof(request)))
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
        if (!ReceiveAll(fd, block.data(), size))
            return 0;
    }
    for (uint16_t i = 0; i < count; ++i)
    {
        if (!SendAll(fd, block.data(), size))
            return 0;
        Pause();
    }
    uint8_t done[4];
    if (!ReceiveAll(fd, done, sizeof(done)))
        return 0;
    SendDatagrams(record, kLineTestFromService);
    SettleDatagrams(record, count);
    uint32_t received = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        received = record.received;
    }
    const uint8_t answer[4] = {static_cast<uint8_t>(received), static_cast<uint8_t>(received >> 8),
                               static_cast<uint8_t>(received >> 16), static_cast<uint8_t>(received >> 24)};
    return SendAll(fd, answer, sizeof(answer));
}

void CNetworkTest::UdpThread()
{
    uint8_t datagram[kDatagramSize];
    for (;;)
    {
        const int ready = WaitReadable(m_udpSocket.Get(), m_wake->Get(), kWaitSliceMs);
        if (ready < 0)
            return;
        if (ready == 0)
            continue;
        sockaddr_in from{};
        socklen_t length = sizeof(from);
        const ssize_t n = ::recvfrom(m_udpSocket.Get(), datagram, sizeof(datagram), 0,
                                     reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0)
        {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNREFUSED)
                continue;
            return;
        }
        uint16_t sequence = 0;
        uint8_t side = 0;
        if (!ParseLineTestDatagram(datagram, static_cast<size_t>(n), &sequence, &side))
            continue;
        const std::string sender = FormatIPv4(from.sin_addr);
        std::lock_guard<std::mutex> guard(m_lock);
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
    }
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
    CNetSocket socket = ConnectWithDeadline(MakeAddress(address, m_port), LocalAddress(), m_stepTimeoutMs);
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
    uint32_t ok = SendAll(record->socket.Get(), request, sizeof(request));
    ok = ok && TestTcp(*record, measured);
    ok = ok && TestUdp(*record, measured);
    if (ok)
    {
        SettleDatagrams(*record, blockCount);
        std::lock_guard<std::mutex> guard(m_lock);
        measured.receivedFromPeer = record->received;
        *result = measured;
    }
    RemoveRecord(record);
    return ok;
}

uint32_t CNetworkTest::TestTcp(tag_KVRNETWORKTESTCLIENT& record, tag_KVRNETWORKTESTRESULT& result)
{
    const int fd = record.socket.Get();
    std::vector<uint8_t> block(record.size, 0x5A);
    uint32_t start = m_clock();
    for (uint16_t i = 0; i < record.count; ++i)
    {
        if (!SendAll(fd, block.data(), block.size()))
            return 0;
        Pause();
    }
    result.tcpUploadMs = m_clock() - start - m_pauseMs * record.count;
    start = m_clock();
    for (uint16_t i = 0; i < record.count; ++i)
    {
        if (!ReceiveAll(fd, block.data(), block.size()))
            return 0;
    }
    result.tcpDownloadMs = m_clock() - start - m_pauseMs * record.count;
    return 1;
}

uint32_t CNetworkTest::TestUdp(tag_KVRNETWORKTESTCLIENT& record, tag_KVRNETWORKTESTRESULT& result)
{
    const int fd = record.socket.Get();
    const uint32_t start = m_clock();
    // A datagram that can't be sent is a lost one; the count tells.
    SendDatagrams(record, kLineTestFromTester);
    uint8_t word[4] = {};
    if (!SendAll(fd, word, sizeof(word)))
        return 0;
    if (!ReceiveAll(fd, word, sizeof(word)))
        return 0;
    result.receivedByPeer = static_cast<uint32_t>(word[0]) | (static_cast<uint32_t>(word[1]) << 8) |
                            (static_cast<uint32_t>(word[2]) << 16) | (static_cast<uint32_t>(word[3]) << 24);
    result.udpMs = m_clock() - start - 2 * m_pauseMs * record.count;
    return 1;
}
