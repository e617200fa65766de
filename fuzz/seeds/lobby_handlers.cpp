// Writes the seed corpus of fuzz_lobby_handlers into <folder>: for every
// server message, its id byte, sub-value, a state byte and the payload
// scrambled with the initial session key.
#include "LobbySeedMessages.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: seeds_lobby_handlers <folder>\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    bool ok = true;
    int index = 0;
    for (const lobbyseeds::Message& message : lobbyseeds::Messages())
    {
        for (uint8_t state = 0; state < 28; state += 9)
        {
            std::vector<uint8_t> seed = {static_cast<uint8_t>(message.id == 100 ? 0 : message.id - 1000),
                                         static_cast<uint8_t>(message.sub), state};
            std::vector<uint8_t> payload = message.payload;
            LobbyScramble(kLobbyInitialSessionKey, payload.data(), payload.size());
            seed.insert(seed.end(), payload.begin(), payload.end());
            ok &= lobbyseeds::Write(folder + "message" + std::to_string(index++), seed);
        }
    }
    return ok ? 0 : 1;
}
