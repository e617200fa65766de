// Parses an arbitrary SSDP reply for its Location and builds the
// description request from what was found: the request must stay one
// request line and one Host line.
#include "net/UpnpMessages.h"

#include <cstddef>
#include <cstdint>
#include <string>

static size_t CountLines(const std::string& text)
{
    size_t lines = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2))
        ++lines;
    return lines;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    tag_KVRUPNPLOCATION location;
    if (!ParseSsdpLocation(reinterpret_cast<const char*>(data), size, location))
        return 0;
    if (location.port == 0 || location.host.empty() || location.path.empty() || location.path[0] != '/')
        __builtin_trap();
    const std::string request = BuildDescriptionRequest(location.path, location.host, location.port);
    if (request.empty() || CountLines(request) != 3)
        __builtin_trap();
    return 0;
}
