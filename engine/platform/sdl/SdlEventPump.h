#pragma once

#include <cstdint>
#include <functional>

union SDL_Event;

// The one reader of SDL's event queue. Windows, input devices and text
// input all need SDL events; if each polled SDL itself, whichever polled
// first would steal the others' events. Instead they register listeners
// here, and one message-queue pump drains SDL and hands every event to the
// listeners of its type, in the order they were added.
class SdlEventPump
{
public:
    using Listener = std::function<void(const SDL_Event& event)>;

    // eventType is an SDL event type (SDL_KEYDOWN, SDL_TEXTINPUT, ...), or
    // kAllEvents. Returns an id for RemoveListener. Listeners may add or
    // remove listeners while being called.
    static constexpr uint32_t kAllEvents = 0;
    static int AddListener(uint32_t eventType, Listener listener);
    static void RemoveListener(int id);

    // Reference-counted registration of the pump with the message queue;
    // every user of SDL events holds one reference while it needs them.
    static void Acquire();
    static void Release();

    // Drains SDL's queue now (the message-queue pump calls this). Does
    // nothing when SDL's event subsystem is not running.
    static void PumpEvents();

    // Hands one event to the listeners as if SDL had delivered it.
    static void Deliver(const SDL_Event& event);
};
