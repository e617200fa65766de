#pragma once

// The battle's menus are the game's pop-up menus: one record for both.
#include "game/app/tag_TOLQMENU.h"
