// The online battle's lockstep. Four sides (a host and three guests) run
// the game's own batch and ring code update by update at 60 updates per
// second in simulated time, with messages that take a given time each way
// (a loopback's tenth of a millisecond, or a relay's 25 ms more): the
// battle frames each side steps per second, the delay from a sampled pad
// to the frame that applies it, and the bytes each guest sends and
// receives per second (message headers included, TCP's not). Each side
// samples once per update and steps at most one frame, and at the end of a
// batch goes on once the batches before it have come back (polling for up
// to the scene's slice, 8 ms, within the update), as the network scene
// does.
//
// Then the host's synchronisation step in real time: taking a batch of
// N = 10 and sending it to three guests over loopback sessions.
#include "game/scene/CNetLockstep.h"
#include "game/scene/CNetworkScene.h"
#include "net/CNetSession.h"
#include "net/NetHeader.h"
#include "net/NetSocket.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <queue>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr int kSides = 4;
constexpr double kUpdateMs = 1000.0 / 60.0;
constexpr double kLoopbackMs = 0.1;
constexpr double kSeconds = 20.0;
constexpr double kSliceMs = CNetworkScene::kWaitSliceMilliseconds;

struct Delivery
{
    double at;
    int to;                     // the side that receives
    bool frames;                // message 9 (else message 8)
    std::vector<uint8_t> bytes; // its payload
    bool operator>(const Delivery& other) const { return at > other.at; }
};

struct Side
{
    CNetLockstep lockstep;
    bool waiting = false;
    uint32_t sampled = 0;
    uint32_t stepped = 0;
    std::vector<uint32_t> sampledAt; // update number of each sampled battle frame
    uint64_t delaySum = 0;
    uint64_t bytesSent = 0;
    uint64_t bytesReceived = 0;
};

struct Result
{
    double framesPerSecond = 0;
    double delayFrames = 0;
    double guestBytesUpPerSecond = 0;
    double guestBytesDownPerSecond = 0;
};

class Simulation
{
public:
    Simulation(uint32_t framesPerBatch, double oneWayMs) : m_oneWay(kLoopbackMs + oneWayMs)
    {
        for (Side& side : m_sides)
            side.lockstep.Reset(framesPerBatch);
    }

    Result Run()
    {
        const uint32_t updates = static_cast<uint32_t>(kSeconds * 1000.0 / kUpdateMs);
        for (uint32_t u = 0; u < updates; ++u)
        {
            for (int s = 0; s < kSides; ++s)
            {
                // Each side's clock runs a little apart from the others'.
                const double at = u * kUpdateMs + s * 1.3;
                Deliver(at);
                Update(s, u, at);
            }
        }
        Result result;
        const Side& guest = m_sides[1];
        result.framesPerSecond = m_sides[0].stepped / kSeconds;
        result.delayFrames = guest.stepped != 0 ? static_cast<double>(guest.delaySum) / guest.stepped : 0.0;
        result.guestBytesUpPerSecond = guest.bytesSent / kSeconds;
        result.guestBytesDownPerSecond = guest.bytesReceived / kSeconds;
        return result;
    }

private:
    void Send(int from, int to, bool frames, std::vector<uint8_t> bytes, double at)
    {
        m_sides[from].bytesSent += kNetHeaderSize + bytes.size();
        m_sides[to].bytesReceived += kNetHeaderSize + bytes.size();
        m_network.push({at + m_oneWay, to, frames, std::move(bytes)});
    }

    // Everything that has arrived by then; the host takes ready batches at
    // once, as its synchronisation thread does.
    void Deliver(double until)
    {
        while (!m_network.empty() && m_network.top().at <= until)
        {
            Delivery delivery = m_network.top();
            m_network.pop();
            Side& side = m_sides[delivery.to];
            const uint32_t count = static_cast<uint32_t>(delivery.bytes.size());
            if (delivery.frames)
                side.lockstep.PushFrames(delivery.bytes.data(), count / CNetLockstep::kFrameSize);
            else
                side.lockstep.StoreGuestRecords(delivery.bytes[0], delivery.bytes.data(),
                                                count / CNetLockstep::kRecordSize);
            TakeBatches(delivery.at);
        }
    }

    void TakeBatches(double at)
    {
        const uint32_t seated = 0xE; // slots 1-3
        while (m_sides[0].lockstep.IsBatchReady(seated))
        {
            std::vector<uint8_t> batch;
            m_sides[0].lockstep.TakeBatch(0, &batch);
            for (int guest = 1; guest < kSides; ++guest)
                Send(0, guest, true, batch, at);
        }
    }

    void Update(int s, uint32_t u, double at)
    {
        Side& side = m_sides[s];
        if (!side.waiting)
        {
            tag_TOLQINPUTRECORD own;
            std::vector<uint8_t> records;
            const bool sampled = s == 0 ? side.lockstep.SampleHost(own, 16)
                                        : side.lockstep.SampleGuest(static_cast<uint8_t>(s), own, &records);
            side.sampledAt.push_back(u);
            if (!records.empty())
                Send(s, 0, false, std::move(records), at);
            if (s == 0)
                TakeBatches(at);
            side.waiting = sampled;
        }
        if (side.waiting)
        {
            // Polls within the update for the scene's slice.
            Deliver(at + kSliceMs);
            if (side.lockstep.CanStartBatch(s == 0))
            {
                side.lockstep.RestartCounter();
                side.waiting = false;
            }
        }
        CNetLockstep::Frame frame;
        if (side.lockstep.PopFrame(&frame))
        {
            side.delaySum += u - side.sampledAt[side.stepped];
            ++side.stepped;
        }
    }

    double m_oneWay;
    Side m_sides[kSides];
    std::priority_queue<Delivery, std::vector<Delivery>, std::greater<Delivery>> m_network;
};

void Report(benchmark::State& state, const Result& result)
{
    state.counters["frames_per_s"] = result.framesPerSecond;
    state.counters["delay_frames"] = result.delayFrames;
    state.counters["guest_up_B_per_s"] = result.guestBytesUpPerSecond;
    state.counters["guest_down_B_per_s"] = result.guestBytesDownPerSecond;
}

// Arg 0: frames per batch; arg 1: milliseconds the relay adds each way.
void BM_Lockstep(benchmark::State& state)
{
    Result result;
    for (auto _ : state)
        result = Simulation(static_cast<uint32_t>(state.range(0)), static_cast<double>(state.range(1))).Run();
    Report(state, result);
    if (state.range(1) == 0)
        return;
    const Result direct = Simulation(static_cast<uint32_t>(state.range(0)), 0.0).Run();
    state.counters["vs_unrelayed"] = result.framesPerSecond / direct.framesPerSecond;
}
BENCHMARK(BM_Lockstep)
    ->ArgNames({"N", "relay_ms"})
    ->Args({1, 0})
    ->Args({3, 0})
    ->Args({10, 0})
    ->Args({30, 0})
    ->Args({3, 25})
    ->Args({6, 25})
    ->Args({10, 25})
    ->Args({30, 25})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// ---------------------------------------------------------------- the host's synchronisation step

struct Sink
{
    std::atomic<uint64_t> frames{0};
    static uint32_t OnMessage(void* argument, CNetClient*, const uint8_t*, int32_t, uint32_t)
    {
        static_cast<Sink*>(argument)->frames.fetch_add(1);
        return 1;
    }
};

// Taking one batch of N = 10 with three guests' records and sending it to
// the three over loopback: the work of the synchronisation thread per
// batch (the CPU column is this thread's own time).
void BM_SyncBatch(benchmark::State& state)
{
    CNetSession host;
    host.Initialize(1, "QORBeta", "QORBeta", "QOR");
    host.SetLocalAddress("127.0.0.1");
    const uint16_t port = 0;
    host.ConfigureListen(port, nullptr, nullptr, &Sink::OnMessage, nullptr, nullptr, nullptr);
    if (!host.Listen())
    {
        state.SkipWithError("no listener");
        return;
    }
    Sink sinks[3];
    CNetSession guests[3];
    for (int g = 0; g < 3; ++g)
    {
        guests[g].Initialize(1, "QORBeta", "QORBeta", "QOR");
        const std::string local = "127.0.0." + std::to_string(2 + g);
        guests[g].SetLocalAddress(local.c_str());
        guests[g].Connect("127.0.0.1", host.GetListenPort(), kNetKindTcp, &Sink::OnMessage, &sinks[g], nullptr,
                          nullptr);
    }
    while (host.GetPeerCount() < 3)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    CNetLockstep lockstep;
    lockstep.Reset(10);
    std::vector<uint8_t> records(4 * CNetLockstep::kRecordSize, 0);
    std::vector<uint8_t> batch;
    const tag_TOLQINPUTRECORD own;
    uint64_t batches = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        for (uint32_t i = 0; i < 10; ++i)
            lockstep.SampleHost(own, 16);
        lockstep.RestartCounter();
        for (uint8_t slot = 1; slot <= 3; ++slot)
        {
            for (uint32_t k = 0; k < 4; ++k)
                records[k * CNetLockstep::kRecordSize] = slot;
            lockstep.StoreGuestRecords(slot, records.data(), 4);
        }
        CNetLockstep::Frame frame;
        while (lockstep.PopFrame(&frame))
        {
        }
        state.ResumeTiming();
        if (lockstep.IsBatchReady(0xE))
            lockstep.TakeBatch(0, &batch);
        host.SendToAll(9, 1, batch.data(), static_cast<uint32_t>(batch.size()), kNetKindTcp);
        ++batches;
    }
    // Everything sent arrived before the sessions go.
    for (Sink& sink : sinks)
    {
        while (sink.frames.load() < batches)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (CNetSession& guest : guests)
        guest.Shutdown();
    host.Shutdown();
}
BENCHMARK(BM_SyncBatch)->Unit(benchmark::kMicrosecond);
}
