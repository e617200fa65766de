#pragma once

#include "engine/render/RenderClasses.h"
#include "tests/engine/platform/HeadlessGraphics.h"

// Sets the render classes up, as the program's start-up does, before the
// graphics object that follows it is created.
struct RenderClassesSetUp
{
    RenderClassesSetUp() { RenderClasses::Install(); }
};

// A headless graphics object whose Create reaches the drawing classes and
// makes the default effect.
class RenderGraphics : private RenderClassesSetUp, public HeadlessGraphics
{
public:
    using HeadlessGraphics::HeadlessGraphics;
};
