#include "Host_Keys.h"

#include <xkbcommon/xkbcommon.h>

#include <cstring>

namespace {

// The keyboard state of the default layout (the XKB_DEFAULT_* environment or
// the system's default rules), made once.
xkb_state* DefaultState()
{
    static xkb_state* state = [] {
        xkb_state* made = nullptr;
        if (xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {
            if (xkb_keymap* keymap = xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS)) {
                made = xkb_state_new(keymap);
                xkb_keymap_unref(keymap);
            }
            xkb_context_unref(context);
        }
        return made;
    }();
    return state;
}

} // namespace

Boolean HostKeyName(UInt32 keyCode, char* name, int32_t size)
{
    if (!name || size <= 0)
        return false;
    name[0] = '\0';
    xkb_state* state = DefaultState();
    if (!state)
        return false;
    const xkb_keysym_t sym = xkb_state_key_get_one_sym(state, keyCode);
    if (sym == XKB_KEY_NoSymbol)
        return false;
    char buffer[64];
    if (xkb_keysym_get_name(sym, buffer, sizeof buffer) <= 0)
        return false;
    std::strncpy(name, buffer, size_t(size) - 1);
    name[size - 1] = '\0';
    return true;
}
