#pragma once

#include "engine/effect/EffectContainerLoader.h"
#include "engine/resource/CResourceController.h"
#include "engine/resource/MeshLoader.h"

#include <string>
#include <utility>
#include <vector>

// The resource controller the data kit packs with: the engine's lists plus
// the files no engine loader takes (the font face name), which it keeps by
// name on load and copies into the saved set with their records, the way
// the game's controller carries its game data through the same hooks.
// Story and mission texts go into the saved set in their binary forms.
class CDataKitController : public CResourceController
{
public:
    // The controller's constructors, with the model and effect-container
    // loaders installed.
    template <class... Args>
    explicit CDataKitController(Args&&... args) : CResourceController(std::forward<Args>(args)...)
    {
        InstallMeshLoader(*this);
        InstallEffectContainerLoader(*this);
    }
    ~CDataKitController() override;

    int LoadOther(CkvrPackFile* pack, const char* name, uint32_t loadContents) override;
    int SaveOther(CResourceSaveJob& job) override;
    void ReleaseOther() override;

    // Names of the other files, in load order.
    const std::vector<std::string>& GetOtherNames() const { return m_names; }

private:
    std::vector<std::string> m_names;
    std::vector<std::string> m_paths;
};
