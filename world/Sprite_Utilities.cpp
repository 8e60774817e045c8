#include "Sprite_Utilities.h"

#include <cmath>
#include <cstdlib>

#include "Data_File_Utilities.h"
#include "Sprite_Window.h"
#include "Host_Files.h"

void LoadSprite(recSprite* pSprite, const char* pBuffer, int32_t* pIndex, int32_t bufferSize)
{
    if (!pSprite)
        return;
    pSprite->imageNum = GetLongFromData(pBuffer, pIndex, bufferSize);
    pSprite->centerX = GetFloatFromData(pBuffer, pIndex, bufferSize);
    pSprite->centerY = GetFloatFromData(pBuffer, pIndex, bufferSize);
    pSprite->centerZ = GetFloatFromData(pBuffer, pIndex, bufferSize);
    pSprite->rotation = GetFloatFromData(pBuffer, pIndex, bufferSize);
    pSprite->zoom = GetFloatFromData(pBuffer, pIndex, bufferSize);
    pSprite->velocityX = GetFloatFromData(pBuffer, pIndex, bufferSize);
    pSprite->velocityY = GetFloatFromData(pBuffer, pIndex, bufferSize);
    pSprite->velocityZ = GetFloatFromData(pBuffer, pIndex, bufferSize);
    pSprite->red = GetFloatFromData(pBuffer, pIndex, bufferSize);
    pSprite->green = GetFloatFromData(pBuffer, pIndex, bufferSize);
    pSprite->blue = GetFloatFromData(pBuffer, pIndex, bufferSize);
    pSprite->alpha = GetFloatFromData(pBuffer, pIndex, bufferSize);
    pSprite->fTiled = GetLongFromData(pBuffer, pIndex, bufferSize);
    pSprite->fAlphaTest = GetBooleanFromData(pBuffer, pIndex, bufferSize);
    pSprite->fAlphaBlend = GetBooleanFromData(pBuffer, pIndex, bufferSize);
    pSprite->fTakesInput = GetBooleanFromData(pBuffer, pIndex, bufferSize);

    pSprite->velocityAlpha = 0.0f;
    pSprite->velocityZoom = 0.0f;
    pSprite->velocityR = 0.0f;

    if (pSprite->imageNum == 3) { // the smoke image: an invisible white puff
        pSprite->velocityAlpha = -0.6f;
        pSprite->velocityZoom = 0.7f;
        pSprite->velocityR = 10.0f;
        pSprite->alpha = 0.0f;
        pSprite->red = 1.0f;
        pSprite->green = 1.0f;
        pSprite->blue = 1.0f;
    }
}

void DisposeSprites(recSprite** ppSpriteArray, int32_t /*numSprites*/)
{
    if (!ppSpriteArray)
        return;
    DisposePtr(reinterpret_cast<char*>(*ppSpriteArray));
    *ppSpriteArray = nullptr;
}

namespace {

constexpr float fPi = 3.141578f;
constexpr double kDragCo = 0.03;
constexpr int32_t kFirstSmokeSprite = 3;
constexpr int32_t kLastSmokeSprite = 32;

// Places the next puff of the smoke pool behind sprite 0. Only sprites that
// exist are used, and nothing happens when sprite 0's image is not one of the
// window's images (its size is unknown).
void MakePuff(const recWindow* pWindowInfo, recSprite* pSpriteArray, int32_t numSprites, int32_t* smokeTarget)
{
    if (numSprites <= kFirstSmokeSprite)
        return;
    const recSprite& source = pSpriteArray[0];
    if (source.imageNum < 0 || source.imageNum >= pWindowInfo->numImages || !pWindowInfo->pImageArray)
        return;
    if (*smokeTarget > numSprites - 1)
        *smokeTarget = numSprites - 1;
    recSprite& puff = pSpriteArray[*smokeTarget];
    if (--*smokeTarget <= 2)
        *smokeTarget = kLastSmokeSprite;

    const recImage& image = pWindowInfo->pImageArray[source.imageNum];
    const float z = source.zoom * image.zoom;
    const float a = source.rotation / 180.0f * fPi;
    puff.centerX = source.centerX - image.imageWidth * 0.4 * z * std::sin(double(a));
    puff.centerY = source.centerY + image.imageHeight * 0.4 * z * std::cos(double(a));
    puff.velocityX = source.velocityX * 0.5;
    puff.velocityY = source.velocityY * 0.5;
    puff.rotation = float(std::rand()) / 2147483648.0f * 360.0f;
    puff.alpha = 1.3f;
    puff.zoom = 0.2f;
}

} // namespace

void IdleSprites(WindowRef window, recSprite* pSpriteArray, SInt32 numSprites, double deltaTime)
{
    // Shared by every window and kept for the whole run.
    static float redSign = -1.0f;
    static double smokeTime = 0.0;
    static int32_t smokeTarget = kLastSmokeSprite;

    const recWindow* pWindowInfo = static_cast<const recWindow*>(GetWRefCon(window));
    if (!pWindowInfo || !pSpriteArray)
        return;
    const double dt = deltaTime;
    const float thrust = pWindowInfo->thrustValue * 1000.0f / 255.0f;
    if (pWindowInfo->thrustValue != 0.0f)
        smokeTime += deltaTime;
    const float turn = pWindowInfo->turnValue * 120.0f / 127.0f;

    for (int32_t i = 0; i < numSprites; ++i) {
        recSprite& sprite = pSpriteArray[i];
        if (i > 2) {
            if (sprite.alpha > 0.0f) {
                sprite.alpha += sprite.velocityAlpha * dt;
                sprite.rotation += sprite.velocityR * dt;
                sprite.zoom += sprite.velocityZoom * dt;
            } else {
                sprite.alpha = 0.0f;
            }
        }
        if (sprite.fTakesInput) {
            sprite.rotation += turn * dt;
            while (sprite.rotation > 360.0f)
                sprite.rotation -= 360.0f;
            while (sprite.rotation < 0.0f)
                sprite.rotation += 360.0f;
            const float a = sprite.rotation / 180.0f * fPi;
            sprite.velocityX += thrust * dt * std::sin(double(a));
            sprite.velocityY += -dt * thrust * std::cos(double(a));
            sprite.velocityY -= sprite.velocityY * kDragCo * dt * 20.0;
            sprite.velocityX -= sprite.velocityX * kDragCo * dt * 20.0;
            sprite.red += redSign * 0.015;
            if (sprite.red >= 1.0f || sprite.red <= 0.3f)
                redSign = -redSign;
        }
        sprite.centerX += sprite.velocityX * dt;
        sprite.centerY += sprite.velocityY * dt;
    }

    if (pWindowInfo->thrustValue != 0.0f && smokeTime > 0.05) {
        smokeTime = 0.0;
        MakePuff(pWindowInfo, pSpriteArray, numSprites, &smokeTarget);
    }
}
