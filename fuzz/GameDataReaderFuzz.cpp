// Reads arbitrary bytes with one game-data reader, chosen at build time by
// KVR_GAME_DATA_READER (see fuzz/CMakeLists.txt). A file is accepted only in
// its one canonical form, so whatever loads must save back to exactly the
// bytes it came from.
#include "engine/core/CByteWriter.h"
#include "game/actor/CBulletDefinition.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CClothesDefinition.h"
#include "game/actor/CEffectPlayerRecord.h"
#include "game/actor/CElementAttackDefinition.h"
#include "game/actor/CElementDefinition.h"
#include "game/actor/CItemDefinition.h"
#include "game/actor/CStageDefinition.h"
#include "game/actor/CStageObjectDefinition.h"
#include "game/actor/CWeaponDefinition.h"

#include <cstdint>
#include <cstring>
#include <tuple>
#include <vector>

#ifndef KVR_GAME_DATA_READER
#error "KVR_GAME_DATA_READER picks the reader"
#endif

namespace
{
// In the order of the reader names in fuzz/CMakeLists.txt.
using Readers = std::tuple<CCharacterDefinition, CWeaponDefinition, CBulletDefinition, CClothesDefinition,
                           CElementAttackDefinition, CElementDefinition, CItemDefinition, CStageDefinition,
                           CStageObjectDefinition, CEffectPlayerRecord>;
using Reader = std::tuple_element_t<KVR_GAME_DATA_READER, Readers>;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Reader definition;
    if (definition.Load(data, size) == 0)
        return 0;
    CByteWriter writer;
    definition.Save(&writer);
    const std::vector<uint8_t>& bytes = writer.GetBytes();
    if (bytes.size() != size || (size != 0 && std::memcmp(bytes.data(), data, size) != 0))
        __builtin_trap();
    return 0;
}
