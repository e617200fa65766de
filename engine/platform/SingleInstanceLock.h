#pragma once

#include <string>

// Tells whether another process of the same program (the same name, the
// same user) runs, and lets that process know it was asked for. The first
// process holds a listening UNIX socket in the abstract namespace named
// after the program; the kernel drops the name when the process ends, so a
// crash leaves nothing stale behind.
class SingleInstanceLock
{
public:
    SingleInstanceLock() = default;
    ~SingleInstanceLock();

    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // true: no other process holds the name and this one now does. false:
    // another process holds it; it has been poked and this object holds
    // nothing.
    bool Acquire(const char* name);
    bool IsHeld() const { return m_socket >= 0; }

    // Accepts the pokes that arrived since the last call; their count.
    int TakePokes();

    void Close();

    // The abstract socket name for a program name (without the leading NUL).
    static std::string SocketName(const char* name);

private:
    int m_socket = -1;
};
