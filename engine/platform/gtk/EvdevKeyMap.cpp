#include "engine/platform/gtk/EvdevKeyMap.h"

#include "engine/platform/input/KeyCodes.h"

namespace
{
struct ExtendedKey
{
    uint16_t evdev;
    uint8_t code;
};

// Input-event codes of the extended keys (linux/input-event-codes.h).
constexpr ExtendedKey kExtendedKeys[] = {
    {96, KEY_NUMPADENTER}, {97, KEY_RCONTROL}, {98, KEY_DIVIDE}, {99, KEY_SYSRQ},
    {100, KEY_RMENU},      {102, KEY_HOME},    {103, KEY_UP},    {104, KEY_PRIOR},
    {105, KEY_LEFT},       {106, KEY_RIGHT},   {107, KEY_END},   {108, KEY_DOWN},
    {109, KEY_NEXT},       {110, KEY_INSERT},  {111, KEY_DELETE}, {119, KEY_PAUSE},
    {125, KEY_LWIN},       {126, KEY_RWIN},    {127, KEY_APPS},
    // Keys of the Japanese keyboard and beyond the original 88.
    {89, KEY_ABNT_C1},     {92, KEY_CONVERT},  {93, KEY_KANA},   {94, KEY_NOCONVERT},
    {117, KEY_NUMPADEQUALS}, {124, KEY_YEN},   {183, KEY_F13},   {184, KEY_F14},
    {185, KEY_F15},
};
}

uint8_t DirectInputKeyFromEvdev(uint32_t evdevCode)
{
    if (evdevCode >= 1 && evdevCode <= 88)
        return static_cast<uint8_t>(evdevCode);
    for (const ExtendedKey& key : kExtendedKeys)
    {
        if (key.evdev == evdevCode)
            return key.code;
    }
    return 0;
}
