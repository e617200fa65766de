// Runs every parser of a router's HTTP answers over arbitrary text; a
// service found in it must make a SOAP request whose head can't be split.
#include "net/UpnpMessages.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    ParseHttpStatus(text, size);
    const long long body = FindHttpBody(text, size);
    const long long length = ParseContentLength(text, size);
    if (length >= 0 && body < 0)
        __builtin_trap();
    std::string address;
    ParseExternalIpAddress(text, size, address);
    for (const char* kind : {"WANIPConnection", "WANPPPConnection"})
    {
        tag_KVRUPNPSERVICE service;
        if (!ParseDescriptionService(text, size, kind, service))
            continue;
        const tag_KVRSOAPARGUMENT arguments[] = {{"NewExternalPort", "15200"}, {"NewProtocol", "TCP"}};
        const std::string request = BuildSoapRequest("DeletePortMapping", service, "127.0.0.1", 5000, arguments, 2);
        if (request.empty())
            __builtin_trap();
        const size_t headEnd = request.find("\r\n\r\n");
        size_t lines = 0;
        for (size_t at = request.find("\r\n"); at != std::string::npos && at < headEnd; at = request.find("\r\n", at + 2))
            ++lines;
        // POST, Content-Type, SOAPACTION, Content-Length; Host ends the head.
        if (headEnd == std::string::npos || lines != 4)
            __builtin_trap();
    }
    return 0;
}
