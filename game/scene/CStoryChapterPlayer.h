#pragma once

// The story's chapter player. It runs one chapter's script command after
// command until a command waits, then advances frame by frame what the
// commands started (window fades, typed text, picture fades, face changes,
// colour changes, waits, camera moves, the quake, the screen colour and the
// music) and resumes the script when the wait it stopped on ends. It draws
// the chapter: the stage through the scripted camera, the pictures with
// their faces, the message window with the typed text, and the full-screen
// colour, all shaken by the quake.
//
// A frame (Update), in order: the chapter clock; the pictures' fades, colour
// changes and face clocks; the message (a character per interval, a click
// shows the rest, and a click on the whole text, or a timed text's display
// time, goes on); the window fade; the wait; the music fade; the quake; the
// screen colour; the camera move; the stage and the effects. A command that
// leaves the chapter (a battle, the next chapter, the ending) ends the
// frame's update there and leaves a request the story scene takes.
//
// The music outlives a chapter: the next chapter inherits it, and the scene
// stops it when a battle starts or the story ends.

#include "engine/core/CkvrVector3.h"
#include "engine/core/CkvrVector4.h"
#include "game/actor/CFieldLists.h"
#include "game/actor/CGameDataLists.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CCamera;
class CkvrPackFile;
class CListener;
class CMenuLayout;
class CSoundBuffer;
class CStage;
class CStory;
class CTexture;
struct tag_TOLQSTORYTEMPLATE;
struct tag_TOLQBATTLESETTING;

class CStoryChapterPlayer
{
public:
    // What the script asks of the scene once a command has left the chapter.
    enum class Request : uint8_t
    {
        None,
        Battle,      // fight the setting of GetBattleSetting, then Resume
        NextChapter, // start the chapter GetNextChapter names
        Ending,      // the route is over
    };

    // The packs and sheet the chapter draws from (owned by the scene).
    struct Sources
    {
        CkvrPackFile* pictures = nullptr; // "Texture\..." of the pictures
        CkvrPackFile* voices = nullptr;   // "Sound\..." of the voices
        CTexture* sheet = nullptr;        // the message window's pieces
    };

    // The longest text a message types out, in bytes (whole characters).
    static constexpr uint32_t kShownTextSize = 1024;
    static constexpr float kTextSize = 32.0f;

    CStoryChapterPlayer();
    ~CStoryChapterPlayer();
    CStoryChapterPlayer(const CStoryChapterPlayer&) = delete;
    CStoryChapterPlayer& operator=(const CStoryChapterPlayer&) = delete;

    void SetSources(const Sources& sources) { m_sources = sources; }

    // Zeroes the chapter (not the music), makes the camera, the listener
    // and the chapter's picture slots, covers the screen in black and runs
    // the script. False for no chapter: nothing runs.
    bool Start(const CStory* chapter);
    // Frees what the chapter loaded and made: the stage, camera, listener,
    // pictures, voices and sounds. The music plays on.
    void Release();
    // After the battle: the script goes on after the battle command.
    void Resume();
    // One frame of milliseconds. advance: the decide button or the left
    // mouse button went down this frame.
    void Update(uint32_t milliseconds, bool advance);
    void Render(const CMenuLayout& layout);

    // The request of the last command run, taken once.
    Request TakeRequest();
    // The battle of the last battle command; the next chapter's name for a
    // story difficulty (null when the command names none).
    tag_TOLQBATTLESETTING* GetBattleSetting() const;
    const char* GetNextChapter(uint32_t difficulty) const;
    // Stops the music (every voice, with its rewind flag) and forgets it.
    void StopMusic();
    // Stops the voice, the sound effect and the music, rewinding them.
    void StopSounds();

    // State, for tests.
    struct Picture
    {
        float x = 0.0f;
        float y = 0.0f;
        bool active = false;
        float fadeElapsed = 0.0f;
        float fadeTime = 0.0f; // negative: fading out
        uint8_t spare = 0;
        float faceDuration = 0.0f;
        float faceDelay = 0.0f;
        float faceElapsed = 0.0f;
        uint8_t previousFacePosition = 0;
        uint8_t facePosition = 0;
        uint32_t face = 0;
        uint32_t previousFace = 0;
        float colorDuration = 0.0f;
        float colorElapsed = 0.0f;
        CkvrVector4 current;
        CkvrVector4 target;
        CkvrVector4 start;
        CTexture* picture = nullptr;
        CTexture* previousPicture = nullptr;
    };
    struct Message
    {
        float x = 0.0f;
        float y = 0.0f;
        std::string shown;          // the typed part of the text
        const char* full = nullptr; // the command's text
        size_t length = 0;          // of it, the bytes that are typed
        float typingTimer = 0.0f;
        float interval = 0.0f;
        float elapsed = 0.0f;
        float displayTime = 0.0f;
        uint8_t font = 0;
        float scale = 1.0f;
        uint32_t color = 0;
        bool active = false;

        bool IsWhole() const { return shown.size() >= length; }
    };
    struct Window
    {
        float fadeTime = 0.0f; // negative: fading out
        float elapsed = 0.0f;
        bool visible = false;
    };
    struct Quake
    {
        float strength = 0.0f;
        float duration = 0.0f; // 0: until the message is dismissed
        float elapsed = 0.0f;
        bool windowShake = false;
    };
    struct ColorChange
    {
        float duration = 0.0f;
        float elapsed = 0.0f;
        CkvrVector4 current;
        CkvrVector4 target;
        CkvrVector4 start;
    };
    struct CameraMove
    {
        CkvrVector3 startEye;
        CkvrVector3 startTarget;
        CkvrVector3 endEye;
        CkvrVector3 endTarget;
        CkvrVector3 eye;
        CkvrVector3 target;
        float duration = 0.0f;
        float elapsed = 0.0f;
    };
    struct Music
    {
        CSoundBuffer* sound = nullptr;
        int32_t channel = -1;
        bool rewind = false;
        int32_t volumeOffset = 0;
        int32_t fadeFrom = 0;  // the volume a fade-out starts at
        float fadeTime = 0.0f; // negative: fading out
        float fadeElapsed = 0.0f;
    };

    bool IsRunning() const { return m_chapter != nullptr; }
    const CStory* GetChapter() const { return m_chapter; }
    uint32_t GetCommandIndex() const { return m_commandIndex; }
    // The opcode of the last command run.
    uint32_t GetWaitKind() const { return m_waitKind; }
    uint32_t GetClock() const { return m_clock; }
    const std::vector<Picture>& GetPictures() const { return m_pictures; }
    const Message& GetMessage() const { return m_message; }
    const Window& GetWindow() const { return m_window; }
    const Quake& GetQuake() const { return m_quake; }
    const ColorChange& GetScreenColor() const { return m_screen; }
    const CameraMove& GetCameraMove() const { return m_cameraMove; }
    const Music& GetMusic() const { return m_music; }
    const CStage* GetStage() const { return m_stage.get(); }
    CSoundBuffer* GetVoice() const { return m_voice; }
    uint32_t GetLoadedPictures() const { return static_cast<uint32_t>(m_pictureFiles.size()); }
    uint32_t GetLoadedVoices() const { return static_cast<uint32_t>(m_voiceFiles.size()); }
    // The quake's offset this frame, in layout units along x.
    float QuakeOffset() const;

private:
    template <class T>
    struct LoadedFile
    {
        std::string name;
        std::unique_ptr<T> file;
    };

    void ClearChapter();
    void Interpret();
    // Each returns true when the script waits on it.
    bool RunCommand(const tag_TOLQSTORYTEMPLATE& command);
    bool ShowWindow(float fadeTime);
    bool HideWindow(float fadeTime);
    void ShowText(const tag_TOLQSTORYTEMPLATE& command);
    void HideText();
    bool RegisterImage(const tag_TOLQSTORYTEMPLATE& command);
    bool FreeImage(const tag_TOLQSTORYTEMPLATE& command);
    void ChangeFace(const tag_TOLQSTORYTEMPLATE& command);
    void ChangeColor(const tag_TOLQSTORYTEMPLATE& command);
    void SetStage(const char* name);
    void SetCamera(const tag_TOLQSTORYTEMPLATE& command);
    void StartQuake(const tag_TOLQSTORYTEMPLATE& command);
    bool ChangeScreenColor(const tag_TOLQSTORYTEMPLATE& command);
    void PlaySound(const tag_TOLQSTORYTEMPLATE& command);
    void PlayMusic(const tag_TOLQSTORYTEMPLATE& command);
    void StopMusicCommand(const tag_TOLQSTORYTEMPLATE& command);
    // The slot of an object index the chapter made, else null.
    Picture* Slot(uint8_t object);

    // A frame's steps; each resuming one returns true when the chapter
    // was left (the rest of the frame is skipped).
    void UpdatePictures(float seconds);
    bool UpdateMessage(float seconds, bool advance);
    bool UpdateWindow(float seconds);
    bool UpdateWait(float seconds);
    void UpdateMusic(float seconds);
    void UpdateQuake(float seconds);
    bool UpdateScreenColor(float seconds);
    void UpdateCamera(float seconds);
    void ApplyCamera();
    // Resumes the script when it stopped on opcode; true when the chapter
    // was left.
    bool ResumeAfter(uint32_t opcode);
    bool Left() const { return m_request != Request::None; }
    void TypeNextCharacter();
    void DismissMessage(bool stopVoice);

    CTexture* FindPicture(const char* name);
    CSoundBuffer* FindVoice(const char* name);
    void ReleaseStage();

    void RenderStage();
    void RenderPictures(const CMenuLayout& layout, float shift) const;
    void RenderPicture(const CMenuLayout& layout, const Picture& slot, float shift) const;
    void RenderWindow(const CMenuLayout& layout, float shift) const;
    void RenderText(const CMenuLayout& layout, float shift) const;

    Sources m_sources;
    const CStory* m_chapter = nullptr;
    uint32_t m_commandIndex = 0;
    uint32_t m_waitKind = 0;
    Request m_request = Request::None;
    const tag_TOLQSTORYTEMPLATE* m_requestCommand = nullptr;
    CSoundBuffer* m_voice = nullptr;
    int32_t m_voiceChannel = -1;
    CSoundBuffer* m_soundEffect = nullptr;
    int32_t m_soundChannel = -1;
    Music m_music;
    float m_waitElapsed = 0.0f;
    float m_waitDuration = 0.0f;

    std::unique_ptr<CStage> m_stage;
    CGameDataLists m_stageData;
    CFieldLists m_field;
    std::unique_ptr<CCamera> m_camera;
    std::unique_ptr<CListener> m_listener;
    ColorChange m_screen;
    Quake m_quake;
    Window m_window;
    CameraMove m_cameraMove;
    uint32_t m_clock = 0;
    Message m_message;
    std::vector<Picture> m_pictures;
    std::vector<LoadedFile<CTexture>> m_pictureFiles;
    std::vector<LoadedFile<CSoundBuffer>> m_voiceFiles;
};
