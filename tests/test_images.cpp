#include <gtest/gtest.h>

#include <QColor>
#include <QFile>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "Host_Files.h"
#include "OpenGL_Image_Utilities.h"
#include "Test_Support.h"

namespace {

TEST(MaskRoutines, ThirtyTwoBitPixels)
{
    std::vector<uint32_t> p = {0x12345678, 0x0000FF00, 0xFF00FF00, 0x0001FF00, 0x00102030, 0x80FF00FF};
    std::vector<uint32_t> lum = p, key = p, opaque = p;
    SetAlphaBlendLuminance(reinterpret_cast<unsigned char*>(lum.data()), uint32_t(p.size()), 32);
    SetAlphaMaskSourceColor(reinterpret_cast<unsigned char*>(key.data()), uint32_t(p.size()), 32);
    SetAlphaToOpaque(reinterpret_cast<unsigned char*>(opaque.data()), uint32_t(p.size()), 32);
    EXPECT_EQ(lum, (std::vector<uint32_t>{0x78FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x30FFFFFF, 0xFFFFFFFF}));
    EXPECT_EQ(key, (std::vector<uint32_t>{0xFF345678, 0x00303040, 0x00303040, 0xFF01FF00, 0xFF102030, 0xFFFF00FF}));
    EXPECT_EQ(opaque, (std::vector<uint32_t>{0xFF345678, 0xFF00FF00, 0xFF00FF00, 0xFF01FF00, 0xFF102030, 0xFFFF00FF}));
}

TEST(MaskRoutines, SixteenBitPixels)
{
    std::vector<uint16_t> p = {0x83E0, 0x03E0, 0x03E1, 0x1234, 0x7FFF};
    std::vector<uint16_t> key = p, opaque = p, lum = p;
    SetAlphaMaskSourceColor(reinterpret_cast<unsigned char*>(key.data()), uint32_t(p.size()), 16);
    SetAlphaToOpaque(reinterpret_cast<unsigned char*>(opaque.data()), uint32_t(p.size()), 16);
    SetAlphaBlendLuminance(reinterpret_cast<unsigned char*>(lum.data()), uint32_t(p.size()), 16);
    EXPECT_EQ(key, (std::vector<uint16_t>{0x0C63, 0x0C63, 0x83E1, 0x9234, 0xFFFF}));
    EXPECT_EQ(opaque, (std::vector<uint16_t>{0x83E0, 0x83E0, 0x83E1, 0x9234, 0xFFFF}));
    EXPECT_EQ(lum, p) << "luminance alpha only rewrites 32-bit pixels";
}

TEST(MaskRoutines, OtherDepthsAndCountsTouchNothingElse)
{
    std::vector<unsigned char> gray = {0, 1, 0xFF, 0x80, 0x00, 0xFF, 0x00};
    const auto before = gray;
    for (uint32_t depth : {8u, 24u, 0u}) {
        SetAlphaToOpaque(gray.data(), uint32_t(gray.size()), depth);
        SetAlphaMaskSourceColor(gray.data(), uint32_t(gray.size()), depth);
        SetAlphaBlendLuminance(gray.data(), uint32_t(gray.size()), depth);
    }
    EXPECT_EQ(gray, before);
    // Only the pixels counted are rewritten.
    std::vector<uint32_t> words = {0, 0, 0};
    SetAlphaToOpaque(reinterpret_cast<unsigned char*>(words.data()), 2, 32);
    EXPECT_EQ(words, (std::vector<uint32_t>{0xFF000000, 0xFF000000, 0}));
    SetAlphaToOpaque(nullptr, 10, 32);
}

TEST(ImageDepth, StoredDepthMapping)
{
    EXPECT_EQ(ImageDepthFromStoredDepth(40), 8);
    EXPECT_EQ(ImageDepthFromStoredDepth(16), 16);
    for (int16_t d : {1, 2, 4, 8, 24, 32, 33, 34, 36})
        EXPECT_EQ(ImageDepthFromStoredDepth(d), 32) << d;
}

// Image files written by the tests into a folder of their own.
class ImageFiles : public testing::Test {
protected:
    void SetUp() override { dir = folder.path.string(); }
    void TearDown() override
    {
        for (recImage& image : images)
            if (image.pGWorld || image.pImageBuffer) {
                recImage* array = static_cast<recImage*>(std::calloc(1, sizeof(recImage)));
                *array = image;
                DisposeImages(&array, 1);
            }
    }
    std::string Path(const std::string& name) const { return dir + "/" + name; }
    void Save(const QImage& image, const std::string& name, const char* format = nullptr, int quality = -1)
    {
        // Written under a plain name first: the path may be in any encoding.
        const std::string plain = Path("saving" + name.substr(name.rfind('.')));
        ASSERT_TRUE(image.save(QString::fromStdString(plain), format, quality)) << name;
        ASSERT_EQ(std::rename(plain.c_str(), Path(name).c_str()), 0) << name;
    }
    void WriteBytes(const std::string& name, const std::string& bytes)
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
    }
    // Loads a file of the folder into a fresh record; the message, if any, is kept in lastError.
    recImage& Load(const std::string& name, int16_t mask, Boolean* result = nullptr)
    {
        images.emplace_back();
        recImage& image = images.back();
        std::memset(&image, 0, sizeof image);
        FSSpec spec;
        EXPECT_TRUE(HostMakeFSSpec(Path(name), &spec));
        StartCapturingStderr();
        const Boolean ok = LoadImageFile(spec, &image, mask);
        lastError = CapturedStderr();
        if (result)
            *result = ok;
        return image;
    }
    static uint32_t Pixel32(const recImage& image, int x, int y)
    {
        uint32_t p;
        std::memcpy(&p, image.pImageBuffer + (size_t(y) * size_t(image.imageWidth) + size_t(x)) * 4, 4);
        return p;
    }
    static bool AllZero(const recImage& image)
    {
        recImage zero;
        std::memset(&zero, 0, sizeof zero);
        return std::memcmp(&zero, &image, sizeof zero) == 0;
    }
    TemporaryFolder folder{"stardrift-images"};
    std::string dir;
    std::string lastError;
    std::vector<recImage> images{};

    ImageFiles() { images.reserve(16); }
};

TEST_F(ImageFiles, RgbaPngKeepsItsAlphaAndSize)
{
    QImage rgba(300, 200, QImage::Format_ARGB32);
    rgba.fill(qRgba(10, 20, 30, 40));
    rgba.setPixel(299, 199, qRgba(255, 0, 0, 128));
    Save(rgba, "rgba.png");
    Boolean ok = 0;
    recImage& image = Load("rgba.png", kMaskAlphaOnly, &ok);
    ASSERT_TRUE(ok) << lastError;
    EXPECT_EQ(image.imageWidth, 300);
    EXPECT_EQ(image.imageHeight, 200);
    EXPECT_FLOAT_EQ(image.imageAspect, 1.5f);
    EXPECT_EQ(image.imageDepth, 32);
    EXPECT_EQ(image.textureWidth, 300);
    EXPECT_EQ(image.textureHeight, 200);
    EXPECT_EQ(image.zoom, 1.0f);
    EXPECT_EQ(image.maskType, kMaskAlphaOnly);
    ASSERT_NE(image.pImageBuffer, nullptr);
    EXPECT_NE(image.pGWorld, nullptr);
    EXPECT_EQ(Pixel32(image, 0, 0), 0x280A141Eu);
    EXPECT_EQ(Pixel32(image, 299, 199), 0x80FF0000u) << "bottom-right pixel is the last word";
}

TEST_F(ImageFiles, ColourKeyOnRgbPng)
{
    QImage rgb(4, 2, QImage::Format_RGB32);
    rgb.fill(qRgb(0, 255, 0));
    rgb.setPixel(1, 0, qRgb(1, 255, 0));
    rgb.setPixel(3, 1, qRgb(200, 100, 50));
    Save(rgb, "keyed.png");
    recImage& image = Load("keyed.png", kMaskSourceColorKey);
    ASSERT_EQ(image.imageDepth, 32) << lastError;
    EXPECT_EQ(Pixel32(image, 0, 0), 0x00303040u);
    EXPECT_EQ(Pixel32(image, 1, 0), 0xFF01FF00u);
    EXPECT_EQ(Pixel32(image, 3, 1), 0xFFC86432u);
}

TEST_F(ImageFiles, GrayPngIsEightBitInThePlatformGrayConvention)
{
    QImage gray(5, 3, QImage::Format_Grayscale8);
    gray.fill(0);
    gray.setPixel(0, 0, qRgb(255, 255, 255));
    gray.setPixel(4, 2, qRgb(100, 100, 100));
    Save(gray, "gray.png");
    for (int16_t mask : {kMaskZeroAlpha, kMaskSourceColorKey, kMaskLumAlpha, kMaskAlphaOnly}) {
        recImage& image = Load("gray.png", mask);
        ASSERT_EQ(image.imageDepth, 8) << lastError;
        const unsigned char* b = image.pImageBuffer;
        EXPECT_EQ(b[0], 0) << "white is 0";
        EXPECT_EQ(b[1], 255) << "black is 255";
        EXPECT_EQ(b[2 * 5 + 4], 155) << "rows are imageWidth bytes, unpadded";
    }
}

TEST_F(ImageFiles, PaletteImagesDecodeToColourNotGray)
{
    QImage indexed(8, 8, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 255, 0)});
    indexed.fill(0);
    indexed.setPixel(7, 7, 1);
    indexed.setPixel(0, 7, 2);
    Save(indexed, "palette.png");
    QImage mono(16, 4, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 200, 0)});
    mono.fill(1);
    Save(mono, "mono.png");
    for (const char* name : {"palette.png"}) {
        recImage& image = Load(name, kMaskSourceColorKey);
        ASSERT_EQ(image.imageDepth, 32) << name << lastError;
        EXPECT_EQ(Pixel32(image, 0, 0), 0xFFFF0000u) << name;
        EXPECT_EQ(Pixel32(image, 7, 7), 0xFF0000FFu) << name;
        EXPECT_EQ(Pixel32(image, 0, 7), 0x00303040u) << name << ": the green palette entry is the key";
    }
    recImage& monoImage = Load("mono.png", kMaskZeroAlpha);
    ASSERT_EQ(monoImage.imageDepth, 32) << lastError;
    EXPECT_EQ(Pixel32(monoImage, 15, 3), 0xFFFFC800u);
}

TEST_F(ImageFiles, JpegIsThirtyTwoBit)
{
    QImage rgb(64, 32, QImage::Format_RGB32);
    rgb.fill(qRgb(200, 40, 40));
    Save(rgb, "photo.jpg", "JPEG", 100);
    recImage& image = Load("photo.jpg", kMaskZeroAlpha);
    ASSERT_EQ(image.imageDepth, 32) << lastError;
    const uint32_t p = Pixel32(image, 10, 10);
    EXPECT_EQ(p >> 24, 0xFFu);
    EXPECT_NEAR(int((p >> 16) & 0xFF), 200, 4);
    EXPECT_NEAR(int((p >> 8) & 0xFF), 40, 4);
}

// A 16-bit 5-5-5 BMP, written by hand: Qt writes only 24 and 32 bits.
std::string Bmp16(int width, int height, const std::vector<uint16_t>& pixelsTopDown)
{
    const int rowBytes = (width * 2 + 3) & ~3;
    std::string data;
    auto put16 = [&](uint32_t v) {
        data += char(v & 0xFF);
        data += char((v >> 8) & 0xFF);
    };
    auto put32 = [&](uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    data += "BM";
    put32(uint32_t(14 + 40 + rowBytes * height));
    put32(0);
    put32(14 + 40);
    put32(40);
    put32(uint32_t(width));
    put32(uint32_t(height));
    put16(1);
    put16(16);
    put32(0); // BI_RGB: 5-5-5
    put32(uint32_t(rowBytes * height));
    put32(2835);
    put32(2835);
    put32(0);
    put32(0);
    for (int y = height - 1; y >= 0; --y) { // bottom-up rows
        for (int x = 0; x < width; ++x)
            put16(pixelsTopDown[size_t(y * width + x)]);
        for (int pad = width * 2; pad < rowBytes; ++pad)
            data += '\0';
    }
    return data;
}

TEST_F(ImageFiles, SixteenBitBmpIsSixteenBit)
{
    // top row: pure green (the key), pure red; bottom row: blue, white
    WriteBytes("rgb555.bmp", Bmp16(2, 2, {0x03E0, 0x7C00, 0x001F, 0x7FFF}));
    recImage& image = Load("rgb555.bmp", kMaskSourceColorKey);
    ASSERT_EQ(image.imageDepth, 16) << lastError;
    ASSERT_EQ(image.imageWidth, 2);
    uint16_t p[4];
    std::memcpy(p, image.pImageBuffer, sizeof p);
    EXPECT_EQ(p[0], 0x0C63);
    EXPECT_EQ(p[1], 0xFC00);
    EXPECT_EQ(p[2], 0x801F);
    EXPECT_EQ(p[3], 0xFFFF);
}

TEST_F(ImageFiles, BrokenFilesFailWithAMessageAndLeaveTheRecordEmpty)
{
    QImage rgb(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            rgb.setPixel(x, y, qRgb(x * 4, y * 4, (x ^ y) * 4));
    Save(rgb, "whole.png");
    QFile whole(QString::fromStdString(Path("whole.png")));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    WriteBytes("truncated.png", bytes.left(bytes.size() / 2).toStdString());
    WriteBytes("garbage.png", std::string(300, '\x5a'));
    WriteBytes("empty.png", "");
    // A valid PNG header claiming 40000 by 10 pixels.
    QByteArray header = bytes.left(33);
    header[16] = 0;
    header[17] = 0;
    header[18] = char(0x9C);
    header[19] = 0x40;
    WriteBytes("huge.png", header.toStdString());
    // 20000 x 20000 at 32 bits needs 1.6 GB: over the buffer limit.
    header[16] = 0;
    header[17] = 0;
    header[18] = 0x4E;
    header[19] = 0x20;
    header[20] = 0;
    header[21] = 0;
    header[22] = 0x4E;
    header[23] = 0x20;
    WriteBytes("big.png", header.toStdString());

    for (const char* name : {"truncated.png", "garbage.png", "empty.png", "huge.png", "big.png", "missing.png"}) {
        Boolean ok = 1;
        recImage& image = Load(name, kMaskZeroAlpha, &ok);
        EXPECT_FALSE(ok) << name;
        EXPECT_TRUE(AllZero(image)) << name << ": a refused image keeps an empty record";
        EXPECT_NE(lastError.find(name), std::string::npos) << name << " named in: " << lastError;
        EXPECT_EQ(lastError.back(), '\n');
    }
}

// A TGA written by hand (the image writer has none): uncompressed 32-bit,
// top row first, with the footer by which the reader knows the format.
std::string Tga32(int width, int height, uint32_t argb)
{
    std::string data = {
        0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, char(width), char(width >> 8), char(height), char(height >> 8), 32, 0x28};
    for (int i = 0; i < width * height; ++i)
        data += {char(argb), char(argb >> 8), char(argb >> 16), char(argb >> 24)};
    data += std::string(8, '\0') + "TRUEVISION-XFILE." + '\0';
    return data;
}

// A GIF written by hand (the image writer has none): 128 colours, codes of 8
// bits, the code table cleared before it grows, so that each code is a byte.
std::string Gif(int width, int height)
{
    std::string data = "GIF89a";
    data += {char(width), char(width >> 8), char(height), char(height >> 8), char(0xF6), 0, 0};
    for (int i = 0; i < 128; ++i)
        data += {char(i * 2), char(255 - i * 2), char(i)};
    data += {0x2C, 0, 0, 0, 0, char(width), char(width >> 8), char(height), char(height >> 8), 0, 7};
    std::string codes;
    for (int i = 0; i < width * height; ++i) {
        if (i % 100 == 0)
            codes += char(128); // clear
        codes += char((i / 7) & 0x7F);
    }
    codes += char(129); // end
    for (size_t at = 0; at < codes.size(); at += 255) {
        const std::string block = codes.substr(at, 255);
        data += char(block.size());
        data += block;
    }
    data += {0, 0x3B};
    return data;
}

// Every format cut short is refused, though the image reader would give a
// partial or gray picture for some of them; the whole file loads.
TEST_F(ImageFiles, TruncatedFilesOfEveryFormatAreRefused)
{
    QImage picture(96, 64, QImage::Format_ARGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 96; ++x)
            picture.setPixel(x, y, qRgba(x * 2, y * 3, (x * y) & 0xFF, 255));
    for (const char* format : {"png", "jpg", "bmp", "tif", "webp"})
        Save(picture, std::string("whole.") + format, format, format == std::string("webp") ? 100 : -1);
    WriteBytes("whole.tga", Tga32(96, 64, 0x80112233));
    WriteBytes("whole.gif", Gif(96, 64));
    for (const char* format : {"png", "jpg", "bmp", "gif", "tif", "webp", "tga"}) {
        const std::string whole = std::string("whole.") + format;
        QFile file(QString::fromStdString(Path(whole)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << whole;
        const QByteArray bytes = file.readAll();
        Boolean ok = 0;
        recImage& good = Load(whole, kMaskAlphaOnly, &ok);
        EXPECT_TRUE(ok) << whole << ": " << lastError;
        EXPECT_EQ(good.imageWidth, 96) << whole;
        for (const double part : {0.9, 0.5}) {
            const std::string cut = std::string("cut") + std::to_string(int(part * 10)) + "." + format;
            WriteBytes(cut, bytes.left(qsizetype(double(bytes.size()) * part)).toStdString());
            recImage& image = Load(cut, kMaskAlphaOnly, &ok);
            EXPECT_FALSE(ok) << cut;
            EXPECT_TRUE(AllZero(image)) << cut;
            EXPECT_NE(lastError.find(cut + "\" is truncated or corrupt"), std::string::npos) << lastError;
        }
    }
}

// Images in place of which a FIFO, a folder or a device is named are refused
// at once; a Latin-1 folder and a deep folder work, and their messages keep
// the file's name and the reason.
TEST_F(ImageFiles, SpecialFilesAndNames)
{
    ASSERT_EQ(mkfifo(Path("pipe.png").c_str(), 0600), 0);
    ASSERT_EQ(mkdir(Path("folder.png").c_str(), 0700), 0);
    ASSERT_EQ(symlink("/dev/zero", Path("zero.png").c_str()), 0);
    for (const auto& [name, reason] :
         {std::pair{"pipe.png", "is not a regular file"}, std::pair{"folder.png", "is a folder"},
          std::pair{"zero.png", "is not a regular file"}}) {
        Boolean ok = 1;
        recImage& image = Load(name, kMaskZeroAlpha, &ok);
        EXPECT_FALSE(ok) << name;
        EXPECT_TRUE(AllZero(image)) << name;
        EXPECT_NE(lastError.find(std::string(name) + "\" " + reason), std::string::npos) << lastError;
    }
    QImage rgb(3, 2, QImage::Format_RGB32);
    rgb.fill(qRgb(1, 2, 3));
    std::string deep = "Caf\xE9";
    ASSERT_EQ(mkdir(Path(deep).c_str(), 0700), 0);
    Save(rgb, deep + "/latin.png", "PNG");
    while (Path(deep).size() < 320) {
        deep += "/" + std::string(50, 'd');
        ASSERT_EQ(mkdir(Path(deep).c_str(), 0700), 0);
    }
    Save(rgb, deep + "/deep.png", "PNG");
    EXPECT_EQ(Pixel32(Load("Caf\xE9/latin.png", kMaskAlphaOnly), 2, 1) & 0xFFFFFF, 0x010203u) << lastError;
    EXPECT_EQ(Pixel32(Load(deep + "/deep.png", kMaskAlphaOnly), 2, 1) & 0xFFFFFF, 0x010203u) << lastError;
    Load(deep + "/gone.png", kMaskAlphaOnly);
    EXPECT_NE(lastError.find("/gone.png\" does not exist\n"), std::string::npos) << lastError;
}

TEST_F(ImageFiles, UnknownMaskTypeIsReportedAndLoads)
{
    QImage rgb(2, 2, QImage::Format_ARGB32);
    rgb.fill(qRgba(1, 2, 3, 4));
    Save(rgb, "odd.png");
    Boolean ok = 0;
    recImage& image = Load("odd.png", 7, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(lastError, "Invalid image mask type in LoadImageFile\n");
    EXPECT_EQ(Pixel32(image, 1, 1), 0x04010203u) << "pixels as drawn";
}

TEST(DisposeImages, NullArrayAndImagesWithoutTextures)
{
    DisposeImages(nullptr, 3);
    recImage* none = nullptr;
    DisposeImages(&none, 3);
    EXPECT_EQ(none, nullptr);
    auto* images = static_cast<recImage*>(std::calloc(3, sizeof(recImage)));
    images[1].pImageBuffer = static_cast<unsigned char*>(std::calloc(16, 1)); // never uploaded
    DisposeImages(&images, 3);
    EXPECT_EQ(images, nullptr);
}

} // namespace
