#pragma once

// The render library's set-up: hands the graphics object what the drawing
// classes do for it (their static graphics pointers, the camera re-apply,
// and the default effect "Default.shd" with its part of the reset protocol).
// The program's start-up calls it once before the first CGraphics::Create;
// test fixtures that draw call it the same way.
class CGraphics;

namespace RenderClasses
{
// Idempotent.
void Install();
// Points every drawing class at graphics, as its Create does: for a test
// that keeps one graphics object for the process while others come and go.
void AttachGraphics(CGraphics* graphics);
}
