#pragma once

#include <cstdint>
#include <vector>

// The three effects the engine carries inside the program, as effect
// images (engine/platform/device/EffectImage.h), built once on first use:
//
// "Default.shd" draws every model. Techniques "SkinningVersion_20",
// "SkinningVersion_11", "SkinningNonTextureVersion_20",
// "SkinningNonTextureVersion_11", "Version_20", "Version_11",
// "NonTextureVersion_20", "NonTextureVersion_11", one pass each. One
// directional light (g_LightDir points from the light into the scene),
// material colours, linear fog over the clip-space depth w between
// g_FogStart and g_FogEnd in the device's fog colour when the device's fog
// is on, the texture read at the texture coordinate plus g_AddUV. Skinned
// techniques blend g_CurBones (1-4) bone matrices of g_WorldMatrixArray
// (world matrices with the fourth column dropped) chosen by the vertex's
// blend indices (unsigned bytes, UBYTE4); the last weight is one minus the
// others. Unskinned techniques place the vertex with g_WorldMatrix.
//
// "GaussFilter.shd": technique "GaussFilter", two passes (horizontal with
// OffsetX, vertical with OffsetY), each adding Weight[i] times the texture
// at +offset and -offset for i = 0..7; the result is opaque (alpha 1).
//
// "BasicFilter.shd": "BasicFilter" (the texture), "BrightFilter" (what
// exceeds g_MinBright), "MonochromeFilter" (luma 0.299 R + 0.587 G +
// 0.114 B), "SepiaFilter" (that luma tinted: R = Y + 0.0956, G = Y - 0.0272,
// B = Y - 0.1106, the YIQ colour with I = 0.1). Each multiplies by the
// vertex colour.
namespace BuiltInEffects
{
const std::vector<uint8_t>& GetDefaultImage();
const std::vector<uint8_t>& GetGaussFilterImage();
const std::vector<uint8_t>& GetBasicFilterImage();
}
