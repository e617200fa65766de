#pragma once

// The play records, scene 7 (the title's ring item 6). Page 0 shows the
// totals over every character, pages 1 to n one selectable character each
// over its picture from "Data\RecordData.gpk"; every figure twice, offline
// and network. Keys page forward and back (the page cross-fades, the frame
// stays); past either end the screen leaves. It reads the records and
// changes nothing. Next: the title menu with this item in front.

#include "engine/core/CScene.h"
#include "game/app/GameConfigTypes.h"
#include "game/menu/CMenuFrame.h"
#include "game/menu/MenuFade.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CkvrPackFile;
class CFontTexture;
class CMenuPainter;
class CSoundBuffer;
class CTexture;

class CRecordScene : public CScene
{
public:
    // The states keep their numbers: the parameter block resumes in them.
    enum class RecordState : uint32_t
    {
        FadeIn = 0,
        Input = 1,
        FadeOut = 2,
        PageBack = 3,
        PageForward = 4,
        PageFadeIn = 5,
        Leave = 6,
        LeaveToTitle = 7,
    };
    enum class RecordHalf : uint8_t
    {
        Offline,
        Network,
    };
    // The tallies of a half that the pages show, by their word.
    enum RecordField : uint32_t
    {
        FIELD_BATTLES = 0,
        FIELD_SOLO_WINS = 1,
        FIELD_SOLO_LOSSES = 2,
        FIELD_SOLO_DRAWS = 3,
        FIELD_TEAM_WINS = 4,
        FIELD_TEAM_LOSSES = 5,
        FIELD_TEAM_DRAWS = 6,
        FIELD_MELEE_ATTACKS = 9,
        FIELD_SHOTS = 10,
        FIELD_MELEE_HITS = 11,
        FIELD_SHOT_HITS = 12,
        FIELD_DAMAGE_DEALT = 13,
        FIELD_DAMAGE_TAKEN = 14,
    };
    static constexpr int kPictureCount = 6;

    CRecordScene();
    ~CRecordScene() override;
    const char* GetClassName() const override { return "CRecordScene"; }

    int Init(uintptr_t parameter) override;
    int Update(uintptr_t argument) override;
    int Render(uintptr_t argument) override;
    uint32_t Release() override;

    RecordState GetState() const { return m_state; }
    uint32_t GetPage() const { return m_page; }
    float GetPageAlpha() const { return m_pageAlpha.Level(); }
    float GetForegroundAlpha() const { return m_foreground.Level(); }
    const CTexture* GetPicture() const { return m_picture.get(); }

    // The figures, over every record (or one), in 64 bits: long records
    // pass what 32 bits hold.
    using Records = std::vector<tag_TOLQBATTLERECORD>;
    static uint64_t SumField(const Records& records, RecordHalf half, RecordField field);
    static uint64_t GetBattleTotal(const Records& records, RecordHalf half);
    // Wins over solo and team wins, losses and draws, in whole percent
    // (truncated); 0 when nothing was fought.
    static uint32_t GetWinRate(const Records& records, RecordHalf half);
    static uint32_t GetCharacterWinRate(const tag_TOLQBATTLERECORD& record, RecordHalf half);
    // Hits over attacks (melee, or shooting), in whole percent; 0 when
    // nothing was attempted.
    static uint32_t GetHitRate(const Records& records, RecordHalf half, bool shooting);
    // "h:mm:ss" of milliseconds.
    static std::string FormatPlayTime(uint32_t milliseconds);

private:
    void EnterState(RecordState state, RecordState next = RecordState::LeaveToTitle);
    void UpdateInput();
    int TurnPage(uint32_t milliseconds);
    uint32_t LastPage() const;

    void DrawTotalsPage(const CMenuPainter& painter) const;
    void DrawCharacterPage(const CMenuPainter& painter) const;
    void DrawStripes(const CMenuPainter& painter, const float* tops, size_t count, float right) const;
    void DrawLabel(const CMenuPainter& painter, float y, const char* gameText) const;
    void DrawValue(const CMenuPainter& painter, float x, float y, const std::string& utf8) const;
    void DrawColumnHeads(const CMenuPainter& painter, float y) const;

    MenuFade m_background;
    MenuFade m_foreground;
    MenuFade m_pageAlpha;
    RecordState m_state = RecordState::FadeIn;
    RecordState m_next = RecordState::LeaveToTitle;
    uint32_t m_page = 0;
    uint32_t m_time = 0;
    CTexture* m_texture = nullptr;
    CFontTexture* m_font = nullptr;
    CSoundBuffer* m_music = nullptr;
    std::unique_ptr<CkvrPackFile> m_pack;
    bool m_packOpen = false;
    std::unique_ptr<CTexture> m_picture;
    CMenuFrame m_frame;
};
