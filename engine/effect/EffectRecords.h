#pragma once

#include "engine/core/CkvrVector3.h"
#include "engine/core/CkvrVector4.h"

#include <cstdint>
#include <cstdio>

class CObjectBase;
class CTexture;
struct tag_KVRBONESTATE;

// Definition block of an effect object, stored as 60 bytes in effect files.
struct tag_KVREFFECTPARAMETER
{
    float length;           // lifetime in seconds; 0 or less = endless
    uint8_t kind;           // 0 textured quad, 1 model, 2 sound, 3 nested container
    uint8_t reserved[3];    // kept as read
    float size;             // particle radius before scaling
    CkvrVector3 facingAxis; // axis of the motion-aligned facing mode
    uint32_t sorted;        // particles go through the depth-sorted render list
    uint32_t billboard;     // particle facing mode
    uint32_t blendMode;
    uint32_t optionWord;
    int32_t renderOption;
    uint32_t loopMode;      // 1 wraps looping tracks over first..last key
    uint32_t flags;         // EFFECTFLAG_*
    int32_t volumeOffset;   // hundredths of a decibel added to the effect volume
    uint32_t rotationOrder; // lowest set bit picks the Euler order
};

// Particle behaviour of an effect object, stored as 156 bytes.
struct tag_KVRPARTICLEPARAMETER
{
    float life;
    CkvrVector3 offset;
    CkvrVector3 positionSpread;
    CkvrVector3 rotationSpread;
    CkvrVector3 scaleSpread;
    CkvrVector3 scaleDecay;
    CkvrVector3 direction;
    CkvrVector3 directionSpread;
    CkvrVector3 spin;
    CkvrVector4 colorSpread;
    CkvrVector4 colorDecay;
    float speed;
    float speedSpread;
    float gravity;
    uint32_t reserved;
    uint32_t attach;
    uint32_t traceCount;
};

// One ribbon trail drawn behind each particle.
struct tag_KVRPARTICLETRACEDATA
{
    CkvrVector3 firstEdge;
    CkvrVector3 secondEdge;
    float fade;
    float pull;
    uint32_t segments;
    char* textureName; // owned by the effect object, aligned block
    CTexture* texture; // resolved by name, never stored
};

// What a play call asks for; every live effect keeps a copy.
struct tag_KVREFFECTPLAY
{
    CkvrVector3 position;
    CkvrVector3 direction;
    CkvrVector3 scale;
    CkvrVector4 color;
    CkvrVector3* followPosition;
    CkvrVector3* followDirection;
    CkvrVector3* followScale;
    CkvrVector4* followColor;
    CObjectBase* followObject;
    tag_KVRBONESTATE* followBone;
};

// Volume and 3D distance the effect sounds play with.
struct tag_KVREFFECTSOUND
{
    int32_t volume; // hundredths of a decibel, -10000 silent
    float distance;
    uint32_t spare;
};

enum : uint32_t
{
    EFFECTFLAG_NO_ROTATION = 1,
    EFFECTFLAG_RADIAL = 2,
    EFFECTFLAG_NO_FOG = 4,
    EFFECTFLAG_INWARD = 8,
    EFFECTFLAG_BONE_FACING = 16,
    EFFECTFLAG_DETACHED = 32,
    EFFECTFLAG_TRACK_ROTATION_ONLY = 64,
    EFFECTFLAG_DETACHED_POSITION = 128,
    EFFECTFLAG_DETACHED_ROTATION = 256,
    EFFECTFLAG_DETACHED_SCALING = 512,
    EFFECTFLAG_DETACHED_COLOR = 1024,
};

enum : uint32_t
{
    EFFECTKIND_TEXTURE = 0,
    EFFECTKIND_MODEL = 1,
    EFFECTKIND_SOUND = 2,
    EFFECTKIND_CONTAINER = 3,
};

constexpr uint32_t kEffectParameterSize = 60;
constexpr uint32_t kParticleParameterSize = 156;

// Field-by-field little-endian images of the two blocks.
void EncodeEffectParameter(const tag_KVREFFECTPARAMETER& block, uint8_t out[kEffectParameterSize]);
void DecodeEffectParameter(const uint8_t in[kEffectParameterSize], tag_KVREFFECTPARAMETER* block);
void EncodeParticleParameter(const tag_KVRPARTICLEPARAMETER& block, uint8_t out[kParticleParameterSize]);
void DecodeParticleParameter(const uint8_t in[kParticleParameterSize], tag_KVRPARTICLEPARAMETER* block);

// A counted string of an engine binary file: u32 length with the NUL, then
// the bytes. Null writes a length of 0.
bool WriteCountedString(FILE* file, const char* text);
// Reads a counted string into a new 16-byte aligned block (null for a length
// of 0). The length is checked against the bytes left in the stream and
// against maxLength; the block always ends with a NUL.
bool ReadCountedString(FILE* file, uint32_t maxLength, char** text);
// Aligned copy of text (null for null); the caller frees it with AlignedFree.
char* CopyAlignedString(const char* text);
