#pragma once

// Positions, velocities and directions of the sound layer: left-handed,
// +x right, +y up, +z forward, as the game's own math uses them.
struct SoundVector3
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};
