#pragma once

#include "tests/support/ChildOfTest.h"

#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

// An X server of this test's own. Tests run in parallel on the shared
// display and focus is one per display, so focus tests get a private one.
class PrivateXServer
{
public:
    // screen: Xvfb's "WxHxD" (two game windows side by side want a wider
    // one). keyRepeat false: a key held long (for a slow frame to see it)
    // stays one press.
    explicit PrivateXServer(const char* screen = "1024x768x24", bool keyRepeat = true)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        const std::string fd = std::to_string(fds[1]);
        // -noreset: by default the server resets whenever its last client
        // leaves, and a window opened meanwhile finds no display.
        const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-nolisten", "tcp", "-noreset",
                              keyRepeat ? nullptr : "-r", nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        // TERM, so that it still removes its socket and lock file.
        const int spawned = childoftest::Spawn(&m_pid, &actions, "TERM", argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (spawned != 0)
        {
            m_pid = 0;
            close(fds[0]);
            return;
        }
        m_display = ReadDisplay(fds[0]);
        close(fds[0]);
    }
    ~PrivateXServer()
    {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
    }
    // ":N" once the server accepts connections; empty when it didn't start.
    const std::string& GetDisplay() const { return m_display; }
    pid_t Pid() const { return m_pid; }

private:
    // The server writes its display number when it is ready.
    static std::string ReadDisplay(int fd)
    {
        std::string number;
        for (int turn = 0; turn < 100; ++turn)
        {
            pollfd entry = {fd, POLLIN, 0};
            if (poll(&entry, 1, 100) <= 0)
                continue;
            char c = 0;
            if (read(fd, &c, 1) != 1)
                break;
            if (c == '\n')
                return number.empty() ? std::string() : ":" + number;
            number += c;
        }
        return std::string();
    }

    pid_t m_pid = 0;
    std::string m_display;
};


// A private X server that is this process's DISPLAY while it lives. Make it
// before SDL's video starts and drop it after the video has quit.
class PrivateDisplay
{
public:
    PrivateDisplay()
    {
        const char* previous = std::getenv("DISPLAY");
        m_hadDisplay = previous != nullptr;
        m_previous = m_hadDisplay ? previous : "";
        if (m_server.GetDisplay().empty())
            return;
        setenv("DISPLAY", m_server.GetDisplay().c_str(), 1);
        m_active = true;
    }
    ~PrivateDisplay()
    {
        if (!m_active)
            return;
        if (m_hadDisplay)
            setenv("DISPLAY", m_previous.c_str(), 1);
        else
            unsetenv("DISPLAY");
    }
    bool IsActive() const { return m_active; }

private:
    PrivateXServer m_server;
    std::string m_previous;
    bool m_hadDisplay = false;
    bool m_active = false;
};
