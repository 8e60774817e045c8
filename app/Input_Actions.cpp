#include "Input_Actions.h"

actionRec actionArray[kNumActions];

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
