// The game application's frames: loading, then the current scene with the
// quit menu, frame skipping and device loss; the scene switch.
//
// Sections: start; frames (update, the quit menu, full screen, drawing);
// scenes; device loss; the way out.
#include "game/app/CController.h"

#include "engine/core/CScene.h"
#include "engine/core/FailureLog.h"
#include "engine/core/GameText.h"
#include "engine/effect/CEffectController.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/PlatformClock.h"
#include "engine/platform/PlatformMessageBox.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/input/KeyCodes.h"
#include "engine/platform/message/MessageQueue.h"
#include "engine/platform/sound/CSound.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CCamera.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/CHDRFilter.h"
#include "engine/render/CRenderList.h"
#include "engine/render/CTexture.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CBulletMemoryList.h"
#include "game/app/CGameConfig.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameServices.h"
#include "game/menu/CMenuLayout.h"
#include "game/menu/CMenuPainter.h"
#include "game/menu/MenuKeys.h"

namespace
{
CController::SceneFactory g_sceneFactory = nullptr;

// Frames in a row that may fail to begin before the game gives up on the
// device.
constexpr uint32_t kFailedFramesAllowed = 5;
constexpr const char* kDeviceLostText = "Direct3D Device Lost!!";
constexpr const char* kErrorCaption = "Error";

// The quit menu: its first item quits, the second goes back to the game.
const char* const* QuitMenuItems()
{
    static const char* const items[] = {GameText("ゲームを終了する"), GameText("ゲームに戻る")};
    return items;
}
constexpr int8_t kQuitMenuCodes[] = {0, 1};
constexpr int8_t kQuitItem = 0;
constexpr int8_t kBackItem = 1;

// The loading screen, in layout units: the progress bar across the lower
// part of the picture and the prompt above it once everything is in.
constexpr MenuRect kProgressFrame{.left = 256, .top = 680, .right = 768, .bottom = 696};
constexpr float kProgressBorder = 2.0f;
constexpr MenuRect kPromptArea{.left = 0, .top = 600, .right = 1024, .bottom = 640};
constexpr float kPromptSize = 24.0f;
// The prompt blinks: shown for this part of each second.
constexpr uint32_t kPromptPeriod = 1000;
constexpr uint32_t kPromptShown = 700;

uint32_t Opaque(MenuRole role)
{
    return MenuColor(role, 1.0f);
}
}

CController::CController()
{
    m_quitMenu.itemCount = 2;
    m_quitMenu.cursor = kBackItem;
    m_quitMenu.blocksPlay = 1;
    m_quitMenu.title = GameText("ゲームを終了しますか？");
    m_quitMenu.items = QuitMenuItems();
    m_quitMenu.codes = kQuitMenuCodes;
}

CController::~CController()
{
    Shutdown();
}

void CController::SetSceneFactory(SceneFactory factory)
{
    g_sceneFactory = factory;
}

int CController::Init(InstanceHandle instance, WindowProcedure procedure)
{
    if (!CApplicationMain::Init(instance, procedure))
        return 0;
    return StartGame();
}

int CController::InitOnDevices(CSystem* system, CGraphics* graphics, CSound* sound, CInput* input)
{
    m_system = system;
    m_graphics = graphics;
    m_sound = sound;
    m_input = input;
    if (m_system == nullptr || m_graphics == nullptr || m_sound == nullptr || m_input == nullptr ||
        m_graphics->GetDevice() == nullptr)
        return 0;
    InitFrameTimer(m_system, 60);
    return StartGame();
}

// ---------------------------------------------------------------------------
// Frames

int CController::Update()
{
    const int polled = CApplicationMain::Update();
    if (m_loadingState.load() == LoadingState::Playing)
        UpdatePlaying();
    else
        UpdateLoading();
    return polled;
}

void CController::UpdateLoading()
{
    if (!m_loadingDone.load())
        return;
    if (m_loadingThread.joinable())
    {
        m_loadingThread.join();
        // The main thread draws alone from now on.
        m_graphics->MakeContextCurrent();
        m_loadingState = m_loadingSucceeded.load() ? LoadingState::WaitingForKey : LoadingState::Failed;
        if (m_loadingState.load() == LoadingState::Failed)
        {
            ShowMessageBox(m_system->GetWindowHandle(), ToGameText(m_loadingError).c_str(), kErrorCaption);
            MessageQueue::PostQuit(0);
            return;
        }
        // The input object is polled on this thread every frame: the pads
        // take the settings' keys here, not on the loading thread.
        CopyInputSettings();
        if (m_config->GetData()->fullScreen != 0)
            SetFullScreen(true);
    }
    if (m_loadingState.load() != LoadingState::WaitingForKey)
        return;
    if (!CInput::IsAnyButtonDown(m_input->GetPadState(0)))
        return;
    m_loadingState = LoadingState::Playing;
    ChangeScene(SCENE_TITLE, nullptr);
}

void CController::UpdatePlaying()
{
    UpdateWindowKeys();
    if (m_quitMenuOpen)
        UpdateQuitMenu();
    else if (m_scene != nullptr)
        m_scene->Update(0);
    UpdateSounds();
    DeleteRetiredScenes();
}

void CController::UpdateWindowKeys()
{
    if (m_quitMenuEnabled == 0)
        return;
    const bool alt = m_input->GetKeyState(KEY_LMENU) != 0 || m_input->GetKeyState(KEY_RMENU) != 0;
    if (alt && m_input->IsKeyTriggered(KEY_RETURN) != 0)
        ToggleFullScreen();
    if (m_input->IsKeyTriggered(KEY_ESCAPE) == 0)
        return;
    if (m_quitMenuOpen)
    {
        PlayCancelSound();
        CloseQuitMenu();
        return;
    }
    OpenQuitMenu();
}

void CController::OpenQuitMenu()
{
    m_quitMenu.cursor = kBackItem;
    m_quitMenu.opening = 0;
    m_quitMenu.clock = 0;
    m_quitMenuOpen = true;
    PlaySelectSound();
}

void CController::UpdateQuitMenu()
{
    m_quitMenu.clock += GetElapsedMilliseconds();
    const MenuKeys keys = MenuKeys::FromPad(m_input->GetPadState(0), CMenuLayout(), MenuPoint{});
    const int step = MenuCursorStep(keys);
    if (step != 0)
    {
        MoveMenuCursor(&m_quitMenu, step);
        PlaySelectSound();
        return;
    }
    if (keys.Pressed(MenuKey::Decide))
    {
        PlayDecideSound();
        if (m_quitMenu.cursor == kQuitItem)
            MessageQueue::PostQuit(0);
        CloseQuitMenu();
        return;
    }
    if (keys.Pressed(MenuKey::Cancel))
    {
        PlayCancelSound();
        CloseQuitMenu();
    }
}

// The key that closed the menu is still down in the next frames, and the
// screen beneath may act on a held key (the title's ring, the mission
// list, the shop): it takes that key only once it has been let go.
void CController::CloseQuitMenu()
{
    m_quitMenuOpen = false;
    if (m_input != nullptr)
        m_input->HoldUntilReleased();
}

void CController::SetQuitMenuEnabled(uint32_t enabled)
{
    m_quitMenuEnabled = enabled;
    if (enabled == 0)
        m_quitMenuOpen = false;
}

void CController::ToggleFullScreen()
{
    SetFullScreen(m_graphics->GetWindowed() != 0);
}

bool CController::SetFullScreen(bool fullScreen)
{
    const int width = m_system->GetWidth();
    const int height = m_system->GetHeight();
    bool took = true;
    if (!fullScreen)
    {
        m_graphics->ChangeMode(1, width, height);
    }
    else if (m_graphics->ChangeMode(0, width, height) == 0 || m_graphics->GetWindowed() != 0)
    {
        // The screen refused; the game goes on in its window, and the
        // settings show it (the file keeps its value until options save).
        LogFailure("game: full screen", "the display refused the mode; the game runs in a window");
        m_graphics->ChangeMode(1, width, height);
        if (m_config)
            m_config->GetData()->fullScreen = 0;
        took = false;
    }
    SetCameraViewport(m_camera.get());
    return took;
}

void CController::UpdateSounds()
{
    // Fades and streams advance once per frame.
    CResourceList<CSoundBuffer*>& sounds = m_resources->GetSoundList();
    for (uint32_t i = 0; i < sounds.GetCount(); ++i)
    {
        if (sounds.GetItem(i) != nullptr)
            sounds.GetItem(i)->Update();
    }
}

int CController::Render()
{
    const uint32_t frame = m_frameCounter++;
    if (frame % (m_frameSkip + 1) != 0)
        return 1;
    if (!m_loadingDone.load() || m_loadingThread.joinable())
    {
        CLoadingLock::Scope scope(m_loadingLock);
        RenderFrame();
        return 1;
    }
    RenderFrame();
    return 1;
}

void CController::RenderFrame()
{
    if (!m_graphics->BeginScene())
    {
        if (++m_failedFrames < kFailedFramesAllowed)
            return;
        m_failedFrames = 0;
        ShowMessageBox(m_system->GetWindowHandle(), kDeviceLostText, kErrorCaption);
        MessageQueue::PostQuit(0);
        return;
    }
    m_failedFrames = 0;
    ++m_drawnFrames;
    if (m_camera)
        m_camera->Apply();
    if (m_loadingState.load() == LoadingState::Playing && m_scene != nullptr)
        m_scene->Render(0);
    else
        RenderLoadingScreen();
    if (m_quitMenuOpen)
        DrawMenu(&m_quitMenu);
    m_graphics->EndScene();
}

void CController::RenderLoadingScreen()
{
    m_graphics->Begin2D();
    m_graphics->SetBlendMode(1);
    const CMenuPainter painter(CMenuLayout::ForGraphics(m_graphics, MenuScaleRule::Menu4x3));
    if (m_loadingPicture)
    {
        const MenuCell whole{.left = 0,
                             .top = 0,
                             .right = static_cast<float>(m_loadingPicture->GetWidth()),
                             .bottom = static_cast<float>(m_loadingPicture->GetHeight())};
        painter.PictureInto(m_loadingPicture.get(), whole, painter.Layout().Area(), Opaque(MenuRole::Focused));
    }
    const uint32_t total = m_totalEntries.load();
    const float done = total == 0 ? 0.0f : static_cast<float>(m_loadedEntries.load()) / static_cast<float>(total);
    painter.Fill(kProgressFrame, Opaque(MenuRole::Outline));
    MenuRect bar{kProgressFrame.left + kProgressBorder, kProgressFrame.top + kProgressBorder,
                 kProgressFrame.right - kProgressBorder, kProgressFrame.bottom - kProgressBorder};
    bar.right = bar.left + bar.Width() * (done > 1.0f ? 1.0f : done);
    painter.Fill(bar, Opaque(MenuRole::Focused));
    if (m_loadingState.load() != LoadingState::WaitingForKey)
        return;
    if (GetTickMilliseconds() % kPromptPeriod < kPromptShown)
        painter.Text(GetFont(0), kPromptArea, MenuAnchor::Centre, kPromptSize, Opaque(MenuRole::Focused),
                     GameText("PRESS ANY BUTTON"));
}

// ---------------------------------------------------------------------------
// Scenes

bool CController::HasScene(uint32_t sceneId) const
{
    if (g_sceneFactory == nullptr || sceneId >= SCENE_COUNT)
        return false;
    CScene* probe = g_sceneFactory(sceneId);
    if (probe == nullptr)
        return false;
    probe->Release();
    delete probe;
    return true;
}

int CController::ChangeScene(uint32_t sceneId, uint32_t subState, float fade, uint32_t item)
{
    tag_TOLQSCENEPARAM param;
    param.subState = subState;
    param.fade = fade;
    param.item = item;
    return ChangeScene(sceneId, &param);
}

int CController::ChangeScene(uint32_t sceneId, const tag_TOLQSCENEPARAM* param)
{
    CScene* next = g_sceneFactory != nullptr && sceneId < SCENE_COUNT ? g_sceneFactory(sceneId) : nullptr;
    if (next == nullptr)
    {
        PlayCancelSound();
        return 1;
    }
    RetireScene();
    m_scene = next;
    // A scene that ended on a press (a menu's choice, any button) leaves it
    // to nobody: the new one takes keys that are down now once let go.
    if (m_input != nullptr)
        m_input->HoldUntilReleased();
    return m_scene->Init(reinterpret_cast<uintptr_t>(param));
}

void CController::RetireScene()
{
    // The old scene may be the caller, still inside its Update: it goes at
    // the end of the frame.
    if (m_scene != nullptr)
        m_retiredScenes.push_back(m_scene);
    m_scene = nullptr;
}

void CController::DeleteRetiredScenes()
{
    for (CScene* scene : m_retiredScenes)
    {
        scene->Release();
        delete scene;
    }
    m_retiredScenes.clear();
}

// ---------------------------------------------------------------------------
// Device loss

int CController::OnLostDevice()
{
    if (!m_resources)
        return 1;
    ReleaseFonts();
    if (m_hdrFilter != nullptr)
        m_hdrFilter->Release();
    return 1;
}

int CController::OnResetDevice()
{
    if (!m_resources)
        return 1;
    if (m_resources->GetFontList().GetCount() != 0)
        CreateFonts();
    if (m_hdrFilter != nullptr)
        CreateHdrFilter();
    SetCameraViewport(m_camera.get());
    return 1;
}

// ---------------------------------------------------------------------------
// The way out

void CController::SavePlayData()
{
    if (m_playDataSaved || !m_config || m_loadingState.load() == LoadingState::Failed ||
        m_loadingState.load() == LoadingState::Loading)
        return;
    m_playDataSaved = true;
    tag_TOLQPLAYRECORD* record = m_config->GetRecord();
    const uint32_t now = GetTickMilliseconds();
    record->totalPlayTime += now - record->sessionStart;
    record->sessionStart = now;
    m_config->UpdateUnlocks();
    if (m_config->SavePlayData() == 0 || m_config->SavePlayRecord() == 0)
        LogFailure("game: play data", "PlayData.dat or PlayRecord.dat could not be saved");
}

uint32_t CController::Shutdown()
{
    if (m_loadingThread.joinable())
    {
        m_loadingThread.join();
        if (m_graphics != nullptr)
            m_graphics->MakeContextCurrent();
    }
    SavePlayData();
    if (m_scene != nullptr)
        RetireScene();
    DeleteRetiredScenes();
    g_pController = nullptr;
    g_pResourceController = nullptr;
    g_pRenderList = nullptr;
    g_pEffectController = nullptr;
    g_pInput = nullptr;
    if (CActorResources::GetController() == m_resources.get())
        CActorResources::Install(nullptr);
    if (m_effects)
        m_effects->Release();
    m_effects.reset();
    if (m_hdrFilter != nullptr)
    {
        m_hdrFilter->Release();
        delete m_hdrFilter;
        m_hdrFilter = nullptr;
    }
    m_renderList.reset();
    m_bullets.reset();
    m_camera.reset();
    m_menuSheet = nullptr;
    m_background = nullptr;
    m_selectSound = nullptr;
    m_decideSound = nullptr;
    m_cancelSound = nullptr;
    m_resources.reset();
    m_loadingPicture.reset();
    m_config.reset();
    return CApplicationMain::Shutdown();
}
