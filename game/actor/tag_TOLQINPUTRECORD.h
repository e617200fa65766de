#pragma once

#include <cstdint>

class CInput;
struct tag_KVRPADSTATE;

// One fighter's pad for one frame, packed into 15 bytes: the 56 held
// buttons as bits (button i is bit i % 8 of byte i / 8), the four stick axes
// as signed hundredths, the mouse deltas as signed 16-bit whole units, all
// little-endian. Replays store it, online frames carry it, and every fighter
// acts on a pad that went through it, so all machines see the same values.
struct tag_TOLQINPUTRECORD
{
    static constexpr uint32_t kSize = 15;
    uint8_t bytes[kSize] = {};
};

// Builds a record from the pad's held buttons, sticks and mouse deltas.
// 0 when either pointer is null.
uint32_t PackInputRecord(tag_TOLQINPUTRECORD* record, const tag_KVRPADSTATE* pad);
// Writes the record into the pad (current buttons become previous ones),
// then runs the input object's stick processing and button timers on it.
// 0, writing nothing, when any pointer is null.
uint32_t UnpackInputRecord(const tag_TOLQINPUTRECORD* record, tag_KVRPADSTATE* pad, CInput* input);
