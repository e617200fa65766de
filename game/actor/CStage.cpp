#include "game/actor/CStage.h"

#include "engine/core/CRandom.h"
#include "engine/platform/FrameTimer.h"
#include "engine/render/CMesh.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CFieldLists.h"
#include "game/actor/CGameDataLists.h"
#include "game/actor/CStateHash.h"
#include "game/actor/tag_TOLQBATTLEFRAME.h"

#include <algorithm>
#include <memory>

CStage::CStage(const CStageDefinition& definition) : m_definition(definition)
{
    SetKind(KIND_GAME_OBJECT);
}

void CStage::SetModels(CMesh* ground, CMesh* hit)
{
    m_ground = ground;
    m_hit = hit;
}

int CStage::Create(uintptr_t)
{
    if (m_ground == nullptr || m_hit == nullptr)
        return 0;
    SetGroundMesh(m_ground);
    SetHitMesh(m_hit);
    SetExtent(m_definition.extentMin, m_definition.extentMax);
    for (const CStageDefinition::StartPoint& start : m_definition.starts)
        AddStartPoint(start.position, start.rotation);
    return 1;
}

uint32_t CStage::CreateStageObjects(const CGameDataLists* templates, CFieldLists* field, uint32_t weaponMask,
                                    uint32_t itemMask, uint32_t rule3, uint32_t elementMask)
{
    ReleaseStageObjects();
    m_elementMask = elementMask;
    m_templates = templates;
    m_field = field;
    m_weaponMask = weaponMask;
    m_itemMask = itemMask;
    m_rule3 = rule3;
    if (templates == nullptr)
        return 0;
    for (const CStageDefinition::Placement& placement : m_definition.placements)
    {
        const CStageObjectDefinition* definition = templates->FindStageObject(placement.templateName);
        if (definition == nullptr)
            continue;
        CStageObject object;
        object.definition = definition;
        const CkvrVector3 centre(placement.position.x, placement.position.y + definition->halfSize.y,
                                 placement.position.z);
        object.box = AddBox(centre, definition->halfSize, definition->life);
        object.position = placement.position;
        object.rotation = placement.rotation;
        object.model = CActorResources::FindMesh(definition->model);
        m_objects.push_back(object);
        if (definition->kind < CStageObjectDefinition::KIND_ALTAR_FIRST ||
            definition->kind > CStageObjectDefinition::KIND_ALTAR_LAST)
            continue;
        // The altar's element: the first of its kind in the list.
        for (const CElementDefinition& element : templates->elements)
        {
            if (element.element != definition->kind - CStageObjectDefinition::KIND_ALTAR_FIRST)
                continue;
            const CkvrVector3 top(centre.x, centre.y + definition->halfSize.y, centre.z);
            m_elements.push_back(std::make_unique<CElement>(&element, top));
            m_elementPointers.push_back(m_elements.back().get());
            break;
        }
    }
    return static_cast<uint32_t>(m_objects.size());
}

int CStage::Update(uintptr_t frame)
{
    NoteOccupants(reinterpret_cast<const tag_TOLQBATTLEFRAME*>(frame));
    const uint32_t milliseconds = GetElapsedMilliseconds();
    for (CStageObject& object : m_objects)
    {
        if (!GetBoxes()[object.box].broken)
            continue;
        if (!object.returning && object.definition->respawn != 0)
        {
            object.respawnClock = std::min(object.respawnClock + milliseconds, object.definition->respawn);
            object.returning = object.respawnClock == object.definition->respawn;
        }
        if (object.returning)
            ReturnWhenClear(&object);
    }
    return 1;
}

void CStage::NoteOccupants(const tag_TOLQBATTLEFRAME* frame)
{
    m_occupants.clear();
    for (uint8_t i = 0; frame != nullptr && frame->fighters != nullptr && i < frame->count; ++i)
    {
        const CCharacter* fighter = frame->fighters[i];
        const CCharacterDefinition* definition = fighter != nullptr ? fighter->GetDefinition() : nullptr;
        if (definition == nullptr)
            continue;
        const CkvrVector3& at = *fighter->GetPosition();
        const float r = definition->radius;
        m_occupants.push_back({at.x - r, at.y, at.z - r, at.x + r, at.y + definition->height, at.z + r});
    }
}

void CStage::ReturnWhenClear(CStageObject* object)
{
    const Box& box = GetBoxes()[object->box];
    const CkvrVector3 low = box.centre - box.half, high = box.centre + box.half;
    for (const std::array<float, 6>& body : m_occupants)
    {
        const bool apart = body[3] <= low.x || body[0] >= high.x || body[4] <= low.y || body[1] >= high.y ||
                           body[5] <= low.z || body[2] >= high.z;
        if (!apart)
            return;
    }
    object->respawnClock = 0;
    object->returning = false;
    RestoreBox(object->box, object->definition->life);
}

void CStage::SetObjectParams(uint32_t weaponMask, uint32_t itemMask, uint32_t elementMask)
{
    m_weaponMask = weaponMask;
    m_itemMask = itemMask;
    m_elementMask = elementMask;
}

void CStage::ReleaseStageObjects()
{
    m_objects.clear();
    m_elementPointers.clear();
    m_elements.clear();
    ClearBoxes();
}

void CStage::ResetStageObjects()
{
    for (const std::unique_ptr<CElement>& element : m_elements)
        element->ResetAtAltar(m_elementMask);
}

void CStage::ResetPlacedObjects()
{
    ResetStageObjects();
    for (CStageObject& object : m_objects)
    {
        if (!GetBoxes()[object.box].broken)
            continue;
        object.returning = true;
        ReturnWhenClear(&object);
    }
}

uint32_t CStage::DamageBox(uint32_t index, uint32_t amount)
{
    if (CCollisionWorld::DamageBox(index, amount) == 0)
        return 0;
    for (const CStageObject& object : m_objects)
    {
        if (object.box == index)
            Drop(object);
    }
    return 1;
}

void CStage::Drop(const CStageObject& object)
{
    if (m_templates == nullptr || m_field == nullptr)
        return;
    const CkvrVector3& centre = GetBoxes()[object.box].centre;
    const CkvrVector3 at(centre.x, centre.y + object.definition->halfSize.y, centre.z);
    if (object.definition->kind == CStageObjectDefinition::KIND_WEAPON_BOX)
    {
        std::vector<const CWeaponDefinition*> choices;
        for (const CWeaponDefinition& weapon : m_templates->weapons)
        {
            if (weapon.type < 32 && (m_weaponMask & (1u << weapon.type)) != 0)
                choices.push_back(&weapon);
        }
        if (!choices.empty())
        {
            std::unique_ptr<CWeapon> weapon =
                CWeapon::Make(choices[RandomInt(static_cast<uint32_t>(choices.size()))]);
            if (weapon != nullptr)
                m_field->LayWeapon(std::move(weapon), GroundBelow(this, at), 0.0f);
        }
    }
    else if (object.definition->kind == CStageObjectDefinition::KIND_ITEM_BOX)
    {
        std::vector<const CItemDefinition*> choices;
        for (const CItemDefinition& item : m_templates->items)
        {
            if ((m_itemMask & (1u << item.kind)) != 0)
                choices.push_back(&item);
        }
        if (!choices.empty())
            m_field->LayItem(std::make_unique<CItem>(choices[RandomInt(static_cast<uint32_t>(choices.size()))]), at);
    }
    if (m_rule3 != 0)
    {
        const CItemDefinition* jewel = m_templates->FindItem("Juel");
        if (jewel != nullptr)
            m_field->LayItem(std::make_unique<CItem>(jewel), at);
    }
}

void CStage::HashState(CStateHash* hash) const
{
    for (uint32_t word : {m_weaponMask, m_itemMask, m_rule3, m_elementMask})
        hash->U32(word);
    for (const CStageObject& object : m_objects)
    {
        const Box& box = GetBoxes()[object.box];
        hash->U32(box.life);
        hash->U8(box.broken ? 1 : 0);
        hash->U32(object.respawnClock);
        hash->U8(object.returning ? 1 : 0);
    }
    for (const std::unique_ptr<CElement>& element : m_elements)
        element->HashState(hash);
}

int CStage::Render(uintptr_t)
{
    if (!m_displayLooked)
    {
        m_display = CActorResources::FindMesh(m_definition.displayName);
        m_displayLooked = true;
    }
    if (CMesh::GetGraphics() == nullptr)
        return 1;
    if (m_display != nullptr)
    {
        UpdateWorldMatrix();
        m_display->DrawStatic(&m_world, &m_color);
    }
    for (const CStageObject& object : m_objects)
    {
        if (GetBoxes()[object.box].broken)
            continue;
        CMesh* model = object.model;
        if (model == nullptr)
            continue;
        CkvrMatrix world;
        world.SetRotationZXY(&object.rotation);
        world.m[12] = object.position.x;
        world.m[13] = object.position.y;
        world.m[14] = object.position.z;
        model->DrawStatic(&world, &m_color);
    }
    return 1;
}
