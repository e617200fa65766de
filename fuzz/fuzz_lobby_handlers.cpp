// Runs one lobby server message through the client's handler of its id, in
// a state the input chooses: byte 0 the id (100 or 1001-1024), byte 1 the
// sub-value, byte 2 the state, the rest the payload as it arrives
// (scrambled with the initial session key). No handler may read past the
// payload, whatever its length.
#include "fuzz/LobbyFuzzStates.h"
#include "net/lobby/CLobbyClient.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const int16_t id = data[0] == 0 ? 100 : static_cast<int16_t>(1000 + data[0] % 25);
    const uint16_t sub = data[1];
    const LobbyState state = kLobbyFuzzStates[data[2] % kLobbyFuzzStateCount];
    // The payload in a block of its own size, so that a read past it is
    // caught.
    std::vector<uint8_t> payload(data + 3, data + size);
    CLobbyClient client;
    client.Initialize(nullptr, "QOR", "", nullptr, nullptr, nullptr);
    client.SetLocalAddress("127.0.0.1");
    client.SetState(state);
    client.DispatchMessage(payload.empty() ? nullptr : payload.data(), sub, id, static_cast<uint32_t>(payload.size()));
    client.Release();
    return 0;
}
