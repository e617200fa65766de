#pragma once

#include <cstdint>
#include <vector>

// The glow filter's own effect: the passes that let it read whole texels
// where its blur and composite land on them, so that they cost what their
// pixels need and draw what the Gaussian effect and the three target draws
// draw (see CHDRFilter). An effect image (EffectImage.h), built once on
// first use. Techniques, one pass each:
//
// "Halve": the source read at the texture coordinate (filtered, clamped at
// the edges), opaque. Drawn over a region whose texels land on the corners
// of 2 x 2 source texels, it keeps the halved picture the blur's first pass
// would read.
//
// "Blur": Weight[i] times the sum of the source's texels Step * (i + 1)
// before and after this pixel, i = 0..7, opaque. Texel q of the region is
// the source's texel Origin + q; a q below Low reads the texel at Low (the
// clamped edge). Past the region's far edges the source must hold
// nothing (the cleared margins).
//
// "Composite": onto the render target, with the blend factors one and
// inverse source alpha: the scene target's texel as an alpha blend would
// put it, plus the glow target's texel times GlowColor and the blur read
// at the texture coordinate (filtered, wrapped) times BlurColor as additive
// blends would add them, each in the blend unit's 8-bit steps and each
// dropped when its alpha is not above AlphaRef (-1 with no alpha test).
//
// "FeedBack": the blur read at the texture coordinate (filtered, wrapped)
// times FeedColor, as a target draw would colour it.
//
// "Scene": the scene target's texel at this pixel, as a target draw would
// read it.
namespace GlowEffect
{
const std::vector<uint8_t>& GetImage();
}
