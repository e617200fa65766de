#include "engine/resource/ResourceKind.h"

#include <cstring>

namespace
{
// Each kind's extension texts, ended by a null.
const char* const kImage[] = {".BMP", ".bmp", ".PNG", ".png", ".DDS", ".dds", nullptr};
const char* const kXModel[] = {".x", ".X", nullptr};
const char* const kModel[] = {".mdl", ".MDL", nullptr};
const char* const kSound[] = {".wav", ".WAV", ".ogg", ".OGG", nullptr};
const char* const kShader[] = {".fx", ".FX", nullptr};
const char* const kEffect[] = {".efc", ".EFC", nullptr};
const char* const kScene[] = {".sce", ".SCE", nullptr};
const char* const kPack[] = {".gpk", ".GPK", nullptr};
const char* const kList[] = {".grc", nullptr};

const char* const* ExtensionsOf(ResourceKind kind)
{
    switch (kind)
    {
    case ResourceKind::Image:
        return kImage;
    case ResourceKind::XModel:
        return kXModel;
    case ResourceKind::Model:
        return kModel;
    case ResourceKind::Sound:
        return kSound;
    case ResourceKind::Shader:
        return kShader;
    case ResourceKind::EffectContainer:
        return kEffect;
    case ResourceKind::SceneResource:
        return kScene;
    case ResourceKind::Pack:
        return kPack;
    case ResourceKind::List:
        return kList;
    }
    return nullptr;
}
}

bool IsResourceKind(const char* path, ResourceKind kind)
{
    const char* const* extensions = ExtensionsOf(kind);
    if (path == nullptr || extensions == nullptr)
        return false;
    for (; *extensions != nullptr; ++extensions)
    {
        if (std::strstr(path, *extensions) != nullptr)
            return true;
    }
    return false;
}
