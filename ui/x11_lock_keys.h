// Reads the Caps, Num and Scroll Lock indicators of an X11 display. Kept apart because Xlib's
// headers define macros that clash with Qt's.
#pragma once

struct LockKeyState
{
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// display is an Xlib Display*. False when the state cannot be read.
[[nodiscard]] bool readX11LockKeys(void* display, LockKeyState& state);
