#pragma once

#include "engine/core/CList.h"
#include "engine/core/CkvrMatrix.h"
#include "engine/render/ModelTypes.h"

#include <utility>
#include <vector>

class CGraphics;
class CModelAnimation;
class CModelBone;
class CShader;

// What the swing steps of one dynamic bone share for one pose.
struct SwingFrame
{
    CkvrVector3 centre;    // the bone sphere's centre, bind space
    CkvrVector3 head;      // bind space
    CkvrVector3 direction; // posed, from head to centre, unit length
    CkvrMatrix inverseRotation;
    float inverseResistance;
    float scale;
};

// Playback state of one bone.
struct tag_KVRBONESTATE
{
    uint32_t index;
    CkvrMatrix skin;
    CkvrMatrix previousSkin;
    CkvrMatrix combined;
    CkvrMatrix parentRelative;
    CkvrMatrix local;
    CkvrMatrix boneFrameRotation;
    CkvrMatrix pivotRotation;
    CkvrMatrix spare;
    CkvrVector3 position;
    CkvrVector3 scale;
    CkvrQuaternion rotation;
    CkvrVector3 previousPosition;
    CkvrVector3 previousScale;
    CkvrQuaternion previousRotation;
    CkvrVector3 fromPosition;
    CkvrVector3 fromScale;
    CkvrQuaternion fromRotation;
    CkvrVector3 swingOffset;
    CkvrVector3 swingForce;
    tag_KVRBONEANIMATION* track;
    float blendTime;
    float time;
    uint32_t loop;
    uint32_t hold;
    CModelBone* bone;
    tag_KVRBONESTATE* parent;
    CList<tag_KVRBONESTATE*>* children;
};

// Plays a mesh's bone animations on its bones and turns them, once per
// frame, into one skinning matrix per bone. Times are ticks (4800 a
// second); Update and the blend time of Play take seconds.
//
// Bones marked dynamic ignore their keys: each pose they swing under
// gravity, a wind, their parent's motion and collisions with each other,
// damped by their resistance over the frame timer's elapsed time.
class CAnimationController
{
public:
    static constexpr float TIME_SCALE = 4800.0f;

    CAnimationController();
    CAnimationController(CResourceList<CModelBone*>* bones, CResourceList<CModelAnimation*>* animations);
    CAnimationController(const CAnimationController&) = delete;
    CAnimationController& operator=(const CAnimationController&) = delete;
    virtual ~CAnimationController();
    virtual const char* GetClassName() const { return "CAnimationController"; }

    static void SetGraphics(CGraphics* graphics) { s_graphics = graphics; }

    uint32_t Play(uint32_t index, float blendSeconds, uint32_t loop, int32_t mode);
    uint32_t Play(uint32_t index, float startTicks, float blendSeconds, uint32_t loop, int32_t mode);
    uint32_t SetMode(int32_t mode);
    uint32_t Update(float seconds);
    void UpdatePose(const CkvrMatrix* root);
    // The palette to the effect parameter (count = bones), or without an
    // effect to the device's world matrices 256 + i.
    void SetBoneMatrices(const char* parameter, CShader* effect);
    CkvrMatrix* GetBoneMatrices() { return m_boneMatrices; }
    uint32_t GetBoneCount() const { return m_states.GetCount(); }
    CList<tag_KVRBONESTATE>* GetBoneStateList() { return &m_states; }
    uint32_t IsAnimationEnd(float marginTicks) const;
    float GetAnimationLength(uint32_t index) const;
    float GetCurrentAnimationLength() const;
    void ResetPose();
    // Every state of every dynamic chain: swing offset and force := offset
    // (zero for null), or += offset.
    void SetBoneOffsets(const CkvrVector3* offset);
    void AddBoneOffsets(const CkvrVector3* offset);
    // Debug spheres through the primitive renderer (white for null).
    uint32_t DrawCollisionSpheres(const CkvrVector4* color);
    uint32_t DrawBoneCentres(const CkvrVector4* color, float radius);
    // Destroys the controller; the caller drops its pointer.
    void Release();

    const CkvrMatrix& GetRootMatrix() const { return m_root; }

    static uint32_t SlerpKeyInterpolator(const CkvrQuaternion* a, const CkvrQuaternion* b, float u,
                                         CkvrQuaternion* out);

private:
    void FreeStates();
    tag_KVRBONESTATE* FindState(const CModelBone* bone);
    void SampleState(tag_KVRBONESTATE* state, float ticks);
    // Poses one keyed state; false for a state the walk does not enter.
    bool PoseState(tag_KVRBONESTATE* state, const CkvrMatrix* parent);
    // Poses one state of a dynamic chain and swings it.
    bool PoseDynamic(tag_KVRBONESTATE* state, const CkvrMatrix* parent);
    // Depth-first from start, without recursion: a skeleton read from a
    // file may be one chain of any length.
    void PoseWalk(tag_KVRBONESTATE* start, const CkvrMatrix* parent, bool dynamicChain);
    void BindWalk(tag_KVRBONESTATE* start);
    // The rotation about a matrix's own position, in the root's orientation.
    CkvrMatrix Pivot(const tag_KVRBONESTATE* state, const CkvrMatrix& m) const;
    SwingFrame MakeSwingFrame(const tag_KVRBONESTATE* state) const;
    // Gravity and wind, on the first bone of a chain.
    void AddExternalForce(tag_KVRBONESTATE* state, const SwingFrame& frame, float elapsed) const;
    // The parent's motion since the last pose.
    void AddInertia(tag_KVRBONESTATE* state, const SwingFrame& frame) const;
    void CollideSwing(tag_KVRBONESTATE* state, const CkvrMatrix& inverseRotation, float scale);
    template <class Visit>
    void ForEachChainState(Visit visit);

    CkvrMatrix m_root;
    CResourceList<CModelBone*>* m_bones = nullptr;
    CResourceList<CModelAnimation*>* m_animations = nullptr;
    CList<tag_KVRBONESTATE> m_states;
    CList<tag_KVRBONESTATE*> m_chainRoots;
    float m_timeScale = TIME_SCALE;
    float m_gravity = -9.8f;
    CkvrVector3 m_wind{0.0f, 0.0f, 1.0f};
    CkvrMatrix* m_boneMatrices = nullptr;
    // The walks' own stack, kept between frames.
    std::vector<std::pair<tag_KVRBONESTATE*, const CkvrMatrix*>> m_walk;

    static CGraphics* s_graphics;
};
