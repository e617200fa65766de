#pragma once

#include <cstdint>

// The 32-byte block a scene's Init gets through the scene switch: where
// the scene resumes. Eight 32-bit words; CController::ChangeScene fills the
// sub-state, the first fade and the item and zeroes the rest. Each scene
// reads the words it knows (the title: all of them).
struct tag_TOLQSCENEPARAM
{
    uint32_t subState = 0; // word 0
    float fade = 0.0f;     // word 1: the first fade level (the background)
    float fade2 = 0.0f;    // word 2: the second (the screen's pictures)
    float fade3 = 0.0f;    // word 3: the third (a page)
    uint32_t value4 = 0;   // words 4 and 5: the scene's own
    uint32_t value5 = 0;
    uint32_t step = 0; // word 6: the step or state to resume in
    uint32_t item = 0; // word 7: the item to show first
};
static_assert(sizeof(tag_TOLQSCENEPARAM) == 32, "the scene parameter block is eight words");

// The block behind a scene's Init argument; null for none.
inline const tag_TOLQSCENEPARAM* SceneParam(uintptr_t parameter)
{
    return reinterpret_cast<const tag_TOLQSCENEPARAM*>(parameter);
}
