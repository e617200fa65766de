#include "engine/effect/CEffectContainer.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/FileIo.h"
#include "engine/effect/CEffect.h"
#include "engine/effect/CEffectController.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CTexture.h"

#include <string>

namespace
{
std::string DefaultPath(const char* name)
{
    return std::string(name != nullptr ? name : "") + ".efc";
}

tag_KVREFFECTPLAY MakeBlock()
{
    tag_KVREFFECTPLAY block{};
    block.color = CkvrVector4(1.0f, 1.0f, 1.0f, 1.0f);
    return block;
}

// The block's position, direction and scale copied from the caller (scale
// (1, 1, 1) when none is given).
void CopyValues(tag_KVREFFECTPLAY* block, const CkvrVector3* position, const CkvrVector3* direction,
                const CkvrVector3* scale)
{
    block->position = position;
    block->direction = direction;
    block->scale = CkvrVector3(1.0f, 1.0f, 1.0f);
    block->scale = scale;
}

void SetColor(tag_KVREFFECTPLAY* block, const CkvrVector4* color)
{
    block->color = color != nullptr ? *color : CkvrVector4(1.0f, 1.0f, 1.0f, 1.0f);
}

// The follow pointers are the caller's own vectors: the effect rereads them
// every frame, so the caller keeps them alive while the effect plays.
void SetFollow(tag_KVREFFECTPLAY* block, const CkvrVector3* position, const CkvrVector3* direction,
               const CkvrVector3* scale, const CkvrVector4* color)
{
    block->followPosition = const_cast<CkvrVector3*>(position);
    block->followDirection = const_cast<CkvrVector3*>(direction);
    block->followScale = const_cast<CkvrVector3*>(scale);
    block->followColor = const_cast<CkvrVector4*>(color);
}
}

CEffectContainer::CEffectContainer()
{
    SetKind(KIND_EFFECT_CONTAINER);
}

CEffectContainer::CEffectContainer(const char* name) : CResourceBase(name)
{
    SetKind(KIND_EFFECT_CONTAINER);
}

CEffectContainer::~CEffectContainer()
{
    CEffectContainer::Release();
}

uint32_t CEffectContainer::Release()
{
    RemoveObjectsFrom(0);
    m_objects.Release();
    return CResourceBase::Release();
}

void CEffectContainer::RemoveObjectsFrom(uint32_t first)
{
    const uint32_t count = m_objects.GetCount();
    for (uint32_t i = first; i < count; ++i)
    {
        CEffectObject* object = *m_objects.GetAt(i);
        if (object == nullptr)
            continue;
        object->Release();
        delete object;
    }
    if (first < count)
        m_objects.SetCount(first);
}

int CEffectContainer::AddObject(CEffectObject* object)
{
    return object != nullptr && m_objects.Add(object) ? 1 : 0;
}

int CEffectContainer::Save(const char* path) const
{
    const std::string own = path != nullptr ? std::string(path) : DefaultPath(GetName());
    FileHandle file = OpenFile(own.c_str(), "wb");
    if (!file)
        return 0;
    if (!SaveToStream(file.get()))
        return 0;
    return CloseWrittenFile(std::move(file)) ? 1 : 0;
}

int CEffectContainer::SaveToStream(FILE* stream) const
{
    if (stream == nullptr)
        return 0;
    const uint32_t count = m_objects.GetCount();
    if (!WriteCountedString(stream, GetName()) || !WriteU32LE(stream, count))
        return 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        const CEffectObject* object = *m_objects.GetAt(i);
        if (object == nullptr || !object->Write(nullptr, stream))
            return 0;
    }
    return 1;
}

int CEffectContainer::Load(const char* path)
{
    const std::string own = path != nullptr ? std::string(path) : DefaultPath(GetName());
    FileHandle file = OpenFile(own.c_str(), "rb");
    if (!file)
        return 0;
    return LoadFromStream(file.get());
}

int CEffectContainer::LoadFromMemory(const uint8_t* data, uint32_t size)
{
    if (data == nullptr || size == 0)
        return 0;
    FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (stream == nullptr)
        return 0;
    FileHandle file(stream);
    return LoadFromStream(file.get());
}

int CEffectContainer::LoadFromStream(FILE* stream)
{
    if (stream == nullptr)
        return 0;
    // A damaged file leaves the container as it was: its name and the
    // objects it held before.
    const std::string oldName = GetName() != nullptr ? GetName() : "";
    const bool hadName = GetName() != nullptr;
    const uint32_t before = m_objects.GetCount();
    if (ReadContainer(stream))
        return 1;
    RemoveObjectsFrom(before);
    SetName(hadName ? oldName.c_str() : nullptr);
    return 0;
}

int CEffectContainer::ReadContainer(FILE* file)
{
    char* name = nullptr;
    if (!ReadCountedString(file, CEffectObject::kMaxNameLength, &name))
        return 0;
    SetName(name);
    AlignedFree(name);
    uint32_t count = 0;
    if (!ReadU32LE(file, &count) || count > kMaxObjects)
        return 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        CEffectObject* object = new CEffectObject();
        if (!object->Read(nullptr, file) || !m_objects.Add(object))
        {
            object->Release();
            delete object;
            return 0;
        }
    }
    return 1;
}

int CEffectContainer::CopyTo(CEffectContainer* target) const
{
    if (target == nullptr || target == this)
        return target != nullptr ? 1 : 0;
    target->SetName(GetName());
    target->RemoveObjectsFrom(0);
    target->m_objects.Release();
    for (uint32_t i = 0; i < m_objects.GetCount(); ++i)
    {
        const CEffectObject* source = *m_objects.GetAt(i);
        if (source == nullptr)
            continue;
        CEffectObject* copy = new CEffectObject();
        source->CopyTo(copy);
        if (!target->m_objects.Add(copy))
        {
            copy->Release();
            delete copy;
            return 0;
        }
    }
    return 1;
}

void CEffectContainer::ResolveResources(const CResourceList<CResourceBase*>* meshes,
                                        const CResourceList<CTexture*>* textures,
                                        const CResourceList<CSoundBuffer*>* sounds,
                                        const CResourceList<CResourceBase*>* effects)
{
    for (uint32_t i = 0; i < m_objects.GetCount(); ++i)
    {
        CEffectObject* object = *m_objects.GetAt(i);
        if (object == nullptr)
            continue;
        const char* file = object->GetResourceFile();
        if (file != nullptr)
        {
            switch (object->GetParameters()->kind)
            {
            case EFFECTKIND_TEXTURE:
                if (textures != nullptr)
                    object->SetResource(textures->FindByFileName(file));
                break;
            case EFFECTKIND_MODEL:
                if (meshes != nullptr)
                    object->SetResource(meshes->FindByFileName(file));
                break;
            case EFFECTKIND_SOUND:
                if (sounds != nullptr)
                    object->SetResource(sounds->FindByFileName(file));
                break;
            case EFFECTKIND_CONTAINER:
                if (effects != nullptr)
                    object->SetResource(effects->FindByFileName(file));
                break;
            default:
                break;
            }
        }
        if (textures == nullptr)
            continue;
        CList<tag_KVRPARTICLETRACEDATA>* traces = object->GetTraceList();
        for (uint32_t t = 0; t < traces->GetCount(); ++t)
        {
            tag_KVRPARTICLETRACEDATA* trace = traces->GetAt(t);
            trace->texture = textures->FindByFileName(trace->textureName);
        }
    }
}

CEffect* CEffectContainer::Play(CEffectController* controller, const CkvrVector3* position,
                                const CkvrVector3* direction, const CkvrVector3* scale, float timeLimit,
                                int32_t registerTree, const tag_KVREFFECTPLAY* block, CEffect* parent)
{
    if (controller == nullptr)
        return nullptr;
    // A parent that is no longer a live pooled effect (or has finished and
    // is about to go) takes nothing: the new effects would hang off a freed
    // slot or be released unseen.
    if (parent != nullptr && (!controller->IsLiveEffect(parent) || parent->IsFinished()))
        return nullptr;

    CEffect* first = nullptr;
    CEffect* lastRoot = nullptr;
    for (uint32_t i = 0; i < m_objects.GetCount(); ++i)
    {
        CEffectObject* object = *m_objects.GetAt(i);
        if (object == nullptr)
            continue;
        CEffect* effect = controller->AllocEffect();
        if (effect == nullptr)
            break;
        effect->Setup(object, controller, block);
        if (position != nullptr)
            *effect->GetPlayVectors() = *position;
        if (direction != nullptr)
            *effect->GetStartDirection() = *direction;
        if (scale != nullptr)
            *effect->GetStartScale() = *scale;
        effect->SetTimeLimit(timeLimit);

        if (object->GetParent() == nullptr)
        {
            // Roots form one sibling chain that ends; with a parent effect
            // the whole chain goes in front of its children below.
            effect->SetParent(parent);
            if (first == nullptr)
                first = effect;
            else
                lastRoot->SetNextSibling(effect);
            lastRoot = effect;
            continue;
        }
        CEffect* holder = first;
        while (holder != nullptr && holder->GetEffectObject() != object->GetParent())
            holder = holder->GetNextSibling();
        if (holder == nullptr)
        {
            // Nothing of what was taken may stay out of the pool.
            effect->Release();
            if (first != nullptr)
                first->Release();
            return nullptr;
        }
        effect->SetNextSibling(holder->GetFirstChild());
        effect->SetParent(holder);
        holder->SetFirstChild(effect);
    }
    if (first == nullptr)
        return nullptr;

    if (parent != nullptr)
    {
        // The tree is updated and released through its parent; it never
        // goes on the live chain, where it would be updated twice.
        lastRoot->SetNextSibling(parent->GetFirstChild());
        parent->SetFirstChild(first);
        return first;
    }
    if (registerTree != 0)
    {
        first->SetNextLive(controller->GetFirstEffect());
        controller->SetFirstEffect(first);
    }
    return first;
}

CEffect* CEffectContainer::Play(CEffectController* controller, int32_t registerTree, CEffect* parent)
{
    const tag_KVREFFECTPLAY block = MakeBlock();
    return Play(controller, nullptr, nullptr, nullptr, 0.0f, registerTree, &block, parent);
}

CEffect* CEffectContainer::Play(CEffectController* controller, int32_t registerTree, CObjectBase* object,
                                CEffect* parent)
{
    tag_KVREFFECTPLAY block = MakeBlock();
    block.followObject = object;
    return Play(controller, nullptr, nullptr, nullptr, 0.0f, registerTree, &block, parent);
}

CEffect* CEffectContainer::Play(CEffectController* controller, const CkvrVector3* position, int32_t registerTree,
                                CEffect* parent)
{
    const tag_KVREFFECTPLAY block = MakeBlock();
    return Play(controller, position, nullptr, nullptr, 0.0f, registerTree, &block, parent);
}

CEffect* CEffectContainer::Play(CEffectController* controller, const CkvrVector3* position, int32_t registerTree,
                                CObjectBase* object, CEffect* parent)
{
    tag_KVREFFECTPLAY block = MakeBlock();
    block.followObject = object;
    return Play(controller, position, nullptr, nullptr, 0.0f, registerTree, &block, parent);
}

CEffect* CEffectContainer::Play(CEffectController* controller, const CkvrVector3* position,
                                const CkvrVector3* direction, const CkvrVector3* scale, int32_t registerTree,
                                CEffect* parent)
{
    const tag_KVREFFECTPLAY block = MakeBlock();
    return Play(controller, position, direction, scale, 0.0f, registerTree, &block, parent);
}

CEffect* CEffectContainer::Play(CEffectController* controller, const CkvrVector3* position,
                                const CkvrVector3* direction, const CkvrVector3* scale, int32_t registerTree,
                                tag_KVRBONESTATE* bone, CEffect* parent)
{
    tag_KVREFFECTPLAY block = MakeBlock();
    CopyValues(&block, position, direction, scale);
    block.followBone = bone;
    return Play(controller, position, direction, scale, 0.0f, registerTree, &block, parent);
}

CEffect* CEffectContainer::Play(CEffectController* controller, const CkvrVector3* position,
                                const CkvrVector3* direction, const CkvrVector3* scale, int32_t registerTree,
                                CObjectBase* object, CEffect* parent)
{
    tag_KVREFFECTPLAY block = MakeBlock();
    block.followObject = object;
    return Play(controller, position, direction, scale, 0.0f, registerTree, &block, parent);
}

CEffect* CEffectContainer::Play(CEffectController* controller, const CkvrVector3* position,
                                const CkvrVector3* direction, const CkvrVector3* scale, float timeLimit,
                                int32_t registerTree, CEffect* parent)
{
    const tag_KVREFFECTPLAY block = MakeBlock();
    return Play(controller, position, direction, scale, timeLimit, registerTree, &block, parent);
}

CEffect* CEffectContainer::Play(CEffectController* controller, const CkvrVector3* position,
                                const CkvrVector3* direction, const CkvrVector3* scale, const CkvrVector4* color,
                                float timeLimit, int32_t registerTree, CEffect* parent)
{
    tag_KVREFFECTPLAY block = MakeBlock();
    SetColor(&block, color);
    return Play(controller, position, direction, scale, timeLimit, registerTree, &block, parent);
}

CEffect* CEffectContainer::Play(CEffectController* controller, const CkvrVector3* position,
                                const CkvrVector3* direction, const CkvrVector3* scale, float timeLimit,
                                int32_t registerTree, uint32_t follow, CEffect* parent)
{
    tag_KVREFFECTPLAY block = MakeBlock();
    if (follow != 0)
        SetFollow(&block, position, direction, scale, nullptr);
    return Play(controller, position, direction, scale, timeLimit, registerTree, &block, parent);
}

CEffect* CEffectContainer::Play(CEffectController* controller, const CkvrVector3* position,
                                const CkvrVector3* direction, const CkvrVector3* scale, float timeLimit,
                                int32_t registerTree, tag_KVRBONESTATE* bone, CEffect* parent)
{
    tag_KVREFFECTPLAY block = MakeBlock();
    CopyValues(&block, position, direction, scale);
    block.followBone = bone;
    return Play(controller, position, direction, scale, timeLimit, registerTree, &block, parent);
}

CEffect* CEffectContainer::Play(CEffectController* controller, const CkvrVector3* position,
                                const CkvrVector3* direction, const CkvrVector3* scale, float timeLimit,
                                int32_t registerTree, CObjectBase* object, CEffect* parent)
{
    tag_KVREFFECTPLAY block = MakeBlock();
    block.followObject = object;
    return Play(controller, position, direction, scale, timeLimit, registerTree, &block, parent);
}

CEffect* CEffectContainer::Play(CEffectController* controller, const CkvrVector3* position,
                                const CkvrVector3* direction, const CkvrVector3* scale, const CkvrVector4* color,
                                float timeLimit, int32_t registerTree, uint32_t follow, CEffect* parent)
{
    tag_KVREFFECTPLAY block = MakeBlock();
    if (follow != 0)
        SetFollow(&block, position, direction, scale, color);
    return Play(controller, position, direction, scale, timeLimit, registerTree, &block, parent);
}

CEffect* CEffectContainer::Play(CEffectController* controller, const CkvrVector3* position,
                                const CkvrVector3* direction, const CkvrVector3* scale, const CkvrVector4* color,
                                float timeLimit, int32_t registerTree, tag_KVRBONESTATE* bone, CEffect* parent)
{
    tag_KVREFFECTPLAY block = MakeBlock();
    CopyValues(&block, position, direction, scale);
    SetColor(&block, color);
    block.followBone = bone;
    return Play(controller, position, direction, scale, timeLimit, registerTree, &block, parent);
}

CEffect* CEffectContainer::Play(CEffectController* controller, const CkvrVector3* position,
                                const CkvrVector3* direction, const CkvrVector3* scale, const CkvrVector4* color,
                                float timeLimit, int32_t registerTree, uint32_t follow, tag_KVRBONESTATE* bone,
                                CEffect* parent)
{
    tag_KVREFFECTPLAY block = MakeBlock();
    CopyValues(&block, position, direction, scale);
    SetColor(&block, color);
    if (follow != 0)
        SetFollow(&block, position, direction, scale, color);
    block.followBone = bone;
    return Play(controller, position, direction, scale, timeLimit, registerTree, &block, parent);
}
