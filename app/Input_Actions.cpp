#include "Input_Actions.h"

#include <cstring>

#include "Config_Window.h"

actionRec actionArray[kNumActions];
actionBinding bindingArray[kNumActions];

namespace {

// Points the action at the element and notes its name for when it is away.
void SetActionElement(int32_t action, pRecDevice pDevice, pRecElement pElement)
{
    actionArray[action].pDevice = pDevice;
    actionArray[action].pElement = pElement;
    SetActionUserRange(pElement, action);
    GetDeviceElementNameString(pDevice, pElement, bindingArray[action].name);
}

// Points the action at the element its binding in force names in the
// device list, or at nothing when none is found there.
void FindActionElement(int32_t action)
{
    actionArray[action].pDevice = nullptr;
    actionArray[action].pElement = nullptr;
    pRecDevice device = nullptr;
    pRecElement element = nullptr;
    HIDFindSavedElement(bindingArray[action].record, &device, &element);
    if (device && element)
        SetActionElement(action, device, element);
}

} // namespace

void BindDemoKeys()
{
    constexpr UInt32 kLeft = 113, kRight = 114, kUp = 111, kA = 38, kZ = 52;
    actionArray[kActionRotLeft].keyCode = kLeft;
    actionArray[kActionRotRight].keyCode = kRight;
    actionArray[kActionThrust].keyCode = kUp;
    actionArray[kActionZin].keyCode = kA;
    actionArray[kActionZin].charCode = 'a';
    actionArray[kActionZout].keyCode = kZ;
    actionArray[kActionZout].charCode = 'z';
}

void SetActionUserRange(pRecElement pElement, int32_t action)
{
    static constexpr int32_t kUserRange[kNumActions][2] = {
        {-127, 127}, // X axis
        {0, -127},   // rotate left
        {0, 127},    // rotate right
        {0, 255},    // thrust
        {0, 1},      // zoom in
        {0, 1},      // zoom out
    };
    if (!pElement || action < 0 || action >= kNumActions)
        return;
    pElement->userMin = kUserRange[action][0];
    pElement->userMax = kUserRange[action][1];
}

void BindActionElement(int32_t action, pRecDevice pDevice, pRecElement pElement)
{
    if (action < 0 || action >= kNumActions || !pDevice || !pElement)
        return;
    bindingArray[action].inForce = true;
    bindingArray[action].record = HIDMakeSaveRecord(pDevice, pElement, action);
    SetActionElement(action, pDevice, pElement);
}

void LoadActionBinding(const recSaveHID& record)
{
    const int32_t action = record.actionCookie;
    if (action < 0 || action >= kNumActions)
        return;
    // An unbound action is saved as a record that is zero but for its number.
    recSaveHID unbound{};
    unbound.actionCookie = action;
    if (std::memcmp(&record, &unbound, sizeof record) == 0)
        return;
    // A later record for the same action replaces the earlier one whole.
    bindingArray[action] = actionBinding{true, record, ""};
    FindActionElement(action);
}

void ForgetActionElements()
{
    for (int32_t a = 0; a < kNumActions; ++a) {
        actionRec& action = actionArray[a];
        // A binding made without BindActionElement is kept all the same.
        if (IsDeviceBound(action) && !bindingArray[a].inForce)
            BindActionElement(a, action.pDevice, action.pElement);
        action.pDevice = nullptr;
        action.pElement = nullptr;
    }
}

void RestoreActionElements()
{
    for (int32_t a = 0; a < kNumActions; ++a)
        if (bindingArray[a].inForce)
            FindActionElement(a);
}

void GetKeyInput(EventRef event, Boolean keyDown)
{
    UInt32 keyCode = 0;
    if (GetEventParameter(event, kEventParamKeyCode, typeUInt32, nullptr, sizeof keyCode, nullptr, &keyCode) != noErr)
        return;
    for (actionRec& action : actionArray)
        if (IsKeyBound(action) && action.keyCode == keyCode)
            action.keyState = keyDown;
}

void GetInput()
{
    actionRec& xAxis = actionArray[kActionXAxis];
    for (int32_t a = 0; a < kNumActions; ++a) {
        actionRec& action = actionArray[a];
        action.value = 0;
        if (IsDeviceBound(action)) {
            action.value = HIDGetElementValue(action.pDevice, action.pElement);
            if (a == kActionXAxis || a == kActionThrust || a == kActionRotRight || a == kActionRotLeft)
                action.value = HIDScaleValue(HIDCalibrateValue(action.value, action.pElement), action.pElement);
            if (a == kActionRotRight || a == kActionRotLeft)
                xAxis.value += action.value;
        }
        if (IsKeyBound(action) && action.keyState) {
            if (a == kActionThrust)
                action.value = 255;
            else if (a == kActionRotRight)
                xAxis.value += 127;
            else if (a == kActionRotLeft)
                xAxis.value -= 127;
            else
                action.value = 1;
        }
    }
    if (xAxis.value > 127)
        xAxis.value = 127;
    else if (xAxis.value < -127)
        xAxis.value = -127;
}
