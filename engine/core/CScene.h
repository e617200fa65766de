#pragma once

#include "engine/core/CResourceBase.h"

#include <cstdint>

// Base of every scene of the game: a named resource that is initialised with
// the game's scene parameter block, then updated and rendered every frame
// until the next scene takes over (it is then released and deleted).
//
// The word arguments are wide enough to carry a pointer, such as the address
// of the parameter block handed to Init.
class CScene : public CResourceBase
{
public:
    CScene() = default;
    explicit CScene(const char* name) : CResourceBase(name) {}

    const char* GetClassName() const override { return "CScene"; }

    virtual int Init(uintptr_t parameter) = 0;
    virtual int Update(uintptr_t argument) = 0;
    virtual int Render(uintptr_t argument) = 0;
};
