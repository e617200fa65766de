#include "game/story/CStoryWriter.h"

#include "engine/core/CByteWriter.h"
#include "engine/resource/CSafeFileWriter.h"
#include "game/story/CMission.h"
#include "game/story/CStory.h"
#include "game/story/StoryBattleSetting.h"
#include "game/story/StoryFiles.h"
#include "game/story/tag_TOLQSTORYTEMPLATE.h"

#include <cstring>

namespace
{
void Text(CByteWriter* out, const char* text)
{
    if (text != nullptr)
        out->Bytes(text, std::strlen(text));
    out->U8(0);
}

// A fixed text field that may fill its whole size without a NUL.
void FieldText(CByteWriter* out, const char* field, size_t size)
{
    out->Bytes(field, strnlen(field, size));
    out->U8(0);
}

void Vector(CByteWriter* out, const float* values, int count)
{
    for (int i = 0; i < count; ++i)
        out->F32(values[i]);
}

void Vector3(CByteWriter* out, const CkvrVector3& v)
{
    const float values[3] = {v.x, v.y, v.z};
    Vector(out, values, 3);
}

void Color(CByteWriter* out, const CkvrVector4& c)
{
    const float values[4] = {c.x, c.y, c.z, c.w};
    Vector(out, values, 4);
}

void PackedColor(CByteWriter* out, uint32_t argb)
{
    for (int shift : {16, 8, 0, 24})
        out->F32(static_cast<float>(((argb >> shift) & 0xFF) / 255.0));
}

// Byte i of count is 1 when bit i is set.
void Mask(CByteWriter* out, uint32_t mask, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        out->U8((mask >> i) & 1u);
}

// The names before the first missing one, with their count in front.
void Names(CByteWriter* out, const char* const* names, uint32_t places)
{
    uint32_t count = 0;
    while (count < places && names[count] != nullptr)
        ++count;
    out->U8(static_cast<uint8_t>(count));
    for (uint32_t i = 0; i < count; ++i)
        Text(out, names[i]);
}

void TextCommand(CByteWriter* out, const tag_TOLQSTORYTEMPLATE& c)
{
    const tag_TOLQSTORYTEXT& t = c.text;
    out->F32(t.x);
    out->F32(t.y);
    Text(out, t.text);
    out->F32(t.interval);
    if (c.opcode == STORY_SHOW_TEXT_TIME)
        out->F32(t.displayTime);
    out->F32(t.scale);
    out->U8(t.font);
    PackedColor(out, t.color);
    Text(out, t.voice);
}

void ImageCommand(CByteWriter* out, const tag_TOLQSTORYIMAGE& i)
{
    out->F32(i.x);
    out->F32(i.y);
    Text(out, i.picture);
    out->U8(i.face);
    out->U8(i.facePosition);
    out->F32(i.fadeTime);
    out->U8(i.spare);
    out->U8(i.object);
}

// Where the bytes stop reading back to the same records: the first byte a
// reader takes differently (a battle without its setting, a player count
// past 8, a number that is not finite), or the end when they all do. The
// readers take any bytes, so this is where such a record shows.
template <class Target>
size_t ReadBackUpTo(const CByteWriter& bytes, const char* fileName, std::string* error)
{
    Target target;
    const std::vector<uint8_t>& data = bytes.GetBytes();
    if (!target.LoadMemory(fileName, data.data(), static_cast<uint32_t>(data.size()), error))
    {
        if (error->empty())
            *error = "it does not read back";
        return 0;
    }
    CByteWriter again;
    CStoryWriter::WriteUnchecked(target, &again);
    const std::vector<uint8_t>& read = again.GetBytes();
    size_t at = 0;
    while (at < data.size() && at < read.size() && data[at] == read[at])
        ++at;
    if (at < data.size() || at < read.size())
        *error = "does not read back as written";
    return at;
}
}

void CStoryWriter::WriteCommand(const tag_TOLQSTORYTEMPLATE& c, CByteWriter* out)
{
    out->U8(c.opcode);
    switch (c.opcode)
    {
    case STORY_SHOW_WINDOW:
    case STORY_NO_SHOW_WINDOW:
        out->F32(c.window.fadeTime);
        break;
    case STORY_SHOW_TEXT:
    case STORY_SHOW_TEXT_TIME:
        TextCommand(out, c);
        break;
    case STORY_IMAGE_REGISTER:
        ImageCommand(out, c.image);
        break;
    case STORY_IMAGE_REGISTER_FREE:
        out->F32(c.imageFree.fadeTime);
        out->U8(c.imageFree.object);
        break;
    case STORY_CHANGE_FACE:
        out->F32(c.face.delay);
        out->F32(c.face.duration);
        out->U8(c.face.face);
        out->U8(c.face.object);
        break;
    case STORY_CHANGE_COLOR:
        out->F32(c.color.duration);
        Color(out, c.color.color);
        out->U8(c.color.object);
        break;
    case STORY_SET_STAGE:
        Text(out, c.stage);
        break;
    case STORY_SET_CAMERA:
        Vector3(out, c.camera.eye);
        Vector3(out, c.camera.target);
        out->F32(c.camera.duration);
        break;
    case STORY_SCREEN_QUAKE:
        out->F32(c.quake.strength);
        out->F32(c.quake.duration);
        out->U32(c.quake.windowShake);
        break;
    case STORY_SCREEN_COLOR:
        Color(out, c.screenColor.color);
        out->F32(c.screenColor.duration);
        break;
    case STORY_PLAY_SOUND:
        Vector3(out, c.sound.position);
        out->I32(c.sound.volume);
        Text(out, c.sound.name);
        break;
    case STORY_PLAY_BGM:
        out->F32(c.bgm.loopPoint);
        out->I32(c.bgm.volume);
        out->F32(c.bgm.fadeTime);
        out->U32(c.bgm.rewind);
        Text(out, c.bgm.name);
        break;
    case STORY_STOP_BGM:
        out->F32(c.stopBgm.fadeTime);
        out->U32(c.stopBgm.rewind);
        Text(out, c.stopBgm.name);
        break;
    case STORY_WAIT:
        out->F32(c.waitTime);
        break;
    case STORY_BATTLE_OPTION:
    case STORY_LAST_BATTLE_OPTION:
        // A battle without its setting writes a player count of 0 alone, which
        // reads back as something else: Encode refuses it.
        if (c.battle != nullptr)
            WriteBattleSetting(*c.battle, out);
        else
            out->U8(0);
        break;
    case STORY_NEXT_SCENE:
        for (const char* name : c.nextScene)
            Text(out, name);
        break;
    default: // NoShowText, Ending
        break;
    }
}

void CStoryWriter::WriteBattleSetting(const tag_TOLQBATTLESETTING& s, CByteWriter* out)
{
    namespace Limits = StoryBattleLimits;
    const uint8_t count = s.players != nullptr ? s.playerCount : 0;
    out->U8(count);
    out->U32(s.rules.teamBattle);
    out->U8(static_cast<uint8_t>(s.rules.stageChoice));
    out->U8(static_cast<uint8_t>(s.rules.musicChoice));
    out->U8(s.rules.rule);
    out->U8(s.rules.limit);
    out->U8(s.rules.timeLimitIndex);
    out->U8(static_cast<uint8_t>(s.rules.npcCountIndex));
    Mask(out, s.rules.itemMask, Limits::kItemKinds);
    Mask(out, s.rules.weaponMask, Limits::kWeaponClasses);
    for (uint32_t i = 0; i < count; ++i)
    {
        const tag_TOLQBATTLEPLAYER& p = s.players[i];
        Vector(out, p.factors, Limits::kFactors);
        out->U32(p.extra);
        if (i > 0)
            out->U8(p.cpuLevel);
        out->U8(static_cast<uint8_t>(p.character));
        out->U8(p.team);
        out->U32(p.startPoint);
        Mask(out, p.flags, Limits::kFlagBits);
        Names(out, p.weapons, tag_TOLQBATTLEPLAYER::kWeapons);
        if (i > 0)
            Names(out, p.clothes, tag_TOLQBATTLEPLAYER::kClothes);
    }
}

void CStoryWriter::WriteUnchecked(const CStory& story, CByteWriter* out)
{
    for (uint32_t i = 0; i < story.GetCommandCount(); ++i)
        WriteCommand(*story.GetCommand(i), out);
}

void CStoryWriter::WriteUnchecked(const CMission& mission, CByteWriter* out)
{
    const tag_TOLQMISSIONHEADER& h = *mission.GetHeader();
    out->U8(STORY_MISSION_HEADER);
    FieldText(out, h.title, sizeof(h.title));
    FieldText(out, h.description, sizeof(h.description));
    FieldText(out, h.characters, sizeof(h.characters));
    FieldText(out, h.enemies, sizeof(h.enemies));
    FieldText(out, h.timeLimit, sizeof(h.timeLimit));
    FieldText(out, h.rankCondition, sizeof(h.rankCondition));
    for (uint32_t threshold : h.rankThresholds)
        out->U32(threshold);
    if (mission.GetBattleOption() != nullptr)
    {
        out->U8(STORY_BATTLE_OPTION);
        WriteBattleSetting(*mission.GetBattleOption(), out);
    }
}

bool CStoryWriter::Encode(const CStory& story, CByteWriter* out, std::string* error)
{
    CByteWriter bytes;
    WriteUnchecked(story, &bytes);
    error->clear();
    const size_t at = ReadBackUpTo<CStory>(bytes, "Check.str", error);
    if (!error->empty())
    {
        // Named by the command the first byte that differs belongs to.
        size_t start = 0;
        for (uint32_t i = 0; i < story.GetCommandCount(); ++i)
        {
            CByteWriter one;
            WriteCommand(*story.GetCommand(i), &one);
            if (at < start + one.GetBytes().size())
            {
                const char* word = StoryCommandWord(story.GetCommand(i)->opcode);
                *error = "command " + std::to_string(i) + " (" + (word != nullptr ? word : "?") + ") " + *error;
                break;
            }
            start += one.GetBytes().size();
        }
        return false;
    }
    out->Bytes(bytes.GetBytes().data(), bytes.GetBytes().size());
    return true;
}

bool CStoryWriter::Encode(const CMission& mission, CByteWriter* out, std::string* error)
{
    CByteWriter bytes;
    WriteUnchecked(mission, &bytes);
    error->clear();
    const size_t at = ReadBackUpTo<CMission>(bytes, "Check.mis", error);
    if (!error->empty())
    {
        *error = "the mission " + *error + " (byte " + std::to_string(at) + ")";
        return false;
    }
    out->Bytes(bytes.GetBytes().data(), bytes.GetBytes().size());
    return true;
}

uint32_t CStoryWriter::WriteBytes(const CByteWriter& bytes, const char* path)
{
    CSafeFileWriter file;
    const std::vector<uint8_t>& data = bytes.GetBytes();
    return path != nullptr && file.Open(path) && file.Write(data.data(), data.size()) && file.Commit() ? 1 : 0;
}

uint32_t CStoryWriter::WriteStory(const CStory* story, const char* path)
{
    CByteWriter bytes;
    std::string error;
    return story != nullptr && Encode(*story, &bytes, &error) ? WriteBytes(bytes, path) : 0;
}

uint32_t CStoryWriter::WriteMission(const CMission* mission, const char* path)
{
    CByteWriter bytes;
    std::string error;
    return mission != nullptr && Encode(*mission, &bytes, &error) ? WriteBytes(bytes, path) : 0;
}
