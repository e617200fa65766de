// Which scene each id of the scene switch makes: one line per scene.
#include "game/scene/SceneFactory.h"

#include "game/app/CController.h"
#include "game/scene/CEquipScene.h"
#include "game/scene/CLocalScene.h"
#include "game/scene/CMissionScene.h"
#include "game/scene/CNetworkScene.h"
#include "game/scene/COptionScene.h"
#include "game/scene/CRecordScene.h"
#include "game/scene/CReplayScene.h"
#include "game/scene/CShopScene.h"
#include "game/scene/CStoryScene.h"
#include "game/scene/CTitleScene.h"
#include "game/scene/CTutorialScene.h"

namespace
{
template <class Scene> CScene* Make()
{
    return new Scene();
}

struct SceneEntry
{
    uint32_t id;
    CScene* (*make)();
};

// Ids missing here have no scene yet: choosing them plays the cancel sound.
constexpr SceneEntry kScenes[] = {
    {CController::SCENE_TITLE, &Make<CTitleScene>},
    {CController::SCENE_STORY, &Make<CStoryScene>},
    {CController::SCENE_LOCAL_BATTLE, &Make<CLocalScene>},
    {CController::SCENE_NETWORK, &Make<CNetworkScene>},
    {CController::SCENE_MISSION, &Make<CMissionScene>},
    {CController::SCENE_SHOP, &Make<CShopScene>},
    {CController::SCENE_OPTION, &Make<COptionScene>},
    {CController::SCENE_RECORD, &Make<CRecordScene>},
    {CController::SCENE_EQUIPMENT, &Make<CEquipScene>},
    {CController::SCENE_REPLAY, &Make<CReplayScene>},
    {CController::SCENE_TUTORIAL, &Make<CTutorialScene>},
};
}

CScene* CreateGameScene(uint32_t sceneId)
{
    for (const SceneEntry& entry : kScenes)
    {
        if (entry.id == sceneId && entry.make != nullptr)
            return entry.make();
    }
    return nullptr;
}
