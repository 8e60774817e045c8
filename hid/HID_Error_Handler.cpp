#include "HID_Error_Handler.h"

#include <cstdio>

namespace {
HIDReportObserver gObserver = nullptr;
}

void HIDSetReportObserver(HIDReportObserver observer)
{
    gObserver = observer;
}

void HIDReportError(const char* strError)
{
    char errMsgCStr[256];
    std::snprintf(errMsgCStr, sizeof errMsgCStr, "%s", strError ? strError : "");
    if (gObserver)
        gObserver(errMsgCStr);
}

void HIDReportErrorNum(const char* strError, int32_t numError)
{
    char errMsgCStr[256];
    std::snprintf(errMsgCStr, sizeof errMsgCStr, "%s #%ld (0x%lx)", strError ? strError : "", long(numError),
                  static_cast<unsigned long>(static_cast<uint32_t>(numError)));
    if (gObserver)
        gObserver(errMsgCStr);
}
