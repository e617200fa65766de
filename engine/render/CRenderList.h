#pragma once

#include "engine/core/CList.h"
#include "engine/core/CObjectBase.h"

#include <cstdint>

class CFilter;
class CGraphics;

// The per-frame queue of objects whose drawing must be ordered: translucent
// effects, particles, primitive lists, bullets, characters. Objects Add
// themselves while the scene draws; Draw sorts them (render-list flag set
// first, higher priority first, then far to near) and draws them with depth
// writes off, routing each into the attached filter's target named by its
// render option and compositing the filter at the end.
//
// Frame order: SetFilter, Clear, Add..., Draw, SetFilter(null).
class CRenderList : public CList<CObjectBase*>
{
public:
    CRenderList() = default;
    CRenderList(const char* name, uint32_t capacity, CGraphics* graphics = nullptr);
    // Copies the slots, the draw limit, the graphics object and the filter;
    // the copy starts with an empty queue.
    CRenderList(const CRenderList& other);
    CRenderList& operator=(const CRenderList&) = delete;
    ~CRenderList() override;

    uint32_t Release() override;
    const char* GetClassName() const override { return "CRenderList"; }

    // Empties the queue; with a filter, begins its capture and makes its
    // target 0 and depth surface current. Returns 1.
    int Clear();
    // Queues the object with the word Render gets back. An object wholly
    // behind the camera, a null object, or one past the capacity is not
    // queued. Without a current camera the object is queued with a view
    // position of zero (its depth key is its radius). Returns 1.
    int Add(CObjectBase* object, uint32_t argument);
    // Sorts and draws the queue. Returns 1.
    int Draw();

    void SetDrawLimit(uint32_t limit) { m_drawLimit = limit; }
    uint32_t GetDrawLimit() const { return m_drawLimit; }
    // Borrowed, never released by the list.
    void SetFilter(CFilter* filter) { m_filter = filter; }
    CFilter* GetFilter() const { return m_filter; }
    void SetGraphics(CGraphics* graphics) { m_graphics = graphics; }
    CGraphics* GetGraphics() const { return m_graphics; }

    // Objects queued this frame, and the one in draw order after Draw.
    uint32_t GetQueuedCount() const { return m_queued; }
    CObjectBase* GetQueued(uint32_t index) const { return index < m_queued ? m_data[index] : nullptr; }
    uint32_t GetCapacity() const { return m_count; }

    // Strict weak order of the sort: true when a draws before b. A NaN
    // depth key orders after every number of its flag and priority.
    // Objects that tie keep the order they were added in.
    static bool DrawsBefore(CObjectBase* a, CObjectBase* b);

    // What the sort compares, gathered once per object so that it does not
    // chase the object pointers: the flag and the priority in the high word,
    // the depth key and the order of adding in the low one, each mapped so
    // that the smaller word draws first.
    struct SortEntry
    {
        uint64_t high;
        uint64_t low;
        CObjectBase* object;
    };

private:
    bool ReserveSortEntries(uint32_t count);

    SortEntry* m_entries = nullptr;
    uint32_t m_entryCapacity = 0;
    uint32_t m_queued = 0;
    uint32_t m_drawLimit = 0;
    CGraphics* m_graphics = nullptr;
    CFilter* m_filter = nullptr;
};
