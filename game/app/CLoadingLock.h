#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

class CGraphics;

// The lock around the game's loading: the loading thread holds it for each
// step of the loading, the main thread for each frame of the loading screen.
// Both draw or upload through the one graphics context, so the holder has
// it current: Lock takes the context onto the calling thread, Unlock gives
// it up. Turns are served in the order they were asked for, so a frame of
// the loading screen waits for one step at most.
class CLoadingLock
{
public:
    explicit CLoadingLock(CGraphics* graphics = nullptr) : m_graphics(graphics) {}
    void SetGraphics(CGraphics* graphics) { m_graphics = graphics; }
    CLoadingLock(const CLoadingLock&) = delete;
    CLoadingLock& operator=(const CLoadingLock&) = delete;

    void Lock();
    void Unlock();
    // Between two steps: lets a thread that waits have its turn first.
    void Yield();
    // Another thread waits for its turn.
    bool HasWaiters();

    // Holds the lock for a scope.
    class Scope
    {
    public:
        explicit Scope(CLoadingLock& lock) : m_lock(lock) { m_lock.Lock(); }
        ~Scope() { m_lock.Unlock(); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        CLoadingLock& m_lock;
    };

private:
    CGraphics* m_graphics;
    std::mutex m_mutex;
    std::condition_variable m_turn;
    uint64_t m_nextTicket = 0;
    uint64_t m_serving = 0;
};
