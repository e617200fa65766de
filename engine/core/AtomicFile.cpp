#include "engine/core/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
bool WriteAll(int fd, const char* bytes, size_t size)
{
    while (size > 0)
    {
        const ssize_t written = write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}
}

int WriteFileAtomically(const char* path, const void* data, size_t size)
{
    if (path == nullptr || *path == '\0' || (data == nullptr && size != 0))
        return 0;
    std::string temporary = std::string(path) + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        return 0;
    // mkstemp makes the file private to its owner; a saved file is readable
    // like any other the program writes.
    bool ok = fchmod(fd, 0644) == 0;
    ok = ok && WriteAll(fd, static_cast<const char*>(data), size);
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(temporary.c_str(), path) == 0;
    if (!ok)
        unlink(temporary.c_str());
    return ok ? 1 : 0;
}
