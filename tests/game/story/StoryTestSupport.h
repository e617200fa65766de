#pragma once

// Stories and missions read from text or bytes made in the test, and the
// bytes of their records, for comparing command by command.
#include "engine/core/CByteWriter.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/story/CMission.h"
#include "game/story/CStory.h"
#include "game/story/CStoryWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace storytest
{
inline bool LoadStory(CStory* story, const std::string& bytes, const char* fileName, std::string* error = nullptr)
{
    return story->LoadMemory(fileName, bytes.data(), static_cast<uint32_t>(bytes.size()), error) != 0;
}

inline bool LoadText(CStory* story, const std::string& text, std::string* error = nullptr)
{
    return LoadStory(story, text, "Story\\Test.stt", error);
}

inline bool LoadBinary(CStory* story, const std::vector<uint8_t>& bytes, std::string* error = nullptr)
{
    return LoadStory(story, std::string(bytes.begin(), bytes.end()), "Story\\Test.str", error);
}

inline bool LoadMission(CMission* mission, const std::string& bytes, const char* fileName,
                        std::string* error = nullptr)
{
    return mission->LoadMemory(fileName, bytes.data(), static_cast<uint32_t>(bytes.size()), error) != 0;
}

inline std::vector<uint8_t> CommandBytes(const tag_TOLQSTORYTEMPLATE& command)
{
    CByteWriter writer;
    CStoryWriter::WriteCommand(command, &writer);
    return writer.GetBytes();
}

template <class T>
std::vector<uint8_t> Encoded(const T& script)
{
    CByteWriter writer;
    std::string error;
    EXPECT_TRUE(CStoryWriter::Encode(script, &writer, &error)) << error;
    return writer.GetBytes();
}

// Equal command by command: the same opcode and the same fields, as their
// records' bytes say.
inline void ExpectSameCommands(const CStory& a, const CStory& b)
{
    ASSERT_EQ(a.GetCommandCount(), b.GetCommandCount());
    for (uint32_t i = 0; i < a.GetCommandCount(); ++i)
        EXPECT_EQ(CommandBytes(*a.GetCommand(i)), CommandBytes(*b.GetCommand(i))) << "command " << i;
}

// A binary record written field by field, as a test spells it.
class Record : public CByteWriter
{
public:
    Record() = default;
    explicit Record(uint8_t opcode) { U8(opcode); }
    Record& Byte(uint8_t value)
    {
        U8(value);
        return *this;
    }
    Record& Word(uint32_t value)
    {
        U32(value);
        return *this;
    }
    Record& Text(const char* text)
    {
        Bytes(text, std::strlen(text));
        U8(0);
        return *this;
    }
    Record& Floats(std::initializer_list<float> values)
    {
        for (float value : values)
            F32(value);
        return *this;
    }
};

inline std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> records)
{
    std::vector<uint8_t> bytes;
    for (const std::vector<uint8_t>& record : records)
        bytes.insert(bytes.end(), record.begin(), record.end());
    return bytes;
}

// count flag bytes of 0, with a 1 at each of the given indices.
inline std::string FlagText(uint32_t count, std::initializer_list<uint32_t> set = {}, uint32_t value = 1)
{
    std::string text;
    for (uint32_t i = 0; i < count; ++i)
    {
        bool on = false;
        for (uint32_t index : set)
            on = on || index == i;
        text += (i == 0 ? "" : ", ") + std::to_string(on ? value : 0);
    }
    return text;
}

// A battle option of the given player count in text: entry 0 with two
// weapons, the others with one weapon and one clothes item each.
inline std::string BattleText(const char* word, uint32_t players, const std::string& rules = "0, 0, 4, 4, 2, 0")
{
    std::string text = std::string(word) + "(" + std::to_string(players) + ", 0, " + rules + ", " + FlagText(6) +
                       ", " + FlagText(17) + ",\n";
    for (uint32_t i = 0; i < players; ++i)
    {
        text += "1, 0, 1, 0, 1, 1, 0, ";
        if (i > 0)
            text += "2, ";
        text += std::to_string(i) + ", " + std::to_string(i % 4) + ", -1, " + FlagText(27) + ", ";
        text += i == 0 ? "2, \"Rifle\", \"Sabre\"" : "1, \"Carbine\", 1, \"Hat\"";
        text += i + 1 < players ? ",\n" : ")\n";
    }
    return text;
}

// Every story command once, with distinct values in every field.
inline std::string AllCommandsText()
{
    return R"(// Every command, fields in file order.
ShowWindow(0.5)
NoShowWindow(0.25)
ShowText(10, 20, "Hello, world; (x) // not a comment", 0.05, 1.5, 1, 1, 0.5, 0.25, 0.75, "Vo_a.ogg")
ShowTextTime(11, 21, "Timed", 0.04, 3, 2, 0, 0, 0, 0, 1, "")
NoShowText
ImageRegister(30, 40, "Pic.dds", 5, 6, 0.75, 9, 15)
ImageRegisterFree(0.5, 3)
ChangeFace(0.1, 0.2, 11, 4)
ChangeColor(0.3, 0.1, 0.2, 0.3, 0.4, 5)
SetStage("Stand-in Arena")
SetCamera(1, 2, 3, 4, 5, 6, 7)
ScreenQuake(2.5, 1.5, 1)
ScreenColor(0.1, 0.2, 0.3, 0.4, 2)
PlaySound(1, 2, 3, -500, "Se.ogg")
PlayBgm(7.5, -300, 1.25, 1, "Bgm.ogg")
StopBgm(0.5, 0, "Bgm.ogg")
Wait(1.5)
)" + BattleText("BattleOption", 2) +
           BattleText("LastBattleOption", 1) + R"(NextScene("A", "B", "C", "D", "E")
Ending
)";
}
}
