#pragma once

// The end of a story route: the route's ending picture comes up in sepia,
// turns to colour while it zooms out, a title card fades in and out, the
// picture shrinks to the left while the staff roll scrolls up beside it,
// the picture grows back and the logo shows and fades. Then the story scene
// records the clear.
//
// Phases, one step a frame (Update): 0 brighten; 1 hold a second; 2 sepia
// to colour over 4 s, the zoom from 3 to 1; 3 the title card in; 4 hold a
// second; 5 the card out while the zoom falls to 0.55; 6 the roll, 60
// layout units a second (600 while held, once a story has been cleared);
// 7 the zoom back to 1; 8 the logo in over 4 s; 9 hold 3 s; 10 the logo
// and everything with it out; then Done.

#include "engine/core/CList.h"
#include "game/story/tag_TOLQSTORYENDINGSTAFF.h"

#include <array>
#include <cstdint>

class CBasicFilter;
class CFontTexture;
class CMenuLayout;
class CTexture;

class CStoryEnding
{
public:
    enum class Phase : uint32_t
    {
        Brighten = 0,
        Hold = 1,
        ToColor = 2,
        CardIn = 3,
        CardHold = 4,
        Shrink = 5,
        Roll = 6,
        Grow = 7,
        LogoIn = 8,
        LogoHold = 9,
        LogoOut = 10,
        Done = 11,
    };
    // The roll starts this far down and stops here, both plus the lines'
    // height; a line takes its size plus this gap.
    static constexpr float kRollStart = 1800.0f;
    static constexpr float kRollEnd = 600.0f;
    static constexpr float kLineGap = 4.0f;
    static constexpr float kRollSpeed = 60.0f;
    static constexpr float kFastRollSpeed = 600.0f;
    static constexpr float kStartZoom = 3.0f;
    static constexpr float kSideZoom = 0.55f;

    CStoryEnding() = default;
    ~CStoryEnding();
    CStoryEnding(const CStoryEnding&) = delete;
    CStoryEnding& operator=(const CStoryEnding&) = delete;

    // Reads the staff roll file (replacing the lines); false when it can't
    // be read: the roll is then empty.
    bool LoadStaffRoll(const char* path);
    void ReleaseStaffRoll();
    const CList<tag_TOLQSTORYENDINGSTAFF>& GetStaffRoll() const { return m_lines; }

    // From the first phase: the sepia picture up, the rest down. An empty
    // roll runs as long as the roll's start and end lie apart (20 s).
    void Start();
    // One frame. fast: the roll runs ten times faster this frame. True once
    // the last phase is over.
    bool Update(uint32_t milliseconds, bool fast);
    // title: two lines of the card (game texts); notice: the rights line.
    void Render(const CMenuLayout& layout, CTexture* picture, CBasicFilter* sepia, CFontTexture* font, CTexture* logo,
                const char* const title[2], const char* notice) const;

    Phase GetPhase() const { return m_phase; }
    uint32_t GetTimer() const { return m_timer; }
    float GetSepiaAlpha() const { return m_sepia; }
    float GetColorAlpha() const { return m_color; }
    float GetBrightness() const { return m_brightness; }
    float GetCardAlpha() const { return m_card; }
    float GetLogoAlpha() const { return m_logo; }
    float GetZoom() const { return m_zoom; }
    float GetRollPosition() const { return m_roll; }
    // Layout units of the roll: every line's size plus the gap.
    float GetRollHeight() const;
    // Where line i's middle stands on the layout screen (y).
    float LineY(uint32_t line) const;

private:
    // Update without the marks of the transitions it moves.
    bool Advance(uint32_t milliseconds, bool fast);
    // What the phases move from 0 to 1 or back: the brightness, the colour,
    // the card, the logo, and the zoom from the side to the whole picture.
    std::array<float, 5> Levels() const;
    void Next(Phase phase);
    // Counts the timer; true once past limit (the timer then restarts).
    bool Hold(uint32_t milliseconds, uint32_t limit);

    Phase m_phase = Phase::Done;
    uint32_t m_timer = 0;
    float m_sepia = 0.0f;
    float m_color = 0.0f;
    float m_brightness = 0.0f;
    float m_card = 0.0f;
    float m_logo = 0.0f;
    float m_zoom = kStartZoom;
    float m_roll = 0.0f;
    CList<tag_TOLQSTORYENDINGSTAFF> m_lines;
};
