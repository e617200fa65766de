#pragma once

#include <cstdint>
#include <string>

class CAnimationController;
class CMesh;
class CkvrMatrix;
class CkvrVector4;
struct tag_KVRBONESTATE;

namespace ActorDrawing
{
// Draws model at world in colour: skinned by animation when it has bones,
// else static. The render list draws with depth writes off for its blended
// work; a solid model turns them on for its own draw and restores them.
void DrawModel(CMesh* model, const CkvrMatrix* world, const CkvrVector4* colour, uint32_t blendMode,
               CAnimationController* animation, bool solid);
// The pose of the bone named name as animation last posed it; null
// without the animation, a name or such a bone.
const tag_KVRBONESTATE* FindBone(CAnimationController* animation, const std::string& name);
}
