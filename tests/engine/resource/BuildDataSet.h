#pragma once

// The stand-in set the build wrote (<build>/data, by the data kit), shared
// by the tests instead of each writing its own: writing it costs far more
// than reading it, and each test runs in a process of its own. The test's
// temporary folder links each top-level entry of the set, so the set's
// relative names find it and whatever a test writes lands beside it. The
// links lead to the build's own files: a test that writes over the set
// writes over a copy (CopyFromBuildSet).

#include <filesystem>
#include <string>
#include <system_error>

#ifndef KVR_DATA_DIR
#error "KVR_DATA_DIR names the data kit's output folder"
#endif

namespace restest
{
inline std::filesystem::path BuildSetFolder()
{
    return KVR_DATA_DIR;
}

// Links every top-level entry of the build's set into folder. 1/0 with the
// reason in error.
inline int LinkBuildSet(const std::filesystem::path& folder, std::string* error)
{
    namespace fs = std::filesystem;
    std::error_code code;
    if (!fs::is_regular_file(BuildSetFolder() / "GameResource.grc", code))
    {
        *error = "the build wrote no stand-in set in " + BuildSetFolder().string();
        return 0;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(BuildSetFolder(), code))
    {
        fs::create_symlink(entry.path(), folder / entry.path().filename(), code);
        if (code)
        {
            *error = "cannot link " + entry.path().string() + ": " + code.message();
            return 0;
        }
    }
    if (code)
        *error = "cannot list " + BuildSetFolder().string() + ": " + code.message();
    return code ? 0 : 1;
}

// A real copy of a file or folder of the set (a name relative to it) at
// target, to be written over.
inline bool CopyFromBuildSet(const std::filesystem::path& name, const std::filesystem::path& target)
{
    namespace fs = std::filesystem;
    std::error_code code;
    if (target.has_parent_path())
        fs::create_directories(target.parent_path(), code);
    fs::copy(BuildSetFolder() / name, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing,
             code);
    return !code;
}
}
