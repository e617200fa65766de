// Messages of 64 bytes through one TCP peer session over loopback, beside
// plain blocking sockets moving the same frames in the same run: throughput
// (messages per second) and round-trip latency (median and 99th
// percentile). Every message sent must arrive (and every ping be answered)
// within 30 s, or the benchmark stops with an error instead of waiting.
#include "net/CNetSession.h"
#include "net/NetHeader.h"
#include "net/NetSocket.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace
{
constexpr uint32_t kPayload = 64;
constexpr int kBatch = 20000;
constexpr int kPings = 2000;
constexpr std::chrono::seconds kPatience{30};
constexpr size_t kQueueLimit = 64 * 1024 * 1024;

// Counts arrivals; the waiting thread is woken only when the count it
// waits for is reached.
struct Counter
{
    std::mutex lock;
    std::condition_variable changed;
    std::atomic<uint64_t> count{0};
    std::atomic<uint64_t> target{0};

    void Add()
    {
        if (count.fetch_add(1) + 1 == target.load())
        {
            std::lock_guard<std::mutex> guard(lock);
            changed.notify_all();
        }
    }
    // False when the count is not reached in kPatience: messages were lost.
    bool WaitFor(uint64_t wanted)
    {
        std::unique_lock<std::mutex> guard(lock);
        target.store(wanted);
        return changed.wait_for(guard, kPatience, [&] { return count.load() >= wanted; });
    }
};

// A chain of pings driven from the guest's receive thread: each answer
// notes the round trip and sends the next ping, as a peer answering a
// battle frame does.
struct PingChain
{
    Counter done;
    std::vector<double> micros;
    std::chrono::steady_clock::time_point sent;
    int left = 0;
    std::vector<uint8_t> payload = std::vector<uint8_t>(kPayload, 0x5A);

    void Ping(CNetClient* peer)
    {
        sent = std::chrono::steady_clock::now();
        peer->Send(1, 1, payload.data(), kPayload, kNetKindTcp);
    }
    static uint32_t OnAnswer(void* argument, CNetClient* peer, const uint8_t*, int32_t, uint32_t)
    {
        PingChain* self = static_cast<PingChain*>(argument);
        self->micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - self->sent).count());
        if (--self->left > 0)
            self->Ping(peer);
        self->done.Add();
        return 1;
    }
};

uint32_t CountMessage(void* argument, CNetClient*, const uint8_t*, int32_t, uint32_t)
{
    static_cast<Counter*>(argument)->Add();
    return 1;
}

uint32_t EchoMessage(void*, CNetClient* peer, const uint8_t* payload, int32_t id, uint32_t length)
{
    peer->Send(static_cast<int16_t>(id), 1, payload, length, kNetKindTcp);
    return 1;
}

// A host and a guest session connected over loopback.
struct SessionPair
{
    CNetSession host;
    CNetSession guest;
    NetClientPtr toHost;

    bool Open(NetMessageHandler hostHandler, void* hostArgument, NetMessageHandler guestHandler, void* guestArgument)
    {
        // A batch is posted far faster than loopback carries it: the
        // queues hold all of it, where plain blocking sends would wait.
        host.SetSendQueueLimit(kQueueLimit);
        guest.SetSendQueueLimit(kQueueLimit);
        host.Initialize(1, "QORBeta", "QORBeta", "QOR");
        host.SetLocalAddress("127.0.50.1");
        host.ConfigureListen(0, nullptr, nullptr, hostHandler, hostArgument, nullptr, nullptr);
        if (!host.Listen())
            return false;
        guest.Initialize(1, "QORBeta", "QORBeta", "QOR");
        guest.SetLocalAddress("127.0.50.2");
        if (!guest.Connect("127.0.50.1", host.GetListenPort(), kNetKindTcp, guestHandler, guestArgument, nullptr,
                           nullptr))
            return false;
        toHost = guest.FindPeer("127.0.50.1");
        return toHost != nullptr;
    }
};

// A connected pair of plain blocking TCP sockets over loopback.
struct PlainPair
{
    int client = -1;
    int server = -1;

    bool Open()
    {
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        inet_pton(AF_INET, "127.0.50.3", &address.sin_addr);
        socklen_t length = sizeof(address);
        if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || ::listen(listener, 1) != 0)
            return false;
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        client = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0)
            return false;
        server = ::accept(listener, nullptr, nullptr);
        ::close(listener);
        const int on = 1;
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
        setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
        return server >= 0;
    }
    ~PlainPair()
    {
        if (client >= 0)
            ::close(client);
        if (server >= 0)
            ::close(server);
    }
};

bool WriteAll(int fd, const uint8_t* bytes, size_t n)
{
    while (n > 0)
    {
        const ssize_t sent = ::send(fd, bytes, n, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        bytes += sent;
        n -= static_cast<size_t>(sent);
    }
    return true;
}

bool ReadAll(int fd, uint8_t* bytes, size_t n)
{
    while (n > 0)
    {
        const ssize_t got = ::recv(fd, bytes, n, 0);
        if (got <= 0)
            return false;
        bytes += got;
        n -= static_cast<size_t>(got);
    }
    return true;
}

// Reads frames until the connection ends, counting each: the plain
// counterpart of a session's receive thread and its handler.
void ReadFrames(int fd, Counter* counter)
{
    std::vector<uint8_t> buffer(64 * 1024);
    size_t have = 0;
    for (;;)
    {
        const ssize_t got = ::recv(fd, buffer.data() + have, buffer.size() - have, 0);
        if (got <= 0)
            return;
        have += static_cast<size_t>(got);
        size_t at = 0;
        while (have - at >= kNetHeaderSize)
        {
            const size_t total = kNetHeaderSize + ReadNetHeader(buffer.data() + at).length;
            if (have - at < total)
                break;
            at += total;
            counter->Add();
        }
        std::copy(buffer.begin() + static_cast<std::ptrdiff_t>(at), buffer.begin() + static_cast<std::ptrdiff_t>(have),
                  buffer.begin());
        have -= at;
    }
}

void ReportLatency(benchmark::State& state, std::vector<double>& micros)
{
    if (micros.empty())
        return;
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
}

void BM_SessionThroughput(benchmark::State& state)
{
    Counter received;
    SessionPair pair;
    if (!pair.Open(CountMessage, &received, nullptr, nullptr))
    {
        state.SkipWithError("no loopback session");
        return;
    }
    std::vector<uint8_t> payload(kPayload, 0x5A);
    uint64_t target = 0;
    for (auto _ : state)
    {
        for (int i = 0; i < kBatch; ++i)
            pair.toHost->Send(1, 1, payload.data(), kPayload, kNetKindTcp);
        target += kBatch;
        if (!received.WaitFor(target))
        {
            state.SkipWithError("messages were lost");
            return;
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(target));
}

void BM_PlainThroughput(benchmark::State& state)
{
    PlainPair pair;
    if (!pair.Open())
    {
        state.SkipWithError("no loopback sockets");
        return;
    }
    std::vector<uint8_t> frame;
    const std::vector<uint8_t> payload(kPayload, 0x5A);
    BuildNetFrame(frame, 1, 1, payload.data(), kPayload);
    Counter received;
    std::thread reader(ReadFrames, pair.server, &received);
    uint64_t target = 0;
    for (auto _ : state)
    {
        for (int i = 0; i < kBatch; ++i)
            WriteAll(pair.client, frame.data(), frame.size());
        target += kBatch;
        if (!received.WaitFor(target))
        {
            state.SkipWithError("frames were lost");
            break;
        }
    }
    ::shutdown(pair.server, SHUT_RDWR);
    reader.join();
    state.SetItemsProcessed(static_cast<int64_t>(target));
}

void BM_SessionRoundTrip(benchmark::State& state)
{
    PingChain chain;
    SessionPair pair;
    if (!pair.Open(EchoMessage, nullptr, PingChain::OnAnswer, &chain))
    {
        state.SkipWithError("no loopback session");
        return;
    }
    std::vector<double> micros;
    uint64_t target = 0;
    for (auto _ : state)
    {
        chain.left = kPings;
        target += kPings;
        chain.Ping(pair.toHost.get());
        if (!chain.done.WaitFor(target))
        {
            state.SkipWithError("answers were lost");
            return;
        }
    }
    ReportLatency(state, chain.micros);
}

void BM_PlainRoundTrip(benchmark::State& state)
{
    PlainPair pair;
    if (!pair.Open())
    {
        state.SkipWithError("no loopback sockets");
        return;
    }
    std::vector<uint8_t> frame;
    const std::vector<uint8_t> payload(kPayload, 0x5A);
    BuildNetFrame(frame, 1, 1, payload.data(), kPayload);
    std::atomic<bool> stop{false};
    std::thread echo([&] {
        std::vector<uint8_t> buffer(frame.size());
        while (!stop.load())
        {
            if (!ReadAll(pair.server, buffer.data(), buffer.size()) ||
                !WriteAll(pair.server, buffer.data(), buffer.size()))
                return;
        }
    });
    std::vector<uint8_t> answer(frame.size());
    std::vector<double> micros;
    for (auto _ : state)
    {
        for (int i = 0; i < kPings; ++i)
        {
            const auto start = std::chrono::steady_clock::now();
            if (!WriteAll(pair.client, frame.data(), frame.size()) ||
                !ReadAll(pair.client, answer.data(), answer.size()))
                break;
            micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        }
    }
    if (micros.size() != static_cast<size_t>(kPings) * static_cast<size_t>(state.iterations()))
        state.SkipWithError("answers were lost");
    stop.store(true);
    ::shutdown(pair.client, SHUT_RDWR);
    echo.join();
    ReportLatency(state, micros);
}
} // namespace

BENCHMARK(BM_PlainThroughput)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SessionThroughput)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SessionRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime();
