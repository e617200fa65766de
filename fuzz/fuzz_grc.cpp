// Loads arbitrary bytes as a resource list (names only, as the configuration
// tool does) in a folder that holds a scene, an effect container and a pack
// the records may name, then saves what loaded and loads the saved set back.
#include "engine/core/CSceneResource.h"
#include "engine/core/CkvrPackFile.h"
#include "engine/resource/CResourceController.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{
namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The folder every input is loaded in, made once per process with the
// files the seeds name.
class FuzzFolder
{
public:
    FuzzFolder()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/kvr-fuzz-grc-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr)
            return;
        m_path = pattern;
        CSceneResource scene("Title");
        scene.Save((m_path / "Scene" / "a.sce").c_str());
        WriteFile(m_path / "Scene" / "a.sce", ReadBack(m_path / "Scene" / "a.sce"));
        WriteFile(m_path / "Effect" / "e.efc", "Efc_step");
        WriteFile(m_path / "Texture" / "a.png", "not really a png");
        const std::string entry = (m_path / "Texture" / "a.png").string();
        const char* entries[] = {entry.c_str()};
        fs::create_directories(m_path / "Data");
        CkvrPackFile::Create(entries, 1, (m_path / "Data" / "p.gpk").c_str());
    }
    ~FuzzFolder()
    {
        std::error_code error;
        if (!m_path.empty())
            fs::remove_all(m_path, error);
    }

    const fs::path& Path() const { return m_path; }

private:
    static std::string ReadBack(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    fs::path m_path;
};

tag_KVRKINDLOADER EffectLoader()
{
    tag_KVRKINDLOADER loader;
    loader.loadFile = [](CResourceController&, const char* path, uint32_t) -> CResourceBase* {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return nullptr;
        std::string name((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return new CResourceBase(name.c_str());
    };
    loader.saveFile = [](const CResourceBase& object, const char* path) -> int {
        std::ofstream out(path, std::ios::binary);
        out << (object.GetName() != nullptr ? object.GetName() : "");
        return out.good() ? 1 : 0;
    };
    return loader;
}

uint32_t Total(CResourceController& controller)
{
    return controller.GetPackList().GetCount() + controller.GetMeshList().GetCount() +
           controller.GetTextureList().GetCount() + controller.GetShaderList().GetCount() +
           controller.GetSoundList().GetCount() + controller.GetEffectList().GetCount() +
           controller.GetSceneList().GetCount();
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzFolder folder;
    if (folder.Path().empty())
        return 0;
    const std::string list = (folder.Path() / "Fuzz.grc").string();
    WriteFile(list, std::string(reinterpret_cast<const char*>(data), size));

    CResourceController controller;
    controller.SetEffectLoader(EffectLoader());
    const int loaded = controller.Load(list.c_str(), 0);
    if (loaded && (controller.GetName() == nullptr || std::strcmp(controller.GetName(), list.c_str()) != 0))
        __builtin_trap();
    if (!loaded)
        return 0;

    // What loaded saves, and the saved set loads back whole.
    const std::string saved = (folder.Path() / "Out" / "Saved.grc").string();
    if (!controller.SaveTo(saved.c_str()))
        return 0;
    CResourceController reloaded;
    reloaded.SetEffectLoader(EffectLoader());
    if (!reloaded.Load(saved.c_str(), 0))
        __builtin_trap();
    // Packs of the saved set replace the loaded ones: three packs, every
    // scene and effect container again.
    if (Total(reloaded) != Total(controller) - controller.GetPackList().GetCount() + 3)
        __builtin_trap();
    return 0;
}
