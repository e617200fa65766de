#pragma once

#include <cstdint>

// The message records that windows, dialogs and the main loop exchange.
// Ids keep their fixed numbers because code and saved data compare
// against them; only the ids that the program reads are defined.

class PlatformWindow;

using WindowHandle = PlatformWindow*;
using InstanceHandle = void*;
using WParam = uintptr_t;
using LParam = intptr_t;
using LResult = intptr_t;
using WindowProcedure = LResult (*)(WindowHandle window, uint32_t id, WParam wParam, LParam lParam);

struct Message
{
    WindowHandle window = nullptr;
    uint32_t id = 0;
    WParam wParam = 0;
    LParam lParam = 0;
};

enum MessageId : uint32_t
{
    MSG_NULL = 0x0000,
    MSG_DESTROY = 0x0002,
    MSG_ACTIVATE = 0x0006,
    MSG_SETFOCUS = 0x0007,
    MSG_KILLFOCUS = 0x0008,
    MSG_CLOSE = 0x0010,
    MSG_QUIT = 0x0012,
    MSG_NOTIFY = 0x004E,
    MSG_KEYDOWN = 0x0100,
    MSG_KEYUP = 0x0101,
    MSG_CHAR = 0x0102,
    MSG_SYSKEYDOWN = 0x0104,
    MSG_SYSKEYUP = 0x0105,
    MSG_INITDIALOG = 0x0110,
    MSG_COMMAND = 0x0111,
    MSG_SYSCOMMAND = 0x0112,
    MSG_HSCROLL = 0x0114,
    MSG_USER = 0x0400,
    // Sent by the graphics device just before it resets the device, and
    // after a successful reset.
    MSG_DEVICE_LOST = MSG_USER + 1,
    MSG_DEVICE_RESET = MSG_USER + 2,
};

// wParam values of MSG_SYSCOMMAND.
enum SystemCommand : uint32_t
{
    SYSCMD_MINIMIZE = 0xF020,
    SYSCMD_CLOSE = 0xF060,
    SYSCMD_RESTORE = 0xF120,
    SYSCMD_SCREENSAVE = 0xF140,
};

// Virtual-key codes that window procedures test.
enum VirtualKey : uint32_t
{
    VKEY_MENU = 0x12,
    VKEY_F4 = 0x73,
    VKEY_F10 = 0x79,
    VKEY_F12 = 0x7B,
};
