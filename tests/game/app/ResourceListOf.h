#pragma once

#include "engine/core/CResourceBase.h"
#include "engine/core/CResourceList.h"
#include "game/app/CQorResourceController.h"

#include <cstdint>

// The controller's list of one kind, as the tests walk it.
inline CResourceList<CResourceBase*>* List(CQorResourceController& controller, uint8_t kind)
{
    return static_cast<CResourceList<CResourceBase*>*>(controller.GetList(kind));
}
