#include "engine/effect/CEffectObject.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/FileIo.h"
#include "engine/core/KeyFrameValue.h"
#include "engine/render/CTexture.h"

#include <cstring>

namespace
{
bool Contains(const char* text, const char* part)
{
    return std::strstr(text, part) != nullptr;
}

bool IsImageName(const char* name)
{
    for (const char* ext : {".BMP", ".bmp", ".PNG", ".png", ".DDS", ".dds"})
        if (Contains(name, ext))
            return true;
    return false;
}

bool IsModelName(const char* name)
{
    return Contains(name, ".mdl") || Contains(name, ".MDL");
}

bool IsSoundName(const char* name)
{
    for (const char* ext : {".wav", ".WAV", ".ogg", ".OGG"})
        if (Contains(name, ext))
            return true;
    return false;
}
}

CEffectObject::CEffectObject()
{
    NameTracks();
    const CkvrVector3 one(1.0f, 1.0f, 1.0f);
    m_scaling.SetDefault(&one);
    const CkvrVector4 white(1.0f, 1.0f, 1.0f, 1.0f);
    m_color.SetDefault(&white);
    m_rect.SetInterpolation(0);
    m_animation.SetInterpolation(0);
    m_particle.SetInterpolation(0);
    const uint32_t single = 1;
    m_particle.SetDefault(&single);
    const float sounding = 1.0f;
    m_play.SetDefault(&sounding);
    m_position.SetInterpolator(InterpolateLineCurve);
    m_parameters.loopMode = 1;
    m_parameters.rotationOrder = 1;
}

CEffectObject::CEffectObject(const char* resourceFile, CResourceBase* resource) : CEffectObject()
{
    SetResourceFile(resourceFile, resource);
}

CEffectObject::CEffectObject(const char* name, const char* resourceFile, CResourceBase* resource)
    : CEffectObject(resourceFile, resource)
{
    SetName(name);
}

CEffectObject::CEffectObject(const CEffectObject& other) : CEffectObject()
{
    other.CopyTo(this);
}

CEffectObject::~CEffectObject()
{
    CEffectObject::Release();
    AlignedFree(m_parentName);
    m_parentName = nullptr;
}

void CEffectObject::NameTracks()
{
    m_position.SetName("Position");
    m_rotation.SetName("Rotation");
    m_scaling.SetName("Scaling");
    m_color.SetName("Color");
    m_uv.SetName("UV");
    m_rect.SetName("Rect");
    m_animation.SetName("Animation");
    m_particle.SetName("Particle");
    m_play.SetName("Play");
    m_traces.SetName("Trace");
}

void CEffectObject::FreeTraceNames()
{
    for (uint32_t i = 0; i < m_traces.GetCount(); ++i)
    {
        tag_KVRPARTICLETRACEDATA* trace = m_traces.GetAt(i);
        AlignedFree(trace->textureName);
        trace->textureName = nullptr;
    }
}

uint32_t CEffectObject::Release()
{
    m_position.Release();
    m_rotation.Release();
    m_scaling.Release();
    m_color.Release();
    m_uv.Release();
    m_rect.Release();
    m_animation.Release();
    m_particle.Release();
    m_play.Release();
    FreeTraceNames();
    m_traces.Release();
    // The tracks keep their names: a released object still writes a
    // record that names its tracks.
    NameTracks();
    AlignedFree(m_resourceFile);
    m_resourceFile = nullptr;
    return CResourceBase::Release();
}

void CEffectObject::SetResourceFile(const char* name, CResourceBase* resource)
{
    AlignedFree(m_resourceFile);
    m_resourceFile = CopyAlignedString(name);
    m_resource = resource;
    if (name != nullptr)
        TakeKind(name, resource);
}

void CEffectObject::SetResource(CResourceBase* resource)
{
    m_resource = resource;
    if (resource != nullptr)
        TakeKind(resource->GetName(), resource);
}

// The kind a resource name (by substring) or a container resource gives;
// anything else leaves the kind as it was. An image also opens the texture
// window to the whole texture.
void CEffectObject::TakeKind(const char* name, const CResourceBase* resource)
{
    if (name != nullptr && IsImageName(name))
    {
        m_parameters.kind = EFFECTKIND_TEXTURE;
        const CTexture* texture = dynamic_cast<const CTexture*>(resource);
        if (texture != nullptr)
        {
            const CRect full(0.0f, float(texture->GetWidth()), 0.0f, float(texture->GetHeight()));
            m_rect.SetDefault(&full);
        }
    }
    else if (name != nullptr && IsModelName(name))
        m_parameters.kind = EFFECTKIND_MODEL;
    else if (name != nullptr && IsSoundName(name))
        m_parameters.kind = EFFECTKIND_SOUND;
    else if (resource != nullptr && resource->GetFlag() == KIND_EFFECT_CONTAINER)
        m_parameters.kind = EFFECTKIND_CONTAINER;
}

void CEffectObject::SetParameters(const tag_KVREFFECTPARAMETER* block)
{
    if (block != nullptr)
        m_parameters = *block;
}

void CEffectObject::SetParticleParameters(const tag_KVRPARTICLEPARAMETER* block)
{
    if (block != nullptr)
        m_particleParameters = *block;
}

int CEffectObject::SetParentName(const char* name)
{
    char* copy = CopyAlignedString(name);
    if (name != nullptr && copy == nullptr)
        return 0;
    AlignedFree(m_parentName);
    m_parentName = copy;
    return 1;
}

int CEffectObject::AddTrace(const tag_KVRPARTICLETRACEDATA& trace)
{
    tag_KVRPARTICLETRACEDATA copy = trace;
    copy.textureName = CopyAlignedString(trace.textureName);
    if (trace.textureName != nullptr && copy.textureName == nullptr)
        return 0;
    if (!m_traces.Add(copy))
    {
        AlignedFree(copy.textureName);
        return 0;
    }
    return 1;
}

int CEffectObject::CopyTo(CEffectObject* target) const
{
    if (target == nullptr || target == this)
        return target != nullptr ? 1 : 0;
    target->Release();
    int ok = m_position.CopyTo(&target->m_position) && m_rotation.CopyTo(&target->m_rotation) &&
             m_scaling.CopyTo(&target->m_scaling) && m_color.CopyTo(&target->m_color) &&
             m_uv.CopyTo(&target->m_uv) && m_rect.CopyTo(&target->m_rect) &&
             m_animation.CopyTo(&target->m_animation) && m_particle.CopyTo(&target->m_particle) &&
             m_play.CopyTo(&target->m_play);
    for (uint32_t i = 0; ok && i < m_traces.GetCount(); ++i)
        ok = target->AddTrace(*m_traces.GetAt(i));
    target->SetName(GetName());
    target->SetResourceFile(m_resourceFile, m_resource);
    target->m_parameters = m_parameters;
    target->m_particleParameters = m_particleParameters;
    return ok ? 1 : 0;
}

int CEffectObject::Write(const char* path, FILE* stream) const
{
    if (stream != nullptr)
        return WriteRecord(stream);
    FileHandle own = OpenFile(path, "wb");
    if (!own)
        return 0;
    WriteRecord(own.get());
    return CloseWrittenFile(std::move(own)) ? 1 : 0;
}

int CEffectObject::Read(const char* path, FILE* stream)
{
    Release();
    if (stream != nullptr)
        return ReadRecord(stream);
    FileHandle own = OpenFile(path, "rb");
    if (!own)
        return 0;
    return ReadRecord(own.get());
}

int CEffectObject::WriteRecord(FILE* file) const
{
    bool ok = WriteCountedString(file, GetName()) && WriteCountedString(file, m_resourceFile);
    ok = ok && m_position.Save(nullptr, file) && m_rotation.Save(nullptr, file) && m_scaling.Save(nullptr, file) &&
         m_color.Save(nullptr, file) && m_uv.Save(nullptr, file) && m_rect.Save(nullptr, file) &&
         m_animation.Save(nullptr, file) && m_particle.Save(nullptr, file) && m_play.Save(nullptr, file);

    uint8_t effect[kEffectParameterSize];
    EncodeEffectParameter(m_parameters, effect);
    tag_KVRPARTICLEPARAMETER particles = m_particleParameters;
    // The stored block always carries the number of trail records after it.
    particles.traceCount = m_traces.GetCount();
    uint8_t particle[kParticleParameterSize];
    EncodeParticleParameter(particles, particle);
    ok = ok && WriteU32LE(file, kEffectParameterSize) && WriteBytes(file, effect, sizeof(effect));
    ok = ok && WriteU32LE(file, kParticleParameterSize) && WriteBytes(file, particle, sizeof(particle));

    for (uint32_t i = 0; ok && i < m_traces.GetCount(); ++i)
    {
        const tag_KVRPARTICLETRACEDATA* t = m_traces.GetAt(i);
        ok = WriteF32LE(file, t->firstEdge.x) && WriteF32LE(file, t->firstEdge.y) && WriteF32LE(file, t->firstEdge.z) &&
             WriteF32LE(file, t->secondEdge.x) && WriteF32LE(file, t->secondEdge.y) &&
             WriteF32LE(file, t->secondEdge.z) && WriteF32LE(file, t->fade) && WriteF32LE(file, t->pull) &&
             WriteU32LE(file, t->segments) && WriteCountedString(file, t->textureName);
    }
    ok = ok && WriteCountedString(file, m_parentName);
    return ok ? 1 : 0;
}

bool CEffectObject::ReadBlock(FILE* file, uint8_t* out, uint32_t size)
{
    uint32_t stored = 0;
    if (!ReadU32LE(file, &stored) || stored > size)
        return false;
    return ReadBytes(file, out, stored);
}

int CEffectObject::ReadRecord(FILE* file)
{
    char* name = nullptr;
    if (!ReadCountedString(file, kMaxNameLength, &name))
        return 0;
    SetName(name);
    AlignedFree(name);
    if (!ReadCountedString(file, kMaxNameLength, &m_resourceFile))
        return 0;

    // Tracks check their own counts against the bytes left; a damaged
    // track fails the whole record, since nothing after it could be found.
    if (!m_position.Load(nullptr, file) || !m_rotation.Load(nullptr, file) || !m_scaling.Load(nullptr, file) ||
        !m_color.Load(nullptr, file) || !m_uv.Load(nullptr, file) || !m_rect.Load(nullptr, file) ||
        !m_animation.Load(nullptr, file) || !m_particle.Load(nullptr, file) || !m_play.Load(nullptr, file))
        return 0;
    m_position.SetInterpolator(InterpolateLineCurve);

    // A shorter stored block leaves the rest of the block as it was.
    uint8_t effect[kEffectParameterSize];
    EncodeEffectParameter(m_parameters, effect);
    if (!ReadBlock(file, effect, kEffectParameterSize))
        return 0;
    DecodeEffectParameter(effect, &m_parameters);
    uint8_t particle[kParticleParameterSize];
    EncodeParticleParameter(m_particleParameters, particle);
    if (!ReadBlock(file, particle, kParticleParameterSize))
        return 0;
    DecodeParticleParameter(particle, &m_particleParameters);

    // Each trail record takes at least 40 bytes: a count beyond what is
    // left is a damaged file, not a reason to loop for billions of records.
    const uint32_t count = m_particleParameters.traceCount;
    const int64_t remaining = RemainingFileBytes(file);
    if (remaining >= 0 && uint64_t(count) * 40u > uint64_t(remaining))
        return 0;
    if (count > 0 && !m_traces.SetCount(count))
        return 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        tag_KVRPARTICLETRACEDATA& t = *m_traces.GetAt(i);
        const bool ok = ReadF32LE(file, &t.firstEdge.x) && ReadF32LE(file, &t.firstEdge.y) &&
                        ReadF32LE(file, &t.firstEdge.z) && ReadF32LE(file, &t.secondEdge.x) &&
                        ReadF32LE(file, &t.secondEdge.y) && ReadF32LE(file, &t.secondEdge.z) &&
                        ReadF32LE(file, &t.fade) && ReadF32LE(file, &t.pull) && ReadU32LE(file, &t.segments) &&
                        ReadCountedString(file, kMaxNameLength, &t.textureName);
        // What was read so far is freed by the owner's Release.
        if (!ok)
            return 0;
    }

    char* parent = nullptr;
    if (!ReadCountedString(file, kMaxNameLength, &parent))
        return 0;
    AlignedFree(m_parentName);
    m_parentName = parent;
    return 1;
}
