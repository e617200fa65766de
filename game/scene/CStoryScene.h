#pragma once

// The story, scene 1 (the title's ring item 0). The player turns a ring of
// route cards (one route per selectable character), sets the story
// difficulty, and chooses a route: its character's chapters then play one
// after another (CStoryChapterPlayer), with the battles the scripts set up
// fought in a CBattleScene, until a chapter ends the route: the ending and
// the staff roll (CStoryEnding) play, the clear is recorded, points are
// awarded, the play data is saved, and the title menu returns with its
// first item in front.
//
// States keep their numbers (the parameter block resumes in them):
// route selection -> chapter <-> start battle -> battle -> chapter ... ->
// ending -> title. Cancel on the route screen goes back to the title; a
// lost battle offers retry and the title.
//
// Route selection, frame by frame: fade in (0.2 s); choosing: left and
// right (or A and D, or the arrows) turn the ring, one route per 200 ms
// and as long again to settle; up and down change the difficulty; decide
// or a click on the front card chooses (its character's voice plays for 4 s
// before the fade out); cancel or the right mouse button leaves.

#include "engine/core/CScene.h"
#include "game/menu/CMenuFrame.h"
#include "game/menu/MenuFade.h"
#include "game/scene/CStoryChapterPlayer.h"
#include "game/scene/CStoryEnding.h"

#include <cstdint>
#include <memory>
#include <vector>

class CBasicFilter;
class CBattleScene;
class CkvrPackFile;
class CMenuPainter;
class CSoundBuffer;
class CStory;
class CTexture;
struct tag_TOLQBATTLESETTING;

class CStoryScene : public CScene
{
public:
    enum class StoryState : uint32_t
    {
        RouteSelect = 0,
        Chapter = 1,
        StartBattle = 2,
        Battle = 3,
        Ending = 4,
    };
    enum class RoutePhase : uint32_t
    {
        FadeIn = 0,
        Choosing = 1,
        FadeOut = 2,
        Start = 3,
        Back = 4,
    };
    // The ring at rest, turning to the previous or the next route, or
    // settling after a turn.
    enum class RouteSlide : uint32_t
    {
        None = 0,
        Left = 1,
        Right = 2,
        Settling = 3,
    };
    // Items the route screen reports.
    static constexpr int32_t kLeftArrowId = 1;
    static constexpr int32_t kRightArrowId = 2;
    static constexpr int32_t kSelectId = 3;

    static constexpr const char* kPicturePack = "Data\\StoryData.gpk";
    static constexpr const char* kVoicePack = "Data\\StoryVoice.gpk";
    static constexpr const char* kSheetName = "Texture\\Story_01.dds";
    static constexpr const char* kStaffRollFile = "Story\\StaffRoll.stt";
    // The story steps at a fixed 17 ms a frame.
    static constexpr uint32_t kFrameTime = 17;
    static constexpr uint32_t kSlideMilliseconds = 200;
    static constexpr uint32_t kSelectionVoiceMilliseconds = 4000;
    // Points a clear earns, by story difficulty.
    static constexpr uint32_t kClearPoints[5] = {0, 10, 30, 60, 200};
    // What each route's character says when the route is chosen.
    static constexpr const char* kSelectionVoices[8] = {
        "Vo_plum_select.ogg",    "Vo_lierre_select.ogg",  "Vo_noce_select.ogg",     "Vo_limone_select.ogg",
        "Vo_cyneria_select.ogg", "Vo_aprico_select.ogg",  "Vo_alptraum_select.ogg", "Vo_guide_select.ogg"};
    // The route's picture and ending picture, by route from 1.
    static constexpr const char* kRoutePictureName = "Texture\\Story_Chara%02u.dds";
    static constexpr const char* kEndingPictureName = "Texture\\Ending_%02u.dds";

    CStoryScene();
    ~CStoryScene() override;
    const char* GetClassName() const override { return "CStoryScene"; }

    // 0 when a pack, the sepia filter or a picture of the route screen is
    // missing; the scene then goes back to the title at its first update.
    int Init(uintptr_t parameter) override;
    int Update(uintptr_t argument) override;
    int Render(uintptr_t argument) override;
    uint32_t Release() override;

    // Plays a chapter from its first command, in the chapter state; false
    // for null, and the scene stays as it was.
    bool StartChapter(const CStory* chapter);

    StoryState GetState() const { return m_state; }
    RoutePhase GetPhase() const { return m_phase; }
    RouteSlide GetSlide() const { return m_slide; }
    uint32_t GetRoute() const { return m_route; }
    uint32_t GetRouteCount() const;
    // The settings' story difficulty, 0-4.
    uint32_t GetDifficulty() const;
    float GetInterfaceAlpha() const { return m_interface.Level(); }
    const CStoryChapterPlayer& GetChapterPlayer() const { return m_chapter; }
    const CStoryEnding& GetEnding() const { return m_ending; }
    CBattleScene* GetBattle() const { return m_battle.get(); }
    const CTexture* GetRoutePicture() const { return m_routePicture.get(); }
    // The items and sounds of the last route-screen update.
    const CMenuFrame& GetFrame() const { return m_frame; }
    // A card of the route ring as it is drawn: its middle in layout units,
    // its turn in degrees and its size against the front card's.
    struct RingCard
    {
        MenuPoint centre;
        float degrees = 0.0f;
        float scale = 1.0f;
        uint32_t route = 0;
    };
    // The ring's cards in drawing order, the far ones first.
    std::vector<RingCard> GetRingCards() const;

private:
    void EnterState(StoryState state);
    void EnterPhase(RoutePhase phase, RoutePhase next = RoutePhase::Back);
    int LeaveToTitle(uint32_t subState, float fade);

    // Route selection.
    int UpdateRouteSelect(uint32_t milliseconds);
    bool UpdateSlide(uint32_t milliseconds);
    void HandleRouteInput();
    void ChooseRoute();
    void ChangeDifficulty(int32_t step);
    int StartRoute();
    bool LoadRoutePictures();
    float SlideProgress() const;

    // Chapters, battles and the ending.
    int UpdateChapter();
    int TakeChapterRequest();
    int StartNamedChapter(const char* name);
    int StartBattle();
    int UpdateBattle(uintptr_t argument);
    int UpdateEnding();
    int FinishStory();

    void RenderRouteSelect(const CMenuPainter& painter) const;
    void RenderRouteFrame(const CMenuPainter& painter) const;
    void RenderRouteDetails(const CMenuPainter& painter) const;
    void RenderRing(const CMenuPainter& painter) const;
    void RenderArrows(const CMenuPainter& painter) const;

    StoryState m_state = StoryState::RouteSelect;
    RoutePhase m_phase = RoutePhase::FadeIn;
    RoutePhase m_nextPhase = RoutePhase::Back;
    RouteSlide m_slide = RouteSlide::None;
    MenuFade m_background;
    MenuFade m_interface;
    MenuFade m_pictureAlpha;
    uint32_t m_timer = 0;
    uint32_t m_selectionWait = 0;
    uint32_t m_route = 0;
    bool m_failed = false;
    CMenuFrame m_frame;

    std::unique_ptr<CkvrPackFile> m_pictures;
    std::unique_ptr<CkvrPackFile> m_voices;
    std::unique_ptr<CBasicFilter> m_sepia;
    std::unique_ptr<CTexture> m_sheet;
    std::unique_ptr<CTexture> m_routePicture;
    std::unique_ptr<CTexture> m_endingPicture;
    CTexture* m_logo = nullptr;
    CSoundBuffer* m_music = nullptr;

    CStoryChapterPlayer m_chapter;
    tag_TOLQBATTLESETTING* m_battleSetting = nullptr; // the chapter's, not owned
    std::unique_ptr<CBattleScene> m_battle;
    CStoryEnding m_ending;
};
