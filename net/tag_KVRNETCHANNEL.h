#pragma once

#include "net/CNetSendQueue.h"
#include "net/CPacketQueue.h"
#include "net/NetSocket.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

class CNetClient;

// Callbacks of the session's owner. A message handler returning 0 ends the
// connection the message came on; on-connected returning 0 refuses a peer.
using NetMessageHandler = uint32_t (*)(void* argument, CNetClient* peer, const uint8_t* payload, int32_t id,
                                       uint32_t length);
using NetPeerCallback = uint32_t (*)(void* argument, CNetClient* peer);

struct tag_KVRNETCALLBACKS
{
    NetMessageHandler handler = nullptr;
    void* handlerArgument = nullptr;
    NetPeerCallback onDisconnected = nullptr;
    void* disconnectedArgument = nullptr;
};

enum : int32_t
{
    kNetChannelEnded = 0,
    kNetChannelRunning = 1,
    kNetChannelStopRequested = 2,
    kNetChannelCreated = 3,
};

// One open direction of a socket: its thread, the socket itself and the
// queue of what arrived. The channel owns the socket and closes it once,
// when the record is freed after its thread has ended; cutting a
// connection only shuts it down, so a descriptor number is never closed
// while another thread may still use it. A TCP connection's channel also
// holds the connection's outgoing queue, so that no sender waits for it.
struct tag_KVRNETCHANNEL
{
    ~tag_KVRNETCHANNEL();

    // Read by every thread, written rarely.
    std::atomic<int32_t> state{kNetChannelCreated};
    uint32_t kind = 0;
    // Set once the connection failed or was cut: no more frames go out.
    std::atomic<uint32_t> broken{0};
    CNetSocket socket;
    CNetWakeEvent wake;
    tag_KVRNETCALLBACKS callbacks;
    CNetClient* owner = nullptr;
    std::thread thread;
    // What could not be sent at once; stopped before the socket closes.
    CNetSendQueue sender;

    // The reader's side, on cache lines of its own so that senders and the
    // reader don't take turns owning one line for every message.
    // Guards the queue and the delivery of its messages.
    alignas(64) std::mutex lock;
    CPacketQueue queue;
    // Wakes a send channel's thread when a message is queued or the
    // channel is closed.
    std::condition_variable ready;
};

using NetChannelPtr = std::shared_ptr<tag_KVRNETCHANNEL>;

// Starts the outgoing queue of a TCP channel whose socket is set: a queue
// that overflows or falls behind by the deadline cuts the connection.
uint32_t StartNetChannelSender(tag_KVRNETCHANNEL& channel, size_t maxBytes, uint32_t deadlineMs);
// Sends one whole frame on a TCP channel without waiting: what the socket
// does not take at once goes out later from the channel's queue. A channel
// already cut counts as sent (its owner hears of the loss through
// on-disconnected); a frame the queue refuses cuts the connection and
// gives 0.
uint32_t SendOnNetChannel(tag_KVRNETCHANNEL& channel, const uint8_t* frame, size_t length);
// Stops sends, shuts the socket down and wakes the channel's thread.
void CutNetChannel(tag_KVRNETCHANNEL& channel);
// Asks the thread to stop, waits for it (never from the thread itself) and
// drops the record. Call with no lock held that the thread takes.
void CloseNetChannel(NetChannelPtr& channel);
