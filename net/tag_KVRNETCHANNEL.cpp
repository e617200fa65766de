#include "net/tag_KVRNETCHANNEL.h"

#include <sys/socket.h>

tag_KVRNETCHANNEL::~tag_KVRNETCHANNEL()
{
    if (!thread.joinable())
        return;
    if (thread.get_id() == std::this_thread::get_id())
        thread.detach();
    else
        thread.join();
}

namespace
{
void CutOnSendFailure(void* argument)
{
    CutNetChannel(*static_cast<tag_KVRNETCHANNEL*>(argument));
}
} // namespace

uint32_t StartNetChannelSender(tag_KVRNETCHANNEL& channel, size_t maxBytes, uint32_t deadlineMs)
{
    return channel.sender.Start(channel.socket.Get(), maxBytes, deadlineMs, CutOnSendFailure, &channel) ? 1u : 0u;
}

uint32_t SendOnNetChannel(tag_KVRNETCHANNEL& channel, const uint8_t* frame, size_t length)
{
    if (channel.broken.load() != 0 || !channel.socket.IsValid())
        return 1;
    if (channel.sender.Post(frame, length))
        return 1;
    CutNetChannel(channel);
    return 0;
}

void CutNetChannel(tag_KVRNETCHANNEL& channel)
{
    channel.broken.store(1);
    if (channel.socket.IsValid())
        ::shutdown(channel.socket.Get(), SHUT_RDWR);
    channel.wake.Signal();
}

void CloseNetChannel(NetChannelPtr& channel)
{
    if (!channel)
        return;
    int32_t expected = kNetChannelRunning;
    channel->state.compare_exchange_strong(expected, kNetChannelStopRequested);
    expected = kNetChannelCreated;
    channel->state.compare_exchange_strong(expected, kNetChannelStopRequested);
    // Shutting the socket down ends a read the thread waits in.
    CutNetChannel(*channel);
    {
        std::lock_guard<std::mutex> guard(channel->lock);
        channel->ready.notify_all();
    }
    if (channel->thread.joinable())
    {
        if (channel->thread.get_id() == std::this_thread::get_id())
            channel->thread.detach();
        else
            channel->thread.join();
    }
    channel->sender.Stop();
    channel.reset();
}
