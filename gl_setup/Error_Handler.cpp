#include "Error_Handler.h"

#include <cstdio>
#include <cstring>

#include <GL/glu.h>

#include "Host_AGL.h"
#include "Host_Debug.h"

void CStrToPStr(StringPtr outString, const char* inString)
{
    uint8_t counter = 0;
    while (counter < 255 && inString[counter] != '\0') {
        outString[counter + 1] = static_cast<unsigned char>(inString[counter]);
        ++counter;
    }
    outString[0] = counter;
}

void ReportError(const char* strError)
{
    char errMsgCStr[256];
    Str255 strErr;
    std::memset(strErr, 0, sizeof strErr);
    // A message too long for the buffer keeps its newline: cut the text, not the line end.
    const int length = std::snprintf(errMsgCStr, sizeof errMsgCStr, "%s\n", strError ? strError : "");
    if (length >= int(sizeof errMsgCStr))
        errMsgCStr[sizeof errMsgCStr - 2] = '\n';
    CStrToPStr(strErr, errMsgCStr);
    DebugStr(strErr);
}

OSStatus aglReportError()
{
    const GLint err = aglGetError();
    if (err != AGL_NO_ERROR)
        ReportError(reinterpret_cast<const char*>(aglErrorString(err)));
    return err;
}

OSStatus glReportError()
{
    const GLenum err = glGetError();
    if (err != GL_NO_ERROR) {
        const GLubyte* text = gluErrorString(err);
        ReportError(text ? reinterpret_cast<const char*>(text) : "unknown OpenGL error");
    }
    return OSStatus(err);
}
