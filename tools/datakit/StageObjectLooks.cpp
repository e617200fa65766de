// The arena's objects as coloured blocks.
#include "tools/datakit/StageObjectLooks.h"

#include "game/actor/CGameDataLists.h"
#include "game/actor/CStageObjectDefinition.h"
#include "tools/datakit/ModelBuilding.h"

namespace
{
// The elements' colours, by element number: fire, water, wind, earth,
// thunder, light, dark.
const CkvrVector4 kElementColours[7] = {
    {0.9f, 0.2f, 0.1f, 1.0f},  {0.15f, 0.4f, 0.95f, 1.0f}, {0.4f, 0.9f, 0.6f, 1.0f}, {0.6f, 0.4f, 0.2f, 1.0f},
    {0.95f, 0.85f, 0.1f, 1.0f}, {0.95f, 0.95f, 0.9f, 1.0f}, {0.25f, 0.1f, 0.35f, 1.0f},
};
const CkvrVector4 kWeaponBoxColour(0.15f, 0.75f, 0.2f, 1.0f);
const CkvrVector4 kItemBoxColour(0.6f, 0.2f, 0.8f, 1.0f);
const CkvrVector4 kPropColour(0.55f, 0.55f, 0.6f, 1.0f);

std::string ModelName(const char* objectName)
{
    return std::string("Object_") + objectName + ".mdl";
}

CkvrVector4 ColourOf(const CStageObjectDefinition& object)
{
    if (object.kind == CStageObjectDefinition::KIND_WEAPON_BOX)
        return kWeaponBoxColour;
    if (object.kind == CStageObjectDefinition::KIND_ITEM_BOX)
        return kItemBoxColour;
    if (object.kind >= CStageObjectDefinition::KIND_ALTAR_FIRST && object.kind <= CStageObjectDefinition::KIND_ALTAR_LAST)
        return kElementColours[object.kind - CStageObjectDefinition::KIND_ALTAR_FIRST];
    return kPropColour;
}

}

void StageObjectLooks::Dress(CStageObjectDefinition* object)
{
    object->model = ModelName(object->name);
}

std::vector<StageObjectLooks::ModelFile> StageObjectLooks::Models(const std::vector<GameDataKit::GameFile>& files)
{
    std::vector<ModelFile> models;
    for (const GameDataKit::GameFile& file : files)
    {
        if (CGameDataLists::GetListOfFile(file.name.c_str()) != CGameDataLists::LIST_STAGE_OBJECTS)
            continue;
        CStageObjectDefinition object;
        if (object.Load(file.bytes.data(), file.bytes.size()) == 0)
            continue;
        // Its foot at the model's origin, as the stage places it.
        const CkvrVector3& h = object.halfSize;
        models.push_back({"Model\\" + ModelName(object.name),
                          ModelBuilding::BlockModel(object.name, CkvrVector3(-h.x, 0.0f, -h.z),
                                                    CkvrVector3(h.x, 2.0f * h.y, h.z), ColourOf(object))});
    }
    return models;
}
