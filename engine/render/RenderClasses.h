#pragma once

// The render library's set-up: hands the graphics object what the drawing
// classes do for it (their static graphics pointers, the camera re-apply,
// and the default effect "Default.shd" with its part of the reset protocol).
// The program's start-up calls it once before the first CGraphics::Create;
// test fixtures that draw call it the same way.
namespace RenderClasses
{
// Idempotent.
void Install();
}
