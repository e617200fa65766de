// Feeds arbitrary bytes to the WAVE reader: header parse, then every read
// path over the data chunk.
#include "engine/platform/sound/CWaveReader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto image = std::make_shared<const std::vector<uint8_t>>(data, data + size);
    CWaveReader reader;
    SoundFormat format;
    if (!reader.ReadWaveHeader(image, &format))
        return 0;
    uint8_t chunk[333];
    uint32_t total = 0;
    while (const uint32_t got = reader.ReadWaveData(chunk, sizeof(chunk)))
        total += got;
    if (total != reader.GetDataSize())
        __builtin_trap();
    reader.SeekWaveData();
    reader.ReadWaveData(chunk, 1);
    return 0;
}
