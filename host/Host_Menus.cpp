// Menus: the menu bar "MainMenu" of the interface description in every
// window, the small window that carries it while no sprite window is shown,
// the check marks and the shortcuts.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>
#include <cstring>

#include "Host_App_Internal.h"
#include "ui_MainMenu.h"

MenuRec gMainMenu{500, std::vector<Boolean>(32, 0)};
bool gMenuBarInstalled = false;
QPointer<QMainWindow> gMenuBarWindow;

namespace {

// The window that carries the menu bar alone; closing it quits.
class MenuBarWindow : public QMainWindow {
protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        HostSendCommand(kHICommandQuit);
    }
    bool event(QEvent* e) override { return HostTakeShortcutOverride(e) || QMainWindow::event(e); }
    void keyPressEvent(QKeyEvent* event) override { HostHandleKey(nullptr, this, event, true); }
};

} // namespace

bool HostTriggerShortcut(QWidget* window, QKeyEvent* event)
{
    if (!window || event->modifiers() == Qt::NoModifier)
        return false;
    const QKeySequence pressed(event->keyCombination());
    for (QAction* action : window->findChildren<QAction*>()) {
        const QKeySequence keys = action->property("keys").value<QKeySequence>();
        if (keys.isEmpty() || action->property("commandID").isNull())
            continue;
        if (keys.matches(pressed) == QKeySequence::ExactMatch) {
            HostSendCommand(HostCodeProperty(action, "commandID"));
            return true;
        }
    }
    return false;
}

void HostInstallMenuBar(QMainWindow* window)
{
    Ui::MainMenu ui;
    ui.setupUi(window);
    QMenuBar* bar = window->menuBar();
    for (QAction* action : window->findChildren<QAction*>()) {
        if (action->property("commandID").isNull())
            continue;
        // Shortcuts are matched by the key handling, after the window's
        // handlers have seen the key as a raw key event; the menu only shows
        // them. Left to Qt, they would swallow the key press.
        const QKeySequence keys = action->shortcut();
        action->setShortcut(QKeySequence());
        action->setProperty("keys", keys);
        if (!keys.isEmpty())
            action->setText(action->text() + '\t' + keys.toString(QKeySequence::NativeText));
        const OSType command = HostCodeProperty(action, "commandID");
        QObject::connect(action, &QAction::triggered, action, [command, action] {
            const int item = action->property("menuItem").toInt();
            if (action->isCheckable())
                action->setChecked(item >= 0 && size_t(item) < gMainMenu.checked.size() &&
                                   gMainMenu.checked[size_t(item)]);
            HostSendCommand(command);
        });
    }
    for (QMenu* menu : bar->findChildren<QMenu*>()) {
        QObject::connect(menu, &QMenu::aboutToShow, menu, [menu] {
            HostSendMenuOpening();
            for (QAction* action : menu->actions()) {
                const int item = action->property("menuItem").toInt();
                if (action->isCheckable() && item > 0 && size_t(item) < gMainMenu.checked.size())
                    action->setChecked(gMainMenu.checked[size_t(item)]);
            }
        });
    }
}

void HostUpdateMenuBarWindow()
{
    if (!gMenuBarInstalled || !qApp || QCoreApplication::closingDown())
        return;
    const bool spriteWindowShown =
        std::any_of(gWindows.begin(), gWindows.end(), [](WindowRef w) { return w->spriteWindow && w->visible; });
    if (!gMenuBarWindow) {
        gMenuBarWindow = new MenuBarWindow;
        gMenuBarWindow->setWindowTitle("Stardrift");
        HostInstallMenuBar(gMenuBarWindow);
        gMenuBarWindow->resize(420, gMenuBarWindow->menuBar()->sizeHint().height() + 4);
    }
    if (spriteWindowShown) {
        gMenuBarWindow->hide();
    } else if (!gMenuBarWindow->isVisible()) {
        gMenuBarWindow->show();
        gMenuBarWindow->activateWindow();
    }
}

OSStatus SetMenuBarFromNib(IBNibRef nibRef, const char* name)
{
    if (!nibRef || !name || std::strcmp(name, "MainMenu") != 0)
        return -1;
    gMenuBarInstalled = true;
    return noErr;
}

MenuRef GetMenuHandle(int16_t menuID)
{
    return menuID == gMainMenu.id ? &gMainMenu : nullptr;
}

void CheckMenuItem(MenuRef menu, uint16_t item, Boolean checked)
{
    if (!menu || item >= menu->checked.size())
        return;
    menu->checked[item] = checked ? 1 : 0;
}
