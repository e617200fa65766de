#include "game/actor/CPlayer.h"

#include "engine/platform/input/CInput.h"

int CPlayer::Update(uintptr_t argument)
{
    const tag_TOLQBATTLECHARADATA* data = GetBattleData();
    if (data != nullptr && data->localInput != 0 && data->input != nullptr)
    {
        tag_TOLQINPUTRECORD record;
        if (PackInputRecord(&record, data->input->GetPadState(data->padIndex)) != 0)
            ApplyInputRecord(&record, data->input);
    }
    return CCharacter::Update(argument);
}
