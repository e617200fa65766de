#include "engine/render/CRenderList.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/CkvrMatrix.h"
#include "engine/platform/CGraphics.h"
#include "engine/render/CCamera.h"
#include "engine/render/CFilter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
float DepthKey(CObjectBase* object)
{
    return object->GetViewPosition()->z + object->GetRadius();
}

// Larger keys first, so larger keys map to smaller words; every NaN maps
// to the largest word, after all numbers (a NaN key, from an object at a
// NaN position, would otherwise make the order inconsistent, which
// std::sort may answer by running off the array).
uint32_t DepthWord(float key)
{
    if (std::isnan(key))
        return 0xFFFFFFFFu;
    key += 0.0f; // -0 ties with +0
    uint32_t bits = 0;
    std::memcpy(&bits, &key, sizeof bits);
    // Ascending order of the floats as unsigned words, then reversed; no
    // number reaches 0xFFFFFFFF.
    const uint32_t ascending = (bits & 0x80000000u) ? ~bits : bits | 0x80000000u;
    return ~ascending;
}

// Flagged first, then higher priority, then far to near; ties keep the
// order of adding.
CRenderList::SortEntry EntryOf(CObjectBase* object, uint32_t order)
{
    const uint64_t unflagged = object->GetUseRenderList() != 0 ? 0u : 1u;
    const uint32_t priority = ~(static_cast<uint32_t>(object->GetPriority()) ^ 0x80000000u);
    return {unflagged << 32 | priority, uint64_t(DepthWord(DepthKey(object))) << 32 | order, object};
}

bool EntryBefore(const CRenderList::SortEntry& a, const CRenderList::SortEntry& b)
{
    return a.high != b.high ? a.high < b.high : a.low < b.low;
}
}

CRenderList::CRenderList(const char* name, uint32_t capacity, CGraphics* graphics)
    : CList<CObjectBase*>(name, capacity), m_graphics(graphics)
{
    m_drawLimit = m_count;
    ReserveSortEntries(m_count);
}

CRenderList::CRenderList(const CRenderList& other)
    : CList<CObjectBase*>(other), m_drawLimit(other.m_drawLimit), m_graphics(other.m_graphics),
      m_filter(other.m_filter)
{
    ReserveSortEntries(m_count);
}

CRenderList::~CRenderList()
{
    CRenderList::Release();
}

uint32_t CRenderList::Release()
{
    AlignedFree(m_entries);
    m_entries = nullptr;
    m_entryCapacity = 0;
    m_queued = 0;
    return CList<CObjectBase*>::Release();
}

bool CRenderList::ReserveSortEntries(uint32_t count)
{
    if (count <= m_entryCapacity)
        return true;
    SortEntry* entries = static_cast<SortEntry*>(AlignedAlloc(sizeof(SortEntry) * size_t(count), 16));
    if (entries == nullptr)
        return false;
    AlignedFree(m_entries);
    m_entries = entries;
    m_entryCapacity = count;
    return true;
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
    return EntryBefore(EntryOf(a, 0), EntryOf(b, 0));
}

int CRenderList::Draw()
{
    // The slots only outgrow the entries when the list's count was changed
    // by hand; the entries follow once, and without them the pointers are
    // sorted as they stand.
    if (m_queued > 1 && ReserveSortEntries(m_queued))
    {
        for (uint32_t i = 0; i < m_queued; ++i)
            m_entries[i] = EntryOf(m_data[i], i);
        std::sort(m_entries, m_entries + m_queued, &EntryBefore);
        for (uint32_t i = 0; i < m_queued; ++i)
            m_data[i] = m_entries[i].object;
    }
    else if (m_queued > 1)
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
