#pragma once

#include <cstdint>

class CGameDataLists;
class CResourceController;

// Copies the definitions of the controller's game-data lists (bullets to
// elements) into lists, which the battle's fighters, weapons and stage then
// point into for the battle's life. A controller without those lists (or
// none) leaves lists empty.
void CopyGameDataLists(CResourceController* controller, CGameDataLists* lists);

// How many characters a battle built now would find in the controller's
// list (0 without one).
uint32_t CountGameCharacters(CResourceController* controller);
