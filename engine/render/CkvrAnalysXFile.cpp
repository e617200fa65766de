#include "engine/render/CkvrAnalysXFile.h"

#include "engine/core/AlignedMemory.h"

#include <cstring>

namespace
{
constexpr uint32_t HEADER_SIZE = 16;
constexpr uint32_t TOKEN_SIZE = 512;

int TemplateType(const char* token)
{
    for (int i = 0; i < KVRX_TYPE_COUNT; ++i)
    {
        if (std::strcmp(token, KVRX_TEMPLATES[i]) == 0)
            return i;
    }
    return -1;
}

void CutAt(char* text, char c)
{
    char* at = std::strchr(text, c);
    if (at != nullptr)
        *at = '\0';
}
}

uint32_t CkvrAnalysXFile::CheckMagic() const
{
    return m_buffer != nullptr && m_size >= 4 && std::memcmp(m_buffer, "xof ", 4) == 0 ? 1 : 0;
}

uint32_t CkvrAnalysXFile::CheckTextHeader() const
{
    return CheckMagic() && m_size >= 12 && std::memcmp(m_buffer + 8, "txt ", 4) == 0 ? 1 : 0;
}

uint32_t CkvrAnalysXFile::Parse(CkvrXModel* model, const char* fileName)
{
    if (model == nullptr || fileName == nullptr || !Open(fileName))
        return 0;
    return ParseOpened(model);
}

uint32_t CkvrAnalysXFile::ParseOpened(CkvrXModel* model)
{
    if (model == nullptr || !CheckTextHeader() || m_size < HEADER_SIZE)
        return 0;
    model->Clear();
    SetSeparators(" \r\n\t,;");
    SetCursor(HEADER_SIZE);
    if (!ParseTree(model))
        return 0;
    return Link(model) ? 1 : 0;
}

bool CkvrAnalysXFile::ReadReference(CkvrXModel* model, KVRXNODE* current, bool* stop)
{
    char token[TOKEN_SIZE];
    ReadToken(token, sizeof token);
    char name[TOKEN_SIZE];
    if (std::strcmp(token, "{") == 0)
        ReadToken(name, sizeof name);
    else
        std::memcpy(name, token + 1, std::strlen(token)); // the rest with its NUL
    const bool closed = std::strchr(token, '}') != nullptr || std::strchr(name, '}') != nullptr;
    CutAt(name, '}');
    if (!closed)
        SkipPast("}");
    // A reference at the top level has no instance to belong to.
    KVRXNODE* target = model->FindAnyByName(name);
    if (current == nullptr || target == nullptr)
        return true;
    if (current->referenceCount >= KVRXNODE::MAX_REFERENCES)
    {
        *stop = true;
        return true;
    }
    current->references[current->referenceCount++] = target;
    current->items.push_back(target);
    return true;
}

bool CkvrAnalysXFile::ParseTree(CkvrXModel* model)
{
    KVRXNODE* current = nullptr;
    char token[TOKEN_SIZE];
    while (PeekToken(token, sizeof token) != kEndOfData)
    {
        if (token[0] == '{')
        {
            bool stop = false;
            if (!ReadReference(model, current, &stop))
                return false;
            if (stop)
                return true;
            continue;
        }
        if (token[0] == '}')
        {
            SkipPast("}");
            if (current != nullptr)
                current = current->parent;
            continue;
        }
        const int type = TemplateType(token);
        if (type < 0)
        {
            ReadToken(token, sizeof token);
            if (SkipBlock() == kEndOfData)
                return true;
            continue;
        }
        ReadToken(token, sizeof token);
        char name[TOKEN_SIZE];
        PeekToken(name, sizeof name);
        if (name[0] == '{')
            name[0] = '\0';
        else
        {
            ReadToken(name, sizeof name);
            CutAt(name, '{');
        }
        if (SkipPast("{") == kEndOfData)
            return true;
        current = model->AddNode(static_cast<uint8_t>(type), name, current);
        if (!ReadData(current))
            return false;
    }
    return true;
}

bool CkvrAnalysXFile::ReadCount(uint32_t* count, uint32_t valuesEach)
{
    const int32_t value = ReadLong();
    if (value < 0)
        return false;
    // Every value takes at least one character of the text that remains.
    if (uint64_t(uint32_t(value)) * (valuesEach > 0 ? valuesEach : 1) > m_size - m_cursor)
        return false;
    *count = static_cast<uint32_t>(value);
    return true;
}

bool CkvrAnalysXFile::ReadVectors(std::vector<CkvrVector3>* out, uint32_t count)
{
    out->resize(count);
    for (CkvrVector3& v : *out)
    {
        v.x = ReadFloat();
        v.y = ReadFloat();
        v.z = ReadFloat();
    }
    return true;
}

bool CkvrAnalysXFile::ReadFaces(KVRXNODE* node)
{
    uint32_t faces = 0;
    if (!ReadCount(&faces, 2))
        return false;
    node->faceStarts.reserve(faces);
    for (uint32_t f = 0; f < faces; ++f)
    {
        uint32_t n = 0;
        if (!ReadCount(&n, 1))
            return false;
        node->faceStarts.push_back(static_cast<uint32_t>(node->faceIndices.size()));
        for (uint32_t i = 0; i < n; ++i)
            node->faceIndices.push_back(static_cast<uint32_t>(ReadLong()));
    }
    return true;
}

bool CkvrAnalysXFile::ReadKeys(KVRXNODE* node)
{
    uint32_t count = 0;
    node->keyType = static_cast<uint32_t>(ReadLong());
    if (!ReadCount(&count, 3))
        return false;
    node->keys.resize(count);
    for (KVRXKEY& key : node->keys)
    {
        uint32_t values = 0;
        key.time = static_cast<uint32_t>(ReadLong());
        if (!ReadCount(&values, 1))
            return false;
        key.values.resize(values);
        for (float& v : key.values)
            v = ReadFloat();
    }
    return true;
}

bool CkvrAnalysXFile::ReadData(KVRXNODE* node)
{
    uint32_t count = 0;
    switch (node->type)
    {
    case KVRX_MESH:
        return ReadCount(&count, 3) && ReadVectors(&node->vectors, count) && ReadFaces(node);
    case KVRX_TEXTURE_COORDS:
        if (!ReadCount(&count, 2))
            return false;
        node->pairs.resize(size_t(count) * 2);
        for (float& v : node->pairs)
            v = ReadFloat();
        return true;
    case KVRX_NORMALS:
    {
        // The normals' own face list is read and not used.
        KVRXNODE faces;
        return ReadCount(&count, 3) && ReadVectors(&node->vectors, count) && ReadFaces(&faces);
    }
    case KVRX_VERTEX_COLORS:
        if (!ReadCount(&count, 5))
            return false;
        for (uint32_t i = 0; i < count; ++i)
        {
            node->colorVertices.push_back(static_cast<uint32_t>(ReadLong()));
            CkvrVector4 c;
            c.x = ReadFloat();
            c.y = ReadFloat();
            c.z = ReadFloat();
            c.w = ReadFloat();
            node->colors.push_back(c);
        }
        return true;
    case KVRX_MATERIAL_LIST:
    {
        uint32_t faces = 0;
        if (!ReadCount(&node->materialCount, 0) || !ReadCount(&faces, 1))
            return false;
        node->faceIndices.resize(faces);
        for (uint32_t& m : node->faceIndices)
            m = static_cast<uint32_t>(ReadLong());
        return true;
    }
    case KVRX_MATERIAL:
    {
        // Read one at a time: argument order is not the file's order.
        float v[11];
        for (float& value : v)
            value = ReadFloat();
        node->diffuse.Set(v[0], v[1], v[2], v[3]);
        node->power = v[4];
        node->specular.Set(v[5], v[6], v[7], 1.0f);
        node->emissive.Set(v[8], v[9], v[10], 1.0f);
        return true;
    }
    case KVRX_TEXTURE_FILENAME:
    {
        char* text = ReadString();
        node->fileName = text != nullptr ? text : "";
        AlignedFree(text);
        return true;
    }
    case KVRX_FRAME_TRANSFORM:
        for (float& v : node->matrix.m)
            v = ReadFloat();
        node->hasMatrix = true;
        return true;
    case KVRX_TICKS_PER_SECOND:
        node->ticksPerSecond = ReadFloat();
        return true;
    case KVRX_ANIMATION_KEY:
        return ReadKeys(node);
    case KVRX_SKIN_HEADER:
        for (uint16_t& v : node->skinHeader)
            v = static_cast<uint16_t>(ReadLong());
        return true;
    case KVRX_SKIN_WEIGHTS:
    {
        char* text = ReadString();
        node->frameName = text != nullptr ? text : "";
        AlignedFree(text);
        if (!ReadCount(&count, 2))
            return false;
        node->weightVertices.resize(count);
        node->weights.resize(count);
        for (uint32_t& v : node->weightVertices)
            v = static_cast<uint32_t>(ReadLong());
        for (float& w : node->weights)
            w = ReadFloat();
        for (float& v : node->matrix.m)
            v = ReadFloat();
        node->hasMatrix = true;
        return true;
    }
    default:
        return true;
    }
}

bool CkvrAnalysXFile::LinkMesh(KVRXNODE* mesh)
{
    mesh->coords = CkvrXModel::FindChildOrReference(mesh, KVRX_TEXTURE_COORDS);
    mesh->normals = CkvrXModel::FindChildOrReference(mesh, KVRX_NORMALS);
    mesh->vertexColors = CkvrXModel::FindChildOrReference(mesh, KVRX_VERTEX_COLORS);
    mesh->materialList = CkvrXModel::FindChildOrReference(mesh, KVRX_MATERIAL_LIST);
    mesh->frame = CkvrXModel::FindAncestorOrReference(mesh, KVRX_FRAME);
    // Every SkinWeights of the mesh, whatever its header says.
    mesh->linked = CkvrXModel::CollectChildrenAndReferences(mesh, KVRX_SKIN_WEIGHTS);
    const uint32_t vertexCount = static_cast<uint32_t>(mesh->vectors.size());
    for (uint32_t index : mesh->faceIndices)
    {
        if (index >= vertexCount)
            return false;
    }
    if (mesh->materialList == nullptr)
        return true;
    KVRXNODE* list = mesh->materialList;
    list->linked = CkvrXModel::CollectChildrenAndReferences(list, KVRX_MATERIAL);
    for (uint32_t material : list->faceIndices)
    {
        if (material >= list->linked.size())
            return false;
    }
    return true;
}

void CkvrAnalysXFile::LinkFrame(KVRXNODE* frame)
{
    frame->transform = CkvrXModel::FindChildOrReference(frame, KVRX_FRAME_TRANSFORM);
    frame->parentFrame = CkvrXModel::FindAncestorOrReference(frame, KVRX_FRAME);
    if (frame->parentFrame == frame)
        frame->parentFrame = nullptr;
    frame->linked = CkvrXModel::CollectChildrenAndReferences(frame, KVRX_FRAME);
}

bool CkvrAnalysXFile::Link(CkvrXModel* model)
{
    for (const auto& owned : model->GetNodes())
    {
        KVRXNODE* node = owned.get();
        switch (node->type)
        {
        case KVRX_MESH:
            if (!LinkMesh(node))
                return false;
            break;
        case KVRX_MATERIAL:
            node->textureFile = CkvrXModel::FindChildOrReference(node, KVRX_TEXTURE_FILENAME);
            break;
        case KVRX_FRAME: LinkFrame(node); break;
        case KVRX_ANIMATION:
            node->linked = CkvrXModel::CollectChildrenAndReferences(node, KVRX_ANIMATION_KEY);
            node->frame = CkvrXModel::FindChildOrReference(node, KVRX_FRAME);
            break;
        case KVRX_ANIMATION_SET:
            node->linked = CkvrXModel::CollectChildrenAndReferences(node, KVRX_ANIMATION);
            for (KVRXNODE* animation : node->linked)
            {
                for (KVRXNODE* key : CkvrXModel::CollectChildrenAndReferences(animation, KVRX_ANIMATION_KEY))
                {
                    if (!key->keys.empty() && key->keys.back().time > node->length)
                        node->length = key->keys.back().time;
                }
            }
            model->SetAnimation(1);
            break;
        case KVRX_SKIN_WEIGHTS:
            node->frame = model->FindByName(KVRX_FRAME, node->frameName.c_str());
            node->mesh = CkvrXModel::FindAncestorOrReference(node, KVRX_MESH);
            break;
        default: break;
        }
    }
    return true;
}
