#include "tests/engine/effect/EffectTestUtil.h"

#include "engine/effect/EffectContainerLoader.h"
#include "engine/resource/CResourceController.h"
#include "tests/engine/core/TempFolder.h"

using namespace effecttest;

TEST(EffectLoader, ControllerLoadsResolvesAndSavesContainers)
{
    TempFolder folder;
    std::filesystem::create_directories("Effect");
    CEffectContainer inner("Efc_inner");
    inner.AddObject(MakeObject("Spark", 0, 1.0f));
    ASSERT_EQ(inner.Save("Effect/Inner.efc"), 1);
    CEffectContainer outer("Efc_outer");
    CEffectObject* nest = MakeObject("Nest", 3, 0.0f);
    nest->SetResourceFile("Efc_inner", nullptr);
    outer.AddObject(nest);
    ASSERT_EQ(outer.Save("Effect/Outer.efc"), 1);
    TempFolder::Write("Effect/Bad.efc", "Efc_bad");

    CResourceController controller;
    InstallEffectContainerLoader(controller);
    ASSERT_EQ(controller.Load("Effect\\Inner.efc", 1), 1) << controller.GetLastError();
    ASSERT_EQ(controller.Load("Effect\\Outer.efc", 1), 1) << controller.GetLastError();
    EXPECT_EQ(controller.Load("Effect\\Bad.efc", 1), 0);
    ASSERT_EQ(controller.GetEffectList().GetCount(), 2u);
    CResourceBase* loadedInner = controller.GetEffectList().FindByName("Efc_inner");
    auto* loadedOuter = dynamic_cast<CEffectContainer*>(controller.GetEffectList().FindByName("Efc_outer"));
    ASSERT_NE(loadedOuter, nullptr);
    EXPECT_EQ(loadedOuter->GetObjectList()->GetItem(0)->GetResource(), loadedInner) << "resolved by name";

    // A nested container plays through a particle of the outer one.
    SetFrameTime(kFrameMs);
    CEffectController effects;
    ASSERT_EQ(effects.Initialize(nullptr, 8, 8), 1);
    AddKey(loadedOuter->GetObjectList()->GetItem(0)->GetParticleTrack(), 0.0f, 1u);
    ASSERT_NE(loadedOuter->Play(&effects, 1), nullptr);
    effects.Update(0);
    EXPECT_EQ(effects.GetEffectPool()->GetUsedCount(), 2u);
    ASSERT_NE(effects.GetFirstEffect()->GetFirstParticle()->GetNestedEffect(), nullptr);
    effects.ReleaseAll();
    EXPECT_EQ(effects.GetEffectPool()->GetUsedCount(), 0u);

    ASSERT_EQ(controller.SaveTo("Saved.grc"), 1) << controller.GetLastError();
    EXPECT_EQ(TempFolder::Read("Effect/Efc_inner.efc"), TempFolder::Read("Effect/Inner.efc"));
    controller.Release();
    inner.Release();
    outer.Release();
}
