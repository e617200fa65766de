#pragma once

#include "game/menu/MenuKeys.h"

#include <cstdint>
#include <memory>

class CCamera;
class CCharacter;
struct CCharacterDefinition;
struct CClothesDefinition;
struct CWeaponDefinition;

// A fighter shown on a menu screen (the shop, the equipment screen): a
// character in the clothes and with the weapon given, standing at the
// origin facing the viewer (turned 8 degrees), animated at full speed each
// frame, and turned and moved by the camera keys while they are held: left
// and right turn it by 180 degrees a second, up and down move it towards
// and away from the viewer by one unit a second, at most 0.8 either way. It
// runs no battle: the animation, weapons, worn clothes and model transform
// are all it updates.
//
// The screens' cameras look at 0.7 above the floor, and their title bands
// cover what lies above about 1.3: a character taller than 1.2 is shown
// smaller, so that its head and hat stay in view.
class CFighterPreview
{
public:
    static constexpr float kTurnDegreesPerSecond = 180.0f;
    static constexpr float kMoveUnitsPerSecond = 1.0f;
    static constexpr float kMoveLimit = 0.8f;
    static constexpr float kShownYaw = 8.0f;
    // Fighters face +z; the screens' cameras look along +z at them.
    static constexpr float kFacingViewer = 180.0f;
    static constexpr float kFittedHeight = 1.2f;

    CFighterPreview();
    ~CFighterPreview();
    CFighterPreview(const CFighterPreview&) = delete;
    CFighterPreview& operator=(const CFighterPreview&) = delete;

    // Shows character (null: nothing) wearing clothes (nulls skipped; what
    // the character may not wear stays off) and holding weapon as its main
    // weapon (null: none), turned a little towards the viewer.
    void Show(const CCharacterDefinition* character, const CClothesDefinition* const* clothes, uint32_t clothesCount,
              const CWeaponDefinition* weapon);
    void Clear();

    // One frame of the keys' turning and moving, and the animation.
    void Step(const MenuKeys& keys, uint32_t milliseconds);
    // Through the game's render list, in 3D, seen by camera.
    void Render(CCamera* camera);

    CCharacter* Get() const { return m_character.get(); }

private:
    std::unique_ptr<CCharacter> m_character;
};
