// Writes the seed corpus of fuzz_net_match into <folder> with the match's
// own writers (the setup's for the seats): a seat summary, a whole seat
// with names, a seed, and a batch of records and frames.
#include "fuzz/seeds/SeedFile.h"
#include "game/battle/SetupMessages.h"
#include "game/battle/tag_TOLQBATTLEPLAYER.h"
#include "game/scene/CNetLockstep.h"
#include "game/scene/NetMatchMessages.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
// The message's kind byte, then its payload (after a lead byte, when given).
std::vector<uint8_t> Tagged(uint8_t kind, const std::vector<uint8_t>& payload, int lead = -1)
{
    const size_t start = lead < 0 ? 1 : 2;
    std::vector<uint8_t> bytes(start + payload.size(), 0);
    bytes[0] = kind;
    if (lead >= 0)
        bytes[1] = static_cast<uint8_t>(lead);
    std::copy(payload.begin(), payload.end(), bytes.begin() + static_cast<std::ptrdiff_t>(start));
    return bytes;
}
}

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: seeds_net_match <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    tag_TOLQBATTLEPLAYER entry;
    entry.name = "Seed";
    entry.weapons[0] = "Sabre";
    entry.clothes[0] = "Cape";
    const std::vector<uint8_t> summary = SetupMessages::EncodeSummary(SetupMessages::SummaryOf(entry, 2));
    const std::vector<uint8_t> whole = SetupMessages::EncodeEntry(entry, 2);
    NetSeed seed;
    seed.seed = 7;
    seed.framesPerBatch = 6;
    std::vector<uint8_t> seedBytes(kNetSeedSize);
    WriteNetSeed(seed, seedBytes.data());
    CNetLockstep host;
    host.Reset(6);
    const tag_TOLQINPUTRECORD own;
    for (int i = 0; i < 6; ++i)
        host.SampleHost(own, 16);
    std::vector<uint8_t> batch;
    host.TakeBatch(1u << 3, &batch);
    bool ok = WriteSeed(folder, "summary", Tagged(0, summary));
    ok &= WriteSeed(folder, "entry", Tagged(1, whole));
    ok &= WriteSeed(folder, "seed", Tagged(2, seedBytes));
    // The lockstep's frames per batch, then the frames.
    ok &= WriteSeed(folder, "frames", Tagged(3, batch, 6));
    return ok ? 0 : 1;
}
