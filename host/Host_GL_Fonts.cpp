// Bitmap fonts: display lists of glyphs rasterised with QPainter, and the
// same glyphs packed into one texture of the context.
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <string>

#include "Host_AGL_Internal.h"

namespace {

// Font family numbers: the index of the name in this table, plus one.
std::vector<std::string>& FontFamilies()
{
    static std::vector<std::string> families;
    return families;
}

// Packs the glyphs' coverage into rows of one alpha texture and keeps it
// with the context; the font then draws a whole string at once. Without a
// texture the font keeps only its lists.
void BuildFontAtlas(AGLContext ctx, HostFontAtlas* atlas, const std::vector<std::vector<GLubyte>>& coverage)
{
    constexpr int kWidth = 256;
    int x = 0, y = 0, rowHeight = 0;
    for (HostGlyph& g : atlas->glyphs) {
        if (x + g.width > kWidth) {
            x = 0;
            y += rowHeight;
            rowHeight = 0;
        }
        g.x = int16_t(x);
        g.y = int16_t(y);
        x += g.width;
        rowHeight = std::max(rowHeight, int(g.height));
    }
    int height = 1;
    while (height < y + rowHeight)
        height *= 2;
    if (height > kWidth * 4)
        return;
    std::vector<GLubyte> texels(size_t(kWidth) * size_t(height), 0);
    for (size_t c = 0; c < 256; ++c) {
        const HostGlyph& g = atlas->glyphs[c];
        for (int row = 0; row < g.height; ++row)
            std::copy_n(coverage[c].begin() + row * g.width, g.width, texels.begin() + (g.y + row) * kWidth + g.x);
    }
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glGenTextures(1, &atlas->texture);
    glBindTexture(GL_TEXTURE_2D, atlas->texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA8, kWidth, height, 0, GL_ALPHA, GL_UNSIGNED_BYTE, texels.data());
    glPopClientAttrib();
    glBindTexture(GL_TEXTURE_2D, GLuint(bound));
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &atlas->texture);
        return;
    }
    atlas->width = kWidth;
    atlas->height = height;
    auto& fonts = ctx->fonts;
    const auto same = [&](const HostFontAtlas& f) { return f.base == atlas->base; };
    fonts.erase(std::remove_if(fonts.begin(), fonts.end(), same), fonts.end());
    fonts.push_back(*atlas);
}

} // namespace

void GetFNum(ConstStringPtr name, int16_t* familyID)
{
    if (!familyID)
        return;
    *familyID = 0;
    if (!name)
        return;
    const std::string family(reinterpret_cast<const char*>(name + 1), name[0]);
    std::vector<std::string>& families = FontFamilies();
    auto it = std::find(families.begin(), families.end(), family);
    if (it == families.end())
        it = families.insert(families.end(), family);
    *familyID = int16_t(it - families.begin() + 1);
}

Boolean aglUseFont(AGLContext ctx, GLint fontID, Style face, GLint size, GLint first, GLint count, GLint base)
{
    if (!ctx || ctx != gCurrentContext) {
        HostSetAGLError(AGL_BAD_CONTEXT);
        return false;
    }
    const std::vector<std::string>& families = FontFamilies();
    if (fontID < 1 || fontID > GLint(families.size()) || size <= 0 || first < 0 || count < 0 || first + count > 256) {
        HostSetAGLError(AGL_BAD_VALUE);
        return false;
    }
    // The named family, else what fontconfig offers for it, else DejaVu Sans.
    QFont font;
    font.setFamilies({QString::fromStdString(families[size_t(fontID) - 1]), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setBold(face & 1);
    font.setItalic(face & 2);
    font.setStyleStrategy(QFont::NoAntialias);
    // Points at the 72 dots an inch of bitmap fonts, one pixel larger for
    // legibility, but no taller than a 12-pixel line; in device pixels.
    const qreal ratio = HostPixelRatio(ctx);
    int pixels = qRound((size + 1) * ratio);
    const int lineHeight = qRound(12 * ratio);
    font.setPixelSize(pixels);
    while (pixels > 6 && QFontMetrics(font).height() > lineHeight)
        font.setPixelSize(--pixels);
    const QFontMetrics metrics(font);

    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
    std::vector<GLubyte> bits;
    HostFontAtlas atlas{};
    atlas.base = GLuint(base) - GLuint(first);
    std::vector<std::vector<GLubyte>> coverage(256); // per character, rows from the bottom up
    for (GLint i = 0; i < count; ++i) {
        const int code = first + i;
        glNewList(GLuint(base + i), GL_COMPILE);
        const bool control = code < 0x20 || (code >= 0x7f && code < 0xa0);
        const QChar character(char16_t(code == 0xa0 ? 0x20 : code));
        if (!control) {
            const int advance = metrics.horizontalAdvance(character);
            const QRect box = metrics.boundingRect(character);
            const int left = std::min(0, box.left());
            const int right = std::max(advance, box.right() + 1);
            const int top = std::min(-metrics.ascent(), box.top());
            const int bottom = std::max(metrics.descent(), box.bottom() + 1);
            const int width = right - left;
            const int height = bottom - top;
            QImage image(width, height, QImage::Format_Grayscale8);
            image.fill(0);
            {
                QPainter painter(&image);
                painter.setFont(font);
                painter.setPen(Qt::white);
                painter.drawText(-left, -top, QString(character));
            }
            // Bitmap rows run from the bottom up, eight pixels a byte, first pixel in the top bit.
            const int rowBytes = (width + 7) / 8;
            bits.assign(size_t(rowBytes) * size_t(height), 0);
            for (int y = 0; y < height; ++y) {
                const uchar* row = image.constScanLine(height - 1 - y);
                for (int x = 0; x < width; ++x)
                    if (row[x] > 127)
                        bits[size_t(y * rowBytes + x / 8)] |= GLubyte(0x80 >> (x % 8));
            }
            glBitmap(width, height, GLfloat(-left), GLfloat(bottom), GLfloat(advance), 0.0f, bits.data());
            atlas.glyphs[code] =
                HostGlyph{0, 0, int16_t(width), int16_t(height), float(-left), float(bottom), float(advance)};
            std::vector<GLubyte>& cells = coverage[size_t(code)];
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    cells.push_back(bits[size_t(y * rowBytes + x / 8)] & (0x80 >> (x % 8)) ? 255 : 0);
        }
        glEndList();
    }
    glPopClientAttrib();
    if (glGetError() != GL_NO_ERROR) {
        HostSetAGLError(AGL_BAD_ALLOC);
        return false;
    }
    BuildFontAtlas(ctx, &atlas, coverage);
    return true;
}

const HostFontAtlas* HostFindFontAtlas(GLuint base)
{
    if (!gCurrentContext)
        return nullptr;
    for (const HostFontAtlas& atlas : gCurrentContext->fonts)
        if (atlas.base == base)
            return &atlas;
    return nullptr;
}
