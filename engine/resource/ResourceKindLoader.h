#pragma once

#include <cstdint>
#include <functional>

class CResourceBase;
class CResourceController;

// How the resource controller loads and saves a kind whose class lives in
// another module (models, effect containers). The controller keeps the
// list, the duplicate test, the names and the pack building; the loader
// only makes and writes objects. A controller without a loader for a kind
// fails every file of that kind with a message naming it.
struct tag_KVRKINDLOADER
{
    // A new object read from a file, or null. path is a data name already
    // put under the set's folder; open it through CPathResolver. loadContents is the controller's flag:
    // effect containers resolve their resources only when it is set. The
    // owner gives access to the lists the object resolves names in.
    std::function<CResourceBase*(CResourceController& owner, const char* path, uint32_t loadContents)> loadFile;
    // A new object made from a pack entry's bytes (valid only during the
    // call), or null.
    std::function<CResourceBase*(CResourceController& owner, const uint8_t* data, uint32_t size, const char* name)>
        loadMemory;
    // Writes the object to the file at path (a real path). 1/0.
    std::function<int(const CResourceBase& object, const char* path)> saveFile;
    // Models only: converts a text X file into a model file (both data
    // names). 1/0.
    std::function<int(const char* xPath, const char* modelPath)> convert;
};
