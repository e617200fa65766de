// The DDS reader over arbitrary bytes: header checks, level sizes and the
// block decoders of every level it accepts.
#include "engine/render/DdsImage.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DdsImage image;
    if (!image.Read(data, size))
        return 0;
    std::vector<uint32_t> argb;
    for (size_t level = 0; level < image.GetLevels().size(); ++level)
    {
        // Keep the work per input small: huge declared sizes are legal
        // only when the bytes are there, but decoding them is slow.
        const DdsImage::Level& l = image.GetLevels()[level];
        if (static_cast<uint64_t>(l.width) * l.height > (1u << 20))
            continue;
        image.DecodeLevel(level, &argb);
    }
    return 0;
}
