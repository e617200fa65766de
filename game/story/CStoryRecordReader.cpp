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

bool CStoryRecordReader::F32(float* out, const char* what)
{
    return m_source.ReadF32(out) || Fail(std::string(what) + ": no finite number");
}

bool CStoryRecordReader::U8(uint8_t* out, const char* what)
{
    return m_source.ReadU8(out) || Fail(std::string(what) + ": no byte value");
}

bool CStoryRecordReader::U32(uint32_t* out, const char* what)
{
    return m_source.ReadU32(out) || Fail(std::string(what) + ": no 32-bit value");
}

bool CStoryRecordReader::I32(int32_t* out, const char* what)
{
    return m_source.ReadI32(out) || Fail(std::string(what) + ": no signed 32-bit value");
}

bool CStoryRecordReader::Text(char** out, const char* what, uint32_t capacity)
{
    return m_source.ReadText(out, capacity) || Fail(std::string(what) + ": the text is missing");
}

bool CStoryRecordReader::Vector3(CkvrVector3* out, const char* what)
{
    float v[3];
    for (float& value : v)
    {
        if (!F32(&value, what))
            return false;
    }
    out->Set(v[0], v[1], v[2]);
    return true;
}

bool CStoryRecordReader::Color(CkvrVector4* out, const char* what)
{
    float v[4];
    for (float& value : v)
    {
        if (!F32(&value, what))
            return false;
        value = std::clamp(value, 0.0f, 1.0f);
    }
    out->Set(v[0], v[1], v[2], v[3]);
    return true;
}

bool CStoryRecordReader::Bounded(uint8_t* out, uint8_t max, const char* what)
{
    if (!U8(out, what))
        return false;
    return *out <= max || Fail(std::string(what) + " " + std::to_string(*out) + " is past " + std::to_string(max));
}

bool CStoryRecordReader::ObjectIndex(uint8_t* out)
{
    return Bounded(out, kStoryObjectCount - 1, "object index");
}

bool CStoryRecordReader::Mask(uint32_t* out, uint32_t count, const char* what)
{
    uint32_t mask = 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        uint8_t byte = 0;
        if (!U8(&byte, what))
            return false;
        if (byte != 0)
            mask |= 1u << i;
    }
    *out = mask;
    return true;
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
        if (command == nullptr)
            break;
        commands.push_back(command);
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
        if (opcode == STORY_MISSION_HEADER && !ReadMissionHeader(mission->GetHeader()))
            return FailHere(opcode);
        if (opcode == STORY_BATTLE_OPTION)
        {
            tag_TOLQBATTLESETTING* setting = ReadBattleSetting();
            if (setting == nullptr)
                return FailHere(opcode);
            mission->SetBattleOption(setting);
        }
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
    if (ReadCommandFields(command))
        return command;
    FreeStoryCommand(command);
    return nullptr;
}

bool CStoryRecordReader::ReadCommandFields(tag_TOLQSTORYTEMPLATE* c)
{
    switch (c->opcode)
    {
    case STORY_SHOW_WINDOW:
    case STORY_NO_SHOW_WINDOW:
        return F32(&c->window.fadeTime, "fade time");
    case STORY_SHOW_TEXT:
    case STORY_SHOW_TEXT_TIME:
        return ReadText(c);
    case STORY_IMAGE_REGISTER:
        return ReadImage(c);
    case STORY_IMAGE_REGISTER_FREE:
        return F32(&c->imageFree.fadeTime, "fade time") && ObjectIndex(&c->imageFree.object);
    case STORY_CHANGE_FACE:
        return F32(&c->face.delay, "face delay") && F32(&c->face.duration, "face duration") &&
               U8(&c->face.face, "face") && ObjectIndex(&c->face.object);
    case STORY_CHANGE_COLOR:
        return F32(&c->color.duration, "duration") && Color(&c->color.color, "colour") &&
               ObjectIndex(&c->color.object);
    case STORY_SET_STAGE:
        return Text(&c->stage, "stage name", IStoryScriptSource::kMaxText);
    case STORY_SET_CAMERA:
        return Vector3(&c->camera.eye, "eye") && Vector3(&c->camera.target, "target") &&
               F32(&c->camera.duration, "duration");
    case STORY_SCREEN_QUAKE:
        return F32(&c->quake.strength, "strength") && F32(&c->quake.duration, "duration") &&
               U32(&c->quake.windowShake, "window shake");
    case STORY_SCREEN_COLOR:
        return Color(&c->screenColor.color, "colour") && F32(&c->screenColor.duration, "duration");
    case STORY_PLAY_SOUND:
        return Vector3(&c->sound.position, "position") && I32(&c->sound.volume, "volume") &&
               Text(&c->sound.name, "sound name", IStoryScriptSource::kMaxText);
    case STORY_PLAY_BGM:
        return F32(&c->bgm.loopPoint, "loop point") && I32(&c->bgm.volume, "volume") &&
               F32(&c->bgm.fadeTime, "fade time") && U32(&c->bgm.rewind, "rewind flag") &&
               Text(&c->bgm.name, "music name", IStoryScriptSource::kMaxText);
    case STORY_STOP_BGM:
        return F32(&c->stopBgm.fadeTime, "fade time") && U32(&c->stopBgm.rewind, "rewind flag") &&
               Text(&c->stopBgm.name, "music name", IStoryScriptSource::kMaxText);
    case STORY_WAIT:
        return F32(&c->waitTime, "duration");
    case STORY_BATTLE_OPTION:
    case STORY_LAST_BATTLE_OPTION:
        c->battle = ReadBattleSetting();
        if (c->battle != nullptr && c->opcode == STORY_LAST_BATTLE_OPTION)
            c->battle->fighterWord = 1;
        return c->battle != nullptr;
    case STORY_NEXT_SCENE:
        return ReadNames(c->nextScene, kStoryDifficultyCount, "next chapter");
    default: // NoShowText, Ending
        return true;
    }
}

// File order: x, y, text, interval, [display time], scale, font, colour,
// voice. The colour is held packed, each channel truncated to a byte.
bool CStoryRecordReader::ReadText(tag_TOLQSTORYTEMPLATE* c)
{
    tag_TOLQSTORYTEXT& t = c->text;
    CkvrVector4 color;
    if (!F32(&t.x, "text x") || !F32(&t.y, "text y") || !Text(&t.text, "text", IStoryScriptSource::kMaxText) ||
        !F32(&t.interval, "character interval"))
        return false;
    if (c->opcode == STORY_SHOW_TEXT_TIME && !F32(&t.displayTime, "display time"))
        return false;
    if (!F32(&t.scale, "text scale") || !U8(&t.font, "font") || !Color(&color, "colour") ||
        !Text(&t.voice, "voice", IStoryScriptSource::kMaxText))
        return false;
    t.color = PackColor(color);
    return true;
}

// File order: x, y, picture, face, face position, fade time, spare byte,
// object index.
bool CStoryRecordReader::ReadImage(tag_TOLQSTORYTEMPLATE* c)
{
    tag_TOLQSTORYIMAGE& i = c->image;
    return F32(&i.x, "x") && F32(&i.y, "y") && Text(&i.picture, "picture", IStoryScriptSource::kMaxText) &&
           U8(&i.face, "face") && U8(&i.facePosition, "face position") && F32(&i.fadeTime, "fade time") &&
           U8(&i.spare, "spare byte") && ObjectIndex(&i.object);
}

template <class T>
bool CStoryRecordReader::ReadNames(T* names, uint32_t places, const char* what)
{
    for (uint32_t i = 0; i < places; ++i)
    {
        char* name = nullptr;
        if (!Text(&name, what, IStoryScriptSource::kMaxText))
            return false;
        names[i] = name;
    }
    return true;
}

// ---------------------------------------------------------------- battle setting

tag_TOLQBATTLESETTING* CStoryRecordReader::ReadBattleSetting()
{
    uint8_t count = 0;
    if (!U8(&count, "player count"))
        return nullptr;
    if (count < 1 || count > Limits::kMaxPlayers)
    {
        Fail("player count " + std::to_string(count) + " is not 1-8");
        return nullptr;
    }
    tag_TOLQBATTLESETTING* setting = NewStoryBattleSetting(count);
    if (setting == nullptr || setting->players == nullptr || setting->playerCount != count)
    {
        DeleteStoryBattleSetting(setting);
        Fail("out of memory");
        return nullptr;
    }
    bool read = ReadRules(setting);
    for (uint32_t i = 0; read && i < count; ++i)
        read = ReadPlayer(setting, i);
    const uint8_t rule = setting->rules.rule;
    if (read && Limits::LimitIsPlayer(rule) && setting->rules.limit >= count)
        read = Fail("rule " + std::to_string(rule) + " protects player " + std::to_string(setting->rules.limit) +
                    " of " + std::to_string(count));
    if (read)
        return setting;
    DeleteStoryBattleSetting(setting);
    return nullptr;
}

bool CStoryRecordReader::ReadRules(tag_TOLQBATTLESETTING* setting)
{
    tag_TOLQBATTLERULE& r = setting->rules;
    uint8_t stage = 0;
    uint8_t music = 0;
    uint8_t npc = 0;
    if (!U32(&r.teamBattle, "team battle") || !U8(&stage, "stage choice") || !U8(&music, "music choice") ||
        !Bounded(&r.rule, Limits::kMaxRule, "rule") || !U8(&r.limit, "limit") ||
        !Bounded(&r.timeLimitIndex, Limits::kMaxTimeLimitIndex, "time-limit index") ||
        !Bounded(&npc, Limits::kMaxNpcCountIndex, "NPC-count index") ||
        !Mask(&r.itemMask, Limits::kItemKinds, "item mask") ||
        !Mask(&r.weaponMask, Limits::kWeaponClasses, "weapon mask"))
        return false;
    r.stageChoice = Choice(stage);
    r.musicChoice = Choice(music);
    r.npcCountIndex = static_cast<int8_t>(npc);
    return true;
}

// Entry 0 is the human player: no CPU level, and no clothes (the story
// dresses it from the play data).
bool CStoryRecordReader::ReadPlayer(tag_TOLQBATTLESETTING* setting, uint32_t index)
{
    tag_TOLQBATTLEPLAYER& p = setting->players[index];
    const std::string entry = "player " + std::to_string(index);
    for (float& factor : p.factors)
    {
        if (!F32(&factor, (entry + " factor").c_str()))
            return false;
    }
    uint8_t character = 0;
    if (!U32(&p.extra, (entry + " extra word").c_str()) ||
        (index > 0 && !Bounded(&p.cpuLevel, Limits::kMaxCpuLevel, (entry + " CPU level").c_str())) ||
        !U8(&character, (entry + " character").c_str()) ||
        !Bounded(&p.team, Limits::kMaxTeam, (entry + " team").c_str()) ||
        !U32(&p.startPoint, (entry + " start point").c_str()) ||
        !Mask(&p.flags, Limits::kFlagBits, (entry + " flags").c_str()))
        return false;
    p.character = Choice(character);
    p.randomCharacter = static_cast<uint8_t>(p.character);
    uint8_t weapons = 0;
    if (!Bounded(&weapons, tag_TOLQBATTLEPLAYER::kWeapons, (entry + " weapon count").c_str()) ||
        !ReadNames(p.weapons, weapons, (entry + " weapon").c_str()))
        return false;
    if (index == 0)
        return true;
    uint8_t clothes = 0;
    return Bounded(&clothes, tag_TOLQBATTLEPLAYER::kClothes, (entry + " clothes count").c_str()) &&
           ReadNames(p.clothes, clothes, (entry + " clothes").c_str());
}

// ---------------------------------------------------------------- mission header

bool CStoryRecordReader::ReadMissionHeader(tag_TOLQMISSIONHEADER* out)
{
    // Read aside, so that a refused record leaves the header as it was.
    tag_TOLQMISSIONHEADER read{};
    tag_TOLQMISSIONHEADER* header = &read;
    struct Field
    {
        char* text;
        uint32_t size;
        const char* what;
    };
    const Field fields[] = {
        {header->title, sizeof(header->title), "title"},
        {header->description, sizeof(header->description), "description"},
        {header->characters, sizeof(header->characters), "characters"},
        {header->enemies, sizeof(header->enemies), "enemies"},
        {header->timeLimit, sizeof(header->timeLimit), "time limit"},
        {header->rankCondition, sizeof(header->rankCondition), "rank condition"},
    };
    for (const Field& field : fields)
    {
        char* text = nullptr;
        if (!Text(&text, field.what, field.size))
            return false;
        CopyTextToField(field.text, field.size, text);
        AlignedFree(text);
    }
    for (uint32_t k = 0; k < tag_TOLQMISSIONHEADER::kRanks; ++k)
    {
        if (!U32(&header->rankThresholds[k], "rank threshold"))
            return false;
    }
    *out = read;
    return true;
}
