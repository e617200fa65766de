#pragma once

class CGameDataLists;
class CResourceController;

// Copies the definitions of the controller's game-data lists (bullets to
// elements) into lists, which the battle's fighters, weapons and stage then
// point into for the battle's life. A controller without those lists (or
// none) leaves lists empty.
void CopyGameDataLists(CResourceController* controller, CGameDataLists* lists);
