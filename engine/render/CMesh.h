#pragma once

#include "engine/core/CResourceBase.h"
#include "engine/core/CResourceList.h"
#include "engine/core/CkvrMatrix.h"

#include <cstdint>

class CAnimationController;
class CGraphics;
class CModelAnimation;
class CModelBone;
class CModelObject;
class CShader;
class CTexture;

// The loaded form of one model file: model objects, the skeleton (bone 0 is
// always "root"), named bone sets, bone animations and one animation
// controller over them.
class CMesh : public CResourceBase
{
public:
    // Meshes with more bones than this draw without the default effect.
    static constexpr uint32_t MAX_EFFECT_BONES = 75;

    CMesh();
    CMesh(const CMesh&) = delete;
    CMesh& operator=(const CMesh&) = delete;
    ~CMesh() override;

    static void SetGraphics(CGraphics* graphics) { s_graphics = graphics; }
    static CGraphics* GetGraphics() { return s_graphics; }

    uint32_t Release() override;
    const char* GetClassName() const override { return "CMesh"; }

    // A failed load leaves the mesh empty.
    uint32_t LoadFromFile(const char* fileName, CResourceList<CTexture*>* textures, CResourceList<CShader*>* effects);
    uint32_t LoadFromPack(const void* data, const char* name, uint32_t size, CResourceList<CTexture*>* textures,
                          CResourceList<CShader*>* effects);
    uint32_t SaveToFile(const char* fileName);
    uint32_t LoadBoneSets(const char* fileName);
    CAnimationController* CreateAnimationController();
    uint32_t Refresh(const CResourceList<CTexture*>* textures, const CResourceList<CShader*>* effects);

    uint32_t DrawObjects(const CkvrMatrix* world);
    uint32_t DrawStatic(const CkvrMatrix* world, const CkvrVector4* option);
    uint32_t DrawSkinned(const CkvrMatrix* world, const CkvrVector4* option, CAnimationController* controller);
    uint32_t DrawSkinnedDefault(const CkvrMatrix* world, CAnimationController* controller);
    uint32_t DrawAnimated(const CkvrMatrix* world, float timeStep, uint32_t animation);
    uint32_t DrawAnimatedEx(const CkvrMatrix* world, const CkvrVector4* option, float timeStep, uint32_t animation);

    uint32_t GetBoundingBox(CkvrVector3* centre, CkvrVector3* halfSize) const;
    uint32_t GetBoundingSphere(CkvrVector3* centre, float* radius) const;
    uint32_t GetBoneBox(CkvrVector3* centre, CkvrVector3* halfSize, uint32_t bone) const;
    uint32_t CreateBoneBoxes(float** out) const;
    uint32_t GetBoneSphere(float* sphere, uint32_t bone) const;
    uint32_t CreateBoneSpheres(float** out) const;

    CResourceList<CModelObject*>* GetObjectList() { return &m_objects; }
    CResourceList<CModelBone*>* GetBoneList() { return &m_bones; }
    CResourceList<CResourceList<CModelBone*>*>* GetBoneSetList() { return &m_boneSets; }
    CResourceList<CModelAnimation*>* GetAnimationList() { return &m_animations; }
    CAnimationController* GetAnimationController() const { return m_controller; }

private:
    uint32_t FinishLoad();
    // Positions of the vertices weighted to a bone; false for none.
    template <class Visit>
    bool VisitBoneVertices(uint32_t bone, Visit visit) const;
    CShader* EffectForDraw() const;

    CResourceList<CModelObject*> m_objects;
    CResourceList<CModelBone*> m_bones;
    CResourceList<CResourceList<CModelBone*>*> m_boneSets;
    CResourceList<CModelAnimation*> m_animations;
    CAnimationController* m_controller = nullptr;

    static CGraphics* s_graphics;
};
