#include "engine/render/CModelAnimation.h"

CGraphics* CModelAnimation::s_graphics = nullptr;

namespace
{
template <class T>
float LastKeyTime(const CKeyFrameList<T>* track)
{
    if (track == nullptr || track->GetCount() == 0)
        return 0.0f;
    return track->GetAt(track->GetCount() - 1)->time;
}
}

CModelAnimation::CModelAnimation() = default;

CModelAnimation::~CModelAnimation()
{
    CModelAnimation::Release();
}

void CModelAnimation::FreeTracks(tag_KVRBONEANIMATION* record)
{
    delete record->position;
    delete record->scaling;
    delete record->rotation;
    record->position = nullptr;
    record->scaling = nullptr;
    record->rotation = nullptr;
}

uint32_t CModelAnimation::Release()
{
    for (uint32_t i = 0; i < m_tracks.GetCount(); ++i)
        FreeTracks(m_tracks.GetAt(i));
    m_tracks.Release();
    return CResourceBase::Release();
}

uint32_t CModelAnimation::DropMissingBones(const CResourceList<CModelBone*>* bones)
{
    if (bones == nullptr)
        return 0;
    for (uint32_t i = 0; i < m_tracks.GetCount();)
    {
        tag_KVRBONEANIMATION* record = m_tracks.GetAt(i);
        bool found = false;
        for (uint32_t b = 0; b < bones->GetCount() && !found; ++b)
            found = record->bone != nullptr && bones->GetItem(b) == record->bone;
        if (found)
        {
            ++i;
            continue;
        }
        FreeTracks(record);
        if (!m_tracks.RemoveAt(i))
            return 0;
    }
    return 1;
}

float CModelAnimation::GetLength() const
{
    float length = 0.0f;
    for (uint32_t i = 0; i < m_tracks.GetCount(); ++i)
    {
        const tag_KVRBONEANIMATION* record = m_tracks.GetAt(i);
        for (float t : {LastKeyTime(record->position), LastKeyTime(record->scaling), LastKeyTime(record->rotation)})
            length = t > length ? t : length;
    }
    return length;
}
