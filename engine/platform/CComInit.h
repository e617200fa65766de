#pragma once

class CSystem;

// Holds the main thread's component apartment open for the life of the
// application and names the system window to those that need it: the
// movie finds its window through the current holder. There is no COM on
// this platform, so only the role remains.
class CComInit
{
public:
    CComInit() = default;
    ~CComInit();

    CComInit(const CComInit&) = delete;
    CComInit& operator=(const CComInit&) = delete;

    // Stores the system object and becomes the current holder; always 1.
    int Init(CSystem* system);
    // Stops being the current holder, so that nothing reaches a freed one.
    void Uninit();
    CSystem* GetSystem() const { return m_system; }

    // The holder made last, or null.
    static CComInit* GetCurrent();

private:
    CSystem* m_system = nullptr;
};
