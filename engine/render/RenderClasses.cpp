#include "engine/render/RenderClasses.h"

#include "engine/platform/CGraphics.h"
#include "engine/render/BuiltInEffects.h"
#include "engine/render/CAnimationController.h"
#include "engine/render/CCamera.h"
#include "engine/render/CLight.h"
#include "engine/render/CLowModelObject.h"
#include "engine/render/CMesh.h"
#include "engine/render/CModelBlock.h"
#include "engine/render/CModelObject.h"
#include "engine/render/CPrimitiveRender.h"
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

const bool g_installed = RenderClasses::Install();
}

extern "C" void kvr_render_classes_anchor()
{
}

bool RenderClasses::Install()
{
    CGraphics::RegisterDrawingClass(CGraphics::CLASS_PRIMITIVE_RENDER, &CPrimitiveRender::SetGraphics);
    CGraphics::RegisterDrawingClass(CGraphics::CLASS_CAMERA, &CCamera::SetGraphics);
    CGraphics::RegisterDrawingClass(CGraphics::CLASS_LIGHT, &CLight::SetGraphics);
    CGraphics::RegisterDrawingClass(CGraphics::CLASS_TEXTURE, &CTexture::SetGraphics);
    CGraphics::RegisterDrawingClass(CGraphics::CLASS_SHADER, &CShader::SetGraphics);
    CGraphics::RegisterDrawingClass(CGraphics::CLASS_XMESH, &CXMesh::SetGraphics);
    CGraphics::RegisterDrawingClass(CGraphics::CLASS_MESH, &CMesh::SetGraphics);
    CGraphics::RegisterDrawingClass(CGraphics::CLASS_MODEL_OBJECT, &CModelObject::SetGraphics);
    CGraphics::RegisterDrawingClass(CGraphics::CLASS_MODEL_BLOCK, &CModelBlock::SetGraphics);
    CGraphics::RegisterDrawingClass(CGraphics::CLASS_LOW_MODEL_OBJECT, &CLowModelObject::SetGraphics);
    CGraphics::RegisterDrawingClass(CGraphics::CLASS_ANIMATION_CONTROLLER, &CAnimationController::SetGraphics);
    CGraphics::SetCameraApply(&ApplyCamera);
    CGraphics::DefaultEffectHooks hooks;
    hooks.create = &NewDefaultEffect;
    hooks.isDefault = &IsDefaultEffect;
    hooks.releaseEffect = &ReleaseDefaultEffect;
    hooks.recreate = &RecreateDefaultEffect;
    hooks.destroy = &DestroyDefaultEffect;
    CGraphics::SetDefaultEffectHooks(hooks);
    return true;
}
