#pragma once

#include <cstdint>
#include <string>

class CMission;
class CStory;
class CkvrVector3;
class CkvrVector4;
class IStoryScriptSource;
struct tag_TOLQBATTLESETTING;
struct tag_TOLQMISSIONHEADER;
struct tag_TOLQSTORYTEMPLATE;

// Reads story and mission files, written once for the text and the binary
// form: the commands of a chapter, and the records of one command, battle
// setting or mission header. A record is taken whole or refused: on the
// first missing or out-of-range field the read gives null or false, frees
// what it made and says why (and where) in GetError.
class CStoryRecordReader
{
public:
    // A chapter holds at most this many commands.
    static constexpr uint32_t kMaxCommands = 65535;

    explicit CStoryRecordReader(IStoryScriptSource& source) : m_source(source) {}

    // Every story command of the file, in order, replacing the story's
    // commands; opcodes of no story command are passed over. False (the
    // story unchanged) when a command is refused.
    bool ReadStory(CStory* story);
    // The mission's header and battle setting from the records of those
    // two kinds; a later one replaces an earlier one, other opcodes are
    // passed over. False when one of them is refused.
    bool ReadMission(CMission* mission);

    // The fields of a command whose opcode (0-20) was just read.
    tag_TOLQSTORYTEMPLATE* ReadCommand(uint8_t opcode);
    tag_TOLQBATTLESETTING* ReadBattleSetting();
    bool ReadMissionHeader(tag_TOLQMISSIONHEADER* header);

    const std::string& GetError() const { return m_error; }

private:
    bool ReadCommandFields(tag_TOLQSTORYTEMPLATE* command);
    bool ReadText(tag_TOLQSTORYTEMPLATE* command);
    bool ReadImage(tag_TOLQSTORYTEMPLATE* command);
    bool ReadRules(tag_TOLQBATTLESETTING* setting);
    bool ReadPlayer(tag_TOLQBATTLESETTING* setting, uint32_t index);
    // Texts into places char* or const char* (an entry's borrowed names).
    template <class T>
    bool ReadNames(T* names, uint32_t places, const char* what);

    bool F32(float* out, const char* what);
    bool U8(uint8_t* out, const char* what);
    bool U32(uint32_t* out, const char* what);
    bool I32(int32_t* out, const char* what);
    bool Text(char** out, const char* what, uint32_t capacity);
    bool Vector3(CkvrVector3* out, const char* what);
    // Four floats, each limited to 0-1.
    bool Color(CkvrVector4* out, const char* what);
    bool ObjectIndex(uint8_t* out);
    // A byte of at most max.
    bool Bounded(uint8_t* out, uint8_t max, const char* what);
    // count bytes, bit i set when byte i is not 0.
    bool Mask(uint32_t* out, uint32_t count, const char* what);
    bool Fail(const std::string& why);
    // The error, prefixed with where the opcode began and its word.
    bool FailHere(int opcode);

    IStoryScriptSource& m_source;
    std::string m_error;
};
