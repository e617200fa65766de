#include "engine/render/CModelBone.h"

CGraphics* CModelBone::s_graphics = nullptr;

namespace
{
bool Contains(const CResourceList<CModelBone*>* bones, const CModelBone* bone)
{
    for (uint32_t i = 0; i < bones->GetCount(); ++i)
    {
        if (bones->GetItem(i) == bone)
            return true;
    }
    return false;
}
}

CModelBone::CModelBone() = default;

CModelBone::~CModelBone()
{
    CModelBone::Release();
}

uint32_t CModelBone::Release()
{
    m_children.Release();
    m_weights.Release();
    m_parent = nullptr;
    return CResourceBase::Release();
}

uint32_t CModelBone::CheckHierarchy(const CResourceList<CModelBone*>* bones)
{
    if (bones == nullptr)
        return 0;
    if (m_parent != nullptr && !Contains(bones, m_parent))
        return 0;
    for (uint32_t i = 0; i < m_children.GetCount();)
    {
        if (Contains(bones, m_children.GetItem(i)))
        {
            ++i;
            continue;
        }
        if (!m_children.RemoveAt(i))
            return 0;
    }
    return 1;
}
