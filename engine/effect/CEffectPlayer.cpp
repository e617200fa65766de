#include "engine/effect/CEffectPlayer.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/FileIo.h"
#include "engine/effect/CEffectContainer.h"
#include "engine/effect/EffectRecords.h"

#include <cstring>

namespace
{
void PutF32(uint8_t*& out, float v)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &v, 4);
    StoreU32LE(out, bits);
    out += 4;
}

float GetF32(const uint8_t*& in)
{
    const uint32_t bits = LoadU32LE(in);
    in += 4;
    float v = 0.0f;
    std::memcpy(&v, &bits, 4);
    return v;
}

CKeyFrameList<float>* NewPlayTrack()
{
    CKeyFrameList<float>* track = new CKeyFrameList<float>();
    track->SetName("Play");
    return track;
}
}

CEffectPlayer::CEffectPlayer() : CObjectBase("EffectPlayer")
{
    Reset();
}

CEffectPlayer::CEffectPlayer(const char* name) : CObjectBase(name)
{
    Reset();
}

CEffectPlayer::CEffectPlayer(const CEffectPlayer& other) : CObjectBase(other)
{
    m_parameters = other.m_parameters;
    m_controller = other.m_controller;
    m_container = other.m_container;
    m_containerName = CopyAlignedString(other.m_containerName);
    m_playTrack = other.m_playTrack != nullptr ? new CKeyFrameList<float>(*other.m_playTrack) : NewPlayTrack();
}

CEffectPlayer::~CEffectPlayer()
{
    CEffectPlayer::Release();
}

void CEffectPlayer::Reset()
{
    m_parameters = tag_KVREFFECTPLAYERPARAMETER{};
    m_parameters.scale = CkvrVector3(1.0f, 1.0f, 1.0f);
    m_parameters.color = CkvrVector4(1.0f, 1.0f, 1.0f, 1.0f);
    m_playTrack = NewPlayTrack();
    m_containerName = nullptr;
    m_controller = nullptr;
    m_container = nullptr;
}

uint32_t CEffectPlayer::Release()
{
    AlignedFree(m_containerName);
    m_containerName = nullptr;
    if (m_playTrack != nullptr)
    {
        m_playTrack->Release();
        delete m_playTrack;
        m_playTrack = nullptr;
    }
    CObjectBase::Release();
    return 1;
}

int CEffectPlayer::SetContainerName(const char* name)
{
    char* copy = CopyAlignedString(name);
    if (name != nullptr && copy == nullptr)
        return 0;
    AlignedFree(m_containerName);
    m_containerName = copy;
    return 1;
}

void CEffectPlayer::EncodeParameters(const tag_KVREFFECTPLAYERPARAMETER& b, uint8_t out[kParameterSize])
{
    uint8_t* p = out;
    for (float v : {b.position.x, b.position.y, b.position.z, b.direction.x, b.direction.y, b.direction.z,
                    b.scale.x, b.scale.y, b.scale.z, b.color.x, b.color.y, b.color.z, b.color.w, b.timeLimit})
        PutF32(p, v);
    StoreU32LE(p, b.attachMode);
    p += 4;
    std::memcpy(p, b.boneName, sizeof(b.boneName));
}

void CEffectPlayer::DecodeParameters(const uint8_t in[kParameterSize], tag_KVREFFECTPLAYERPARAMETER* b)
{
    const uint8_t* p = in;
    float* fields[] = {&b->position.x, &b->position.y, &b->position.z, &b->direction.x, &b->direction.y,
                       &b->direction.z, &b->scale.x, &b->scale.y, &b->scale.z, &b->color.x,
                       &b->color.y, &b->color.z, &b->color.w, &b->timeLimit};
    for (float* field : fields)
        *field = GetF32(p);
    b->attachMode = LoadU32LE(p);
    p += 4;
    std::memcpy(b->boneName, p, sizeof(b->boneName));
}

int CEffectPlayer::Load(const char* path, FILE* stream)
{
    if (stream != nullptr)
        return ReadRecord(stream);
    FileHandle own = OpenFile(path, "rb");
    return own ? ReadRecord(own.get()) : 0;
}

int CEffectPlayer::Save(const char* path, FILE* stream) const
{
    if (stream != nullptr)
        return WriteRecord(stream);
    FileHandle own = OpenFile(path, "wb");
    if (!own || !WriteRecord(own.get()))
        return 0;
    return CloseWrittenFile(std::move(own)) ? 1 : 0;
}

int CEffectPlayer::ReadRecord(FILE* file)
{
    char* name = nullptr;
    if (!ReadCountedString(file, kMaxNameLength, &name))
        return 0;
    uint8_t block[kParameterSize];
    CKeyFrameList<float>* track = NewPlayTrack();
    if (!ReadBytes(file, block, sizeof(block)) || !track->Load(nullptr, file))
    {
        AlignedFree(name);
        track->Release();
        delete track;
        return 0;
    }
    AlignedFree(m_containerName);
    m_containerName = name;
    DecodeParameters(block, &m_parameters);
    if (m_playTrack != nullptr)
    {
        m_playTrack->Release();
        delete m_playTrack;
    }
    m_playTrack = track;
    return 1;
}

int CEffectPlayer::WriteRecord(FILE* file) const
{
    uint8_t block[kParameterSize];
    EncodeParameters(m_parameters, block);
    if (!WriteCountedString(file, m_containerName) || !WriteBytes(file, block, sizeof(block)))
        return 0;
    if (m_playTrack != nullptr)
        return m_playTrack->Save(nullptr, file) ? 1 : 0;
    CKeyFrameList<float>* empty = NewPlayTrack();
    const int ok = empty->Save(nullptr, file) ? 1 : 0;
    empty->Release();
    delete empty;
    return ok;
}

void CEffectPlayer::ResolveContainer(const CResourceList<CResourceBase*>* meshes,
                                     const CResourceList<CTexture*>* textures,
                                     const CResourceList<CSoundBuffer*>* sounds,
                                     const CResourceList<CResourceBase*>* effects)
{
    (void)meshes;
    (void)textures;
    (void)sounds;
    if (m_containerName == nullptr || effects == nullptr)
        return;
    m_container = dynamic_cast<CEffectContainer*>(effects->FindByFileName(m_containerName));
}
