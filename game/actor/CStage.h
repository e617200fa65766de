#pragma once

#include "engine/core/CObjectBase.h"
#include "game/actor/CCollisionWorld.h"
#include "game/actor/CElement.h"
#include "game/actor/CStageDefinition.h"
#include "game/actor/CStageObject.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class CGameDataLists;
class CMesh;
class CStateHash;
struct CFieldLists;

// A battle stage: its definition, its collision (ground and hit models,
// the stage objects' boxes), its start points and extent, and the stage
// objects, whose boxes break, drop a weapon or an item and come back.
class CStage : public CObjectBase, public CCollisionWorld
{
public:
    explicit CStage(const CStageDefinition& definition);
    const char* GetClassName() const override { return "CStage"; }

    // The models resolved for the definition's ground and hit model names.
    void SetModels(CMesh* ground, CMesh* hit);
    // 0 without a ground or a hit model: a stage that collides with
    // nothing is no stage.
    int Create(uintptr_t argument) override;
    // Broken boxes count towards their return, and those due stand again
    // where none of the fighters of the frame (a tag_TOLQBATTLEFRAME, or 0
    // for none) stands in their place.
    int Update(uintptr_t frame) override;
    // Draws at once (the solid world goes first, for the shadows and the
    // render list to lie on): the display model, then the model of every
    // stage object whose box stands. The argument is not used.
    int Render(uintptr_t argument) override;

    // Places the definition's objects from the templates (found by name, in
    // list order). What breaks drops into field: weapons whose type bit is in
    // weaponMask, items whose kind bit is in itemMask, plus a "Juel" under
    // rule3. Null lists: nothing drops.
    uint32_t CreateStageObjects(const CGameDataLists* templates, CFieldLists* field, uint32_t weaponMask,
                                uint32_t itemMask, uint32_t rule3, uint32_t elementMask = 0x7F);
    // The masks that drops and altars follow from now on.
    void SetObjectParams(uint32_t weaponMask, uint32_t itemMask, uint32_t elementMask);
    // Destroys every placed object, its box and its element.
    void ReleaseStageObjects();
    // Every broken object returns (at once where no fighter of the last
    // update stands in its place, else once it is clear), and every altar
    // runs its reset check.
    void ResetPlacedObjects();
    // Altars (kinds 1-7) whose element is idle and allowed by the element
    // mask spawn it.
    void ResetStageObjects();
    // The altars' elements, in placement order, for the frame.
    CElement** GetElements() { return m_elementPointers.data(); }
    uint32_t GetElementCount() const { return static_cast<uint32_t>(m_elementPointers.size()); }
    uint32_t DamageBox(uint32_t index, uint32_t amount) override;

    const CStageDefinition& GetDefinition() const { return m_definition; }
    const std::vector<CStageObject>& GetStageObjects() const { return m_objects; }
    const std::vector<CStageObject>& GetStageObjectList() const { return m_objects; }
    // Position and rotation of each start point.
    const std::vector<CStageDefinition::StartPoint>& GetStartPoints() const { return m_definition.starts; }
    void HashState(CStateHash* hash) const;

private:
    void Drop(const CStageObject& object);
    // The upright boxes of the frame's fighters, kept until the next update.
    void NoteOccupants(const struct tag_TOLQBATTLEFRAME* frame);
    // Stands a returning object again when no occupant is in its place.
    void ReturnWhenClear(CStageObject* object);

    CStageDefinition m_definition;
    CMesh* m_ground = nullptr;
    CMesh* m_hit = nullptr;
    CMesh* m_display = nullptr;
    bool m_displayLooked = false;
    std::vector<CStageObject> m_objects;
    // Minimum corner, then maximum corner, of each fighter's body.
    std::vector<std::array<float, 6>> m_occupants;
    const CGameDataLists* m_templates = nullptr;
    CFieldLists* m_field = nullptr;
    uint32_t m_weaponMask = 0;
    uint32_t m_itemMask = 0;
    uint32_t m_rule3 = 0;
    uint32_t m_elementMask = 0x7F;
    std::vector<std::unique_ptr<CElement>> m_elements;
    std::vector<CElement*> m_elementPointers;
};
