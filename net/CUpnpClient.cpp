#include "net/CUpnpClient.h"

#include "net/NetSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

namespace
{
constexpr uint16_t kSsdpPort = 1900;
constexpr const char* kSsdpGroup = "239.255.255.250";
constexpr size_t kSsdpDatagramSize = 4096;

bool IsMulticast(const in_addr& address)
{
    return (ntohl(address.s_addr) & 0xF0000000u) == 0xE0000000u;
}

uint32_t Elapsed(uint32_t start)
{
    return NetMilliseconds() - start;
}
} // namespace

CUpnpClient::CUpnpClient()
{
    in_addr group{};
    ParseIPv4(kSsdpGroup, &group);
    m_ssdpTarget = MakeAddress(group, kSsdpPort);
}

CUpnpClient::~CUpnpClient()
{
    Release();
}

uint32_t CUpnpClient::SetSsdpTarget(const char* dotted, uint16_t port)
{
    in_addr address{};
    if (!ParseIPv4(dotted, &address) || port == 0)
        return 0;
    m_ssdpTarget = MakeAddress(address, port);
    return 1;
}

uint32_t CUpnpClient::SetLocalAddress(const char* dotted)
{
    return m_localAddress.Set(dotted);
}

void CUpnpClient::SetTimeouts(uint32_t discoverMs, uint32_t httpMs)
{
    m_discoverMs = discoverMs;
    m_httpMs = httpMs;
}

uint32_t CUpnpClient::SendSearch(int fd)
{
    char target[32] = {};
    std::snprintf(target, sizeof(target), "%s:%u", FormatIPv4(m_ssdpTarget.sin_addr).c_str(),
                  static_cast<unsigned>(ntohs(m_ssdpTarget.sin_port)));
    const std::string request = BuildSsdpSearch(target);
    const sockaddr* to = reinterpret_cast<const sockaddr*>(&m_ssdpTarget);
    if (!IsMulticast(m_ssdpTarget.sin_addr))
        return ::sendto(fd, request.data(), request.size(), MSG_NOSIGNAL, to, sizeof(m_ssdpTarget)) ==
               static_cast<ssize_t>(request.size());
    // A multicast search leaves on every IPv4 interface, so that a router on
    // any of them hears it.
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0)
        return 0;
    uint32_t sent = 0;
    for (ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next)
    {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET || (entry->ifa_flags & IFF_UP) == 0)
            continue;
        sockaddr_in local{};
        std::memcpy(&local, entry->ifa_addr, sizeof(local));
        if (setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &local.sin_addr, sizeof(local.sin_addr)) != 0)
            continue;
        if (::sendto(fd, request.data(), request.size(), MSG_NOSIGNAL, to, sizeof(m_ssdpTarget)) ==
            static_cast<ssize_t>(request.size()))
            sent = 1;
    }
    freeifaddrs(interfaces);
    return sent;
}

void CUpnpClient::Cancel()
{
    m_cancelled.store(true);
    m_cancel->Signal();
}

uint32_t CUpnpClient::ExchangeLimit() const
{
    if (m_cancelled.load())
        return 0;
    if (!m_releasing)
        return m_httpMs;
    const uint32_t spent = Elapsed(m_releaseStart);
    if (spent >= m_releaseMs)
        return 0;
    return m_releaseMs - spent < m_httpMs ? m_releaseMs - spent : m_httpMs;
}

uint32_t CUpnpClient::Discover()
{
    CNetSocket socket(OpenNetSocket(SOCK_DGRAM));
    if (!socket.IsValid())
        return 0;
    if (!BindNetSocket(socket.Get(), m_localAddress.Get(), 0))
        return 0;
    uint32_t sent = 0;
    for (uint32_t i = 0; i < m_searchCount; ++i)
        sent |= SendSearch(socket.Get());
    if (!sent)
        return 0;
    const uint32_t start = NetMilliseconds();
    // One byte more than the largest datagram read, so that the text is
    // always terminated.
    char datagram[kSsdpDatagramSize + 1];
    for (;;)
    {
        const uint32_t spent = Elapsed(start);
        if (spent >= m_discoverMs || m_cancelled.load())
            return 0;
        const int ready = WaitReadable(socket.Get(), m_cancel->Get(), m_discoverMs - spent);
        if (ready < 0)
            return 0;
        if (ready == 0)
            continue;
        const ssize_t n = ::recv(socket.Get(), datagram, kSsdpDatagramSize, 0);
        if (n < 0)
        {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNREFUSED)
                continue;
            return 0;
        }
        datagram[n] = '\0';
        tag_KVRUPNPLOCATION location;
        if (!ParseSsdpLocation(datagram, static_cast<size_t>(n), location))
            continue;
        if (TryLocation(location))
            return 1;
    }
}

uint32_t CUpnpClient::TryLocation(const tag_KVRUPNPLOCATION& location)
{
    in_addr address{};
    // The device is reached by the address it gave; names are resolved.
    if (!ResolveIPv4(location.host.c_str(), &address))
        return 0;
    m_deviceHost = location.host;
    m_devicePort = location.port;
    m_deviceAddress = address;
    m_descriptionPath = location.path;
    m_ipService = tag_KVRUPNPSERVICE();
    m_pppService = tag_KVRUPNPSERVICE();
    if (GetDescription())
        return 1;
    m_deviceHost.clear();
    m_devicePort = 0;
    m_descriptionPath.clear();
    return 0;
}

uint32_t CUpnpClient::GetDescription()
{
    const std::string request = BuildDescriptionRequest(m_descriptionPath, m_deviceHost, m_devicePort);
    if (request.empty())
        return 0;
    std::string response;
    if (!Exchange(request, response))
        return 0;
    if (ParseHttpStatus(response.data(), response.size()) != 200)
        return 0;
    const uint32_t ip = ParseDescriptionService(response.data(), response.size(), "WANIPConnection", m_ipService);
    const uint32_t ppp = ParseDescriptionService(response.data(), response.size(), "WANPPPConnection", m_pppService);
    return ip || ppp ? 1 : 0;
}

uint32_t CUpnpClient::Exchange(const std::string& request, std::string& response)
{
    response.clear();
    const uint32_t limit = ExchangeLimit();
    if (m_devicePort == 0 || limit == 0)
        return 0;
    const int cancel = m_cancel->Get();
    const uint32_t start = NetMilliseconds();
    CNetSocket socket = ConnectWithDeadline(MakeAddress(m_deviceAddress, m_devicePort), nullptr, limit, cancel);
    if (!socket.IsValid())
        return 0;
    const uint32_t spent = Elapsed(start);
    if (spent >= limit || !SendWithDeadline(socket.Get(), request.data(), request.size(), limit - spent, cancel))
        return 0;
    char buffer[4096];
    // The response ends with the connection, at its Content-Length, at the
    // size cap or at the deadline, whichever comes first; a device that
    // sends without end is cut off at the cap or the deadline.
    for (;;)
    {
        const long long body = FindHttpBody(response.data(), response.size());
        if (body >= 0)
        {
            const long long length = ParseContentLength(response.data(), response.size());
            if (length >= 0 && static_cast<long long>(response.size()) - body >= length)
                return 1;
        }
        if (response.size() >= kMaxResponse)
            return 1;
        const uint32_t now = Elapsed(start);
        if (now >= limit)
            return response.empty() ? 0 : 1;
        const int ready = WaitReadable(socket.Get(), cancel, limit - now);
        // A cancelled exchange fails, whatever came so far.
        if (m_cancelled.load())
            return 0;
        if (ready < 0)
            return response.empty() ? 0 : 1;
        if (ready == 0)
            continue;
        const size_t room = kMaxResponse - response.size();
        const ssize_t n = ::recv(socket.Get(), buffer, room < sizeof(buffer) ? room : sizeof(buffer), 0);
        if (n == 0)
            return 1;
        if (n < 0)
        {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            return response.empty() ? 0 : 1;
        }
        response.append(buffer, static_cast<size_t>(n));
    }
}

uint32_t CUpnpClient::SoapAction(const char* action, const tag_KVRUPNPSERVICE& service,
                                 const tag_KVRSOAPARGUMENT* arguments, size_t count, std::string* response)
{
    const std::string request = BuildSoapRequest(action, service, m_deviceHost, m_devicePort, arguments, count);
    if (request.empty())
        return 0;
    std::string text;
    if (!Exchange(request, text))
        return 0;
    if (ParseHttpStatus(text.data(), text.size()) != 200)
        return 0;
    if (response != nullptr)
        *response = std::move(text);
    return 1;
}

std::vector<const tag_KVRUPNPSERVICE*> CUpnpClient::Services() const
{
    std::vector<const tag_KVRUPNPSERVICE*> services;
    if (!m_ipService.serviceType.empty() && !m_ipService.controlUrl.empty())
        services.push_back(&m_ipService);
    if (!m_pppService.serviceType.empty() && !m_pppService.controlUrl.empty())
        services.push_back(&m_pppService);
    return services;
}

static bool IsProtocol(const char* protocol)
{
    return protocol != nullptr && (std::strcmp(protocol, "TCP") == 0 || std::strcmp(protocol, "UDP") == 0);
}

uint32_t CUpnpClient::CheckPortMapping(uint16_t externalPort, const char* protocol)
{
    const std::vector<const tag_KVRUPNPSERVICE*> services = Services();
    if (services.empty() || !IsProtocol(protocol))
        return 0;
    const tag_KVRSOAPARGUMENT arguments[] = {
        {"NewRemoteHost", ""},
        {"NewExternalPort", std::to_string(externalPort)},
        {"NewProtocol", protocol},
    };
    for (const tag_KVRUPNPSERVICE* service : services)
    {
        if (!SoapAction("GetSpecificPortMappingEntry", *service, arguments, 3, nullptr))
            return 0;
    }
    return 1;
}

uint32_t CUpnpClient::AddPortMapping(uint16_t externalPort, uint16_t internalPort, const char* protocol,
                                     const char* internalClient, const char* description)
{
    const std::vector<const tag_KVRUPNPSERVICE*> services = Services();
    if (services.empty() || !IsProtocol(protocol) || internalClient == nullptr)
        return 0;
    const tag_KVRSOAPARGUMENT arguments[] = {
        {"NewRemoteHost", ""},
        {"NewExternalPort", std::to_string(externalPort)},
        {"NewProtocol", protocol},
        {"NewInternalPort", std::to_string(internalPort)},
        {"NewInternalClient", internalClient},
        {"NewEnabled", "1"},
        {"NewPortMappingDescription", description != nullptr ? description : ""},
        {"NewLeaseDuration", "0"},
    };
    for (const tag_KVRUPNPSERVICE* service : services)
    {
        if (!SoapAction("AddPortMapping", *service, arguments, 8, nullptr))
            return 0;
    }
    tag_KVRUPNPPORTMAPPING mapping;
    mapping.externalPort = externalPort;
    std::snprintf(mapping.protocol, sizeof(mapping.protocol), "%s", protocol);
    m_mappings.push_back(mapping);
    return 1;
}

uint32_t CUpnpClient::DeletePortMapping(uint16_t externalPort, const char* protocol)
{
    const std::vector<const tag_KVRUPNPSERVICE*> services = Services();
    if (services.empty() || !IsProtocol(protocol))
        return 0;
    const tag_KVRSOAPARGUMENT arguments[] = {
        {"NewRemoteHost", ""},
        {"NewExternalPort", std::to_string(externalPort)},
        {"NewProtocol", protocol},
    };
    uint32_t ok = 1;
    for (const tag_KVRUPNPSERVICE* service : services)
    {
        if (!SoapAction("DeletePortMapping", *service, arguments, 3, nullptr))
            ok = 0;
    }
    return ok;
}

uint32_t CUpnpClient::GetExternalIPAddress(std::string& out)
{
    for (const tag_KVRUPNPSERVICE* service : Services())
    {
        std::string response;
        if (!SoapAction("GetExternalIPAddress", *service, nullptr, 0, &response))
            continue;
        if (ParseExternalIpAddress(response.data(), response.size(), out))
            return 1;
    }
    return 0;
}

void CUpnpClient::Release()
{
    const std::vector<tag_KVRUPNPPORTMAPPING> mappings = std::move(m_mappings);
    m_mappings.clear();
    // Deleting what was added is worth a little of the time a cancel saved.
    m_cancel = std::make_unique<CNetWakeEvent>();
    m_cancelled.store(false);
    m_releasing = true;
    m_releaseStart = NetMilliseconds();
    for (const tag_KVRUPNPPORTMAPPING& mapping : mappings)
        DeletePortMapping(mapping.externalPort, mapping.protocol);
    m_releasing = false;
    m_deviceHost.clear();
    m_devicePort = 0;
    m_descriptionPath.clear();
    m_ipService = tag_KVRUPNPSERVICE();
    m_pppService = tag_KVRUPNPSERVICE();
}
