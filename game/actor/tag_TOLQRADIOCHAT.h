#pragma once

#include <cstddef>
#include <cstdint>

// One radio-chat message as battle entries and stories copy it: who hears
// it (0 everyone, 1 team-mates), its text and the voice entry it plays.
// Bytes only, so twelve of them make the 420-byte table entries copy whole.
struct tag_TOLQRADIOCHAT
{
    static constexpr size_t kTextSize = 33;
    static constexpr uint8_t kScopeEveryone = 0;
    static constexpr uint8_t kScopeTeam = 1;
    // The voice entries a phrase may name.
    static constexpr uint8_t kFirstPhrase = 0x38;
    static constexpr uint8_t kLastPhrase = 0x47;

    // The limits every reader holds a record's bytes to, from a file or a
    // peer alike.
    static bool IsScope(uint8_t value) { return value <= kScopeTeam; }
    static bool IsPhrase(uint8_t value) { return value >= kFirstPhrase && value <= kLastPhrase; }

    uint8_t scope = 0;
    char text[kTextSize] = {};
    uint8_t phrase = kFirstPhrase;
};

static_assert(sizeof(tag_TOLQRADIOCHAT) == 35, "radio-chat records are 35 bytes");
static_assert(offsetof(tag_TOLQRADIOCHAT, text) == 1 && offsetof(tag_TOLQRADIOCHAT, phrase) == 34,
              "radio-chat fields lie at 0, 1 and 34");
