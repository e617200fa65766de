#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Parsing and building of the texts the UPnP client exchanges with a
// router: SSDP replies, HTTP responses, device descriptions and SOAP
// requests. Every parser takes a length and never reads past it; every
// builder refuses values that could break out of their place (CR, LF and
// other control characters, or markup in element values).

struct tag_KVRUPNPLOCATION
{
    std::string host;
    uint16_t port = 0;
    std::string path;
};

struct tag_KVRUPNPSERVICE
{
    std::string serviceType;
    std::string controlUrl;
};

// The Location header of an SSDP reply: "http://host:port/path" within its
// own line. 0 when there is none, or it lacks a port or a path.
uint32_t ParseSsdpLocation(const char* reply, size_t length, tag_KVRUPNPLOCATION& out);

// The status code of an HTTP response ("HTTP/1.x nnn ..."), -1 when the
// status line is malformed.
int ParseHttpStatus(const char* response, size_t length);
// The Content-Length of a response's head, -1 when absent or malformed.
long long ParseContentLength(const char* response, size_t length);
// Offset of the body (past the blank line ending the head), or -1 while the
// head is incomplete.
long long FindHttpBody(const char* response, size_t length);

// The service of the given kind ("WANIPConnection", "WANPPPConnection") in a
// device description: its service type and control URL, both free of
// control characters, the URL reduced to its path. 0 when missing.
uint32_t ParseDescriptionService(const char* text, size_t length, const char* kind, tag_KVRUPNPSERVICE& out);

// The text of the first <name>...</name> element, 0 when missing.
uint32_t FindElementText(const char* text, size_t length, const char* name, std::string& out);
// NewExternalIPAddress of a GetExternalIPAddress answer, checked to be a
// dotted IPv4 address.
uint32_t ParseExternalIpAddress(const char* text, size_t length, std::string& out);

// True when text has no byte below 0x20 and no DEL.
bool IsPlainHeaderText(const std::string& text);

// The SSDP search request for an Internet Gateway Device, sent to host.
std::string BuildSsdpSearch(const char* hostAndPort);
// The HTTP GET of a device description. Empty when a value is unsafe.
std::string BuildDescriptionRequest(const std::string& path, const std::string& host, uint16_t port);

struct tag_KVRSOAPARGUMENT
{
    const char* name;
    std::string value;
};

// A whole SOAP request (head and body) for action on a service. Empty when
// the service type, the control URL or the host would carry CR/LF into the
// head. Argument values are escaped as XML text.
std::string BuildSoapRequest(const char* action, const tag_KVRUPNPSERVICE& service, const std::string& host,
                             uint16_t port, const tag_KVRSOAPARGUMENT* arguments, size_t count);
