// The event loop and its timers, and the ways it ends: the 'quit' command, a
// quit signal, a lost display connection.
#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <mutex>

#include "Host_App_Internal.h"

std::vector<EventLoopTimerRef> gTimers;

namespace {
bool gQuitRequested = false;
}

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
    struct sigaction standard {};
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
    struct sigaction quit {};
    quit.sa_handler = OnQuitSignal;
    sigemptyset(&quit.sa_mask);
    for (int signal : kQuitSignals)
        sigaddset(&quit.sa_mask, signal);
    quit.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kQuitSignals); ++i) {
        struct sigaction previous {};
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
        // A frame written to the socket of a display that has just gone would
        // raise SIGPIPE and end the process on the spot, before the IO-error
        // path could call exit(): the write fails instead, and that path runs.
        std::signal(SIGPIPE, SIG_IGN);
    }
    gLostDisplayProc = proc;
}

void RunApplicationEventLoop()
{
    if (gQuitRequested)
        return;
    QApplication::setQuitOnLastWindowClosed(false);
    HostUpdateMenuBarWindow();
    gInEventLoop = true;
    QApplication::exec();
    gInEventLoop = false;
}

void QuitApplicationEventLoop()
{
    gQuitRequested = true;
    QCoreApplication::quit();
}
