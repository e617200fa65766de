#include "FakeGateway.h"
#include "NetTestSupport.h"

#include "net/CUpnpClient.h"
#include "net/UpnpMessages.h"

#include <gtest/gtest.h>

#include <string>

using namespace nettest;

namespace
{
// A client aimed at the gateway, with short waits.
void Aim(CUpnpClient& client, const FakeGateway& gateway, uint32_t discoverMs = 5000, uint32_t httpMs = 3000)
{
    ASSERT_EQ(client.SetSsdpTarget(gateway.Address().c_str(), gateway.SsdpPort()), 1u);
    ASSERT_EQ(client.SetLocalAddress(gateway.Address().substr(0, gateway.Address().size() - 1).append("2").c_str()), 1u);
    client.SetTimeouts(discoverMs, httpMs);
}
} // namespace

TEST(UpnpMessages, LocationWithDottedHostPortAndPath)
{
    const std::string reply = "HTTP/1.1 200 OK\r\nlocation: http://192.168.0.1:5000/rootDesc.xml\r\nST: x\r\n\r\n";
    tag_KVRUPNPLOCATION location;
    ASSERT_EQ(ParseSsdpLocation(reply.data(), reply.size(), location), 1u);
    EXPECT_EQ(location.host, "192.168.0.1");
    EXPECT_EQ(location.port, 5000);
    EXPECT_EQ(location.path, "/rootDesc.xml");
}

TEST(UpnpMessages, LocationMustHaveAPortAndStayInItsLine)
{
    tag_KVRUPNPLOCATION location;
    const std::string noPort = "HTTP/1.1 200 OK\r\nLOCATION: http://10.0.0.1/desc.xml\r\n\r\n";
    EXPECT_EQ(ParseSsdpLocation(noPort.data(), noPort.size(), location), 0u);
    // The path ends with its line, not at the next CR/LF of the datagram.
    const std::string lastLine = "HTTP/1.1 200 OK\r\nLOCATION: http://10.0.0.1:80/d.xml";
    ASSERT_EQ(ParseSsdpLocation(lastLine.data(), lastLine.size(), location), 1u);
    EXPECT_EQ(location.path, "/d.xml");
    // "Location:" inside another header is no location.
    const std::string inside = "HTTP/1.1 200 OK\r\nX-Note: Location: http://10.0.0.1:80/d.xml\r\n\r\n";
    EXPECT_EQ(ParseSsdpLocation(inside.data(), inside.size(), location), 0u);
    const std::string badPort = "LOCATION: http://10.0.0.1:99999/d.xml\r\n";
    EXPECT_EQ(ParseSsdpLocation(badPort.data(), badPort.size(), location), 0u);
    // The length bounds the parse: the port lies beyond it.
    const std::string cut = "LOCATION: http://10.0.0.1:8080/d.xml\r\n";
    EXPECT_EQ(ParseSsdpLocation(cut.data(), 22, location), 0u);
}

TEST(UpnpMessages, DescriptionServicesAreCheckedForControlCharacters)
{
    const std::string good = FakeGateway::DefaultDescription();
    tag_KVRUPNPSERVICE service;
    ASSERT_EQ(ParseDescriptionService(good.data(), good.size(), "WANIPConnection", service), 1u);
    EXPECT_EQ(service.serviceType, "urn:schemas-upnp-org:service:WANIPConnection:1");
    EXPECT_EQ(service.controlUrl, "/ctl/IP");
    ASSERT_EQ(ParseDescriptionService(good.data(), good.size(), "WANPPPConnection", service), 1u);
    EXPECT_EQ(service.controlUrl, "/ctl/PPP");

    const std::string injected = "<serviceType>urn:schemas-upnp-org:service:WANIPConnection:1\r\nX-Evil: 1"
                                 "</serviceType><controlURL>/ctl</controlURL>";
    EXPECT_EQ(ParseDescriptionService(injected.data(), injected.size(), "WANIPConnection", service), 0u);
    const std::string badUrl = "<serviceType>urn:schemas-upnp-org:service:WANIPConnection:1</serviceType>"
                               "<controlURL>/ctl HTTP/1.1\r\nHost: x</controlURL>";
    EXPECT_EQ(ParseDescriptionService(badUrl.data(), badUrl.size(), "WANIPConnection", service), 0u);
    const std::string absolute = "<serviceType>urn:schemas-upnp-org:service:WANIPConnection:1</serviceType>"
                                 "<controlURL>http://127.0.0.1:5000/upnp/control</controlURL>";
    ASSERT_EQ(ParseDescriptionService(absolute.data(), absolute.size(), "WANIPConnection", service), 1u);
    EXPECT_EQ(service.controlUrl, "/upnp/control");
}

TEST(UpnpMessages, SoapRequestLayout)
{
    tag_KVRUPNPSERVICE service{"urn:schemas-upnp-org:service:WANIPConnection:1", "/ctl/IP"};
    const tag_KVRSOAPARGUMENT arguments[] = {{"NewRemoteHost", ""}, {"NewExternalPort", "15200"},
                                             {"NewProtocol", "TCP"}};
    const std::string request = BuildSoapRequest("DeletePortMapping", service, "127.0.0.1", 5000, arguments, 3);
    const size_t bodyAt = request.find("\r\n\r\n") + 4;
    const std::string body = request.substr(bodyAt);
    EXPECT_EQ(request.substr(0, request.find("\r\n")), "POST /ctl/IP HTTP/1.1");
    EXPECT_NE(request.find("SOAPACTION: \"urn:schemas-upnp-org:service:WANIPConnection:1#DeletePortMapping\"\r\n"),
              std::string::npos);
    EXPECT_NE(request.find("Content-Length: " + std::to_string(body.size()) + "\r\n"), std::string::npos);
    EXPECT_NE(request.find("Host: 127.0.0.1:5000\r\n"), std::string::npos);
    EXPECT_EQ(body.rfind("<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                         "s:encordingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">\r\n",
                         0),
              0u);
    EXPECT_NE(body.find("\t\t\t<NewExternalPort>15200</NewExternalPort>\r\n\t\t\t<NewProtocol>TCP</NewProtocol>\r\n"
                        "\t\t\t</u:DeletePortMapping>\r\n\t</s:Body>\r\n</s:Envelope>\r\n"),
              std::string::npos);
    const std::string add = BuildSoapRequest("AddPortMapping", service, "127.0.0.1", 5000, arguments, 3);
    EXPECT_NE(add.find("\r\n\t\t</u:AddPortMapping>\r\n"), std::string::npos);

    // Values are text, markup in them is escaped; CR/LF in head values
    // refuses the request.
    const tag_KVRSOAPARGUMENT markup[] = {{"NewPortMappingDescription", "a<b>&"}};
    EXPECT_NE(BuildSoapRequest("AddPortMapping", service, "h", 1, markup, 1).find("a&lt;b&gt;&amp;"),
              std::string::npos);
    tag_KVRUPNPSERVICE evil{"urn:x\r\nX: y", "/ctl"};
    EXPECT_TRUE(BuildSoapRequest("AddPortMapping", evil, "h", 1, markup, 1).empty());
    tag_KVRUPNPSERVICE evilUrl{"urn:x", "/ctl\r\nX: y"};
    EXPECT_TRUE(BuildSoapRequest("AddPortMapping", evilUrl, "h", 1, markup, 1).empty());
}

TEST(UpnpMessages, HttpStatusAndExternalAddress)
{
    EXPECT_EQ(ParseHttpStatus("HTTP/1.1 200 OK\r\n", 17), 200);
    EXPECT_EQ(ParseHttpStatus("HTTP/1.0 500 Oops\r\n", 19), 500);
    EXPECT_EQ(ParseHttpStatus("HTTP/1.1 2x0 OK\r\n", 17), -1);
    EXPECT_EQ(ParseHttpStatus("HTTP/1.1 200", 12), 200);
    EXPECT_EQ(ParseHttpStatus("HTTP/1.1 20", 11), -1);
    std::string address;
    const std::string answer = "<NewExternalIPAddress> 127.0.0.9 </NewExternalIPAddress>";
    ASSERT_EQ(ParseExternalIpAddress(answer.data(), answer.size(), address), 1u);
    EXPECT_EQ(address, "127.0.0.9");
    const std::string bad = "<NewExternalIPAddress>127.0.0.999</NewExternalIPAddress>";
    EXPECT_EQ(ParseExternalIpAddress(bad.data(), bad.size(), address), 0u);
}

// Maps and unmaps ports on both services of the fake router and reads its
// external address.
TEST(Upnp, MapsAndUnmapsOnBothServices)
{
    FakeGateway gateway("127.0.31.1");
    gateway.Start();
    {
        CUpnpClient client;
        Aim(client, gateway);
        ASSERT_EQ(client.Discover(), 1u);
        EXPECT_EQ(client.GetDeviceHost(), "127.0.31.1");
        EXPECT_EQ(client.GetDevicePort(), gateway.HttpPort());
        EXPECT_EQ(client.GetDescriptionPath(), "/rootDesc.xml");
        std::string external;
        ASSERT_EQ(client.GetExternalIPAddress(external), 1u);
        EXPECT_EQ(external, "127.0.0.9");

        for (const char* protocol : {"TCP", "UDP"})
        {
            EXPECT_EQ(client.CheckPortMapping(15200, protocol), 0u);
            const std::string description = std::string("QORBeta15200") + protocol;
            ASSERT_EQ(client.AddPortMapping(15200, 15200, protocol, "127.0.31.2", description.c_str()), 1u);
            EXPECT_EQ(client.CheckPortMapping(15200, protocol), 1u);
        }
        EXPECT_NE(gateway.LastBody().find("<NewExternalPort>15200</NewExternalPort>"), std::string::npos);
        EXPECT_EQ(gateway.Mappings().size(), 4u);
        EXPECT_EQ(client.GetMappings().size(), 2u);
        const auto actions = gateway.Actions();
        ASSERT_GE(actions.size(), 5u);
        EXPECT_EQ(actions[0], "GetExternalIPAddress /ctl/IP");
        // The check fails on the first service and stops there.
        EXPECT_EQ(actions[1], "GetSpecificPortMappingEntry /ctl/IP");
        EXPECT_EQ(actions[2], "AddPortMapping /ctl/IP");
        EXPECT_EQ(actions[3], "AddPortMapping /ctl/PPP");
    }
    // Release deleted exactly what the client added.
    EXPECT_TRUE(gateway.Mappings().empty());
}

TEST(Upnp, ExistingMappingIsNeitherAddedNorDeleted)
{
    FakeGateway gateway("127.0.32.1");
    gateway.AddExistingMapping("/ctl/IP 7000 TCP");
    gateway.AddExistingMapping("/ctl/PPP 7000 TCP");
    gateway.Start();
    {
        CUpnpClient client;
        Aim(client, gateway);
        ASSERT_EQ(client.Discover(), 1u);
        EXPECT_EQ(client.CheckPortMapping(7000, "TCP"), 1u);
        EXPECT_TRUE(client.GetMappings().empty());
    }
    EXPECT_EQ(gateway.Mappings().size(), 2u);
}

// Unusable answers before a good one are passed over.
TEST(Upnp, LaterAnswersAreConsidered)
{
    FakeGateway gateway("127.0.33.1");
    const std::string good = gateway.ssdpReplies[0];
    const uint16_t closedPort = FreePort("127.0.33.1", SOCK_STREAM);
    std::string full(4096, 'A');
    gateway.ssdpReplies = {
        "garbage",
        full,
        "HTTP/1.1 200 OK\r\nLOCATION: http://127.0.30.1/rootDesc.xml\r\n\r\n",
        "HTTP/1.1 200 OK\r\nLOCATION: http://127.0.33.1:" + std::to_string(closedPort) + "/rootDesc.xml\r\n\r\n",
        good,
    };
    gateway.Start();
    CUpnpClient client;
    Aim(client, gateway);
    EXPECT_EQ(client.Discover(), 1u);
    EXPECT_EQ(client.GetDevicePort(), gateway.HttpPort());
}

TEST(Upnp, NoAnswerFailsAtTheDeadline)
{
    FakeGateway gateway("127.0.34.1");
    gateway.ssdpReplies.clear();
    gateway.Start();
    CUpnpClient client;
    Aim(client, gateway, 300, 300);
    EXPECT_EQ(client.Discover(), 0u);
}

// A router that drips, floods or sends garbage makes discovery fail within
// its deadline instead of hanging or overrunning a buffer.
TEST(Upnp, MisbehavingRoutersFailCleanly)
{
    for (FakeGateway::Mode mode : {FakeGateway::Mode::DripDescription, FakeGateway::Mode::EndlessDescription,
                                   FakeGateway::Mode::GarbageDescription})
    {
        FakeGateway gateway("127.0.35.1");
        gateway.mode = mode;
        gateway.Start();
        CUpnpClient client;
        Aim(client, gateway, 800, 300);
        EXPECT_EQ(client.Discover(), 0u) << static_cast<int>(mode);
    }
    // A description without either service.
    FakeGateway gateway("127.0.35.1");
    gateway.description = "<root><serviceType>urn:schemas-upnp-org:service:Layer3Forwarding:1</serviceType></root>";
    gateway.Start();
    CUpnpClient client;
    Aim(client, gateway, 500, 400);
    EXPECT_EQ(client.Discover(), 0u);
}

TEST(Upnp, FailingActionsReportFailure)
{
    FakeGateway gateway("127.0.36.1");
    gateway.Start();
    CUpnpClient client;
    Aim(client, gateway);
    ASSERT_EQ(client.Discover(), 1u);
    gateway.mode = FakeGateway::Mode::SoapFails;
    EXPECT_EQ(client.AddPortMapping(15200, 15200, "TCP", "127.0.36.2", "QORBeta15200TCP"), 0u);
    EXPECT_TRUE(client.GetMappings().empty());
    std::string external;
    EXPECT_EQ(client.GetExternalIPAddress(external), 0u);
    EXPECT_EQ(client.AddPortMapping(15200, 15200, "ICMP", "127.0.36.2", "x"), 0u);
}
