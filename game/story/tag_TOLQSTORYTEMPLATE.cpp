#include "game/story/tag_TOLQSTORYTEMPLATE.h"

#include "engine/core/AlignedMemory.h"
#include "game/story/StoryBattleSetting.h"

#include <cstring>
#include <new>

namespace
{
constexpr const char* kWords[STORY_COMMAND_COUNT] = {
    "ShowWindow",  "NoShowWindow", "ShowText",     "ShowTextTime",     "NoShowText", "ImageRegister",
    "ImageRegisterFree", "ChangeFace", "ChangeColor", "SetStage",     "SetCamera",  "ScreenQuake",
    "ScreenColor", "PlaySound",    "PlayBgm",      "StopBgm",          "Wait",       "BattleOption",
    "LastBattleOption", "NextScene", "Ending",       "MissionHeader",
};
}

tag_TOLQSTORYTEMPLATE* NewStoryCommand(uint8_t opcode)
{
    void* block = AlignedAlloc(sizeof(tag_TOLQSTORYTEMPLATE), 16);
    if (block == nullptr)
        return nullptr;
    tag_TOLQSTORYTEMPLATE* command = new (block) tag_TOLQSTORYTEMPLATE();
    command->opcode = opcode;
    return command;
}

void FreeStoryCommand(tag_TOLQSTORYTEMPLATE* command)
{
    if (command == nullptr)
        return;
    switch (command->opcode)
    {
    case STORY_SHOW_TEXT:
    case STORY_SHOW_TEXT_TIME:
        AlignedFree(command->text.text);
        AlignedFree(command->text.voice);
        break;
    case STORY_IMAGE_REGISTER:
        AlignedFree(command->image.picture);
        break;
    case STORY_SET_STAGE:
        AlignedFree(command->stage);
        break;
    case STORY_PLAY_SOUND:
        AlignedFree(command->sound.name);
        break;
    case STORY_PLAY_BGM:
        AlignedFree(command->bgm.name);
        break;
    case STORY_STOP_BGM:
        AlignedFree(command->stopBgm.name);
        break;
    case STORY_BATTLE_OPTION:
    case STORY_LAST_BATTLE_OPTION:
        DeleteStoryBattleSetting(command->battle);
        break;
    case STORY_NEXT_SCENE:
        for (char* name : command->nextScene)
            AlignedFree(name);
        break;
    default:
        break;
    }
    command->~tag_TOLQSTORYTEMPLATE();
    AlignedFree(command);
}

const char* StoryCommandWord(uint8_t opcode)
{
    return opcode < STORY_COMMAND_COUNT ? kWords[opcode] : nullptr;
}

int FindStoryCommand(const char* word)
{
    if (word == nullptr)
        return -1;
    for (int opcode = 0; opcode < STORY_COMMAND_COUNT; ++opcode)
    {
        if (std::strcmp(kWords[opcode], word) == 0)
            return opcode;
    }
    return -1;
}
