#pragma once

// Programs a test starts (the game, an X server) end with the test, even
// when the test itself is killed (a time limit, Ctrl-C on ctest) and never
// reaches its destructors: left behind, a game spins on its frames and an
// X server waits for clients, for hours. Each is started through setpriv,
// which asks the kernel to send it the given signal when the test goes and
// then becomes the program itself (same process, same pid).

#include <cstdio>
#include <string>
#include <vector>

#include <spawn.h>
#include <unistd.h>

namespace childoftest
{
inline constexpr const char* kSetpriv = "/usr/bin/setpriv";

// posix_spawnp of argv (argv[0] the program, found on PATH as execvp does),
// sent signal (a name: "KILL", "TERM") when the test ends. Where setpriv is
// missing the program is started as it is.
inline int Spawn(pid_t* pid, const posix_spawn_file_actions_t* actions, const char* signal, const char* const* argv,
                 char* const* envp)
{
    if (access(kSetpriv, X_OK) != 0)
        return posix_spawnp(pid, argv[0], actions, nullptr, const_cast<char* const*>(argv), envp);
    std::vector<const char*> wrapped = {kSetpriv, "--pdeathsig", signal, "--"};
    for (const char* const* arg = argv; *arg != nullptr; ++arg)
        wrapped.push_back(*arg);
    wrapped.push_back(nullptr);
    return posix_spawn(pid, kSetpriv, actions, nullptr, const_cast<char* const*>(wrapped.data()), envp);
}

// Whether a process not the caller's child still runs (gone, or a zombie
// its new parent has yet to collect, it does not), after waiting for it to
// end for at most 30 s.
inline bool StillRuns(pid_t pid)
{
    auto runs = [&] {
        std::FILE* stat = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
        if (stat == nullptr)
            return false;
        char state = 'Z';
        const bool read = std::fscanf(stat, "%*d %*s %c", &state) == 1;
        std::fclose(stat);
        return read && state != 'Z';
    };
    for (int look = 0; look < 3000 && runs(); ++look)
        usleep(10000);
    return runs();
}
}
