#include "engine/platform/sdl/SdlEventPump.h"

#include "engine/platform/message/MessageQueue.h"

#include <SDL.h>

#include <utility>
#include <vector>

namespace
{
struct ListenerEntry
{
    int id;
    uint32_t eventType;
    SdlEventPump::Listener listener;
};

std::vector<ListenerEntry> g_listeners;
int g_nextListenerId = 1;
int g_references;
int g_queuePumpId;
}

int SdlEventPump::AddListener(uint32_t eventType, Listener listener)
{
    const int id = g_nextListenerId++;
    g_listeners.push_back(ListenerEntry{id, eventType, std::move(listener)});
    return id;
}

void SdlEventPump::RemoveListener(int id)
{
    for (size_t i = 0; i < g_listeners.size(); ++i)
    {
        if (g_listeners[i].id == id)
        {
            g_listeners.erase(g_listeners.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

void SdlEventPump::Acquire()
{
    if (g_references++ == 0)
        g_queuePumpId = MessageQueue::AddPump(PumpEvents);
}

void SdlEventPump::Release()
{
    if (g_references == 0)
        return;
    if (--g_references == 0)
    {
        MessageQueue::RemovePump(g_queuePumpId);
        g_queuePumpId = 0;
    }
}

void SdlEventPump::PumpEvents()
{
    if (SDL_WasInit(SDL_INIT_EVENTS) == 0)
        return;
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0)
        Deliver(event);
}

void SdlEventPump::Deliver(const SDL_Event& event)
{
    // Walk a snapshot of the ids: a listener may add or remove listeners,
    // and a removed one must not be called afterwards.
    std::vector<int> ids;
    ids.reserve(g_listeners.size());
    for (const ListenerEntry& entry : g_listeners)
    {
        if (entry.eventType == kAllEvents || entry.eventType == event.type)
            ids.push_back(entry.id);
    }
    for (int id : ids)
    {
        Listener listener;
        for (const ListenerEntry& entry : g_listeners)
        {
            if (entry.id == id)
            {
                listener = entry.listener;
                break;
            }
        }
        if (listener)
            listener(event);
    }
}
