#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class CkvrPackFile;
class CSafeFileWriter;

// Everything one save of a resource set writes, held under temporary names
// until the whole set is complete: then every file is renamed into place,
// the list file last. A job destroyed before CommitAll removes what it
// wrote and leaves the old set untouched.
//
// Every name is relative to the set's folder (the folder of its list file),
// the same folder the list's records are read against when it is loaded.
class CResourceSaveJob
{
public:
    explicit CResourceSaveJob(std::string folder);
    CResourceSaveJob(const CResourceSaveJob&) = delete;
    CResourceSaveJob& operator=(const CResourceSaveJob&) = delete;
    ~CResourceSaveJob();

    // The set's folder as a data name: empty, or ending with a separator.
    const std::string& GetFolder() const { return m_folder; }
    // folder + relativeName.
    std::string GetPath(const std::string& relativeName) const { return m_folder + relativeName; }

    // An open crash-safe writer for a file of this save. Null (with the
    // reason in GetError) when the name would leave the folder, does not fit
    // a record, or names a file this save already writes (letter case
    // ignored, as the path layer ignores it).
    CSafeFileWriter* CreateFile(const std::string& relativeName);

    // The list's records in the order they are added.
    void AddRecord(const std::string& record) { m_records.push_back(record); }
    const std::vector<std::string>& GetRecords() const { return m_records; }

    // A pack of the old set opened once per save for reading its entries.
    // Null when it can't be opened.
    CkvrPackFile* GetPack(const std::string& path);
    // The element's bytes from a pack entry or a file. 1/0.
    int ReadPackEntry(const std::string& packPath, const std::string& entry, std::vector<uint8_t>* bytes);
    static int ReadFile(const std::string& path, std::vector<uint8_t>* bytes);

    // Renames every file into place in the order they were created. 1/0;
    // after a failure the files not yet renamed are removed.
    int CommitAll();
    // The real paths (canonical) of the files CommitAll put in place.
    const std::set<std::string>& GetCommittedPaths() const { return m_committed; }

    const std::string& GetError() const { return m_error; }

private:
    std::string m_folder;
    std::vector<std::unique_ptr<CSafeFileWriter>> m_files;
    std::set<std::string> m_names;
    std::vector<std::string> m_records;
    std::map<std::string, std::unique_ptr<CkvrPackFile>> m_packs;
    std::set<std::string> m_committed;
    std::string m_error;
};
