#include "game/actor/tag_TOLQINPUTRECORD.h"

#include "engine/platform/input/CInput.h"

#include <cstring>

namespace
{
// trunc(value x 100) in double, kept as its low 8 bits.
uint8_t PackAxis(float value)
{
    const double scaled = static_cast<double>(value) * 100.0;
    if (!(scaled > -128.0 && scaled < 128.0))
        return 0;
    return static_cast<uint8_t>(static_cast<int32_t>(scaled));
}

void PackDelta(float value, uint8_t* out)
{
    const double delta = static_cast<double>(value);
    const int32_t whole = (delta > -32769.0 && delta < 32768.0) ? static_cast<int32_t>(delta) : 0;
    const uint16_t bits = static_cast<uint16_t>(whole);
    out[0] = static_cast<uint8_t>(bits);
    out[1] = static_cast<uint8_t>(bits >> 8);
}

float UnpackAxis(uint8_t value)
{
    return static_cast<float>(static_cast<double>(static_cast<int8_t>(value)) * static_cast<double>(0.01f));
}

float UnpackDelta(const uint8_t* in)
{
    return static_cast<float>(static_cast<int16_t>(static_cast<uint16_t>(in[0] | (in[1] << 8))));
}
}

uint32_t PackInputRecord(tag_TOLQINPUTRECORD* record, const tag_KVRPADSTATE* pad)
{
    if (record == nullptr || pad == nullptr)
        return 0;
    std::memset(record->bytes, 0, sizeof(record->bytes));
    for (int i = 0; i < KVR_PAD_BUTTON_COUNT; ++i)
    {
        if (pad->held.button[i] != 0)
            record->bytes[i / 8] = static_cast<uint8_t>(record->bytes[i / 8] | (1u << (i % 8)));
    }
    record->bytes[7] = PackAxis(pad->leftX);
    record->bytes[8] = PackAxis(pad->leftY);
    record->bytes[9] = PackAxis(pad->rightX);
    record->bytes[10] = PackAxis(pad->rightY);
    PackDelta(pad->mouseDeltaX, record->bytes + 11);
    PackDelta(pad->mouseDeltaY, record->bytes + 13);
    return 1;
}

uint32_t UnpackInputRecord(const tag_TOLQINPUTRECORD* record, tag_KVRPADSTATE* pad, CInput* input)
{
    if (record == nullptr || pad == nullptr || input == nullptr)
        return 0;
    pad->previous = pad->current;
    for (int i = 0; i < KVR_PAD_BUTTON_COUNT; ++i)
        pad->current.button[i] = (record->bytes[i / 8] >> (i % 8)) & 1u;
    pad->leftX = UnpackAxis(record->bytes[7]);
    pad->leftY = UnpackAxis(record->bytes[8]);
    pad->rightX = UnpackAxis(record->bytes[9]);
    pad->rightY = UnpackAxis(record->bytes[10]);
    pad->mouseDeltaX = UnpackDelta(record->bytes + 11);
    pad->mouseDeltaY = UnpackDelta(record->bytes + 13);
    CInput::ProcessSticks(pad);
    CInput::UpdateButtonTimers(pad);
    return 1;
}
