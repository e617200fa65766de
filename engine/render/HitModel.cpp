#include "engine/render/HitModel.h"

#include "engine/core/Collision.h"
#include "engine/render/CMesh.h"
#include "engine/render/CModelBlock.h"
#include "engine/render/CModelObject.h"

namespace
{
// One query: its shape, the box around it, the shared best distance and
// where the results go. Kept on the stack, so queries may nest.
struct HitQuery
{
    enum Shape
    {
        SEGMENT,
        SPHERE,
        BOX,
    };

    Shape shape = SEGMENT;
    CkvrVector3 a; // segment start, sphere or box centre
    CkvrVector3 b; // segment end, box half size
    float radius = 0.0f;
    uint32_t side = HIT_SIDE_FRONT;
    // Left unset here: every query's maker fills it, and a query is made
    // for every bullet of every frame.
    float bounds[6];
    float best = 0.0f;
    CkvrVector3* point = nullptr;
    CkvrVector3* normal = nullptr;
    uint32_t* triangle = nullptr;
    uint32_t* range = nullptr;
    bool hit = false;
    // Set by the first hit when no point was asked for.
    bool done = false;
};

HitQuery SegmentQuery(const CkvrVector3& start, const CkvrVector3& end, uint32_t side)
{
    HitQuery q;
    q.shape = HitQuery::SEGMENT;
    q.a = start;
    q.b = end;
    q.side = side;
    GetPointBounds(q.bounds, q.bounds + 3, &start.x, &end.x);
    q.best = (end - start).LengthSq();
    return q;
}

HitQuery SphereQuery(const CkvrVector3& centre, float radius, uint32_t side)
{
    HitQuery q;
    q.shape = HitQuery::SPHERE;
    q.a = centre;
    q.radius = radius;
    q.side = side;
    float high[3];
    float low[3];
    GetPointBounds(q.bounds, q.bounds + 3, Vec3AddScalar(&centre.x, radius, high),
                   Vec3SubScalar(&centre.x, radius, low));
    q.best = 2.0f * radius * radius;
    return q;
}

HitQuery BoxQuery(const float* box, uint32_t side)
{
    HitQuery q;
    q.shape = HitQuery::BOX;
    q.a.Set(box[0], box[1], box[2]);
    q.b.Set(box[3], box[4], box[5]);
    q.side = side;
    float high[3];
    float low[3];
    GetPointBounds(q.bounds, q.bounds + 3, Vec3Add(box, box + 3, high), Vec3Sub(box, box + 3, low));
    q.best = 2.0f * q.b.LengthSq();
    return q;
}

uint32_t TestTriangle(HitQuery& q, const CkvrVector3& p0, const CkvrVector3& p1, const CkvrVector3& p2)
{
    switch (q.shape)
    {
    case HitQuery::SEGMENT:
        return HitSegmentTriangle(&q.a, &q.b, &p0, &p1, &p2, q.side, q.point, q.normal, &q.best);
    case HitQuery::SPHERE:
        return HitSphereTriangle(&q.a, q.radius, &p0, &p1, &p2, q.side, q.point, q.normal, &q.best);
    case HitQuery::BOX:
        return HitBoxTriangle(&q.a, &q.b, &p0, &p1, &p2, q.side, q.point, q.normal, &q.best);
    }
    return 0;
}

// The triangles at index positions from, from + 3, ... below to, with
// positions from the object's vertices. ranges (optional) name the
// material range of a hit.
void RunTriangles(HitQuery& q, const CModelVertexList& vertices, const CList<uint32_t>& indices, uint64_t from,
                  uint64_t to, const CList<tag_KVRMODELINDEXOFFSET>* ranges)
{
    const uint32_t vertexCount = vertices.GetCount();
    const uint32_t* data = indices.GetData();
    if (to > indices.GetCount())
        to = indices.GetCount();
    for (uint64_t i = from; i + 3 <= to && !q.done; i += 3)
    {
        const uint32_t* t = data + i;
        // Indices come from files: one past the vertices names no triangle.
        if (t[0] >= vertexCount || t[1] >= vertexCount || t[2] >= vertexCount)
            continue;
        const CkvrVector3& p0 = vertices.GetData()[t[0]].position;
        const CkvrVector3& p1 = vertices.GetData()[t[1]].position;
        const CkvrVector3& p2 = vertices.GetData()[t[2]].position;
        float triangleBounds[6];
        GetTriangleBounds(triangleBounds, triangleBounds + 3, &p0.x, &p1.x, &p2.x);
        if (!HitBoxBox(q.bounds, triangleBounds) || !TestTriangle(q, p0, p1, p2))
            continue;
        if (q.triangle != nullptr)
            *q.triangle = static_cast<uint32_t>(i / 3);
        if (ranges != nullptr && q.range != nullptr)
        {
            for (uint32_t k = 0; k < ranges->GetCount(); ++k)
            {
                const tag_KVRMODELINDEXOFFSET* r = ranges->GetAt(k);
                if (i < uint64_t(r->start) + r->count)
                {
                    *q.range = k;
                    break;
                }
            }
        }
        q.hit = true;
        q.done = q.point == nullptr;
    }
}

void RunWhole(HitQuery& q, CModelObject* object)
{
    KVRMODELINDEXSET* set = object->GetIndexSet();
    RunTriangles(q, *object->GetVertexList(), set->indices, 0, set->indices.GetCount(), &set->ranges);
}

void RunRange(HitQuery& q, const CModelVertexList& vertices, const KVRMODELINDEXSET& set, uint32_t rangeIndex)
{
    const tag_KVRMODELINDEXOFFSET* r = set.ranges.GetAt(rangeIndex);
    if (r == nullptr)
        return;
    RunTriangles(q, vertices, set.indices, r->start, uint64_t(r->start) + r->count, nullptr);
}

// The blocks of the cells the query's box touches; the whole block, or only
// range rangeIndex of it when ranged.
void RunGrid(HitQuery& q, CModelObject* object, bool ranged, uint32_t rangeIndex)
{
    if (object->GetBlocks() == nullptr)
    {
        // Without a grid there are no cells to narrow the search down.
        if (ranged)
            RunRange(q, *object->GetVertexList(), *object->GetIndexSet(), rangeIndex);
        else
            RunWhole(q, object);
        return;
    }
    const CkvrVector3 low(q.bounds[0], q.bounds[1], q.bounds[2]);
    const CkvrVector3 high(q.bounds[3], q.bounds[4], q.bounds[5]);
    uint32_t first[3];
    uint32_t last[3];
    // A query that is not a number is in no cell.
    if (!object->HitGridCellIndex(&low, &first[0], &first[1], &first[2]) ||
        !object->HitGridCellIndex(&high, &last[0], &last[1], &last[2]))
        return;
    const CModelVertexList& vertices = *object->GetVertexList();
    for (uint32_t x = first[0]; x <= last[0] && !q.done; ++x)
    {
        for (uint32_t y = first[1]; y <= last[1] && !q.done; ++y)
        {
            for (uint32_t z = first[2]; z <= last[2] && !q.done; ++z)
            {
                CModelBlock* block = object->GetCellBlock(x, y, z);
                // A block whose triangles all lie apart from the query's box
                // holds no triangle its own bounds test would let through.
                if (block == nullptr || !HitBoxBox(q.bounds, block->GetContentBounds()))
                    continue;
                const KVRMODELINDEXSET& set = *block->GetIndexSet();
                if (ranged)
                    RunRange(q, vertices, set, rangeIndex);
                else
                    RunTriangles(q, vertices, set.indices, 0, set.indices.GetCount(), &set.ranges);
            }
        }
    }
}

uint32_t RunMesh(HitQuery& q, CMesh* mesh, bool grid)
{
    CResourceList<CModelObject*>* objects = mesh->GetObjectList();
    for (uint32_t i = 0; i < objects->GetCount() && !q.done; ++i)
    {
        CModelObject* object = objects->GetItem(i);
        if (object == nullptr)
            continue;
        if (grid)
            RunGrid(q, object, false, 0);
        else
            RunWhole(q, object);
    }
    return q.hit ? 1 : 0;
}

HitQuery& WithOutputs(HitQuery& q, CkvrVector3* point, CkvrVector3* normal, uint32_t* triangle, uint32_t* range)
{
    q.point = point;
    q.normal = normal;
    q.triangle = triangle;
    q.range = range;
    return q;
}

uint32_t RunObjectRange(HitQuery& q, CModelObject* object, uint32_t rangeIndex)
{
    RunRange(q, *object->GetVertexList(), *object->GetIndexSet(), rangeIndex);
    return q.hit ? 1 : 0;
}

uint32_t RunBlockGrid(HitQuery& q, CModelObject* object, uint32_t rangeIndex)
{
    RunGrid(q, object, true, rangeIndex);
    return q.hit ? 1 : 0;
}
}

uint32_t HitSegmentModel(const CkvrVector3* start, const CkvrVector3* end, CMesh* mesh, uint32_t side,
                         CkvrVector3* point, CkvrVector3* normal, uint32_t* triangle, uint32_t* range)
{
    if (start == nullptr || end == nullptr || mesh == nullptr)
        return 0;
    HitQuery q = SegmentQuery(*start, *end, side);
    return RunMesh(WithOutputs(q, point, normal, triangle, range), mesh, false);
}

uint32_t HitSphereModel(const CkvrVector3* centre, float radius, CMesh* mesh, uint32_t side, CkvrVector3* point,
                        CkvrVector3* normal, uint32_t* triangle, uint32_t* range)
{
    if (centre == nullptr || mesh == nullptr)
        return 0;
    HitQuery q = SphereQuery(*centre, radius, side);
    return RunMesh(WithOutputs(q, point, normal, triangle, range), mesh, false);
}

uint32_t HitBoxModel(const float* box, CMesh* mesh, uint32_t side, CkvrVector3* point, CkvrVector3* normal,
                     uint32_t* triangle, uint32_t* range)
{
    if (box == nullptr || mesh == nullptr)
        return 0;
    HitQuery q = BoxQuery(box, side);
    return RunMesh(WithOutputs(q, point, normal, triangle, range), mesh, false);
}

uint32_t HitSegmentModelRange(const CkvrVector3* start, const CkvrVector3* end, uint32_t rangeIndex,
                              CModelObject* object, uint32_t side, CkvrVector3* point, CkvrVector3* normal,
                              uint32_t* triangle)
{
    if (start == nullptr || end == nullptr || object == nullptr)
        return 0;
    HitQuery q = SegmentQuery(*start, *end, side);
    return RunObjectRange(WithOutputs(q, point, normal, triangle, nullptr), object, rangeIndex);
}

uint32_t HitSphereModelRange(const CkvrVector3* centre, float radius, uint32_t rangeIndex, CModelObject* object,
                             uint32_t side, CkvrVector3* point, CkvrVector3* normal, uint32_t* triangle)
{
    if (centre == nullptr || object == nullptr)
        return 0;
    HitQuery q = SphereQuery(*centre, radius, side);
    return RunObjectRange(WithOutputs(q, point, normal, triangle, nullptr), object, rangeIndex);
}

uint32_t HitBoxModelRange(const float* box, uint32_t rangeIndex, CModelObject* object, uint32_t side,
                          CkvrVector3* point, CkvrVector3* normal, uint32_t* triangle)
{
    if (box == nullptr || object == nullptr)
        return 0;
    HitQuery q = BoxQuery(box, side);
    return RunObjectRange(WithOutputs(q, point, normal, triangle, nullptr), object, rangeIndex);
}

uint32_t HitSegmentModelGrid(const CkvrVector3* start, const CkvrVector3* end, CMesh* mesh, uint32_t side,
                             CkvrVector3* point, CkvrVector3* normal, uint32_t* triangle, uint32_t* range)
{
    if (start == nullptr || end == nullptr || mesh == nullptr)
        return 0;
    HitQuery q = SegmentQuery(*start, *end, side);
    return RunMesh(WithOutputs(q, point, normal, triangle, range), mesh, true);
}

uint32_t HitSphereModelGrid(const CkvrVector3* centre, float radius, CMesh* mesh, uint32_t side, CkvrVector3* point,
                            CkvrVector3* normal, uint32_t* triangle, uint32_t* range)
{
    if (centre == nullptr || mesh == nullptr)
        return 0;
    HitQuery q = SphereQuery(*centre, radius, side);
    return RunMesh(WithOutputs(q, point, normal, triangle, range), mesh, true);
}

uint32_t HitBoxModelGrid(const float* box, CMesh* mesh, uint32_t side, CkvrVector3* point, CkvrVector3* normal,
                         uint32_t* triangle, uint32_t* range)
{
    if (box == nullptr || mesh == nullptr)
        return 0;
    HitQuery q = BoxQuery(box, side);
    return RunMesh(WithOutputs(q, point, normal, triangle, range), mesh, true);
}

uint32_t HitSegmentBlockGrid(const CkvrVector3* start, const CkvrVector3* end, uint32_t rangeIndex,
                             CModelObject* object, uint32_t side, CkvrVector3* point, CkvrVector3* normal,
                             uint32_t* triangle)
{
    if (start == nullptr || end == nullptr || object == nullptr)
        return 0;
    HitQuery q = SegmentQuery(*start, *end, side);
    return RunBlockGrid(WithOutputs(q, point, normal, triangle, nullptr), object, rangeIndex);
}

uint32_t HitSphereBlockGrid(const CkvrVector3* centre, float radius, uint32_t rangeIndex, CModelObject* object,
                            uint32_t side, CkvrVector3* point, CkvrVector3* normal, uint32_t* triangle)
{
    if (centre == nullptr || object == nullptr)
        return 0;
    HitQuery q = SphereQuery(*centre, radius, side);
    return RunBlockGrid(WithOutputs(q, point, normal, triangle, nullptr), object, rangeIndex);
}

uint32_t HitBoxBlockGrid(const float* box, uint32_t rangeIndex, CModelObject* object, uint32_t side,
                         CkvrVector3* point, CkvrVector3* normal, uint32_t* triangle)
{
    if (box == nullptr || object == nullptr)
        return 0;
    HitQuery q = BoxQuery(box, side);
    return RunBlockGrid(WithOutputs(q, point, normal, triangle, nullptr), object, rangeIndex);
}
