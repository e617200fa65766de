#pragma once

#include "engine/core/CKeyFrameList.h"
#include "engine/core/CList.h"
#include "engine/core/CRect.h"
#include "engine/core/CResourceBase.h"
#include "engine/core/CkvrLine.h"
#include "engine/effect/EffectRecords.h"

#include <cstdint>
#include <cstdio>

// One element of an effect definition: what it shows (a textured quad, a
// model, a sound or a nested container), nine keyframe tracks that drive
// its placement, colour, texture window, model animation and triggers,
// the two parameter blocks and the ribbon trails of its particles. Live
// effects and particles only read it.
class CEffectObject : public CResourceBase
{
public:
    // Longest name, resource file name or trail texture name a file may
    // hold; longer counts mark a damaged file.
    static constexpr uint32_t kMaxNameLength = 1u << 16;

    CEffectObject();
    CEffectObject(const char* resourceFile, CResourceBase* resource);
    CEffectObject(const char* name, const char* resourceFile, CResourceBase* resource);
    CEffectObject(const CEffectObject& other);
    CEffectObject& operator=(const CEffectObject&) = delete;
    ~CEffectObject() override;

    uint32_t Release() override;
    const char* GetClassName() const override { return "CEffectObject"; }

    // One object record at the stream's position (the stream stays open);
    // without a stream the path is opened and closed. 1/0.
    int Write(const char* path, FILE* stream) const;
    int Read(const char* path, FILE* stream);
    int CopyTo(CEffectObject* target) const;

    void SetResourceFile(const char* name, CResourceBase* resource);
    // Attaches a resolved resource and sets the kind from its name.
    void SetResource(CResourceBase* resource);
    void SetParameters(const tag_KVREFFECTPARAMETER* block);
    void SetParticleParameters(const tag_KVRPARTICLEPARAMETER* block);
    // Appends a trail; the record's texture name is copied.
    int AddTrace(const tag_KVRPARTICLETRACEDATA& trace);

    CResourceBase* GetResource() const { return m_resource; }
    const char* GetResourceFile() const { return m_resourceFile; }
    CKeyFrameList<CkvrLine>* GetPositionTrack() { return &m_position; }
    CKeyFrameList<CkvrVector3>* GetRotationTrack() { return &m_rotation; }
    CKeyFrameList<CkvrVector3>* GetScalingTrack() { return &m_scaling; }
    CKeyFrameList<CkvrVector4>* GetColorTrack() { return &m_color; }
    CKeyFrameList<CkvrVector3>* GetUVTrack() { return &m_uv; }
    CKeyFrameList<CRect>* GetRectTrack() { return &m_rect; }
    CKeyFrameList<uint32_t>* GetAnimationTrack() { return &m_animation; }
    CKeyFrameList<uint32_t>* GetParticleTrack() { return &m_particle; }
    CKeyFrameList<float>* GetPlayTrack() { return &m_play; }
    CList<tag_KVRPARTICLETRACEDATA>* GetTraceList() { return &m_traces; }
    tag_KVREFFECTPARAMETER* GetParameters() { return &m_parameters; }
    tag_KVRPARTICLEPARAMETER* GetParticleParameters() { return &m_particleParameters; }
    const CKeyFrameList<CkvrLine>* GetPositionTrack() const { return &m_position; }
    const CKeyFrameList<CkvrVector3>* GetRotationTrack() const { return &m_rotation; }
    const CKeyFrameList<CkvrVector3>* GetScalingTrack() const { return &m_scaling; }
    const CKeyFrameList<CkvrVector4>* GetColorTrack() const { return &m_color; }
    const CKeyFrameList<CkvrVector3>* GetUVTrack() const { return &m_uv; }
    const CKeyFrameList<CRect>* GetRectTrack() const { return &m_rect; }
    const CKeyFrameList<uint32_t>* GetAnimationTrack() const { return &m_animation; }
    const CKeyFrameList<uint32_t>* GetParticleTrack() const { return &m_particle; }
    const CKeyFrameList<float>* GetPlayTrack() const { return &m_play; }
    const CList<tag_KVRPARTICLETRACEDATA>* GetTraceList() const { return &m_traces; }
    const tag_KVREFFECTPARAMETER* GetParameters() const { return &m_parameters; }
    const tag_KVRPARTICLEPARAMETER* GetParticleParameters() const { return &m_particleParameters; }

    const char* GetParentName() const { return m_parentName; }
    // Replaces the stored parent name (null clears it). 1/0.
    int SetParentName(const char* name);
    CEffectObject* GetParent() const { return m_parent; }
    void SetParent(CEffectObject* parent) { m_parent = parent; }

private:
    void NameTracks();
    void TakeKind(const char* name, const CResourceBase* resource);
    void FreeTraceNames();
    int WriteRecord(FILE* file) const;
    int ReadRecord(FILE* file);
    // Reads a stored block count and the block image into out (at most
    // size bytes); a stored count larger than the block fails.
    static bool ReadBlock(FILE* file, uint8_t* out, uint32_t size);

    char* m_resourceFile = nullptr;
    CResourceBase* m_resource = nullptr;
    CKeyFrameList<CkvrLine> m_position;
    CKeyFrameList<CkvrVector3> m_rotation;
    CKeyFrameList<CkvrVector3> m_scaling;
    CKeyFrameList<CkvrVector4> m_color;
    CKeyFrameList<CkvrVector3> m_uv;
    CKeyFrameList<CRect> m_rect;
    CKeyFrameList<uint32_t> m_animation;
    CKeyFrameList<uint32_t> m_particle;
    CKeyFrameList<float> m_play;
    CList<tag_KVRPARTICLETRACEDATA> m_traces;
    tag_KVREFFECTPARAMETER m_parameters{};
    tag_KVRPARTICLEPARAMETER m_particleParameters{};
    char* m_parentName = nullptr;
    CEffectObject* m_parent = nullptr;
};
