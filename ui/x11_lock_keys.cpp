#include "ui/x11_lock_keys.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace {

bool indicator(Display* display, const char* name, bool& on)
{
    const Atom atom = XInternAtom(display, name, True);
    if (atom == 0)
        return false;
    int state = 0;
    if (!XkbGetNamedIndicator(display, atom, nullptr, &state, nullptr, nullptr))
        return false;
    on = state != 0;
    return true;
}

} // namespace

bool readX11LockKeys(void* display, LockKeyState& state)
{
    auto* x = static_cast<Display*>(display);
    if (x == nullptr)
        return false;
    bool ok = indicator(x, "Caps Lock", state.caps);
    ok = indicator(x, "Num Lock", state.num) && ok;
    (void)indicator(x, "Scroll Lock", state.scroll); // many keyboards have none
    return ok;
}
