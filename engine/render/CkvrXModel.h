#pragma once

#include "engine/core/CkvrMatrix.h"
#include "engine/core/CkvrVector3.h"
#include "engine/core/CkvrVector4.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Node types: the index of the template name in KVRX_TEMPLATES.
enum KVRXTYPE : uint8_t
{
    KVRX_MESH,
    KVRX_TEXTURE_COORDS,
    KVRX_NORMALS,
    KVRX_VERTEX_COLORS,
    KVRX_MATERIAL_LIST,
    KVRX_MATERIAL,
    KVRX_TEXTURE_FILENAME,
    KVRX_FRAME,
    KVRX_FRAME_TRANSFORM,
    KVRX_TICKS_PER_SECOND,
    KVRX_ANIMATION,
    KVRX_ANIMATION_SET,
    KVRX_ANIMATION_KEY,
    KVRX_SKIN_HEADER,
    KVRX_SKIN_WEIGHTS,
    KVRX_RELATION,
    KVRX_TYPE_COUNT,
};

extern const char* const KVRX_TEMPLATES[KVRX_TYPE_COUNT];

struct KVRXKEY
{
    uint32_t time;
    std::vector<float> values;
};

// One template instance of a text X file with what was read for it and
// what linking found for it. Fields a type does not use stay empty.
struct KVRXNODE
{
    static constexpr uint32_t MAX_REFERENCES = 4;

    uint8_t type = 0;
    std::string name; // empty for an unnamed instance
    KVRXNODE* parent = nullptr;
    std::vector<KVRXNODE*> children;
    // Children and references in the order the file gives them.
    std::vector<KVRXNODE*> items;
    KVRXNODE* references[MAX_REFERENCES] = {};
    uint32_t referenceCount = 0;

    // Read from the file.
    std::vector<CkvrVector3> vectors;    // Mesh vertices, MeshNormals normals
    std::vector<uint32_t> faceStarts;    // Mesh faces: offsets into faceIndices
    std::vector<uint32_t> faceIndices;   // Mesh faces, MeshMaterialList material per face
    std::vector<float> pairs;            // MeshTextureCoords (u, v)
    std::vector<uint32_t> colorVertices; // MeshVertexColors vertex per entry
    std::vector<CkvrVector4> colors;     // MeshVertexColors
    CkvrVector4 diffuse, specular, emissive; // Material
    float power = 0.0f;
    std::string fileName;                // TextureFilename (the image is not loaded)
    CkvrMatrix matrix;                   // FrameTransformMatrix, SkinWeights offset
    bool hasMatrix = false;
    float ticksPerSecond = 0.0f;
    uint32_t keyType = 0;                // AnimationKey
    std::vector<KVRXKEY> keys;
    uint16_t skinHeader[3] = {};         // weights per vertex, per face, bones
    std::string frameName;               // SkinWeights
    std::vector<uint32_t> weightVertices;
    std::vector<float> weights;
    uint32_t materialCount = 0;          // MeshMaterialList

    // Found by linking.
    KVRXNODE* frame = nullptr;           // Mesh, Animation, SkinWeights: the Frame
    KVRXNODE* mesh = nullptr;            // SkinWeights: the Mesh
    KVRXNODE* transform = nullptr;       // Frame: its FrameTransformMatrix
    KVRXNODE* parentFrame = nullptr;     // Frame
    std::vector<KVRXNODE*> linked;       // Mesh: SkinWeights; MeshMaterialList: Materials;
                                         // Frame: child frames; Animation: keys; AnimationSet: animations
    KVRXNODE* coords = nullptr;          // Mesh
    KVRXNODE* normals = nullptr;
    KVRXNODE* vertexColors = nullptr;
    KVRXNODE* materialList = nullptr;
    KVRXNODE* textureFile = nullptr;     // Material
    uint32_t length = 0;                 // AnimationSet: largest last key time
    uint32_t index = 0;                  // Frame: set by the converter
};

// The tree of one text X file: every node in creation order, each under
// the instance it was written in.
class CkvrXModel
{
public:
    CkvrXModel() = default;
    CkvrXModel(const CkvrXModel&) = delete;
    CkvrXModel& operator=(const CkvrXModel&) = delete;
    virtual ~CkvrXModel();
    virtual const char* GetClassName() const { return "CkvrXModel"; }

    // Appended to parent's children (null: the top) and to the global list.
    KVRXNODE* AddNode(uint8_t type, const char* name, KVRXNODE* parent);
    KVRXNODE* FindFirst(uint8_t type) const;
    KVRXNODE* FindByName(uint8_t type, const char* name) const;
    // The first node of any type named name.
    KVRXNODE* FindAnyByName(const char* name) const;
    static KVRXNODE* FindAncestor(const KVRXNODE* node, uint8_t type);
    static KVRXNODE* FindChild(const KVRXNODE* node, uint8_t type);
    static KVRXNODE* FindReference(const KVRXNODE* node, uint8_t type);
    static KVRXNODE* FindChildOrReference(const KVRXNODE* node, uint8_t type);
    static KVRXNODE* FindAncestorOrReference(const KVRXNODE* node, uint8_t type);
    static std::vector<KVRXNODE*> CollectChildrenAndReferences(const KVRXNODE* node, uint8_t type);
    std::vector<KVRXNODE*> Collect(uint8_t type) const;
    uint32_t Count(uint8_t type) const;
    std::vector<KVRXNODE*> CollectTopFrames() const;
    void Clear();

    const std::vector<std::unique_ptr<KVRXNODE>>& GetNodes() const { return m_nodes; }
    uint32_t GetNodeCount() const { return static_cast<uint32_t>(m_nodes.size()); }
    uint32_t HasAnimation() const { return m_animation; }
    void SetAnimation(uint32_t flag) { m_animation = flag; }

private:
    std::vector<std::unique_ptr<KVRXNODE>> m_nodes;
    uint32_t m_animation = 0;
};
