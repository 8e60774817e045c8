#include "OpenGL_Image_Utilities.h"

#include <bit>
#include <cstdlib>
#include <string>

#include "Error_Handler.h"
#include "Host_Files.h"
#include "Host_Images.h"

int32_t GetTextureNumFromTextureDim(int32_t textureDimension, int16_t maxTextureSize)
{
    int32_t count = 0;
    if (maxTextureSize < 1) // outside the rule: no tiles rather than a division by zero
        return 0;
    if (textureDimension > maxTextureSize)
        count = textureDimension / maxTextureSize;
    const int32_t remainder = textureDimension - maxTextureSize * count;
    for (int32_t bit = 8192; bit > 0; bit >>= 1)
        if (remainder & bit)
            ++count;
    return count;
}

int32_t GetNextTextureSize(int32_t textureDimension, int16_t maxTextureSize)
{
    if (textureDimension > maxTextureSize)
        return maxTextureSize;
    // The highest of the bits 8192 down to 1 that is set.
    return int32_t(std::bit_floor(uint32_t(textureDimension) & 0x3FFFu));
}

namespace {

void ReportImageError(const FSSpec& spec, const char* what)
{
    const std::string message = "LoadImageFile: image \"" + HostFileNameForMessage(&spec) + "\" " + what;
    ReportError(message.c_str());
}

} // namespace

int64_t gImageBytesLeft = ImageMemoryBudget();

int64_t ImageMemoryBudget()
{
    const int64_t quarter = HostPhysicalMemoryBytes() / 4;
    return quarter > 0 && quarter < kMaxSpriteFileImageBytes ? quarter : kMaxSpriteFileImageBytes;
}

int32_t ImageDepthFromStoredDepth(int16_t storedDepth)
{
    if (storedDepth == 40)
        return 8;
    if (storedDepth == 16)
        return 16;
    return 32;
}

namespace {

// Checks the opened image and decodes it into the record with its mask.
// Returns "" when it worked, else what is wrong with the image; the record
// may then hold a buffer and a drawing surface, which the caller releases.
std::string DecodeImage(GraphicsImportComponent importer, recImage* prImage, int16_t maskType, int64_t* pBytes)
{
    Rect naturalBounds{};
    ComponentResult result = GraphicsImportGetNaturalBounds(importer, &naturalBounds);
    ImageDescription description{};
    if (result == noErr)
        result = GraphicsImportGetImageDescription(importer, &description);
    if (result == imageTooLargeErr)
        return "is larger than 32767 pixels on a side";
    if (result != noErr)
        return "is truncated or corrupt: its size or depth cannot be read";

    const int32_t width = int32_t(naturalBounds.right) - naturalBounds.left;
    const int32_t height = int32_t(naturalBounds.bottom) - naturalBounds.top;
    const int32_t depth = ImageDepthFromStoredDepth(description.depth);
    const int32_t rowStride = width * depth / 8;
    const int64_t bufferBytes = int64_t(rowStride) * height;
    if (bufferBytes > kMaxImageBufferBytes)
        return "needs a buffer of " + std::to_string(bufferBytes) + " bytes, more than the " +
               std::to_string(kMaxImageBufferBytes) + " allowed";
    if (bufferBytes > gImageBytesLeft)
        return "is refused: its " + std::to_string(bufferBytes) +
               " bytes of pixels would pass the sprite file's budget (" + std::to_string(ImageMemoryBudget()) +
               " bytes)";
    Boolean valid = false;
    if (GraphicsImportValidate(importer, &valid) != noErr || !valid)
        return "is truncated or corrupt";

    prImage->maskType = maskType;
    prImage->imageWidth = width;
    prImage->imageHeight = height;
    prImage->imageAspect = float(width) / float(height);
    prImage->imageDepth = depth;
    prImage->textureWidth = prImage->imageWidth;
    prImage->textureHeight = prImage->imageHeight;

    const Rect drawRect{0, 0, int16_t(prImage->textureHeight), int16_t(prImage->textureWidth)};
    prImage->pImageBuffer = reinterpret_cast<unsigned char*>(NewPtrClear(int32_t(bufferBytes)));
    if (!prImage->pImageBuffer)
        return "cannot be loaded: out of memory";

    const OSType pixelFormat = prImage->imageDepth == 8    ? k8IndexedGrayPixelFormat
                               : prImage->imageDepth == 32 ? k32ARGBPixelFormat
                                                           : k16BE555PixelFormat;
    QTNewGWorldFromPtr(&prImage->pGWorld, pixelFormat, &drawRect, nullptr, nullptr, 0, prImage->pImageBuffer,
                       rowStride);
    if (!prImage->pGWorld)
        return "cannot be drawn: no drawing surface";

    MatrixRecord matrix;
    SetIdentityMatrix(&matrix);
    ScaleMatrix(&matrix, X2Fix(float(prImage->textureWidth) / float(prImage->imageWidth)),
                X2Fix(float(prImage->textureHeight) / float(prImage->imageHeight)), X2Fix(0.0), X2Fix(0.0));
    PixMapHandle pixMap = nullptr;
    if (GraphicsImportSetMatrix(importer, &matrix) != noErr ||
        GraphicsImportSetGWorld(importer, prImage->pGWorld, nullptr) != noErr ||
        GraphicsImportSetQuality(importer, codecLosslessQuality) != noErr ||
        !(pixMap = GetGWorldPixMap(prImage->pGWorld)) || !LockPixels(pixMap))
        return "cannot be drawn into its buffer";

    GraphicsImportDraw(importer);

    const uint32_t pixelCount = uint32_t(prImage->textureWidth) * uint32_t(prImage->textureHeight);
    switch (maskType) {
    case kMaskZeroAlpha:
        SetAlphaToOpaque(prImage->pImageBuffer, pixelCount, uint32_t(prImage->imageDepth));
        break;
    case kMaskSourceColorKey:
        SetAlphaMaskSourceColor(prImage->pImageBuffer, pixelCount, uint32_t(prImage->imageDepth));
        break;
    case kMaskLumAlpha:
        SetAlphaBlendLuminance(prImage->pImageBuffer, pixelCount, uint32_t(prImage->imageDepth));
        break;
    case kMaskAlphaOnly:
        break;
    default:
        ReportError("Invalid image mask type in LoadImageFile");
        break;
    }

    UnlockPixels(pixMap);
    prImage->zoom = 1.0f;
    *pBytes = bufferBytes;
    return std::string();
}

} // namespace

Boolean LoadImageFile(FSSpec fsspecImage, recImage* prImage, int16_t maskType)
{
    if (!prImage)
        return false;

    // One way out: a refused image is said, and leaves the record as it was.
    const recImage before = *prImage;
    GraphicsImportComponent importer = nullptr;
    const OSErr openErr = GetGraphicsImporterForFile(&fsspecImage, &importer);
    std::string problem;
    int64_t bufferBytes = 0;
    if (openErr != noErr || !importer)
        problem =
            openErr == noImporterErr ? "is not an image of a format this program reads" : HostFileErrorText(openErr);
    else
        problem = DecodeImage(importer, prImage, maskType, &bufferBytes);
    if (importer)
        CloseComponent(importer);
    if (!problem.empty()) {
        ReportImageError(fsspecImage, problem.c_str());
        if (prImage->pGWorld != before.pGWorld)
            DisposeGWorld(prImage->pGWorld);
        if (prImage->pImageBuffer != before.pImageBuffer)
            DisposePtr(reinterpret_cast<char*>(prImage->pImageBuffer));
        *prImage = before;
        return false;
    }
    gImageBytesLeft -= bufferBytes;
    return true;
}

// The mask loops are written without branches so that the compiler turns
// them into vector code: one read and one write per pixel.

void SetAlphaToOpaque(unsigned char* pixelPtr, uint32_t numberOfPixels, uint32_t imageDepth)
{
    if (!pixelPtr)
        return;
    if (imageDepth == 32) {
        auto* p = reinterpret_cast<uint32_t*>(pixelPtr);
        for (uint32_t i = 0; i < numberOfPixels; ++i)
            p[i] |= 0xFF000000u;
    } else if (imageDepth == 16) {
        auto* p = reinterpret_cast<uint16_t*>(pixelPtr);
        for (uint32_t i = 0; i < numberOfPixels; ++i)
            p[i] = uint16_t(p[i] | 0x8000u);
    }
}

void SetAlphaMaskSourceColor(unsigned char* pixelPtr, uint32_t numberOfPixels, uint32_t imageDepth)
{
    if (!pixelPtr)
        return;
    if (imageDepth == 32) {
        auto* p = reinterpret_cast<uint32_t*>(pixelPtr);
        for (uint32_t i = 0; i < numberOfPixels; ++i) {
            const uint32_t pixel = p[i];
            const uint32_t keyed = 0u - uint32_t((pixel & 0x00FFFFFFu) == 0x0000FF00u); // all ones for the key
            p[i] = (0x00303040u & keyed) | ((pixel | 0xFF000000u) & ~keyed);
        }
    } else if (imageDepth == 16) {
        auto* p = reinterpret_cast<uint16_t*>(pixelPtr);
        for (uint32_t i = 0; i < numberOfPixels; ++i) {
            const uint16_t pixel = p[i];
            const uint16_t keyed = uint16_t(0u - uint32_t((pixel & 0x7FFFu) == 0x03E0u));
            p[i] = uint16_t((0x0C63u & keyed) | ((pixel | 0x8000u) & uint16_t(~keyed)));
        }
    }
}

void SetAlphaBlendLuminance(unsigned char* pixelPtr, uint32_t numberOfPixels, uint32_t imageDepth)
{
    if (!pixelPtr || imageDepth != 32)
        return;
    auto* p = reinterpret_cast<uint32_t*>(pixelPtr);
    for (uint32_t i = 0; i < numberOfPixels; ++i)
        p[i] = (p[i] << 24) | 0x00FFFFFFu;
}

void DisposeImages(recImage** ppImageArray, int32_t numImages)
{
    if (!ppImageArray || !*ppImageArray)
        return;
    recImage* images = *ppImageArray;
    for (int32_t i = 0; i < numImages; ++i) {
        recImage& image = images[i];
        if (image.pTextureName) {
            const int64_t count = int64_t(image.textureX) * image.textureY;
            if (count > 0 && count <= INT32_MAX)
                glDeleteTextures(GLsizei(count), image.pTextureName);
            std::free(image.pTextureName);
            image.pTextureName = nullptr;
        }
        std::free(image.pTileAlpha);
        image.pTileAlpha = nullptr;
        std::free(image.pOpaqueRows);
        image.pOpaqueRows = nullptr;
        // An image whose window closed before its textures were built still
        // holds its surface and buffer.
        if (image.pGWorld) {
            DisposeGWorld(image.pGWorld);
            image.pGWorld = nullptr;
        }
        if (image.pImageBuffer) {
            DisposePtr(reinterpret_cast<char*>(image.pImageBuffer));
            image.pImageBuffer = nullptr;
        }
    }
    DisposePtr(reinterpret_cast<char*>(images));
    *ppImageArray = nullptr;
}

GLImageCorners GetGLImageCorners(float imageWidth, float imageHeight, float zoom, float offsetX, float offsetY,
                                 float endX, float endY)
{
    return GLImageCorners{float((double(offsetX) - double(imageWidth) * 0.5) * double(zoom)),
                          float((double(offsetY) - double(imageHeight) * 0.5) * double(zoom)),
                          float((double(endX) - double(imageWidth) * 0.5) * double(zoom)),
                          float((double(endY) - double(imageHeight) * 0.5) * double(zoom))};
}

void DrawGLImage(int32_t drawType, float imageWidth, float imageHeight, float zoom, float offsetX, float offsetY,
                 float endX, float endY)
{
    const GLImageCorners c = GetGLImageCorners(imageWidth, imageHeight, zoom, offsetX, offsetY, endX, endY);
    const float startXDraw = c.startX;
    const float endXDraw = c.endX;
    const float startYDraw = c.startY;
    const float endYDraw = c.endY;

    glBegin(GLenum(drawType));
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(startXDraw, startYDraw, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(endXDraw, startYDraw, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(startXDraw, endYDraw, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(endXDraw, endYDraw, 0.0f);
    glEnd();
    if (drawType == GL_LINE_STRIP) {
        glBegin(GL_LINES);
        glVertex3f(startXDraw, endYDraw, 0.0f);
        glVertex3f(startXDraw, startYDraw, 0.0f);
        glVertex3f(endXDraw, startYDraw, 0.0f);
        glVertex3f(endXDraw, endYDraw, 0.0f);
        glEnd();
    }
}

void DrawGLPixelGrid(float textureWidth, float textureHeight, float imageWidth, float imageHeight, float zoom)
{
    const float halfWidth = imageWidth * 0.5f * zoom;
    const float halfHeight = imageHeight * 0.5f * zoom;
    for (int32_t i = 0; float(i) <= textureWidth; ++i) {
        const float x = -halfWidth + (float(i) * imageWidth / textureWidth) * zoom;
        glBegin(GL_LINES);
        glVertex3f(x, -halfHeight, 0.0f);
        glVertex3f(x, halfHeight, 0.0f);
        glEnd();
    }
    for (int32_t j = 0; float(j) <= textureHeight; ++j) {
        const float y = -halfHeight + (float(j) * imageHeight / textureHeight) * zoom;
        glBegin(GL_LINES);
        glVertex3f(-halfWidth, y, 0.0f);
        glVertex3f(halfWidth, y, 0.0f);
        glEnd();
    }
}
