// Feeds arbitrary bytes to the Ogg Vorbis load path: the whole-file decode
// of static sounds and the looping stream decode of streamed ones.
#include "engine/platform/sound/COggReader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto image = std::make_shared<const std::vector<uint8_t>>(data, data + size);
    std::vector<uint8_t> pcm;
    SoundFormat format;
    COggReader::DecodeOggAll(image, &pcm, &format);

    COggReader stream;
    uint32_t total = 0;
    if (!stream.OpenOggStream(image, &total, &format))
        return 0;
    std::vector<uint8_t> buffer(format.averageBytesPerSecond / 4 + 4);
    const float loops[] = {-1.0f, 0.0f, 0.05f, 1.0e6f};
    for (float loop : loops)
    {
        stream.RewindOgg();
        int ended = 0;
        for (int pass = 0; pass < 4 && !ended; ++pass)
        {
            const uint32_t got = stream.DecodeOggStream(buffer.data(), static_cast<uint32_t>(buffer.size()), loop, &ended);
            if (got > buffer.size())
                __builtin_trap();
        }
    }
    return 0;
}
