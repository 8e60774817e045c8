#include "Sprite_Utilities.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Data_File_Utilities.h"
#include "Error_Handler.h"
#include "GL_Quad_Arrays.h"
#include "Host_Files.h"
#include "Sprite_Window.h"

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

// From 2^27 up, a float's unit in the last place exceeds 8, so taking 360
// away rounds; from 2^33 up it rounds back to the same value.
constexpr float kExactSteps = 134217728.0f;
constexpr float kStuckSteps = 8589934592.0f;

// Takes 360 away from a (2^27 <= a < 2^33) as often as a float loop would
// before a falls below 2^27, giving the same rounded result in a few
// operations. Within one binade every rounded step is the same after the
// first (which may round a tie the other way), so the steps that stay in the
// binade are taken at once and the last ones one by one.
float StepBelowRounding(float a)
{
    while (a >= kExactSteps) {
        int exponent = 0;
        std::frexp(a, &exponent);
        const double low = std::ldexp(1.0, exponent - 1);
        a -= 360.0f;
        const float next = a - 360.0f;
        if (double(next) < low)
            continue;
        const double step = double(a) - double(next);
        const double count = std::floor((double(a) - low) / step);
        if (count > 1.0)
            a = float(double(a) - (count - 1.0) * step);
    }
    return a;
}

} // namespace

float WrapRotation(float rotation)
{
    if (!std::isfinite(rotation))
        return 0.0f;
    // Below 2^27 every step of 360 is exact, so the loop ends on the
    // remainder (360 for a whole number of turns above 360, 0 below 0).
    if (rotation > 360.0f) {
        if (rotation < kStuckSteps)
            rotation = StepBelowRounding(rotation);
        const float rest = std::fmod(rotation, 360.0f);
        return rest == 0.0f ? 360.0f : rest;
    }
    if (rotation < 0.0f) {
        if (rotation > -kStuckSteps)
            rotation = -StepBelowRounding(-rotation);
        const float rest = std::fmod(rotation, 360.0f);
        return rest == 0.0f ? 0.0f : rest + 360.0f;
    }
    return rotation;
}

namespace {

// Not a typing slip: the world has always turned by this value of pi (its
// sixth digit is off), and every rotation and heading follows from it. Keep it.
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
            sprite.rotation = WrapRotation(float(sprite.rotation + turn * dt));
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

// Calls tile(k, startX, startY, endX, endY) for every texture tile of the
// image in tile order: its texture index and its pixel rectangle, mirrored
// along x and y as asked.
template <typename Tile>
void WalkTiles(const recImage& image, bool mirrorX, bool mirrorY, Tile tile)
{
    int32_t offsetX = 0;
    int32_t k = 0;
    for (int32_t x = 0; x < image.textureX; ++x) {
        const int32_t currWidth = GetNextTextureSize(image.textureWidth - offsetX, image.maxTextureSize);
        int32_t offsetY = 0;
        for (int32_t y = 0; y < image.textureY; ++y) {
            const int32_t currHeight = GetNextTextureSize(image.textureHeight - offsetY, image.maxTextureSize);
            tile(k++, float(mirrorX ? image.textureWidth - offsetX : offsetX),
                 float(mirrorY ? image.textureHeight - offsetY : offsetY),
                 float(mirrorX ? image.textureWidth - (offsetX + currWidth) : offsetX + currWidth),
                 float(mirrorY ? image.textureHeight - (offsetY + currHeight) : offsetY + currHeight));
            offsetY += currHeight;
        }
        offsetX += currWidth;
    }
}

GLuint TileTexture(const recImage& image, int32_t k)
{
    return image.pTextureName ? image.pTextureName[k] : 0;
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

// The view of one frame, as the sprites are drawn in it.
struct SpriteView {
    float worldX, worldY, worldZ, worldZoom;
    float cosR, sinR;   // the world rotation
    float halfW, halfH; // the window, in drawing space around its centre
    bool grid, lines;
    double halfDiagonal; // of the window: how far from its centre it reaches
};

// How far an image reaches from its centre at zoom 1.
double HalfDiagonal(const recImage& image)
{
    const double w = image.imageWidth, h = image.imageHeight;
    return 0.5 * std::sqrt(w * w + h * h);
}

// Textured quads waiting to be drawn: consecutive tiles that share their
// texture and GL state go to the GL as one array of triangles, in order.
struct QuadBatch {
    GLQuadArrays arrays;
    GLuint texture = 0;
    bool allWhite = true;   // every quad waiting has the colour (1, 1, 1, 1)
    bool replacing = false; // the GL is set to draw without colours
};

QuadBatch& Batch()
{
    static QuadBatch batch; // keeps its storage from frame to frame
    return batch;
}

// Sets the texture environment and the colour array for drawing the batch
// with its colours (GL_MODULATE, as the sprites ask) or without them.
void UseColours(QuadBatch* b, bool colours)
{
    if (b->replacing == !colours)
        return;
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, colours ? GL_MODULATE : GL_REPLACE);
    if (colours) {
        glEnableClientState(GL_COLOR_ARRAY);
    } else {
        glDisableClientState(GL_COLOR_ARRAY);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f); // the alpha of luminance texels
    }
    b->replacing = !colours;
}

// Multiplying by an opaque white colour leaves every texel as it is, of any
// format: a batch of such quads goes to the GL with GL_REPLACE and without
// its colours, which spares the GL a colour per vertex and a product per
// pixel.
void FlushBatch()
{
    QuadBatch& b = Batch();
    if (b.arrays.vertices.empty())
        return;
    glBindTexture(GL_TEXTURE_2D, b.texture);
    UseColours(&b, !b.allWhite);
    DrawGLQuadArrays(&b.arrays, GL_QUADS);
    b.allWhite = true;
}

// The sprite state last given to the GL in this frame (-1: not known), so
// that a run of alike sprites sets it once.
struct SpriteGLState {
    int alphaTest = -1, blend = -1, texturing = -1;
};

void Toggle(GLenum cap, bool on)
{
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

void UseSpriteState(SpriteGLState* state, bool alphaTest, bool blend, bool texturing)
{
    if (state->alphaTest == int(alphaTest) && state->blend == int(blend) && state->texturing == int(texturing))
        return;
    FlushBatch();
    if (state->alphaTest != int(alphaTest))
        Toggle(GL_ALPHA_TEST, alphaTest);
    if (state->blend != int(blend)) {
        Toggle(GL_BLEND, blend);
        Toggle(GL_DEPTH_TEST, !blend);
    }
    if (state->texturing != int(texturing))
        Toggle(GL_TEXTURE_2D, texturing);
    *state = SpriteGLState{int(alphaTest), int(blend), int(texturing)};
}

// What one frame may cost at most. A sprite file can ask for any number of
// sprites, of copies of tiled sprites and of pixels; past these the rest of
// the frame is left out, so that a frame of the software renderer stays
// within about a quarter of a second.
struct FrameBudget {
    int64_t quads;     // texture tiles and outline tiles
    double pixels;     // window pixels covered, overdraw counted
    int64_t gridLines; // texel grid lines
    bool spent;
};

bool Spend(FrameBudget* budget, int64_t quads, double pixels, int64_t gridLines = 0)
{
    if (budget->spent)
        return false;
    budget->quads -= quads;
    budget->pixels -= pixels;
    budget->gridLines -= gridLines;
    if (budget->quads < 0 || budget->pixels < 0 || budget->gridLines < 0) {
        budget->spent = true;
        static bool reported = false;
        if (!reported) {
            char message[256];
            std::snprintf(message, sizeof message,
                          "DrawGL: the sprite file asks for more than %lld texture tiles, %lld pixels or %lld texel "
                          "grid lines in one frame; the rest of such frames is not drawn",
                          static_cast<long long>(kMaxTilesPerFrame), static_cast<long long>(kMaxPixelsPerFrame),
                          static_cast<long long>(kMaxGridLinesPerFrame));
            ReportError(message);
        }
        reported = true;
        return false;
    }
    return true;
}

// One texture tile of a copy placed at (tx, ty, tz) and turned by (c, s):
// culled when it lies wholly outside the window, else the part of it that can
// show, shown (with texture coordinates st: s0, t0, s1, t1; null when nothing
// shows), is added to the batch as a quad. False when
// the frame's budget is spent; the budget counts the whole tile.
bool AddTile(const SpriteView& view, FrameBudget* budget, const GLImageCorners& q, const GLImageCorners* shown,
             const float st[4], float tx, float ty, float tz, float c, float s, const GLfloat rgba[4])
{
    auto place = [&](const GLImageCorners& corners, float x[4], float y[4]) {
        const float px[4] = {corners.startX, corners.endX, corners.startX, corners.endX};
        const float py[4] = {corners.startY, corners.startY, corners.endY, corners.endY};
        for (int v = 0; v < 4; ++v) {
            x[v] = c * px[v] - s * py[v] + tx;
            y[v] = s * px[v] + c * py[v] + ty;
        }
    };
    float x[4], y[4];
    place(q, x, y);
    float minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
    for (int v = 0; v < 4; ++v) {
        const float wx = view.cosR * x[v] - view.sinR * y[v];
        const float wy = view.sinR * x[v] + view.cosR * y[v];
        minX = std::min(minX, wx);
        maxX = std::max(maxX, wx);
        minY = std::min(minY, wy);
        maxY = std::max(maxY, wy);
    }
    // NaN corners fail every comparison and are drawn, as the GL would.
    if (minX > view.halfW || maxX < -view.halfW || minY > view.halfH || maxY < -view.halfH)
        return true;
    const double covered = (double(std::min(maxX, view.halfW)) - double(std::max(minX, -view.halfW))) *
                           (double(std::min(maxY, view.halfH)) - double(std::max(minY, -view.halfH)));
    if (!Spend(budget, 1, std::isfinite(covered) ? covered : 0.0))
        return false;
    if (!shown)
        return true;
    place(*shown, x, y);
    const GLfloat vertexST[4][2] = {{st[0], st[1]}, {st[2], st[1]}, {st[0], st[3]}, {st[2], st[3]}};
    QuadBatch& b = Batch();
    // Round the quad; its triangles meet along the diagonal from corner 1
    // to corner 2.
    for (int v : {0, 1, 3, 2})
        b.arrays.vertices.push_back(
            {x[v], y[v], tz, vertexST[v][0], vertexST[v][1], rgba[0], rgba[1], rgba[2], rgba[3]});
    b.allWhite = b.allWhite && rgba[0] == 1.0f && rgba[1] == 1.0f && rgba[2] == 1.0f && rgba[3] == 1.0f;
    return true;
}

// The copies of a sprite: one at its place, or the tiled grid's copies that
// can reach the window. Calls copy(tx, ty, mirrorX, mirrorY) for each, in
// the grid's order; stops when copy returns false.
template <typename Copy>
void ForEachCopy(const recSprite& sprite, const recImage& image, const TiledPlacement* tiled, const SpriteView& view,
                 Copy copy)
{
    const float worldZoom = view.worldZoom;
    if (!tiled) {
        copy((sprite.centerX + view.worldX) * worldZoom, (sprite.centerY + view.worldY) * worldZoom, false, false);
        return;
    }
    // Copies whose centre lies further from the window's centre than the
    // window's and the copy's half diagonals together cannot be seen.
    const double reach = view.halfDiagonal + HalfDiagonal(image) * double(sprite.zoom * image.zoom) * double(worldZoom);
    const int32_t half = tiled->tiles / 2;
    auto range = [&](float pos, float size, int32_t* lo, int32_t* hi) {
        const double a = (-reach / double(worldZoom) - double(pos)) / double(size);
        const double b = (reach / double(worldZoom) - double(pos)) / double(size);
        *lo = a > double(-half) ? int32_t(std::ceil(std::min(a, double(half) + 1.0))) : -half;
        *hi = b < double(half) ? int32_t(std::floor(std::max(b, double(-half) - 1.0))) : half;
    };
    int32_t iLo, iHi, jLo, jHi;
    range(tiled->xPos, tiled->xSize, &iLo, &iHi);
    range(tiled->yPos, tiled->ySize, &jLo, &jHi);
    for (int32_t i = iLo; i <= iHi; ++i)
        for (int32_t j = jLo; j <= jHi; ++j)
            if (!copy((float(i) * tiled->xSize + tiled->xPos) * worldZoom,
                      (float(j) * tiled->ySize + tiled->yPos) * worldZoom, ((tiled->xFlipOffset + i) & 1) != 0,
                      ((tiled->yFlipOffset + j) & 1) != 0))
                return;
}

// The texels of tile k (w by h) that a sprite's textured pass draws.
// Blending leaves the window as it was wherever the texture's alpha is zero:
// of each tile only the rest is drawn. (Not under the alpha test: there a
// hair's change in where the smaller quad puts a texture coordinate can flip
// a whole pixel at the cut-out's edge.)
TexelRect DrawnTexels(const recSprite& sprite, const recImage& image, int32_t k, int32_t w, int32_t h)
{
    if (sprite.fAlphaBlend && !sprite.fAlphaTest && image.pTileAlpha)
        return image.pTileAlpha[k];
    return TexelRect{0, 0, w, h};
}

// The textured pass of one sprite, into the batch; of a hidden sprite only
// what the frame's budget counts. False when the budget is spent.
bool AddSpriteTiles(const recSprite& sprite, const recImage& image, const TiledPlacement* tiled, const SpriteView& view,
                    bool hidden, FrameBudget* budget)
{
    const float zoom = (sprite.zoom * image.zoom) * view.worldZoom;
    const float radians = float(double(sprite.rotation) * M_PI / 180.0);
    const float c = sprite.rotation == 0.0f ? 1.0f : std::cos(radians);
    const float s = sprite.rotation == 0.0f ? 0.0f : std::sin(radians);
    const float tz = sprite.centerZ + view.worldZ;
    const GLfloat rgba[4] = {sprite.red, sprite.green, sprite.blue, sprite.alpha};
    bool more = true;
    ForEachCopy(sprite, image, tiled, view, [&](float tx, float ty, bool mirrorX, bool mirrorY) {
        WalkTiles(image, mirrorX, mirrorY, [&](int32_t k, float x0, float y0, float x1, float y1) {
            if (!more)
                return;
            const GLImageCorners q =
                GetGLImageCorners(float(image.imageWidth), float(image.imageHeight), zoom, x0, y0, x1, y1);
            // Tile edges are powers of two and whole pixels: these are exact,
            // and for the whole tile they are its own corners and 0 to 1.
            const int32_t w = int32_t(std::fabs(x1 - x0)), h = int32_t(std::fabs(y1 - y0));
            const TexelRect seen = DrawnTexels(sprite, image, k, w, h);
            // The linear filter reaches half a texel beyond a texel with
            // alpha: a side of the rectangle grown a texel from such a texel
            // (not one at the tile's edge) draws the half it needs.
            const float half[4] = {seen.x0 > 0 ? 0.5f : 0.0f, seen.y0 > 0 ? 0.5f : 0.0f, seen.x1 < w ? 0.5f : 0.0f,
                                   seen.y1 < h ? 0.5f : 0.0f};
            const float st[4] = {(float(seen.x0) + half[0]) / float(w), (float(seen.y0) + half[1]) / float(h),
                                 (float(seen.x1) - half[2]) / float(w), (float(seen.y1) - half[3]) / float(h)};
            const GLImageCorners part =
                GetGLImageCorners(float(image.imageWidth), float(image.imageHeight), zoom, x0 + (x1 - x0) * st[0],
                                  y0 + (y1 - y0) * st[1], x0 + (x1 - x0) * st[2], y0 + (y1 - y0) * st[3]);
            const bool nothingShows = hidden || seen.x0 >= seen.x1 || seen.y0 >= seen.y1;
            const GLuint texture = TileTexture(image, k);
            QuadBatch& b = Batch();
            if (!nothingShows && texture != b.texture) {
                FlushBatch();
                b.texture = texture;
            }
            more = AddTile(view, budget, q, nothingShows ? nullptr : &part, st, tx, ty, tz, c, s, rgba);
        });
        return more;
    });
    return more;
}

// Pixels of the window, a bit each: those that a sprite drawn later paints
// with texels of full opacity. Columns and rows count from the window's
// top-left pixel; ranges are inclusive and within the window.
class CoverMap {
public:
    void Reset(int32_t width, int32_t height)
    {
        words = (width + 63) / 64;
        bits.assign(size_t(words) * size_t(height), 0);
    }
    bool Covers(int32_t x0, int32_t x1, int32_t y0, int32_t y1) const
    {
        for (int32_t y = y0; y <= y1; ++y)
            for (int32_t w = x0 / 64; w <= x1 / 64; ++w)
                if ((bits[size_t(y) * size_t(words) + size_t(w)] & Mask(w, x0, x1)) != Mask(w, x0, x1))
                    return false;
        return true;
    }
    void Mark(int32_t y, int32_t x0, int32_t x1)
    {
        for (int32_t w = x0 / 64; w <= x1 / 64; ++w)
            bits[size_t(y) * size_t(words) + size_t(w)] |= Mask(w, x0, x1);
    }

private:
    // The bits of word w that columns x0..x1 take.
    static uint64_t Mask(int32_t w, int32_t x0, int32_t x1)
    {
        const int32_t lo = std::max(x0 - w * 64, 0), hi = std::min(x1 - w * 64, 63);
        return (hi == 63 ? ~uint64_t(0) : (uint64_t(1) << (hi + 1)) - 1) & ~((uint64_t(1) << lo) - 1);
    }
    int32_t words = 0;
    std::vector<uint64_t> bits;
};

// The window's pixels (columns x0..x1, rows y0..y1) whose centres a sprite's
// textured pass can reach, a pixel more all round; empty (x0 > x1 or
// y0 > y1) when none of the window's. False when a corner is not a number.
struct PixelBox {
    int32_t x0, x1, y0, y1;
};

bool DrawnPixels(const recSprite& sprite, const recImage& image, const SpriteView& view, float zoom, PixelBox* box)
{
    // The part of the image the pass draws: the union of its tiles' drawn
    // rectangles, in texels of the image.
    double bx0 = INFINITY, by0 = INFINITY, bx1 = -INFINITY, by1 = -INFINITY;
    WalkTiles(image, false, false, [&](int32_t k, float x0, float y0, float x1, float y1) {
        const TexelRect seen = DrawnTexels(sprite, image, k, int32_t(x1 - x0), int32_t(y1 - y0));
        if (seen.x0 >= seen.x1 || seen.y0 >= seen.y1)
            return;
        bx0 = std::min(bx0, double(x0) + seen.x0);
        by0 = std::min(by0, double(y0) + seen.y0);
        bx1 = std::max(bx1, double(x0) + seen.x1);
        by1 = std::max(by1, double(y0) + seen.y1);
    });
    if (bx0 > bx1) {
        *box = PixelBox{0, -1, 0, -1};
        return true;
    }
    const double radians = double(sprite.rotation) * M_PI / 180.0;
    const double c = sprite.rotation == 0.0f ? 1.0 : std::cos(radians);
    const double s = sprite.rotation == 0.0f ? 0.0 : std::sin(radians);
    const double tx = double((sprite.centerX + view.worldX) * view.worldZoom);
    const double ty = double((sprite.centerY + view.worldY) * view.worldZoom);
    double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
    for (double px : {bx0, bx1})
        for (double py : {by0, by1}) {
            const double x = (px - 0.5 * image.imageWidth) * double(zoom);
            const double y = (py - 0.5 * image.imageHeight) * double(zoom);
            minX = std::min(minX, c * x - s * y + tx);
            maxX = std::max(maxX, c * x - s * y + tx);
            minY = std::min(minY, s * x + c * y + ty);
            maxY = std::max(maxY, s * x + c * y + ty);
        }
    const double halfW = double(view.halfW) - 1.0, halfH = double(view.halfH) - 1.0; // the window itself
    if (!(std::isfinite(minX) && std::isfinite(maxX) && std::isfinite(minY) && std::isfinite(maxY)))
        return false;
    const double x0 = std::max(std::floor(minX + halfW) - 1.0, 0.0),
                 x1 = std::min(std::ceil(maxX + halfW) + 1.0, 2.0 * halfW - 1.0);
    const double y0 = std::max(std::floor(minY + halfH) - 1.0, 0.0),
                 y1 = std::min(std::ceil(maxY + halfH) + 1.0, 2.0 * halfH - 1.0);
    *box = x0 > x1 || y0 > y1 ? PixelBox{0, -1, 0, -1} : PixelBox{int32_t(x0), int32_t(x1), int32_t(y0), int32_t(y1)};
    return true;
}

// The floor of a value well within the range of int32_t, without a call.
int32_t FloorOfSmall(double v)
{
    const int32_t i = int32_t(v);
    return i - int32_t(double(i) > v);
}

// Marks the pixels that an upright sprite paints with fully opaque filtered
// samples: those whose centre's linear filter reads only texels of the
// tiles' opaque runs, kept a safe margin from every rounding step.
void MarkOpaquePixels(const recSprite& sprite, const recImage& image, const SpriteView& view, float zoom,
                      CoverMap* cover)
{
    const double z = double(zoom);
    const double halfW = double(view.halfW) - 1.0, halfH = double(view.halfH) - 1.0;
    const int32_t width = int32_t(2.0 * halfW), height = int32_t(2.0 * halfH);
    const double tx = double((sprite.centerX + view.worldX) * view.worldZoom);
    const double ty = double((sprite.centerY + view.worldY) * view.worldZoom);
    // In texels: a twentieth of a texel and of a pixel, far beyond the
    // rasteriser's sub-pixel and the sampler's sub-texel steps.
    const double margin = 0.05 + 0.05 / z;
    WalkTiles(image, false, false, [&](int32_t k, float fx0, float fy0, float, float fy1) {
        const TexelSpan* rows = image.pOpaqueRows + size_t(k / image.textureY) * size_t(image.textureHeight);
        const int32_t tileY = int32_t(fy0), tileH = int32_t(fy1 - fy0);
        const double left = tx + (double(fx0) - 0.5 * image.imageWidth) * z + halfW - 0.5;
        const double top = ty + (double(fy0) - 0.5 * image.imageHeight) * z + halfH - 0.5;
        const double firstRow = std::max(std::ceil(top), 0.0);
        const double lastRow = std::min(std::floor(top + tileH * z), double(height - 1));
        for (double j = firstRow; j <= lastRow; ++j) {
            const double v = (j - top) / z; // the pixel centre's row, in texels of the tile
            const int32_t r0 = FloorOfSmall(v - 0.5 - margin), r1 = FloorOfSmall(v - 0.5 + margin) + 1;
            if (r0 < 0 || r1 > tileH - 1)
                continue;
            int32_t lo = 0, hi = INT32_MAX;
            for (int32_t r = r0; r <= r1; ++r) {
                lo = std::max(lo, rows[tileY + r].x0);
                hi = std::min(hi, rows[tileY + r].x1);
            }
            if (lo >= hi)
                continue;
            // Kept within a pixel of the window before rounding; NaN stays out.
            const double a = left + (lo + 0.5 + margin) * z, b = left + (hi - 0.5 - margin) * z;
            if (!(a <= double(width) && b >= 0.0))
                continue;
            const int32_t first = std::max(-FloorOfSmall(-std::max(a, -1.0)), 0);
            const int32_t last = std::min(-FloorOfSmall(-std::min(b, double(width))) - 1, width - 1);
            if (first <= last)
                cover->Mark(int32_t(j), first, last);
        }
    });
}

// Whether everything the frame can draw stays within its budget, so that
// every sprite is drawn and none is left out for the budget's sake. An upper
// bound: each tile counts its whole area (a turned tile that of its turned
// bounding box), and a tiled sprite, whose copies are many, says no.
bool FrameFitsBudget(const recSprite* sprites, SInt32 numSprites, const recImage* images, SInt32 numImages,
                     const SpriteView& view)
{
    const double windowArea = (2.0 * double(view.halfW)) * (2.0 * double(view.halfH));
    double quads = 0.0, pixels = 0.0;
    for (SInt32 n = 0; n < numSprites; ++n) {
        const recSprite& sprite = sprites[n];
        if (sprite.imageNum < 0 || sprite.imageNum >= numImages)
            continue;
        if (sprite.fTiled != kNotTiled)
            return false;
        const recImage& image = images[sprite.imageNum];
        const double zoom = double(sprite.zoom * image.zoom) * double(view.worldZoom);
        WalkTiles(image, false, false, [&](int32_t, float x0, float y0, float x1, float y1) {
            const double w = std::fabs(double(x1 - x0) * zoom), h = std::fabs(double(y1 - y0) * zoom);
            const double area = sprite.rotation == 0.0f ? w * h : 0.5 * (w + h) * (w + h);
            quads += 1.0;
            pixels += std::isfinite(area) ? std::min(area, windowArea) : windowArea;
        });
    }
    return quads <= double(kMaxTilesPerFrame) && pixels * 1.01 <= double(kMaxPixelsPerFrame);
}

// Whether a sprite, drawn, paints its opaque texels as they are over
// whatever lies below: upright, opaque and blended (so without the depth
// test), within the depth range and well clear of its planes, at least a
// hundredth of its size (the margins in texels stay small), with texels
// whose alpha is their own.
bool Hides(const recSprite& sprite, const recImage& image, const SpriteView& view, float zoom)
{
    const float z = sprite.centerZ + view.worldZ;
    return sprite.fAlphaBlend && sprite.alpha >= 1.0f && sprite.rotation == 0.0f && zoom >= 0.01f &&
           std::isfinite(zoom) && image.pOpaqueRows && z <= -0.01f && z >= -999.99f;
}

// Which sprites the frame may leave out because sprites drawn after them
// paint every pixel they could touch with fully opaque texels: there
// blending puts the later sprite's colour down and keeps nothing of what was
// below. Only blended sprites are left out (the others write depth) and only
// upright, opaque, blended sprites hide (they pass no depth test and their
// opaque texels blend as a plain copy), in an upright view without the debug
// passes, when the frame is sure to be drawn whole.
void FindHiddenSprites(const recSprite* sprites, SInt32 numSprites, const recImage* images, SInt32 numImages,
                       const SpriteView& view, std::vector<char>* hidden)
{
    hidden->assign(size_t(std::max<SInt32>(numSprites, 0)), 0);
    const double width = 2.0 * (double(view.halfW) - 1.0), height = 2.0 * (double(view.halfH) - 1.0);
    if (view.grid || view.lines || view.cosR != 1.0f || view.sinR != 0.0f || !(width >= 1.0 && height >= 1.0) ||
        width * height > 1e8 || !FrameFitsBudget(sprites, numSprites, images, numImages, view))
        return;
    // Unless the opaque texels of the sprites that can hide others cover the
    // window at least once over, so few sprites are hidden that the search
    // costs more than it saves.
    static std::vector<double> opaqueTexels;
    opaqueTexels.assign(size_t(std::max<SInt32>(numImages, 0)), -1.0);
    double opaqueArea = 0.0;
    for (SInt32 n = 0; n < numSprites; ++n) {
        const recSprite& sprite = sprites[n];
        if (sprite.imageNum < 0 || sprite.imageNum >= numImages)
            continue;
        const recImage& image = images[sprite.imageNum];
        const float zoom = (sprite.zoom * image.zoom) * view.worldZoom;
        if (!Hides(sprite, image, view, zoom))
            continue;
        double& texels = opaqueTexels[size_t(sprite.imageNum)];
        if (texels < 0.0) {
            texels = 0.0;
            for (int64_t i = 0, count = int64_t(image.textureX) * image.textureHeight; i < count; ++i)
                texels += image.pOpaqueRows[i].x1 - image.pOpaqueRows[i].x0;
        }
        opaqueArea += std::min(texels * double(zoom) * double(zoom), width * height);
    }
    if (opaqueArea < width * height)
        return;
    static CoverMap cover;
    cover.Reset(int32_t(width), int32_t(height));
    for (SInt32 n = numSprites - 1; n >= 0; --n) {
        const recSprite& sprite = sprites[n];
        if (sprite.imageNum < 0 || sprite.imageNum >= numImages || !sprite.fAlphaBlend || !(sprite.alpha > 0.0f))
            continue;
        const recImage& image = images[sprite.imageNum];
        const float zoom = (sprite.zoom * image.zoom) * view.worldZoom;
        PixelBox box{};
        if (DrawnPixels(sprite, image, view, zoom, &box) &&
            (box.x0 > box.x1 || box.y0 > box.y1 || cover.Covers(box.x0, box.x1, box.y0, box.y1))) {
            (*hidden)[size_t(n)] = 1;
            continue;
        }
        if (Hides(sprite, image, view, zoom))
            MarkOpaquePixels(sprite, image, view, zoom, &cover);
    }
}

// Whether a sprite, at its place, lies wholly outside the circle around the
// window: further from the view centre than the window's and the image's
// half diagonals together, whatever the turns.
bool OutOfSight(const recSprite& sprite, const recImage& image, const SpriteView& view)
{
    const double zoom = double(sprite.zoom * image.zoom) * double(view.worldZoom);
    const double x = double((sprite.centerX + view.worldX) * view.worldZoom);
    const double y = double((sprite.centerY + view.worldY) * view.worldZoom);
    const double reach = view.halfDiagonal + HalfDiagonal(image) * std::fabs(zoom);
    return x * x + y * y > reach * reach; // false for NaN: such a sprite goes on to the exact test
}

// The texel grid and the tile outlines of one sprite, drawn at once with the
// GL's own matrices. False when the frame's budget is spent.
bool DrawSpriteDebugPasses(const recSprite& sprite, const recImage& image, const TiledPlacement* tiled,
                           const SpriteView& view, FrameBudget* budget)
{
    const float zoom = (sprite.zoom * image.zoom) * view.worldZoom;
    glColor4f(0.0f, 0.0f, 1.0f, 0.6f);
    if (view.grid) {
        if (!Spend(budget, 0, 0.0, int64_t(image.textureWidth) + image.textureHeight + 2))
            return false;
        DrawGLPixelGrid(float(image.textureWidth), float(image.textureHeight), float(image.imageWidth),
                        float(image.imageHeight), zoom);
    }
    glColor3f(0.0f, 1.0f, 0.0f);
    if (!view.lines)
        return true;
    const int64_t tilesPerCopy = int64_t(image.textureX) * image.textureY;
    bool more = true;
    ForEachCopy(sprite, image, tiled, view, [&](float tx, float ty, bool mirrorX, bool mirrorY) {
        if (!(more = Spend(budget, tilesPerCopy, 0.0)))
            return false;
        glPushMatrix();
        glTranslatef(tx, ty, sprite.centerZ + view.worldZ);
        glRotatef(sprite.rotation, 0.0f, 0.0f, 1.0f);
        WalkTiles(image, mirrorX, mirrorY, [&](int32_t k, float x0, float y0, float x1, float y1) {
            glBindTexture(GL_TEXTURE_2D, TileTexture(image, k));
            DrawGLImage(GL_LINE_STRIP, float(image.imageWidth), float(image.imageHeight), zoom, x0, y0, x1, y1);
        });
        glPopMatrix();
        return true;
    });
    return more;
}

} // namespace

bool SpritesTestDepth(const recSprite* pSpriteArray, SInt32 numSprites)
{
    for (SInt32 n = 0; pSpriteArray && n < numSprites; ++n)
        if (!pSpriteArray[n].fAlphaBlend)
            return true;
    return false;
}

void DrawGLSprites(recSprite* pSpriteArray, SInt32 numSprites, recImage* imageArray, SInt32 numImages, float worldX,
                   float worldY, float worldZ, float worldRotation, float worldZoom, SInt32 width, SInt32 height,
                   Boolean grid, Boolean lines, Boolean leaveOutHidden)
{
    if (!pSpriteArray || !imageArray)
        return;
    const float radians = float(double(worldRotation) * M_PI / 180.0);
    // A pixel of margin all round for the rasteriser's rounding.
    const float halfW = float(width) / 2.0f + 1.0f, halfH = float(height) / 2.0f + 1.0f;
    const SpriteView view{worldX,
                          worldY,
                          worldZ,
                          worldZoom,
                          std::cos(radians),
                          std::sin(radians),
                          halfW,
                          halfH,
                          grid != 0,
                          lines != 0,
                          std::sqrt(double(halfW) * halfW + double(halfH) * halfH)};
    FrameBudget budget{kMaxTilesPerFrame, double(kMaxPixelsPerFrame), kMaxGridLinesPerFrame, false};
    static std::vector<char> hidden;
    if (leaveOutHidden)
        FindHiddenSprites(pSpriteArray, numSprites, imageArray, numImages, view, &hidden);
    else
        hidden.assign(size_t(std::max<SInt32>(numSprites, 0)), 0);

    glPushMatrix();
    glRotatef(worldRotation, 0.0f, 0.0f, 1.0f);
    glShadeModel(GL_FLAT);
    glAlphaFunc(GL_GREATER, 0.5f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    Batch().texture = 0;
    glBindTexture(GL_TEXTURE_2D, 0);
    SpriteGLState state;
    for (SInt32 n = 0; n < numSprites && !budget.spent; ++n) {
        const recSprite& sprite = pSpriteArray[n];
        // A sprite naming an image the file does not have is not drawn.
        if (sprite.imageNum < 0 || sprite.imageNum >= numImages)
            continue;
        const recImage& image = imageArray[sprite.imageNum];
        TiledPlacement placement{};
        const bool tiled = sprite.fTiled != kNotTiled;
        if (tiled && !PlaceTiled(sprite, image, worldX, worldY, worldZoom, width, height, &placement))
            continue;
        const TiledPlacement* place = tiled ? &placement : nullptr;
        // Blending with no opacity changes nothing: the sprite is invisible.
        // A sprite whose image lies wholly outside the window's circle, with
        // no texel grid to draw at the view centre, is not seen either.
        const bool invisible =
            (sprite.fAlphaBlend && sprite.alpha <= 0.0f) || (!tiled && OutOfSight(sprite, image, view));
        if (!invisible) {
            const bool leftOut = hidden[size_t(n)] != 0;
            if (!leftOut)
                UseSpriteState(&state, sprite.fAlphaTest, sprite.fAlphaBlend, true);
            if (!AddSpriteTiles(sprite, image, place, view, leftOut, &budget))
                break;
        }
        if (grid || lines) {
            FlushBatch();
            UseSpriteState(&state, false, false, false);
            glDisable(GL_BLEND);
            glDisable(GL_DEPTH_TEST);
            state.blend = -1; // the depth test is off too, unlike a sprite without blending
            if (!DrawSpriteDebugPasses(sprite, image, place, view, &budget))
                break;
        }
    }
    FlushBatch();
    UseColours(&Batch(), true);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glColor3f(0.0f, 1.0f, 0.0f);
    glPopMatrix();
}

void DrawGLSprite(recSprite* pSprite, recImage* imageArray, float worldX, float worldY, float worldZ,
                  float worldRotation, float worldZoom, SInt32 width, SInt32 height, Boolean grid, Boolean lines)
{
    if (!pSprite || pSprite->imageNum < 0)
        return;
    DrawGLSprites(pSprite, 1, imageArray, pSprite->imageNum + 1, worldX, worldY, worldZ, worldRotation, worldZoom,
                  width, height, grid, lines, false);
}
