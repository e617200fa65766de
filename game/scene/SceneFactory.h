#pragma once

#include <cstdint>

class CScene;

// The scene of an id (CController::SceneId), or null for an id whose scene
// does not exist yet. The program hands it to CController::SetSceneFactory.
CScene* CreateGameScene(uint32_t sceneId);
