#pragma once

// A router inside the tests: answers SSDP searches on a loopback UDP port
// and serves a device description and the port-mapping SOAP actions over
// HTTP on a loopback TCP port. Modes make it misbehave.

#include "net/NetSocket.h"
#include "net/UpnpMessages.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace nettest
{
class FakeGateway
{
public:
    enum class Mode
    {
        Normal,
        DripDescription,
        EndlessDescription,
        GarbageDescription,
        SoapFails,
        DripSoap,    // every action's answer drips, one byte at a time
        DripDeletes, // the deletes' answers drip, all but the first's
    };

    explicit FakeGateway(const char* address) : m_address(address)
    {
        in_addr local{};
        ParseIPv4(address, &local);
        m_udp = CNetSocket(OpenNetSocket(SOCK_DGRAM));
        m_tcp = CNetSocket(OpenNetSocket(SOCK_STREAM));
        BindNetSocket(m_udp.Get(), &local, 0);
        BindNetSocket(m_tcp.Get(), &local, 0);
        ::listen(m_tcp.Get(), 16);
        m_ssdpPort = PortOf(m_udp.Get());
        m_httpPort = PortOf(m_tcp.Get());
        description = DefaultDescription();
        ssdpReplies = {"HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\nLOCATION: http://" + m_address + ":" +
                       std::to_string(m_httpPort) + "/rootDesc.xml\r\nST: urn:schemas-upnp-org:device:"
                                                    "InternetGatewayDevice:1\r\n\r\n"};
    }
    ~FakeGateway() { Stop(); }

    void Start()
    {
        m_ssdpThread = std::thread([this] { ServeSsdp(); });
        m_httpThread = std::thread([this] { ServeHttp(); });
    }
    void Stop()
    {
        m_wake.Signal();
        if (m_ssdpThread.joinable())
            m_ssdpThread.join();
        if (m_httpThread.joinable())
            m_httpThread.join();
    }

    const std::string& Address() const { return m_address; }
    uint16_t SsdpPort() const { return m_ssdpPort; }
    uint16_t HttpPort() const { return m_httpPort; }
    std::string Location(const std::string& path) const
    {
        return "http://" + m_address + ":" + std::to_string(m_httpPort) + path;
    }

    static std::string DefaultDescription()
    {
        return "<?xml version=\"1.0\"?>\r\n<root><device><deviceList><device><serviceList>"
               "<service><serviceType>urn:schemas-upnp-org:service:WANIPConnection:1</serviceType>"
               "<controlURL>/ctl/IP</controlURL></service>"
               "<service><serviceType>urn:schemas-upnp-org:service:WANPPPConnection:1</serviceType>"
               "<controlURL>/ctl/PPP</controlURL></service>"
               "</serviceList></device></deviceList></device></root>\r\n";
    }

    // "Action path" of every SOAP request, in order.
    std::vector<std::string> Actions()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_actions;
    }
    std::set<std::string> Mappings()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_mappings;
    }
    void AddExistingMapping(const std::string& key)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_mappings.insert(key);
    }
    std::string LastBody()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_lastBody;
    }
    // How many dripped answers ended because the client hung up.
    int DripsHungUpOn() const { return m_dripsHungUpOn.load(); }

    std::atomic<Mode> mode{Mode::Normal};
    std::vector<std::string> ssdpReplies;
    std::string description;

private:
    static uint16_t PortOf(int fd)
    {
        sockaddr_in bound{};
        socklen_t length = sizeof(bound);
        getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
        return ntohs(bound.sin_port);
    }

    void ServeSsdp()
    {
        char buffer[2048];
        for (int round = 0; round < 1000; ++round)
        {
            const int ready = WaitReadable(m_udp.Get(), m_wake.Get(), 1000);
            if (ready < 0)
                return;
            if (ready == 0)
                continue;
            sockaddr_in from{};
            socklen_t length = sizeof(from);
            const ssize_t n = ::recvfrom(m_udp.Get(), buffer, sizeof(buffer) - 1, 0,
                                         reinterpret_cast<sockaddr*>(&from), &length);
            if (n <= 0)
                continue;
            buffer[n] = '\0';
            if (std::strncmp(buffer, "M-SEARCH * HTTP/1.1\r\n", 21) != 0)
                continue;
            // Only the first search of a burst is answered.
            if (m_answered.exchange(true))
                continue;
            for (const std::string& reply : ssdpReplies)
                ::sendto(m_udp.Get(), reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&from),
                         sizeof(from));
        }
    }

    // Reads one request: head and Content-Length body.
    bool ReadRequest(int fd, std::string& request)
    {
        char buffer[4096];
        for (int round = 0; round < 200; ++round)
        {
            const long long body = FindHttpBody(request.data(), request.size());
            if (body >= 0)
            {
                const long long length = ParseContentLength(request.data(), request.size());
                if (length <= 0 || static_cast<long long>(request.size()) - body >= length)
                    return true;
            }
            const int ready = WaitReadable(fd, m_wake.Get(), 2000);
            if (ready <= 0)
                return false;
            const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
            if (n <= 0)
                return false;
            request.append(buffer, static_cast<size_t>(n));
        }
        return false;
    }

    static std::string Response(int status, const std::string& body)
    {
        const char* reason = status == 200 ? "OK" : "Internal Server Error";
        return "HTTP/1.1 " + std::to_string(status) + " " + reason +
               "\r\nContent-Type: text/xml\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    }

    void Send(int fd, const std::string& text) { SendWithDeadline(fd, text.data(), text.size(), 2000); }

    void Dribble(int fd)
    {
        Send(fd, "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n\r\n");
        for (int i = 0; i < 1000; ++i)
        {
            if (WaitReadable(m_wake.Get(), -1, 20) != 0)
                return;
            if (!SendWithDeadline(fd, "<", 1, 100))
            {
                m_dripsHungUpOn.fetch_add(1);
                return;
            }
        }
    }

    void Flood(int fd)
    {
        Send(fd, "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n\r\n");
        const std::string chunk(1024, 'x');
        for (int i = 0; i < 4096; ++i)
        {
            if (WaitReadable(m_wake.Get(), -1, 0) != 0)
                return;
            if (!SendWithDeadline(fd, chunk.data(), chunk.size(), 100))
                return;
        }
    }

    void Answer(int fd, const std::string& request)
    {
        if (request.rfind("GET ", 0) == 0)
        {
            switch (mode)
            {
            case Mode::DripDescription: Dribble(fd); return;
            case Mode::EndlessDescription: Flood(fd); return;
            case Mode::GarbageDescription: Send(fd, "\x01\x02 garbage \r\n\r\n<serviceType>"); return;
            default: Send(fd, Response(200, description)); return;
            }
        }
        const size_t soap = request.find("SOAPACTION: \"");
        const size_t hash = request.find('#', soap);
        const size_t quote = request.find('"', hash);
        if (soap == std::string::npos || hash == std::string::npos || quote == std::string::npos)
        {
            Send(fd, Response(500, ""));
            return;
        }
        const std::string action = request.substr(hash + 1, quote - hash - 1);
        const std::string path = request.substr(5, request.find(' ', 5) - 5);
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_actions.push_back(action + " " + path);
        }
        const bool laterDelete =
            mode == Mode::DripDeletes && action == "DeletePortMapping" && m_deleteAnswered.exchange(true);
        if (mode == Mode::DripSoap || laterDelete)
        {
            Dribble(fd);
            return;
        }
        const long long body = FindHttpBody(request.data(), request.size());
        std::string port;
        std::string protocol;
        FindElementText(request.data() + body, request.size() - static_cast<size_t>(body), "NewExternalPort", port);
        FindElementText(request.data() + body, request.size() - static_cast<size_t>(body), "NewProtocol", protocol);
        const std::string key = path + " " + port + " " + protocol;
        int status = 200;
        std::string answer;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_lastBody = request.substr(static_cast<size_t>(body));
            if (mode == Mode::SoapFails)
                status = 500;
            else if (action == "GetSpecificPortMappingEntry")
                status = m_mappings.count(key) != 0 ? 200 : 500;
            else if (action == "AddPortMapping")
                m_mappings.insert(key);
            else if (action == "DeletePortMapping")
                status = m_mappings.erase(key) != 0 ? 200 : 500;
            else if (action == "GetExternalIPAddress")
                answer = "<s:Envelope><s:Body><u:GetExternalIPAddressResponse>"
                         "<NewExternalIPAddress>127.0.0.9</NewExternalIPAddress>"
                         "</u:GetExternalIPAddressResponse></s:Body></s:Envelope>";
        }
        Send(fd, Response(status, answer));
    }

    void ServeHttp()
    {
        for (int round = 0; round < 1000; ++round)
        {
            const int ready = WaitReadable(m_tcp.Get(), m_wake.Get(), 1000);
            if (ready < 0)
                return;
            if (ready == 0)
                continue;
            CNetSocket connection(::accept4(m_tcp.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            if (!connection.IsValid())
                continue;
            std::string request;
            if (ReadRequest(connection.Get(), request))
                Answer(connection.Get(), request);
        }
    }

    std::string m_address;
    CNetSocket m_udp;
    CNetSocket m_tcp;
    CNetWakeEvent m_wake;
    uint16_t m_ssdpPort = 0;
    uint16_t m_httpPort = 0;
    std::atomic<bool> m_answered{false};
    std::atomic<int> m_dripsHungUpOn{0};
    std::atomic<bool> m_deleteAnswered{false};
    std::thread m_ssdpThread;
    std::thread m_httpThread;
    std::mutex m_lock;
    std::vector<std::string> m_actions;
    std::set<std::string> m_mappings;
    std::string m_lastBody;
};
} // namespace nettest
