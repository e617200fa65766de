#pragma once

#include "engine/core/CList.h"

#include <new>

// Fixed-capacity pool of objects built in place (effects, particles,
// bullets). The owner sets the capacity once with SetCount; slot addresses
// never change afterwards, so callers keep plain pointers to pooled objects.
// Alloc is constant time while the low slots are busy: the first-free hint
// only moves forward past used slots.
template <class T>
class CMemoryList : public CList<T>
{
public:
    CMemoryList() = default;
    CMemoryList(const CMemoryList&) = delete;
    CMemoryList& operator=(const CMemoryList&) = delete;
    ~CMemoryList() override { CMemoryList::Release(); }

    uint32_t Release() override
    {
        DestroyLive(0);
        m_firstFree = 0;
        m_usedCount = 0;
        AlignedFree(m_used);
        m_used = nullptr;
        return CList<T>::Release();
    }
    const char* GetClassName() const override { return "CMemoryList"; }

    // Sets the capacity, keeping the first min(old, n) slots. Live objects in
    // slots that disappear are destroyed.
    uint32_t SetCount(uint32_t n) override
    {
        DestroyLive(n);
        if (n == 0)
        {
            AlignedFree(this->m_data);
            this->m_data = nullptr;
            this->m_count = 0;
            m_firstFree = 0;
            return 1;
        }
        T* slots = CList<T>::NewArray(n);
        uint32_t* used = NewFlags(n);
        if (slots == nullptr || used == nullptr)
        {
            AlignedFree(slots);
            AlignedFree(used);
            return 0;
        }
        const uint32_t keep = this->m_count < n ? this->m_count : n;
        if (this->m_data != nullptr)
            CList<T>::CopyElements(slots, this->m_data, keep);
        if (m_used != nullptr)
            std::memcpy(used, m_used, size_t(keep) * sizeof(uint32_t));
        AlignedFree(this->m_data);
        AlignedFree(m_used);
        this->m_data = slots;
        m_used = used;
        this->m_count = n;
        if (m_firstFree > n)
            m_firstFree = n;
        return 1;
    }

    // Replaces every slot by raw bytes from source (zero when null); all
    // slots become free.
    uint32_t SetArray(const T* source, uint32_t n) override
    {
        T* slots = CList<T>::NewArray(n);
        uint32_t* used = NewFlags(n);
        if (slots == nullptr || used == nullptr)
        {
            AlignedFree(slots);
            AlignedFree(used);
            return 0;
        }
        DestroyLive(0);
        if (source != nullptr)
            CList<T>::CopyElements(slots, source, n);
        AlignedFree(this->m_data);
        AlignedFree(m_used);
        this->m_data = slots;
        m_used = used;
        this->m_count = n;
        m_firstFree = 0;
        m_usedCount = 0;
        return 1;
    }

    // A newly constructed object in the lowest free slot, or null when full.
    T* Alloc()
    {
        const uint32_t capacity = this->m_count;
        if (m_firstFree >= capacity || m_used == nullptr)
            return nullptr;
        const uint32_t index = m_firstFree;
        T* slot = this->m_data + index;
        // A reused slot still holds the bytes of its last object; start it
        // zero-filled like every fresh allocation.
        std::memset(static_cast<void*>(slot), 0, sizeof(T));
        ::new (static_cast<void*>(slot)) T();
        m_used[index] = 1;
        ++m_usedCount;
        while (m_firstFree < capacity && m_used[m_firstFree] != 0)
            ++m_firstFree;
        return slot;
    }

    // Destroys the object at address and frees its slot. 0 when address is
    // not a slot of this pool or the slot is already free.
    uint32_t Free(T* address)
    {
        for (uint32_t i = 0; i < this->m_count; ++i)
        {
            if (this->m_data + i != address)
                continue;
            if (m_used[i] == 0)
                return 0;
            address->~T();
            m_used[i] = 0;
            --m_usedCount;
            if (m_firstFree >= i)
                m_firstFree = i;
            return 1;
        }
        return 0;
    }

    // Destroys every live object; the pool keeps its capacity.
    uint32_t Clear()
    {
        DestroyLive(0);
        m_usedCount = 0;
        m_firstFree = 0;
        return 1;
    }

    uint32_t GetUsedCount() const { return m_usedCount; }
    uint32_t GetFirstFree() const { return m_firstFree; }
    bool IsUsed(uint32_t index) const { return index < this->m_count && m_used != nullptr && m_used[index] != 0; }

private:
    static uint32_t* NewFlags(uint32_t n)
    {
        return static_cast<uint32_t*>(AlignedAlloc(size_t(n) * sizeof(uint32_t), 16));
    }

    // Destroys the live objects in slots from first on.
    void DestroyLive(uint32_t first)
    {
        if (m_used == nullptr)
            return;
        for (uint32_t i = first; i < this->m_count; ++i)
        {
            if (m_used[i] == 0)
                continue;
            this->m_data[i].~T();
            m_used[i] = 0;
            --m_usedCount;
        }
    }

    uint32_t m_firstFree = 0;
    uint32_t m_usedCount = 0;
    uint32_t* m_used = nullptr;
};
