#include "engine/platform/message/MessageQueue.h"

#include "engine/platform/message/PlatformWindow.h"

#include <deque>
#include <mutex>
#include <utility>
#include <vector>

namespace
{
struct PumpEntry
{
    int id;
    MessageQueue::EventPump pump;
};

std::mutex g_queueLock;
std::deque<Message> g_queue;
std::vector<PumpEntry> g_pumps;
int g_nextPumpId = 1;

bool PopFront(Message& out)
{
    std::lock_guard<std::mutex> lock(g_queueLock);
    if (g_queue.empty())
        return false;
    out = g_queue.front();
    g_queue.pop_front();
    return true;
}

void RunPumps()
{
    // A pump may add or remove pumps; iterate over a copy.
    std::vector<PumpEntry> pumps = g_pumps;
    for (PumpEntry& entry : pumps)
        entry.pump();
}
}

void MessageQueue::Post(WindowHandle window, uint32_t id, WParam wParam, LParam lParam)
{
    std::lock_guard<std::mutex> lock(g_queueLock);
    g_queue.push_back(Message{window, id, wParam, lParam});
}

void MessageQueue::PostQuit(int exitCode)
{
    Post(nullptr, MSG_QUIT, static_cast<WParam>(exitCode), 0);
}

bool MessageQueue::Peek(Message& out)
{
    if (PopFront(out))
        return true;
    RunPumps();
    return PopFront(out);
}

LResult MessageQueue::Send(WindowHandle window, uint32_t id, WParam wParam, LParam lParam)
{
    if (window == nullptr)
        return 0;
    WindowProcedure procedure = window->GetProcedure();
    if (procedure == nullptr)
        return DefaultWindowProcedure(window, id, wParam, lParam);
    return procedure(window, id, wParam, lParam);
}

LResult MessageQueue::Dispatch(const Message& message)
{
    return Send(message.window, message.id, message.wParam, message.lParam);
}

int MessageQueue::AddPump(EventPump pump)
{
    const int id = g_nextPumpId++;
    g_pumps.push_back(PumpEntry{id, std::move(pump)});
    return id;
}

void MessageQueue::RemovePump(int id)
{
    for (size_t i = 0; i < g_pumps.size(); ++i)
    {
        if (g_pumps[i].id == id)
        {
            g_pumps.erase(g_pumps.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

void MessageQueue::RemoveWindowMessages(WindowHandle window)
{
    std::lock_guard<std::mutex> lock(g_queueLock);
    for (auto it = g_queue.begin(); it != g_queue.end();)
        it = it->window == window ? g_queue.erase(it) : it + 1;
}

void MessageQueue::Clear()
{
    std::lock_guard<std::mutex> lock(g_queueLock);
    g_queue.clear();
}

int MessageQueue::Count()
{
    std::lock_guard<std::mutex> lock(g_queueLock);
    return static_cast<int>(g_queue.size());
}

LResult DefaultWindowProcedure(WindowHandle window, uint32_t id, WParam wParam, LParam lParam)
{
    (void)lParam;
    if (window == nullptr)
        return 0;
    switch (id)
    {
    case MSG_CLOSE:
        window->Destroy();
        return 0;
    case MSG_SYSKEYDOWN:
        // Alt+F4 asks the window to close through its system menu command,
        // so procedures see the same path as a click on the close box.
        if (wParam == VKEY_F4)
            return MessageQueue::Send(window, MSG_SYSCOMMAND, SYSCMD_CLOSE, 0);
        return 0;
    case MSG_SYSCOMMAND:
        // The low four bits of a system command are used by the system.
        switch (wParam & 0xFFF0u)
        {
        case SYSCMD_CLOSE:
            return MessageQueue::Send(window, MSG_CLOSE, 0, 0);
        case SYSCMD_MINIMIZE:
            window->Minimize();
            return 0;
        case SYSCMD_RESTORE:
            window->Restore();
            return 0;
        default:
            return 0;
        }
    default:
        return 0;
    }
}
