// Parses arbitrary line-test datagrams and requests: nothing outside the
// limits may pass.
#include "net/LineTestMessages.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint16_t sequence = 0;
    uint8_t side = 0;
    if (ParseLineTestDatagram(data, size, &sequence, &side) && size < 2)
        __builtin_trap();
    uint16_t count = 0;
    uint16_t blockSize = 0;
    if (ParseLineTestRequest(data, size, &count, &blockSize))
    {
        if (count == 0 || count > kLineTestMaxBlockCount || blockSize < kLineTestMinBlockSize ||
            blockSize > kLineTestMaxBlockSize)
            __builtin_trap();
    }
    return 0;
}
