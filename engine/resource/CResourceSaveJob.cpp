#include "engine/resource/CResourceSaveJob.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/CPathResolver.h"
#include "engine/core/CkvrPackFile.h"
#include "engine/resource/CResourceListFile.h"
#include "engine/resource/CSafeFileWriter.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace
{
std::string FoldCase(std::string text)
{
    for (char& c : text)
    {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        else if (c == '/')
            c = '\\';
    }
    return text;
}

std::string CanonicalPath(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
    return error ? path : canonical.string();
}
}

CResourceSaveJob::CResourceSaveJob(std::string folder) : m_folder(std::move(folder)) {}

CResourceSaveJob::~CResourceSaveJob() = default;

CSafeFileWriter* CResourceSaveJob::CreateFile(const std::string& relativeName)
{
    if (!CPathResolver::IsInsideCurrentFolder(relativeName.c_str()))
    {
        m_error = "\"" + relativeName + "\" would leave the set's folder";
        return nullptr;
    }
    if (relativeName.size() >= CResourceListFile::kRecordSize)
    {
        m_error = "\"" + relativeName + "\" is too long for a resource list record";
        return nullptr;
    }
    if (!m_names.insert(FoldCase(relativeName)).second)
    {
        m_error = "two resources would be written to \"" + relativeName + "\"";
        return nullptr;
    }
    auto file = std::make_unique<CSafeFileWriter>();
    if (!file->Open(GetPath(relativeName).c_str()))
    {
        const std::string path = GetPath(relativeName);
        m_error = "\"" + path + "\" can't be created";
        return nullptr;
    }
    m_files.push_back(std::move(file));
    return m_files.back().get();
}

CkvrPackFile* CResourceSaveJob::GetPack(const std::string& path)
{
    auto found = m_packs.find(path);
    if (found != m_packs.end())
        return found->second.get();
    auto pack = std::make_unique<CkvrPackFile>();
    if (!pack->Open(path.c_str()))
        return nullptr;
    CkvrPackFile* opened = pack.get();
    m_packs.emplace(path, std::move(pack));
    return opened;
}

int CResourceSaveJob::ReadPackEntry(const std::string& packPath, const std::string& entry, std::vector<uint8_t>* bytes)
{
    CkvrPackFile* pack = GetPack(packPath);
    const tag_KVRPACKENTRY* found = pack != nullptr ? pack->FindEntry(entry.c_str()) : nullptr;
    if (found == nullptr)
        return 0;
    bytes->resize(found->size);
    return found->size == 0 || pack->ReadFileTo(entry.c_str(), bytes->data()) ? 1 : 0;
}

int CResourceSaveJob::ReadFile(const std::string& path, std::vector<uint8_t>* bytes)
{
    FILE* file = CPathResolver::Open(path.c_str(), "rb");
    if (file == nullptr)
        return 0;
    bool ok = fseeko(file, 0, SEEK_END) == 0;
    const off_t size = ok ? ftello(file) : -1;
    ok = ok && size >= 0 && size < static_cast<off_t>(UINT32_MAX) && fseeko(file, 0, SEEK_SET) == 0;
    if (ok)
    {
        bytes->resize(static_cast<size_t>(size));
        ok = size == 0 || std::fread(bytes->data(), 1, bytes->size(), file) == bytes->size();
    }
    std::fclose(file);
    return ok ? 1 : 0;
}

int CResourceSaveJob::CommitAll()
{
    // Every file must be complete before the first rename, so that a
    // failure here still leaves the whole old set.
    for (const auto& file : m_files)
    {
        if (!file->Close())
        {
            m_error = "\"" + file->GetTargetPath() + "\" could not be written completely";
            return 0;
        }
    }
    for (const auto& file : m_files)
    {
        if (!file->Commit())
        {
            m_error = "\"" + file->GetTargetPath() + "\" could not be put in place";
            return 0;
        }
        m_committed.insert(CanonicalPath(file->GetTargetPath()));
    }
    return 1;
}
