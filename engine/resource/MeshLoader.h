#pragma once

#include "engine/resource/ResourceKindLoader.h"

// The resource controller's loader for models (.mdl, and text X files
// converted beside them): meshes resolve their textures and effects in the
// controller's lists, so textures and shaders come earlier in a list.
tag_KVRKINDLOADER MakeMeshLoader();
void InstallMeshLoader(CResourceController& controller);
