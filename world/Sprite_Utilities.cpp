#include "Sprite_Utilities.h"

#include <algorithm>
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

namespace {

// Draws one copy of the image tile by tile, in tile order, each tile's
// corners mirrored along x and y as asked.
void DrawTextureWalk(const recImage& image, GLenum drawType, float zoom, bool mirrorX, bool mirrorY)
{
    int32_t offsetX = 0;
    int32_t k = 0;
    for (int32_t x = 0; x < image.textureX; ++x) {
        const int32_t currWidth = GetNextTextureSize(image.textureWidth - offsetX, image.maxTextureSize);
        int32_t offsetY = 0;
        for (int32_t y = 0; y < image.textureY; ++y) {
            const int32_t currHeight = GetNextTextureSize(image.textureHeight - offsetY, image.maxTextureSize);
            glBindTexture(GL_TEXTURE_2D, image.pTextureName ? image.pTextureName[k] : 0);
            ++k;
            const float startX = float(mirrorX ? image.textureWidth - offsetX : offsetX);
            const float endX = float(mirrorX ? image.textureWidth - (offsetX + currWidth) : offsetX + currWidth);
            const float startY = float(mirrorY ? image.textureHeight - offsetY : offsetY);
            const float endY = float(mirrorY ? image.textureHeight - (offsetY + currHeight) : offsetY + currHeight);
            DrawGLImage(int32_t(drawType), float(image.imageWidth), float(image.imageHeight), zoom, startX, startY,
                        endX, endY);
            offsetY += currHeight;
        }
        offsetX += currWidth;
    }
}

// Where the copies of a tiled sprite lie: its position moved next to the view
// centre by whole sprite sizes, the parity of those steps, and the grid's
// half extent in copies.
struct TiledPlacement {
    float xPos, yPos, xSize, ySize;
    int16_t xFlipOffset, yFlipOffset;
    int32_t tiles;
};

// Brings pos within half a size of the origin, counting the steps in *flip.
void StepTowardCentre(float* pos, float size, int16_t* flip)
{
    while (*pos >= size / 2) {
        *pos -= size;
        *flip = int16_t(*flip + 1);
    }
    while (*pos <= -size / 2) {
        *pos += size;
        *flip = int16_t(*flip - 1);
    }
}

// False when the sprite has no size, or lies so many sizes away that the
// stepping could not reach it in float precision: such a sprite is not drawn.
bool PlaceTiled(const recSprite& sprite, const recImage& image, float worldX, float worldY, float worldZoom,
                SInt32 width, SInt32 height, TiledPlacement* p)
{
    // Copies further apart than this many sizes, or grids wider than this
    // many copies, are beyond what a window can show.
    constexpr float kMaxSteps = 1.0e6f;
    constexpr float kMaxTiles = 1001.0f;
    p->xFlipOffset = 0;
    p->yFlipOffset = 0;
    p->xPos = sprite.centerX + worldX;
    p->yPos = sprite.centerY + worldY;
    p->xSize = float(image.imageWidth) * sprite.zoom * image.zoom;
    p->ySize = float(image.imageHeight) * sprite.zoom * image.zoom;
    if (!(p->xSize > 0.0f && p->ySize > 0.0f && std::isfinite(p->xSize) && std::isfinite(p->ySize)))
        return false;
    if (!(std::fabs(p->xPos) / p->xSize < kMaxSteps && std::fabs(p->yPos) / p->ySize < kMaxSteps))
        return false;
    StepTowardCentre(&p->xPos, p->xSize, &p->xFlipOffset);
    StepTowardCentre(&p->yPos, p->ySize, &p->yFlipOffset);
    const float minSize = std::min(p->xSize, p->ySize);
    const float maxWindow = float(std::max(width, height)) * 1.5f / worldZoom;
    const float tiles = maxWindow / minSize + 2.0f;
    p->tiles = int32_t(std::min(std::max(tiles, 0.0f), kMaxTiles));
    return true;
}

// One pass over the sprite: every copy, each tile drawn with drawType.
void DrawSpritePass(const recSprite& sprite, const recImage& image, const TiledPlacement* tiled, float worldX,
                    float worldY, float worldZ, float worldZoom, float zoom, GLenum drawType)
{
    if (!tiled) {
        glPushMatrix();
        glTranslatef((sprite.centerX + worldX) * worldZoom, (sprite.centerY + worldY) * worldZoom,
                     sprite.centerZ + worldZ);
        glRotatef(sprite.rotation, 0.0f, 0.0f, 1.0f);
        DrawTextureWalk(image, drawType, zoom, false, false);
        glPopMatrix();
        return;
    }
    const int32_t half = tiled->tiles / 2;
    for (int32_t i = -half; i <= half; ++i) {
        for (int32_t j = -half; j <= half; ++j) {
            glPushMatrix();
            glTranslatef((float(i) * tiled->xSize + tiled->xPos) * worldZoom,
                         (float(j) * tiled->ySize + tiled->yPos) * worldZoom, sprite.centerZ + worldZ);
            glRotatef(sprite.rotation, 0.0f, 0.0f, 1.0f);
            DrawTextureWalk(image, drawType, zoom, ((tiled->xFlipOffset + i) & 1) != 0,
                            ((tiled->yFlipOffset + j) & 1) != 0);
            glPopMatrix();
        }
    }
}

} // namespace

void DrawGLSprite(recSprite* pSprite, recImage* imageArray, float worldX, float worldY, float worldZ,
                  float worldRotation, float worldZoom, SInt32 width, SInt32 height, Boolean grid, Boolean lines)
{
    if (!pSprite || !imageArray)
        return;
    const recSprite& sprite = *pSprite;
    const recImage& image = imageArray[sprite.imageNum];
    TiledPlacement placement{};
    const bool tiled = sprite.fTiled != kNotTiled;
    if (tiled && !PlaceTiled(sprite, image, worldX, worldY, worldZoom, width, height, &placement))
        return;
    const float zoom = (sprite.zoom * image.zoom) * worldZoom;

    glPushMatrix();
    glRotatef(worldRotation, 0.0f, 0.0f, 1.0f);
    glShadeModel(GL_FLAT);
    glAlphaFunc(GL_GREATER, 0.5f);
    if (sprite.fAlphaTest)
        glEnable(GL_ALPHA_TEST);
    else
        glDisable(GL_ALPHA_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (sprite.fAlphaBlend) {
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_BLEND);
    } else {
        glEnable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
    }
    glEnable(GL_TEXTURE_2D);
    glColor4f(sprite.red, sprite.green, sprite.blue, sprite.alpha);
    DrawSpritePass(sprite, image, tiled ? &placement : nullptr, worldX, worldY, worldZ, worldZoom, zoom,
                   GL_TRIANGLE_STRIP);

    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);

    glColor4f(0.0f, 0.0f, 1.0f, 0.6f);
    if (grid)
        DrawGLPixelGrid(float(image.textureWidth), float(image.textureHeight), float(image.imageWidth),
                        float(image.imageHeight), zoom);
    glColor3f(0.0f, 1.0f, 0.0f);
    if (lines)
        DrawSpritePass(sprite, image, tiled ? &placement : nullptr, worldX, worldY, worldZ, worldZoom, zoom,
                       GL_LINE_STRIP);
    glPopMatrix();
}
