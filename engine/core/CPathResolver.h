#pragma once

#include <cstdio>
#include <string>

// Every file the engine opens goes through here. Data names are written the
// Windows way: Shift-JIS text, '\' between folders, any letter case
// ("Data\Texture.gpk"). The file system wants UTF-8, '/' and exact case, so a
// data name is converted and then matched one component at a time against
// what exists, ignoring ASCII letter case.
//
// Names stored inside files (pack entries, resource lists) keep their
// backslashes; only this layer turns them into real paths.
class CPathResolver
{
public:
    // The file-system spelling of a data name without looking at the disk:
    // Shift-JIS becomes UTF-8, then every '\' becomes '/'. Converting first
    // matters: a Shift-JIS trail byte may equal '\'.
    static std::string ToNativeName(const char* dataName);

    // The real path of a data name. Each component that exists under another
    // letter case is replaced by its real spelling; from the first component
    // that exists in no case on, the rest is kept as written, so the result
    // also serves to create a file. Null or empty gives "".
    static std::string Resolve(const char* dataName);

    // The resolved name opened as a C stream that the caller closes; null
    // when it fails. OpenFile (engine/core/FileIo.h) gives the same stream
    // in a handle that closes itself.
    static FILE* Open(const char* dataName, const char* mode);

    // Creates every folder of the name's folder part (the text before its
    // last separator); existing folders, in any letter case, are kept. 1/0.
    static int CreateFolders(const char* dataName);

    // 1 when the name stays below the current folder: not absolute, not
    // empty, and no ".." component. Extraction writes only such names.
    static int IsInsideCurrentFolder(const char* dataName);
};
