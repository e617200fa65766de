#pragma once

#include <cstdint>

// The kinds of file a resource list names. A kind is recognised by its
// extension text standing anywhere in the path, in exactly the letter cases
// the data was made with ("a.PNG" and "a.png" are images, "a.Png" is not).
enum class ResourceKind : uint8_t
{
    Image,
    XModel,
    Model,
    Sound,
    Shader,
    EffectContainer,
    SceneResource,
    Pack,
    List,
};

// True when one of the kind's extension texts occurs in path.
bool IsResourceKind(const char* path, ResourceKind kind);
