#include "Host_Debug.h"

#include <cstdio>

void DebugStr(ConstStringPtr debuggerMsg)
{
    if (!debuggerMsg)
        return;
    const unsigned length = debuggerMsg[0];
    std::fwrite(debuggerMsg + 1, 1, length, stderr);
    if (length == 0 || debuggerMsg[length] != '\n')
        std::fputc('\n', stderr);
    std::fflush(stderr);
}
