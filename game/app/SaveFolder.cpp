#include "game/app/SaveFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>

namespace
{
bool MakeFolder(const std::string& path)
{
    if (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST)
    {
        struct stat info = {};
        return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }
    return false;
}

// Every folder along an absolute path.
bool MakeFolders(const std::string& path)
{
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    {
        if (!MakeFolder(path.substr(0, slash)))
            return false;
    }
    return MakeFolder(path);
}

// The data home; relative values are ignored as the XDG rules say.
std::string DataHome()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/')
        return data;
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return std::string(home) + "/.local/share";
    return std::string();
}
}

std::string GetSaveFolderPath(const char* product)
{
    const std::string home = DataHome();
    if (home.empty() || product == nullptr)
        return std::string();
    return home + "/CorvaneSystem/" + product;
}

int GetSaveFolder(char* out, const char* product, uint32_t size)
{
    if (out == nullptr || product == nullptr || *product == '\0' || size == 0)
        return 0;
    out[0] = '\0';
    const std::string folder = GetSaveFolderPath(product);
    if (folder.empty())
        return 0;
    if (folder.size() + 2 > size || !MakeFolders(folder))
        return 0;
    std::memcpy(out, folder.c_str(), folder.size());
    out[folder.size()] = '/';
    out[folder.size() + 1] = '\0';
    return 1;
}
