// The story scene: the route screen, the chapters with their battles, and
// the ending.
//
// Sections: set-up and release; route selection; chapters and battles;
// the ending and the clear; drawing (layout table above it).
#include "game/scene/CStoryScene.h"

#include "engine/core/CkvrPackFile.h"
#include "engine/core/FailureLog.h"
#include "engine/core/GameText.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CBasicFilter.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/CTexture.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/app/CController.h"
#include "game/app/CGameConfig.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameServices.h"
#include "game/app/tag_TOLQSCENEPARAM.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/menu/CMenuLayout.h"
#include "game/menu/CMenuPainter.h"
#include "game/menu/MenuButton.h"
#include "game/menu/MenuTransitions.h"
#include "game/scene/MenuScene.h"
#include "game/scene/ModeBattle.h"
#include "game/scene/SceneGameData.h"
#include "game/scene/StorySheet.h"
#include "game/story/CStory.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
// The route screen's fades run at 5 per second (0.2 s).
constexpr float kRouteFadeRate = 5.0f;
constexpr float kStoryMusicLoop = 0.0f;
constexpr const char* kMusicName = "Bgm_option.ogg";
constexpr const char* kLogoName = "CircleLogo_01.dds";
constexpr uint32_t kEndingFont = 0;
constexpr uint32_t kRouteFont = 1;

CGameConfig* Config()
{
    return g_pController->GetGameConfig();
}

uint32_t Wrap(int64_t route, uint32_t count)
{
    if (count == 0)
        return 0;
    const int64_t n = count;
    return static_cast<uint32_t>(((route % n) + n) % n);
}

// The first chapter named by a route's character, or null.
const char* FirstChapterOf(uint32_t route)
{
    const CCharacterDefinition* character = SceneGameData::Character(route);
    return character != nullptr && character->firstChapter[0] != '\0' ? character->firstChapter : nullptr;
}
}

// ---------------------------------------------------------------------------
// Set-up and release

CStoryScene::CStoryScene() = default;

CStoryScene::~CStoryScene()
{
    Release();
}

int CStoryScene::Init(uintptr_t parameter)
{
    const tag_TOLQSCENEPARAM* param = SceneParam(parameter);
    m_state = StoryState::RouteSelect;
    m_phase = RoutePhase::FadeIn;
    m_nextPhase = RoutePhase::Back;
    m_slide = RouteSlide::None;
    m_background = MenuFade(0.0f, 0.0f, kRouteFadeRate);
    m_interface = MenuFade(0.0f, 0.0f, kRouteFadeRate);
    m_pictureAlpha = MenuFade(0.0f, 0.0f, kRouteFadeRate);
    m_timer = 0;
    m_selectionWait = 0;
    m_route = 0;
    m_failed = false;
    if (param != nullptr)
    {
        // Battles and the ending need what only a chapter makes: a block
        // naming them starts at the route screen.
        m_state = param->subState == static_cast<uint32_t>(StoryState::Chapter) ? StoryState::Chapter
                                                                                : StoryState::RouteSelect;
        m_background.SetLevel(param->fade);
        m_interface.SetLevel(param->fade2);
        m_pictureAlpha.SetLevel(param->fade3);
        m_phase = static_cast<RoutePhase>(std::min<uint32_t>(param->step, static_cast<uint32_t>(RoutePhase::Back)));
        m_route = param->item;
    }
    m_route = std::min(m_route, std::max(GetRouteCount(), 1u) - 1);

    m_pictures = std::make_unique<CkvrPackFile>();
    m_voices = std::make_unique<CkvrPackFile>();
    m_sepia = std::make_unique<CBasicFilter>();
    m_sheet = std::make_unique<CTexture>();
    const char* missing = nullptr;
    if (!m_pictures->Open(kPicturePack))
        missing = kPicturePack;
    else if (!m_voices->Open(kVoicePack))
        missing = kVoicePack;
    else if (!m_sepia->Create())
        missing = "the sepia filter";
    else if (!m_sheet->CreateFromPack(m_pictures.get(), kSheetName))
        missing = kSheetName;
    else if (!LoadRoutePictures())
        missing = "the route's pictures";
    if (missing != nullptr)
    {
        LogFailure("story: the story can't start without", missing);
        m_failed = true;
        return 0;
    }
    m_logo = MenuScene::FindTexture(kLogoName);
    m_music = MenuScene::FindSound(kMusicName);
    if (!m_ending.LoadStaffRoll(kStaffRollFile))
        LogFailure("story: no staff roll", kStaffRollFile);
    m_chapter.SetSources({m_pictures.get(), m_voices.get(), m_sheet.get()});
    return 1;
}

uint32_t CStoryScene::Release()
{
    ModeBattle::Release(m_battle);
    m_chapter.StopMusic();
    m_chapter.Release();
    m_ending.ReleaseStaffRoll();
    for (std::unique_ptr<CTexture>* texture : {&m_sheet, &m_routePicture, &m_endingPicture})
    {
        if (*texture)
            (*texture)->Release();
        texture->reset();
    }
    if (m_sepia)
        m_sepia->Release();
    m_sepia.reset();
    for (std::unique_ptr<CkvrPackFile>* pack : {&m_pictures, &m_voices})
    {
        if (*pack)
            (*pack)->Release();
        pack->reset();
    }
    return CResourceBase::Release();
}

void CStoryScene::EnterState(StoryState state)
{
    m_state = state;
}

void CStoryScene::EnterPhase(RoutePhase phase, RoutePhase next)
{
    m_phase = phase;
    m_nextPhase = next;
    m_interface.SetTarget(phase == RoutePhase::FadeIn || phase == RoutePhase::Choosing ? 1.0f : 0.0f);
    if (phase == RoutePhase::FadeOut)
        m_selectionWait = 0;
}

int CStoryScene::LeaveToTitle(uint32_t subState, float fade)
{
    MenuScene::FadeOutMusic(m_music);
    m_chapter.StopMusic();
    return g_pController->ChangeScene(CController::SCENE_TITLE, subState, fade, 0);
}

uint32_t CStoryScene::GetRouteCount() const
{
    if (g_pController == nullptr || g_pResourceController == nullptr)
        return 0;
    const auto* characters = static_cast<CResourceList<CResourceBase*>*>(
        g_pResourceController->GetList(CQorResourceController::LIST_CHARACTERS));
    const size_t selectable = Config()->GetPlayData()->characters.size();
    return static_cast<uint32_t>(std::min<size_t>({selectable, characters->GetCount(), StorySheet::kMaxRoutes}));
}

uint32_t CStoryScene::GetDifficulty() const
{
    return std::min<uint32_t>(Config()->GetData()->storyDifficulty, kStoryDifficulties - 1);
}

int CStoryScene::Update(uintptr_t argument)
{
    if (m_failed)
        return LeaveToTitle(3, 1.0f);
    if (m_state != StoryState::Battle && m_state != StoryState::StartBattle)
        SetFrameTime(kFrameTime);
    switch (m_state)
    {
    case StoryState::RouteSelect:
        return UpdateRouteSelect(GetElapsedMilliseconds());
    case StoryState::Chapter:
        return UpdateChapter();
    case StoryState::StartBattle:
        return StartBattle();
    case StoryState::Battle:
        return UpdateBattle(argument);
    case StoryState::Ending:
        return UpdateEnding();
    }
    return 1;
}

// ---------------------------------------------------------------------------
// Route selection

namespace
{
// The route screen's places, in 1024 x 768 layout units (drawing below).
constexpr MenuRect kLeftArrow{.left = 768, .top = 516, .right = 800, .bottom = 592};
constexpr MenuRect kRightArrow{.left = 964, .top = 516, .right = 996, .bottom = 592};
constexpr MenuRect kSelectButton{.left = 812, .top = 420, .right = 952, .bottom = 608};
}

bool CStoryScene::LoadRoutePictures()
{
    m_routePicture.reset();
    m_endingPicture.reset();
    char name[64];
    std::snprintf(name, sizeof name, kRoutePictureName, m_route + 1);
    auto picture = std::make_unique<CTexture>();
    if (!picture->CreateFromPack(m_pictures.get(), name))
    {
        LogFailure("story: a route's picture can't be loaded", name);
        return false;
    }
    m_routePicture = std::move(picture);
    std::snprintf(name, sizeof name, kEndingPictureName, m_route + 1);
    picture = std::make_unique<CTexture>();
    if (!picture->CreateFromPack(m_pictures.get(), name))
    {
        LogFailure("story: a route's ending picture can't be loaded", name);
        return false;
    }
    m_endingPicture = std::move(picture);
    return true;
}

float CStoryScene::SlideProgress() const
{
    const float t = std::min(static_cast<float>(m_timer) / static_cast<float>(kSlideMilliseconds), 1.0f);
    switch (m_slide)
    {
    case RouteSlide::Left:
    case RouteSlide::Right:
        return t;
    case RouteSlide::Settling:
        return 1.0f - t;
    case RouteSlide::None:
        break;
    }
    return 0.0f;
}

int CStoryScene::UpdateRouteSelect(uint32_t milliseconds)
{
    g_pController->UpdateBackgroundEffect();
    const CMenuLayout layout = MenuScene::Layout();
    m_frame.Begin(layout, MenuScene::ReadKeys(layout), g_pController);
    switch (m_phase)
    {
    case RoutePhase::FadeIn:
        g_pController->PlayBgm(m_music, MenuScene::MusicVolume(), MenuScene::kMusicFadeIn, kStoryMusicLoop);
        m_interface.SetTarget(1.0f);
        if (m_interface.Step(milliseconds))
            EnterPhase(RoutePhase::Choosing);
        m_background.RaiseTo(m_interface.Level());
        m_pictureAlpha.RaiseTo(m_interface.Level());
        return 1;
    case RoutePhase::Choosing:
    {
        const float slid = SlideProgress();
        const bool atRest = UpdateSlide(milliseconds);
        MenuTransitions::Moved(slid, SlideProgress());
        if (atRest)
            HandleRouteInput();
        return 1;
    }
    case RoutePhase::FadeOut:
        m_selectionWait += milliseconds;
        // The chosen character has its say before the screen goes.
        if (m_nextPhase == RoutePhase::Start && m_selectionWait < kSelectionVoiceMilliseconds)
            return 1;
        if (m_interface.Step(milliseconds))
            EnterPhase(m_nextPhase);
        m_pictureAlpha.LowerTo(m_interface.Level());
        if (m_phase == RoutePhase::Start)
            m_background.LowerTo(m_interface.Level());
        return 1;
    case RoutePhase::Start:
        return StartRoute();
    case RoutePhase::Back:
        EnterPhase(RoutePhase::FadeIn);
        return LeaveToTitle(3, 1.0f);
    }
    return 1;
}

bool CStoryScene::UpdateSlide(uint32_t milliseconds)
{
    switch (m_slide)
    {
    case RouteSlide::Left:
    case RouteSlide::Right:
        m_timer += milliseconds;
        if (m_timer < kSlideMilliseconds)
            return false;
        m_route = Wrap(static_cast<int64_t>(m_route) + (m_slide == RouteSlide::Left ? -1 : 1), GetRouteCount());
        m_slide = RouteSlide::Settling;
        m_timer = 0;
        // A picture that can't be loaded stays missing; the ring goes on.
        LoadRoutePictures();
        return false;
    case RouteSlide::Settling:
        m_timer += milliseconds;
        if (m_timer >= kSlideMilliseconds)
        {
            m_slide = RouteSlide::None;
            m_timer = 0;
        }
        return false;
    case RouteSlide::None:
        break;
    }
    return true;
}

void CStoryScene::HandleRouteInput()
{
    const MenuKeys& keys = m_frame.Keys();
    const MenuButtonResult left = MenuButton(m_frame, kLeftArrowId, kLeftArrow, false, "left");
    const MenuButtonResult right = MenuButton(m_frame, kRightArrowId, kRightArrow, false, "right");
    const MenuButtonResult select = MenuButton(m_frame, kSelectId, kSelectButton, true, "route");
    auto turn = [&](RouteSlide slide) {
        if (GetRouteCount() == 0)
            return;
        m_slide = slide;
        m_timer = 0;
        m_frame.Play(MenuSound::Cursor);
    };
    if (keys.AnyPressed({MenuKey::Left, MenuKey::MoveLeft}))
        turn(RouteSlide::Left);
    else if (keys.AnyPressed({MenuKey::Right, MenuKey::MoveRight}))
        turn(RouteSlide::Right);
    else if (keys.Pressed(MenuKey::Click))
    {
        if (left.clicked)
            turn(RouteSlide::Left);
        else if (right.clicked)
            turn(RouteSlide::Right);
        else if (select.clicked)
            ChooseRoute();
    }
    else if (keys.Pressed(MenuKey::Decide))
        ChooseRoute();
    else if (keys.AnyPressed({MenuKey::Cancel, MenuKey::AltClick}))
    {
        m_frame.Play(MenuSound::Cancel);
        EnterPhase(RoutePhase::FadeOut, RoutePhase::Back);
    }
    else if (keys.AnyPressed({MenuKey::Up, MenuKey::MoveUp}))
        ChangeDifficulty(-1);
    else if (keys.AnyPressed({MenuKey::Down, MenuKey::MoveDown}))
        ChangeDifficulty(1);
}

void CStoryScene::ChangeDifficulty(int32_t step)
{
    const int32_t next = static_cast<int32_t>(GetDifficulty()) + step;
    if (next < 0 || next >= static_cast<int32_t>(kStoryDifficulties))
    {
        m_frame.Play(MenuSound::Error);
        return;
    }
    Config()->GetData()->storyDifficulty = static_cast<uint8_t>(next);
    m_frame.Play(MenuSound::Cursor);
    if (Config()->SaveConfig() == 0)
        LogFailure("story: the difficulty could not be saved", "GameConfig.dat");
}

void CStoryScene::ChooseRoute()
{
    if (GetRouteCount() == 0)
    {
        m_frame.Play(MenuSound::Error);
        return;
    }
    g_pController->PlayVoice(MenuScene::FindSound(kSelectionVoices[m_route]));
    EnterPhase(RoutePhase::FadeOut, RoutePhase::Start);
}

int CStoryScene::StartRoute()
{
    MenuScene::FadeOutMusic(m_music);
    EnterPhase(RoutePhase::FadeIn);
    EnterState(StoryState::Chapter);
    return StartNamedChapter(FirstChapterOf(m_route));
}

// ---------------------------------------------------------------------------
// Chapters and battles

bool CStoryScene::StartChapter(const CStory* chapter)
{
    m_chapter.SetSources({m_pictures.get(), m_voices.get(), m_sheet.get()});
    if (!m_chapter.Start(chapter))
        return false;
    EnterState(StoryState::Chapter);
    return true;
}

int CStoryScene::StartNamedChapter(const char* name)
{
    const CStory* chapter = name != nullptr ? g_pResourceController->GetStoryList()->FindByFileName(name) : nullptr;
    if (chapter == nullptr)
    {
        // Nothing would run: the player would face an empty screen.
        LogFailure("story: the chapter is not in the story list", name != nullptr ? name : "(no name)");
        return LeaveToTitle(3, 1.0f);
    }
    StartChapter(chapter);
    return 1;
}

int CStoryScene::UpdateChapter()
{
    // A parameter block may name the chapter state with no chapter to run:
    // the route screen comes instead of an empty one.
    if (!m_chapter.IsRunning())
    {
        EnterState(StoryState::RouteSelect);
        EnterPhase(RoutePhase::FadeIn);
        return 1;
    }
    const CMenuLayout layout = MenuScene::Layout();
    const MenuKeys keys = MenuScene::ReadKeys(layout);
    m_chapter.Update(GetElapsedMilliseconds(), keys.AnyPressed({MenuKey::Decide, MenuKey::Click}));
    return TakeChapterRequest();
}

int CStoryScene::TakeChapterRequest()
{
    switch (m_chapter.TakeRequest())
    {
    case CStoryChapterPlayer::Request::None:
        return 1;
    case CStoryChapterPlayer::Request::Battle:
        m_battleSetting = m_chapter.GetBattleSetting();
        EnterState(StoryState::StartBattle);
        return 1;
    case CStoryChapterPlayer::Request::NextChapter:
    {
        // The name lives in the chapter's command, which the story list
        // keeps after the chapter is released.
        const char* name = m_chapter.GetNextChapter(GetDifficulty());
        m_chapter.Release();
        return StartNamedChapter(name);
    }
    case CStoryChapterPlayer::Request::Ending:
        m_chapter.Release();
        m_ending.Start();
        EnterState(StoryState::Ending);
        return 1;
    }
    return 1;
}

int CStoryScene::StartBattle()
{
    ModeBattle::Release(m_battle);
    m_chapter.StopMusic();
    m_battle = ModeBattle::Start(m_battleSetting, ModeBattle::Mode::Story, Config());
    if (m_battle == nullptr)
    {
        // The same setting would fail again on every frame.
        const CStory* chapter = m_chapter.GetChapter();
        LogFailure("story: the chapter's battle can't start", chapter != nullptr ? chapter->GetName() : "");
        return LeaveToTitle(3, 1.0f);
    }
    EnterState(StoryState::Battle);
    return 1;
}

int CStoryScene::UpdateBattle(uintptr_t argument)
{
    const ModeBattle::Choice choice = ModeBattle::Step(m_battle.get(), argument);
    if (choice == ModeBattle::Choice::Playing)
        return 1;
    if (choice == ModeBattle::Choice::Title)
        return LeaveToTitle(2, 0.0f);
    ModeBattle::Release(m_battle);
    if (choice == ModeBattle::Choice::Retry)
    {
        EnterState(StoryState::StartBattle);
        return 1;
    }
    EnterState(StoryState::Chapter);
    m_chapter.Resume();
    return TakeChapterRequest();
}

// ---------------------------------------------------------------------------
// The ending and the clear

int CStoryScene::UpdateEnding()
{
    const CMenuLayout layout = MenuScene::Layout();
    const MenuKeys keys = MenuScene::ReadKeys(layout);
    // Once a story has been cleared, the roll may be hurried.
    const bool fast = keys.AnyHeld({MenuKey::Decide, MenuKey::Click}) && Config()->GetStoryClearCount() != 0;
    if (!m_ending.Update(GetElapsedMilliseconds(), fast))
        return 1;
    return FinishStory();
}

int CStoryScene::FinishStory()
{
    CGameConfig* config = Config();
    const uint32_t difficulty = GetDifficulty();
    tag_TOLQCHARAPLAYDATA* own = config->GetCharacterData(m_route);
    if (own != nullptr)
        own->storyClear[difficulty] += 1;
    config->GetPlayData()->points += kClearPoints[difficulty];
    if (config->SaveAll() == 0)
        LogFailure("story: the clear could not be saved", "PlayData.dat");
    return LeaveToTitle(3, 1.0f);
}

// ---------------------------------------------------------------------------
// Drawing

namespace
{
// The route screen, in 1024 x 768 layout units.
constexpr float kTopStripY = 8.0f;
constexpr float kUnderHeadingY = 80.0f;
constexpr float kBottomStripHeight = 16.0f;
constexpr float kHeadingTop = 32.0f;
constexpr MenuPoint kRoutePanelAt{648.0f, 544.0f};
// The route's lines and plates, and how far they slide out to the right.
constexpr MenuPoint kUpperLineAt{700.0f, 280.0f};
constexpr MenuPoint kLowerLineAt{700.0f, 348.0f};
constexpr MenuPoint kPlateAAt{768.0f, 292.0f};
constexpr MenuPoint kPlateBAt{768.0f, 316.0f};
constexpr float kSlideDistance = 400.0f;
// The ring: cards on an arc below the front card (which lies on the select
// button), a fan of 80 degrees shared by the routes, the front card full
// size. The arc is drawn as wide as the 4:3 area lets every card stay
// inside it.
constexpr MenuPoint kFrontCard{882.0f, 514.0f};
constexpr float kRingRadius = 348.0f;
constexpr float kRingWidthShare = 0.82f;
constexpr float kRingSweep = 80.0f;
constexpr uint32_t kRingExtraCards = 4;
constexpr float kSideCardScale = 0.7f;
// The places at which a fitted fan is checked (per card), and how far its
// cards stay from the area's edges.
constexpr int32_t kFitSteps = 32;
constexpr float kFanMargin = 4.0f;
// The difficulty, at the bottom left over the route's picture.
constexpr MenuRect kDifficultyText{.left = 24, .top = 704, .right = 400, .bottom = 740};
constexpr float kDifficultySize = 28.0f;
constexpr const char* kDifficultyNames[kStoryDifficulties] = {"Easy", "Normal", "Hard", "VeryHard", "Nightmare"};

constexpr float kPi = 3.14159265358979f;
}

int CStoryScene::Render(uintptr_t argument)
{
    CGraphics* graphics = g_pController->GetGraphics();
    const CMenuLayout layout = MenuScene::Layout();
    const CMenuPainter painter(layout);
    switch (m_state)
    {
    case StoryState::RouteSelect:
        graphics->Begin2D();
        graphics->SetBlendMode(1);
        RenderRouteSelect(painter);
        return 1;
    case StoryState::Chapter:
        m_chapter.Render(layout);
        return 1;
    case StoryState::StartBattle:
        return 1;
    case StoryState::Battle:
        return m_battle != nullptr ? m_battle->Render(argument) : 1;
    case StoryState::Ending:
    {
        graphics->Begin2D();
        graphics->SetBlendMode(1);
        const CCharacterDefinition* character = SceneGameData::Character(m_route);
        const char* title[2] = {GameText("ー 物語 完 ー"), character != nullptr ? character->name : ""};
        m_ending.Render(layout, m_endingPicture.get(), m_sepia.get(), g_pController->GetFont(kEndingFont), m_logo,
                        title, GameText("(C) QOR stand-in team"));
        return 1;
    }
    }
    return 1;
}

void CStoryScene::RenderRouteSelect(const CMenuPainter& painter) const
{
    g_pController->DrawBackground(MenuColor(MenuRole::Focused, m_background.Level()));
    g_pController->GetGraphics()->SetBlendMode(1);
    g_pController->GetGraphics()->Begin2D();
    painter.PictureInto(m_routePicture.get(), StorySheet::kWholeScreen, painter.Layout().Area(),
                        MenuColor(MenuRole::Focused, m_pictureAlpha.Level()));
    RenderRouteFrame(painter);
    RenderRouteDetails(painter);
    RenderRing(painter);
    RenderArrows(painter);
    g_pController->DrawCursor();
}

void CStoryScene::RenderRouteFrame(const CMenuPainter& painter) const
{
    CTexture* sheet = m_sheet.get();
    const uint32_t color = MenuColor(MenuRole::Focused, m_interface.Level());
    const MenuRect area = painter.Layout().Area();
    const float across = area.Width() / StorySheet::kTopStrip.Width();
    painter.PictureStretched(sheet, StorySheet::kTopStrip, {0.0f, kTopStripY}, across, 1.0f, color);
    painter.PictureStretched(sheet, StorySheet::kUnderHeadingStrip, {0.0f, kUnderHeadingY}, across, 1.0f, color);
    painter.PictureStretched(sheet, StorySheet::kBottomStrip, {0.0f, area.bottom}, across,
                             kBottomStripHeight / StorySheet::kBottomStrip.Height(), color, MenuAnchor::BottomLeft);
    const float middle = area.Width() * 0.5f;
    const float half = StorySheet::kHeading.Width() * 0.5f;
    painter.Picture(sheet, StorySheet::kHeading, {middle, kHeadingTop}, color, MenuAnchor::Top);
    painter.Fill({0.0f, kHeadingTop, middle - half, kUnderHeadingY}, color);
    painter.Fill({middle + half, kHeadingTop, area.right, kUnderHeadingY}, color);
    painter.Picture(sheet, StorySheet::kRoutePanel, kRoutePanelAt, color);
    const std::string difficulty = std::string("難易度 ") + kDifficultyNames[GetDifficulty()] + "  (↑↓)";
    painter.Text(g_pController->GetFont(kRouteFont), kDifficultyText, MenuAnchor::Left, kDifficultySize, color,
                 ToGameText(difficulty).c_str());
}

void CStoryScene::RenderRouteDetails(const CMenuPainter& painter) const
{
    CTexture* sheet = m_sheet.get();
    const uint32_t color = MenuColor(MenuRole::Focused, m_interface.Level());
    const float u = SlideProgress();
    const float away = kSlideDistance;
    painter.Picture(sheet, StorySheet::kUpperLine, {kUpperLineAt.x + away * u * u * u * u, kUpperLineAt.y}, color);
    painter.Picture(sheet, StorySheet::kLowerLine, {kLowerLineAt.x + away * u * u * u, kLowerLineAt.y}, color);
    const CCharacterDefinition* character = SceneGameData::Character(m_route);
    if (character == nullptr)
        return;
    if (character->routePlateA < StorySheet::kPlatesA)
        painter.Picture(sheet, StorySheet::kPlateA[character->routePlateA], {kPlateAAt.x + away * u * u, kPlateAAt.y},
                        color);
    if (character->routePlateB < StorySheet::kPlatesB)
        painter.Picture(sheet, StorySheet::kPlateB[character->routePlateB], {kPlateBAt.x + away * u, kPlateBAt.y},
                        color);
}

namespace
{
// A card at a place of the ring (0 in front, a step of the fan per place),
// on an arc drawn at a share of its full radii.
CStoryScene::RingCard PlaceCard(float place, float step, float spread, uint32_t route)
{
    const float degrees = place * step;
    const float radians = degrees * kPi / 180.0f;
    const float nearness = std::max(0.0f, 1.0f - std::fabs(place));
    return {.centre = {kFrontCard.x + spread * kRingRadius * kRingWidthShare * std::sin(radians),
                       kFrontCard.y + spread * kRingRadius * (1.0f - std::cos(radians))},
            .degrees = degrees,
            .scale = kSideCardScale + (1.0f - kSideCardScale) * nearness,
            .route = route};
}

// Half the width and half the height that a turned card covers.
MenuPoint CardReach(const CStoryScene::RingCard& card)
{
    const float radians = card.degrees * kPi / 180.0f;
    const float halfWidth = StorySheet::kRouteCards[0].Width() * card.scale * 0.5f;
    const float halfHeight = StorySheet::kRouteCards[0].Height() * card.scale * 0.5f;
    const float c = std::fabs(std::cos(radians));
    const float s = std::fabs(std::sin(radians));
    return {halfWidth * c + halfHeight * s, halfWidth * s + halfHeight * c};
}

// The share of the ring's radii at which every card, at rest or turning,
// lies inside the 4:3 area: all of them when it fits whole.
float FanSpread(float step, int32_t cards)
{
    const MenuRect area{.left = kFanMargin, .top = kFanMargin, .right = CMenuLayout::kLayoutWidth - kFanMargin,
                        .bottom = CMenuLayout::kLayoutHeight - kFanMargin};
    // A turn moves every card by up to one place beyond where it rests.
    const int32_t first = (-cards / 2 - 1) * kFitSteps;
    const int32_t last = (cards - cards / 2) * kFitSteps;
    float spread = 1.0f;
    for (int32_t at = first; at <= last; ++at)
    {
        const float place = static_cast<float>(at) / static_cast<float>(kFitSteps);
        const CStoryScene::RingCard full = PlaceCard(place, step, 1.0f, 0);
        const MenuPoint reach = CardReach(full);
        const float across = full.centre.x - kFrontCard.x;
        const float down = full.centre.y - kFrontCard.y;
        if (across > 0.0f)
            spread = std::min(spread, (area.right - reach.x - kFrontCard.x) / across);
        if (across < 0.0f)
            spread = std::min(spread, (kFrontCard.x - reach.x - area.left) / -across);
        if (down > 0.0f)
            spread = std::min(spread, (area.bottom - reach.y - kFrontCard.y) / down);
    }
    return std::max(spread, 0.0f);
}
}

std::vector<CStoryScene::RingCard> CStoryScene::GetRingCards() const
{
    const uint32_t routes = GetRouteCount();
    if (routes == 0)
        return {};
    const float step = kRingSweep / static_cast<float>(routes);
    const int32_t cards = static_cast<int32_t>(routes + kRingExtraCards);
    const float spread = FanSpread(step, cards);
    // While the ring turns, every card moves towards the side it turns to;
    // the route changes (and the cards start from rest) when it settles.
    float turned = 0.0f;
    if (m_slide == RouteSlide::Left)
        turned = SlideProgress();
    else if (m_slide == RouteSlide::Right)
        turned = -SlideProgress();
    std::vector<RingCard> ring;
    for (int32_t j = -cards / 2; j < cards - cards / 2; ++j)
        ring.push_back(PlaceCard(static_cast<float>(j) + turned, step, spread,
                                 Wrap(static_cast<int64_t>(m_route) + j, routes)));
    // The far cards first, so that the front card lies on top.
    std::stable_sort(ring.begin(), ring.end(), [](const RingCard& a, const RingCard& b) {
        return std::fabs(a.degrees) > std::fabs(b.degrees);
    });
    return ring;
}

void CStoryScene::RenderRing(const CMenuPainter& painter) const
{
    const uint32_t color = MenuColor(MenuRole::Focused, m_interface.Level());
    for (const RingCard& card : GetRingCards())
        painter.PictureRotated(m_sheet.get(), StorySheet::kRouteCards[card.route % StorySheet::kMaxRoutes],
                               card.centre, card.degrees, color, card.scale);
}

void CStoryScene::RenderArrows(const CMenuPainter& painter) const
{
    const uint32_t color = MenuColor(MenuRole::Focused, m_interface.Level());
    const bool overLeft = m_frame.HitTest(kLeftArrow);
    const bool overRight = m_frame.HitTest(kRightArrow);
    painter.Picture(m_sheet.get(), overLeft ? StorySheet::kLitArrow : StorySheet::kArrow,
                    {kLeftArrow.left, kLeftArrow.top}, color, MenuAnchor::TopLeft, 1.0f, KVRDRAWFLIP_ANTICLOCKWISE);
    painter.Picture(m_sheet.get(), overRight ? StorySheet::kLitArrow : StorySheet::kArrow,
                    {kRightArrow.left, kRightArrow.top}, color, MenuAnchor::TopLeft, 1.0f, KVRDRAWFLIP_CLOCKWISE);
}
