#pragma once

#include <cstdint>
#include <string>

class CByteWriter;
class CMission;
class CStory;
struct tag_TOLQBATTLESETTING;
struct tag_TOLQSTORYTEMPLATE;

// Writes the binary form of stories (".str") and missions (".mis"): for
// each record its opcode byte and its fields in file order, little-endian;
// a missing text as a single 0 byte; the packed text colour as four floats
// (each channel / 255, red, green, blue, alpha).
//
// A story or mission is written only when its bytes read back to the same
// records: a command the readers would take differently (a battle without
// its setting, a player count past 8, a number that is not finite) fails
// the write instead of leaving a file that loads as something else.
class CStoryWriter
{
public:
    // Into bytes. False, with the reason in error, when a record can't be
    // written.
    static bool Encode(const CStory& story, CByteWriter* out, std::string* error);
    // The header record, then the battle record when the mission has one.
    static bool Encode(const CMission& mission, CByteWriter* out, std::string* error);

    // To a file, created through the crash-safe writer and the path layer:
    // the old file stays whole until the new one is complete. 1/0.
    static uint32_t WriteStory(const CStory* story, const char* path);
    static uint32_t WriteMission(const CMission* mission, const char* path);

    // One command's record, unchecked. The bytes equal for two commands
    // exactly when a file holds the same command for both.
    static void WriteCommand(const tag_TOLQSTORYTEMPLATE& command, CByteWriter* out);
    // Every record, unchecked.
    static void WriteUnchecked(const CStory& story, CByteWriter* out);
    static void WriteUnchecked(const CMission& mission, CByteWriter* out);

private:
    static void WriteBattleSetting(const tag_TOLQBATTLESETTING& setting, CByteWriter* out);
    static uint32_t WriteBytes(const CByteWriter& bytes, const char* path);
};
