#include "engine/core/CPathResolver.h"

#include "engine/core/FileIo.h"
#include "engine/core/TextEncoding.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
bool IsAscii(const char* text)
{
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p)
    {
        if (*p >= 0x80)
            return false;
    }
    return true;
}

// UTF-8 multibyte sequences have every byte >= 0x80, so folding ASCII letters
// never touches them.
char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(const std::string& a, const char* b)
{
    size_t i = 0;
    for (; i < a.size(); ++i)
    {
        if (b[i] == '\0' || FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    }
    return b[i] == '\0';
}

bool Exists(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

bool IsFolder(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The spelling of name inside folder under any letter case, or "" when the
// folder holds no such entry. Several candidates (possible on Linux) give the
// smallest in byte order, so the choice does not depend on readdir's order.
std::string FindIgnoringCase(const std::string& folder, const std::string& name)
{
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr)
        return std::string();
    std::string best;
    while (const dirent* entry = readdir(dir))
    {
        if (!EqualsIgnoringCase(name, entry->d_name))
            continue;
        if (best.empty() || best.compare(entry->d_name) > 0)
            best = entry->d_name;
    }
    closedir(dir);
    return best;
}

std::vector<std::string> SplitComponents(const std::string& path)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size())
    {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + '/' + name;
}
}

std::string CPathResolver::ToNativeName(const char* dataName)
{
    if (dataName == nullptr)
        return std::string();
    std::string native = IsAscii(dataName) ? std::string(dataName) : ConvertShiftJisToUtf8(dataName);
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

std::string CPathResolver::Resolve(const char* dataName)
{
    const std::string native = ToNativeName(dataName);
    if (native.empty() || Exists(native))
        return native;

    const std::vector<std::string> parts = SplitComponents(native);
    std::string path = native.front() == '/' ? "/" : "";
    bool searching = true;
    for (const std::string& part : parts)
    {
        std::string candidate = JoinPath(path, part);
        if (searching && part != "." && part != ".." && !Exists(candidate))
        {
            const std::string real = FindIgnoringCase(path, part);
            if (real.empty())
                searching = false;
            else
                candidate = JoinPath(path, real);
        }
        path = candidate;
    }
    if (native.back() == '/' && !path.empty() && path.back() != '/')
        path += '/';
    return path;
}

FILE* CPathResolver::Open(const char* dataName, const char* mode)
{
    return OpenFile(dataName, mode).release();
}

int CPathResolver::CreateFolders(const char* dataName)
{
    const std::string native = ToNativeName(dataName);
    const size_t last = native.rfind('/');
    if (last == std::string::npos || last == 0)
        return 1;
    const std::vector<std::string> parts = SplitComponents(native.substr(0, last));
    std::string path = native.front() == '/' ? "/" : "";
    for (const std::string& part : parts)
    {
        std::string candidate = JoinPath(path, part);
        if (part != "." && part != ".." && !Exists(candidate))
        {
            const std::string real = FindIgnoringCase(path, part);
            if (!real.empty())
                candidate = JoinPath(path, real);
            else if (mkdir(candidate.c_str(), 0755) != 0 && errno != EEXIST)
                return 0;
        }
        if (!IsFolder(candidate))
            return 0;
        path = candidate;
    }
    return 1;
}

int CPathResolver::IsInsideCurrentFolder(const char* dataName)
{
    const std::string native = ToNativeName(dataName);
    if (native.empty() || native.front() == '/')
        return 0;
    // A drive letter ("C:...") names another disk on the system these names
    // come from; it has no meaning below the current folder either.
    if (native.size() >= 2 && native[1] == ':')
        return 0;
    for (const std::string& part : SplitComponents(native))
    {
        if (part == "..")
            return 0;
    }
    return 1;
}
