// A first-come-first-served lock that carries the graphics context.
#include "game/app/CLoadingLock.h"

#include "engine/platform/CGraphics.h"

void CLoadingLock::Lock()
{
    {
        std::unique_lock<std::mutex> guard(m_mutex);
        const uint64_t ticket = m_nextTicket++;
        m_turn.wait(guard, [&] { return m_serving == ticket; });
    }
    if (m_graphics != nullptr)
        m_graphics->MakeContextCurrent();
}

void CLoadingLock::Unlock()
{
    // The context leaves this thread before the next holder may take it.
    if (m_graphics != nullptr)
        m_graphics->ReleaseContext();
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        ++m_serving;
    }
    m_turn.notify_all();
}

bool CLoadingLock::HasWaiters()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_nextTicket > m_serving + 1;
}

void CLoadingLock::Yield()
{
    if (!HasWaiters())
        return;
    Unlock();
    Lock();
}
