#pragma once

#include "engine/core/CList.h"
#include "engine/core/TextEncoding.h"

#include <cstring>
#include <type_traits>

// A list of pointers to resources, searchable by resource name or by the
// file-name part of it. The elements belong to the list's owner.
template <class P>
class CResourceList : public CList<P>
{
    static_assert(std::is_pointer_v<P>, "CResourceList holds pointers, as in CResourceList<CTexture*>");

public:
    using CList<P>::CList;

    const char* GetClassName() const override { return "CResourceList"; }

    // The first element whose name equals name exactly (case-sensitive).
    P FindByName(const char* name) const
    {
        const uint32_t index = IndexOfName(name);
        if (name == nullptr || index == kNone)
            return nullptr;
        return this->m_data[index];
    }

    // Index of the first element named name, 0xFFFFFFFF when none is, and 0
    // for a null name.
    uint32_t IndexOfName(const char* name) const
    {
        if (name == nullptr)
            return 0;
        for (uint32_t i = 0; i < this->m_count; ++i)
        {
            const P element = this->m_data[i];
            if (element == nullptr)
                continue;
            const char* own = element->GetName();
            if (own != nullptr && std::strcmp(own, name) == 0)
                return i;
        }
        return kNone;
    }

    // The first element whose file name (text after the last backslash)
    // equals that of path, case-sensitively.
    P FindByFileName(const char* path) const
    {
        if (path == nullptr)
            return nullptr;
        const char* wanted = FileNamePart(path);
        for (uint32_t i = 0; i < this->m_count; ++i)
        {
            const P element = this->m_data[i];
            if (element == nullptr)
                continue;
            const char* own = element->GetName();
            if (own != nullptr && std::strcmp(FileNamePart(own), wanted) == 0)
                return element;
        }
        return nullptr;
    }

    static constexpr uint32_t kNone = 0xFFFFFFFFu;

private:
    // Text after the last backslash that follows the first character; a
    // Shift-JIS trail byte equal to a backslash is not a separator.
    static const char* FileNamePart(const char* path)
    {
        const char* name = path;
        for (const char* p = path; *p != '\0'; ++p)
        {
            if (IsShiftJisLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0')
            {
                ++p;
                continue;
            }
            if (*p == '\\' && p != path)
                name = p + 1;
        }
        return name;
    }
};
