#include "App_Shell.h"

#include <cstdlib>

#include "Config_File.h"
#include "Config_Window.h"
#include "HID_Devices_External.h"
#include "Host_Device_Watch.h"
#include "Host_Files.h"
#include "Input_Actions.h"
#include "Sprite_Window.h"

EventLoopTimerRef gTimer = nullptr;
WindowRef gConfigWindow = nullptr;
IBNibRef nibRef = nullptr;
Boolean gfDevice = true;
EventHandlerUPP gEvtHandler = nullptr;
EventHandlerUPP gWinEvtHandler = nullptr;
EventHandlerUPP gConfigEvtHandler = nullptr;

namespace {

constexpr EventTypeSpec kApplicationEvents[] = {
    {kEventClassCommand, kEventCommandProcess},
    {kEventClassMenu, kEventMenuOpening},
};

constexpr EventTypeSpec kWindowEvents[] = {
    {kEventClassWindow, kEventWindowShown},
    {kEventClassWindow, kEventWindowActivated},
    {kEventClassWindow, kEventWindowClose},
    {kEventClassWindow, kEventWindowDrawContent},
    {kEventClassWindow, kEventWindowResizeCompleted},
    {kEventClassWindow, kEventWindowBoundsChanged},
    {kEventClassWindow, kEventWindowZoomed},
    {kEventClassKeyboard, kEventRawKeyDown},
    {kEventClassKeyboard, kEventRawKeyUp},
};

// The window the frame timer ticks, while it runs.
WindowRef gTickedWindow = nullptr;

void StopTimer()
{
    if (gTimer)
        RemoveEventLoopTimer(gTimer);
    gTimer = nullptr;
    gTickedWindow = nullptr;
}

// The one teardown of a sprite window and its record. While the window
// carries the record, DisposeGLForWindow releases the context, textures,
// images and sprites, and the window goes next. A record whose window could
// not be made (window null) has nothing on the GL side: its sprites and
// images are released here. The record itself goes last.
void DisposeWindowAndRecord(WindowRef window, recWindow* pWindowInfo)
{
    if (window) {
        DisposeGLForWindow(window);
        DisposeWindow(window);
    } else if (pWindowInfo) {
        DisposeSprites(&pWindowInfo->pSpriteArray, pWindowInfo->numSprites);
        DisposeImages(&pWindowInfo->pImageArray, pWindowInfo->numImages);
    }
    std::free(pWindowInfo);
}

// Disposes of a window as the close commands and the close box do. The
// configuration window is only hidden: it lives until shut-down, so that
// gConfigWindow never refers to a disposed window. Disposing of the window
// the frame timer ticks stops the timer.
void CloseWindow(WindowRef window)
{
    if (window == gConfigWindow) {
        HideWindow(window);
        return;
    }
    if (window == gTickedWindow)
        StopTimer();
    DisposeWindowAndRecord(window, static_cast<recWindow*>(GetWRefCon(window)));
}

void SetUserFocusIfFront(WindowRef window)
{
    if (window == FrontWindow())
        SetUserFocusWindow(window);
}

} // namespace

void UpdateDeviceList()
{
    ForgetActionElements();
    gfDevice = HIDBuildDeviceList(0, 0);
    RestoreActionElements();
    if (gConfigWindow) {
        SetDeviceMode(gConfigWindow);
        SetControlNames(gConfigWindow);
    }
}

OSStatus OpenSpriteFile()
{
    OSStatus result = eventNotHandledErr;
    auto* pWindowInfo = static_cast<recWindow*>(std::calloc(1, sizeof(recWindow)));
    if (!pWindowInfo)
        return result;
    if (!LoadDataFile(pWindowInfo)) {
        std::free(pWindowInfo);
        return result;
    }
    WindowRef window = nullptr;
    result = CreateWindowFromNib(nibRef, "MainWindow", &window);
    if (!window) {
        DisposeWindowAndRecord(nullptr, pWindowInfo);
        return result;
    }
    SetWRefCon(window, pWindowInfo);
    SetWTitle(window, HostLastChosenFileName());
    InstallEventHandler(GetWindowEventTarget(window), gWinEvtHandler, UInt32(std::size(kWindowEvents)), kWindowEvents,
                        window, nullptr);
    ShowWindow(window);
    return result;
}

OSStatus myEvtHndlr(EventHandlerCallRef, EventRef event, void*)
{
    OSStatus result = eventNotHandledErr;
    WindowRef window = FrontWindow();
    recWindow* pWindowInfo = nullptr;
    Rect rectPort{};
    if (window) {
        GetWindowPortBounds(window, &rectPort);
        pWindowInfo = static_cast<recWindow*>(GetWRefCon(window));
    }

    if (GetEventClass(event) == kEventClassMenu && GetEventKind(event) == kEventMenuOpening) {
        if (pWindowInfo) {
            MenuRef menu = GetMenuHandle(kMainMenu);
            CheckMenuItem(menu, 15, pWindowInfo->lines);
            CheckMenuItem(menu, 16, pWindowInfo->info);
            CheckMenuItem(menu, 17, pWindowInfo->grid);
        }
        return result;
    }
    if (GetEventClass(event) != kEventClassCommand || GetEventKind(event) != kEventCommandProcess)
        return result;

    HICommand command{};
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    switch (command.commandID) {
    case FourCC("opnf"):
        result = OpenSpriteFile();
        break;
    case FourCC("clsf"):
        if (window)
            CloseWindow(window);
        break;
    case FourCC("quit"):
        while (WindowRef front = FrontWindow())
            CloseWindow(front);
        break;
    case FourCC("conf"):
        result = OpenConfigWindow();
        break;
    case FourCC("save"):
        // The user asked for it: a failed save (already said on standard
        // error) is heard as well.
        result = SaveConfig();
        if (result != noErr)
            SysBeep(10);
        break;
    case FourCC("load"):
        result = LoadConfig();
        break;
    default:
        break;
    }

    if (!pWindowInfo)
        return result;
    switch (command.commandID) {
    case FourCC("gogo"):
        pWindowInfo->go = true;
        if (!gTimer) {
            InstallEventLoopTimer(GetCurrentEventLoop(), 0.0, 0.0001, GetTimerUPP(), window, &gTimer);
            gTickedWindow = window;
        }
        break;
    case FourCC("stop"):
        pWindowInfo->go = false;
        StopTimer();
        break;
    case FourCC("roro"):
        gZarvoRotate = !gZarvoRotate;
        break;
    case FourCC("zmin"):
    case FourCC("zout"):
    case FourCC("zt11"):
    case FourCC("tlin"):
    case FourCC("tinf"):
    case FourCC("grid"):
        // The view commands change the record, ask for a redraw and are consumed.
        if (command.commandID == FourCC("zmin")) {
            pWindowInfo->zoom = LimitZoom(float(double(pWindowInfo->zoom) * 1.5));
        } else if (command.commandID == FourCC("zout")) {
            pWindowInfo->zoom = LimitZoom(float(double(pWindowInfo->zoom) / 1.5));
        } else if (command.commandID == FourCC("zt11")) {
            pWindowInfo->zoom = 1.0f;
        } else if (command.commandID == FourCC("tlin")) {
            pWindowInfo->lines = 1 - pWindowInfo->lines;
        } else if (command.commandID == FourCC("tinf")) {
            pWindowInfo->info = 1 - pWindowInfo->info;
        } else {
            pWindowInfo->grid = 1 - pWindowInfo->grid;
        }
        InvalWindowRect(window, &rectPort);
        result = noErr;
        break;
    default:
        break;
    }
    return result;
}

OSStatus myWindowEvtHndlr(EventHandlerCallRef, EventRef event, void*)
{
    WindowRef window = nullptr;
    GetEventParameter(event, kEventParamDirectObject, typeWindowRef, nullptr, sizeof window, nullptr, &window);
    if (GetEventClass(event) == kEventClassKeyboard) {
        GetKeyInput(event, GetEventKind(event) == kEventRawKeyDown);
        return eventNotHandledErr; // keys still reach the menus
    }
    if (GetEventClass(event) != kEventClassWindow)
        return eventNotHandledErr;
    switch (GetEventKind(event)) {
    case kEventWindowShown:
        BuildGLForWindow(window);
        SetUserFocusIfFront(window);
        break;
    case kEventWindowActivated:
        SetUserFocusIfFront(window);
        HandleWindowUpdate(window);
        break;
    case kEventWindowDrawContent:
        HandleWindowUpdate(window);
        break;
    case kEventWindowBoundsChanged:
        ResizeGLWindow(window);
        HandleWindowUpdate(window);
        break;
    case kEventWindowResizeCompleted:
    case kEventWindowZoomed:
        ResizeGLWindow(window);
        break;
    case kEventWindowClose:
        CloseWindow(window);
        break;
    default:
        break;
    }
    return eventNotHandledErr;
}

void HandleWindowUpdate(WindowRef window)
{
    GrafPtr savedPort = nullptr;
    GetPort(&savedPort);
    SetPort(GetWindowPort(window));
    DrawGL(window);
    SetPort(savedPort);
}

void IdleTimer(EventLoopTimerRef, void* userData)
{
    auto window = static_cast<WindowRef>(userData);
    GetInput();
    IdleWindow(window, actionArray[kActionXAxis].value, actionArray[kActionThrust].value,
               actionArray[kActionZin].value != 0, actionArray[kActionZout].value != 0);
    DrawGL(window);
}

EventLoopTimerUPP GetTimerUPP()
{
    static EventLoopTimerUPP sTimerUPP = nullptr;
    if (!sTimerUPP)
        sTimerUPP = NewEventLoopTimerUPP(IdleTimer);
    return sTimerUPP;
}

OSStatus StartApplication()
{
    gMaxTextureSize = 256;
    OSStatus err = CreateNibReference("main", &nibRef);
    if (err == noErr)
        err = SetMenuBarFromNib(nibRef, "MainMenu");
    if (err != noErr) {
        if (nibRef)
            DisposeNibReference(nibRef);
        nibRef = nullptr;
        return err;
    }
    gEvtHandler = NewEventHandlerUPP(myEvtHndlr);
    InstallEventHandler(GetApplicationEventTarget(), gEvtHandler, UInt32(std::size(kApplicationEvents)),
                        kApplicationEvents, nullptr, nullptr);
    gWinEvtHandler = NewEventHandlerUPP(myWindowEvtHndlr);
    OpenSpriteFile();
    gfDevice = HIDBuildDeviceList(0, 0);
    LoadConfig();
    // A first start, with no bindings file at all, steers with the demo keys;
    // a file that is there but cannot be read leaves every action unbound.
    if (HostNothingAt(gConfigFilePath))
        BindDemoKeys();
    HostWatchDevices(UpdateDeviceList);
    return noErr;
}

void StopApplication()
{
    StopTimer();
    HostStopWatchingDevices();
    SaveConfig();
    ForgetActionElements();
    HIDReleaseDeviceList();
    if (gConfigWindow)
        DisposeWindow(gConfigWindow);
    gConfigWindow = nullptr;
    DisposeNibReference(nibRef);
    nibRef = nullptr;
}
