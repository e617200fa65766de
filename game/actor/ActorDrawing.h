#pragma once

#include <cstdint>

class CAnimationController;
class CMesh;
class CkvrMatrix;
class CkvrVector4;

namespace ActorDrawing
{
// Draws model at world in colour: skinned by animation when it has bones,
// else static. The render list draws with depth writes off for its blended
// work; a solid model turns them on for its own draw and restores them.
void DrawModel(CMesh* model, const CkvrMatrix* world, const CkvrVector4* colour, uint32_t blendMode,
               CAnimationController* animation, bool solid);
}
