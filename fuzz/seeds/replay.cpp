// Writes seed files for the replay fuzz target: a recording of a short
// battle setting with two human fighters and a computer fighter, and one
// cut inside its frames.
#include "SeedFile.h"

#include "engine/core/CByteWriter.h"
#include "game/battle/ReplaySettingBlock.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/battle/tag_TOLQREPLAYHEADER.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const std::string folder = argv[1];
    tag_TOLQBATTLESETTING* setting = CreateBattleSettingFrom(3, 0, nullptr);
    setting->players[1].slotState = 1;
    setting->players[0].name = "Aria";
    setting->players[0].weapons[0] = "Rifle";
    setting->players[2].clothes[1] = "Hat";
    tag_TOLQREPLAYHEADER header;
    header.version = tag_TOLQREPLAYHEADER::kVersion;
    std::snprintf(header.stageName, sizeof(header.stageName), "Stand-in Arena");
    CByteWriter file;
    file.U32(0);
    WriteReplayHeader(&file, header);
    WriteReplaySettingBlock(&file, *setting);
    for (uint32_t frame = 0; frame < 20; ++frame)
    {
        file.U32(15 + frame % 4);
        for (int human = 0; human < 2; ++human)
        {
            for (int i = 0; i < 15; ++i)
                file.U8(static_cast<uint8_t>(frame * 7 + i + human));
        }
    }
    FreeBattleSetting(setting);
    std::vector<uint8_t> bytes = file.GetBytes();
    bool ok = WriteSeed(folder, "battle", bytes);
    bytes.resize(bytes.size() - 20);
    ok = ok && WriteSeed(folder, "cut", bytes);
    return ok ? 0 : 1;
}
