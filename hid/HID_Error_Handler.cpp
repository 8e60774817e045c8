#include "HID_Error_Handler.h"

#include <cstdio>

void HIDReportError(const char* strError)
{
    char errMsgCStr[256];
    std::snprintf(errMsgCStr, sizeof errMsgCStr, "%s", strError ? strError : "");
    (void)errMsgCStr;
}

void HIDReportErrorNum(const char* strError, int32_t numError)
{
    char errMsgCStr[256];
    std::snprintf(errMsgCStr, sizeof errMsgCStr, "%s #%ld (0x%lx)", strError ? strError : "", long(numError),
                  static_cast<unsigned long>(static_cast<uint32_t>(numError)));
    (void)errMsgCStr;
}
