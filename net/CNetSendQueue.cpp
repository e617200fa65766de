#include "net/CNetSendQueue.h"

#include <algorithm>
#include <cerrno>
#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace
{
// The writer looks at the clock at least this often while it waits.
constexpr uint32_t kWaitSliceMs = 1000;

// Writes what the socket takes without waiting: bytes written, or -1 when
// the connection is broken.
ssize_t WriteSome(int fd, const uint8_t* bytes, size_t n)
{
    size_t written = 0;
    while (written < n)
    {
        const ssize_t sent = ::send(fd, bytes + written, n - written, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0)
        {
            written += static_cast<size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        return -1;
    }
    return static_cast<ssize_t>(written);
}
} // namespace

bool CNetSendQueue::Start(int fd, size_t maxBytes, uint32_t deadlineMs, FailedCallback onFailed, void* argument)
{
    Stop();
    auto wake = std::make_unique<CNetWakeEvent>();
    if (fd < 0 || !wake->IsValid())
        return false;
    std::lock_guard<std::mutex> guard(m_lock);
    m_fd = fd;
    m_maxBytes = maxBytes;
    m_deadlineMs = deadlineMs;
    m_onFailed = onFailed;
    m_argument = argument;
    m_failed = false;
    m_stop = false;
    m_wake = std::move(wake);
    m_writer = std::thread(&CNetSendQueue::Writer, this);
    return true;
}

void CNetSendQueue::Stop()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_writer.joinable())
            return;
        m_stop = true;
        m_wake->Signal();
        m_ready.notify_all();
    }
    m_writer.join();
    std::lock_guard<std::mutex> guard(m_lock);
    m_frames.clear();
    m_queuedBytes = 0;
    m_fd = -1;
    m_wake.reset();
}

bool CNetSendQueue::IsRunning() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_fd >= 0 && !m_failed;
}

bool CNetSendQueue::HasFailed() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_failed;
}

size_t CNetSendQueue::GetQueuedBytes() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_queuedBytes;
}

bool CNetSendQueue::IsDelivered() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_fd < 0 || m_failed)
        return true;
    if (m_queuedBytes != 0)
        return false;
    // The socket's bytes not yet acknowledged; a socket that can't say has
    // nothing to wait for.
    int unacknowledged = 0;
    return ::ioctl(m_fd, SIOCOUTQ, &unacknowledged) != 0 || unacknowledged == 0;
}

uint32_t CNetSendQueue::Post(const uint8_t* frame, size_t length)
{
    bool failedNow = false;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_fd < 0 || m_failed || m_stop)
            return 0;
        size_t written = 0;
        if (m_frames.empty())
        {
            const ssize_t n = WriteSome(m_fd, frame, length);
            if (n < 0)
                failedNow = FailLocked();
            else
                written = static_cast<size_t>(n);
        }
        if (!failedNow && written == length)
            return 1;
        const size_t rest = length - written;
        const uint32_t now = NetMilliseconds();
        // The deadline is checked here too: a poster that keeps the writer
        // from the lock still finds the connection given up in time.
        const bool late = !m_frames.empty() && now - m_frames.front().postedAt >= m_deadlineMs;
        if (!failedNow && !late && rest <= m_maxBytes - m_queuedBytes)
        {
            Queue(frame + written, rest, now);
            return 1;
        }
        if (!failedNow)
            failedNow = FailLocked();
    }
    if (failedNow)
        NotifyFailed();
    return 0;
}

void CNetSendQueue::Queue(const uint8_t* bytes, size_t n, uint32_t now)
{
    // Frames posted in the same millisecond share one block: a flood of
    // small frames costs no allocation per frame, and the oldest byte's
    // time stays exact to the millisecond.
    if (m_frames.empty() || m_frames.back().postedAt != now)
    {
        m_frames.emplace_back();
        m_frames.back().postedAt = now;
    }
    std::vector<uint8_t>& block = m_frames.back().bytes;
    block.insert(block.end(), bytes, bytes + n);
    m_queuedBytes += n;
    m_ready.notify_one();
}

CNetSendQueue::Write CNetSendQueue::FlushLocked()
{
    while (!m_frames.empty())
    {
        Pending& head = m_frames.front();
        const ssize_t n = WriteSome(m_fd, head.bytes.data() + head.sent, head.bytes.size() - head.sent);
        if (n < 0)
            return Write::Broken;
        head.sent += static_cast<size_t>(n);
        m_queuedBytes -= static_cast<size_t>(n);
        if (head.sent < head.bytes.size())
            return Write::Full;
        m_frames.pop_front();
    }
    return Write::Done;
}

bool CNetSendQueue::FailLocked()
{
    if (m_failed)
        return false;
    m_failed = true;
    m_frames.clear();
    m_queuedBytes = 0;
    return true;
}

void CNetSendQueue::NotifyFailed()
{
    if (m_onFailed != nullptr)
        m_onFailed(m_argument);
}

void CNetSendQueue::Writer()
{
    std::unique_lock<std::mutex> guard(m_lock);
    for (;;)
    {
        m_ready.wait(guard, [&] { return m_stop || (!m_frames.empty() && !m_failed); });
        if (m_stop)
            return;
        bool failedNow = false;
        const Write result = FlushLocked();
        if (result == Write::Broken)
            failedNow = FailLocked();
        uint32_t waitMs = 0;
        if (result == Write::Full)
        {
            // The oldest unsent byte's age decides, not the time since the
            // socket last took something: a peer that reads a trickle still
            // falls behind.
            const uint32_t waited = NetMilliseconds() - m_frames.front().postedAt;
            if (waited >= m_deadlineMs)
                failedNow = FailLocked();
            else
                waitMs = std::min(m_deadlineMs - waited, kWaitSliceMs);
        }
        if (failedNow)
        {
            guard.unlock();
            NotifyFailed();
            guard.lock();
            continue;
        }
        if (waitMs == 0)
            continue;
        pollfd entries[2] = {{m_fd, POLLOUT, 0}, {m_wake->Get(), POLLIN, 0}};
        guard.unlock();
        ::poll(entries, 2, static_cast<int>(waitMs));
        guard.lock();
    }
}
