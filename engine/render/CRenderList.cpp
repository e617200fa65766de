#include "engine/render/CRenderList.h"

#include "engine/core/CkvrMatrix.h"
#include "engine/platform/CGraphics.h"
#include "engine/render/CCamera.h"
#include "engine/render/CFilter.h"

#include <algorithm>
#include <cmath>

namespace
{
float DepthKey(CObjectBase* object)
{
    return object->GetViewPosition()->z + object->GetRadius();
}
}

CRenderList::CRenderList(const char* name, uint32_t capacity, CGraphics* graphics)
    : CList<CObjectBase*>(name, capacity), m_graphics(graphics)
{
    m_drawLimit = m_count;
}

CRenderList::CRenderList(const CRenderList& other)
    : CList<CObjectBase*>(other), m_drawLimit(other.m_drawLimit), m_graphics(other.m_graphics),
      m_filter(other.m_filter)
{
}

int CRenderList::Clear()
{
    m_queued = 0;
    if (m_filter == nullptr)
        return 1;
    m_filter->BeginCapture(0);
    m_filter->SetRenderTarget(0);
    m_filter->SetDepthStencil();
    return 1;
}

int CRenderList::Add(CObjectBase* object, uint32_t argument)
{
    if (object == nullptr)
        return 1;
    const CCamera* camera = m_graphics != nullptr ? m_graphics->GetCamera() : nullptr;
    CkvrVector3* view = object->GetViewPosition();
    if (camera != nullptr)
        *view = object->GetPosition()->GetTransform(camera->GetViewMatrix());
    else
        *view = CkvrVector3();
    if (view->z + object->GetRadius() < 0.0f)
        return 1;
    if (m_queued >= m_count)
        return 1;
    object->SetRenderArgument(argument);
    m_data[m_queued++] = object;
    return 1;
}

bool CRenderList::DrawsBefore(CObjectBase* a, CObjectBase* b)
{
    const bool flagA = a->GetUseRenderList() != 0;
    const bool flagB = b->GetUseRenderList() != 0;
    if (flagA != flagB)
        return flagA;
    if (a->GetPriority() != b->GetPriority())
        return a->GetPriority() > b->GetPriority();
    // Far to near. A NaN key (an object at a NaN position) would make the
    // comparison inconsistent, which std::sort may answer by running off the
    // array: NaN keys go after all numbers and tie among themselves.
    const float keyA = DepthKey(a);
    const float keyB = DepthKey(b);
    const bool nanA = std::isnan(keyA);
    const bool nanB = std::isnan(keyB);
    if (nanA || nanB)
        return !nanA && nanB;
    return keyA > keyB;
}

int CRenderList::Draw()
{
    if (m_queued > 1)
        std::sort(m_data, m_data + m_queued, &CRenderList::DrawsBefore);
    if (m_graphics == nullptr)
        return 1;
    m_graphics->SetZWriteEnable(0);
    const uint32_t drawn = std::min(m_queued, m_drawLimit);
    for (uint32_t i = 0; i < drawn; ++i)
    {
        CObjectBase* object = m_data[i];
        if (m_filter != nullptr && object->GetRenderOption() >= 0)
            m_filter->SetRenderTarget(static_cast<uint32_t>(object->GetRenderOption()));
        object->Render(object->GetRenderArgument());
    }
    m_graphics->SetZWriteEnable(1);
    m_graphics->SetBlendMode(1);
    if (m_filter == nullptr)
        return 1;
    m_graphics->RestoreRenderTarget();
    m_graphics->RestoreDepthStencil();
    m_graphics->Begin2D();
    m_filter->Apply(0);
    return 1;
}
