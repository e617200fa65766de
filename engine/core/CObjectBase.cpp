#include "engine/core/CObjectBase.h"

CObjectBase::CObjectBase(const CObjectBase& other, int duplicate)
    : CResourceBase(other, duplicate)
{
    CopyFields(other);
}

CObjectBase& CObjectBase::operator=(const CObjectBase& other)
{
    if (this == &other)
        return *this;
    CResourceBase::operator=(other);
    CopyFields(other);
    return *this;
}

void CObjectBase::CopyFields(const CObjectBase& other)
{
    m_position = other.m_position;
    m_rotation = other.m_rotation;
    m_scale = other.m_scale;
    m_color = other.m_color;
    m_blendMode = other.m_blendMode;
    m_priority = other.m_priority;
    m_renderOption = other.m_renderOption;
    m_world = other.m_world;
    m_line = other.m_line;
    m_viewPosition = other.m_viewPosition;
    m_radius = other.m_radius;
    m_useRenderList = other.m_useRenderList;
    m_renderArgument = other.m_renderArgument;
}

void CObjectBase::SetPosition(const CkvrVector3* position)
{
    if (position != nullptr)
        m_position = *position;
}

void CObjectBase::SetRotation(const CkvrVector3* rotation)
{
    if (rotation != nullptr)
        m_rotation = *rotation;
}

void CObjectBase::UpdateWorldMatrix()
{
    m_world.SetRotation(&m_rotation);
    const float scale[3] = {m_scale.x, m_scale.y, m_scale.z};
    for (int row = 0; row < 3; ++row)
    {
        for (int column = 0; column < 4; ++column)
            m_world.m[row * 4 + column] *= scale[row];
    }
    // Post-multiplying by a translation: each row gains its w times the
    // position, so the fourth row (w = 1) becomes the position.
    const float position[3] = {m_position.x, m_position.y, m_position.z};
    for (int row = 0; row < 4; ++row)
    {
        const float w = m_world.m[row * 4 + 3];
        for (int column = 0; column < 3; ++column)
            m_world.m[row * 4 + column] += w * position[column];
    }
}
