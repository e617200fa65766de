#include "net/UpnpMessages.h"

#include <arpa/inet.h>
#include <cstring>
#include <string_view>

namespace
{
char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// First case-insensitive occurrence of needle in text[from, end), or npos.
size_t FindNoCase(std::string_view text, std::string_view needle, size_t from = 0)
{
    if (needle.empty() || text.size() < needle.size())
        return std::string_view::npos;
    for (size_t i = from; i + needle.size() <= text.size(); ++i)
    {
        size_t j = 0;
        while (j < needle.size() && Lower(text[i + j]) == Lower(needle[j]))
            ++j;
        if (j == needle.size())
            return i;
    }
    return std::string_view::npos;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && FindNoCase(text.substr(0, prefix.size()), prefix) == 0;
}

// The text up to the first NUL: a datagram or response is a C string to
// its senders, and nothing after a NUL may count.
std::string_view Bounded(const char* text, size_t length)
{
    if (text == nullptr)
        return std::string_view();
    const void* nul = std::memchr(text, '\0', length);
    if (nul != nullptr)
        length = static_cast<size_t>(static_cast<const char*>(nul) - text);
    return std::string_view(text, length);
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Parses 1..5 decimal digits into a port 1..65535.
bool ParsePort(std::string_view digits, uint16_t& out)
{
    if (digits.empty() || digits.size() > 5)
        return false;
    uint32_t value = 0;
    for (char c : digits)
    {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value == 0 || value > 65535)
        return false;
    out = static_cast<uint16_t>(value);
    return true;
}

std::string EscapeXml(const std::string& value)
{
    std::string out;
    out.reserve(value.size());
    for (char c : value)
    {
        switch (c)
        {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c; break;
        }
    }
    return out;
}
} // namespace

bool IsPlainHeaderText(const std::string& text)
{
    for (unsigned char c : text)
    {
        if (c < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

uint32_t ParseSsdpLocation(const char* reply, size_t length, tag_KVRUPNPLOCATION& out)
{
    const std::string_view text = Bounded(reply, length);
    // The header must begin a line, so that "X-Location:" or a Location
    // inside another header's value is not taken.
    size_t at = 0;
    std::string_view line;
    for (;;)
    {
        const size_t end = text.find('\n', at);
        std::string_view candidate = text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        if (!candidate.empty() && candidate.back() == '\r')
            candidate.remove_suffix(1);
        if (StartsWithNoCase(candidate, "location:"))
        {
            line = Trim(candidate.substr(9));
            break;
        }
        if (end == std::string_view::npos)
            return 0;
        at = end + 1;
    }
    if (!StartsWithNoCase(line, "http://"))
        return 0;
    line.remove_prefix(7);
    const size_t colon = line.find(':');
    const size_t slash = line.find('/');
    // Without an explicit port the description can't be fetched.
    if (colon == std::string_view::npos || colon == 0 || (slash != std::string_view::npos && slash < colon))
        return 0;
    if (slash == std::string_view::npos)
        return 0;
    tag_KVRUPNPLOCATION location;
    location.host = std::string(line.substr(0, colon));
    if (!ParsePort(line.substr(colon + 1, slash - colon - 1), location.port))
        return 0;
    location.path = std::string(line.substr(slash));
    if (!IsPlainHeaderText(location.host) || !IsPlainHeaderText(location.path) ||
        location.path.find(' ') != std::string::npos || location.host.find(' ') != std::string::npos)
        return 0;
    out = location;
    return 1;
}

int ParseHttpStatus(const char* response, size_t length)
{
    const std::string_view text = Bounded(response, length);
    if (!StartsWithNoCase(text, "HTTP/1."))
        return -1;
    if (text.size() < 12 || text[8] != ' ')
        return -1;
    int code = 0;
    for (size_t i = 9; i < 12; ++i)
    {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        code = code * 10 + (text[i] - '0');
    }
    if (text.size() > 12 && text[12] != ' ' && text[12] != '\r')
        return -1;
    return code;
}

long long FindHttpBody(const char* response, size_t length)
{
    const std::string_view text(response != nullptr ? response : "", response != nullptr ? length : 0);
    const size_t end = text.find("\r\n\r\n");
    if (end == std::string_view::npos)
        return -1;
    return static_cast<long long>(end + 4);
}

long long ParseContentLength(const char* response, size_t length)
{
    const long long body = FindHttpBody(response, length);
    if (body < 0)
        return -1;
    const std::string_view head(response, static_cast<size_t>(body));
    size_t at = 0;
    while (at < head.size())
    {
        const size_t end = head.find("\r\n", at);
        const std::string_view line = head.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        if (StartsWithNoCase(line, "content-length:"))
        {
            const std::string_view digits = Trim(line.substr(15));
            if (digits.empty() || digits.size() > 12)
                return -1;
            long long value = 0;
            for (char c : digits)
            {
                if (c < '0' || c > '9')
                    return -1;
                value = value * 10 + (c - '0');
            }
            return value;
        }
        if (end == std::string_view::npos)
            break;
        at = end + 2;
    }
    return -1;
}

uint32_t FindElementText(const char* text, size_t length, const char* name, std::string& out)
{
    const std::string_view view = Bounded(text, length);
    const std::string open = std::string("<") + name + ">";
    const std::string close = std::string("</") + name + ">";
    const size_t start = FindNoCase(view, open);
    if (start == std::string_view::npos)
        return 0;
    const size_t valueAt = start + open.size();
    const size_t end = FindNoCase(view, close, valueAt);
    if (end == std::string_view::npos)
        return 0;
    out = std::string(Trim(view.substr(valueAt, end - valueAt)));
    return 1;
}

uint32_t ParseDescriptionService(const char* text, size_t length, const char* kind, tag_KVRUPNPSERVICE& out)
{
    const std::string_view view = Bounded(text, length);
    const std::string marker = std::string("<serviceType>urn:schemas-upnp-org:service:") + kind;
    const size_t at = FindNoCase(view, marker);
    if (at == std::string_view::npos)
        return 0;
    // Both values come from this service's own entry onwards.
    const std::string_view rest = view.substr(at);
    tag_KVRUPNPSERVICE service;
    if (!FindElementText(rest.data(), rest.size(), "serviceType", service.serviceType))
        return 0;
    std::string url;
    if (!FindElementText(rest.data(), rest.size(), "controlURL", url))
        return 0;
    // An absolute control URL is reduced to its path; the request goes to
    // the device the description came from.
    if (StartsWithNoCase(url, "http://"))
    {
        const size_t slash = url.find('/', 7);
        if (slash == std::string::npos)
            return 0;
        url = url.substr(slash);
    }
    if (url.empty() || url[0] != '/')
        return 0;
    if (!IsPlainHeaderText(service.serviceType) || !IsPlainHeaderText(url) || url.find(' ') != std::string::npos ||
        service.serviceType.find('"') != std::string::npos || service.serviceType.empty())
        return 0;
    service.controlUrl = url;
    out = service;
    return 1;
}

uint32_t ParseExternalIpAddress(const char* text, size_t length, std::string& out)
{
    std::string value;
    if (!FindElementText(text, length, "NewExternalIPAddress", value))
        return 0;
    in_addr address{};
    if (value.size() > 15 || inet_pton(AF_INET, value.c_str(), &address) != 1)
        return 0;
    out = value;
    return 1;
}

std::string BuildSsdpSearch(const char* hostAndPort)
{
    std::string request = "M-SEARCH * HTTP/1.1\r\nMX: 3\r\nHost: ";
    request += hostAndPort;
    request += "\r\nMan: \"ssdp:discover\"\r\nST: urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\n\r\n";
    return request;
}

std::string BuildDescriptionRequest(const std::string& path, const std::string& host, uint16_t port)
{
    if (!IsPlainHeaderText(path) || !IsPlainHeaderText(host))
        return std::string();
    return "GET " + path + " HTTP/1.0\r\nHost: " + host + ":" + std::to_string(port) + "\r\n\r\n";
}

std::string BuildSoapRequest(const char* action, const tag_KVRUPNPSERVICE& service, const std::string& host,
                             uint16_t port, const tag_KVRSOAPARGUMENT* arguments, size_t count)
{
    if (!IsPlainHeaderText(service.serviceType) || !IsPlainHeaderText(service.controlUrl) ||
        !IsPlainHeaderText(host) || service.serviceType.find('"') != std::string::npos)
        return std::string();
    // The end tag of AddPortMapping sits one tab less deep than the others;
    // routers have seen it so for years, so it stays.
    const bool add = std::strcmp(action, "AddPortMapping") == 0;
    std::string body;
    body += "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
            "s:encordingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">\r\n";
    body += "\t<s:Body>\r\n";
    body += "\t\t<u:" + std::string(action) + " xmlns:u=\"" + EscapeXml(service.serviceType) + "\">\r\n";
    for (size_t i = 0; i < count; ++i)
    {
        body += "\t\t\t<" + std::string(arguments[i].name) + ">" + EscapeXml(arguments[i].value) + "</" +
                arguments[i].name + ">\r\n";
    }
    body += add ? "\t\t" : "\t\t\t";
    body += "</u:" + std::string(action) + ">\r\n";
    body += "\t</s:Body>\r\n";
    body += "</s:Envelope>\r\n";

    std::string head = "POST " + service.controlUrl + " HTTP/1.1\r\n";
    head += "Content-Type: text/xml\r\n";
    head += "SOAPACTION: \"" + service.serviceType + "#" + action + "\"\r\n";
    head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    head += "Host: " + host + ":" + std::to_string(port) + "\r\n\r\n";
    return head + body;
}
