#include "Sprite_Window.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "Data_File_Utilities.h"
#include "Error_Handler.h"
#include "GL_Setup.h"
#include "GL_Text.h"
#include "Host_AGL.h"
#include "Host_App.h"
#include "Host_Files.h"
#include "Host_Images.h"
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
    const std::string message = std::string("LoadDataFile: the sprite file lists ") + std::to_string(count) + " " +
                                what + "; at most " + std::to_string(limit) + " are allowed";
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
// own name (any name the file system holds: up to 255 bytes, which is all a
// value line gives). False, with a message, when it is not a plain name.
bool SetImageName(FSSpec* spec, const char* name, int32_t imageIndex)
{
    const size_t length = std::strlen(name);
    const char* problem = nullptr;
    if (length >= sizeof spec->name)
        problem = "is longer than 255 bytes";
    else if (std::strchr(name, '/'))
        problem = "is not a plain file name (it holds a '/')";
    if (problem) {
        const std::string message = "LoadDataFile: the file name of image " + std::to_string(imageIndex) + ", \"" +
                                    name + "\", " + problem + "; the image is left empty";
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
    gImageBytesLeft = ImageMemoryBudget();
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

float LimitZoom(float zoom)
{
    if (!(zoom >= kMinZoom))
        return kMinZoom;
    return zoom > kMaxZoom ? kMaxZoom : zoom;
}

void IdleWindow(WindowRef window, SInt32 turn, SInt32 thrust, Boolean Zin, Boolean Zout)
{
    // The instant of the previous call, shared by every window.
    static AbsoluteTime time = 0;

    const AbsoluteTime now = UpTime();
    const Duration duration = AbsoluteDeltaToDuration(now, time);
    time = now;
    const double deltaTime = HostDurationSeconds(duration);
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
        pWindowInfo->zoom = LimitZoom(pWindowInfo->zoom);
        IdleSprites(window, pWindowInfo->pSpriteArray, pWindowInfo->numSprites, deltaTime);
    }
    DrawGL(window);
}

// Drawing

void DrawGL(WindowRef window)
{
    recWindow* pWindowInfo = static_cast<recWindow*>(GetWRefCon(window));
    if (!pWindowInfo || !pWindowInfo->aglContext)
        return;
    aglSetCurrentContext(pWindowInfo->aglContext);

    Rect rectPort{};
    GetWindowPortBounds(window, &rectPort);
    const SInt32 width = rectPort.right - rectPort.left;
    const SInt32 height = rectPort.bottom - rectPort.top;
    SetUpDrawingSpace(width, height);
    glEnable(GL_DEPTH_TEST);
    // A window whose sprites never test depth has no depth buffer to clear
    // (see FillContextRequest).
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    // The view follows sprite 0; without sprites it is the origin, upright.
    float worldX = 0.0f, worldY = 0.0f, worldZ = 0.0f, worldRotation = 0.0f;
    const float worldZoom = pWindowInfo->zoom;
    if (pWindowInfo->numSprites > 0 && pWindowInfo->pSpriteArray) {
        const recSprite& view = pWindowInfo->pSpriteArray[0];
        worldX = -view.centerX;
        worldY = -view.centerY;
        worldZ = -view.centerZ;
        worldRotation = gZarvoRotate ? 0.0f : -view.rotation;
    }
    DrawGLSprites(pWindowInfo->pSpriteArray, pWindowInfo->numSprites, pWindowInfo->pImageArray, pWindowInfo->numImages,
                  worldX, worldY, worldZ, worldRotation, worldZoom, width, height, pWindowInfo->grid,
                  pWindowInfo->lines, true);
    if (pWindowInfo->info)
        DrawInfo(worldX, worldY, worldRotation, worldZoom, width, height, pWindowInfo->fontList);
    aglSwapBuffers(pWindowInfo->aglContext);
}

void SetUpDrawingSpace(SInt32 width, SInt32 height)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-width / 2.0, width / 2.0, -height / 2.0, height / 2.0, 0.0, 1000.0);
    glScalef(1.0f, -1.0f, 1.0f);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void DrawInfo(float worldX, float worldY, float worldRotation, float worldZoom, SInt32 width, SInt32 height,
              GLuint fontList)
{
    char cstr[256];
    // On a dense screen the overlay grows with its font: its space counts
    // the window's pixels, each several device pixels wide. The window's
    // size is shown in device pixels all the same.
    const GLfloat scale = HostPixelRatio(aglGetCurrentContext());
    const float bottom = float(height) / scale;
    glLoadIdentity();
    glTranslatef(-width / 2.0f, -height / 2.0f, 0.0f);
    glScalef(scale, scale, 1.0f);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    glColor4f(0.1f, 0.1f, 0.12f, 0.52f);
    glBegin(GL_QUADS);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(250.0f, 0.0f, 0.0f);
    glVertex3f(250.0f, 55.0f, 0.0f);
    glVertex3f(0.0f, 55.0f, 0.0f);
    glVertex3f(0.0f, bottom, 0.0f);
    glVertex3f(250.0f, bottom, 0.0f);
    glVertex3f(250.0f, bottom - 28.0f, 0.0f);
    glVertex3f(0.0f, bottom - 28.0f, 0.0f);
    glEnd();

    glColor3f(0.9f, 0.0f, 0.0f);
    BeginTextGL();
    glRasterPos3d(10.0, 12.0, 0.0);
    std::snprintf(cstr, sizeof cstr, "Window: (%ld x %ld)", long(width), long(height));
    DrawCStringGL(cstr, fontList);
    glRasterPos3d(10.0, 24.0, 0.0);
    std::snprintf(cstr, sizeof cstr, "Position: (%0.1f, %0.1f) at %0.1f deg", double(worldX), double(worldY),
                  double(worldRotation));
    DrawCStringGL(cstr, fontList);
    glRasterPos3d(10.0, 36.0, 0.0);
    std::snprintf(cstr, sizeof cstr, "Zoom: %0.2f", double(worldZoom));
    DrawCStringGL(cstr, fontList);
    glRasterPos3d(10.0, 48.0, 0.0);
    DrawFrameRate(fontList);

    glRasterPos3d(10.0, bottom - 15.0, 0.0);
    DrawCStringGL(reinterpret_cast<const char*>(glGetString(GL_VENDOR)), fontList);
    glRasterPos3d(10.0, bottom - 3.0, 0.0);
    DrawCStringGL(reinterpret_cast<const char*>(glGetString(GL_RENDERER)), fontList);
    EndTextGL();
}

// GL resources

namespace {

// The request of a double-buffered RGBA context with a 16-bit depth buffer,
// hardware accelerated when acceleration is a must. A world whose sprites all
// blend never tests depth, and asks for no depth buffer: a software renderer
// then draws its frames on a faster path, to the same pixels.
void FillContextRequest(structGLWindowInfo* glInfo, bool accelerated, bool depth)
{
    glInfo->fAcceleratedMust = accelerated;
    glInfo->VRAM = 0;
    glInfo->textureRAM = 0;
    glInfo->fDraggable = true;
    glInfo->fmt = nullptr;
    int i = 0;
    glInfo->aglAttributes[i++] = AGL_RGBA;
    glInfo->aglAttributes[i++] = AGL_DOUBLEBUFFER;
    if (accelerated)
        glInfo->aglAttributes[i++] = AGL_ACCELERATED;
    glInfo->aglAttributes[i++] = AGL_DEPTH_SIZE;
    glInfo->aglAttributes[i++] = depth ? 16 : 0;
    glInfo->aglAttributes[i++] = AGL_NONE;
}

bool AnyAcceleratedRenderer()
{
    AGLRendererInfo head = aglQueryRendererInfo(nullptr, 0);
    aglGetError();
    bool accelerated = false;
    for (AGLRendererInfo info = head; info; info = aglNextRendererInfo(info)) {
        GLint value = 0;
        if (aglDescribeRenderer(info, AGL_ACCELERATED, &value) && value)
            accelerated = true;
    }
    aglDestroyRendererInfo(head);
    return accelerated;
}

// The texture formats of an image's buffer; false when no texture image is
// specified for it (an 8-bit image that is neither luminance nor alpha).
bool TextureFormat(const recImage& image, GLint* internalFormat, GLenum* format, GLenum* type)
{
    switch (image.imageDepth) {
    case 32:
        *internalFormat = GL_RGBA8;
        *format = GL_BGRA;
        *type = GL_UNSIGNED_INT_8_8_8_8_REV;
        return true;
    case 16:
        *internalFormat = GL_RGB5_A1;
        *format = GL_BGRA;
        *type = GL_UNSIGNED_SHORT_1_5_5_5_REV;
        return true;
    case 8:
        *type = GL_UNSIGNED_BYTE;
        if (image.maskType == kMaskZeroAlpha) {
            *internalFormat = GL_LUMINANCE8;
            *format = GL_LUMINANCE;
            return true;
        }
        if (image.maskType == kMaskAlphaOnly) {
            *internalFormat = GL_ALPHA8;
            *format = GL_ALPHA;
            return true;
        }
        return false;
    default:
        return false;
    }
}

// Whether the texel at index i of the buffer has alpha above zero, for the
// buffer formats whose texture takes its alpha from the texels.
bool TexelHasAlpha(const recImage& image, GLenum format, size_t i)
{
    switch (format) {
    case GL_ALPHA:
        return image.pImageBuffer[i] != 0;
    case GL_BGRA:
        if (image.imageDepth == 32) {
            uint32_t texel;
            std::memcpy(&texel, image.pImageBuffer + i * 4, 4);
            return (texel >> 24) != 0;
        } else {
            uint16_t texel;
            std::memcpy(&texel, image.pImageBuffer + i * 2, 2);
            return (texel >> 15) != 0;
        }
    default:
        return true;
    }
}

// Whether the texel at index i of a BGRA buffer is fully opaque.
bool TexelIsOpaque(const recImage& image, size_t i)
{
    if (image.imageDepth == 32) {
        uint32_t texel;
        std::memcpy(&texel, image.pImageBuffer + i * 4, 4);
        return (texel >> 24) == 0xFF;
    }
    uint16_t texel;
    std::memcpy(&texel, image.pImageBuffer + i * 2, 2);
    return (texel >> 15) != 0;
}

// The longest run of fully opaque texels in each row of the tile column at
// offsetX, width texels wide: spans[row], in texels of the column.
void OpaqueRows(const recImage& image, int32_t offsetX, int32_t width, TexelSpan* spans)
{
    for (int32_t y = 0; y < image.textureHeight; ++y) {
        const size_t row = size_t(y) * size_t(image.textureWidth) + size_t(offsetX);
        TexelSpan best{0, 0};
        int32_t start = -1;
        for (int32_t x = 0; x <= width; ++x) {
            const bool opaque = x < width && TexelIsOpaque(image, row + size_t(x));
            if (opaque && start < 0)
                start = x;
            if (!opaque && start >= 0) {
                if (x - start > best.x1 - best.x0)
                    best = TexelSpan{start, x};
                start = -1;
            }
        }
        spans[y] = best;
    }
}

// Where the alpha of the tile at (offsetX, offsetY) of the buffer is not zero.
TexelRect TileAlpha(const recImage& image, GLenum format, int32_t offsetX, int32_t offsetY, int32_t width,
                    int32_t height)
{
    int32_t x0 = width, y0 = height, x1 = -1, y1 = -1; // the texels with alpha, inclusive
    for (int32_t y = 0; y < height; ++y) {
        const size_t row = size_t(offsetY + y) * size_t(image.textureWidth) + size_t(offsetX);
        for (int32_t x = 0; x < width; ++x) {
            if (!TexelHasAlpha(image, format, row + size_t(x)))
                continue;
            x0 = std::min(x0, x);
            x1 = std::max(x1, x);
            y0 = std::min(y0, y);
            y1 = std::max(y1, y);
        }
    }
    if (x1 < 0)
        return TexelRect{0, 0, 0, 0};
    return TexelRect{std::max(x0 - 1, 0), std::max(y0 - 1, 0), std::min(x1 + 2, width), std::min(y1 + 2, height)};
}

// Cuts the image into its tiles and uploads each straight from the pixel
// buffer, then releases the buffer. The GL error of the upload, 0 for none.
OSStatus UploadImage(recImage* image)
{
    image->maxTextureSize = gMaxTextureSize;
    image->textureX = GetTextureNumFromTextureDim(image->textureWidth, image->maxTextureSize);
    image->textureY = GetTextureNumFromTextureDim(image->textureHeight, image->maxTextureSize);
    const int32_t count = image->textureX * image->textureY;
    image->pTextureName = reinterpret_cast<GLuint*>(NewPtrClear(count * int32_t(sizeof(GLuint))));
    if (!image->pTextureName && count > 0) {
        image->textureX = image->textureY = 0;
        ReportError("BuildGLForWindow: out of memory for texture names");
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, image->textureWidth);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (image->pTextureName && count > 0)
        glGenTextures(count, image->pTextureName);

    GLint internalFormat = 0;
    GLenum format = 0, type = 0;
    const bool specified = image->pImageBuffer && TextureFormat(*image, &internalFormat, &format, &type);
    // Gray buffers hold 0 for white and 255 for black: luminance textures are
    // inverted while they are uploaded, so that they show the image as it is.
    const bool invert = specified && format == GL_LUMINANCE;
    // Where each tile's own alpha lets anything through; a luminance texture
    // takes its alpha from the sprite's colour, so all of it may show.
    if (specified && format != GL_LUMINANCE && image->pTextureName && count > 0)
        image->pTileAlpha = reinterpret_cast<TexelRect*>(NewPtrClear(count * int32_t(sizeof(TexelRect))));
    // Where the texels are fully opaque, for the formats whose alpha is
    // their own and can be full.
    const int64_t spanCount = int64_t(image->textureX) * image->textureHeight;
    if (specified && format == GL_BGRA && image->pTextureName && count > 0 &&
        spanCount * int64_t(sizeof(TexelSpan)) <= INT32_MAX)
        image->pOpaqueRows = reinterpret_cast<TexelSpan*>(NewPtrClear(int32_t(spanCount * int64_t(sizeof(TexelSpan)))));
    if (invert) {
        glPixelTransferf(GL_RED_SCALE, -1.0f);
        glPixelTransferf(GL_GREEN_SCALE, -1.0f);
        glPixelTransferf(GL_BLUE_SCALE, -1.0f);
        glPixelTransferf(GL_RED_BIAS, 1.0f);
        glPixelTransferf(GL_GREEN_BIAS, 1.0f);
        glPixelTransferf(GL_BLUE_BIAS, 1.0f);
    }
    const size_t bytesPerPixel = size_t(image->imageDepth / 8);
    int32_t offsetX = 0;
    int32_t k = 0;
    for (int32_t x = 0; x < image->textureX; ++x) {
        const int32_t currWidth = GetNextTextureSize(image->textureWidth - offsetX, image->maxTextureSize);
        if (image->pOpaqueRows)
            OpaqueRows(*image, offsetX, currWidth, image->pOpaqueRows + size_t(x) * size_t(image->textureHeight));
        int32_t offsetY = 0;
        for (int32_t y = 0; y < image->textureY; ++y) {
            const int32_t currHeight = GetNextTextureSize(image->textureHeight - offsetY, image->maxTextureSize);
            glBindTexture(GL_TEXTURE_2D, image->pTextureName[k++]);
            glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            if (specified) {
                const unsigned char* first =
                    image->pImageBuffer +
                    (size_t(offsetY) * size_t(image->textureWidth) + size_t(offsetX)) * bytesPerPixel;
                glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, currWidth, currHeight, 0, format, type, first);
                if (image->pTileAlpha)
                    image->pTileAlpha[k - 1] = TileAlpha(*image, format, offsetX, offsetY, currWidth, currHeight);
            }
            offsetY += currHeight;
        }
        offsetX += currWidth;
    }
    if (invert) {
        glPixelTransferf(GL_RED_SCALE, 1.0f);
        glPixelTransferf(GL_GREEN_SCALE, 1.0f);
        glPixelTransferf(GL_BLUE_SCALE, 1.0f);
        glPixelTransferf(GL_RED_BIAS, 0.0f);
        glPixelTransferf(GL_GREEN_BIAS, 0.0f);
        glPixelTransferf(GL_BLUE_BIAS, 0.0f);
    }
    const OSStatus err = glReportError();
    if (image->pGWorld)
        DisposeGWorld(image->pGWorld);
    image->pGWorld = nullptr;
    DisposePtr(reinterpret_cast<char*>(image->pImageBuffer));
    image->pImageBuffer = nullptr;
    return err;
}

} // namespace

OSStatus BuildGLForWindow(WindowRef window)
{
    recWindow* pWindowInfo = static_cast<recWindow*>(GetWRefCon(window));
    if (!pWindowInfo)
        return paramErr;
    if (pWindowInfo->aglContext)
        return noErr;

    GrafPtr cgrafSave = nullptr;
    GetPort(&cgrafSave);
    SetPort(GetWindowPort(window));

    const bool depth = SpritesTestDepth(pWindowInfo->pSpriteArray, pWindowInfo->numSprites);
    FillContextRequest(&pWindowInfo->glInfo, true, depth);
    BuildGLFromWindow(window, &pWindowInfo->aglContext, &pWindowInfo->glInfo, nullptr);
    if (!pWindowInfo->aglContext && !AnyAcceleratedRenderer()) {
        // Only a software renderer: draw with it rather than leave the window blank.
        static bool reported = false;
        if (!reported)
            ReportError("No hardware-accelerated OpenGL renderer: drawing with the software renderer");
        reported = true;
        if (pWindowInfo->glInfo.fmt)
            aglDestroyPixelFormat(pWindowInfo->glInfo.fmt);
        FillContextRequest(&pWindowInfo->glInfo, false, depth);
        BuildGLFromWindow(window, &pWindowInfo->aglContext, &pWindowInfo->glInfo, nullptr);
    }
    if (!pWindowInfo->aglContext) {
        DestroyGLFromWindow(&pWindowInfo->aglContext, &pWindowInfo->glInfo);
        SetPort(cgrafSave);
        return noErr;
    }

    const GLint swap = 1;
    aglSetInteger(pWindowInfo->aglContext, AGL_SWAP_INTERVAL, &swap);
    aglUpdateContext(pWindowInfo->aglContext);

    Rect rectPort{};
    GetWindowPortBounds(window, &rectPort);
    glViewport(0, 0, rectPort.right - rectPort.left, rectPort.bottom - rectPort.top);
    glEnable(GL_TEXTURE_2D);
    glClearColor(0.2f, 0.2f, 0.2f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    aglSwapBuffers(pWindowInfo->aglContext);

    Str255 fontName;
    CStrToPStr(fontName, "Geneva");
    int16_t fNum = 0;
    GetFNum(fontName, &fNum);
    pWindowInfo->fontList = BuildFontGL(pWindowInfo->aglContext, fNum, 1, 9);

    OSStatus err = noErr;
    for (SInt32 i = 0; i < pWindowInfo->numImages && pWindowInfo->pImageArray; ++i)
        err = UploadImage(&pWindowInfo->pImageArray[i]);
    SetPort(cgrafSave);
    return err;
}

OSStatus ResizeGLWindow(WindowRef window)
{
    recWindow* pWindowInfo = static_cast<recWindow*>(GetWRefCon(window));
    Rect rectPort{};
    GetWindowPortBounds(window, &rectPort);
    if (pWindowInfo && pWindowInfo->aglContext)
        aglUpdateContext(pWindowInfo->aglContext);
    return InvalWindowRect(window, &rectPort);
}

OSStatus DisposeGLForWindow(WindowRef window)
{
    recWindow* pWindowInfo = static_cast<recWindow*>(GetWRefCon(window));
    if (!pWindowInfo)
        return noErr;
    if (pWindowInfo->aglContext)
        aglSetCurrentContext(pWindowInfo->aglContext);
    DisposeImages(&pWindowInfo->pImageArray, pWindowInfo->numImages);
    DestroyGLFromWindow(&pWindowInfo->aglContext, &pWindowInfo->glInfo);
    pWindowInfo->aglContext = nullptr;
    DisposeSprites(&pWindowInfo->pSpriteArray, pWindowInfo->numSprites);
    pWindowInfo->numSprites = 0;
    pWindowInfo->numImages = 0;
    SetWRefCon(window, nullptr);
    return noErr;
}
