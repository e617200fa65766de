#pragma once

#include "engine/core/AlignedMemory.h"
#include "engine/core/CResourceBase.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

// Exact-size array list. Every insertion and removal allocates a new array
// of the new size, copies the elements as raw bytes and frees the old one;
// lists are built at load time and then read by index. A list of pointers
// never deletes what it points to: the owner releases and deletes those.
template <class T>
class CList : public CResourceBase
{
public:
    // What GetItem hands out: the stored pointer in a pointer list, the
    // element's address in a value list.
    using Item = std::conditional_t<std::is_pointer_v<T>, T, T*>;

    CList() = default;
    // A named list of count zeroed elements.
    CList(const char* name, uint32_t count) : CResourceBase(name)
    {
        if (count > 0)
        {
            m_data = NewArray(count);
            if (m_data != nullptr)
                m_count = count;
        }
    }
    // Copies the name and the element bytes into a new array.
    CList(const CList& other) : CResourceBase(other)
    {
        if (other.m_data == nullptr)
            return;
        m_data = NewArray(other.m_count);
        if (m_data == nullptr)
            return;
        CopyElements(m_data, other.m_data, other.m_count);
        m_count = other.m_count;
    }
    CList& operator=(const CList&) = delete;
    ~CList() override { CList::Release(); }

    uint32_t Release() override
    {
        AlignedFree(m_data);
        m_data = nullptr;
        m_count = 0;
        return CResourceBase::Release();
    }
    const char* GetClassName() const override { return "CList"; }

    // Resizes to n elements, keeping the first min(old, n); new ones are
    // zero. 0 on allocation failure, the list unchanged.
    virtual uint32_t SetCount(uint32_t n)
    {
        if (n == 0)
        {
            AlignedFree(m_data);
            m_data = nullptr;
            m_count = 0;
            return 1;
        }
        T* data = NewArray(n);
        if (data == nullptr)
            return 0;
        if (m_data != nullptr)
            CopyElements(data, m_data, m_count < n ? m_count : n);
        AlignedFree(m_data);
        m_data = data;
        m_count = n;
        return 1;
    }

    // Replaces the elements by n copied from source (zeroed when null).
    virtual uint32_t SetArray(const T* source, uint32_t n)
    {
        T* data = NewArray(n);
        if (data == nullptr)
            return 0;
        if (source != nullptr)
            CopyElements(data, source, n);
        AlignedFree(m_data);
        m_data = data;
        m_count = n;
        return 1;
    }

    // Stores element at index, growing the list (with zeroed elements) when
    // index is past the end.
    virtual uint32_t SetAt(const T& element, uint32_t index)
    {
        if (index >= m_count)
        {
            if (index == UINT32_MAX)
                return 0;
            T* data = NewArray(index + 1);
            if (data == nullptr)
                return 0;
            if (m_data != nullptr)
                CopyElements(data, m_data, m_count);
            // element may live in the old array: store before freeing it.
            data[index] = element;
            AlignedFree(m_data);
            m_data = data;
            m_count = index + 1;
            return 1;
        }
        m_data[index] = element;
        return 1;
    }

    // Address of element index, null past the end.
    virtual T* GetAt(uint32_t index) { return index < m_count ? m_data + index : nullptr; }
    virtual const T* GetAt(uint32_t index) const { return index < m_count ? m_data + index : nullptr; }

    uint32_t Add(const T& element) { return Insert(element, m_count); }

    // Inserts before index; an index past the end appends.
    uint32_t Insert(const T& element, uint32_t index)
    {
        if (m_count == UINT32_MAX)
            return 0;
        if (index > m_count)
            index = m_count;
        T* data = NewArray(m_count + 1);
        if (data == nullptr)
            return 0;
        if (m_data != nullptr)
        {
            CopyElements(data, m_data, index);
            CopyElements(data + index + 1, m_data + index, m_count - index);
        }
        std::memcpy(static_cast<void*>(data + index), static_cast<const void*>(&element), sizeof(T));
        AlignedFree(m_data);
        m_data = data;
        ++m_count;
        return 1;
    }

    uint32_t RemoveAt(uint32_t index)
    {
        if (index >= m_count)
            return 0;
        // Removing the last element leaves an empty but valid block.
        T* data = NewArray(m_count - 1);
        if (data == nullptr)
            return 0;
        CopyElements(data, m_data, index);
        CopyElements(data + index, m_data + index + 1, m_count - index - 1);
        AlignedFree(m_data);
        m_data = data;
        --m_count;
        return 1;
    }

    uint32_t GetCount() const { return m_count; }
    T* GetData() const { return m_data; }

    Item GetItem(uint32_t index) const
    {
        if (index >= m_count)
            return nullptr;
        if constexpr (std::is_pointer_v<T>)
            return m_data[index];
        else
            return m_data + index;
    }

protected:
    // A zero-filled, 16-byte aligned array of n elements; null when the size
    // does not fit or the heap fails. n = 0 gives an empty block.
    static T* NewArray(uint32_t n)
    {
        const uint64_t bytes = uint64_t(n) * sizeof(T);
        if (bytes > SIZE_MAX / 2)
            return nullptr;
        return static_cast<T*>(AlignedAlloc(static_cast<size_t>(bytes), 16));
    }

    static void CopyElements(T* to, const T* from, uint32_t n)
    {
        if (n > 0)
            std::memcpy(static_cast<void*>(to), static_cast<const void*>(from), size_t(n) * sizeof(T));
    }

    T* m_data = nullptr;
    uint32_t m_count = 0;
};
