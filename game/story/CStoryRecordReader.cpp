#include "game/story/CStoryRecordReader.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/CkvrVector3.h"
#include "engine/core/CkvrVector4.h"
#include "game/story/CMission.h"
#include "game/story/CStory.h"
#include "game/story/IStoryScriptSource.h"
#include "game/story/StoryBattleSetting.h"
#include "game/story/StoryText.h"
#include "game/story/tag_TOLQMISSIONHEADER.h"
#include "game/story/tag_TOLQSTORYTEMPLATE.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace Limits = StoryBattleLimits;

namespace
{
// The i8 choices of a setting: a byte past 127 would turn negative and
// index before a table; it means a choice past every list, which is random.
int8_t Choice(uint8_t byte)
{
    return static_cast<int8_t>(std::min<uint8_t>(byte, INT8_MAX));
}

// ARGB, each channel (already within 0-1) times 255 truncated.
uint32_t PackColor(const CkvrVector4& color)
{
    auto byte = [](float channel) { return static_cast<uint32_t>(channel * 255.0f); };
    return byte(color.w) << 24 | byte(color.x) << 16 | byte(color.y) << 8 | byte(color.z);
}
}

bool CStoryRecordReader::Fail(const std::string& why)
{
    if (m_error.empty())
        m_error = why;
    return false;
}

float CStoryRecordReader::F32()
{
    float value = 0.0f;
    return m_source.ReadF32(&value) && std::isfinite(value) ? value : 0.0f;
}

uint8_t CStoryRecordReader::U8()
{
    uint8_t value = 0;
    return m_source.ReadU8(&value) ? value : 0;
}

uint32_t CStoryRecordReader::U32()
{
    uint32_t value = 0;
    return m_source.ReadU32(&value) ? value : 0;
}

int32_t CStoryRecordReader::I32()
{
    int32_t value = 0;
    return m_source.ReadI32(&value) ? value : 0;
}

char* CStoryRecordReader::Text(uint32_t capacity)
{
    char* text = nullptr;
    return m_source.ReadText(&text, capacity) ? text : nullptr;
}

CkvrVector3 CStoryRecordReader::Vector3()
{
    const float x = F32();
    const float y = F32();
    const float z = F32();
    return CkvrVector3(x, y, z);
}

CkvrVector4 CStoryRecordReader::Color()
{
    float v[4];
    for (float& value : v)
        value = std::clamp(F32(), 0.0f, 1.0f);
    CkvrVector4 color;
    color.Set(v[0], v[1], v[2], v[3]);
    return color;
}

uint8_t CStoryRecordReader::Bounded(uint8_t max)
{
    return std::min(U8(), max);
}

uint32_t CStoryRecordReader::Mask(uint32_t count)
{
    uint32_t mask = 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        if (U8() != 0)
            mask |= 1u << i;
    }
    return mask;
}

bool CStoryRecordReader::FailHere(int opcode)
{
    const char* word = opcode >= 0 ? StoryCommandWord(static_cast<uint8_t>(opcode)) : nullptr;
    m_error = m_source.Where() + ": " + (word != nullptr ? std::string(word) + ", " : std::string()) + m_error;
    return false;
}

// ---------------------------------------------------------------- files

bool CStoryRecordReader::ReadStory(CStory* story)
{
    std::vector<tag_TOLQSTORYTEMPLATE*> commands;
    int opcode = IStoryScriptSource::kEnd;
    for (;;)
    {
        opcode = m_source.NextOpcode();
        if (opcode == IStoryScriptSource::kEnd)
            break;
        if (opcode < 0 || opcode > STORY_ENDING)
            continue;
        if (commands.size() >= kMaxCommands)
        {
            Fail("a chapter holds at most " + std::to_string(kMaxCommands) + " commands");
            break;
        }
        tag_TOLQSTORYTEMPLATE* command = ReadCommand(static_cast<uint8_t>(opcode));
        if (command != nullptr)
            commands.push_back(command);
        else if (!m_error.empty())
            break;
    }
    if (m_error.empty() && story->SetCommands(commands.data(), static_cast<uint32_t>(commands.size())))
        return true;
    for (tag_TOLQSTORYTEMPLATE* command : commands)
        FreeStoryCommand(command);
    if (m_error.empty())
        return Fail("out of memory");
    return FailHere(opcode);
}

bool CStoryRecordReader::ReadMission(CMission* mission)
{
    for (;;)
    {
        const int opcode = m_source.NextOpcode();
        if (opcode == IStoryScriptSource::kEnd)
            return true;
        if (opcode == STORY_MISSION_HEADER)
            ReadMissionHeader(mission->GetHeader());
        if (opcode != STORY_BATTLE_OPTION)
            continue;
        tag_TOLQBATTLESETTING* setting = ReadBattleSetting();
        if (setting != nullptr)
            mission->SetBattleOption(setting);
        else if (!m_error.empty())
            return FailHere(opcode);
    }
}

// ---------------------------------------------------------------- commands

tag_TOLQSTORYTEMPLATE* CStoryRecordReader::ReadCommand(uint8_t opcode)
{
    if (opcode > STORY_ENDING)
    {
        Fail("no story command has opcode " + std::to_string(opcode));
        return nullptr;
    }
    tag_TOLQSTORYTEMPLATE* command = NewStoryCommand(opcode);
    if (command == nullptr)
    {
        Fail("out of memory");
        return nullptr;
    }
    ReadCommandFields(command);
    const bool battle = opcode == STORY_BATTLE_OPTION || opcode == STORY_LAST_BATTLE_OPTION;
    if (!battle || command->battle != nullptr)
        return command;
    FreeStoryCommand(command);
    return nullptr;
}

void CStoryRecordReader::ReadCommandFields(tag_TOLQSTORYTEMPLATE* c)
{
    switch (c->opcode)
    {
    case STORY_SHOW_WINDOW:
    case STORY_NO_SHOW_WINDOW:
        c->window.fadeTime = F32();
        return;
    case STORY_SHOW_TEXT:
    case STORY_SHOW_TEXT_TIME:
        ReadText(c);
        return;
    case STORY_IMAGE_REGISTER:
        ReadImage(c);
        return;
    case STORY_IMAGE_REGISTER_FREE:
        c->imageFree.fadeTime = F32();
        c->imageFree.object = U8();
        return;
    case STORY_CHANGE_FACE:
        c->face.delay = F32();
        c->face.duration = F32();
        c->face.face = U8();
        c->face.object = U8();
        return;
    case STORY_CHANGE_COLOR:
        c->color.duration = F32();
        c->color.color = Color();
        c->color.object = U8();
        return;
    case STORY_SET_STAGE:
        c->stage = Text(IStoryScriptSource::kMaxText);
        return;
    case STORY_SET_CAMERA:
        c->camera.eye = Vector3();
        c->camera.target = Vector3();
        c->camera.duration = F32();
        return;
    case STORY_SCREEN_QUAKE:
        c->quake.strength = F32();
        c->quake.duration = F32();
        c->quake.windowShake = U32();
        return;
    case STORY_SCREEN_COLOR:
        c->screenColor.color = Color();
        c->screenColor.duration = F32();
        return;
    case STORY_PLAY_SOUND:
        c->sound.position = Vector3();
        c->sound.volume = I32();
        c->sound.name = Text(IStoryScriptSource::kMaxText);
        return;
    case STORY_PLAY_BGM:
        c->bgm.loopPoint = F32();
        c->bgm.volume = I32();
        c->bgm.fadeTime = F32();
        c->bgm.rewind = U32();
        c->bgm.name = Text(IStoryScriptSource::kMaxText);
        return;
    case STORY_STOP_BGM:
        c->stopBgm.fadeTime = F32();
        c->stopBgm.rewind = U32();
        c->stopBgm.name = Text(IStoryScriptSource::kMaxText);
        return;
    case STORY_WAIT:
        c->waitTime = F32();
        return;
    case STORY_BATTLE_OPTION:
    case STORY_LAST_BATTLE_OPTION:
        c->battle = ReadBattleSetting();
        if (c->battle != nullptr && c->opcode == STORY_LAST_BATTLE_OPTION)
            c->battle->fighterWord = 1;
        return;
    case STORY_NEXT_SCENE:
        ReadNames(c->nextScene, kStoryDifficultyCount, kStoryDifficultyCount);
        return;
    default: // NoShowText, Ending
        return;
    }
}

// File order: x, y, text, interval, [display time], scale, font, colour,
// voice. The colour is held packed, each channel truncated to a byte.
void CStoryRecordReader::ReadText(tag_TOLQSTORYTEMPLATE* c)
{
    tag_TOLQSTORYTEXT& t = c->text;
    t.x = F32();
    t.y = F32();
    t.text = Text(IStoryScriptSource::kMaxText);
    t.interval = F32();
    if (c->opcode == STORY_SHOW_TEXT_TIME)
        t.displayTime = F32();
    t.scale = F32();
    t.font = U8();
    t.color = PackColor(Color());
    t.voice = Text(IStoryScriptSource::kMaxText);
}

// File order: x, y, picture, face, face position, fade time, spare byte,
// object index.
void CStoryRecordReader::ReadImage(tag_TOLQSTORYTEMPLATE* c)
{
    tag_TOLQSTORYIMAGE& i = c->image;
    i.x = F32();
    i.y = F32();
    i.picture = Text(IStoryScriptSource::kMaxText);
    i.face = U8();
    i.facePosition = U8();
    i.fadeTime = F32();
    i.spare = U8();
    i.object = U8();
}

template <class T>
void CStoryRecordReader::ReadNames(T* names, uint32_t places, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
    {
        char* name = Text(IStoryScriptSource::kMaxText);
        if (i < places)
            names[i] = name;
        else
            AlignedFree(name);
    }
}

// ---------------------------------------------------------------- battle setting

tag_TOLQBATTLESETTING* CStoryRecordReader::ReadBattleSetting()
{
    const uint8_t count = U8();
    const uint8_t kept = std::min(count, Limits::kMaxPlayers);
    tag_TOLQBATTLESETTING* setting = NewStoryBattleSetting(std::max<uint8_t>(kept, 1));
    if (setting == nullptr || setting->players == nullptr || setting->playerCount != std::max<uint8_t>(kept, 1))
    {
        DeleteStoryBattleSetting(setting);
        Fail("out of memory");
        return nullptr;
    }
    ReadRules(setting);
    for (uint32_t i = 0; i < count; ++i)
    {
        if (i < kept)
        {
            ReadPlayer(&setting->players[i], i);
            continue;
        }
        // Players past the setting's places are read to keep the file's
        // order, then dropped.
        tag_TOLQBATTLEPLAYER extra;
        ReadPlayer(&extra, i);
        AlignedFree(const_cast<char*>(extra.name));
        for (const char* name : extra.weapons)
            AlignedFree(const_cast<char*>(name));
        for (const char* name : extra.clothes)
            AlignedFree(const_cast<char*>(name));
    }
    if (kept == 0)
    {
        DeleteStoryBattleSetting(setting);
        return nullptr;
    }
    tag_TOLQBATTLERULE& rules = setting->rules;
    if (Limits::LimitIsPlayer(rules.rule) && rules.limit >= kept)
        rules.limit = static_cast<uint8_t>(kept - 1);
    return setting;
}

void CStoryRecordReader::ReadRules(tag_TOLQBATTLESETTING* setting)
{
    tag_TOLQBATTLERULE& r = setting->rules;
    r.teamBattle = U32();
    r.stageChoice = Choice(U8());
    r.musicChoice = Choice(U8());
    r.rule = Bounded(Limits::kMaxRule);
    r.limit = U8();
    r.timeLimitIndex = Bounded(Limits::kMaxTimeLimitIndex);
    r.npcCountIndex = static_cast<int8_t>(Bounded(Limits::kMaxNpcCountIndex));
    r.itemMask = Mask(Limits::kItemKinds);
    r.weaponMask = Mask(Limits::kWeaponClasses);
}

// Entry 0 is the human player: no CPU level, and no clothes (the story
// dresses it from the play data).
void CStoryRecordReader::ReadPlayer(tag_TOLQBATTLEPLAYER* player, uint32_t index)
{
    tag_TOLQBATTLEPLAYER& p = *player;
    for (float& factor : p.factors)
        factor = F32();
    p.extra = U32();
    if (index > 0)
        p.cpuLevel = Bounded(Limits::kMaxCpuLevel);
    p.character = Choice(U8());
    p.randomCharacter = static_cast<uint8_t>(p.character);
    p.team = Bounded(Limits::kMaxTeam);
    p.startPoint = U32();
    p.flags = Mask(Limits::kFlagBits);
    ReadNames(p.weapons, tag_TOLQBATTLEPLAYER::kWeapons, U8());
    if (index > 0)
        ReadNames(p.clothes, tag_TOLQBATTLEPLAYER::kClothes, U8());
}

// ---------------------------------------------------------------- mission header

void CStoryRecordReader::ReadMissionHeader(tag_TOLQMISSIONHEADER* header)
{
    struct Field
    {
        char* text;
        uint32_t size;
    };
    const Field fields[] = {
        {header->title, sizeof(header->title)},
        {header->description, sizeof(header->description)},
        {header->characters, sizeof(header->characters)},
        {header->enemies, sizeof(header->enemies)},
        {header->timeLimit, sizeof(header->timeLimit)},
        {header->rankCondition, sizeof(header->rankCondition)},
    };
    for (const Field& field : fields)
    {
        char* text = Text(field.size);
        CopyTextToField(field.text, field.size, text);
        AlignedFree(text);
    }
    for (uint32_t& threshold : header->rankThresholds)
        threshold = U32();
}
