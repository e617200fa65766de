// The game's start: the loading picture, then the loading thread, which
// builds every service step by step under the loading lock while the main
// thread shows the progress.
#include "game/app/CController.h"

#include "engine/core/FailureLog.h"
#include "engine/core/FileIo.h"
#include "engine/effect/CEffectController.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CCamera.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/CHDRFilter.h"
#include "engine/render/CRenderList.h"
#include "engine/render/CTexture.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CBulletMemoryList.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CClothesDefinition.h"
#include "game/actor/CGameDataResource.h"
#include "game/actor/CWeaponDefinition.h"
#include "game/app/CGameConfig.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameServices.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace
{
constexpr const char* kResourceList = "GameResource.grc";
// Shown before any pack is open, so it is a file of its own.
constexpr const char* kLoadingPicture = "Texture\\Loading_01.dds";
constexpr const char* kFontFaceFile = "Font\\FontFace.txt";
constexpr uint64_t kMaxFontFaceFile = 4096;

// Fonts 0 (small texts) and 1 (menus, records): the glyph cache's size and
// the cell height in pixels.
struct FontSpec
{
    uint32_t cacheSize;
    int32_t height;
};
constexpr FontSpec kFonts[2] = {{1024, 24}, {1024, 32}};

// Pools of the effect controller, and the distance at which effect sounds
// are heard at full volume.
constexpr uint32_t kEffectCapacity = 1536;
constexpr uint32_t kParticleCapacity = 4196;
constexpr float kEffectSoundDistance = 10.0f;
// The glow filter's targets.
constexpr uint32_t kHdrTargetSize = 2048;
// The menus' camera looks at the origin from in front.
constexpr int kCameraFov = 60;
constexpr float kAspect4x3 = 1.333333f;
constexpr float kCameraNear = 0.1f;
constexpr float kCameraFar = 1500.0f;
constexpr float kCameraDistance = 1.5f;
// Objects the render list sorts per frame.
constexpr uint32_t kRenderListCapacity = 4096;
// Settings volumes at or below this are off; the effect controller is told
// silence.
constexpr int32_t kQuietestSetting = -3000;
constexpr int32_t kSilent = -10000;
// Resource controller flags the game always sets: sounds are panned, music
// streams without position notifications.
constexpr uint32_t kPanSounds = 1;
constexpr uint32_t kMusicWithoutNotification = 1;

std::string g_dataFolder;
bool g_hdrOption = true;

template <class Definition>
const Definition* DefinitionAt(CResourceList<CResourceBase*>* list, uint32_t index)
{
    const auto* resource = dynamic_cast<const CGameDataResource<Definition>*>(list->GetItem(index));
    return resource != nullptr ? &resource->GetDefinition() : nullptr;
}

// The unlock rule of every definition of a list, in list order.
template <class Definition> std::vector<tag_TOLQUNLOCKRULE> UnlockRules(CQorResourceController& resources, uint8_t kind)
{
    std::vector<tag_TOLQUNLOCKRULE> rules;
    auto* list = static_cast<CResourceList<CResourceBase*>*>(resources.GetList(kind));
    for (uint32_t i = 0; i < list->GetCount(); ++i)
    {
        const Definition* item = DefinitionAt<Definition>(list, i);
        rules.push_back(item != nullptr ? tag_TOLQUNLOCKRULE{item->unlockKind, item->unlockThreshold}
                                        : tag_TOLQUNLOCKRULE{});
    }
    return rules;
}

// A character the play data has no record of yet carries what it comes
// with, so that a first battle can be set up before anything was bought.
// A record the file held keeps what the player chose, also when that is
// nothing at all: the equipment screen may take every piece off.
void GiveDefaultEquipment(tag_TOLQCHARAPLAYDATA* play, const CCharacterDefinition& definition)
{
    for (uint32_t i = 0; i < kCharacterWeapons; ++i)
        std::snprintf(play->weapons[i], kNameBytes, "%s", definition.defaultWeapons[i]);
    for (uint32_t i = 0; i < kCharacterClothes; ++i)
        std::snprintf(play->clothes[i], kNameBytes, "%s", definition.defaultClothes[i]);
}

// Weapons that are free from the start belong to the player.
void OwnFreeWeapons(tag_TOLQPLAYDATA* play, CQorResourceController& resources)
{
    auto* weapons = static_cast<CResourceList<CResourceBase*>*>(resources.GetList(CQorResourceController::LIST_WEAPONS));
    for (uint32_t i = 0; i < weapons->GetCount(); ++i)
    {
        const CWeaponDefinition* weapon = DefinitionAt<CWeaponDefinition>(weapons, i);
        if (play->weapons.size() <= i)
            play->weapons.resize(i + 1);
        if (weapon != nullptr && weapon->unlockKind == 0 && weapon->price == 0)
        {
            play->weapons[i].unlocked = 1;
            play->weapons[i].owned = 1;
        }
    }
}

// The play data's tables follow the game data: one entry per selectable
// character, weapon and clothes item, with each item's unlock rule, and
// mission; the stages and the built-in music on offer; weapons that are free from the
// start belong to the player.
void FitPlayData(CGameConfig& config, CQorResourceController& resources)
{
    tag_TOLQPLAYDATA* play = config.GetPlayData();
    auto* characters = static_cast<CResourceList<CResourceBase*>*>(
        resources.GetList(CQorResourceController::LIST_CHARACTERS));
    const size_t selectable = std::min<size_t>(characters->GetCount(), kMaxCharacters);
    // Records past the file's count were never saved, so never dressed:
    // the file's character count tells them apart (every record an earlier
    // start saved went through here first).
    const size_t stored = play->characters.size();
    if (stored < selectable)
        play->characters.resize(selectable);
    if (config.GetRecord()->records.size() < selectable)
        config.GetRecord()->records.resize(selectable);
    // One mission record per mission of the list, in list order.
    const size_t missions = resources.GetMissionList()->GetCount();
    if (play->missions.size() < missions)
        play->missions.resize(missions);
    for (size_t i = stored; i < selectable; ++i)
    {
        const auto index = static_cast<uint32_t>(i);
        if (const CCharacterDefinition* definition = DefinitionAt<CCharacterDefinition>(characters, index))
            GiveDefaultEquipment(&play->characters[i], *definition);
    }
    auto* stages = static_cast<CResourceList<CResourceBase*>*>(resources.GetList(CQorResourceController::LIST_STAGES));
    play->stageCount = static_cast<uint8_t>(std::min<uint32_t>(stages->GetCount(), kMaxStages));
    play->builtInMusicCount = kBuiltInMusicTracks;
    play->musicCount = kBuiltInMusicTracks + static_cast<uint32_t>(play->userMusic.size());
    OwnFreeWeapons(play, resources);

    std::vector<tag_TOLQUNLOCKRULE> weaponRules =
        UnlockRules<CWeaponDefinition>(resources, CQorResourceController::LIST_WEAPONS);
    std::vector<tag_TOLQUNLOCKRULE> clothesRules =
        UnlockRules<CClothesDefinition>(resources, CQorResourceController::LIST_CLOTHES);
    config.SetUnlockRules(std::move(weaponRules), std::move(clothesRules));
    config.UpdateUnlocks();
}
}

void CController::SetDataFolder(const char* folder)
{
    g_dataFolder = folder != nullptr ? folder : "";
}

void CController::SetHdrOption(bool on)
{
    g_hdrOption = on;
}

int CController::StartGame()
{
    m_hdrOption = g_hdrOption;
    if (m_system->SetCurrentFolder(g_dataFolder.empty() ? nullptr : g_dataFolder.c_str()) == 0)
    {
        LogFailure("game: data folder", g_dataFolder.c_str());
        return 0;
    }
    auto picture = std::make_unique<CTexture>();
    if (picture->CreateFromFile(kLoadingPicture))
        m_loadingPicture = std::move(picture);
    else
        LogFailure("game: loading picture", kLoadingPicture);
    // The loading screen draws through the menus' camera from the first
    // frame; the loading thread points it.
    m_camera = std::make_unique<CCamera>();
    SetCameraViewport(m_camera.get());
    m_loadingLock.SetGraphics(m_graphics);
    // From here the context belongs to whoever holds the loading lock.
    m_graphics->ReleaseContext();
    m_loadingThread = std::thread(&CController::LoadOnThread, this);
    return 1;
}

void CController::LoadOnThread()
{
    // The steps of the start-up in their order, each under the lock; the
    // resource list also lets the loading screen in between its entries.
    using Step = bool (CController::*)();
    static const Step kSteps[] = {
        &CController::LoadSettings,    &CController::LoadResources, &CController::CreateHdrFilter,
        &CController::CreateEffects,   &CController::PublishServices, &CController::CreateFonts,
        &CController::FindSharedResources, &CController::CreateCamera,
    };
    bool loaded = true;
    for (Step step : kSteps)
    {
        CLoadingLock::Scope scope(m_loadingLock);
        loaded = (this->*step)();
        if (!loaded)
            break;
    }
    // The state changes on the main thread once it has joined this one.
    m_loadingSucceeded = loaded;
    m_loadingDone = true;
}

bool CController::LoadSettings()
{
    m_config = std::make_unique<CGameConfig>();
    if (m_config->Load() == 0)
    {
        m_loadingError = "There is no folder to keep the settings in (HOME and XDG_DATA_HOME are unset).";
        return false;
    }
    // A damaged file keeps the defaults for what could not be read; the
    // game goes on and saves whole files later.
    if (!m_config->GetLoadProblem().empty())
        LogFailure("game: settings", m_config->GetLoadProblem().c_str());
    return true;
}

bool CController::LoadResources()
{
    const tag_TOLQGAMECONFIG* settings = m_config->GetData();
    m_resources = std::make_unique<CQorResourceController>(kPanSounds, kMusicWithoutNotification, settings->soundCount);
    m_totalEntries = m_resources->CountEntries(kResourceList, 1);
    m_resources->SetEntryHook([this](uint32_t loaded) {
        m_loadedEntries = loaded;
        m_loadingLock.Yield();
    });
    const int loaded = m_resources->Load(kResourceList, 1);
    m_resources->SetEntryHook(nullptr);
    if (!loaded)
    {
        const std::string why = m_resources->GetLastError();
        m_loadingError = std::string(kResourceList) + " could not be loaded" + (why.empty() ? "." : ": " + why);
        return false;
    }
    FitPlayData(*m_config, *m_resources);
    return true;
}

void CController::CopyInputSettings()
{
    const tag_TOLQGAMECONFIG* settings = m_config->GetData();
    tag_KVRPADSTATE* pad = m_input->GetPadState(0);
    for (uint32_t action = 0; action < kActionCount; ++action)
    {
        pad->keyMap[action] = settings->keys[action];
        pad->joystickMap[action] = settings->padElements[action];
        pad->xinputMap[action] = settings->padElements[action];
    }
    CInput::ClampPadMappings(pad, 0);
}

bool CController::CreateHdrFilter()
{
    if (!m_hdrOption)
        return true;
    m_hdrFilter = new CHDRFilter();
    const uint32_t format = m_graphics->GetFullScreenFormat() != 0 ? m_graphics->GetFullScreenFormat()
                                                                   : m_graphics->GetDesktopMode().format;
    if (m_hdrFilter->Create(kHdrTargetSize, kHdrTargetSize, format, FORMAT_D24S8))
        return true;
    // Without the filter the game draws plainly; the option goes off.
    LogFailure("game: glow filter", "its render targets could not be made; the game runs without it");
    m_hdrFilter->Release();
    delete m_hdrFilter;
    m_hdrFilter = nullptr;
    m_hdrOption = false;
    return true;
}

bool CController::CreateEffects()
{
    m_renderList = std::make_unique<CRenderList>("RenderList", kRenderListCapacity, m_graphics);
    m_bullets = std::make_unique<CBulletMemoryList>();
    m_effects = std::make_unique<CEffectController>();
    if (!m_effects->Initialize(m_graphics, kEffectCapacity, kParticleCapacity))
    {
        m_loadingError = "The effect pools could not be made.";
        return false;
    }
    const int32_t volume = m_config->GetData()->seVolume;
    m_effects->GetSoundSettings()->volume = volume <= kQuietestSetting ? kSilent : volume;
    m_effects->GetSoundSettings()->distance = kEffectSoundDistance;
    return true;
}

bool CController::PublishServices()
{
    g_pController = this;
    g_pResourceController = m_resources.get();
    g_pRenderList = m_renderList.get();
    g_pEffectController = m_effects.get();
    g_pInput = m_input;
    // Fighters, weapons and stages find their models, sounds and effects
    // through the game's lists (the previews of the menus as the battles).
    CActorResources::Install(m_resources.get());
    return true;
}

bool CController::LoadFontFaces()
{
    std::vector<uint8_t> bytes;
    m_fontFaces.clear();
    if (!ReadWholeFile(kFontFaceFile, kMaxFontFaceFile, &bytes))
        LogFailure("game: font faces", kFontFaceFile);
    std::string line;
    for (uint8_t byte : bytes)
    {
        if (byte == '\r')
            continue;
        if (byte != '\n')
        {
            line += static_cast<char>(byte);
            continue;
        }
        m_fontFaces.push_back(line);
        line.clear();
    }
    if (!line.empty())
        m_fontFaces.push_back(line);
    // A face the machine lacks falls back to the Japanese face.
    while (m_fontFaces.size() < std::size(kFonts))
        m_fontFaces.push_back(m_fontFaces.empty() ? std::string("Sans") : m_fontFaces.back());
    return true;
}

bool CController::CreateFonts()
{
    if (m_fontFaces.empty())
        LoadFontFaces();
    CResourceList<CFontTexture*>& fonts = m_resources->GetFontList();
    for (size_t i = 0; i < std::size(kFonts); ++i)
    {
        CFontTexture* font = i < fonts.GetCount() ? fonts.GetItem(static_cast<uint32_t>(i)) : nullptr;
        if (font == nullptr)
        {
            font = new CFontTexture();
            fonts.Add(font);
        }
        if (!font->CreateDefault(kFonts[i].cacheSize, kFonts[i].cacheSize, m_fontFaces[i].c_str(), kFonts[i].height))
        {
            m_loadingError = "The game's fonts could not be made.";
            return false;
        }
    }
    return true;
}

void CController::ReleaseFonts()
{
    if (!m_resources)
        return;
    CResourceList<CFontTexture*>& fonts = m_resources->GetFontList();
    for (uint32_t i = 0; i < fonts.GetCount(); ++i)
    {
        if (fonts.GetItem(i) != nullptr)
            fonts.GetItem(i)->Release();
    }
}

bool CController::FindSharedResources()
{
    m_menuSheet = m_resources->GetTextureList().FindByFileName("Select_01.dds");
    m_background = m_resources->GetTextureList().FindByFileName("Background_01.dds");
    m_selectSound = m_resources->GetSoundList().FindByFileName("Se_select.ogg");
    m_decideSound = m_resources->GetSoundList().FindByFileName("Se_decide.ogg");
    m_cancelSound = m_resources->GetSoundList().FindByFileName("Se_cancel.ogg");
    return true;
}

bool CController::CreateCamera()
{
    const float eye[3] = {0.0f, 0.0f, -kCameraDistance};
    const float target[3] = {0.0f, 0.0f, 0.0f};
    const float up[3] = {0.0f, 1.0f, 0.0f};
    m_camera->SetProjection(kCameraFov, kAspect4x3, kCameraNear, kCameraFar);
    m_camera->SetLookAt(eye, target, up);
    return true;
}
