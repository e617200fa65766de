// The effect-image reader over arbitrary bytes; what it accepts must write
// back to the same bytes.
#include "engine/platform/device/EffectImage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    EffectImage image;
    if (!image.Read(data, size))
        return 0;
    const std::vector<uint8_t> written = image.Write();
    EffectImage again;
    if (!again.Read(written.data(), written.size()) || again.Write() != written)
        std::abort();
    return 0;
}
