#pragma once

#include "engine/platform/message/Message.h"

#include <functional>

// The process's message queue. Window backends feed it from their event
// sources (SDL events, GTK signals); tests post records directly. Posting is
// thread-safe; peeking, sending and dispatching belong to the main thread.
class MessageQueue
{
public:
    // An event pump turns waiting OS events into posted messages. Pumps run
    // whenever Peek finds the queue empty.
    using EventPump = std::function<void()>;

    static void Post(WindowHandle window, uint32_t id, WParam wParam, LParam lParam);
    static void PostQuit(int exitCode);

    // Removes the oldest message into out; false when none waits.
    static bool Peek(Message& out);

    // Calls the window's procedure at once and returns its result.
    static LResult Send(WindowHandle window, uint32_t id, WParam wParam, LParam lParam);
    static LResult Dispatch(const Message& message);

    // Returns an id for RemovePump.
    static int AddPump(EventPump pump);
    static void RemovePump(int id);

    // Forgets every waiting message addressed to the window.
    static void RemoveWindowMessages(WindowHandle window);

    static void Clear();
    static int Count();
};

// What a window does with a message its procedure does not handle: a close
// request destroys the window; Alt+F4 becomes the close system command,
// which becomes a close request; the minimise and restore commands act on
// the window; everything else is ignored.
LResult DefaultWindowProcedure(WindowHandle window, uint32_t id, WParam wParam, LParam lParam);
