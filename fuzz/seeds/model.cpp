// Writes the seed corpus of the model fuzz target with the engine's own
// writer: a full mesh, a plain grid, a converted X file and a few cut or
// damaged copies. Usage: make_model_seeds <folder>
#include "engine/render/CConvertMesh.h"
#include "tests/engine/render/ModelSamples.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{
void Save(const std::filesystem::path& folder, const std::string& name, const std::vector<uint8_t>& bytes)
{
    std::ofstream(folder / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                         static_cast<std::streamsize>(bytes.size()));
}

const char* const X_TEXT = "xof 0303txt 0032\nFrame Root { FrameTransformMatrix { 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }\n"
                           "Mesh { 4; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;; 1; 4;0,1,2,3;;\n"
                           "MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 1; 0;0;0;; 0;0;0;; } }\n"
                           "SkinWeights { \"Root\"; 2; 0,1; 1,1; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; } } }\n"
                           "AnimationSet { Animation { {Root} AnimationKey { 0; 2; 0;4;1,0,0,0;;, 4800;4;0,1,0,0;;; } } }\n";
}

int main(int argc, char** argv)
{
    if (argc < 2)
        return 1;
    const std::filesystem::path folder(argv[1]);
    std::filesystem::create_directories(folder);

    CMesh rich;
    ModelSamples::FillRichMesh(&rich);
    const std::vector<uint8_t> full = ModelSamples::WriteToMemory(&rich);
    Save(folder, "rich.mdl", full);
    Save(folder, "rich_cut.mdl", std::vector<uint8_t>(full.begin(), full.begin() + full.size() / 2));
    std::vector<uint8_t> damaged = full;
    damaged[40] ^= 0xFF;
    Save(folder, "rich_damaged.mdl", damaged);

    CMesh grid;
    grid.GetObjectList()->Add(ModelSamples::GridObject("Grid", 2, KVRVERTEX_POSITION | KVRVERTEX_NORMAL));
    Save(folder, "grid.mdl", ModelSamples::WriteToMemory(&grid));

    CkvrAnalysXFile parser;
    CkvrXModel model;
    CMesh converted;
    if (parser.OpenMemory(X_TEXT, static_cast<uint32_t>(std::strlen(X_TEXT))) && parser.ParseOpened(&model) &&
        CConvertMesh::BuildMesh(&model, &converted))
        Save(folder, "converted.mdl", ModelSamples::WriteToMemory(&converted));
    return 0;
}
