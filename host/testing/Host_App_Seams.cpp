#include "Host_App_Seams.h"

#include <QAbstractButton>
#include <QLabel>

#include <algorithm>
#include <cstring>

#include "Host_App_Internal.h"

int FixtureTimerCount()
{
    return int(gTimers.size());
}

int FixtureWindowCount()
{
    return int(gWindows.size());
}

Boolean FixtureWindowVisible(WindowRef window)
{
    return HostIsLiveWindow(window) && window->visible;
}

Boolean FixtureMenuItemChecked(MenuRef menu, uint16_t item)
{
    return menu && item < menu->checked.size() ? menu->checked[item] : 0;
}

Boolean FixtureMenuBarWindowVisible()
{
    return gMenuBarWindow && gMenuBarWindow->isVisible();
}

Boolean FixtureControlEnabled(ControlRef control)
{
    return control && reinterpret_cast<QWidget*>(control)->isEnabled();
}

void FixtureGetControlText(ControlRef control, char* text, int32_t size)
{
    if (!text || size <= 0)
        return;
    QWidget* widget = reinterpret_cast<QWidget*>(control);
    QString value;
    if (auto* label = qobject_cast<QLabel*>(widget))
        value = label->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        value = button->text();
    const QByteArray latin1 = value.toLatin1();
    const int32_t length = std::min<int32_t>(size - 1, int32_t(latin1.size()));
    std::memcpy(text, latin1.constData(), size_t(length));
    text[length] = '\0';
}

int FixtureBeepCount()
{
    return gBeeps;
}
