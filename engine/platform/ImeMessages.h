#pragma once

#include <cstdint>

// The input method's window messages and their flags, with their
// fixed numbers: the text editor and the application's window
// procedure compare against them.
enum ImeMessageId : uint32_t
{
    MSG_IME_STARTCOMPOSITION = 0x010D,
    MSG_IME_ENDCOMPOSITION = 0x010E,
    MSG_IME_COMPOSITION = 0x010F,
    MSG_IME_NOTIFY = 0x0282,
};

// lParam bits of MSG_IME_COMPOSITION: what changed. 0 ends the composition.
enum ImeCompositionFlag : uint32_t
{
    IME_COMPSTR = 0x0008,
    IME_COMPATTR = 0x0010,
    IME_CURSORPOS = 0x0080,
    IME_RESULTSTR = 0x0800,
};

// One attribute byte per byte of the composition string.
enum ImeAttribute : uint8_t
{
    IME_ATTR_INPUT = 0,
    IME_ATTR_TARGET_CONVERTED = 1,
};

// Virtual keys the text editor handles.
enum ImeEditKey : uint32_t
{
    VKEY_BACK = 0x08,
    VKEY_RETURN = 0x0D,
    VKEY_SHIFT = 0x10,
    VKEY_LEFT = 0x25,
    VKEY_RIGHT = 0x27,
    VKEY_DELETE = 0x2E,
};
