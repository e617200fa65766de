// Writes the seed corpus of fuzz_lobby_stream into <folder>: a run pattern
// byte, a state byte, then a stream of server messages as the server sends
// them (the greeting first, whose key scrambles the rest).
#include "LobbySeedMessages.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: seeds_lobby_stream <folder>\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    const std::vector<lobbyseeds::Message> messages = lobbyseeds::Messages();
    bool ok = true;
    for (uint8_t pattern : {0, 6, 31})
    {
        // State index 0 is the connect step, which takes the greeting.
        std::vector<uint8_t> seed = {pattern, 0};
        uint8_t key = kLobbyInitialSessionKey;
        for (const lobbyseeds::Message& message : messages)
        {
            const std::vector<uint8_t> bytes = lobbyseeds::Encode(message, key);
            seed.insert(seed.end(), bytes.begin(), bytes.end());
            if (message.id == LOBBY_MSG_HELLO)
                key = message.payload[1];
        }
        ok &= lobbyseeds::Write(folder + "stream" + std::to_string(pattern), seed);
    }
    return ok ? 0 : 1;
}
