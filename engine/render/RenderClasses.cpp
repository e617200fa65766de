#include "engine/render/RenderClasses.h"

#include "engine/platform/CGraphics.h"
#include "engine/platform/CPrimitiveList.h"
#include "engine/render/BuiltInEffects.h"
#include "engine/render/CAnimationController.h"
#include "engine/render/CCamera.h"
#include "engine/render/CFilter.h"
#include "engine/render/CLight.h"
#include "engine/render/CLowModelObject.h"
#include "engine/render/CMesh.h"
#include "engine/render/CModelBlock.h"
#include "engine/render/CModelObject.h"
#include "engine/render/CPrimitiveRender.h"
#include "engine/render/CRenderList.h"
#include "engine/render/CShader.h"
#include "engine/render/CTexture.h"
#include "engine/render/CXMesh.h"

#include <cstring>
#include <vector>

namespace
{
const char* const DEFAULT_EFFECT_NAME = "Default.shd";

int ApplyCamera(CCamera* camera)
{
    return camera != nullptr ? camera->Apply() : 0;
}

const uint32_t* CameraViewport(const CCamera* camera)
{
    return camera != nullptr ? camera->GetViewport() : nullptr;
}

int CreateDefaultEffect(CShader* shader)
{
    const std::vector<uint8_t>& image = BuiltInEffects::GetDefaultImage();
    return shader->CreateFromMemory(image.data(), DEFAULT_EFFECT_NAME, static_cast<uint32_t>(image.size()), 0, 1);
}

void DestroyDefaultEffect(CShader* shader)
{
    if (shader == nullptr)
        return;
    shader->Release();
    delete shader;
}

CShader* NewDefaultEffect(CGraphics*)
{
    CShader* shader = new CShader();
    if (CreateDefaultEffect(shader))
        return shader;
    DestroyDefaultEffect(shader);
    return nullptr;
}

int IsDefaultEffect(CShader* shader)
{
    return shader != nullptr && shader->GetName() != nullptr && std::strcmp(shader->GetName(), DEFAULT_EFFECT_NAME) == 0;
}

int ReleaseDefaultEffect(CShader* shader)
{
    return shader->ReleaseEffect();
}

// After a reset the effect is made again from the built-in image, not
// through Recreate: its GL objects went with the release.
int RecreateDefaultEffect(CShader* shader)
{
    return CreateDefaultEffect(shader);
}

// Every drawing class with a static graphics pointer, in the order the
// graphics object hands itself to them.
void SetGraphics(CGraphics* graphics)
{
    CPrimitiveRender::SetGraphics(graphics);
    CCamera::SetGraphics(graphics);
    CLight::SetGraphics(graphics);
    CTexture::SetGraphics(graphics);
    CXMesh::SetGraphics(graphics);
    CMesh::SetGraphics(graphics);
    CModelObject::SetGraphics(graphics);
    CModelBlock::SetGraphics(graphics);
    CLowModelObject::SetGraphics(graphics);
    CAnimationController::SetGraphics(graphics);
    CShader::SetGraphics(graphics);
    CFilter::SetGraphics(graphics);
    CPrimitiveList::SetGraphics(graphics);
}

int QueueInRenderList(uintptr_t list, CObjectBase* object)
{
    return reinterpret_cast<CRenderList*>(list)->Add(object, 0);
}

DeviceTexture* DeviceTextureOf(const CTexture* texture)
{
    return texture->GetDeviceTexture();
}
}

void RenderClasses::Install()
{
    CGraphics::RenderClassHooks hooks;
    hooks.setGraphics = &SetGraphics;
    hooks.applyCamera = &ApplyCamera;
    hooks.createDefaultEffect = &NewDefaultEffect;
    hooks.isDefaultEffect = &IsDefaultEffect;
    hooks.releaseDefaultEffect = &ReleaseDefaultEffect;
    hooks.recreateDefaultEffect = &RecreateDefaultEffect;
    hooks.destroyDefaultEffect = &DestroyDefaultEffect;
    hooks.cameraViewport = &CameraViewport;
    CGraphics::SetRenderClassHooks(hooks);
    CPrimitiveList::RenderHooks primitiveHooks;
    primitiveHooks.queue = &QueueInRenderList;
    primitiveHooks.deviceTexture = &DeviceTextureOf;
    CPrimitiveList::SetRenderHooks(primitiveHooks);
}

void RenderClasses::AttachGraphics(CGraphics* graphics)
{
    SetGraphics(graphics);
}
