#pragma once

#include "engine/core/CkvrVector3.h"
#include "engine/core/CkvrVector4.h"

#include <cstdint>

struct tag_TOLQBATTLESETTING;

// The story commands. The opcode is the index of the command's word in the
// table of StoryCommandWord; binary scripts store it, text scripts spell
// the word.
enum StoryOpcode : uint8_t
{
    STORY_SHOW_WINDOW = 0,
    STORY_NO_SHOW_WINDOW = 1,
    STORY_SHOW_TEXT = 2,
    STORY_SHOW_TEXT_TIME = 3,
    STORY_NO_SHOW_TEXT = 4,
    STORY_IMAGE_REGISTER = 5,
    STORY_IMAGE_REGISTER_FREE = 6,
    STORY_CHANGE_FACE = 7,
    STORY_CHANGE_COLOR = 8,
    STORY_SET_STAGE = 9,
    STORY_SET_CAMERA = 10,
    STORY_SCREEN_QUAKE = 11,
    STORY_SCREEN_COLOR = 12,
    STORY_PLAY_SOUND = 13,
    STORY_PLAY_BGM = 14,
    STORY_STOP_BGM = 15,
    STORY_WAIT = 16,
    STORY_BATTLE_OPTION = 17,
    STORY_LAST_BATTLE_OPTION = 18,
    STORY_NEXT_SCENE = 19,
    STORY_ENDING = 20,
    // Only in mission files: the mission's texts and rank thresholds.
    STORY_MISSION_HEADER = 21,
    STORY_COMMAND_COUNT = 22,
};

// Picture slots a chapter may use: ImageRegister and the commands that act
// on a picture name one by its index 0-15.
constexpr uint8_t kStoryObjectCount = 16;
// Story difficulties, each with its own next chapter.
constexpr uint32_t kStoryDifficultyCount = 5;

// The fields of each command, in the order the scene reads them (the file
// order differs for ImageRegister, ScreenQuake and ScreenColor; see the
// readers). Times are seconds; volumes hundredths of a decibel added to a
// setting. Texts are Shift-JIS, owned by the record, null when missing.
struct tag_TOLQSTORYWINDOW // ShowWindow, NoShowWindow
{
    float fadeTime;
};

struct tag_TOLQSTORYTEXT // ShowText, ShowTextTime
{
    float x;
    float y;
    char* text;
    float interval;     // seconds per typed character
    float displayTime;  // ShowTextTime only; 0 for ShowText
    float scale;
    uint8_t font;       // 0 or 1; any other value draws no text
    uint32_t color;     // ARGB, each channel x 255
    char* voice;
};

struct tag_TOLQSTORYIMAGE // ImageRegister
{
    float x;
    float y;
    uint8_t face;
    uint8_t facePosition;
    char* picture;
    float fadeTime;
    uint8_t spare;      // kept and written back; nothing reads it
    uint8_t object;     // 0-15
};

struct tag_TOLQSTORYIMAGEFREE // ImageRegisterFree
{
    float fadeTime;
    uint8_t object;
};

struct tag_TOLQSTORYFACE // ChangeFace
{
    float delay;
    float duration;
    uint8_t face;
    uint8_t object;
};

struct tag_TOLQSTORYCOLOR // ChangeColor
{
    float duration;
    CkvrVector4 color;  // red, green, blue, alpha, each 0-1
    uint8_t object;
};

struct tag_TOLQSTORYCAMERA // SetCamera
{
    CkvrVector3 eye;
    CkvrVector3 target;
    float duration;
};

struct tag_TOLQSTORYQUAKE // ScreenQuake
{
    float duration;     // 0: until the next message is dismissed
    float strength;
    uint32_t windowShake;
};

struct tag_TOLQSTORYSCREENCOLOR // ScreenColor
{
    float duration;
    CkvrVector4 color;  // each channel 0-1
};

struct tag_TOLQSTORYSOUND // PlaySound
{
    CkvrVector3 position;
    int32_t volume;
    char* name;
};

struct tag_TOLQSTORYBGM // PlayBgm
{
    float loopPoint;
    int32_t volume;
    float fadeTime;
    uint32_t rewind;
    char* name;
};

struct tag_TOLQSTORYSTOPBGM // StopBgm
{
    float fadeTime;
    uint32_t rewind;
    char* name;
};

// One command of a chapter. Only the part of its opcode is meaningful; the
// others stay zero. Made by NewStoryCommand, freed with what it owns by
// FreeStoryCommand.
struct tag_TOLQSTORYTEMPLATE
{
    uint8_t opcode;
    tag_TOLQSTORYWINDOW window;
    tag_TOLQSTORYTEXT text;
    tag_TOLQSTORYIMAGE image;
    tag_TOLQSTORYIMAGEFREE imageFree;
    tag_TOLQSTORYFACE face;
    tag_TOLQSTORYCOLOR color;
    char* stage;                                    // SetStage
    tag_TOLQSTORYCAMERA camera;
    tag_TOLQSTORYQUAKE quake;
    tag_TOLQSTORYSCREENCOLOR screenColor;
    tag_TOLQSTORYSOUND sound;
    tag_TOLQSTORYBGM bgm;
    tag_TOLQSTORYSTOPBGM stopBgm;
    float waitTime;                                 // Wait
    tag_TOLQBATTLESETTING* battle;                  // BattleOption, LastBattleOption
    char* nextScene[kStoryDifficultyCount];         // NextScene, by story difficulty
};

// A zero-filled command of that opcode from the aligned allocator; null
// when memory is exhausted.
tag_TOLQSTORYTEMPLATE* NewStoryCommand(uint8_t opcode);
// Frees the command's texts and battle setting, then the command. Null is
// ignored.
void FreeStoryCommand(tag_TOLQSTORYTEMPLATE* command);

// The word of an opcode (null past MissionHeader), and the opcode of a word
// (compared case-sensitively; -1 for no command word).
const char* StoryCommandWord(uint8_t opcode);
int FindStoryCommand(const char* word);
