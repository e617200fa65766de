#pragma once

#include "engine/resource/ResourceKindLoader.h"

class CResourceController;

// The resource controller's loader for effect containers (".efc"): reads a
// container from a file or a pack entry, resolves its resources in the
// controller's lists when the load asks for contents, and writes it back.
tag_KVRKINDLOADER MakeEffectContainerLoader();
// Installs that loader on a controller.
void InstallEffectContainerLoader(CResourceController& controller);
