// Feeds an arbitrary byte stream from the lobby server to the client's
// reassembly and dispatch, cut into runs at points the input chooses: byte
// 0 the run pattern, byte 1 the state, the rest the stream.
#include "fuzz/LobbyFuzzStates.h"
#include "net/lobby/CLobbyClient.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t pattern = data[0] % 32 + 1;
    CLobbyClient client;
    client.Initialize(nullptr, "QOR", "", nullptr, nullptr, nullptr);
    client.SetLocalAddress("127.0.0.1");
    client.SetState(kLobbyFuzzStates[data[1] % kLobbyFuzzStateCount]);
    const uint8_t* stream = data + 2;
    const size_t length = size - 2;
    for (size_t at = 0, run = pattern; at < length; at += run, run = run % (pattern * 3) + 1)
    {
        const size_t n = std::min(run, length - at);
        if (!client.Reassemble(stream + at, n) || !client.DispatchQueued())
            break;
    }
    client.Release();
    return 0;
}
