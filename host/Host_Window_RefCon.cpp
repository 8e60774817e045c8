// Reference constants of windows, kept by the host beside the windows
// themselves so that any window handle, whatever layer made it, can carry one.
#include <unordered_map>

#include "Host_Window_Types.h"

namespace {

std::unordered_map<WindowRef, SRefCon>& RefCons()
{
    static std::unordered_map<WindowRef, SRefCon> refCons;
    return refCons;
}

} // namespace

void SetWRefCon(WindowRef window, SRefCon data)
{
    if (!window)
        return;
    if (data)
        RefCons()[window] = data;
    else
        RefCons().erase(window); // a disposed window sets 0 and is forgotten
}

SRefCon GetWRefCon(WindowRef window)
{
    const auto it = RefCons().find(window);
    return it == RefCons().end() ? nullptr : it->second;
}
