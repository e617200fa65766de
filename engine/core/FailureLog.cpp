#include "engine/core/FailureLog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

void LogFailure(const char* what, const char* why)
{
    const char* reason = why != nullptr && why[0] != '\0' ? why : "no reason given";
    std::fprintf(stderr, "%s: %s\n", what != nullptr ? what : "failure", reason);
}

const char* ErrnoText()
{
    return std::strerror(errno);
}
