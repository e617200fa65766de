#pragma once

#include "net/NetSocket.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The outgoing side of one stream connection, so that sending never waits
// for the network: Post writes what the socket takes at once and leaves the
// rest in a bounded queue, which the queue's own writer thread sends as the
// socket makes room. Frames leave whole and in the order posted, whichever
// thread posts them; Post holds the queue's lock only around non-blocking
// writes, so any thread may post while holding its own locks.
//
// A connection that falls behind is given up alone: when a frame would
// push the queue past its byte limit, or when the oldest unsent byte has
// waited longer than the deadline, the queue fails. It then drops what it
// holds, refuses every later frame and calls the on-failed callback once
// (the owner cuts the connection); the callback may run on the posting
// thread or on the writer, and must not block.
class CNetSendQueue
{
public:
    using FailedCallback = void (*)(void* argument);

    // Defaults: 1 MiB queued at most, 5 s for the oldest byte.
    static constexpr size_t kDefaultMaxBytes = 1024 * 1024;
    static constexpr uint32_t kDefaultDeadlineMs = 5000;

    CNetSendQueue() = default;
    ~CNetSendQueue() { Stop(); }
    CNetSendQueue(const CNetSendQueue&) = delete;
    CNetSendQueue& operator=(const CNetSendQueue&) = delete;

    // Starts the writer for fd, which the caller keeps open until Stop has
    // returned. A queue may be started again after Stop.
    bool Start(int fd, size_t maxBytes, uint32_t deadlineMs, FailedCallback onFailed, void* argument);
    // 1 when the frame went out or waits whole in the queue. 0 without a
    // running queue, and when the queue fails now or has failed before.
    uint32_t Post(const uint8_t* frame, size_t length);
    // Ends the writer and drops what still waits. Never from the callback.
    void Stop();

    bool IsRunning() const;
    bool HasFailed() const;
    size_t GetQueuedBytes() const;
    // Whether the other side's system has taken every byte posted (none
    // waits here or unacknowledged in the socket), or none ever will (the
    // queue failed or is stopped).
    bool IsDelivered() const;

private:
    struct Pending
    {
        std::vector<uint8_t> bytes;
        size_t sent = 0;
        uint32_t postedAt = 0;
    };
    enum class Write
    {
        Done,
        Full,
        Broken,
    };

    void Writer();
    // Appends n bytes to the queue (lock held, room checked).
    void Queue(const uint8_t* bytes, size_t n, uint32_t now);
    // Writes from the head of the queue until it is empty or the socket is
    // full. Called with the lock held; the writes never wait.
    Write FlushLocked();
    // Marks the queue failed and drops its frames; true when this call did
    // it (the caller then runs the callback, outside the lock).
    bool FailLocked();
    void NotifyFailed();

    mutable std::mutex m_lock;
    std::condition_variable m_ready;
    std::deque<Pending> m_frames;
    size_t m_queuedBytes = 0;
    int m_fd = -1;
    size_t m_maxBytes = kDefaultMaxBytes;
    uint32_t m_deadlineMs = kDefaultDeadlineMs;
    bool m_failed = false;
    bool m_stop = false;
    FailedCallback m_onFailed = nullptr;
    void* m_argument = nullptr;
    std::unique_ptr<CNetWakeEvent> m_wake;
    std::thread m_writer;
};
