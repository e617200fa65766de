#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The stand-in story and missions of the data kit, written as the text
// forms a designer would write (".stt" chapters, ".mit" missions, Shift-JIS)
// and turned into the binary forms (".str", ".mis") by the game's own
// readers and writer when the set is packed.
//
// Every character has a route of two chapters, "<Name>_01" and
// "<Name>_02": the first ends in a battle and NextScene, the second in the
// last battle and Ending. Together they use every story command. The
// missions "Mission_01" .. "Mission_28" each fight their own battle on the
// stand-in arena.
namespace StoryDataKit
{
struct ScriptFile
{
    std::string name; // the record, e.g. "Story\\Aria_01.stt"
    std::vector<uint8_t> bytes;
};

constexpr uint32_t kChaptersPerRoute = 2;
constexpr uint32_t kMissions = 28;
constexpr const char* kStaffRollName = "Story\\StaffRoll.stt";

// The chapters of every route in route order, then the missions. The same
// bytes on every call.
std::vector<ScriptFile> Files();

// The first chapter of a character's route (the name its definition holds),
// by character index; "" past the stand-in characters.
std::string FirstChapter(uint32_t character);

// The pictures ("Story_Aria.dds") and voices ("Vo_Aria_01_1.ogg") the
// chapters name, each once, for the packs the story scene reads them from.
std::vector<std::string> Pictures();
std::vector<std::string> Voices();

// The staff roll's text: one "size,text" line per line of the roll.
std::string StaffRoll();

// A story or mission text in the set being packed goes in its binary form,
// written by the game's writer: the name's extension and the bytes change.
// Any other file stays as it is. False with the reason in error when the
// text does not read.
bool ToPackedForm(std::string* name, std::vector<uint8_t>* bytes, std::string* error);

// Writes the staff roll into the data set folder (a data name); the game
// reads it from there, outside the resource list. 1/0.
int WriteStaffRoll(const std::string& folder, std::string* error);
}
