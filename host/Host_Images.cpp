#include "Host_Images.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPixelFormat>
#include <QString>

#include <algorithm>
#include <cstring>
#include <string>

#include "Host_Files.h"

struct PixMap {
    GWorld* owner;
    bool locked;
};

struct GWorld {
    OSType pixelFormat;
    unsigned char* base;
    int32_t rowBytes;
    int32_t width;
    int32_t height;
    PixMap pixMap;
};

struct GraphicsImporter {
    QString path;
    QImageReader reader;
    QImage image;       // the decoded image, once decoded
    bool decodeTried = false;
    GWorldPtr destination = nullptr;

    explicit GraphicsImporter(const QString& file) : path(file), reader(file) {}
};

namespace {

constexpr int32_t kMaxSide = 32767;
// Decoding may briefly need twice the loader's largest buffer (a 16-bit file
// decodes to 32-bit words, a 32-bit one with 16-bit channels to 64-bit).
constexpr int kDecodeLimitMiB = 512;

bool Decode(GraphicsImporter* gi)
{
    if (!gi->decodeTried) {
        gi->decodeTried = true;
        QImageReader::setAllocationLimit(kDecodeLimitMiB);
        if (!gi->reader.read(&gi->image))
            gi->image = QImage();
    }
    return !gi->image.isNull();
}

// The first bytes of the file, for the formats whose stored depth the decoder
// does not report exactly.
QByteArray FileHeader(const QString& path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(bytes);
}

uint32_t ReadLE16(const QByteArray& b, int at)
{
    return uint32_t(uint8_t(b[at])) | (uint32_t(uint8_t(b[at + 1])) << 8);
}

uint32_t ReadLE32(const QByteArray& b, int at)
{
    return ReadLE16(b, at) | (ReadLE16(b, at + 2) << 16);
}

// PNG: bit depth and colour type of the header chunk. 0 when unknown.
int16_t PngStoredDepth(const QByteArray& h)
{
    static const char kSignature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
    if (h.size() < 26 || std::memcmp(h.constData(), kSignature, 8) != 0 || std::memcmp(h.constData() + 12, "IHDR", 4) != 0)
        return 0;
    const int bits = uint8_t(h[24]);
    switch (uint8_t(h[25])) {
    case 0: // gray
        return int16_t(bits >= 8 ? 40 : 32 + bits);
    case 3: // palette
        return int16_t(bits);
    case 2: // RGB
        return 24;
    case 4: // gray with alpha
    case 6: // RGB with alpha
        return 32;
    default:
        return 0;
    }
}

// BMP: the bit count of the information header. 0 when unknown.
int16_t BmpStoredDepth(const QByteArray& h)
{
    if (h.size() < 30 || h[0] != 'B' || h[1] != 'M')
        return 0;
    const uint32_t infoSize = ReadLE32(h, 14);
    const uint32_t bitCount = infoSize == 12 ? ReadLE16(h, 24) : ReadLE16(h, 28);
    switch (bitCount) {
    case 1: case 2: case 4: case 8: case 16: case 24: case 32:
        return int16_t(bitCount);
    default:
        return 0;
    }
}

int16_t DepthOfFormat(QImage::Format format)
{
    switch (format) {
    case QImage::Format_Invalid:
        return 0;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return 1;
    case QImage::Format_Indexed8:
        return 8;
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
        return 40;
    case QImage::Format_RGB16:
    case QImage::Format_RGB555:
        return 16;
    default:
        return QImage::toPixelFormat(format).alphaUsage() == QPixelFormat::UsesAlpha ? 32 : 24;
    }
}

void DrawARGB32(const QImage& image, GWorld* g, int32_t width, int32_t height)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(g->base + size_t(y) * size_t(g->rowBytes), argb.constScanLine(y), size_t(width) * 4u);
}

void Draw16(const QImage& image, GWorld* g, int32_t width, int32_t height)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int32_t y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const uint32_t*>(argb.constScanLine(y));
        auto* out = reinterpret_cast<uint16_t*>(g->base + size_t(y) * size_t(g->rowBytes));
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t p = in[x];
            const uint32_t alpha = (p >> 31) & 1u;
            out[x] = uint16_t((alpha << 15) | (((p >> 19) & 0x1Fu) << 10) | (((p >> 11) & 0x1Fu) << 5) | ((p >> 3) & 0x1Fu));
        }
    }
}

void DrawGray(const QImage& image, GWorld* g, int32_t width, int32_t height)
{
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    for (int32_t y = 0; y < height; ++y) {
        const uchar* in = gray.constScanLine(y);
        unsigned char* out = g->base + size_t(y) * size_t(g->rowBytes);
        for (int32_t x = 0; x < width; ++x)
            out[x] = static_cast<unsigned char>(255 - in[x]);
    }
}

int32_t BitsPerPixel(OSType pixelFormat)
{
    switch (pixelFormat) {
    case k32ARGBPixelFormat:
        return 32;
    case k16BE555PixelFormat:
        return 16;
    case k8IndexedGrayPixelFormat:
        return 8;
    default:
        return 0;
    }
}

constexpr Fixed kFixed1 = 0x10000;
constexpr Fixed kFract1 = 0x40000000;

} // namespace

OSErr GetGraphicsImporterForFile(const FSSpec* theFile, GraphicsImportComponent* gi)
{
    if (!gi)
        return OSErr(paramErr);
    *gi = nullptr;
    if (!theFile)
        return OSErr(paramErr);
    const std::string path = HostPathFromFSSpec(theFile);
    auto* importer = new GraphicsImporter(QString::fromStdString(path));
    if (!QFile::exists(importer->path) || !importer->reader.canRead()) {
        delete importer;
        return noImporterErr;
    }
    *gi = importer;
    return noErr;
}

ComponentResult GraphicsImportGetNaturalBounds(GraphicsImportComponent ci, Rect* naturalBounds)
{
    if (!ci || !naturalBounds)
        return paramErr;
    QSize size;
    if (ci->reader.supportsOption(QImageIOHandler::Size))
        size = ci->reader.size();
    if (!size.isValid() && Decode(ci))
        size = ci->image.size();
    if (!size.isValid() || size.isEmpty())
        return invalidImageDataErr;
    if (size.width() > kMaxSide || size.height() > kMaxSide)
        return imageTooLargeErr;
    *naturalBounds = Rect{0, 0, int16_t(size.height()), int16_t(size.width())};
    return noErr;
}

ComponentResult GraphicsImportGetImageDescription(GraphicsImportComponent ci, ImageDescription* desc)
{
    if (!ci || !desc)
        return paramErr;
    Rect bounds{};
    const ComponentResult err = GraphicsImportGetNaturalBounds(ci, &bounds);
    if (err != noErr)
        return err;
    const QByteArray format = ci->reader.format();
    int16_t depth = 0;
    if (format == "png")
        depth = PngStoredDepth(FileHeader(ci->path, 26));
    else if (format == "bmp")
        depth = BmpStoredDepth(FileHeader(ci->path, 30));
    if (depth == 0 && ci->reader.supportsOption(QImageIOHandler::ImageFormat))
        depth = DepthOfFormat(ci->reader.imageFormat());
    if (depth == 0 && Decode(ci))
        depth = DepthOfFormat(ci->image.format());
    if (depth == 0)
        return invalidImageDataErr;
    *desc = ImageDescription{bounds.right, bounds.bottom, depth};
    return noErr;
}

ComponentResult GraphicsImportValidate(GraphicsImportComponent ci, Boolean* imageIsValid)
{
    if (!ci || !imageIsValid)
        return paramErr;
    *imageIsValid = Decode(ci) ? 1 : 0;
    return noErr;
}

Fixed X2Fix(double x)
{
    const double scaled = x * 65536.0;
    if (scaled >= 2147483647.0)
        return INT32_MAX;
    if (scaled <= -2147483648.0)
        return INT32_MIN;
    return static_cast<Fixed>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
}

void SetIdentityMatrix(MatrixRecord* matrix)
{
    if (!matrix)
        return;
    std::memset(matrix, 0, sizeof *matrix);
    matrix->matrix[0][0] = kFixed1;
    matrix->matrix[1][1] = kFixed1;
    matrix->matrix[2][2] = kFract1;
}

void ScaleMatrix(MatrixRecord* matrix, Fixed scaleX, Fixed scaleY, Fixed aboutX, Fixed aboutY)
{
    if (!matrix)
        return;
    // Points are row vectors (x, y, 1) times the matrix; scaling about a point
    // appends x' = about + (x - about) * scale to the transform.
    const double sx = scaleX / 65536.0, sy = scaleY / 65536.0;
    const double ax = aboutX / 65536.0, ay = aboutY / 65536.0;
    for (auto& row : matrix->matrix) {
        const double w = row[2] / double(kFract1);
        row[0] = X2Fix(row[0] / 65536.0 * sx + w * ax * (1.0 - sx));
        row[1] = X2Fix(row[1] / 65536.0 * sy + w * ay * (1.0 - sy));
    }
}

ComponentResult GraphicsImportSetMatrix(GraphicsImportComponent ci, const MatrixRecord* matrix)
{
    if (!ci || !matrix)
        return paramErr;
    MatrixRecord identity;
    SetIdentityMatrix(&identity);
    return std::memcmp(&identity, matrix, sizeof identity) == 0 ? noErr : unsupportedMatrixErr;
}

ComponentResult GraphicsImportSetGWorld(GraphicsImportComponent ci, GWorldPtr port, void* gdh)
{
    if (!ci || !port || gdh)
        return paramErr;
    ci->destination = port;
    return noErr;
}

ComponentResult GraphicsImportSetQuality(GraphicsImportComponent ci, int32_t quality)
{
    // Decoding is always exact; every quality draws the same pixels.
    if (!ci || quality < 0)
        return paramErr;
    return noErr;
}

ComponentResult GraphicsImportDraw(GraphicsImportComponent ci)
{
    if (!ci || !ci->destination)
        return paramErr;
    GWorld* g = ci->destination;
    if (!g->pixMap.locked)
        return paramErr;
    if (!Decode(ci))
        return invalidImageDataErr;
    const int32_t width = std::min<int32_t>(g->width, ci->image.width());
    const int32_t height = std::min<int32_t>(g->height, ci->image.height());
    switch (g->pixelFormat) {
    case k32ARGBPixelFormat:
        DrawARGB32(ci->image, g, width, height);
        break;
    case k16BE555PixelFormat:
        Draw16(ci->image, g, width, height);
        break;
    case k8IndexedGrayPixelFormat:
        DrawGray(ci->image, g, width, height);
        break;
    default:
        return paramErr;
    }
    return noErr;
}

OSErr CloseComponent(GraphicsImportComponent ci)
{
    delete ci;
    return noErr;
}

OSErr QTNewGWorldFromPtr(GWorldPtr* offscreenGWorld, OSType pixelFormat, const Rect* boundsRect,
                         void* cTable, void* aGDevice, uint32_t flags, void* baseAddr, int32_t rowBytes)
{
    if (!offscreenGWorld)
        return OSErr(paramErr);
    *offscreenGWorld = nullptr;
    const int32_t bits = BitsPerPixel(pixelFormat);
    if (!boundsRect || cTable || aGDevice || flags || !baseAddr || bits == 0)
        return OSErr(paramErr);
    const int32_t width = int32_t(boundsRect->right) - boundsRect->left;
    const int32_t height = int32_t(boundsRect->bottom) - boundsRect->top;
    if (width <= 0 || height <= 0 || int64_t(rowBytes) < int64_t(width) * bits / 8)
        return OSErr(paramErr);
    auto* g = new GWorld{pixelFormat, static_cast<unsigned char*>(baseAddr), rowBytes, width, height, {nullptr, false}};
    g->pixMap.owner = g;
    *offscreenGWorld = g;
    return noErr;
}

void DisposeGWorld(GWorldPtr offscreenGWorld)
{
    delete offscreenGWorld;
}

PixMapHandle GetGWorldPixMap(GWorldPtr offscreenGWorld)
{
    return offscreenGWorld ? &offscreenGWorld->pixMap : nullptr;
}

Boolean LockPixels(PixMapHandle pm)
{
    if (!pm || !pm->owner || !pm->owner->base)
        return 0;
    pm->locked = true;
    return 1;
}

void UnlockPixels(PixMapHandle pm)
{
    if (pm)
        pm->locked = false;
}
