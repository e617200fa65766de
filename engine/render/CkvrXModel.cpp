#include "engine/render/CkvrXModel.h"

const char* const KVRX_TEMPLATES[KVRX_TYPE_COUNT] = {
    "Mesh",     "MeshTextureCoords",    "MeshNormals",        "MeshVertexColors", "MeshMaterialList", "Material",
    "TextureFilename", "Frame",         "FrameTransformMatrix", "AnimTicksPerSecond", "Animation", "AnimationSet",
    "AnimationKey", "XSkinMeshHeader",  "SkinWeights",        "Relation",
};

CkvrXModel::~CkvrXModel()
{
    Clear();
}

void CkvrXModel::Clear()
{
    m_nodes.clear();
    m_animation = 0;
}

KVRXNODE* CkvrXModel::AddNode(uint8_t type, const char* name, KVRXNODE* parent)
{
    std::unique_ptr<KVRXNODE> node = std::make_unique<KVRXNODE>();
    node->type = type;
    node->name = name != nullptr ? name : "";
    node->parent = parent;
    KVRXNODE* added = node.get();
    if (parent != nullptr)
    {
        parent->children.push_back(added);
        parent->items.push_back(added);
    }
    m_nodes.push_back(std::move(node));
    return added;
}

KVRXNODE* CkvrXModel::FindFirst(uint8_t type) const
{
    for (const auto& node : m_nodes)
    {
        if (node->type == type)
            return node.get();
    }
    return nullptr;
}

KVRXNODE* CkvrXModel::FindByName(uint8_t type, const char* name) const
{
    for (const auto& node : m_nodes)
    {
        if (node->type == type && name != nullptr && node->name == name)
            return node.get();
    }
    return nullptr;
}

KVRXNODE* CkvrXModel::FindAnyByName(const char* name) const
{
    for (const auto& node : m_nodes)
    {
        if (name != nullptr && !node->name.empty() && node->name == name)
            return node.get();
    }
    return nullptr;
}

KVRXNODE* CkvrXModel::FindAncestor(const KVRXNODE* node, uint8_t type)
{
    for (KVRXNODE* p = node != nullptr ? node->parent : nullptr; p != nullptr; p = p->parent)
    {
        if (p->type == type)
            return p;
    }
    return nullptr;
}

KVRXNODE* CkvrXModel::FindChild(const KVRXNODE* node, uint8_t type)
{
    for (KVRXNODE* child : node->children)
    {
        if (child->type == type)
            return child;
    }
    return nullptr;
}

KVRXNODE* CkvrXModel::FindReference(const KVRXNODE* node, uint8_t type)
{
    for (uint32_t i = 0; i < node->referenceCount; ++i)
    {
        if (node->references[i]->type == type)
            return node->references[i];
    }
    return nullptr;
}

KVRXNODE* CkvrXModel::FindChildOrReference(const KVRXNODE* node, uint8_t type)
{
    KVRXNODE* found = FindChild(node, type);
    return found != nullptr ? found : FindReference(node, type);
}

KVRXNODE* CkvrXModel::FindAncestorOrReference(const KVRXNODE* node, uint8_t type)
{
    KVRXNODE* found = FindAncestor(node, type);
    return found != nullptr ? found : FindReference(node, type);
}

std::vector<KVRXNODE*> CkvrXModel::CollectChildrenAndReferences(const KVRXNODE* node, uint8_t type)
{
    std::vector<KVRXNODE*> out;
    for (KVRXNODE* item : node->items)
    {
        if (item->type == type)
            out.push_back(item);
    }
    return out;
}

std::vector<KVRXNODE*> CkvrXModel::Collect(uint8_t type) const
{
    std::vector<KVRXNODE*> out;
    for (const auto& node : m_nodes)
    {
        if (node->type == type)
            out.push_back(node.get());
    }
    return out;
}

uint32_t CkvrXModel::Count(uint8_t type) const
{
    return static_cast<uint32_t>(Collect(type).size());
}

std::vector<KVRXNODE*> CkvrXModel::CollectTopFrames() const
{
    std::vector<KVRXNODE*> out;
    for (const auto& node : m_nodes)
    {
        if (node->type == KVRX_FRAME && node->parentFrame == nullptr)
            out.push_back(node.get());
    }
    return out;
}
