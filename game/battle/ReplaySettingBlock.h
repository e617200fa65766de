#pragma once

#include <cstdint>
#include <string>

class CByteReader;
class CByteWriter;
struct tag_TOLQBATTLESETTING;

// The battle setting as a replay file stores it: player count, own slot,
// seed, the 36-byte rules, then per entry its character, seat, team, start
// point, sensitivities, factors, flags, name, radio chat and the names of
// its weapons and clothes. Texts are a length byte (with the NUL; 0 for
// none) and the bytes, so a text keeps at most 126 characters: longer ones
// are cut. The local-input field, the preview and the room words stay out.

void WriteReplaySettingBlock(CByteWriter* writer, const tag_TOLQBATTLESETTING& setting);

// Reads a block into setting, replacing its entries (their previews are
// freed) and its count, own slot, seed and rules; the viewed slot becomes
// the own slot. Every value is checked first: 1..8 players, the own slot, a
// seat, team, character and CPU level each in range, finite factors and
// sensitivities, text lengths. A block that fails a check or ends early is
// refused with its reason and leaves setting as it was. The texts are new
// copies that belong to the setting's owner (FreeReplayTexts).
bool ReadReplaySettingBlock(CByteReader* reader, tag_TOLQBATTLESETTING* setting, std::string* reason);

// Whether every seat of a read setting can be rebuilt from characterCount
// loaded characters. A seat that can't would leave its place empty while
// its input records stay in the frames, and the playback would read every
// later frame out of step; a computer's would fight another battle. reason
// names the first such seat.
bool ReplaySeatsResolve(const tag_TOLQBATTLESETTING& setting, uint32_t characterCount, std::string* reason);
