#pragma once

#include "engine/core/CResourceBase.h"

#include <cstdint>

class CGraphics;
class CMesh;
class CkvrMatrix;

// A text X file loaded for drawing as it is, subset (material) by subset,
// through the fixed-function pipeline. Textures that cannot be loaded leave
// their subsets untextured.
class CXMesh : public CResourceBase
{
public:
    CXMesh();
    CXMesh(const CXMesh&) = delete;
    CXMesh& operator=(const CXMesh&) = delete;
    ~CXMesh() override;

    static void SetGraphics(CGraphics* graphics) { s_graphics = graphics; }

    uint32_t Release() override;
    const char* GetClassName() const override { return "CXMesh"; }

    uint32_t LoadFromFile(const char* fileName);
    uint32_t Draw(const CkvrMatrix* world);
    uint32_t DrawSubset(const CkvrMatrix* world, uint32_t subset);
    uint32_t GetSubsetCount() const;
    CMesh* GetMesh() const { return m_mesh; }

private:
    CMesh* m_mesh = nullptr;

    static CGraphics* s_graphics;
};
