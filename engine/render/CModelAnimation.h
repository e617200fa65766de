#pragma once

#include "engine/core/CResourceBase.h"
#include "engine/render/ModelTypes.h"

class CGraphics;

// One named animation of a mesh: a key track record per animated bone. Key
// times are ticks, 4800 a second. The tracks belong to the animation.
class CModelAnimation : public CResourceBase
{
public:
    CModelAnimation();
    ~CModelAnimation() override;

    static void SetGraphics(CGraphics* graphics) { s_graphics = graphics; }

    uint32_t Release() override;
    const char* GetClassName() const override { return "CModelAnimation"; }

    // Drops (and frees the tracks of) every record whose bone is not in
    // bones. 0 when a removal fails.
    uint32_t DropMissingBones(const CResourceList<CModelBone*>* bones);
    // The largest last key time over all tracks, in ticks.
    float GetLength() const;

    uint32_t GetStoredLength() const { return m_length; }
    void SetStoredLength(uint32_t length) { m_length = length; }
    CList<tag_KVRBONEANIMATION>* GetBoneAnimationList() { return &m_tracks; }

    // Frees the three tracks of a record and nulls them.
    static void FreeTracks(tag_KVRBONEANIMATION* record);

private:
    uint32_t m_length = 0;
    CList<tag_KVRBONEANIMATION> m_tracks;

    static CGraphics* s_graphics;
};
