#pragma once

// The battle's menus are the game's pop-up menus.
#include "game/app/tag_TOLQMENU.h"
