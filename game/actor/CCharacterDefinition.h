#pragma once

#include "engine/core/CByteWriter.h"
#include "engine/core/CkvrVector3.h"
#include "game/actor/tag_TOLQRADIOCHAT.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A character as its ".chr" file ("QCHR") describes it: who it is, what it
// carries by default, its body and speeds, its motions and voices.
struct CCharacterDefinition
{
    static constexpr size_t kNameSize = 260;
    static constexpr uint32_t kWeaponSlots = 10;
    static constexpr uint32_t kClothesSlots = 6;
    static constexpr uint32_t kRadioChats = 12;
    static constexpr size_t kRadioTextSize = tag_TOLQRADIOCHAT::kTextSize;
    static constexpr uint32_t kMaxMotions = 40;
    static constexpr uint32_t kMaxVoices = 72;

    using RadioChat = tag_TOLQRADIOCHAT;

    struct Motion
    {
        uint8_t animation = 255; // 255 none
        uint8_t loop = 0;
        float speed = 1.0f;
    };

    char name[kNameSize] = {};
    uint8_t number = 0;  // 0-7
    uint8_t element = 0; // 0-6
    uint8_t npc = 0;
    uint8_t kind = 0; // 4: aims through a scope
    uint8_t routePlateA = 0;
    uint8_t routePlateB = 0;
    uint32_t ownBit = 1;
    char defaultWeapons[kWeaponSlots][kNameSize] = {};
    char defaultClothes[kClothesSlots][kNameSize] = {};
    char firstChapter[kNameSize] = {};
    RadioChat radio[kRadioChats];
    uint16_t life = 100;
    uint8_t epMax = 0;
    float epRegen = 0.0f;    // per second
    float gaugeRegen = 0.0f; // percent per second
    float radius = 0.5f;
    float height = 1.8f;
    float walkSpeed = 1.0f;
    float dashSpeed = 1.0f;
    float jumpSpeed = 1.0f;
    float gravity = 1.0f;
    float airDashSpeed = 1.0f;
    float dodgeSpeed = 1.0f;
    CkvrVector3 handOffset;
    float eyeHeight = 1.5f;
    std::string maximumAttack;
    std::string model;
    // The model's bone that carries the hand holding the weapon; empty none.
    std::string handBone;
    std::vector<Motion> motions;
    std::vector<std::string> voices;

    uint32_t Load(const void* bytes, size_t size);
    void Save(CByteWriter* writer) const;
};
