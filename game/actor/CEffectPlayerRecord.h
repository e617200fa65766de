#pragma once

#include "engine/core/CByteWriter.h"
#include "engine/core/CkvrVector3.h"
#include "engine/core/CkvrVector4.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CGameDataReader;

// One effect player as element-attack files store it: the container to play,
// where to play it, and the "Play" track whose key times (ms of the attack's
// clock) say when. Read from memory within bounds, unlike the stream reader
// of the effect player itself: at most 64 keys at finite, ascending times.
struct CEffectPlayerRecord
{
    static constexpr uint32_t kMaxKeys = 64;
    static constexpr size_t kBoneNameSize = 260;

    struct Key
    {
        float time = 0.0f;
        float ease = 0.0f;
        float value = 0.0f;
    };

    std::string container;
    CkvrVector3 position;
    CkvrVector3 direction;
    CkvrVector3 scale = CkvrVector3(1.0f, 1.0f, 1.0f);
    CkvrVector4 color = CkvrVector4(1.0f, 1.0f, 1.0f, 1.0f);
    float timeLimit = 0.0f;
    uint32_t attachMode = 0; // 0 absolute, 1 on the fighter, 2 on a bone
    char bone[kBoneNameSize] = {};
    std::string trackName = "Play";
    std::vector<Key> keys;
    uint32_t interpolate = 0;
    uint32_t loop = 0;
    float defaultValue = 0.0f;

    // 1 when the whole block is one valid record.
    uint32_t Load(const void* bytes, size_t size);
    void Save(CByteWriter* writer) const;
    // Reads one record inside a larger file.
    void Read(CGameDataReader* reader);

    // The keys in [previous, now): each key plays once as the
    // attack's clock passes it, a key at 0 in the first frame.
    uint32_t CountKeysPassed(uint32_t previous, uint32_t now) const;
};
