#include "Host_App.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "Host_Files.h"
#include "Host_Window_Surface.h"
#include "Host_GL_Format.h"
#include "ui_ConfigWindow.h"
#include "ui_MainMenu.h"
#include "ui_MainWindow.h"

namespace {

struct Handler {
    EventHandlerUPP proc;
    std::vector<EventTypeSpec> types;
    void* userData;
};

} // namespace

struct OpaqueEventTargetRef {
    std::vector<Handler> handlers;
};

struct OpaqueEventRef {
    OSType eventClass = 0;
    UInt32 kind = 0;
    bool hasCommand = false;
    HICommand command{};
    WindowRef window = nullptr;
    bool hasKey = false;
    UInt32 keyCode = 0;
    unsigned char charCode = 0;
};

struct MenuRec {
    int16_t id;
    std::vector<Boolean> checked;
};

struct OpaqueEventLoopTimerRef {
    QTimer* timer;
};

struct OpaqueIBNibRef {
    int unused;
};

class SurfaceWindow;
class HostMainWindow;

struct OpaqueWindowPtr {
    QPointer<HostMainWindow> main;
    SurfaceWindow* surface = nullptr; // owned by its container inside main
    OpaqueEventTargetRef target;
    bool spriteWindow = false;        // a "MainWindow" with a GL surface
    bool visible = false;
    bool drawPending = false;
    QTimer* resizeDone = nullptr;     // fires once after the last resize step
};

namespace {

OpaqueEventTargetRef gApplicationTarget;
std::vector<WindowRef> gWindows;     // every live window
std::vector<WindowRef> gFrontToBack; // shown windows, front first
MenuRec gMainMenu{500, std::vector<Boolean>(32, 0)};
bool gMenuBarInstalled = false;
std::vector<EventLoopTimerRef> gTimers;
CGrafPtr gCurrentPort = nullptr;
bool gQuitRequested = false;
QPointer<QMainWindow> gMenuBarWindow;

bool IsLive(WindowRef window)
{
    return window && std::find(gWindows.begin(), gWindows.end(), window) != gWindows.end();
}

void BringToFront(WindowRef window)
{
    gFrontToBack.erase(std::remove(gFrontToBack.begin(), gFrontToBack.end(), window), gFrontToBack.end());
    gFrontToBack.insert(gFrontToBack.begin(), window);
}

void UpdateMenuBarWindow();
void InstallMenuBar(QMainWindow* window);

bool Matches(const Handler& handler, const OpaqueEventRef& event)
{
    for (const EventTypeSpec& spec : handler.types)
        if (spec.eventClass == event.eventClass && spec.eventKind == event.kind)
            return true;
    return false;
}

// Hands the event to the target's handlers in order until one handles it.
// The handlers are copied first: one of them may dispose of the window that
// owns the target.
OSStatus Dispatch(OpaqueEventTargetRef* target, WindowRef owner, OpaqueEventRef* event)
{
    const std::vector<Handler> handlers = target->handlers;
    for (const Handler& handler : handlers) {
        if (owner && !IsLive(owner))
            break;
        if (!Matches(handler, *event))
            continue;
        const OSStatus result = handler.proc(nullptr, event, handler.userData);
        if (result != eventNotHandledErr)
            return result;
    }
    return eventNotHandledErr;
}

OSType CommandOfAction(const QObject* action)
{
    const QByteArray code = action->property("commandID").toString().toLatin1().leftJustified(4, ' ');
    return GetBigEndian32(code.constData());
}

// Triggers the menu command whose shortcut the key press is. True when one matched.
bool TriggerShortcut(QWidget* window, QKeyEvent* event)
{
    if (!window || event->modifiers() == Qt::NoModifier)
        return false;
    const QKeySequence pressed(event->keyCombination());
    for (QAction* action : window->findChildren<QAction*>()) {
        const QKeySequence keys = action->property("keys").value<QKeySequence>();
        if (keys.isEmpty() || action->property("commandID").isNull())
            continue;
        if (keys.matches(pressed) == QKeySequence::ExactMatch) {
            HostSendCommand(CommandOfAction(action));
            return true;
        }
    }
    return false;
}

// A key press or release in a window: first the window's own handlers as a
// raw key event, then, if they left it unhandled, the menus' shortcuts.
bool HandleKey(WindowRef window, QWidget* menuOwner, QKeyEvent* event, bool down)
{
    if (event->isAutoRepeat())
        return true;
    OSStatus result = eventNotHandledErr;
    if (window) {
        const QByteArray text = event->text().toLatin1();
        const unsigned char charCode = text.size() == 1 ? static_cast<unsigned char>(text[0]) : 0;
        result = HostSendKeyEvent(window, down, event->nativeScanCode(), charCode);
    }
    if (down && result == eventNotHandledErr)
        return TriggerShortcut(menuOwner, event);
    return true;
}

// A key that a window of controls left to the system: Return, Enter and
// Escape press its OK button, Alt with a button's underlined letter presses
// that button. Its buttons take no keyboard focus (every key may be one to
// bind), so this is how the window is used from the keyboard.
bool PressButtonForKey(QWidget* window, QKeyEvent* event)
{
    const int key = event->key();
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    const bool closing = plain && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape);
    const QKeySequence pressed(event->keyCombination());
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!button->isVisible() || !button->isEnabled())
            continue;
        const bool chosen = closing ? button->property("commandID").toString() == QLatin1String("ok  ")
                                    : QKeySequence::mnemonic(button->text()).matches(pressed) == QKeySequence::ExactMatch;
        if (chosen) {
            button->click();
            return true;
        }
    }
    return false;
}

} // namespace

// The GL surface of a sprite window.
class SurfaceWindow : public QWindow {
public:
    explicit SurfaceWindow(WindowRef owner) : owner_(owner)
    {
        setSurfaceType(QSurface::OpenGLSurface);
        setFormat(HostGLSurfaceFormat());
    }
    WindowRef owner_;

protected:
    void exposeEvent(QExposeEvent*) override
    {
        if (isExposed() && IsLive(owner_))
            HostSendWindowEvent(owner_, kEventWindowDrawContent);
    }
    void resizeEvent(QResizeEvent*) override
    {
        if (!IsLive(owner_))
            return;
        HostSendWindowEvent(owner_, kEventWindowBoundsChanged);
        if (IsLive(owner_) && owner_->resizeDone)
            owner_->resizeDone->start();
    }
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent*) override
    {
        if (IsLive(owner_))
            BringToFront(owner_);
    }
    bool event(QEvent* e) override
    {
        // Every key is the window's first, as a raw key event; menu
        // shortcuts are matched after its handlers (HandleKey).
        if (e->type() == QEvent::ShortcutOverride) {
            e->accept();
            return true;
        }
        return QWindow::event(e);
    }
};

class HostMainWindow : public QMainWindow {
public:
    explicit HostMainWindow(WindowRef owner) : owner_(owner) {}
    WindowRef owner_;

protected:
    void showEvent(QShowEvent*) override
    {
        if (IsLive(owner_))
            HostSendWindowEvent(owner_, kEventWindowShown);
    }
    void closeEvent(QCloseEvent* event) override
    {
        // The close box asks; the handlers and the standard handling decide.
        event->ignore();
        if (IsLive(owner_))
            HostSendWindowEvent(owner_, kEventWindowClose);
    }
    void changeEvent(QEvent* event) override
    {
        QMainWindow::changeEvent(event);
        if (!IsLive(owner_))
            return;
        if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
            BringToFront(owner_);
            HostSendWindowEvent(owner_, kEventWindowActivated);
        } else if (event->type() == QEvent::WindowStateChange) {
            HostSendWindowEvent(owner_, kEventWindowZoomed);
        }
    }
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::ShortcutOverride) {
            e->accept();
            return true;
        }
        return QMainWindow::event(e);
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!HandleKey(owner_, this, event, true) && IsLive(owner_) && !owner_->spriteWindow)
            PressButtonForKey(this, event);
    }
    void keyReleaseEvent(QKeyEvent* event) override { HandleKey(owner_, this, event, false); }
    void mousePressEvent(QMouseEvent*) override
    {
        if (IsLive(owner_))
            BringToFront(owner_);
    }
};

void SurfaceWindow::keyPressEvent(QKeyEvent* event)
{
    HandleKey(owner_, IsLive(owner_) ? owner_->main.data() : nullptr, event, true);
}

void SurfaceWindow::keyReleaseEvent(QKeyEvent* event)
{
    HandleKey(owner_, IsLive(owner_) ? owner_->main.data() : nullptr, event, false);
}

namespace {

// The window that carries the menu bar alone; closing it quits.
class MenuBarWindow : public QMainWindow {
protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        HostSendCommand(kHICommandQuit);
    }
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::ShortcutOverride) {
            e->accept();
            return true;
        }
        return QMainWindow::event(e);
    }
    void keyPressEvent(QKeyEvent* event) override { HandleKey(nullptr, this, event, true); }
};

void InstallMenuBar(QMainWindow* window)
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
        const OSType command = CommandOfAction(action);
        QObject::connect(action, &QAction::triggered, action, [command, action] {
            const int item = action->property("menuItem").toInt();
            if (action->isCheckable())
                action->setChecked(item >= 0 && size_t(item) < gMainMenu.checked.size() && gMainMenu.checked[size_t(item)]);
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

void UpdateMenuBarWindow()
{
    if (!gMenuBarInstalled || !qApp || QCoreApplication::closingDown())
        return;
    const bool spriteWindowShown =
        std::any_of(gWindows.begin(), gWindows.end(), [](WindowRef w) { return w->spriteWindow && w->visible; });
    if (!gMenuBarWindow) {
        gMenuBarWindow = new MenuBarWindow;
        gMenuBarWindow->setWindowTitle("Stardrift");
        InstallMenuBar(gMenuBarWindow);
        gMenuBarWindow->resize(420, gMenuBarWindow->menuBar()->sizeHint().height() + 4);
    }
    if (spriteWindowShown) {
        gMenuBarWindow->hide();
    } else if (!gMenuBarWindow->isVisible()) {
        gMenuBarWindow->show();
        gMenuBarWindow->activateWindow();
    }
}

void SetVisible(WindowRef window, bool visible)
{
    window->visible = visible;
    if (visible)
        BringToFront(window);
    else
        gFrontToBack.erase(std::remove(gFrontToBack.begin(), gFrontToBack.end(), window), gFrontToBack.end());
}

QString gDialogFolder;

bool FileDialogChooser(std::string* chosenPath)
{
    const QString path = QFileDialog::getOpenFileName(nullptr, "Open Sprite File", gDialogFolder,
                                                      "Sprite files (*.sprites *.txt);;All files (*)");
    // Without a window manager nobody gives the focus back after the dialog.
    if (gMenuBarWindow && gMenuBarWindow->isVisible())
        gMenuBarWindow->activateWindow();
    if (path.isEmpty())
        return false;
    *chosenPath = QFile::encodeName(path).toStdString(); // the name's own bytes
    return true;
}

} // namespace

// ---- events ------------------------------------------------------------------

EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr proc)
{
    return proc;
}

OSType GetEventClass(EventRef event)
{
    return event ? event->eventClass : 0;
}

UInt32 GetEventKind(EventRef event)
{
    return event ? event->kind : 0;
}

OSStatus GetEventParameter(EventRef event, OSType name, OSType desiredType, OSType* actualType, size_t bufferSize,
                           size_t* actualSize, void* data)
{
    if (!event)
        return paramErr;
    const void* source = nullptr;
    size_t size = 0;
    UInt32 keyCode = event->keyCode;
    if (name == kEventParamDirectObject && desiredType == typeHICommand && event->hasCommand) {
        source = &event->command;
        size = sizeof(HICommand);
    } else if (name == kEventParamDirectObject && desiredType == typeWindowRef && event->window) {
        source = &event->window;
        size = sizeof(WindowRef);
    } else if (name == kEventParamKeyCode && desiredType == typeUInt32 && event->hasKey) {
        source = &keyCode;
        size = sizeof keyCode;
    } else if (name == kEventParamKeyMacCharCodes && desiredType == typeChar && event->hasKey) {
        source = &event->charCode;
        size = 1;
    } else {
        return eventParameterNotFoundErr;
    }
    if (bufferSize < size || !data)
        return paramErr;
    std::memcpy(data, source, size);
    if (actualType)
        *actualType = desiredType;
    if (actualSize)
        *actualSize = size;
    return noErr;
}

EventTargetRef GetApplicationEventTarget()
{
    return &gApplicationTarget;
}

EventTargetRef GetWindowEventTarget(WindowRef window)
{
    return IsLive(window) ? &window->target : nullptr;
}

OSStatus InstallEventHandler(EventTargetRef target, EventHandlerUPP handler, UInt32 numTypes,
                             const EventTypeSpec* list, void* userData, EventHandlerRef* outRef)
{
    if (!target || !handler || (numTypes && !list))
        return paramErr;
    target->handlers.push_back(Handler{handler, std::vector<EventTypeSpec>(list, list + numTypes), userData});
    if (outRef)
        *outRef = reinterpret_cast<EventHandlerRef>(target);
    return noErr;
}

OSStatus HostSendCommand(OSType commandID)
{
    OpaqueEventRef event;
    event.eventClass = kEventClassCommand;
    event.kind = kEventCommandProcess;
    event.hasCommand = true;
    event.command.commandID = commandID;
    event.command.menu.menuRef = &gMainMenu;
    OSStatus result = eventNotHandledErr;
    if (WindowRef front = FrontWindow())
        result = Dispatch(&front->target, front, &event);
    if (result == eventNotHandledErr)
        result = Dispatch(&gApplicationTarget, nullptr, &event);
    if (result == eventNotHandledErr && commandID == kHICommandQuit)
        QuitApplicationEventLoop();
    return result;
}

OSStatus HostSendWindowCommand(WindowRef window, OSType commandID)
{
    if (!IsLive(window))
        return HostSendCommand(commandID);
    OpaqueEventRef event;
    event.eventClass = kEventClassCommand;
    event.kind = kEventCommandProcess;
    event.hasCommand = true;
    event.command.commandID = commandID;
    OSStatus result = Dispatch(&window->target, window, &event);
    if (result == eventNotHandledErr)
        result = Dispatch(&gApplicationTarget, nullptr, &event);
    if (result == eventNotHandledErr && commandID == kHICommandQuit)
        QuitApplicationEventLoop();
    return result;
}

OSStatus HostSendMenuOpening()
{
    OpaqueEventRef event;
    event.eventClass = kEventClassMenu;
    event.kind = kEventMenuOpening;
    return Dispatch(&gApplicationTarget, nullptr, &event);
}

OSStatus HostSendWindowEvent(WindowRef window, UInt32 kind)
{
    if (!IsLive(window))
        return paramErr;
    OpaqueEventRef event;
    event.eventClass = kEventClassWindow;
    event.kind = kind;
    event.window = window;
    const OSStatus result = Dispatch(&window->target, window, &event);
    if (result == eventNotHandledErr && kind == kEventWindowClose && IsLive(window))
        DisposeWindow(window);
    return result;
}

OSStatus HostSendKeyEvent(WindowRef window, bool down, UInt32 keyCode, unsigned char charCode)
{
    if (!IsLive(window))
        return paramErr;
    OpaqueEventRef event;
    event.eventClass = kEventClassKeyboard;
    event.kind = down ? kEventRawKeyDown : kEventRawKeyUp;
    event.window = window;
    event.hasKey = true;
    event.keyCode = keyCode;
    event.charCode = charCode;
    return Dispatch(&window->target, window, &event);
}

// ---- event loop and timers ---------------------------------------------------

EventLoopRef GetCurrentEventLoop()
{
    static int loop;
    return reinterpret_cast<EventLoopRef>(&loop);
}

EventLoopTimerUPP NewEventLoopTimerUPP(EventLoopTimerProcPtr proc)
{
    return proc;
}

OSStatus InstallEventLoopTimer(EventLoopRef, EventTimerInterval fireDelay, EventTimerInterval interval,
                               EventLoopTimerUPP proc, void* userData, EventLoopTimerRef* outTimer)
{
    if (!proc || !outTimer || interval < 0 || fireDelay < 0)
        return paramErr;
    auto* ref = new OpaqueEventLoopTimerRef{new QTimer};
    const int intervalMs = interval < 0.001 ? 0 : int(interval * 1000.0 + 0.5);
    ref->timer->setInterval(intervalMs);
    QObject::connect(ref->timer, &QTimer::timeout, ref->timer, [ref, proc, userData] { proc(ref, userData); });
    const int delayMs = int(fireDelay * 1000.0 + 0.5);
    if (delayMs > 0) {
        QTimer* timer = ref->timer;
        QTimer::singleShot(delayMs, timer, [timer] { timer->start(); });
    } else {
        ref->timer->start();
    }
    gTimers.push_back(ref);
    *outTimer = ref;
    return noErr;
}

OSStatus RemoveEventLoopTimer(EventLoopTimerRef timer)
{
    const auto it = std::find(gTimers.begin(), gTimers.end(), timer);
    if (it == gTimers.end())
        return paramErr;
    gTimers.erase(it);
    timer->timer->stop();
    timer->timer->deleteLater(); // it may be the one whose tick is running
    delete timer;
    return noErr;
}

int HostTimerCount()
{
    return int(gTimers.size());
}

namespace {

std::atomic<bool> gInEventLoop = false;
void (*gLostDisplayProc)() = nullptr;
std::once_flag gLostDisplayOnce;

// Runs the proc once; a thread that comes here meanwhile (more than one of
// Qt's may find the connection broken) waits until it has run, so that it
// cannot end the process halfway through.
void RunLostDisplayProc()
{
    if (gInEventLoop && gLostDisplayProc)
        std::call_once(gLostDisplayOnce, gLostDisplayProc);
}

// Qt's Wayland client says this and then ends the process with _exit(),
// which runs no exit handlers: the proc runs when it is said.
QtMessageHandler gPreviousMessageHandler = nullptr;
void WatchForLostDisplay(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("The Wayland connection")))
        RunLostDisplayProc();
    if (gPreviousMessageHandler)
        gPreviousMessageHandler(type, context, message);
}

constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};
bool gSignalCaught[std::size(kQuitSignals)] = {};
int gSignalPipe[2] = {-1, -1};

// Only what is safe in a signal handler: the next signal gets its standard
// action back, and a byte tells the event loop.
void OnQuitSignal(int)
{
    const int savedErrno = errno;
    struct sigaction standard{};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    for (size_t i = 0; i < std::size(kQuitSignals); ++i)
        if (gSignalCaught[i])
            sigaction(kQuitSignals[i], &standard, nullptr);
    const char byte = 'q';
    (void)!write(gSignalPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

void HostQuitOnSignals()
{
    if (gSignalPipe[0] >= 0 || pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier] {
        char bytes[16];
        while (read(gSignalPipe[0], bytes, sizeof bytes) > 0) {
        }
        notifier->setEnabled(false);
        HostSendCommand(kHICommandQuit);
        QuitApplicationEventLoop();
    });
    struct sigaction quit{};
    quit.sa_handler = OnQuitSignal;
    sigemptyset(&quit.sa_mask);
    for (int signal : kQuitSignals)
        sigaddset(&quit.sa_mask, signal);
    quit.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kQuitSignals); ++i) {
        struct sigaction previous{};
        sigaction(kQuitSignals[i], nullptr, &previous);
        if (previous.sa_handler == SIG_IGN) // as under nohup
            continue;
        gSignalCaught[i] = true;
        sigaction(kQuitSignals[i], &quit, nullptr);
    }
}

void HostSetLostDisplayProc(void (*proc)())
{
    if (!gLostDisplayProc) {
        std::atexit(RunLostDisplayProc);
        gPreviousMessageHandler = qInstallMessageHandler(WatchForLostDisplay);
    }
    gLostDisplayProc = proc;
}

void RunApplicationEventLoop()
{
    if (gQuitRequested)
        return;
    QApplication::setQuitOnLastWindowClosed(false);
    UpdateMenuBarWindow();
    gInEventLoop = true;
    QApplication::exec();
    gInEventLoop = false;
}

void QuitApplicationEventLoop()
{
    gQuitRequested = true;
    QCoreApplication::quit();
}

// ---- interface description, menus and windows ------------------------------

OSStatus CreateNibReference(const char* name, IBNibRef* outNibRef)
{
    if (!outNibRef)
        return paramErr;
    *outNibRef = nullptr;
    if (!name || std::strcmp(name, "main") != 0)
        return -1; // no such interface description
    *outNibRef = new OpaqueIBNibRef{0};
    return noErr;
}

OSStatus SetMenuBarFromNib(IBNibRef nibRef, const char* name)
{
    if (!nibRef || !name || std::strcmp(name, "MainMenu") != 0)
        return -1;
    gMenuBarInstalled = true;
    return noErr;
}

OSStatus CreateWindowFromNib(IBNibRef nibRef, const char* name, WindowRef* outWindow)
{
    if (!outWindow)
        return paramErr;
    *outWindow = nullptr;
    if (!nibRef || !name)
        return paramErr;
    const bool sprite = std::strcmp(name, "MainWindow") == 0;
    if (!sprite && std::strcmp(name, "ConfigWindow") != 0)
        return -1;
    auto* window = new OpaqueWindowPtr;
    window->spriteWindow = sprite;
    window->main = new HostMainWindow(window);
    if (gMenuBarInstalled)
        InstallMenuBar(window->main);
    if (sprite) {
        Ui::MainWindow ui;
        ui.setupUi(window->main);
        window->surface = new SurfaceWindow(window);
        QWidget* container = QWidget::createWindowContainer(window->surface, window->main);
        container->setFocusPolicy(Qt::StrongFocus);
        container->setMinimumSize(64, 48);
        delete window->main->centralWidget();
        window->main->setCentralWidget(container);
        window->resizeDone = new QTimer(window->main);
        window->resizeDone->setSingleShot(true);
        window->resizeDone->setInterval(200);
        QObject::connect(window->resizeDone, &QTimer::timeout, window->main,
                         [window] { HostSendWindowEvent(window, kEventWindowResizeCompleted); });
    } else {
        Ui::ConfigWindow ui;
        ui.setupUi(window->main);
        // Every key goes to the window's handlers (key capture), so no
        // control takes the keyboard focus; the radio buttons are set by
        // the handlers, not by Qt's exclusivity.
        for (QAbstractButton* button : window->main->findChildren<QAbstractButton*>()) {
            button->setFocusPolicy(Qt::NoFocus);
            button->setAutoExclusive(false);
            if (button->property("commandID").isNull())
                continue;
            const OSType command = CommandOfAction(button);
            QObject::connect(button, &QAbstractButton::clicked, window->main,
                             [window, command] { HostSendWindowCommand(window, command); });
        }
    }
    gWindows.push_back(window);
    *outWindow = window;
    return noErr;
}

void DisposeNibReference(IBNibRef nibRef)
{
    delete nibRef;
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

Boolean HostMenuItemChecked(MenuRef menu, uint16_t item)
{
    return menu && item < menu->checked.size() ? menu->checked[item] : 0;
}

void ShowWindow(WindowRef window)
{
    if (!IsLive(window))
        return;
    SetVisible(window, true);
    UpdateMenuBarWindow();
    window->main->show(); // delivers kEventWindowShown
    if (IsLive(window)) {
        window->main->raise();
        window->main->activateWindow();
    }
}

void HideWindow(WindowRef window)
{
    if (!IsLive(window))
        return;
    SetVisible(window, false);
    window->main->hide();
    UpdateMenuBarWindow();
}

void DisposeWindow(WindowRef window)
{
    if (!IsLive(window))
        return;
    gWindows.erase(std::remove(gWindows.begin(), gWindows.end(), window), gWindows.end());
    SetVisible(window, false);
    SetWRefCon(window, nullptr);
    if (gCurrentPort == GetWindowPort(window))
        gCurrentPort = nullptr;
    if (window->main) {
        window->main->hide();
        window->main->deleteLater(); // Qt may still be inside one of its events
    }
    delete window;
    UpdateMenuBarWindow();
}

void SetWTitle(WindowRef window, const char* title)
{
    if (IsLive(window) && title)
        window->main->setWindowTitle(QString::fromUtf8(title));
}

WindowRef FrontWindow()
{
    return gFrontToBack.empty() ? nullptr : gFrontToBack.front();
}

OSStatus SetUserFocusWindow(WindowRef window)
{
    if (!IsLive(window))
        return paramErr;
    BringToFront(window);
    window->main->activateWindow();
    if (window->surface)
        window->surface->requestActivate();
    return noErr;
}

void SizeWindow(WindowRef window, int16_t w, int16_t h, Boolean)
{
    if (!IsLive(window) || w <= 0 || h <= 0)
        return;
    QWidget* content = window->main->centralWidget();
    const qreal ratio = window->main->devicePixelRatio();
    const QSize wanted(int(w / ratio + 0.5), int(h / ratio + 0.5));
    const QSize extra = content ? window->main->size() - content->size() : QSize(0, 0);
    window->main->resize(wanted + extra);
}

Boolean IsWindowVisible(WindowRef window)
{
    return IsLive(window) && window->visible;
}

int HostWindowCount()
{
    return int(gWindows.size());
}

Boolean HostMenuBarWindowVisible()
{
    return gMenuBarWindow && gMenuBarWindow->isVisible();
}

QWindow* HostWindowSurface(WindowRef window)
{
    return IsLive(window) ? window->surface : nullptr;
}

Rect* GetWindowPortBounds(WindowRef window, Rect* bounds)
{
    if (!bounds)
        return nullptr;
    *bounds = Rect{0, 0, 0, 0};
    if (!IsLive(window))
        return bounds;
    QSize size;
    qreal ratio = 1.0;
    if (window->surface) {
        size = window->surface->size();
        ratio = window->surface->devicePixelRatio();
    } else {
        size = window->main->size();
        ratio = window->main->devicePixelRatio();
    }
    bounds->bottom = int16_t(std::min(32767, int(size.height() * ratio + 0.5)));
    bounds->right = int16_t(std::min(32767, int(size.width() * ratio + 0.5)));
    return bounds;
}

OSStatus InvalWindowRect(WindowRef window, const Rect*)
{
    if (!IsLive(window))
        return paramErr;
    if (window->drawPending)
        return noErr;
    window->drawPending = true;
    QTimer::singleShot(0, qApp, [window] {
        if (!IsLive(window))
            return;
        window->drawPending = false;
        HostSendWindowEvent(window, kEventWindowDrawContent);
    });
    return noErr;
}

CGrafPtr GetWindowPort(WindowRef window)
{
    return reinterpret_cast<CGrafPtr>(window);
}

void GetPort(GrafPtr* port)
{
    if (port)
        *port = gCurrentPort;
}

void SetPort(GrafPtr port)
{
    gCurrentPort = port;
}

void SetPortWindowPort(WindowRef window)
{
    gCurrentPort = GetWindowPort(window);
}

void LocalToGlobal(Point* point)
{
    WindowRef window = reinterpret_cast<WindowRef>(gCurrentPort);
    if (!point || !IsLive(window))
        return;
    QWindow* surface = window->surface ? window->surface : window->main->windowHandle();
    if (!surface)
        return;
    const qreal ratio = surface->devicePixelRatio();
    const QPoint global = surface->mapToGlobal(QPoint(int(point->h / ratio), int(point->v / ratio)));
    point->h = int16_t(global.x() * ratio);
    point->v = int16_t(global.y() * ratio);
}

namespace {
int gBeeps = 0;
}

void SysBeep(int16_t)
{
    ++gBeeps;
    QApplication::beep();
}

int HostBeepCount()
{
    return gBeeps;
}

void HostUseFileDialog()
{
    HostSetFileChooser(FileDialogChooser);
}

void HostSetFileDialogFolder(const char* folder)
{
    gDialogFolder = QFile::decodeName(folder ? folder : "");
}

// ---- controls ----------------------------------------------------------------

namespace {

QWidget* Widget(ControlRef control)
{
    return reinterpret_cast<QWidget*>(control);
}

OSType SignatureOf(const QWidget* widget)
{
    const QByteArray code = widget->property("signature").toString().toLatin1().leftJustified(4, ' ');
    return GetBigEndian32(code.constData());
}

} // namespace

OSStatus GetControlByID(WindowRef window, const ControlID* inID, ControlRef* outControl)
{
    if (!outControl)
        return paramErr;
    *outControl = nullptr;
    if (!IsLive(window) || !inID)
        return paramErr;
    for (QWidget* widget : window->main->findChildren<QWidget*>()) {
        if (widget->property("signature").isNull())
            continue;
        if (SignatureOf(widget) == inID->signature && widget->property("number").toInt() == inID->id) {
            *outControl = reinterpret_cast<ControlRef>(widget);
            return noErr;
        }
    }
    return -30584; // errUnknownControl
}

void SetControlValue(ControlRef control, SInt32 value)
{
    if (auto* button = qobject_cast<QAbstractButton*>(Widget(control)))
        button->setChecked(value != 0);
}

SInt32 GetControlValue(ControlRef control)
{
    auto* button = qobject_cast<QAbstractButton*>(Widget(control));
    return button && button->isChecked() ? 1 : 0;
}

OSStatus DisableControl(ControlRef control)
{
    if (!control)
        return paramErr;
    Widget(control)->setEnabled(false);
    return noErr;
}

OSStatus EnableControl(ControlRef control)
{
    if (!control)
        return paramErr;
    Widget(control)->setEnabled(true);
    return noErr;
}

void HostDiscardPendingInput()
{
    // Every pending event is delivered, the keys and clicks into a filter
    // that keeps them from their windows.
    struct InputEater : QObject {
        bool eventFilter(QObject*, QEvent* event) override
        {
            switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
                return true;
            default:
                return false;
            }
        }
    } eater;
    qApp->installEventFilter(&eater);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    qApp->removeEventFilter(&eater);
}

Boolean IsControlEnabled(ControlRef control)
{
    return control && Widget(control)->isEnabled();
}

OSStatus SetControlData(ControlRef control, int16_t part, OSType tag, int32_t size, const void* data)
{
    auto* label = qobject_cast<QLabel*>(control ? Widget(control) : nullptr);
    if (!label || part != kControlEntireControl || tag != kControlStaticTextTextTag || size < 0 || (!data && size))
        return paramErr;
    label->setText(QString::fromLatin1(static_cast<const char*>(data), size));
    return noErr;
}

void HostGetControlText(ControlRef control, char* text, int32_t size)
{
    if (!text || size <= 0)
        return;
    QString value;
    if (auto* label = qobject_cast<QLabel*>(control ? Widget(control) : nullptr))
        value = label->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(control ? Widget(control) : nullptr))
        value = button->text();
    const QByteArray latin1 = value.toLatin1();
    const int32_t length = std::min<int32_t>(size - 1, int32_t(latin1.size()));
    std::memcpy(text, latin1.constData(), size_t(length));
    text[length] = '\0';
}

void DrawControls(WindowRef window)
{
    if (IsLive(window) && window->main->isVisible())
        window->main->repaint();
}
