#pragma once

#include "engine/core/CList.h"
#include "engine/core/CObjectBase.h"
#include "engine/core/tag_KVRMODELVERTEX.h"

#include <cstdint>
#include <memory>

class CGraphics;
class CTexture;
class DeviceBuffer;
class DeviceTexture;

// A grid of vertices drawn as double-sided ribbons: each pair of columns is
// one ribbon and each row one cross-section along it. The owner writes the
// vertex records and how many to draw every frame; Render copies them into
// the vertex buffer and draws them with the index buffer built once.
//
// Vertex (row r, column c) is record r x columns + c. Only whole column
// pairs and whole rows are drawn: with an odd column count the last column
// is left out, and the draw count is cut down to whole rows of the grid.
class CPrimitiveList : public CObjectBase
{
public:
    // What the render library lends the primitive list: the render list's
    // Add for queued drawing and the device texture of a CTexture.
    struct RenderHooks
    {
        int (*queue)(uintptr_t list, CObjectBase* object) = nullptr;
        DeviceTexture* (*deviceTexture)(const CTexture* texture) = nullptr;
    };
    static void SetRenderHooks(const RenderHooks& hooks);

    CPrimitiveList();
    ~CPrimitiveList() override;

    CPrimitiveList(const CPrimitiveList&) = delete;
    CPrimitiveList& operator=(const CPrimitiveList&) = delete;

    static void SetGraphics(CGraphics* graphics) { s_graphics = graphics; }
    static CGraphics* GetGraphics() { return s_graphics; }

    uint32_t Release() override;
    const char* GetClassName() const override { return "CPrimitiveList"; }

    int Create(uintptr_t) override { return 1; }
    int Update(uintptr_t) override { return 1; }
    // argument: the render list (a CRenderList*) to queue into when the
    // object uses the render list; 0 draws now.
    int Render(uintptr_t argument) override;

    // indexSize 2 or 4; fvf a combination of FVF_XYZ (required),
    // FVF_NORMAL, FVF_DIFFUSE and FVF_TEX1 that fits in stride bytes.
    virtual int Build(uint32_t columns, uint32_t rows, uint32_t stride, uint32_t fvf, uint32_t indexSize);

    void SetTexture(CTexture* texture) { m_texture = texture; }
    CTexture* GetTexture() const { return m_texture; }
    void SetDrawCount(uint32_t count) { m_drawCount = count; }
    uint32_t GetDrawCount() const { return m_drawCount; }
    CList<tag_KVRMODELVERTEX>* GetVertexList() const { return m_vertices; }
    CList<uint32_t>* GetIndexList() const { return m_indices; }
    void SetStreams();

    uint32_t GetColumns() const { return m_columns; }
    uint32_t GetRows() const { return m_rows; }
    uint32_t GetIndexCount() const { return m_indices != nullptr ? m_indices->GetCount() : 0; }
    DeviceBuffer* GetVertexBuffer() const { return m_vertexBuffer.get(); }
    DeviceBuffer* GetIndexBuffer() const { return m_indexBuffer.get(); }

    // Of the draw count: the vertices drawn (whole rows of the grid, 0 below
    // two rows) and the triangles they make.
    uint32_t GetDrawnVertices() const;
    uint32_t GetDrawnTriangles() const;

    // Bytes of one vertex of the FVF as FillVertices writes it.
    static uint32_t VertexSize(uint32_t fvf);

private:
    void ReleaseBuffers();
    uint32_t PairCount() const { return m_columns / 2; }
    int FillIndices();
    int FillVertices(uint32_t count);

    CList<tag_KVRMODELVERTEX>* m_vertices = nullptr;
    CList<uint32_t>* m_indices = nullptr;
    std::unique_ptr<DeviceBuffer> m_vertexBuffer;
    std::unique_ptr<DeviceBuffer> m_indexBuffer;
    uint32_t m_columns = 0;
    uint32_t m_rows = 0;
    uint32_t m_stride = 0;
    uint32_t m_fvf = 0;
    uint32_t m_indexSize = 0;
    uint32_t m_drawCount = 0;
    CTexture* m_texture = nullptr;

    static CGraphics* s_graphics;
};
