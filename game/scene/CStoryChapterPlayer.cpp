// The story's chapter player: the script's commands, the frame that moves
// what they started, and the chapter's drawing.
//
// Sections: start and release; the interpreter and the commands; the
// frame; drawing (layout table above it).
#include "game/scene/CStoryChapterPlayer.h"

#include "engine/core/CkvrPackFile.h"
#include "engine/core/FailureLog.h"
#include "engine/core/ShiftJisText.h"
#include "engine/effect/CEffectController.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/sound/CListener.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CCamera.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/CRenderList.h"
#include "engine/render/CShader.h"
#include "engine/render/CTexture.h"
#include "engine/resource/CResourceController.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CStage.h"
#include "game/app/CController.h"
#include "game/app/CGameConfig.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameServices.h"
#include "game/battle/BattleGameData.h"
#include "game/menu/CMenuPainter.h"
#include "game/menu/MenuTransitions.h"
#include "game/scene/MenuScene.h"
#include "game/scene/StorySheet.h"
#include "game/story/CStory.h"
#include "game/story/StoryText.h"
#include "game/story/tag_TOLQSTORYTEMPLATE.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{
// The chapter camera: 60 degrees, 4:3, as far as the stages reach.
constexpr int kCameraFov = 60;
constexpr float kCameraAspect = 4.0f / 3.0f;
constexpr float kCameraNear = 0.1f;
constexpr float kCameraFar = 1500.0f;
// Voices and sound effects sound alike near and far inside this distance.
constexpr float kSoundMinDistance = 1000.0f;
constexpr uint32_t kVoiceMode = 0;
constexpr int32_t kSilent = -10000;
// A music fade-out lowers the music by this much over its time, then
// stops it.
constexpr float kMusicFadeOutRange = 3000.0f;
// The quake: its wave's speed (radians per second) and how far a picture
// moves for a strength of 1; it dies away over the last tenth of its time.
constexpr float kQuakeWave = 70.0f;
constexpr float kQuakePictureShift = 20.0f;
constexpr float kQuakeFadeShare = 0.1f;

const CkvrVector4 kOpaqueWhite{1.0f, 1.0f, 1.0f, 1.0f};
const CkvrVector4 kOpaqueBlack{0.0f, 0.0f, 0.0f, 1.0f};

float Clamp01(float value)
{
    return value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
}

// A timed fade of span seconds that has run to elapsed, seconds of it in
// this update.
void FadeMoved(float elapsed, float seconds, float span)
{
    if (span > 0.0f)
        MenuTransitions::Moved(Clamp01((elapsed - seconds) / span), Clamp01(elapsed / span));
}

uint32_t Channel(float value)
{
    return static_cast<uint32_t>(Clamp01(value) * 255.0f);
}

// ARGB of a colour whose alpha is multiplied by alphaFactor.
uint32_t ToArgb(const CkvrVector4& color, float alphaFactor)
{
    return Channel(color.w * alphaFactor) << 24 | Channel(color.x) << 16 | Channel(color.y) << 8 | Channel(color.z);
}

CkvrVector4 Lerp(const CkvrVector4& from, const CkvrVector4& to, float t)
{
    return {from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t, from.z + (to.z - from.z) * t,
            from.w + (to.w - from.w) * t};
}

CkvrVector3 Lerp(const CkvrVector3& from, const CkvrVector3& to, float t)
{
    return from + (to - from) * t;
}

// The opcodes after which the interpreter always stops: texts and waits
// resume from the frame, the rest leave the chapter.
bool AlwaysStops(uint8_t opcode)
{
    switch (opcode)
    {
    case STORY_SHOW_TEXT:
    case STORY_SHOW_TEXT_TIME:
    case STORY_WAIT:
    case STORY_BATTLE_OPTION:
    case STORY_LAST_BATTLE_OPTION:
    case STORY_NEXT_SCENE:
    case STORY_ENDING:
        return true;
    default:
        return false;
    }
}

CGameConfig* Config()
{
    return g_pController != nullptr ? g_pController->GetGameConfig() : nullptr;
}

// A volume of the settings plus an offset, never above full.
int32_t SettingVolume(int32_t setting, int32_t offset)
{
    return std::min<int32_t>(setting + offset, 0);
}
}

// ---------------------------------------------------------------------------
// Start and release

CStoryChapterPlayer::CStoryChapterPlayer() = default;

CStoryChapterPlayer::~CStoryChapterPlayer()
{
    Release();
}

void CStoryChapterPlayer::ClearChapter()
{
    m_chapter = nullptr;
    m_commandIndex = 0;
    m_waitKind = 0;
    m_request = Request::None;
    m_requestCommand = nullptr;
    m_voice = nullptr;
    m_voiceChannel = -1;
    m_soundEffect = nullptr;
    m_soundChannel = -1;
    m_waitElapsed = 0.0f;
    m_waitDuration = 0.0f;
    m_screen = ColorChange();
    m_quake = Quake();
    m_window = Window();
    m_cameraMove = CameraMove();
    m_clock = 0;
    m_message = Message();
    m_pictures.clear();
}

bool CStoryChapterPlayer::Start(const CStory* chapter)
{
    Release();
    if (chapter == nullptr)
        return false;
    ClearChapter();
    m_camera = std::make_unique<CCamera>();
    if (g_pController != nullptr)
        g_pController->SetCameraViewport(m_camera.get());
    m_camera->SetProjection(kCameraFov, kCameraAspect, kCameraNear, kCameraFar);
    CGameConfig* config = Config();
    m_listener = std::make_unique<CListener>(g_pController != nullptr ? g_pController->GetSound() : nullptr,
                                             config != nullptr ? config->GetData()->sound3D : 0);
    m_screen.current = kOpaqueBlack;
    m_chapter = chapter;
    m_pictures.resize(static_cast<uint8_t>(chapter->GetMaxObjectIndex()) + 1u);
    Interpret();
    return true;
}

void CStoryChapterPlayer::ReleaseStage()
{
    if (m_stage != nullptr)
        m_stage->ReleaseStageObjects();
    m_stage.reset();
    m_field.weapons.clear();
    m_field.items.clear();
}

void CStoryChapterPlayer::Release()
{
    ReleaseStage();
    m_stageData.Clear();
    // The drawing keeps the camera applied last; it must not outlive it.
    CGraphics* graphics = CCamera::GetGraphics();
    if (graphics != nullptr && m_camera != nullptr && graphics->GetCamera() == m_camera.get())
        graphics->SetCamera(g_pController != nullptr ? g_pController->GetCamera() : nullptr);
    m_camera.reset();
    m_listener.reset();
    for (CSoundBuffer* sound : {m_soundEffect, m_voice})
    {
        if (sound != nullptr)
            sound->StopAll(1);
    }
    m_soundEffect = nullptr;
    m_voice = nullptr;
    m_pictures.clear();
    for (LoadedFile<CTexture>& picture : m_pictureFiles)
        picture.file->Release();
    m_pictureFiles.clear();
    for (LoadedFile<CSoundBuffer>& voice : m_voiceFiles)
        voice.file->Release();
    m_voiceFiles.clear();
    m_chapter = nullptr;
    m_request = Request::None;
    m_requestCommand = nullptr;
}

void CStoryChapterPlayer::StopMusic()
{
    if (m_music.sound != nullptr)
        m_music.sound->StopAll(m_music.rewind ? 1 : 0);
    m_music = Music();
}

void CStoryChapterPlayer::StopSounds()
{
    for (CSoundBuffer* sound : {m_music.sound, m_soundEffect, m_voice})
    {
        if (sound != nullptr)
            sound->StopAll(1);
    }
}

CStoryChapterPlayer::Request CStoryChapterPlayer::TakeRequest()
{
    const Request request = m_request;
    m_request = Request::None;
    return request;
}

tag_TOLQBATTLESETTING* CStoryChapterPlayer::GetBattleSetting() const
{
    if (m_requestCommand == nullptr || (m_requestCommand->opcode != STORY_BATTLE_OPTION &&
                                        m_requestCommand->opcode != STORY_LAST_BATTLE_OPTION))
        return nullptr;
    return m_requestCommand->battle;
}

const char* CStoryChapterPlayer::GetNextChapter(uint32_t difficulty) const
{
    if (m_requestCommand == nullptr || m_requestCommand->opcode != STORY_NEXT_SCENE)
        return nullptr;
    return m_requestCommand->nextScene[std::min(difficulty, kStoryDifficultyCount - 1)];
}

void CStoryChapterPlayer::Resume()
{
    m_request = Request::None;
    Interpret();
}

// ---------------------------------------------------------------------------
// The interpreter and the commands

void CStoryChapterPlayer::Interpret()
{
    while (m_chapter != nullptr && m_request == Request::None)
    {
        const tag_TOLQSTORYTEMPLATE* command = m_chapter->GetCommand(m_commandIndex);
        if (command == nullptr)
            return; // the chapter rests
        ++m_commandIndex;
        m_waitKind = command->opcode;
        if (command->opcode > STORY_ENDING)
            continue;
        const bool waits = RunCommand(*command);
        if (waits || AlwaysStops(command->opcode))
            return;
    }
}

bool CStoryChapterPlayer::RunCommand(const tag_TOLQSTORYTEMPLATE& command)
{
    switch (command.opcode)
    {
    case STORY_SHOW_WINDOW:
        return ShowWindow(command.window.fadeTime);
    case STORY_NO_SHOW_WINDOW:
        return HideWindow(command.window.fadeTime);
    case STORY_SHOW_TEXT:
    case STORY_SHOW_TEXT_TIME:
        ShowText(command);
        return true;
    case STORY_NO_SHOW_TEXT:
        HideText();
        return false;
    case STORY_IMAGE_REGISTER:
        return RegisterImage(command);
    case STORY_IMAGE_REGISTER_FREE:
        return FreeImage(command);
    case STORY_CHANGE_FACE:
        ChangeFace(command);
        return false;
    case STORY_CHANGE_COLOR:
        ChangeColor(command);
        return false;
    case STORY_SET_STAGE:
        SetStage(command.stage);
        return false;
    case STORY_SET_CAMERA:
        SetCamera(command);
        return false;
    case STORY_SCREEN_QUAKE:
        StartQuake(command);
        return false;
    case STORY_SCREEN_COLOR:
        return ChangeScreenColor(command);
    case STORY_PLAY_SOUND:
        PlaySound(command);
        return false;
    case STORY_PLAY_BGM:
        PlayMusic(command);
        return false;
    case STORY_STOP_BGM:
        StopMusicCommand(command);
        return false;
    case STORY_WAIT:
        m_waitDuration = command.waitTime;
        m_waitElapsed = 0.0f;
        return true;
    case STORY_BATTLE_OPTION:
    case STORY_LAST_BATTLE_OPTION:
        // A command without a setting (none can be read) fights nothing.
        if (command.battle == nullptr)
            return false;
        StopSounds();
        m_request = Request::Battle;
        m_requestCommand = &command;
        return true;
    case STORY_NEXT_SCENE:
        m_request = Request::NextChapter;
        m_requestCommand = &command;
        return true;
    case STORY_ENDING:
        m_request = Request::Ending;
        m_requestCommand = &command;
        return true;
    default:
        return false;
    }
}

bool CStoryChapterPlayer::ShowWindow(float fadeTime)
{
    m_window.fadeTime = std::max(fadeTime, 0.0f);
    m_window.elapsed = 0.0f;
    m_window.visible = true;
    return m_window.fadeTime > 0.0f;
}

bool CStoryChapterPlayer::HideWindow(float fadeTime)
{
    m_window.elapsed = 0.0f;
    if (fadeTime <= 0.0f)
    {
        m_window.fadeTime = 0.0f;
        m_window.visible = false;
        return false;
    }
    m_window.fadeTime = -fadeTime;
    return true;
}

void CStoryChapterPlayer::ShowText(const tag_TOLQSTORYTEMPLATE& command)
{
    const tag_TOLQSTORYTEXT& text = command.text;
    m_message.x = text.x;
    m_message.y = text.y;
    m_message.color = text.color;
    m_message.font = text.font;
    m_message.scale = text.scale;
    m_message.interval = text.interval;
    m_message.displayTime = command.opcode == STORY_SHOW_TEXT_TIME ? text.displayTime : 0.0f;
    m_message.typingTimer = 0.0f;
    m_message.elapsed = 0.0f;
    m_message.shown.clear();
    m_message.full = text.text;
    // Typing stops at the end of the text, or of what the shown text holds.
    m_message.length = text.text != nullptr ? FittingTextLength(text.text, static_cast<uint32_t>(std::strlen(text.text)),
                                                                kShownTextSize)
                                            : 0;
    m_message.active = true;

    m_voice = FindVoice(text.voice);
    m_voiceChannel = -1;
    CGameConfig* config = Config();
    if (m_voice == nullptr || config == nullptr)
        return;
    const int32_t volume = config->GetData()->voiceVolume;
    if (volume < CSoundBuffer::kQuietestPlayedVolume)
        return;
    m_voiceChannel = m_voice->PlayWithVolume(volume, 0, 0.0f, 1);
    if (m_voiceChannel >= 0)
        m_voice->SetPosition(static_cast<uint32_t>(m_voiceChannel), &m_cameraMove.eye, kSoundMinDistance, kVoiceMode);
}

void CStoryChapterPlayer::HideText()
{
    m_message.active = false;
    m_message.shown.clear();
    m_message.full = nullptr;
    m_message.length = 0;
}

CStoryChapterPlayer::Picture* CStoryChapterPlayer::Slot(uint8_t object)
{
    return object < m_pictures.size() ? &m_pictures[object] : nullptr;
}

bool CStoryChapterPlayer::RegisterImage(const tag_TOLQSTORYTEMPLATE& command)
{
    const tag_TOLQSTORYIMAGE& image = command.image;
    Picture* slot = Slot(image.object);
    if (slot == nullptr)
        return false;
    slot->previousPicture = slot->picture;
    slot->previousFace = slot->face;
    slot->previousFacePosition = slot->facePosition;
    slot->x = image.x;
    slot->y = image.y;
    slot->face = image.face;
    slot->facePosition = image.facePosition;
    slot->spare = image.spare;
    slot->active = true;
    slot->start = slot->current;
    slot->current = kOpaqueWhite;
    slot->target = kOpaqueWhite;
    slot->colorDuration = 0.0f;
    slot->colorElapsed = 0.0f;
    slot->faceDuration = 0.0f;
    slot->faceDelay = 0.0f;
    slot->faceElapsed = 0.0f;
    slot->fadeElapsed = 0.0f;
    slot->fadeTime = std::max(image.fadeTime, 0.0f);
    slot->picture = FindPicture(image.picture);
    if (slot->fadeTime > 0.0f)
        return true;
    slot->previousPicture = nullptr;
    return false;
}

bool CStoryChapterPlayer::FreeImage(const tag_TOLQSTORYTEMPLATE& command)
{
    Picture* slot = Slot(command.imageFree.object);
    if (slot == nullptr)
        return false;
    slot->fadeElapsed = 0.0f;
    slot->previousPicture = nullptr;
    // A slot that shows nothing has nothing to fade: the script goes on.
    if (command.imageFree.fadeTime <= 0.0f || !slot->active)
    {
        slot->fadeTime = 0.0f;
        slot->picture = nullptr;
        slot->active = false;
        return false;
    }
    slot->fadeTime = -command.imageFree.fadeTime;
    return true;
}

void CStoryChapterPlayer::ChangeFace(const tag_TOLQSTORYTEMPLATE& command)
{
    Picture* slot = Slot(command.face.object);
    if (slot == nullptr)
        return;
    slot->previousFace = slot->face;
    slot->face = command.face.face;
    slot->faceDuration = command.face.duration;
    slot->faceDelay = command.face.delay;
    slot->faceElapsed = 0.0f;
}

void CStoryChapterPlayer::ChangeColor(const tag_TOLQSTORYTEMPLATE& command)
{
    Picture* slot = Slot(command.color.object);
    if (slot == nullptr)
        return;
    slot->start = slot->current;
    slot->target = command.color.color;
    slot->colorElapsed = 0.0f;
    slot->colorDuration = command.color.duration;
    if (slot->colorDuration > 0.0f)
        return;
    slot->colorDuration = 0.0f;
    slot->current = slot->target;
}

void CStoryChapterPlayer::SetStage(const char* name)
{
    ReleaseStage();
    if (name == nullptr)
        return;
    if (m_stageData.stages.empty())
        CopyGameDataLists(CActorResources::GetController(), &m_stageData);
    const CStageDefinition* definition = m_stageData.FindStage(name);
    if (definition == nullptr)
    {
        LogFailure("story: the chapter's stage is not in the game data", name);
        return;
    }
    auto stage = std::make_unique<CStage>(*definition);
    stage->SetModels(CActorResources::FindMesh(definition->groundModel), CActorResources::FindMesh(definition->hitModel));
    if (stage->Create(0) == 0)
    {
        LogFailure("story: the chapter's stage has no models", name);
        return;
    }
    // The stage stands as scenery: nothing drops and no altar wakes.
    stage->CreateStageObjects(&m_stageData, &m_field, 0, 0, 0, 0);
    m_stage = std::move(stage);
}

void CStoryChapterPlayer::SetCamera(const tag_TOLQSTORYTEMPLATE& command)
{
    m_cameraMove.startEye = m_cameraMove.eye;
    m_cameraMove.startTarget = m_cameraMove.target;
    m_cameraMove.endEye = command.camera.eye;
    m_cameraMove.endTarget = command.camera.target;
    m_cameraMove.duration = command.camera.duration;
    m_cameraMove.elapsed = 0.0f;
    if (m_cameraMove.duration > 0.0f)
        return;
    m_cameraMove.duration = 0.0f;
    m_cameraMove.eye = m_cameraMove.endEye;
    m_cameraMove.target = m_cameraMove.endTarget;
    ApplyCamera();
}

void CStoryChapterPlayer::StartQuake(const tag_TOLQSTORYTEMPLATE& command)
{
    m_quake.strength = command.quake.strength;
    m_quake.duration = command.quake.duration;
    m_quake.elapsed = 0.0f;
    m_quake.windowShake = command.quake.windowShake != 0;
}

bool CStoryChapterPlayer::ChangeScreenColor(const tag_TOLQSTORYTEMPLATE& command)
{
    m_screen.start = m_screen.current;
    m_screen.target = command.screenColor.color;
    m_screen.duration = command.screenColor.duration;
    m_screen.elapsed = 0.0f;
    if (m_screen.duration > 0.0f)
        return true;
    m_screen.duration = 0.0f;
    m_screen.current = m_screen.target;
    return false;
}

void CStoryChapterPlayer::PlaySound(const tag_TOLQSTORYTEMPLATE& command)
{
    CSoundBuffer* sound = MenuScene::FindSound(command.sound.name);
    CGameConfig* config = Config();
    if (sound == nullptr || config == nullptr)
        return;
    const int32_t setting = config->GetData()->seVolume;
    if (setting < CSoundBuffer::kQuietestPlayedVolume)
        return;
    m_soundEffect = sound;
    m_soundChannel = sound->PlayWithVolume(SettingVolume(setting, command.sound.volume), 0, 0.0f, 1);
    if (m_soundChannel >= 0)
        sound->SetPosition(static_cast<uint32_t>(m_soundChannel), &command.sound.position, kSoundMinDistance, kVoiceMode);
}

void CStoryChapterPlayer::PlayMusic(const tag_TOLQSTORYTEMPLATE& command)
{
    CSoundBuffer* music = MenuScene::FindSound(command.bgm.name);
    CGameConfig* config = Config();
    if (music == nullptr || config == nullptr)
        return;
    // One music at a time: what plays now gives way.
    StopMusic();
    const int32_t setting = config->GetData()->bgmVolume;
    m_music.sound = music;
    m_music.rewind = command.bgm.rewind != 0;
    m_music.volumeOffset = command.bgm.volume;
    m_music.fadeTime = std::max(command.bgm.fadeTime, 0.0f);
    m_music.fadeElapsed = 0.0f;
    if (setting < CSoundBuffer::kQuietestPlayedVolume)
        return;
    const int32_t volume = m_music.fadeTime > 0.0f ? kSilent : SettingVolume(setting, m_music.volumeOffset);
    m_music.channel = music->PlayWithVolume(volume, CSoundBuffer::PLAY_LOOPING, command.bgm.loopPoint,
                                            m_music.rewind ? 1 : 0);
}

void CStoryChapterPlayer::StopMusicCommand(const tag_TOLQSTORYTEMPLATE& command)
{
    CSoundBuffer* music = MenuScene::FindSound(command.stopBgm.name);
    if (music == nullptr)
        return;
    if (music != m_music.sound)
    {
        m_music = Music();
        m_music.sound = music;
        m_music.channel = 0;
    }
    m_music.rewind = command.stopBgm.rewind != 0;
    m_music.fadeElapsed = 0.0f;
    if (command.stopBgm.fadeTime <= 0.0f)
    {
        music->StopAll(m_music.rewind ? 1 : 0);
        m_music.fadeTime = 0.0f;
        return;
    }
    m_music.fadeTime = -command.stopBgm.fadeTime;
    m_music.fadeFrom = m_music.channel >= 0 ? music->GetVolume(static_cast<uint32_t>(m_music.channel)) : kSilent;
}

CTexture* CStoryChapterPlayer::FindPicture(const char* name)
{
    if (name == nullptr)
        return nullptr;
    for (LoadedFile<CTexture>& picture : m_pictureFiles)
    {
        if (picture.name == name)
            return picture.file.get();
    }
    char path[CkvrPackFile::kNameSize];
    std::snprintf(path, sizeof path, "Texture\\%s", name);
    auto texture = std::make_unique<CTexture>();
    if (m_sources.pictures == nullptr || texture->CreateFromPack(m_sources.pictures, path) == 0)
    {
        LogFailure("story: a picture can't be loaded", path);
        return nullptr;
    }
    m_pictureFiles.push_back({name, std::move(texture)});
    return m_pictureFiles.back().file.get();
}

CSoundBuffer* CStoryChapterPlayer::FindVoice(const char* name)
{
    if (name == nullptr)
        return nullptr;
    for (LoadedFile<CSoundBuffer>& voice : m_voiceFiles)
    {
        if (voice.name == name)
            return voice.file.get();
    }
    CGameConfig* config = Config();
    if (m_sources.voices == nullptr || config == nullptr)
        return nullptr;
    const tag_TOLQGAMECONFIG* settings = config->GetData();
    char path[CkvrPackFile::kNameSize];
    std::snprintf(path, sizeof path, "Sound\\%s", name);
    auto sound = std::make_unique<CSoundBuffer>();
    const uint32_t flags = settings->sound3D != 0 ? CResourceController::SOUND_PAN : CResourceController::SOUND_3D;
    if (sound->LoadFromPack(m_sources.voices, path, std::max<uint32_t>(settings->soundCount, 1), flags) == 0)
    {
        LogFailure("story: a voice can't be loaded", path);
        return nullptr;
    }
    m_voiceFiles.push_back({name, std::move(sound)});
    return m_voiceFiles.back().file.get();
}

// ---------------------------------------------------------------------------
// The frame

void CStoryChapterPlayer::Update(uint32_t milliseconds, bool advance)
{
    // A chapter that asked to be left waits for the scene to take it.
    if (m_chapter == nullptr || m_request != Request::None)
        return;
    const float seconds = static_cast<float>(milliseconds) / 1000.0f;
    m_clock += milliseconds;
    UpdatePictures(seconds);
    if (Left() || UpdateMessage(seconds, advance) || UpdateWindow(seconds) || UpdateWait(seconds))
        return;
    UpdateMusic(seconds);
    UpdateQuake(seconds);
    if (UpdateScreenColor(seconds))
        return;
    UpdateCamera(seconds);
    if (m_stage != nullptr)
        m_stage->Update(0);
    if (g_pEffectController != nullptr)
        g_pEffectController->Update(0);
}

bool CStoryChapterPlayer::ResumeAfter(uint32_t opcode)
{
    if (m_waitKind != opcode)
        return false;
    Interpret();
    return Left();
}

void CStoryChapterPlayer::UpdatePictures(float seconds)
{
    for (size_t i = 0; i < m_pictures.size(); ++i)
    {
        Picture& slot = m_pictures[i];
        if (!slot.active)
            continue;
        // The fade runs for a slot whose picture is missing too, so that
        // the script waiting on it goes on.
        if (slot.fadeTime != 0.0f)
        {
            slot.fadeElapsed += seconds;
            FadeMoved(slot.fadeElapsed, seconds, std::fabs(slot.fadeTime));
            if (slot.fadeElapsed >= std::fabs(slot.fadeTime))
            {
                if (slot.fadeTime < 0.0f)
                {
                    slot.picture = nullptr;
                    slot.active = false;
                }
                slot.fadeElapsed = 0.0f;
                slot.fadeTime = 0.0f;
                slot.previousPicture = nullptr;
                // The script waited on this fade (a picture's fade always
                // stops it): it goes on, once.
                if (m_waitKind == STORY_IMAGE_REGISTER || m_waitKind == STORY_IMAGE_REGISTER_FREE)
                {
                    Interpret();
                    if (Left())
                        return;
                }
            }
        }
        if (slot.colorDuration > 0.0f)
        {
            slot.colorElapsed += seconds;
            const float ratio = slot.colorElapsed / slot.colorDuration;
            if (ratio >= 1.0f)
            {
                slot.current = slot.target;
                slot.colorDuration = 0.0f;
            }
            else
                slot.current = Lerp(slot.start, slot.target, ratio);
        }
        if (slot.faceDuration > 0.0f)
            slot.faceElapsed += seconds;
    }
}

void CStoryChapterPlayer::TypeNextCharacter()
{
    const size_t at = m_message.shown.size();
    const size_t step = ShiftJisCharLength(m_message.full + at, m_message.length - at);
    if (step == 0)
        return;
    m_message.shown.append(m_message.full + at, step);
}

void CStoryChapterPlayer::DismissMessage(bool stopVoice)
{
    if (stopVoice && m_voice != nullptr && m_voiceChannel >= 0)
        m_voice->Stop(static_cast<uint32_t>(m_voiceChannel), 1);
    if (m_quake.duration <= 0.0f)
        m_quake.strength = 0.0f;
    Interpret();
}

bool CStoryChapterPlayer::UpdateMessage(float seconds, bool advance)
{
    if (!m_message.active)
        return false;
    m_message.elapsed += seconds;
    const bool clickable = m_waitKind == STORY_SHOW_TEXT && advance;
    if (!m_message.IsWhole())
    {
        if (m_message.typingTimer >= m_message.interval)
        {
            m_message.typingTimer = 0.0f;
            TypeNextCharacter();
        }
        else
            m_message.typingTimer += seconds;
        if (clickable)
            m_message.shown.assign(m_message.full, m_message.length);
        return false;
    }
    if (clickable)
    {
        DismissMessage(true);
        return Left();
    }
    if (m_waitKind == STORY_SHOW_TEXT_TIME && m_message.elapsed >= m_message.displayTime)
    {
        DismissMessage(false);
        return Left();
    }
    return false;
}

bool CStoryChapterPlayer::UpdateWindow(float seconds)
{
    if (m_window.fadeTime > 0.0f)
    {
        m_window.elapsed += seconds;
        FadeMoved(m_window.elapsed, seconds, m_window.fadeTime);
        if (m_window.elapsed < m_window.fadeTime)
            return false;
        m_window.elapsed = 0.0f;
        m_window.fadeTime = 0.0f;
        return ResumeAfter(STORY_SHOW_WINDOW);
    }
    if (m_window.fadeTime < 0.0f)
    {
        m_window.elapsed += seconds;
        FadeMoved(m_window.elapsed, seconds, -m_window.fadeTime);
        if (m_window.elapsed < -m_window.fadeTime)
            return false;
        m_window.elapsed = 0.0f;
        m_window.fadeTime = 0.0f;
        m_window.visible = false;
        return ResumeAfter(STORY_NO_SHOW_WINDOW);
    }
    return false;
}

bool CStoryChapterPlayer::UpdateWait(float seconds)
{
    if (m_waitKind != STORY_WAIT)
        return false;
    m_waitElapsed += seconds;
    if (m_waitElapsed < m_waitDuration)
        return false;
    return ResumeAfter(STORY_WAIT);
}

void CStoryChapterPlayer::UpdateMusic(float seconds)
{
    if (m_music.sound == nullptr || m_music.fadeTime == 0.0f)
        return;
    m_music.fadeElapsed += seconds;
    const float span = std::fabs(m_music.fadeTime);
    const float t = Clamp01(m_music.fadeElapsed / span);
    const uint32_t channel = m_music.channel >= 0 ? static_cast<uint32_t>(m_music.channel) : 0;
    if (m_music.fadeTime > 0.0f)
    {
        CGameConfig* config = Config();
        const int32_t setting = config != nullptr ? config->GetData()->bgmVolume : 0;
        const float target = static_cast<float>(SettingVolume(setting, m_music.volumeOffset));
        m_music.sound->SetVolume(channel, static_cast<int32_t>(kSilent + (target - kSilent) * t));
    }
    else
        m_music.sound->SetVolume(channel, static_cast<int32_t>(m_music.fadeFrom - kMusicFadeOutRange * t));
    if (m_music.fadeElapsed < span)
        return;
    if (m_music.fadeTime < 0.0f)
        m_music.sound->StopAll(m_music.rewind ? 1 : 0);
    m_music.fadeTime = 0.0f;
}

void CStoryChapterPlayer::UpdateQuake(float seconds)
{
    if (m_quake.strength <= 0.0f)
        return;
    m_quake.elapsed += seconds;
    if (m_quake.duration > 0.0f && m_quake.elapsed >= m_quake.duration)
    {
        m_quake.strength = 0.0f;
        m_quake.duration = 0.0f;
    }
}

bool CStoryChapterPlayer::UpdateScreenColor(float seconds)
{
    if (m_screen.duration <= 0.0f)
        return false;
    m_screen.elapsed += seconds;
    FadeMoved(m_screen.elapsed, seconds, m_screen.duration);
    if (m_screen.elapsed < m_screen.duration)
    {
        m_screen.current = Lerp(m_screen.start, m_screen.target, m_screen.elapsed / m_screen.duration);
        return false;
    }
    m_screen.elapsed = 0.0f;
    m_screen.duration = 0.0f;
    m_screen.current = m_screen.target;
    return ResumeAfter(STORY_SCREEN_COLOR);
}

void CStoryChapterPlayer::UpdateCamera(float seconds)
{
    CameraMove& move = m_cameraMove;
    if (move.duration > 0.0f)
    {
        move.elapsed += seconds;
        if (move.elapsed < move.duration)
        {
            const float t = move.elapsed / move.duration;
            move.eye = Lerp(move.startEye, move.endEye, t);
            move.target = Lerp(move.startTarget, move.endTarget, t);
        }
        else
        {
            move.elapsed = 0.0f;
            move.duration = 0.0f;
            move.eye = move.endEye;
            move.target = move.endTarget;
        }
    }
    ApplyCamera();
}

void CStoryChapterPlayer::ApplyCamera()
{
    if (m_camera == nullptr)
        return;
    const float up[3] = {0.0f, 1.0f, 0.0f};
    m_camera->SetLookAt(&m_cameraMove.eye.x, &m_cameraMove.target.x, up);
}

float CStoryChapterPlayer::QuakeOffset() const
{
    float q = std::sin(m_quake.elapsed * kQuakeWave) * m_quake.strength;
    const float fadeStart = (1.0f - kQuakeFadeShare) * m_quake.duration;
    if (m_quake.duration > 0.0f && m_quake.elapsed >= fadeStart)
        q *= 1.0f - (m_quake.elapsed - fadeStart) / (kQuakeFadeShare * m_quake.duration);
    return q;
}

// ---------------------------------------------------------------------------
// Drawing

namespace
{
// The chapter screen, in 1024 x 768 layout units.
constexpr MenuRect kMessageWindow{.left = 40, .top = 504, .right = 984, .bottom = 744};
constexpr MenuPoint kNextPageAt{932.0f, 690.0f};
// The next-page mark bobs up by this much twice a second.
constexpr uint32_t kBobMilliseconds = 500;
constexpr float kBobRise = 12.0f;
constexpr uint32_t kOutline = 0xFF000000u;
constexpr float kOutlineWidth = 1.0f;
constexpr uint32_t kAlphaBlend = 1;
// The stage's light: low from the front left and warm, so that a scene
// reads as an evening in the arena behind the pictures.
constexpr float kLightDirection[3] = {0.5f, -0.7f, 0.5f};
constexpr float kLightDiffuse[4] = {1.0f, 0.92f, 0.8f, 1.0f};
constexpr float kAmbient[4] = {0.4f, 0.4f, 0.48f, 1.0f};

void SetStageLight()
{
    CShader* shader = CGraphics::GetDefaultShader();
    if (shader == nullptr)
        return;
    shader->SetFloatArray("g_LightDir", kLightDirection, 3);
    shader->SetVector("g_LightDiffuse", kLightDiffuse);
    shader->SetVector("g_WorldAmbient", kAmbient);
}

}

void CStoryChapterPlayer::Render(const CMenuLayout& layout)
{
    if (m_chapter == nullptr || m_camera == nullptr)
        return;
    const float q = QuakeOffset();
    const float pictureShift = kQuakePictureShift * q;
    const float windowShift = m_quake.windowShake ? pictureShift : 0.0f;
    const CkvrVector3 shake(q, 0.0f, 0.0f);
    const CkvrVector3 eye = m_cameraMove.eye + shake;
    const CkvrVector3 target = m_cameraMove.target + shake;
    const float up[3] = {0.0f, 1.0f, 0.0f};
    m_camera->SetLookAt(&eye.x, &target.x, up);
    RenderStage();
    const CkvrVector3 front = target - eye;
    const CkvrVector3 top(0.0f, 1.0f, 0.0f);
    m_listener->SetPosition(&eye);
    m_listener->SetOrientation(&front, &top);
    m_listener->Apply();

    const CMenuPainter painter(layout);
    RenderPictures(layout, pictureShift);
    RenderWindow(layout, windowShift);
    painter.Fill(layout.Area(), ToArgb(m_screen.current, 1.0f));
    RenderText(layout, windowShift);
}

void CStoryChapterPlayer::RenderStage()
{
    CGraphics* graphics = CCamera::GetGraphics();
    if (graphics == nullptr)
        return;
    CRenderList* list = g_pController != nullptr ? g_pController->GetRenderList() : nullptr;
    graphics->SetCamera(m_camera.get());
    m_camera->Apply();
    graphics->Begin3D();
    SetStageLight();
    if (list != nullptr)
    {
        list->Clear();
        if (m_stage != nullptr)
            m_stage->Render(reinterpret_cast<uintptr_t>(list));
        if (g_pEffectController != nullptr)
            g_pEffectController->Render(list);
        graphics->SetFogEnable(0);
        graphics->SetLighting(0);
        list->Draw();
    }
    graphics->SetBlendMode(kAlphaBlend);
    graphics->Begin2D();
}

void CStoryChapterPlayer::RenderPictures(const CMenuLayout& layout, float shift) const
{
    for (const Picture& slot : m_pictures)
    {
        if (slot.active && slot.picture != nullptr)
            RenderPicture(layout, slot, shift);
    }
}

void CStoryChapterPlayer::RenderPicture(const CMenuLayout& layout, const Picture& slot, float shift) const
{
    const CMenuPainter painter(layout);
    const MenuPoint at{slot.x + shift, slot.y};
    auto drawFace = [&](CTexture* picture, uint32_t face, uint8_t position, uint32_t color) {
        if (face >= StorySheet::kFaces || position >= StorySheet::kFacePositions)
            return;
        const MenuPoint offset = StorySheet::kFaceOffsets[position];
        painter.Picture(picture, StorySheet::FaceCell(face), {at.x + offset.x, at.y + offset.y}, color);
    };
    float f = 1.0f;
    if (slot.fadeTime != 0.0f)
    {
        const float half = slot.fadeTime * 0.5f;
        if (slot.previousPicture != nullptr && slot.fadeTime > 0.0f)
        {
            if (slot.fadeElapsed < half)
            {
                const uint32_t color = ToArgb(slot.start, 1.0f - slot.fadeElapsed / half);
                painter.Picture(slot.previousPicture, StorySheet::kBody, at, color);
                drawFace(slot.previousPicture, slot.previousFace, slot.previousFacePosition, color);
                return;
            }
            f = (slot.fadeElapsed - half) / half;
        }
        else if (slot.fadeTime > 0.0f)
            f = slot.fadeElapsed / slot.fadeTime;
        else
            f = 1.0f - slot.fadeElapsed / -slot.fadeTime;
    }
    f = Clamp01(f);
    painter.Picture(slot.picture, StorySheet::kBody, at, ToArgb(slot.current, f));
    const bool changing = slot.faceDuration > 0.0f &&
                          (slot.faceElapsed < slot.faceDuration || slot.faceElapsed < slot.faceDelay);
    if (!changing)
    {
        drawFace(slot.picture, slot.face, slot.facePosition, ToArgb(slot.current, f));
        return;
    }
    const float t = Clamp01((slot.faceElapsed - slot.faceDelay) / slot.faceDuration);
    drawFace(slot.picture, slot.previousFace, slot.facePosition, ToArgb(slot.current, (1.0f - t) * f));
    drawFace(slot.picture, slot.face, slot.facePosition, ToArgb(slot.current, t * f));
}

void CStoryChapterPlayer::RenderWindow(const CMenuLayout& layout, float shift) const
{
    if (!m_window.visible)
        return;
    const CMenuPainter painter(layout);
    float alpha = 1.0f;
    if (m_window.fadeTime > 0.0f)
        alpha = m_window.elapsed / m_window.fadeTime;
    else if (m_window.fadeTime < 0.0f)
        alpha = 1.0f - m_window.elapsed / -m_window.fadeTime;
    painter.Frame(m_sources.sheet, StorySheet::kFrameWindow, StorySheet::kFramePiece, kMessageWindow.Offset(shift, 0.0f),
                  MenuColor(MenuRole::Focused, alpha));
    const bool resting = m_window.fadeTime == 0.0f && m_message.active && m_message.IsWhole() &&
                         m_waitKind != STORY_SHOW_TEXT_TIME;
    if (!resting)
        return;
    const float bob = kBobRise * static_cast<float>(m_clock % kBobMilliseconds) / 1000.0f;
    painter.Picture(m_sources.sheet, StorySheet::kNextPage, {kNextPageAt.x + shift, kNextPageAt.y + bob},
                    MenuColor(MenuRole::Focused, 1.0f));
}

void CStoryChapterPlayer::RenderText(const CMenuLayout& layout, float shift) const
{
    if (!m_message.active || m_message.font > 1 || g_pController == nullptr)
        return;
    CFontTexture* font = g_pController->GetFont(m_message.font);
    if (font == nullptr)
        return;
    const MenuPoint at = layout.ToPixels(MenuPoint{m_message.x + shift, m_message.y});
    font->DrawTextOutlined(at.x, at.y, m_message.color, kOutline, static_cast<uint32_t>(kTextSize),
                           m_message.scale * layout.Scale(), kOutlineWidth, m_message.shown.c_str());
}
