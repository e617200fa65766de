#pragma once

#include <cstdint>
#include <string>

// A story or mission file in either form, read one command word (or
// opcode) and one field at a time.
//
// Each field read gives false, leaving out untouched, only when the data
// ends before the field; whatever stands there is read as its type (text
// numbers as atoi and atof read them).
class IStoryScriptSource
{
public:
    // The longest text of a command field, NUL included.
    static constexpr uint32_t kMaxText = 512;
    // Results of NextOpcode besides an opcode.
    static constexpr int kEnd = -1;
    static constexpr int kSkipped = -2;

    virtual ~IStoryScriptSource() = default;

    // The next command's opcode (any byte in binary), kSkipped after
    // passing over something that is no command, or kEnd.
    virtual int NextOpcode() = 0;
    // Where the last opcode began, for messages ("line 12", "byte 40").
    virtual std::string Where() const = 0;

    // The low 8 bits of the value (text "-1" and "255" are both 255,
    // "256" is 0).
    virtual bool ReadU8(uint8_t* out) = 0;
    // Text reads a 32-bit signed value, saturating past its range; a
    // negative value wraps ("-1" is 0xFFFFFFFF).
    virtual bool ReadU32(uint32_t* out) = 0;
    virtual bool ReadI32(int32_t* out) = 0;
    // Any value the data holds; the caller judges infinities and NaNs.
    virtual bool ReadF32(float* out) = 0;
    // A new aligned copy of at most capacity - 1 bytes (cut between
    // characters), or null for an empty text; a text the data ends inside
    // is what is left of it.
    virtual bool ReadText(char** out, uint32_t capacity) = 0;
};
