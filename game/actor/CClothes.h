#pragma once

#include "engine/core/CObjectBase.h"

#include <cstdint>

class CAnimationController;
class CMesh;
struct CClothesDefinition;

// A clothes part worn by a fighter: its template, its model, and the bone
// of the wearer's model it rides on (the template's bone name; without that
// bone, the wearer's own world matrix). Purely presentation: nothing of the
// battle reads where clothes are.
class CClothes : public CObjectBase
{
public:
    explicit CClothes(const CClothesDefinition* definition);
    const char* GetClassName() const override { return "CClothes"; }

    // Resolves the model the template names (none: the part draws nothing).
    // 0 without a template.
    int Create(uintptr_t argument) override;
    int Update(uintptr_t) override { return 1; }
    // Nonzero argument: the render list, into which the part queues itself
    // when it has a model. 0 (the list drawing it back): draws the model
    // with the matrix the last Follow left.
    int Render(uintptr_t argument) override;

    // Takes the world matrix of its bone as the wearer's animation last
    // posed it, or the wearer's world matrix without that animation or bone.
    void Follow(const CkvrMatrix& wearerWorld, CAnimationController* wearerAnimation);
    // Forgets the model; a later Create finds it again.
    void ReleaseModel() { m_model = nullptr; }

    const CClothesDefinition* GetDefinition() const { return m_definition; }
    CMesh* GetModel() const { return m_model; }
    // True when the last Follow found the bone.
    bool IsOnBone() const { return m_onBone; }

private:
    const CClothesDefinition* m_definition;
    CMesh* m_model = nullptr;
    bool m_onBone = false;
};
