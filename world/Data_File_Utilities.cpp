#include "Data_File_Utilities.h"

#include <cstdint>
#include <cstdlib>

#include "Error_Handler.h"
#include "Host_Files.h"

#include <string>

namespace {

constexpr char kCR = 0x0D;
constexpr char kLF = 0x0A;

bool IsLineEnd(char c)
{
    return c == kCR || c == kLF;
}

bool CommentAt(const char* buffer, int32_t i, int32_t size)
{
    return i + 1 < size && buffer[i] == '/' && buffer[i + 1] == '/';
}

int32_t SkipToLineEnd(const char* buffer, int32_t i, int32_t size)
{
    while (i < size && !IsLineEnd(buffer[i]))
        ++i;
    return i;
}

// Steps over the line end at i: CR LF is one line end. At or past the end of
// the buffer it still advances by one, so that a read past the end moves on.
int32_t SkipLineEnd(const char* buffer, int32_t i, int32_t size)
{
    if (i + 1 < size && buffer[i] == kCR && buffer[i + 1] == kLF)
        return i + 2;
    return i + 1;
}

// Copies the text of the next value line into text (capacity bytes including
// the terminator, cutting what does not fit) and advances *pIndex past it.
void ReadValueText(const char* buffer, int32_t* pIndex, int32_t size, char* text, int32_t capacity)
{
    int32_t i = *pIndex < 0 ? size : *pIndex;
    int32_t length = 0;
    while (CommentAt(buffer, i, size))
        i = SkipLineEnd(buffer, SkipToLineEnd(buffer, i, size), size);
    while (i < size && !IsLineEnd(buffer[i])) {
        if (CommentAt(buffer, i, size)) {
            i = SkipToLineEnd(buffer, i, size);
        } else {
            if (length < capacity - 1)
                text[length++] = buffer[i];
            ++i;
        }
    }
    text[length] = '\0';
    *pIndex = SkipLineEnd(buffer, i, size);
}

// atoi's conversion, with values beyond 32 bits held at the nearest limit
// instead of being undefined.
int32_t TextToLong(const char* text)
{
    const long value = std::strtol(text, nullptr, 10);
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

// Says on the console why the chosen file was not read.
void ReportUnreadFile(const FSSpec* spec, OSErr err)
{
    const std::string message =
        "ReadDataFile: the file \"" + HostFileNameForMessage(spec) + "\" " + HostFileErrorText(err);
    ReportError(message.c_str());
}

} // namespace

char* ReadDataFile(int32_t* pBufferSize, FSSpec* pfsspecData)
{
    NavReplyRecord reply;
    const OSErr err = NavChooseFile(&reply);
    const bool chosen = err == noErr && reply.validRecord;
    if (chosen)
        *pfsspecData = reply.selection;
    NavDisposeReply(&reply);
    if (!chosen)
        return nullptr;

    int16_t refNum = 0;
    OSErr fileErr = FSpOpenDF(pfsspecData, fsRdPerm, &refNum);
    if (fileErr != noErr) {
        ReportUnreadFile(pfsspecData, fileErr);
        return nullptr;
    }
    char* buffer = nullptr;
    int32_t size = 0;
    fileErr = GetEOF(refNum, &size);
    if (fileErr == noErr) {
        buffer = NewPtrClear(size);
        int32_t count = size;
        if (!buffer)
            fileErr = memFullErr;
        else if ((fileErr = FSRead(refNum, &count, buffer)) != noErr || count != size) {
            fileErr = fileErr == noErr ? eofErr : fileErr;
            DisposePtr(buffer);
            buffer = nullptr;
        }
    }
    FSClose(refNum);
    if (!buffer)
        ReportUnreadFile(pfsspecData, fileErr);
    if (buffer)
        *pBufferSize = size;
    return buffer;
}

void DisposeDataBuffer(char** ppBuffer)
{
    if (!ppBuffer)
        return;
    DisposePtr(*ppBuffer);
    *ppBuffer = nullptr;
}

int32_t GetLongFromData(const char* pBuffer, int32_t* pIndex, int32_t bufferSize)
{
    char text[255];
    ReadValueText(pBuffer, pIndex, bufferSize, text, sizeof text);
    return TextToLong(text);
}

float GetFloatFromData(const char* pBuffer, int32_t* pIndex, int32_t bufferSize)
{
    char text[256];
    ReadValueText(pBuffer, pIndex, bufferSize, text, sizeof text);
    return static_cast<float>(std::strtod(text, nullptr));
}

Boolean GetBooleanFromData(const char* pBuffer, int32_t* pIndex, int32_t bufferSize)
{
    char text[255];
    ReadValueText(pBuffer, pIndex, bufferSize, text, sizeof text);
    return TextToLong(text) != 0 ? 1 : 0;
}

void GetCStrFromData(const char* pBuffer, int32_t* pIndex, int32_t bufferSize, char* cstr)
{
    ReadValueText(pBuffer, pIndex, bufferSize, cstr, 256);
}
