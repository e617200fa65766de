#pragma once

#include "engine/render/CkvrAnalysXFile.h"

class CMesh;

// Turns a text X file into a model file: meshes become model objects,
// frames bones (under the reader's "root"), skin weights bone weights and
// animation sets animations.
class CConvertMesh : public CkvrAnalysXFile
{
public:
    CConvertMesh() = default;
    ~CConvertMesh() override = default;

    // 0 when the X file cannot be read, is not a text X file or does not
    // hold together (no output is made then), when it has no mesh (the
    // output then holds only the magic), or when the output cannot be
    // written.
    uint32_t Convert(const char* xFileName, const char* outputFileName);
    // Fills an empty mesh from a parsed tree, as Convert writes it (bone 0
    // is "root"; vertices carry the bone influences). 0 when the tree has
    // no mesh or does not hold together.
    static uint32_t BuildMesh(const CkvrXModel* model, CMesh* mesh);
};
