#pragma once

#include "engine/core/CScene.h"

// The engine's own small scene resource, kept by the resource controller in
// .sce files: a u32 length L (the name's bytes with its NUL; 0 for no name)
// followed by the name.
class CSceneResource : public CScene
{
public:
    CSceneResource() = default;
    explicit CSceneResource(const char* name) : CScene(name) {}

    const char* GetClassName() const override { return "CSceneResource"; }
    int Init(uintptr_t) override { return 1; }
    int Update(uintptr_t) override { return 1; }
    int Render(uintptr_t) override { return 1; }

    // Takes the name from the file. A length that the file can't hold fails
    // and leaves the object without a name. 1/0.
    int Load(const char* path);
    int Save(const char* path) const;

private:
    int LoadName(const char* path);
};
