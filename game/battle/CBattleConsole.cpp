// The HUD's phases, clocks, camera, menus, kill feed and radio lines.
//
// Sections: set-up and phase starts; the frame; menus; messages.
#include "game/battle/CBattleConsole.h"

#include "engine/core/CkvrMatrix.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/platform/CGraphics.h"
#include "engine/render/CCamera.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/CTexture.h"
#include "engine/core/CRandom.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CameraSight.h"
#include "game/actor/CStage.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/app/CGameConfig.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameServices.h"
#include "game/battle/BattleServices.h"
#include "game/battle/CConsoleRenderer.h"
#include "game/battle/ConsoleText.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/menu/CMenuLayout.h"
#include "game/menu/MenuKeys.h"
#include "game/menu/MenuTransitions.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

namespace
{
// Result poses the phases set (CCharacter::SetResultPose).
constexpr uint8_t kPoseReady = 2;
constexpr uint8_t kPoseAwait = 7;
// The short blend into the awaiting pose, and the motion control returns with.
constexpr int32_t kBlendMotion = 3;

// The phases: pose mark, camera start and end, phase end (ms), and the pose
// every fighter takes. The ends are the sums of each phase's steps: ready/go
// 3500 + 300 + 1200 + 300 + 300 + 100 + 500 + 200, win 2000 + 600 + 3000 +
// 200, lose 2000 + 900 + 3000 + 200, draw 2000 + 225 + 3000 + 200.
constexpr uint32_t kReadyCall = 3500;
constexpr uint32_t kReadyEnd = 6400;
constexpr uint32_t kResultMark = 2000;
constexpr uint32_t kWinEnd = 5800;
constexpr uint32_t kLoseEnd = 6100;
constexpr uint32_t kDrawEnd = 5425;
// The ready voice 300 ms into the call, the go voice 1800 ms into it.
constexpr uint32_t kReadyVoiceAt = 300;
constexpr uint32_t kGoVoiceAt = 300 + 1200 + 300;

const tag_TOLQCAMERAKEY kIntroKey = {0, 7.0f, CkvrVector3(-20.0f, 225.0f, 0.0f), CkvrVector3(0.0f, 1.0f, 0.0f)};
const tag_TOLQCAMERAKEY kReadyCloseKey = {1000, 1.5f, CkvrVector3(-5.0f, 160.0f, 0.0f), CkvrVector3(0.0f, 1.0f, 0.0f)};
const tag_TOLQCAMERAKEY kResultKey = {0, 2.0f, CkvrVector3(5.0f, 180.0f, 0.0f), CkvrVector3(0.0f, 0.7f, 0.0f)};

// The fonts of the resource controller's list the HUD writes with.
constexpr uint32_t kSmallFont = 0;
constexpr uint32_t kLargeFont = 1;
constexpr uint8_t kRotatingRadar = 1;
// A window frame's border in pixels (times the scale of the scaled form).
constexpr float kWindowBorderPixels = 36.0f;

// The HUD camera's projection.
constexpr int kCameraFov = 45;
constexpr float kCameraNear = 0.1f;
constexpr float kCameraFar = 1500.0f;
// A key's yaw counts from the fighter's back: 180 puts the eye in front of
// its face. Our fighters face +z at yaw 0, where a yaw of 0 already puts
// the eye in front of them, so the keys are turned half round.
constexpr float kKeyYawFromBehind = 180.0f;
// A shot whose line to the fighter a wall, a box or another fighter blocks
// swings round the fighter, a step of 30 degrees either way in turn, to the
// first line that is clear: a shot pulled in that close would show no more
// than a torso.
constexpr float kFramingSwings[] = {0.0f, 30.0f, -30.0f, 60.0f, -60.0f, 90.0f, -90.0f,
                                    120.0f, -120.0f, 150.0f, -150.0f, 180.0f};
// Nor may the frame cut another fighter's body (its head above the frame's
// top, its side past an edge) where the body fills more of the frame than
// this: standing close beside the eye it would show as a torso across the
// shot. Far off at the frame's edge a body fills less.
constexpr float kMostCutBodyShare = 0.03f;

bool Pressed(const tag_KVRPADSTATE* pad, uint8_t button)
{
    return pad != nullptr && pad->pressed.button[button] != 0;
}

bool Held(const tag_KVRPADSTATE* pad, uint8_t button)
{
    return pad != nullptr && pad->held.button[button] != 0;
}

float Lerp(float a, float b, float f)
{
    return a + (b - a) * f;
}

CkvrVector3 Lerp(const CkvrVector3& a, const CkvrVector3& b, float f)
{
    return CkvrVector3(Lerp(a.x, b.x, f), Lerp(a.y, b.y, f), Lerp(a.z, b.z, f));
}

// The key values at t: key 0 before the first key, the last after the last,
// the exact key at its time, and linear between the two around t.
tag_TOLQCAMERAKEY KeyAt(const std::vector<tag_TOLQCAMERAKEY>& keys, uint32_t t)
{
    if (keys.size() == 1 || t < keys.front().time)
        return keys.front();
    if (t >= keys.back().time)
        return keys.back();
    size_t i = 1;
    while (t > keys[i].time)
        ++i;
    if (t == keys[i].time)
        return keys[i];
    const tag_TOLQCAMERAKEY& a = keys[i - 1];
    const tag_TOLQCAMERAKEY& b = keys[i];
    const float f = static_cast<float>(t - a.time) / static_cast<float>(b.time - a.time);
    return {t, Lerp(a.distance, b.distance, f), Lerp(a.angles, b.angles, f), Lerp(a.offset, b.offset, f)};
}
}

// ---------------------------------------------------------------- set-up

CBattleConsole::CBattleConsole() = default;

CBattleConsole::~CBattleConsole()
{
    CBattleConsole::Release();
}

uint32_t CBattleConsole::Release()
{
    m_state = tag_TOLQCONSOLESTATE();
    m_texture = nullptr;
    m_largeFont = nullptr;
    m_smallFont = nullptr;
    m_announce = nullptr;
    m_setting = nullptr;
    return CScene::Release();
}

int CBattleConsole::Init(uintptr_t argument)
{
    m_setting = reinterpret_cast<const tag_TOLQBATTLESETTING*>(argument);
    m_texture = CActorResources::FindTexture(kTextureName);
    if (m_texture == nullptr && CTexture::GetGraphics() != nullptr)
        return 0;
    m_announce = CActorResources::FindSound(kAnnounceSoundName);
    if (g_pResourceController != nullptr)
    {
        CResourceList<CFontTexture*>& fonts = g_pResourceController->GetFontList();
        m_largeFont = fonts.GetCount() > kLargeFont ? fonts.GetItem(kLargeFont) : nullptr;
        m_smallFont = fonts.GetCount() > kSmallFont ? fonts.GetItem(kSmallFont) : nullptr;
    }
    CGameConfig* config = GetBattleGameConfig();
    m_rotatingRadar = config != nullptr && config->GetData()->radarType == kRotatingRadar;
    m_state = tag_TOLQCONSOLESTATE();
    m_state.timeLeft = m_setting != nullptr ? m_setting->rules.GetTimeLimit() : tag_TOLQBATTLERULE::kNoTimeLimit;
    return 1;
}

void CBattleConsole::SetCharacters(CCharacter** characters, CCharacter* focused, uint32_t count)
{
    m_state.characters = characters;
    m_state.focused = focused;
    m_state.characterCount = characters != nullptr ? count : 0;
}

template <class Action>
void CBattleConsole::ForEachCharacter(Action action)
{
    for (uint32_t i = 0; i < m_state.characterCount; ++i)
    {
        if (m_state.characters[i] != nullptr)
            action(m_state.characters[i]);
    }
}

void CBattleConsole::StartPhase(const PhaseStart& start)
{
    m_state.phase = start.phase;
    m_state.hudColour = CkvrVector4(1.0f, 1.0f, 1.0f, 1.0f);
    m_state.phaseClock = 0;
    m_state.poseMark = start.poseMark;
    m_state.cameraStart = start.cameraStart;
    m_state.cameraEnd = start.cameraEnd;
    m_state.phaseEnd = start.phaseEnd;
    m_state.cameraKeys.clear();
    ForEachCharacter([&](CCharacter* character) { character->SetResultPose(start.pose); });
}

void CBattleConsole::SetResultCameraKeys()
{
    m_state.cameraKeys.assign(1, kResultKey);
}

void CBattleConsole::StartIntro()
{
    StartPhase({ConsolePhase::Intro, 0, 0, kFadeMilliseconds, kFadeMilliseconds, kPoseAwait});
    m_state.cameraKeys.assign(1, kIntroKey);
    m_state.fade = 1.0f;
}

void CBattleConsole::StartReady()
{
    StartPhase({ConsolePhase::Ready, kReadyCall, 0, kReadyCall, kReadyEnd, kPoseReady});
    m_state.cameraKeys = {kIntroKey, kReadyCloseKey};
    // Drawn from the battle's seeded stream, so every peer and replay calls
    // with the same voice.
    m_state.voiceIndex = RandomInt(kVoices);
    m_state.voiceStep = 0;
}

void CBattleConsole::ShowWin()
{
    StartPhase({ConsolePhase::Win, kResultMark, kResultMark, kWinEnd, kWinEnd, kPoseAwait});
    SetResultCameraKeys();
}

void CBattleConsole::ShowLose()
{
    StartPhase({ConsolePhase::Lose, kResultMark, kResultMark, kLoseEnd, kLoseEnd, kPoseAwait});
    SetResultCameraKeys();
}

void CBattleConsole::ShowDraw()
{
    StartPhase({ConsolePhase::Draw, kResultMark, kResultMark, kDrawEnd, kDrawEnd, kPoseAwait});
    SetResultCameraKeys();
}

void CBattleConsole::StartFinish()
{
    const bool paused = m_state.currentMenu == ConsoleMenu::Pause;
    StartPhase({ConsolePhase::Finish, 0, 0, kFadeMilliseconds, kFadeMilliseconds, kPoseAwait});
    // Leaving from the pause menu keeps the camera where the battle left it.
    if (!paused)
        SetResultCameraKeys();
    m_state.fade = 0.0f;
}

// ---------------------------------------------------------------- the frame

int CBattleConsole::Update(uintptr_t argument)
{
    CCamera* camera = reinterpret_cast<CCamera*>(argument);
    const tag_KVRPADSTATE* pad = m_input != nullptr ? m_input->GetPadState(0) : nullptr;
    const uint32_t milliseconds = GetElapsedMilliseconds();
    const bool pauseWasOpen = m_state.currentMenu == ConsoleMenu::Pause;
    AdvanceClocks(milliseconds);
    if (m_state.phase == ConsolePhase::Running)
    {
        UpdateRunning(pad, milliseconds);
        UpdateMenus(pad, pauseWasOpen);
    }
    else if (UpdatePhase(camera, milliseconds))
        UpdateMenus(pad, pauseWasOpen);
    ExpireShown();
    return 1;
}

void CBattleConsole::AdvanceClocks(uint32_t milliseconds)
{
    if (m_state.messageShown != 0)
    {
        CConsoleRenderer::ReportLineClock(m_state.messageClock, m_state.messageClock + milliseconds);
        m_state.messageClock += milliseconds;
    }
    if (m_state.participantShown != 0)
    {
        CConsoleRenderer::ReportParticipantClock(m_state.participantClock, m_state.participantClock + milliseconds);
        m_state.participantClock += milliseconds;
    }
    for (tag_TOLQRADIOLINE& line : m_state.radio)
    {
        if (line.shown != 0)
            CConsoleRenderer::ReportLineClock(line.clock, line.clock + milliseconds);
        line.clock += milliseconds;
    }
    m_state.hudClock += milliseconds;
    if (m_state.focused != nullptr && m_state.focused->GetActionData() != nullptr)
        CConsoleRenderer::ReportPaletteClocks(*m_state.focused->GetActionData(), milliseconds);
}

// What ran out this frame, last in the frame so that the frame still
// draws it as it ends: the kill-feed and radio lines at 3300 ms, the
// participant list at 3200 ms (a held button opens it again next frame),
// the focused fighter's defeat notice at 1925 ms. Drawing reads these and
// changes nothing.
void CBattleConsole::ExpireShown()
{
    if (m_state.messageClock >= kLineMilliseconds)
        m_state.messageShown = 0;
    if (m_state.participantClock >= kParticipantListMilliseconds)
        m_state.participantShown = 0;
    for (tag_TOLQRADIOLINE& line : m_state.radio)
    {
        if (line.clock >= kLineMilliseconds)
            line.shown = 0;
    }
    tag_TOLQCHARAACTION* action = m_state.focused != nullptr ? m_state.focused->GetActionData() : nullptr;
    if (action != nullptr && action->notice != 0 && action->noticeClock >= kNoticeMilliseconds)
        action->notice = 0;
}

void CBattleConsole::UpdateRunning(const tag_KVRPADSTATE* pad, uint32_t milliseconds)
{
    // A menu that holds the battle holds its clock; one that doesn't (an
    // online battle's, where every side steps the same frames whatever
    // menu one of them has open) lets the time run on as everywhere else.
    if (m_state.timeLeft < tag_TOLQBATTLERULE::kNoTimeLimit && m_state.timeLeft != 0 && !IsPlayBlocked())
        m_state.timeLeft -= milliseconds < m_state.timeLeft ? milliseconds : m_state.timeLeft;
    if (m_state.currentMenu != ConsoleMenu::None)
        return;
    if (Pressed(pad, BUTTON_MENU))
        ShowAnnouncement(ConsoleMenu::Pause);
    // Held, the list opens and stays fully shown; released, it runs on and
    // closes from 3000 ms (the drawing clears the flag at 3200).
    if (!Held(pad, BUTTON_PARTICIPANTS))
        return;
    if (m_state.participantShown == 0)
        m_state.participantClock = 0;
    else if (m_state.participantClock >= 350 && m_state.participantClock <= 2850)
        m_state.participantClock = 350;
    m_state.participantShown = 1;
}

bool CBattleConsole::UpdatePhase(CCamera* camera, uint32_t milliseconds)
{
    if (m_state.phase != ConsolePhase::Finish || m_state.resultCode != RESULT_UNDECIDED)
        m_state.phaseClock += milliseconds;
    const float progress = static_cast<float>(m_state.phaseClock) / static_cast<float>(kFadeMilliseconds);
    const float fadeBefore = m_state.fade;
    if (m_state.phase == ConsolePhase::Intro)
        m_state.fade = progress >= 1.0f ? 0.0f : 1.0f - progress;
    else if (m_state.phase == ConsolePhase::Finish)
        m_state.fade = progress >= 1.0f ? 1.0f : progress;
    MenuTransitions::Moved(fadeBefore, m_state.fade);
    if (m_state.phaseClock >= m_state.phaseEnd)
    {
        switch (m_state.phase)
        {
        case ConsolePhase::Ready:
            ForEachCharacter([](CCharacter* character) { character->ResetResultPose(kBlendMotion); });
            m_state.phase = ConsolePhase::Running;
            return false;
        case ConsolePhase::Win:
        case ConsolePhase::Lose:
        case ConsolePhase::Draw:
            ShowAnnouncement(static_cast<ConsoleMenu>(static_cast<uint32_t>(m_state.phase) - 1));
            StartFinish();
            break;
        case ConsolePhase::Intro: StartReady(); break;
        default: break;
        }
    }
    if (m_state.phaseClock >= m_state.cameraStart && m_state.phaseClock <= m_state.cameraEnd)
        UpdateCamera(camera);
    if (m_state.phaseClock >= m_state.poseMark)
        UpdatePoses();
    UpdateVoices();
    return true;
}

void CBattleConsole::UpdatePoses()
{
    switch (m_state.phase)
    {
    case ConsolePhase::Ready:
        ForEachCharacter([](CCharacter* character) {
            if (character->GetStateBlock()->resultPose == kPoseReady)
                character->SetResultPoseMotion(kPoseAwait, kBlendMotion);
        });
        break;
    case ConsolePhase::Win:
    case ConsolePhase::Lose:
    case ConsolePhase::Draw:
        ForEachCharacter([](CCharacter* character) {
            if (character->GetStateBlock()->resultPose == kPoseAwait)
                character->ApplyRequestedResultPose();
        });
        break;
    default: break;
    }
}

void CBattleConsole::UpdateVoices()
{
    if (m_state.phase != ConsolePhase::Ready || m_state.phaseClock < kReadyCall)
        return;
    const uint32_t into = m_state.phaseClock - kReadyCall;
    if (m_state.voiceStep == 0 && into >= kReadyVoiceAt)
    {
        m_state.voiceStep = 1;
        PlayReadyVoice(0);
    }
    else if (m_state.voiceStep == 1 && into >= kGoVoiceAt)
    {
        m_state.voiceStep = 2;
        PlayReadyVoice(1);
    }
}

void CBattleConsole::PlayReadyVoice(uint32_t step) const
{
    const uint32_t index = m_state.voiceIndex < kVoices ? m_state.voiceIndex : 0;
    PlayBattleVoice(CActorResources::FindSound(kReadyVoices[index][step]));
}

void CBattleConsole::UpdateCamera(CCamera* camera) const
{
    if (camera == nullptr || m_state.cameraKeys.empty() || m_state.focused == nullptr)
        return;
    const tag_TOLQCAMERAKEY key = KeyAt(m_state.cameraKeys, m_state.phaseClock - m_state.cameraStart);
    const CkvrVector3 angles =
        *m_state.focused->GetRotation() + key.angles + CkvrVector3(0.0f, kKeyYawFromBehind, 0.0f);
    const CkvrVector3 target = *m_state.focused->GetPosition() + key.offset;
    camera->SetProjection(kCameraFov, -1.0f, kCameraNear, kCameraFar);
    const CkvrVector3 eye = FramingEye(camera, target, angles, key.distance);
    const CkvrVector3 up(0.0f, 1.0f, 0.0f);
    camera->SetLookAt(&eye.x, &target.x, &up.x);
}

CkvrVector3 CBattleConsole::FramingEye(CCamera* camera, const CkvrVector3& target, const CkvrVector3& angles,
                                       float distance) const
{
    auto eyeAt = [&](float swing) {
        const CkvrVector3 swung = angles + CkvrVector3(0.0f, swing, 0.0f);
        CkvrMatrix turn;
        turn.SetRotation(&swung);
        CkvrVector3 away;
        CkvrVector3(0.0f, 0.0f, distance).TransformNormal(turn, &away);
        return target + away;
    };
    const CameraSight::Bodies bodies{m_state.characters, m_state.characterCount, m_state.focused};
    const CkvrVector3 up(0.0f, 1.0f, 0.0f);
    std::optional<CkvrVector3> firstClear;
    for (float swing : kFramingSwings)
    {
        const CkvrVector3 eye = eyeAt(swing);
        if (CameraSight::BlockedAt(m_state.stage, target, eye, bodies) != INFINITY)
            continue;
        camera->SetLookAt(&eye.x, &target.x, &up.x);
        if (CameraSight::CutBodyShare(*camera, bodies) <= kMostCutBodyShare)
            return eye;
        if (!firstClear)
            firstClear = eye;
    }
    if (firstClear)
        return *firstClear;
    return CameraSight::KeepInSight(m_state.stage, target, eyeAt(0.0f), bodies);
}

const CCharacter* CBattleConsole::GetFramedFighter() const
{
    if (!IsEndPhase(m_state.phase) || m_state.cameraKeys.empty() || m_state.phaseClock < m_state.cameraStart)
        return nullptr;
    return m_state.focused;
}

// ---------------------------------------------------------------- menus

void CBattleConsole::SetMenu(tag_TOLQMENU* menu, uint8_t count, uint32_t blocksPlay, const char* title,
                             const char* const* items, const int8_t* codes)
{
    menu->itemCount = count;
    menu->cursor = 0;
    menu->opening = 0;
    menu->clock = 0;
    menu->blocksPlay = blocksPlay;
    menu->title = title;
    menu->items = items;
    menu->codes = codes;
}

void CBattleConsole::SetBanner1(uint8_t count, uint32_t blocksPlay, const char* title, const char* const* items,
                                const int8_t* codes)
{
    SetMenu(&m_state.pauseMenu, count, blocksPlay, title, items, codes);
}

void CBattleConsole::SetBanner2(uint8_t count, uint32_t blocksPlay, const char* title, const char* const* items,
                                const int8_t* codes)
{
    SetMenu(&m_state.winMenu, count, blocksPlay, title, items, codes);
}

void CBattleConsole::SetBanner3(uint8_t count, uint32_t blocksPlay, const char* title, const char* const* items,
                                const int8_t* codes)
{
    SetMenu(&m_state.loseMenu, count, blocksPlay, title, items, codes);
}

void CBattleConsole::SetBanner4(uint8_t count, uint32_t blocksPlay, const char* title, const char* const* items,
                                const int8_t* codes)
{
    SetMenu(&m_state.drawMenu, count, blocksPlay, title, items, codes);
}

tag_TOLQMENU* CBattleConsole::MenuOf(ConsoleMenu menu)
{
    return const_cast<tag_TOLQMENU*>(static_cast<const CBattleConsole*>(this)->MenuOf(menu));
}

const tag_TOLQMENU* CBattleConsole::MenuOf(ConsoleMenu menu) const
{
    switch (menu)
    {
    case ConsoleMenu::Pause: return &m_state.pauseMenu;
    case ConsoleMenu::Win: return &m_state.winMenu;
    case ConsoleMenu::Lose: return &m_state.loseMenu;
    case ConsoleMenu::Draw: return &m_state.drawMenu;
    default: return nullptr;
    }
}

void CBattleConsole::ShowAnnouncement(ConsoleMenu menu)
{
    tag_TOLQMENU* record = MenuOf(menu);
    if (record == nullptr)
        return;
    // Nothing to choose in a pause menu: opening it would hold the battle
    // with no way to close it again.
    if (menu == ConsoleMenu::Pause && !record->HasItems())
        return;
    m_state.currentMenu = menu;
    record->cursor = 0;
    record->opening = 0;
    record->clock = 0;
    m_state.resultCode = record->HasItems() ? RESULT_UNDECIDED : RESULT_RESUME;
    // A mission's win is acknowledged with the confirm button.
    if (menu == ConsoleMenu::Win && m_setting != nullptr && m_setting->mission != 0)
        m_state.resultCode = RESULT_UNDECIDED;
}

bool CBattleConsole::IsPlayBlocked() const
{
    const tag_TOLQMENU* menu = MenuOf(m_state.currentMenu);
    return menu != nullptr && menu->blocksPlay != 0;
}

void CBattleConsole::UpdateMenus(const tag_KVRPADSTATE* pad, bool pauseWasOpen)
{
    if (m_state.resultCode != RESULT_UNDECIDED)
        return;
    switch (m_state.currentMenu)
    {
    case ConsoleMenu::Pause:
        if (pauseWasOpen && (Pressed(pad, BUTTON_CANCEL) || Pressed(pad, BUTTON_MENU)))
        {
            CloseMenuOnKey();
            PlayBattleMenuSound(MenuSound::Cancel);
        }
        UpdateMenu(&m_state.pauseMenu, pad);
        break;
    case ConsoleMenu::Win:
        if (m_setting != nullptr && m_setting->mission != 0 && Pressed(pad, BUTTON_DECIDE))
        {
            m_state.resultCode = RESULT_RESUME;
            HoldKeys();
            StartFinish();
            break;
        }
        UpdateMenu(&m_state.winMenu, pad);
        break;
    case ConsoleMenu::Lose: UpdateMenu(&m_state.loseMenu, pad); break;
    case ConsoleMenu::Draw: UpdateMenu(&m_state.drawMenu, pad); break;
    default: break;
    }
}

void CBattleConsole::UpdateMenu(tag_TOLQMENU* menu, const tag_KVRPADSTATE* pad)
{
    if (!menu->HasItems())
        return;
    const int step = MenuCursorStep(MenuKeys::FromPad(pad, CMenuLayout(), MenuPoint{}));
    if (step != 0)
    {
        MoveMenuCursor(menu, step);
        PlayBattleMenuSound(MenuSound::Cursor);
    }
    if (!Pressed(pad, BUTTON_DECIDE) || menu->codes == nullptr)
        return;
    const int8_t code = menu->codes[menu->cursor];
    if (code == RESULT_UNDECIDED)
        return;
    PlayBattleMenuSound(MenuSound::Decide);
    if (code == RESULT_RESUME)
    {
        CloseMenuOnKey();
        return;
    }
    m_state.resultCode = code;
    HoldKeys();
    StartFinish();
}

// The fight takes the keys again, but not the one that closed the menu
// while it is still down: the decide key is the jump, the cancel key picks
// up an item.
void CBattleConsole::CloseMenuOnKey()
{
    m_state.currentMenu = ConsoleMenu::None;
    HoldKeys();
}

void CBattleConsole::HoldKeys()
{
    if (m_input != nullptr)
        m_input->HoldUntilReleased();
}

// ---------------------------------------------------------------- messages

void CBattleConsole::ShowMessage(const char* text, uint32_t team, uint32_t fallen)
{
    if (text == nullptr)
        return;
    m_state.messageClock = 0;
    CopyGameText(m_state.messageText, sizeof(m_state.messageText), text);
    m_state.messageShown = 1;
    PlayBattleSoundEffect(m_announce);
    for (uint32_t i = 0; i < m_state.characterCount; ++i)
    {
        CCharacter* character = m_state.characters[i];
        if (character == nullptr || character->IsDown() || character->GetTeam() != team || i == fallen)
            continue;
        character->PlayVoice(kTeamDownVoice, 1);
    }
}

void CBattleConsole::AddRadioMessage(uint32_t fighter, uint32_t message)
{
    if (fighter >= m_state.characterCount || m_state.characters[fighter] == nullptr ||
        message >= CCharacterDefinition::kRadioChats)
        return;
    CCharacter* sender = m_state.characters[fighter];
    const tag_TOLQRADIOCHAT* table = sender->GetBattleRadioChat();
    if (table == nullptr)
        return;
    // The table's texts fill their 33 bytes and need not end in a NUL: at
    // most 32 of them are read.
    char line[1 + tag_TOLQRADIOCHAT::kTextSize];
    line[0] = static_cast<char>(table[message].scope);
    CopyGameText(line + 1, sizeof(line) - 1, table[message].text, tag_TOLQRADIOCHAT::kTextSize - 1);
    const tag_TOLQBATTLECHARADATA* data = sender->GetBattleData();
    const char* name = data != nullptr && !data->name.empty() ? data->name.c_str() : sender->GetDefinition()->name;
    AddRadioLine(line, sender->GetTeam(), name, sender);
}

void CBattleConsole::AddRadioLine(const char* message, uint8_t team, const char* senderName, CCharacter* sender)
{
    if (message == nullptr || message[1] == '\0')
        return;
    const bool teamOnly = message[0] != 0;
    if (teamOnly && (m_state.focused == nullptr || m_state.focused->GetTeam() != team || m_setting == nullptr ||
                     m_setting->rules.teamBattle == 0))
        return;
    // The line is cut to its field below; a longer name and message are
    // cut here first.
    char text[256];
    if (std::snprintf(text, sizeof(text), "%s:%s", senderName != nullptr ? senderName : "", message + 1) < 0)
        return;
    for (uint32_t i = tag_TOLQCONSOLESTATE::kRadioLines - 1; i > 0; --i)
        m_state.radio[i] = m_state.radio[i - 1];
    tag_TOLQRADIOLINE& line = m_state.radio[0];
    line.team = team;
    line.clock = 0;
    line.sender = sender;
    CopyGameText(line.text, sizeof(line.text), text);
    line.shown = 1;
}

uint32_t CBattleConsole::CountTeamMembers(CCharacter* const* characters, uint32_t count, uint8_t team)
{
    uint32_t members = 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        if (characters[i] != nullptr && (team == 4 || characters[i]->GetTeam() == team))
            ++members;
    }
    return members;
}

// ---------------------------------------------------------------- drawing

CConsoleRenderer CBattleConsole::MakeRenderer(const CMenuLayout& layout, CMenuFrame* items) const
{
    CGraphics* graphics = CCamera::GetGraphics();
    CConsoleRenderer::Resources resources;
    resources.sheet = m_texture;
    resources.large = m_largeFont;
    resources.small = m_smallFont;
    resources.setting = m_setting;
    resources.camera = graphics != nullptr ? graphics->GetCamera() : nullptr;
    resources.rotatingRadar = m_rotatingRadar;
    return CConsoleRenderer(m_state, resources, layout, items);
}

int CBattleConsole::Render(uintptr_t)
{
    CGraphics* graphics = CCamera::GetGraphics();
    if (graphics == nullptr)
        return 1;
    m_drawn.Begin(CMenuLayout::ForGraphics(graphics, MenuScaleRule::Screen), MenuKeys(), nullptr);
    MakeRenderer(m_drawn.Layout(), &m_drawn).Render();
    return 1;
}

void CBattleConsole::RenderWorldOverlays()
{
    CGraphics* graphics = CCamera::GetGraphics();
    if (graphics == nullptr)
        return;
    m_drawn.Begin(CMenuLayout::ForGraphics(graphics, MenuScaleRule::Screen), MenuKeys(), nullptr);
    MakeRenderer(m_drawn.Layout(), &m_drawn).RenderWorldOverlays();
}

void CBattleConsole::DrawWindowFrame(const float* inner, uint32_t color)
{
    DrawWindowFrameScaled(inner, color, 1.0f);
}

// For other screens' use (the tutorial's): reports nothing.
void CBattleConsole::DrawWindowFrameScaled(const float* inner, uint32_t color, float scale)
{
    CGraphics* graphics = CCamera::GetGraphics();
    if (inner == nullptr || graphics == nullptr)
        return;
    const CMenuLayout layout = CMenuLayout::ForGraphics(graphics, MenuScaleRule::Screen);
    const MenuPoint topLeft = layout.CursorToLayout({inner[0], inner[1]});
    const MenuPoint bottomRight = layout.CursorToLayout({inner[2], inner[3]});
    MakeRenderer(layout, nullptr)
        .DrawWindowFrame({topLeft.x, topLeft.y, bottomRight.x, bottomRight.y},
                         kWindowBorderPixels * scale / layout.Scale(), color);
}
