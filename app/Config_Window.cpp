#include "Config_Window.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include "App_Shell.h"
#include "HID_Config_Utilities.h"
#include "HID_Name_Lookup.h"
#include "Host_Device_Watch.h"
#include "Host_Keys.h"
#include "Input_Actions.h"

namespace {

constexpr EventTypeSpec kConfigEvents[] = {
    {kEventClassWindow, kEventWindowShown},
    {kEventClassCommand, kEventCommandProcess},
    {kEventClassKeyboard, kEventRawKeyDown},
};

// The action each button configures, by command.
int32_t ActionOfCommand(OSType command)
{
    // clang-format off
    switch (command) {
    case FourCC("xaxs"): return kActionXAxis;
    case FourCC("rLft"): return kActionRotLeft;
    case FourCC("rRgt"): return kActionRotRight;
    case FourCC("thrs"): return kActionThrust;
    case FourCC("czin"): return kActionZin;
    case FourCC("czot"): return kActionZout;
    default: return -1;
    }
    // clang-format on
}

// The line under the bindings that says what the window waits for.
void SetPrompt(WindowRef window, const char* text)
{
    SetControlText(window, FourCC("prmt"), 0, text);
}

// Copies text into a 256-byte buffer, cut at 255 characters.
void CopyName(char* out, const char* text)
{
    std::snprintf(out, 256, "%s", text);
}

// What a device or an element is called: its own name, else the name of its
// usage, else fallback.
std::string NameOf(const char* own, int32_t usagePage, int32_t usage, const char* fallback)
{
    char name[256] = "";
    if (own[0])
        CopyName(name, own);
    else
        HIDGetUsageName(usagePage, usage, name);
    return name[0] ? name : fallback;
}

// The close box hides the window as OK does: the window lives until
// shut-down, so that gConfigWindow never refers to a disposed window.
OSStatus ConfigCloseHndlr(EventHandlerCallRef, EventRef, void* userData)
{
    HideWindow(static_cast<WindowRef>(userData));
    return noErr;
}

} // namespace

OSStatus OpenConfigWindow()
{
    OSStatus result = eventNotHandledErr;
    if (!gConfigWindow) {
        result = CreateWindowFromNib(nibRef, "ConfigWindow", &gConfigWindow);
        if (!gConfigWindow)
            return result;
        if (!gConfigEvtHandler)
            gConfigEvtHandler = NewEventHandlerUPP(ConfigEvtHndlr);
        InstallEventHandler(GetWindowEventTarget(gConfigWindow), gConfigEvtHandler, UInt32(std::size(kConfigEvents)),
                            kConfigEvents, gConfigWindow, nullptr);
        static const EventTypeSpec kClose[] = {{kEventClassWindow, kEventWindowClose}};
        InstallEventHandler(GetWindowEventTarget(gConfigWindow), NewEventHandlerUPP(ConfigCloseHndlr), 1, kClose,
                            gConfigWindow, nullptr);
        SetControlRadio(gConfigWindow, 0, true);
    }
    SetDeviceMode(gConfigWindow);
    ShowWindow(gConfigWindow);
    SetUserFocusWindow(gConfigWindow);
    return result;
}

OSStatus ConfigEvtHndlr(EventHandlerCallRef, EventRef event, void* userData)
{
    // The action waiting for a key, or -1.
    static SInt16 actionToConfigure = -1;
    auto window = static_cast<WindowRef>(userData);
    OSStatus result = eventNotHandledErr;

    if (GetEventClass(event) == kEventClassWindow && GetEventKind(event) == kEventWindowShown) {
        SetControlNames(window);
        if (window == FrontWindow())
            SetUserFocusWindow(window);
    } else if (GetEventClass(event) == kEventClassKeyboard && GetEventKind(event) == kEventRawKeyDown) {
        if (actionToConfigure >= 0) {
            char charCode = 0;
            UInt32 keyCode = 0;
            GetEventParameter(event, kEventParamKeyMacCharCodes, typeChar, nullptr, sizeof charCode, nullptr,
                              &charCode);
            GetEventParameter(event, kEventParamKeyCode, typeUInt32, nullptr, sizeof keyCode, nullptr, &keyCode);
            actionArray[actionToConfigure].charCode = charCode;
            actionArray[actionToConfigure].keyCode = keyCode;
            for (int32_t a = 0; a < kNumActions; ++a) {
                if (a != actionToConfigure && actionArray[a].keyCode == keyCode) {
                    actionArray[a].keyCode = 0;
                    actionArray[a].charCode = 0;
                }
            }
            actionToConfigure = -1;
            SetPrompt(window, "");
            SetControlNames(window);
            SetUserFocusWindow(window);
            result = noErr;
        }
    } else if (GetEventClass(event) == kEventClassCommand && GetEventKind(event) == kEventCommandProcess) {
        HICommand command{};
        GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
        const int32_t action = ActionOfCommand(command.commandID);
        if (command.commandID == FourCC("cKey")) {
            SetControlRadio(window, 0, true);
            result = noErr;
        } else if (command.commandID == FourCC("cDev")) {
            actionToConfigure = -1;
            SetPrompt(window, "");
            SetControlRadio(window, 1, true);
            result = noErr;
        } else if (action >= 0) {
            if (GetControlRadio(window, 0)) {
                actionToConfigure = SInt16(action);
                SetPrompt(window, "Press a key to bind it...");
            } else {
                // The wait blocks the event loop: say what is expected first.
                SetPrompt(window, "Move a control to bind it...");
                DrawControls(window);
                pRecDevice device = nullptr;
                pRecElement element = nullptr;
                // The list stays as it is until the element found is bound:
                // a device that comes or goes meanwhile is seen afterwards.
                HostHoldDeviceChanges(true);
                const bool moved = HIDConfigureAction(&device, &element, 10.0f);
                // Keys typed while waiting are not meant for the window:
                // one of them could arm another wait.
                HostDiscardPendingInput();
                SetPrompt(window, moved ? "" : "Nothing moved within 10 seconds.");
                if (moved) {
                    if (action == kActionXAxis && std::abs(int64_t(element->max) - element->min) <= 1) {
                        SysBeep(30); // a button cannot steer
                    } else {
                        BindActionElement(action, device, element);
                        SetControlNames(window);
                    }
                }
                HostHoldDeviceChanges(false);
                DrawControls(window);
            }
            result = noErr;
        } else if (command.commandID == FourCC("ok  ")) {
            HideWindow(window);
            result = noErr;
        }
    }
    return result;
}

void SetControlNames(WindowRef window)
{
    char cstrName[256];
    for (int32_t a = 0; a < kNumActions; ++a) {
        const actionRec& action = actionArray[a];
        if (IsDeviceBound(action))
            GetDeviceElementNameString(action.pDevice, action.pElement, cstrName);
        else if (bindingArray[a].inForce)
            GetAbsentElementNameString(bindingArray[a], cstrName);
        else
            CopyName(cstrName, "---");
        SetControlText(window, FourCC("hidc"), a + 1, cstrName);
        if (a >= 1) {
            if (IsKeyBound(action))
                GetKeyNameString(action.keyCode, action.charCode, cstrName);
            else
                CopyName(cstrName, "--");
            SetControlText(window, FourCC("keyc"), a + 1, cstrName);
        }
    }
    DrawControls(window);
}

void SetDeviceMode(WindowRef window)
{
    const ControlID deviceMode{FourCC("ZaVo"), 1};
    ControlRef control = nullptr;
    if (GetControlByID(window, &deviceMode, &control) != noErr)
        return;
    // Device mode only while some device has an element binding by movement
    // may take: otherwise every wait would be ten seconds for nothing.
    if (gfDevice && HIDHaveConfigurableElement()) {
        EnableControl(control);
    } else {
        DisableControl(control);
        if (GetControlRadio(window, 1))
            SetControlRadio(window, 0, true);
    }
}

void SetControlText(WindowRef window, OSType signature, SInt32 number, const char* text)
{
    const ControlID id{signature, number};
    ControlRef control = nullptr;
    if (GetControlByID(window, &id, &control) == noErr && text)
        SetControlData(control, kControlEntireControl, kControlStaticTextTextTag, int32_t(std::strlen(text)), text);
}

void SetControlRadio(WindowRef window, SInt32 number, Boolean value)
{
    ControlRef control = nullptr;
    const ControlID chosen{FourCC("ZaVo"), number}, other{FourCC("ZaVo"), 1 - number};
    if (GetControlByID(window, &chosen, &control) == noErr)
        SetControlValue(control, value ? 1 : 0);
    if (GetControlByID(window, &other, &control) == noErr)
        SetControlValue(control, value ? 0 : 1);
}

Boolean GetControlRadio(WindowRef window, SInt32 number)
{
    ControlRef control = nullptr;
    const ControlID id{FourCC("ZaVo"), number};
    if (GetControlByID(window, &id, &control) != noErr)
        return false;
    return GetControlValue(control) != 0;
}

void GetDeviceElementNameString(pRecDevice pDevice, pRecElement pElement, char* cstrName)
{
    // "device: element", cut to the 255 characters the text holds.
    const std::string joined = NameOf(pDevice->product, pDevice->usagePage, pDevice->usage, "Device") + ": " +
                               NameOf(pElement->name, pElement->usagePage, pElement->usage, "Element");
    const size_t length = std::min<size_t>(joined.size(), 255);
    std::memcpy(cstrName, joined.data(), length);
    cstrName[length] = '\0';
}

void GetAbsentElementNameString(const actionBinding& binding, char* cstrName)
{
    std::string name(binding.name, strnlen(binding.name, sizeof binding.name));
    if (name.empty()) {
        // Never seen since it was loaded: the kinds of device and element.
        name = NameOf("", binding.record.usagePage, binding.record.usage, "Device") + ": " +
               NameOf("", binding.record.usagePageE, binding.record.usageE, "Element");
    }
    // The name is cut, never the news that it is away.
    constexpr char kAway[] = " (not connected)";
    name.resize(std::min(name.size(), 255 - (sizeof kAway - 1)));
    name += kAway;
    std::memcpy(cstrName, name.c_str(), name.size() + 1);
}

void GetKeyNameString(UInt32 keyCode, char charCode, char* cstrName)
{
    const auto c = static_cast<unsigned char>(charCode);
    char name[64];
    // Keys that type nothing, or a control code, are shown by name.
    if ((c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) && HostKeyName(keyCode, name, sizeof name))
        std::snprintf(cstrName, 256, "'%s'", name);
    else
        std::snprintf(cstrName, 256, "'%c'", charCode);
}
