// Reads arbitrary bytes as every game-data format and as an effect-player
// record. A file is accepted only in its one canonical form, so whatever
// loads must save back to exactly the bytes it came from.
#include "engine/core/CByteWriter.h"
#include "game/actor/CGameDataLists.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace
{
template <class T>
void Check(const uint8_t* data, size_t size)
{
    T definition;
    if (definition.Load(data, size) == 0)
        return;
    CByteWriter writer;
    definition.Save(&writer);
    const std::vector<uint8_t>& bytes = writer.GetBytes();
    if (bytes.size() != size || (size != 0 && std::memcmp(bytes.data(), data, size) != 0))
        __builtin_trap();
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Check<CCharacterDefinition>(data, size);
    Check<CWeaponDefinition>(data, size);
    Check<CBulletDefinition>(data, size);
    Check<CClothesDefinition>(data, size);
    Check<CElementAttackDefinition>(data, size);
    Check<CElementDefinition>(data, size);
    Check<CItemDefinition>(data, size);
    Check<CStageDefinition>(data, size);
    Check<CStageObjectDefinition>(data, size);
    Check<CEffectPlayerRecord>(data, size);
    CGameDataLists lists;
    for (const char* name : {"a.chr", "a.swp", "a.lwp", "a.spw", "a.blt", "a.cls", "a.ela", "a.eba", "a.ema", "a.elt",
                             "a.itm", "a.stg", "a.sto", "a.sro"})
        lists.LoadFile(name, data, size);
    return 0;
}
