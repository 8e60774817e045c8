// Windows: the windows of the interface description ("MainWindow" with its GL
// surface, "ConfigWindow" with its controls), their front-to-back order,
// showing, sizing and redrawing.
#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstring>

#include "Host_App_Internal.h"
#include "Host_GL_Format.h"
#include "Host_Window_Surface.h"
#include "ui_ConfigWindow.h"
#include "ui_MainWindow.h"

std::vector<WindowRef> gWindows;
std::vector<WindowRef> gFrontToBack;

struct OpaqueIBNibRef {
    int unused;
};

bool HostIsLiveWindow(WindowRef window)
{
    return window && std::find(gWindows.begin(), gWindows.end(), window) != gWindows.end();
}

void HostBringToFront(WindowRef window)
{
    gFrontToBack.erase(std::remove(gFrontToBack.begin(), gFrontToBack.end(), window), gFrontToBack.end());
    gFrontToBack.insert(gFrontToBack.begin(), window);
}

OSType HostCodeProperty(const QObject* object, const char* name)
{
    const QByteArray code = object->property(name).toString().toLatin1().leftJustified(4, ' ');
    return GetBigEndian32(code.constData());
}

namespace {

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
        if (isExposed() && HostIsLiveWindow(owner_))
            HostSendWindowEvent(owner_, kEventWindowDrawContent);
    }
    void resizeEvent(QResizeEvent*) override
    {
        if (!HostIsLiveWindow(owner_))
            return;
        HostSendWindowEvent(owner_, kEventWindowBoundsChanged);
        if (HostIsLiveWindow(owner_) && owner_->resizeDone)
            owner_->resizeDone->start();
    }
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent*) override
    {
        if (HostIsLiveWindow(owner_))
            HostBringToFront(owner_);
    }
    bool event(QEvent* e) override { return HostTakeShortcutOverride(e) || QWindow::event(e); }
};

class HostMainWindow : public QMainWindow {
public:
    explicit HostMainWindow(WindowRef owner) : owner_(owner) {}
    WindowRef owner_;

protected:
    void showEvent(QShowEvent*) override
    {
        if (HostIsLiveWindow(owner_))
            HostSendWindowEvent(owner_, kEventWindowShown);
    }
    void closeEvent(QCloseEvent* event) override
    {
        // The close box asks; the handlers and the standard handling decide.
        event->ignore();
        if (HostIsLiveWindow(owner_))
            HostSendWindowEvent(owner_, kEventWindowClose);
    }
    void changeEvent(QEvent* event) override
    {
        QMainWindow::changeEvent(event);
        if (!HostIsLiveWindow(owner_))
            return;
        if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
            HostBringToFront(owner_);
            HostSendWindowEvent(owner_, kEventWindowActivated);
        } else if (event->type() == QEvent::WindowStateChange) {
            HostSendWindowEvent(owner_, kEventWindowZoomed);
        }
    }
    bool event(QEvent* e) override { return HostTakeShortcutOverride(e) || QMainWindow::event(e); }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!HostHandleKey(owner_, this, event, true) && HostIsLiveWindow(owner_) && !owner_->spriteWindow)
            HostPressButtonForKey(this, event);
    }
    void keyReleaseEvent(QKeyEvent* event) override { HostHandleKey(owner_, this, event, false); }
    void mousePressEvent(QMouseEvent*) override
    {
        if (HostIsLiveWindow(owner_))
            HostBringToFront(owner_);
    }
};

void SurfaceWindow::keyPressEvent(QKeyEvent* event)
{
    HostHandleKey(owner_, HostIsLiveWindow(owner_) ? owner_->main.data() : nullptr, event, true);
}

void SurfaceWindow::keyReleaseEvent(QKeyEvent* event)
{
    HostHandleKey(owner_, HostIsLiveWindow(owner_) ? owner_->main.data() : nullptr, event, false);
}

void SetVisible(WindowRef window, bool visible)
{
    window->visible = visible;
    if (visible)
        HostBringToFront(window);
    else
        gFrontToBack.erase(std::remove(gFrontToBack.begin(), gFrontToBack.end(), window), gFrontToBack.end());
}

} // namespace

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
        HostInstallMenuBar(window->main);
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
            const OSType command = HostCodeProperty(button, "commandID");
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

void ShowWindow(WindowRef window)
{
    if (!HostIsLiveWindow(window))
        return;
    SetVisible(window, true);
    HostUpdateMenuBarWindow();
    window->main->show(); // delivers kEventWindowShown
    if (HostIsLiveWindow(window)) {
        window->main->raise();
        window->main->activateWindow();
    }
}

void HideWindow(WindowRef window)
{
    if (!HostIsLiveWindow(window))
        return;
    SetVisible(window, false);
    window->main->hide();
    HostUpdateMenuBarWindow();
}

void DisposeWindow(WindowRef window)
{
    if (!HostIsLiveWindow(window))
        return;
    gWindows.erase(std::remove(gWindows.begin(), gWindows.end(), window), gWindows.end());
    SetVisible(window, false);
    if (gCurrentPort == GetWindowPort(window))
        gCurrentPort = nullptr;
    if (window->main) {
        window->main->hide();
        window->main->deleteLater(); // Qt may still be inside one of its events
    }
    delete window;
    HostUpdateMenuBarWindow();
}

void SetWTitle(WindowRef window, const char* title)
{
    if (HostIsLiveWindow(window) && title)
        window->main->setWindowTitle(QString::fromUtf8(title));
}

WindowRef FrontWindow()
{
    return gFrontToBack.empty() ? nullptr : gFrontToBack.front();
}

OSStatus SetUserFocusWindow(WindowRef window)
{
    if (!HostIsLiveWindow(window))
        return paramErr;
    HostBringToFront(window);
    window->main->activateWindow();
    if (window->surface)
        window->surface->requestActivate();
    return noErr;
}

void SizeWindow(WindowRef window, int16_t w, int16_t h, Boolean)
{
    if (!HostIsLiveWindow(window) || w <= 0 || h <= 0)
        return;
    QWidget* content = window->main->centralWidget();
    const qreal ratio = window->main->devicePixelRatio();
    const QSize wanted(int(w / ratio + 0.5), int(h / ratio + 0.5));
    const QSize extra = content ? window->main->size() - content->size() : QSize(0, 0);
    window->main->resize(wanted + extra);
}

void SetWRefCon(WindowRef window, SRefCon data)
{
    if (HostIsLiveWindow(window))
        window->refCon = data;
}

SRefCon GetWRefCon(WindowRef window)
{
    return HostIsLiveWindow(window) ? window->refCon : nullptr;
}

QWindow* HostWindowSurface(WindowRef window)
{
    return HostIsLiveWindow(window) ? window->surface : nullptr;
}

Rect* GetWindowPortBounds(WindowRef window, Rect* bounds)
{
    if (!bounds)
        return nullptr;
    *bounds = Rect{0, 0, 0, 0};
    if (!HostIsLiveWindow(window))
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
    if (!HostIsLiveWindow(window))
        return paramErr;
    if (window->drawPending)
        return noErr;
    window->drawPending = true;
    QTimer::singleShot(0, qApp, [window] {
        if (!HostIsLiveWindow(window))
            return;
        window->drawPending = false;
        HostSendWindowEvent(window, kEventWindowDrawContent);
    });
    return noErr;
}
