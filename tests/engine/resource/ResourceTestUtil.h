#pragma once

// Helpers of the resource tests: resource lists written byte by byte (so
// the tests do not lean on the writer they check), and stand-ins for the
// model and effect classes plugged in through the per-kind loader.

#include "engine/core/CPathResolver.h"
#include "engine/core/CResourceBase.h"
#include "engine/resource/CResourceController.h"
#include "tests/engine/core/TempFolder.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace restest
{
constexpr uint32_t kId = 0x10001003u;

inline std::string U32(uint32_t value)
{
    std::string out;
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>(value >> (8 * i)));
    return out;
}

inline std::string Record(const std::string& name)
{
    std::string record = name;
    record.resize(260, '\0');
    return record;
}

// The identifier, one record per name and, unless told otherwise, "EOF".
inline std::string ListBytes(const std::vector<std::string>& names, uint32_t id = kId, bool end = true)
{
    std::string bytes = U32(id);
    for (const std::string& name : names)
        bytes += Record(name);
    if (end)
        bytes += Record("EOF");
    return bytes;
}

inline std::vector<std::string>& ReleaseLog()
{
    static std::vector<std::string> log;
    return log;
}

// An object of a kind this module does not build: holds its file's bytes
// and logs its release.
class FakeObject : public CResourceBase
{
public:
    explicit FakeObject(std::string tag) : m_tag(std::move(tag)) {}
    uint32_t Release() override
    {
        if (!m_released)
            ReleaseLog().push_back(m_tag);
        m_released = true;
        return CResourceBase::Release();
    }
    std::string bytes;

private:
    std::string m_tag;
    bool m_released = false;
};

// Models: any file is a model whose bytes are kept; saving writes them back.
// Effect containers: the file holds the container's name.
inline tag_KVRKINDLOADER FakeLoader(const std::string& tag, bool namedByContents)
{
    tag_KVRKINDLOADER loader;
    loader.loadFile = [tag, namedByContents](CResourceController&, const char* path, uint32_t) -> CResourceBase* {
        std::ifstream in(CPathResolver::Resolve(path), std::ios::binary);
        if (!in)
            return nullptr;
        auto* object = new FakeObject(tag);
        object->bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (namedByContents)
            object->SetName(object->bytes.c_str());
        return object;
    };
    loader.loadMemory = [tag](CResourceController&, const uint8_t* data, uint32_t size, const char*) -> CResourceBase* {
        auto* object = new FakeObject(tag);
        object->bytes.assign(reinterpret_cast<const char*>(data), size);
        return object;
    };
    loader.saveFile = [namedByContents](const CResourceBase& object, const char* path) -> int {
        const auto& fake = static_cast<const FakeObject&>(object);
        std::ofstream out(path, std::ios::binary);
        out << (namedByContents ? std::string(object.GetName()) : fake.bytes);
        return out.good() ? 1 : 0;
    };
    return loader;
}

inline void InstallFakes(CResourceController& controller)
{
    controller.SetMeshLoader(FakeLoader("mesh", false));
    controller.SetEffectLoader(FakeLoader("effect", true));
}

// The records of a list file, "EOF" included, as written.
inline std::vector<std::string> RecordsOf(const std::string& bytes)
{
    std::vector<std::string> records;
    for (size_t at = 4; at + 260 <= bytes.size(); at += 260)
        records.push_back(std::string(bytes.c_str() + at));
    return records;
}
}
