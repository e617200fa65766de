#pragma once

#include "engine/core/CkvrVector3.h"

#include <cstdint>

class CMesh;
class CModelObject;

// Segment, sphere and box queries against the triangles of a hit model (a
// mesh whose objects may carry a block grid). Each returns 1 when a
// triangle was hit. With point given the outputs describe the nearest hit;
// without it the query stops at the first hit. Every output is optional:
//   point     the hit point
//   normal    the unit normal of the triangle hit
//   triangle  the triangle's number in the index list searched (the
//             object's, or the block's for the grid queries)
//   range     the material range of that triangle (left alone when none)
// side is HIT_SIDE_FRONT, HIT_SIDE_BOTH or HIT_SIDE_BACK. A box is six
// floats: centre, then half size. Null shapes, meshes and objects give 0.
//
// The first best distance of the sphere query is 2r^2 and that of the box
// query 2|half size|^2: hits farther from the shape's leading point are not
// taken, and callers tune their radii to that.

// Every triangle of every object.
uint32_t HitSegmentModel(const CkvrVector3* start, const CkvrVector3* end, CMesh* mesh, uint32_t side,
                         CkvrVector3* point, CkvrVector3* normal, uint32_t* triangle, uint32_t* range);
uint32_t HitSphereModel(const CkvrVector3* centre, float radius, CMesh* mesh, uint32_t side, CkvrVector3* point,
                        CkvrVector3* normal, uint32_t* triangle, uint32_t* range);
uint32_t HitBoxModel(const float* box, CMesh* mesh, uint32_t side, CkvrVector3* point, CkvrVector3* normal,
                     uint32_t* triangle, uint32_t* range);

// The triangles of one material range of one object.
uint32_t HitSegmentModelRange(const CkvrVector3* start, const CkvrVector3* end, uint32_t rangeIndex,
                              CModelObject* object, uint32_t side, CkvrVector3* point, CkvrVector3* normal,
                              uint32_t* triangle);
uint32_t HitSphereModelRange(const CkvrVector3* centre, float radius, uint32_t rangeIndex, CModelObject* object,
                             uint32_t side, CkvrVector3* point, CkvrVector3* normal, uint32_t* triangle);
uint32_t HitBoxModelRange(const float* box, uint32_t rangeIndex, CModelObject* object, uint32_t side,
                          CkvrVector3* point, CkvrVector3* normal, uint32_t* triangle);

// Per object, the blocks of the grid cells the query's bounds touch; an
// object without a grid is searched whole.
uint32_t HitSegmentModelGrid(const CkvrVector3* start, const CkvrVector3* end, CMesh* mesh, uint32_t side,
                             CkvrVector3* point, CkvrVector3* normal, uint32_t* triangle, uint32_t* range);
uint32_t HitSphereModelGrid(const CkvrVector3* centre, float radius, CMesh* mesh, uint32_t side, CkvrVector3* point,
                            CkvrVector3* normal, uint32_t* triangle, uint32_t* range);
uint32_t HitBoxModelGrid(const float* box, CMesh* mesh, uint32_t side, CkvrVector3* point, CkvrVector3* normal,
                         uint32_t* triangle, uint32_t* range);

// One object's touched blocks, only the given range of each; an object
// without a grid is searched through that range of its own indices.
uint32_t HitSegmentBlockGrid(const CkvrVector3* start, const CkvrVector3* end, uint32_t rangeIndex,
                             CModelObject* object, uint32_t side, CkvrVector3* point, CkvrVector3* normal,
                             uint32_t* triangle);
uint32_t HitSphereBlockGrid(const CkvrVector3* centre, float radius, uint32_t rangeIndex, CModelObject* object,
                            uint32_t side, CkvrVector3* point, CkvrVector3* normal, uint32_t* triangle);
uint32_t HitBoxBlockGrid(const float* box, uint32_t rangeIndex, CModelObject* object, uint32_t side,
                         CkvrVector3* point, CkvrVector3* normal, uint32_t* triangle);
