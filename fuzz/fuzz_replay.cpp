// Opens arbitrary bytes as a replay file, reads its setting and plays its
// frames into two human fighters and a computer fighter. Whatever is read
// must be in range, and a setting that was read must write back to the
// bytes it came from.
#include "FuzzTempFile.h"

#include "engine/core/CByteReader.h"
#include "engine/core/CByteWriter.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/input/CInput.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CCpu.h"
#include "game/actor/CPlayer.h"
#include "game/battle/CReplay.h"
#include "game/battle/ReplaySettingBlock.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"

#include <cmath>
#include <cstdint>
#include <memory>

namespace
{
void CheckSetting(const tag_TOLQBATTLESETTING& setting)
{
    if (setting.playerCount == 0 || setting.playerCount > tag_TOLQBATTLESETTING::kMaxPlayers ||
        !IsValidBattleRule(setting.rules))
        __builtin_trap();
    for (uint8_t i = 0; i < setting.playerCount; ++i)
    {
        const tag_TOLQBATTLEPLAYER& player = setting.players[i];
        if (player.slotState < 0 || player.slotState > 9 || player.team > 4 || !std::isfinite(player.mouseSensitivity))
            __builtin_trap();
    }
    CByteWriter writer;
    WriteReplaySettingBlock(&writer, setting);
    tag_TOLQBATTLESETTING* again = CreateBattleSettingFrom(1, 0, nullptr);
    CByteReader reader(writer.GetBytes().data(), writer.GetBytes().size());
    if (!ReadReplaySettingBlock(&reader, again, nullptr) || !reader.AtEnd())
        __builtin_trap();
    FreeReplayTexts(again);
    FreeBattleSetting(again);
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzTempFile file;
    const char* path = file.Write(data, size);
    if (path == nullptr)
        return 0;
    CReplay replay;
    replay.SetPacing(false);
    if (replay.OpenForPlay(path) == 0)
        return 0;
    tag_TOLQBATTLESETTING* setting = CreateBattleSettingFrom(1, 0, nullptr);
    if (replay.ReadSetting(setting) == 1)
        CheckSetting(*setting);
    static const CCharacterDefinition definition;
    CInput input;
    std::unique_ptr<CCharacter> fighters[3] = {std::make_unique<CPlayer>(&definition),
                                               std::make_unique<CPlayer>(&definition),
                                               std::make_unique<CCpu>(&definition, 1)};
    CCharacter* pointers[3];
    for (int i = 0; i < 3; ++i)
    {
        tag_TOLQBATTLECHARADATA data;
        data.localInput = i == 2 ? 1 : 0;
        fighters[i]->Setup(&data, nullptr);
        pointers[i] = fighters[i].get();
    }
    // Each frame reads at least four bytes, so the file bounds the loop.
    for (size_t frame = 0; frame <= size / 4 && replay.PlayFrame(pointers, 3, &input) == 1; ++frame)
    {
        if (GetElapsedMilliseconds() > CReplay::kMaxFrameMilliseconds)
            __builtin_trap();
    }
    FreeReplayTexts(setting);
    FreeBattleSetting(setting);
    return 0;
}
