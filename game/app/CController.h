#pragma once

// The game application: the window and its devices (through the application
// base), the loading thread, the scene switch and the services every scene
// and the battle use.
//
// Sections: start-up and loading (ControllerLoading.cpp); frames, scenes,
// quit menu and device loss (CController.cpp); shared services: music and
// sounds, background, pointer, pop-up menus, camera viewport
// (ControllerServices.cpp).

#include "engine/platform/CApplicationMain.h"
#include "game/app/CLoadingLock.h"
#include "game/app/CMenuBackgroundEffect.h"
#include "game/app/tag_TOLQMENU.h"
#include "game/app/tag_TOLQSCENEPARAM.h"
#include "game/menu/MenuSound.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class CBulletMemoryList;
class CCamera;
class CEffectController;
class CFontTexture;
class CGameConfig;
class CHDRFilter;
class CQorResourceController;
class CRenderList;
class CScene;
class CSoundBuffer;
class CTexture;
class InputSource;

class CController : public CApplicationMain, public IMenuSounds
{
public:
    // The scenes the switch knows, by their fixed numbers.
    enum SceneId : uint32_t
    {
        SCENE_TITLE = 0,
        SCENE_STORY = 1,
        SCENE_LOCAL_BATTLE = 2,
        SCENE_NETWORK = 3,
        SCENE_MISSION = 4,
        SCENE_SHOP = 5,
        SCENE_OPTION = 6,
        SCENE_RECORD = 7,
        SCENE_EQUIPMENT = 8,
        SCENE_REPLAY = 9,
        SCENE_TUTORIAL = 10,
        SCENE_COUNT = 11,
    };

    // Where the game stands between start-up and play.
    enum class LoadingState : uint8_t
    {
        Loading,       // the loading thread runs; the loading screen shows its progress
        WaitingForKey, // everything is in; any button starts the title
        Playing,       // a scene is current
        Failed,        // loading failed; the program says why and ends
    };

    // Makes the scene of an id, or null when that scene does not exist yet.
    // The program installs the game's factory (game/scene) before WinMain.
    using SceneFactory = CScene* (*)(uint32_t sceneId);
    static void SetSceneFactory(SceneFactory factory);
    // The folder the game runs in (where "GameResource.grc" lies); empty:
    // the program's own folder. Set before WinMain.
    static void SetDataFolder(const char* folder);
    // The glow filter over the battle; on unless the program turns it off.
    static void SetHdrOption(bool on);

    CController();
    ~CController() override;

    // The base's window and devices, then the game's start (below).
    int Init(InstanceHandle instance, WindowProcedure procedure) override;
    // The game's start on devices made elsewhere (tests: a headless window,
    // the loopback sound device, a scripted input source). The controller
    // owns them from here on, as if Init had made them.
    int InitOnDevices(CSystem* system, CGraphics* graphics, CSound* sound, CInput* input);
    int Update() override;
    int OnLostDevice() override;
    int OnResetDevice() override;
    int Render() override;
    uint32_t Shutdown() override;

    // Loading, for the loading screen and tests. The state leaves Loading
    // on the main thread, once the loading thread has ended and the main
    // thread has the graphics context again.
    LoadingState GetLoadingState() const { return m_loadingState.load(); }
    uint32_t GetLoadedEntries() const { return m_loadedEntries.load(); }
    uint32_t GetTotalEntries() const { return m_totalEntries.load(); }
    const std::string& GetLoadingError() const { return m_loadingError; }
    // While the loading thread runs, the graphics context belongs to the
    // holder of this lock: whoever reads the screen then (a test) holds it.
    CLoadingLock& GetLoadingLock() { return m_loadingLock; }

    // Scene switching. The new scene is made and initialised at once; the
    // old one is released and deleted at the end of the frame, so a scene
    // may switch from inside its own Update. An id without a scene yet
    // plays the cancel sound and keeps the current scene (result 1).
    int ChangeScene(uint32_t sceneId, uint32_t subState, float fade, uint32_t item);
    int ChangeScene(uint32_t sceneId, const tag_TOLQSCENEPARAM* param);
    bool HasScene(uint32_t sceneId) const;
    CScene* GetScene() const { return m_scene; }

    // Shared services.
    CBulletMemoryList* GetBulletPool() const { return m_bullets.get(); }
    CGameConfig* GetGameConfig() const { return m_config.get(); }
    CHDRFilter* GetHDRFilter() const { return m_hdrFilter; }
    CEffectController* GetEffectController() const { return m_effects.get(); }
    CRenderList* GetRenderList() const { return m_renderList.get(); }
    CQorResourceController* GetResourceController() const { return m_resources.get(); }
    // The menus' camera: the whole window, or the centred 4:3 area of a wide
    // one; applied before each scene draws.
    CCamera* GetCamera() const { return m_camera.get(); }
    CTexture* GetMenuSheet() const { return m_menuSheet; }
    // Font 0 (small) or 1 (large) of the resource controller's font list.
    CFontTexture* GetFont(uint32_t index) const;

    // Music: 0 for a null sound. Nothing happens while the music volume of
    // the settings is below -2999 or the sound plays already; otherwise it
    // loops from loopSeconds at volume, fading by speed per frame towards
    // the music volume.
    int PlayBgm(CSoundBuffer* sound, int32_t volume, int32_t speed, float loopSeconds);
    // Once on a free voice at the voice volume (nothing when none is free
    // or the volume is below -2999); 0 for a null sound.
    int PlayVoice(CSoundBuffer* sound);
    // "Se_select.ogg", "Se_decide.ogg", "Se_cancel.ogg" as PlayVoice plays,
    // at the sound-effect volume.
    void PlaySelectSound();
    void PlayDecideSound();
    void PlayCancelSound();
    void PlayMenuSound(MenuSound sound) override;

    // The menu background ("Background_01.dds") tinted by an ARGB colour,
    // with its moving light and motes.
    void DrawBackground(uint32_t color);
    void UpdateBackgroundEffect();
    const CMenuBackgroundEffect& GetBackgroundEffect() const { return m_backgroundEffect; }
    // The mouse pointer at the mouse.
    void DrawCursor();
    // A centred pop-up menu: the title and the items in font 1 at 24 layout
    // pixels in a window, the cursor's item white, the others grey.
    void DrawMenu(const tag_TOLQMENU* menu);
    // The whole client area, or a 4:3 area of the full height centred on a
    // window wider than 4:3.
    void SetCameraViewport(CCamera* camera) const;

    // The Escape quit menu (and Alt+Enter) are offered while enabled; the
    // online battle turns them off.
    void SetQuitMenuEnabled(uint32_t enabled);
    uint32_t IsQuitMenuEnabled() const { return m_quitMenuEnabled; }
    bool IsQuitMenuOpen() const { return m_quitMenuOpen; }
    const tag_TOLQMENU& GetQuitMenu() const { return m_quitMenu; }
    // One frame of the open quit menu's keys.
    void UpdateQuitMenu();

    // Full screen at the window's size, or back to the window. A screen
    // that refuses leaves the game in its window and the live settings
    // saying so: false then.
    bool SetFullScreen(bool fullScreen);

    // Every (frameSkip + 1)-th frame is drawn; the others only update.
    void SetFrameSkip(uint32_t frameSkip) { m_frameSkip = frameSkip; }
    uint32_t GetDrawnFrames() const { return m_drawnFrames; }
    // Frames in a row whose scene could not begin (the device is lost).
    uint32_t GetFailedFrames() const { return m_failedFrames; }

private:
    // ControllerLoading.cpp: the start and the loading thread's steps.
    int StartGame();
    void LoadOnThread();
    bool LoadSettings();
    bool LoadResources();
    bool CreateHdrFilter();
    bool CreateEffects();
    bool PublishServices();
    bool LoadFontFaces();
    bool CreateFonts();
    void ReleaseFonts();
    bool FindSharedResources();
    bool CreateCamera();

    // CController.cpp
    void CopyInputSettings();
    void UpdateLoading();
    void UpdatePlaying();
    void UpdateWindowKeys();
    void ToggleFullScreen();
    void OpenQuitMenu();
    void CloseQuitMenu();
    void RetireScene();
    void DeleteRetiredScenes();
    void UpdateSounds();
    void RenderLoadingScreen();
    void RenderFrame();
    void SavePlayData();

    CLoadingLock m_loadingLock;
    std::thread m_loadingThread;
    std::atomic<LoadingState> m_loadingState{LoadingState::Loading};
    std::atomic<bool> m_loadingDone{false};
    std::atomic<bool> m_loadingSucceeded{false};
    std::atomic<uint32_t> m_loadedEntries{0};
    std::atomic<uint32_t> m_totalEntries{0};
    std::string m_loadingError;
    std::unique_ptr<CTexture> m_loadingPicture;

    std::unique_ptr<CGameConfig> m_config;
    std::unique_ptr<CQorResourceController> m_resources;
    std::unique_ptr<CRenderList> m_renderList;
    std::unique_ptr<CBulletMemoryList> m_bullets;
    std::unique_ptr<CEffectController> m_effects;
    std::unique_ptr<CCamera> m_camera;
    CHDRFilter* m_hdrFilter = nullptr;
    bool m_hdrOption = false;
    std::vector<std::string> m_fontFaces;

    CScene* m_scene = nullptr;
    std::vector<CScene*> m_retiredScenes;

    CTexture* m_menuSheet = nullptr;
    CTexture* m_background = nullptr;
    CSoundBuffer* m_selectSound = nullptr;
    CSoundBuffer* m_decideSound = nullptr;
    CSoundBuffer* m_cancelSound = nullptr;
    CMenuBackgroundEffect m_backgroundEffect;

    uint32_t m_quitMenuEnabled = 1;
    bool m_quitMenuOpen = false;
    tag_TOLQMENU m_quitMenu;

    uint32_t m_frameSkip = 0;
    uint32_t m_frameCounter = 0;
    uint32_t m_drawnFrames = 0;
    uint32_t m_failedFrames = 0;
    bool m_playDataSaved = false;
};
