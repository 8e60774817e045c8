#include "Sprite_Window.h"

#include <cstring>
#include <string>

#include "Data_File_Utilities.h"
#include "Error_Handler.h"
#include "Host_Files.h"
#include "Host_Time.h"

SInt16 gMaxTextureSize = 256;
Boolean gZarvoRotate = true;

namespace {

// A count as the loader uses it: negative counts are 0.
int32_t CountFromData(const char* buffer, int32_t* pIndex, int32_t size)
{
    const int32_t count = GetLongFromData(buffer, pIndex, size);
    return count < 0 ? 0 : count;
}

// Reads the two counts of the file without loading anything, so that a file
// with an impossible count is refused before any image is decoded.
void PeekCounts(const char* buffer, int32_t size, int32_t* numImages, int32_t* numSprites)
{
    int32_t index = 0;
    char text[256];
    *numImages = CountFromData(buffer, &index, size);
    *numSprites = 0;
    if (*numImages > kMaxSpriteFileImages)
        return;
    for (int32_t value = 0; value < 2 * *numImages; ++value)
        GetCStrFromData(buffer, &index, size, text);
    *numSprites = CountFromData(buffer, &index, size);
}

void ReportCount(const char* what, int32_t count, int32_t limit)
{
    const std::string message = std::string("LoadDataFile: the sprite file lists ") + std::to_string(count) + " " + what +
                                "; at most " + std::to_string(limit) + " are allowed";
    ReportError(message.c_str());
}

// Zero-filled array of count records, or null for none. *failed is set when
// the block cannot be had.
template <typename Record>
Record* NewRecordArray(int32_t count, bool* failed)
{
    if (count <= 0)
        return nullptr;
    const int64_t bytes = int64_t(count) * int64_t(sizeof(Record));
    char* block = bytes <= INT32_MAX ? NewPtrClear(int32_t(bytes)) : nullptr;
    if (!block)
        *failed = true;
    return reinterpret_cast<Record*>(block);
}

// Puts the image file name into the location in place of the sprite file's
// own name. False, with a message, when it is not a plain name of at most 63
// characters.
bool SetImageName(FSSpec* spec, const char* name, int32_t imageIndex)
{
    const size_t length = std::strlen(name);
    const char* problem = nullptr;
    if (length > 63)
        problem = "is longer than 63 characters";
    else if (std::strchr(name, '/'))
        problem = "is not a plain file name (it holds a '/')";
    if (problem) {
        const std::string message = "LoadDataFile: the file name of image " + std::to_string(imageIndex) + ", \"" + name +
                                    "\", " + problem + "; the image is left empty";
        ReportError(message.c_str());
        return false;
    }
    spec->name[0] = static_cast<unsigned char>(length);
    std::memcpy(spec->name + 1, name, length);
    return true;
}

} // namespace

Boolean LoadDataFile(recWindow* pWindowInfo)
{
    if (!pWindowInfo)
        return false;
    int32_t index = 0;
    pWindowInfo->zoom = 0.5f;
    pWindowInfo->info = true;
    pWindowInfo->lines = false;
    pWindowInfo->grid = false;

    int32_t bufferSize = 0;
    FSSpec spriteFile{};
    char* buffer = ReadDataFile(&bufferSize, &spriteFile);
    if (!buffer)
        return false;

    int32_t numImages = 0;
    int32_t numSprites = 0;
    PeekCounts(buffer, bufferSize, &numImages, &numSprites);
    if (numImages > kMaxSpriteFileImages || numSprites > kMaxSpriteFileSprites) {
        if (numImages > kMaxSpriteFileImages)
            ReportCount("images", numImages, kMaxSpriteFileImages);
        else
            ReportCount("sprites", numSprites, kMaxSpriteFileSprites);
        DisposeDataBuffer(&buffer);
        return false;
    }
    bool failed = false;
    recImage* images = NewRecordArray<recImage>(numImages, &failed);
    recSprite* sprites = NewRecordArray<recSprite>(numSprites, &failed);
    if (failed) {
        ReportError("LoadDataFile: out of memory for the sprite file's images and sprites");
        DisposePtr(reinterpret_cast<char*>(images));
        DisposePtr(reinterpret_cast<char*>(sprites));
        DisposeDataBuffer(&buffer);
        return false;
    }

    pWindowInfo->numImages = CountFromData(buffer, &index, bufferSize);
    pWindowInfo->pImageArray = images;
    for (int32_t i = 0; i < pWindowInfo->numImages; ++i) {
        const int32_t maskType = GetLongFromData(buffer, &index, bufferSize);
        char name[256];
        GetCStrFromData(buffer, &index, bufferSize, name);
        FSSpec imageFile = spriteFile;
        if (SetImageName(&imageFile, name, i))
            LoadImageFile(imageFile, &images[i], static_cast<int16_t>(maskType));
    }

    pWindowInfo->numSprites = CountFromData(buffer, &index, bufferSize);
    pWindowInfo->pSpriteArray = sprites;
    for (int32_t i = 0; i < pWindowInfo->numSprites; ++i)
        LoadSprite(&sprites[i], buffer, &index, bufferSize);

    DisposeDataBuffer(&buffer);
    return true;
}

void IdleWindow(WindowRef window, SInt32 turn, SInt32 thrust, Boolean Zin, Boolean Zout)
{
    // The instant of the previous call, shared by every window.
    static AbsoluteTime time = 0;

    const AbsoluteTime now = UpTime();
    const Duration duration = AbsoluteDeltaToDuration(now, time);
    time = now;
    const double deltaTime = duration < 0 ? duration / -1000000.0 : duration / 1000.0;
    if (deltaTime > 10.0) // stalled or the very first tick: skip rather than jump
        return;

    recWindow* pWindowInfo = static_cast<recWindow*>(GetWRefCon(window));
    if (pWindowInfo) {
        pWindowInfo->turnValue = float(turn);
        pWindowInfo->thrustValue = float(thrust);
        if (Zin)
            pWindowInfo->zoom += float(pWindowInfo->zoom * deltaTime);
        if (Zout)
            pWindowInfo->zoom -= float(pWindowInfo->zoom * deltaTime);
        if (pWindowInfo->zoom < 0.1f)
            pWindowInfo->zoom = 0.1f;
        IdleSprites(window, pWindowInfo->pSpriteArray, pWindowInfo->numSprites, deltaTime);
    }
}
