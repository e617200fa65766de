#pragma once

#include "net/NetSocket.h"
#include "net/UpnpMessages.h"

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A port mapping this client added, deleted again at release.
struct tag_KVRUPNPPORTMAPPING
{
    uint16_t externalPort = 0;
    char protocol[16] = {};
};

// Opens ports on the player's router: finds an Internet Gateway Device by
// SSDP, reads its description over HTTP and calls the port-mapping actions
// of its WANIPConnection and WANPPPConnection services by SOAP. Every
// exchange has a deadline and a size cap, so a router that drips, lies or
// sends garbage makes an action fail instead of hanging; Cancel ends the
// exchanges at once, and Release deletes the mappings within a time limit
// of its own, so that quitting never waits long for a router.
class CUpnpClient
{
public:
    CUpnpClient();
    ~CUpnpClient();
    CUpnpClient(const CUpnpClient&) = delete;
    CUpnpClient& operator=(const CUpnpClient&) = delete;

    // Where the search goes: the SSDP multicast group by default; tests give
    // a loopback address. A multicast target is sent on every interface.
    uint32_t SetSsdpTarget(const char* dotted, uint16_t port);
    // The local address the SSDP socket binds to (any by default).
    uint32_t SetLocalAddress(const char* dotted);
    // How long discovery waits for answers, and each HTTP exchange for its
    // connection and its whole response.
    void SetTimeouts(uint32_t discoverMs, uint32_t httpMs);
    // How many times the search is sent (five by default).
    void SetSearchCount(uint32_t count) { m_searchCount = count; }
    // How long Release may spend deleting mappings, in all (600 ms).
    void SetReleaseTime(uint32_t milliseconds) { m_releaseMs = milliseconds; }

    // From any thread: the exchange in progress and every later one fail at
    // once, until Release.
    void Cancel();

    // 1 when a device answered whose description names at least one of the
    // two services. Answers after the first are considered too, until one
    // is usable or the wait ends.
    uint32_t Discover();
    // 1 when every known service reports a mapping of that port.
    uint32_t CheckPortMapping(uint16_t externalPort, const char* protocol);
    // Adds the mapping on every known service; recorded for release.
    uint32_t AddPortMapping(uint16_t externalPort, uint16_t internalPort, const char* protocol,
                            const char* internalClient, const char* description);
    uint32_t DeletePortMapping(uint16_t externalPort, const char* protocol);
    // The router's external address (dotted text) from the first service
    // that gives one.
    uint32_t GetExternalIPAddress(std::string& out);
    // Deletes every mapping this client added, within the release time (a
    // mapping whose delete doesn't fit stays on the router), and forgets
    // the device. Call once no other call is running; a cancelled client
    // works again afterwards.
    void Release();

    const std::string& GetDeviceHost() const { return m_deviceHost; }
    uint16_t GetDevicePort() const { return m_devicePort; }
    const std::string& GetDescriptionPath() const { return m_descriptionPath; }
    const tag_KVRUPNPSERVICE& GetIpService() const { return m_ipService; }
    const tag_KVRUPNPSERVICE& GetPppService() const { return m_pppService; }
    const std::vector<tag_KVRUPNPPORTMAPPING>& GetMappings() const { return m_mappings; }

    // Largest response read from a device; more is cut off.
    static constexpr size_t kMaxResponse = 64 * 1024;

private:
    uint32_t SendSearch(int fd);
    uint32_t TryLocation(const tag_KVRUPNPLOCATION& location);
    uint32_t GetDescription();
    // One HTTP exchange with the device; the response text, cut at the cap.
    uint32_t Exchange(const std::string& request, std::string& response);
    uint32_t SoapAction(const char* action, const tag_KVRUPNPSERVICE& service, const tag_KVRSOAPARGUMENT* arguments,
                        size_t count, std::string* response);
    // The known services, WANIPConnection first.
    std::vector<const tag_KVRUPNPSERVICE*> Services() const;
    // How long the next exchange may take: the HTTP timeout, or what is
    // left of the release time while releasing; 0 once cancelled.
    uint32_t ExchangeLimit() const;

    sockaddr_in m_ssdpTarget{};
    NetLocalAddress m_localAddress;
    uint32_t m_discoverMs = 5000;
    uint32_t m_httpMs = 3000;
    uint32_t m_searchCount = 5;
    uint32_t m_releaseMs = 600;
    bool m_releasing = false;
    uint32_t m_releaseStart = 0;
    std::unique_ptr<CNetWakeEvent> m_cancel = std::make_unique<CNetWakeEvent>();
    std::atomic<bool> m_cancelled{false};

    std::string m_deviceHost;
    uint16_t m_devicePort = 0;
    in_addr m_deviceAddress{};
    std::string m_descriptionPath;
    tag_KVRUPNPSERVICE m_ipService;
    tag_KVRUPNPSERVICE m_pppService;
    std::vector<tag_KVRUPNPPORTMAPPING> m_mappings;
};
