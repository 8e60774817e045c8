#include "Reference_Drawing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "GL_Text.h"
#include "Host_AGL.h"
#include "Host_App.h"

namespace {

void PlainText(const char* text, GLuint fontList)
{
    for (const char* c = text; *c; ++c)
        glCallList(fontList + static_cast<unsigned char>(*c));
}

void PlainWalk(const recImage& image, GLenum drawType, float zoom, bool mirrorX, bool mirrorY)
{
    int32_t offsetX = 0, k = 0;
    for (int32_t x = 0; x < image.textureX; ++x) {
        const int32_t w = GetNextTextureSize(image.textureWidth - offsetX, image.maxTextureSize);
        int32_t offsetY = 0;
        for (int32_t y = 0; y < image.textureY; ++y) {
            const int32_t h = GetNextTextureSize(image.textureHeight - offsetY, image.maxTextureSize);
            glBindTexture(GL_TEXTURE_2D, image.pTextureName ? image.pTextureName[k] : 0);
            ++k;
            DrawGLImage(int32_t(drawType), float(image.imageWidth), float(image.imageHeight), zoom,
                        float(mirrorX ? image.textureWidth - offsetX : offsetX),
                        float(mirrorY ? image.textureHeight - offsetY : offsetY),
                        float(mirrorX ? image.textureWidth - (offsetX + w) : offsetX + w),
                        float(mirrorY ? image.textureHeight - (offsetY + h) : offsetY + h));
            offsetY += h;
        }
        offsetX += w;
    }
}

void PlainSprite(const recSprite& sprite, const recImage& image, float worldX, float worldY, float worldZ,
                 float worldRotation, float worldZoom, SInt32 width, SInt32 height, bool grid, bool lines)
{
    const bool tiled = sprite.fTiled != kNotTiled;
    float xPos = sprite.centerX + worldX, yPos = sprite.centerY + worldY;
    const float xSize = float(image.imageWidth) * sprite.zoom * image.zoom;
    const float ySize = float(image.imageHeight) * sprite.zoom * image.zoom;
    int xFlip = 0, yFlip = 0, tiles = 0;
    if (tiled) {
        if (!(xSize > 0 && ySize > 0 && std::isfinite(xSize) && std::isfinite(ySize)))
            return;
        if (!(std::fabs(xPos) / xSize < 1e6f && std::fabs(yPos) / ySize < 1e6f))
            return;
        for (; xPos >= xSize / 2; ++xFlip)
            xPos -= xSize;
        for (; xPos <= -xSize / 2; --xFlip)
            xPos += xSize;
        for (; yPos >= ySize / 2; ++yFlip)
            yPos -= ySize;
        for (; yPos <= -ySize / 2; --yFlip)
            yPos += ySize;
        const float maxWindow = float(std::max(width, height)) * 1.5f / worldZoom;
        tiles = int(std::min(std::max(maxWindow / std::min(xSize, ySize) + 2.0f, 0.0f), 1001.0f));
    }
    const float zoom = (sprite.zoom * image.zoom) * worldZoom;
    auto pass = [&](GLenum drawType) {
        if (!tiled) {
            glPushMatrix();
            glTranslatef((sprite.centerX + worldX) * worldZoom, (sprite.centerY + worldY) * worldZoom,
                         sprite.centerZ + worldZ);
            glRotatef(sprite.rotation, 0, 0, 1);
            PlainWalk(image, drawType, zoom, false, false);
            glPopMatrix();
            return;
        }
        for (int i = -(tiles / 2); i <= tiles / 2; ++i)
            for (int j = -(tiles / 2); j <= tiles / 2; ++j) {
                glPushMatrix();
                glTranslatef((float(i) * xSize + xPos) * worldZoom, (float(j) * ySize + yPos) * worldZoom,
                             sprite.centerZ + worldZ);
                glRotatef(sprite.rotation, 0, 0, 1);
                PlainWalk(image, drawType, zoom, ((xFlip + i) & 1) != 0, ((yFlip + j) & 1) != 0);
                glPopMatrix();
            }
    };
    glPushMatrix();
    glRotatef(worldRotation, 0, 0, 1);
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
    pass(GL_TRIANGLE_STRIP);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glColor4f(0, 0, 1, 0.6f);
    if (grid)
        DrawGLPixelGrid(float(image.textureWidth), float(image.textureHeight), float(image.imageWidth),
                        float(image.imageHeight), zoom);
    glColor3f(0, 1, 0);
    if (lines)
        pass(GL_LINE_STRIP);
    glPopMatrix();
}

void PlainInfo(float worldX, float worldY, float worldRotation, float worldZoom, SInt32 width, SInt32 height,
               GLuint fontList, const std::string& fpsText)
{
    char text[256];
    glLoadIdentity();
    glTranslatef(-width / 2.0f, -height / 2.0f, 0);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.1f, 0.1f, 0.12f, 0.52f);
    glBegin(GL_QUADS);
    glVertex3f(0, 0, 0);
    glVertex3f(250, 0, 0);
    glVertex3f(250, 55, 0);
    glVertex3f(0, 55, 0);
    glVertex3f(0, float(height), 0);
    glVertex3f(250, float(height), 0);
    glVertex3f(250, float(height - 28), 0);
    glVertex3f(0, float(height - 28), 0);
    glEnd();
    glColor3f(0.9f, 0, 0);
    glRasterPos3d(10, 12, 0);
    std::snprintf(text, sizeof text, "Window: (%ld x %ld)", long(width), long(height));
    PlainText(text, fontList);
    glRasterPos3d(10, 24, 0);
    std::snprintf(text, sizeof text, "Position: (%0.1f, %0.1f) at %0.1f deg", double(worldX), double(worldY),
                  double(worldRotation));
    PlainText(text, fontList);
    glRasterPos3d(10, 36, 0);
    std::snprintf(text, sizeof text, "Zoom: %0.2f", double(worldZoom));
    PlainText(text, fontList);
    glRasterPos3d(10, 48, 0);
    PlainText(fpsText.c_str(), fontList);
    glRasterPos3d(10, height - 15.0, 0);
    PlainText(reinterpret_cast<const char*>(glGetString(GL_VENDOR)), fontList);
    glRasterPos3d(10, height - 3.0, 0);
    PlainText(reinterpret_cast<const char*>(glGetString(GL_RENDERER)), fontList);
}

} // namespace

void ReferenceDrawGL(WindowRef window, const std::string& fpsText)
{
    recWindow* w = static_cast<recWindow*>(GetWRefCon(window));
    if (!w || !w->aglContext)
        return;
    aglSetCurrentContext(w->aglContext);
    Rect port{};
    GetWindowPortBounds(window, &port);
    const SInt32 width = port.right - port.left, height = port.bottom - port.top;
    glViewport(0, 0, width, height);
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-width / 2.0, width / 2.0, -height / 2.0, height / 2.0, 0.0, 1000.0);
    glScalef(1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    float worldX = 0, worldY = 0, worldZ = 0, worldRotation = 0;
    if (w->numSprites > 0) {
        worldX = -w->pSpriteArray[0].centerX;
        worldY = -w->pSpriteArray[0].centerY;
        worldZ = -w->pSpriteArray[0].centerZ;
        worldRotation = gZarvoRotate ? 0.0f : -w->pSpriteArray[0].rotation;
    }
    for (SInt32 i = 0; i < w->numSprites; ++i) {
        const recSprite& sprite = w->pSpriteArray[i];
        if (sprite.imageNum >= 0 && sprite.imageNum < w->numImages)
            PlainSprite(sprite, w->pImageArray[sprite.imageNum], worldX, worldY, worldZ, worldRotation, w->zoom, width,
                        height, w->grid, w->lines);
    }
    if (w->info)
        PlainInfo(worldX, worldY, worldRotation, w->zoom, width, height, w->fontList, fpsText);
    aglSwapBuffers(w->aglContext);
}
