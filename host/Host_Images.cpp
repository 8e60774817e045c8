#include "Host_Images.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPixelFormat>
#include <QRegion>
#include <QString>

#include <jpeglib.h>
#include <unistd.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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

// What the file's own structure says, read before decoding.
struct StoredFacts {
    bool whole = true;     // every block the format declares is there
    int pngColorType = -1; // PNG header, -1 for other formats
    int pngBitDepth = 0;
    bool drawsEveryPixel = false; // the decoder is known to write every pixel of the image
    QRgb undrawn = 0;             // what a pixel the decoder leaves alone holds
    bool hasKey16 = false;        // a 16-bit PNG's transparent colour, as stored
    QRgba64 key16{};
    QRegion firstPicture{};     // GIF: the area the image blocks of the first picture cover
    int firstPictureBlocks = 0; // GIF: how many image blocks make the first picture
};

struct GraphicsImporter {
    QFile file; // opened from the descriptor: the name's bytes are never converted
    int64_t fileSize = 0;
    QByteArray format;
    QImageReader reader;
    QSize size;                                          // from the header; invalid when the decoder does not tell
    QImage::Format imageFormat = QImage::Format_Invalid; // what the decoder makes, when it tells
    StoredFacts facts{};
    bool factsRead = false;
    QImage image; // the decoded image as 0xAARRGGBB words, once decoded
    bool decodeTried = false;
    GWorldPtr destination = nullptr;
};

namespace {

constexpr int32_t kMaxSide = 32767;
// Decoding may briefly need twice the loader's largest buffer (a 16-bit file
// decodes to 32-bit words, a 32-bit one with 16-bit channels to 64-bit).
constexpr int kDecodeLimitMiB = 512;

uint32_t ReadLE16(const QByteArray& b, qsizetype at)
{
    return at + 1 < b.size() ? uint32_t(uint8_t(b[at])) | (uint32_t(uint8_t(b[at + 1])) << 8) : 0;
}

uint32_t ReadLE32(const QByteArray& b, qsizetype at)
{
    return ReadLE16(b, at) | (ReadLE16(b, at + 2) << 16);
}

uint32_t ReadBE32(const QByteArray& b, qsizetype at)
{
    uint32_t v = 0;
    for (qsizetype i = at; i < at + 4; ++i)
        v = v << 8 | (i < b.size() ? uint8_t(b[i]) : 0u);
    return v;
}

QByteArray ReadAt(QFile& file, qint64 at, qint64 bytes)
{
    return file.seek(at) ? file.read(bytes) : QByteArray();
}

// A PNG sample of the given bit depth as 8 bits, rounded as libpng scales.
int PngSampleTo8(uint32_t value, int bitDepth)
{
    if (bitDepth == 16)
        return int((value * 255u + 32895u) >> 16);
    if (bitDepth < 8)
        return int(value * 255u / ((1u << bitDepth) - 1u));
    return int(value & 0xFF);
}

// PNG: walks the chunks to IEND without reading their data, so that a
// truncated file or a chunk longer than the file is found before decoding.
// Keeps the header and the transparent colour of gray and RGB images. The
// reader draws every row that libpng gives, except with a transparency
// chunk (it lays 16-bit RGB out wrongly then).
void ReadPngFacts(QFile& file, int64_t size, StoredFacts* facts)
{
    facts->whole = false;
    for (int64_t at = 8; at + 12 <= size;) {
        const QByteArray head = ReadAt(file, at, 8);
        const uint32_t length = ReadBE32(head, 0);
        const QByteArray type = head.mid(4, 4);
        if (head.size() < 8 || length > 0x7FFFFFFFu || at + 12 + int64_t(length) > size)
            return;
        if (type == "IHDR" && length >= 13) {
            const QByteArray data = ReadAt(file, at + 8, 13);
            facts->pngBitDepth = uint8_t(data[8]);
            facts->pngColorType = uint8_t(data[9]);
            facts->drawsEveryPixel = true;
        } else if (type == "tRNS") {
            facts->drawsEveryPixel = false;
        }
        if (type == "tRNS" && (facts->pngColorType == 0 || facts->pngColorType == 2)) {
            const QByteArray data = ReadAt(file, at + 8, 6);
            const int bits = facts->pngBitDepth;
            auto sample = [&](int i) {
                return PngSampleTo8(uint32_t(uint8_t(data[i])) << 8 | uint8_t(data[i + 1]), bits);
            };
            auto raw = [&](int i) { return quint16(uint8_t(data[i]) << 8 | uint8_t(data[i + 1])); };
            if (facts->pngColorType == 0 && data.size() >= 2) {
                facts->undrawn = qRgba(sample(0), sample(0), sample(0), 0);
                facts->key16 = QRgba64::fromRgba64(raw(0), raw(0), raw(0), 0);
            } else if (data.size() >= 6) {
                facts->undrawn = qRgba(sample(0), sample(2), sample(4), 0);
                facts->key16 = QRgba64::fromRgba64(raw(0), raw(2), raw(4), 0);
            }
            facts->hasKey16 = bits == 16;
        } else if (type == "IEND") {
            facts->whole = true;
            return;
        }
        at += 12 + int64_t(length);
    }
}

// BMP: uncompressed pixel data must all lie in the file.
void ReadBmpFacts(QFile& file, int64_t size, StoredFacts* facts)
{
    const QByteArray h = ReadAt(file, 0, 34);
    const uint32_t offset = ReadLE32(h, 10);
    const uint32_t infoSize = ReadLE32(h, 14);
    int64_t width = 0, height = 0;
    uint32_t bits = 0, compression = 0;
    if (infoSize == 12) {
        width = ReadLE16(h, 18);
        height = ReadLE16(h, 20);
        bits = ReadLE16(h, 24);
    } else {
        width = int32_t(ReadLE32(h, 18));
        height = int32_t(ReadLE32(h, 22));
        bits = ReadLE16(h, 28);
        compression = ReadLE32(h, 30);
    }
    const bool uncompressed = compression == 0 || compression == 3 || compression == 6;
    if (uncompressed && width > 0) {
        const int64_t rowBytes = (width * bits + 31) / 32 * 4;
        facts->whole = int64_t(offset) + rowBytes * (height < 0 ? -height : height) <= size;
    }
}

// GIF: walks the blocks to the trailer; a stream that ends before it is
// truncated. The first picture is made of the image blocks up to the first
// one shown for a while (its graphic control has a delay); a looping
// animation without any delay shows each block as a frame of its own. The
// screen outside the first picture's blocks is not drawn.
void ReadGifFacts(const QByteArray& b, StoredFacts* facts)
{
    facts->whole = false;
    const qsizetype size = b.size();
    if (size < 13)
        return;
    const uint8_t screenFlags = uint8_t(b[10]);
    qsizetype at = 13 + ((screenFlags & 0x80) ? 3 * (2 << (screenFlags & 7)) : 0);
    auto skipSubBlocks = [&]() {
        while (at < size) {
            const int n = uint8_t(b[at++]);
            if (n == 0)
                return true;
            at += n;
        }
        return false;
    };
    std::vector<QRect> blocks;
    int blocksToDelay = 0; // 0 while no block has had a delay
    bool looping = false, delay = false;
    while (at < size) {
        const uint8_t kind = uint8_t(b[at]);
        if (kind == 0x3B) {
            facts->whole = true;
            break;
        }
        if (kind == 0x21) {
            const uint8_t label = at + 1 < size ? uint8_t(b[at + 1]) : 0;
            looping = looping || label == 0xFF;
            if (label == 0xF9 && at + 5 < size)
                delay = ReadLE16(b, at + 4) > 0;
            at += 2;
        } else if (kind == 0x2C && at + 10 < size) {
            blocks.push_back(QRect(int(ReadLE16(b, at + 1)), int(ReadLE16(b, at + 3)), int(ReadLE16(b, at + 5)),
                                   int(ReadLE16(b, at + 7))));
            if (delay && blocksToDelay == 0)
                blocksToDelay = int(blocks.size());
            delay = false;
            const uint8_t flags = uint8_t(b[at + 9]);
            at += 10 + ((flags & 0x80) ? 3 * (2 << (flags & 7)) : 0) + 1;
        } else {
            return;
        }
        if (!skipSubBlocks())
            return;
    }
    if (!facts->whole)
        return;
    facts->firstPictureBlocks = blocksToDelay > 0 ? blocksToDelay : looping ? 1 : int(blocks.size());
    for (int i = 0; i < facts->firstPictureBlocks && i < int(blocks.size()); ++i)
        facts->firstPicture += blocks[size_t(i)];
}

// JPEG: a second opinion from libjpeg, which warns where the decoder would
// quietly fill in what is missing (a premature end, corrupt entropy data).
// Decoding at an eighth of the size still reads every byte.
struct JpegCheck {
    jpeg_error_mgr manager;
    std::jmp_buf failed;
    int warnings;
};

[[noreturn]] void JpegFailed(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegCheck*>(info->err)->failed, 1);
}

void JpegMessage(j_common_ptr info, int level)
{
    if (level < 0)
        ++reinterpret_cast<JpegCheck*>(info->err)->warnings;
}

void JpegSilent(j_common_ptr) {}

bool JpegIsWhole(const QByteArray& bytes)
{
    jpeg_decompress_struct info;
    JpegCheck check{};
    info.err = jpeg_std_error(&check.manager);
    check.manager.error_exit = JpegFailed;
    check.manager.emit_message = JpegMessage;
    check.manager.output_message = JpegSilent;
    if (setjmp(check.failed)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.scale_num = 1;
    info.scale_denom = 8;
    info.dct_method = JDCT_IFAST;
    info.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&info);
    JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                               info.output_width * JDIMENSION(info.output_components), 1);
    while (info.output_scanline < info.output_height)
        jpeg_read_scanlines(&info, row, 1);
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return check.warnings == 0;
}

const StoredFacts& Facts(GraphicsImporter* gi)
{
    if (!gi->factsRead) {
        gi->factsRead = true;
        if (gi->format == "png")
            ReadPngFacts(gi->file, gi->fileSize, &gi->facts);
        else if (gi->format == "bmp")
            ReadBmpFacts(gi->file, gi->fileSize, &gi->facts);
        else if (gi->format == "gif")
            ReadGifFacts(ReadAt(gi->file, 0, gi->fileSize), &gi->facts);
        else if (gi->format == "jpeg") // libjpeg gives every scanline of a whole file
            gi->facts.whole = gi->facts.drawsEveryPixel = JpegIsWhole(ReadAt(gi->file, 0, gi->fileSize));
    }
    return gi->facts;
}

// One decode of the whole file into *image. When *image is already of the
// size and format the decoder makes, the decoder draws into it.
bool ReadImage(GraphicsImporter* gi, QImage* image)
{
    QImageReader::setAllocationLimit(kDecodeLimitMiB);
    if (!gi->file.seek(0))
        return false;
    QImageReader reader(&gi->file, gi->format);
    reader.setDecideFormatFromContent(false);
    return reader.read(image);
}

// Whether the two decodes drew the pixel: they agree where the decoder drew.
bool Drawn(const QImage& a, const QImage& b, int x, int y)
{
    if (a.depth() < 8)
        return a.pixelIndex(x, y) == b.pixelIndex(x, y);
    const int bytes = a.depth() / 8;
    return std::memcmp(a.constScanLine(y) + x * bytes, b.constScanLine(y) + x * bytes, size_t(bytes)) == 0;
}

// A gray PNG with a transparent level: the decoder's palette makes that
// level transparent black; it keeps its gray.
void KeepTransparentGray(QImage* image)
{
    if (image->format() != QImage::Format_Indexed8) // 1-bit gray keeps its levels already
        return;
    const int count = image->colorCount();
    for (int i = 0; i < count && count > 1; ++i)
        if (qAlpha(image->color(i)) == 0) {
            const int gray = i * 255 / (count - 1);
            image->setColor(i, qRgba(gray, gray, gray, 0));
        }
}

// GIF: the reader gives one image block at a time, each drawn over the ones
// before; the blocks of the first picture are read on to its last.
bool ReadLaterBlocks(GraphicsImporter* gi, int blocks, QImage* image)
{
    if (blocks <= 0)
        return true;
    if (!gi->file.seek(0))
        return false;
    QImageReader reader(&gi->file, gi->format);
    reader.setDecideFormatFromContent(false);
    for (int i = 0; i <= blocks; ++i)
        if (!reader.read(image))
            return false;
    return true;
}

// A 16-bit RGB PNG with a transparent colour: the decoder leaves each row
// as the file's packed 48-bit pixels at the start of its 64-bit row, the
// rest undrawn. Makes the pixels from those samples, the transparent colour
// with alpha 0. False when the rows are not laid out so.
bool UnpackRgb48(const QImage& over0, const QImage& over1, const StoredFacts& facts, QImage* argb)
{
    const size_t packed = size_t(over0.width()) * 6;
    if (facts.pngColorType != 2 || !facts.hasKey16 || over0.format() != QImage::Format_RGBA64 ||
        over0.size() != over1.size())
        return false;
    for (int y = 0; y < over0.height(); ++y)
        if (std::memcmp(over0.constScanLine(y), over1.constScanLine(y), packed) != 0 ||
            over0.constScanLine(y)[packed] == over1.constScanLine(y)[packed])
            return false;
    *argb = QImage(over0.size(), QImage::Format_ARGB32);
    if (argb->isNull())
        return false;
    for (int y = 0; y < over0.height(); ++y) {
        const auto* in = reinterpret_cast<const quint16*>(over0.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(argb->scanLine(y));
        for (int x = 0; x < over0.width(); ++x, in += 3) {
            const bool keyed =
                in[0] == facts.key16.red() && in[1] == facts.key16.green() && in[2] == facts.key16.blue();
            out[x] = qRgba(PngSampleTo8(in[0], 16), PngSampleTo8(in[1], 16), PngSampleTo8(in[2], 16), keyed ? 0 : 255);
        }
    }
    return true;
}

// Decodes the file once as 0xAARRGGBB words holding the file's pixels and
// nothing else. Decoders that draw into a given image decode it twice, over
// zeros and over ones: pixels on which the two differ were never drawn and
// take the file's undrawn value. Others (GIF, WebP) fill the image they
// allocate themselves; PNG and JPEG files that the decoder draws whole
// (the image suites' test holds it to that) are decoded once.
bool Decode(GraphicsImporter* gi)
{
    if (gi->decodeTried)
        return !gi->image.isNull();
    gi->decodeTried = true;
    const StoredFacts& facts = Facts(gi);
    if (!facts.whole)
        return false;
    const QSize size = gi->size;
    const QImage::Format format = gi->imageFormat;
    QImage over0, over1;
    if (size.isValid() && format != QImage::Format_Invalid && !facts.drawsEveryPixel) {
        over0 = QImage(size, format);
        over1 = QImage(size, format);
        if (over0.isNull() || over1.isNull())
            return false;
        over0.fill(0);
        std::memset(over1.bits(), 0xFF, size_t(over1.sizeInBytes()));
    }
    const uchar* drawInto0 = over0.constBits();
    const uchar* drawInto1 = over1.constBits();
    if (!ReadImage(gi, &over0))
        return false;
    const bool twice = drawInto0 && over0.constBits() == drawInto0;
    if (twice && !(ReadImage(gi, &over1) && over1.constBits() == drawInto1))
        return false; // the second decode must draw the same way: without it nothing tells what was drawn
    if (facts.pngColorType == 0)
        KeepTransparentGray(&over0);
    if (twice && UnpackRgb48(over0, over1, facts, &gi->image))
        return true;
    if (gi->format == "gif" && !ReadLaterBlocks(gi, facts.firstPictureBlocks - 1, &over0))
        return false;
    QImage argb = over0.convertToFormat(QImage::Format_ARGB32);
    if (argb.isNull())
        return false;
    const size_t rowBytes = size_t(over0.width()) * size_t(over0.depth()) / 8;
    for (int y = 0; y < argb.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(argb.scanLine(y));
        const bool wholeRowDrawn = !twice || (over0.depth() >= 8 && std::memcmp(over0.constScanLine(y),
                                                                                over1.constScanLine(y), rowBytes) == 0);
        if (wholeRowDrawn && gi->format != "gif")
            continue;
        for (int x = 0; x < argb.width(); ++x) {
            if (!wholeRowDrawn && !Drawn(over0, over1, x, y))
                row[x] = facts.undrawn;
            // GIF: transparent pixels and the screen outside the first picture are not drawn.
            if (gi->format == "gif" && (qAlpha(row[x]) == 0 || !facts.firstPicture.contains(QPoint(x, y))))
                row[x] = 0;
        }
    }
    gi->image = argb;
    return true;
}

// PNG: bit depth and colour type of the header chunk. 0 when unknown.
int16_t PngStoredDepth(const QByteArray& h)
{
    static const char kSignature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
    if (h.size() < 26 || std::memcmp(h.constData(), kSignature, 8) != 0 ||
        std::memcmp(h.constData() + 12, "IHDR", 4) != 0)
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
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
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

// The Draw functions take the decoded 0xAARRGGBB image.
void DrawARGB32(const QImage& argb, GWorld* g, int32_t width, int32_t height)
{
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(g->base + size_t(y) * size_t(g->rowBytes), argb.constScanLine(y), size_t(width) * 4u);
}

void Draw16(const QImage& argb, GWorld* g, int32_t width, int32_t height)
{
    for (int32_t y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const uint32_t*>(argb.constScanLine(y));
        auto* out = reinterpret_cast<uint16_t*>(g->base + size_t(y) * size_t(g->rowBytes));
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t p = in[x];
            const uint32_t alpha = (p >> 31) & 1u;
            out[x] =
                uint16_t((alpha << 15) | (((p >> 19) & 0x1Fu) << 10) | (((p >> 11) & 0x1Fu) << 5) | ((p >> 3) & 0x1Fu));
        }
    }
}

// Gray images have equal channels; the alpha (a transparent level) is not
// kept at 8 bits.
void DrawGray(const QImage& argb, GWorld* g, int32_t width, int32_t height)
{
    for (int32_t y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        unsigned char* out = g->base + size_t(y) * size_t(g->rowBytes);
        for (int32_t x = 0; x < width; ++x)
            out[x] = static_cast<unsigned char>(255 - qBlue(in[x]));
    }
}

// The first bytes of the file, for the formats whose stored depth the decoder
// does not report exactly.
QByteArray FileHeader(GraphicsImporter* gi, qint64 bytes)
{
    return ReadAt(gi->file, 0, bytes);
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
    OSErr err = noErr;
    int64_t size = 0;
    const int fd = HostOpenRegularFile(theFile, &err, &size);
    if (fd < 0)
        return err;
    auto* importer = new GraphicsImporter;
    importer->fileSize = size;
    if (!importer->file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        close(fd);
        delete importer;
        return ioErr;
    }
    // The name's suffix is the first guess, as for a file opened by name
    // (some formats have no signature); the content decides otherwise.
    const std::string name(reinterpret_cast<const char*>(theFile->name + 1), theFile->name[0]);
    const auto dot = name.rfind('.');
    importer->reader.setDevice(&importer->file);
    if (dot != std::string::npos)
        importer->reader.setFormat(QByteArray::fromStdString(name.substr(dot + 1)).toLower());
    if (!importer->reader.canRead()) {
        importer->file.seek(0);
        importer->reader.setDevice(nullptr);
        importer->reader.setFormat(QByteArray());
        importer->reader.setDevice(&importer->file);
    }
    if (!importer->reader.canRead()) {
        delete importer;
        return noImporterErr;
    }
    // Asked now, before anything else moves the file's position; a file whose
    // structure is broken is not given to the decoder at all (a chunk that
    // claims gigabytes would be allocated just to read the size).
    importer->format = importer->reader.format();
    if (importer->format == "jpg")
        importer->format = "jpeg";
    if (!Facts(importer).whole) {
        *gi = importer;
        return noErr;
    }
    importer->file.seek(0);
    if (importer->reader.supportsOption(QImageIOHandler::Size))
        importer->size = importer->reader.size();
    if (importer->reader.supportsOption(QImageIOHandler::ImageFormat))
        importer->imageFormat = importer->reader.imageFormat();
    *gi = importer;
    return noErr;
}

ComponentResult GraphicsImportGetNaturalBounds(GraphicsImportComponent ci, Rect* naturalBounds)
{
    if (!ci || !naturalBounds)
        return paramErr;
    QSize size;
    size = ci->size;
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
        depth = PngStoredDepth(FileHeader(ci, 26));
    else if (format == "bmp")
        depth = BmpStoredDepth(FileHeader(ci, 30));
    if (depth == 0)
        depth = DepthOfFormat(ci->imageFormat);
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

OSErr QTNewGWorldFromPtr(GWorldPtr* offscreenGWorld, OSType pixelFormat, const Rect* boundsRect, void* cTable,
                         void* aGDevice, uint32_t flags, void* baseAddr, int32_t rowBytes)
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
