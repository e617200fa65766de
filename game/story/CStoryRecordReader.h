#pragma once

#include <cstdint>
#include <string>

class CMission;
class CStory;
class CkvrVector3;
class CkvrVector4;
class IStoryScriptSource;
struct tag_TOLQBATTLEPLAYER;
struct tag_TOLQBATTLESETTING;
struct tag_TOLQMISSIONHEADER;
struct tag_TOLQSTORYTEMPLATE;

// Reads story and mission files, written once for the text and the binary
// form: the commands of a chapter, and the records of one command, battle
// setting or mission header.
//
// The reader is tolerant, so that one damaged or hand-edited record costs
// its own fields and never the chapter or the mission around it: a field
// the data ends before reads as 0 (a missing text), so a record cut short
// keeps what is left; a number that is no finite float reads as 0.
// Values that would reach past a table are limited to the table: a byte
// choice or index to its last entry, a count of names or players to the
// places the setting has (the names past them are read and dropped), a
// protected player to the last player. Object indices are kept as the file
// holds them; the story scene ignores commands on pictures it has not got.
// A battle setting of no players is no battle: its record is read and left
// out. Only a chapter of more commands than kMaxCommands, or exhausted
// memory, makes a read fail (GetError says why and where).
class CStoryRecordReader
{
public:
    // A chapter holds at most this many commands: more would let a file of
    // one-byte commands take gigabytes.
    static constexpr uint32_t kMaxCommands = 65535;

    explicit CStoryRecordReader(IStoryScriptSource& source) : m_source(source) {}

    // Every story command of the file, in order, replacing the story's
    // commands; opcodes of no story command are passed over. False (the
    // story unchanged) when the chapter is too long or memory runs out.
    bool ReadStory(CStory* story);
    // The mission's header and battle setting from the records of those
    // two kinds; a later one replaces an earlier one, other opcodes are
    // passed over. False when memory runs out.
    bool ReadMission(CMission* mission);

    // The fields of a command whose opcode (0-20) was just read; null for a
    // battle command of no players, or when memory runs out (GetError).
    tag_TOLQSTORYTEMPLATE* ReadCommand(uint8_t opcode);
    // Null for a setting of no players, or when memory runs out.
    tag_TOLQBATTLESETTING* ReadBattleSetting();
    void ReadMissionHeader(tag_TOLQMISSIONHEADER* header);

    const std::string& GetError() const { return m_error; }

private:
    void ReadCommandFields(tag_TOLQSTORYTEMPLATE* command);
    void ReadText(tag_TOLQSTORYTEMPLATE* command);
    void ReadImage(tag_TOLQSTORYTEMPLATE* command);
    void ReadRules(tag_TOLQBATTLESETTING* setting);
    void ReadPlayer(tag_TOLQBATTLEPLAYER* player, uint32_t index);
    // count texts into places char* or const char* (an entry's borrowed
    // names); those past the places are read and freed.
    template <class T>
    void ReadNames(T* names, uint32_t places, uint32_t count);

    float F32();
    uint8_t U8();
    uint32_t U32();
    int32_t I32();
    char* Text(uint32_t capacity);
    CkvrVector3 Vector3();
    // Four floats, each limited to 0-1.
    CkvrVector4 Color();
    // A byte of at most max.
    uint8_t Bounded(uint8_t max);
    // count bytes, bit i set when byte i is not 0.
    uint32_t Mask(uint32_t count);
    bool Fail(const std::string& why);
    // The error, prefixed with where the opcode began and its word.
    bool FailHere(int opcode);

    IStoryScriptSource& m_source;
    std::string m_error;
};
