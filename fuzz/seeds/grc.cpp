// Seeds for the resource-list fuzz target, written into <folder>: writes the seed corpus of fuzz_grc with the engine's
// resource list writer: lists naming what the fuzz folder holds, and the
// damaged forms the reader must survive.
#include "engine/resource/CResourceListFile.h"
#include "engine/resource/CSafeFileWriter.h"

#include <cstdio>
#include <string>
#include <vector>

namespace
{
int WriteList(const std::string& path, uint32_t id, const std::vector<std::string>& records, bool end,
              const std::string& tail = std::string())
{
    CSafeFileWriter file;
    if (!file.Open(path.c_str()) || !CResourceListFile::WriteHeader(file, id))
        return 0;
    for (const std::string& record : records)
    {
        if (!CResourceListFile::WriteRecord(file, record.c_str()))
            return 0;
    }
    if (end && !CResourceListFile::WriteEnd(file))
        return 0;
    if (!tail.empty() && !file.Write(tail.data(), tail.size()))
        return 0;
    return file.Commit();
}
}

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: seed_grc <folder>\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    const uint32_t id = CResourceListFile::kGameResourceId;
    const std::vector<std::string> all = {"Data\\p.gpk", "Scene\\a.sce", "Effect\\e.efc", "Texture\\a.png",
                                          "Font\\f.txt", "Model\\m.mdl", "Sound\\s.ogg"};
    int ok = 1;
    ok &= WriteList(folder + "empty.grc", id, {}, true);
    ok &= WriteList(folder + "all_kinds.grc", id, all, true);
    ok &= WriteList(folder + "twice.grc", id, {"Scene\\a.sce", "Scene\\a.sce", "Effect\\e.efc", "Effect\\e.efc"}, true);
    ok &= WriteList(folder + "no_end.grc", id, {"Scene\\a.sce"}, false);
    ok &= WriteList(folder + "cut_record.grc", id, {"Scene\\a.sce"}, false, "Scene\\a");
    ok &= WriteList(folder + "escapes.grc", id, {"..\\Scene\\a.sce"}, true);
    ok &= WriteList(folder + "absolute.grc", id, {"\\etc\\a.sce"}, true);
    ok &= WriteList(folder + "missing_file.grc", id, {"Scene\\none.sce"}, true);
    ok &= WriteList(folder + "other_id.grc", 0x20002004u, {"Scene\\a.sce"}, true);
    ok &= WriteList(folder + "after_end.grc", id, {"Scene\\a.sce"}, true, std::string(300, 'x'));
    // A record of 260 bytes without a NUL.
    ok &= WriteList(folder + "unterminated.grc", id, {}, false, std::string(260, 'a'));
    return ok ? 0 : 1;
}
