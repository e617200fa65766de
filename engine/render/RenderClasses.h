#pragma once

// The render library installs itself into the graphics object: the static
// graphics pointer of every drawing class, the camera re-apply hook and the
// default effect "Default.shd" with its part of the reset protocol.
//
// Install runs from a static initialiser of RenderClasses.cpp. The render
// library's link interface names that object file's anchor symbol
// (kvr_render_classes_anchor) as undefined, so every program linking the
// library keeps it even though nothing calls into it.
namespace RenderClasses
{
// Idempotent; returns true.
bool Install();
}
