#pragma once

#include <string>

class CEffectContainer;
class CMesh;
class CResourceController;
class CSoundBuffer;
class CTexture;

// Where fighters, weapons, items, elements and stages find the models,
// textures, sounds and effects that their definitions name: the lists of
// the installed resource controller, searched by file name at first use.
// A name that is empty or not found resolves to null, and what needs it
// does nothing; nothing here fails a load. Lookups never touch the
// simulation, so drawing may resolve names at any time.
class CActorResources
{
public:
    // The controller whose lists answer from now on (null: none, every
    // lookup answers null). The controller outlives its use here.
    static void Install(CResourceController* controller);
    static CResourceController* GetController();

    static CMesh* FindMesh(const std::string& name);
    static CTexture* FindTexture(const std::string& name);
    static CSoundBuffer* FindSound(const std::string& name);
    static CEffectContainer* FindEffect(const std::string& name);
};
