#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// A short MPEG-1 program stream (video only) written through libavcodec
// and libavformat: the frames come from a painter of ARGB pixels, rows
// top-down. Empty when the encoder or muxer refuses.
namespace MovieEncoder
{
using PaintFrame = std::function<std::vector<uint32_t>(int frame)>;
std::vector<uint8_t> EncodeMpeg1(int width, int height, int framesPerSecond, int frames, const PaintFrame& paint);
}
