#include <gtest/gtest.h>

#include <QImage>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Host_Files.h"
#include "Sprite_Window.h"
#include "Test_Support.h"

namespace {

std::string gChosen;
bool ChooseGiven(std::string* path)
{
    if (gChosen.empty())
        return false;
    *path = gChosen;
    return true;
}

std::string Join(const std::vector<std::string>& lines, const std::string& end)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + end;
    return text;
}

std::vector<std::string> Sprite(std::initializer_list<const char*> values)
{
    return std::vector<std::string>(values.begin(), values.end());
}

// The start of a sprite file as a user would write it: four images, the
// steered ship, a tiled background, a drifting planet and the smoke pool.
std::vector<std::string> WorkedExample()
{
    std::vector<std::string> lines = {"// four images", "4", "1",         "ship.pct", "0", "stars.jpg", "0",
                                      "planet.png",     "2", "smoke.png", "33"};
    for (const auto& s :
         {Sprite({"0", "0", "0", "0", "0", "1", "0", "0", "0", "1", "1", "1", "1", "0", "1", "0", "1"}),
          Sprite({"1", "0", "0", "-500", "0", "1", "0", "0", "0", "1", "1", "1", "1", "2", "0", "0", "0"}),
          Sprite({"2", "300", "-200", "-100", "0", "0.5", "5", "0", "0", "1", "1", "1", "1", "0", "0", "1", "0"})})
        lines.insert(lines.end(), s.begin(), s.end());
    for (int i = 0; i < 30; ++i) {
        const auto s =
            Sprite({"3", "0", "0", "-1", "0", "1", "0", "0", "0", "0.2", "0.3", "0.4", "1", "0", "0", "1", "0"});
        lines.insert(lines.end(), s.begin(), s.end());
    }
    return lines;
}

class SpriteFile : public testing::Test {
protected:
    void SetUp() override
    {
        dir = folder.path.string();
        std::memset(&window, 0, sizeof window);
        HostSetFileChooser(ChooseGiven);
    }
    void TearDown() override
    {
        DisposeSprites(&window.pSpriteArray, window.numSprites);
        DisposeImages(&window.pImageArray, window.numImages);
        HostSetFileChooser(nullptr);
        gChosen.clear();
    }
    Boolean LoadText(const std::string& text, const std::string& name = "world.sprites")
    {
        gChosen = dir + "/" + name;
        std::ofstream(gChosen, std::ios::binary) << text;
        StartCapturingStderr();
        const Boolean ok = LoadDataFile(&window);
        messages = CapturedStderr();
        return ok;
    }
    void CopyDemoImages()
    {
        const std::string cmd = "cp " STARDRIFT_SOURCE_DIR "/data/demo/*.png '" + dir + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    recWindow window;
    TemporaryFolder folder{"stardrift-sprites"};
    std::string dir;
    std::string messages;
};

TEST_F(SpriteFile, WorkedExampleLoadsImagesSpritesAndRoles)
{
    ASSERT_TRUE(LoadText(Join(WorkedExample(), "\r")));
    EXPECT_FLOAT_EQ(window.zoom, 0.5f);
    EXPECT_TRUE(window.info);
    EXPECT_FALSE(window.lines);
    EXPECT_FALSE(window.grid);
    ASSERT_EQ(window.numImages, 4);
    ASSERT_EQ(window.numSprites, 33);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(window.pImageArray[i].imageWidth, 0) << "missing image files leave their records empty";
    EXPECT_NE(messages.find("ship.pct"), std::string::npos) << messages;

    const recSprite& ship = window.pSpriteArray[0];
    EXPECT_EQ(ship.imageNum, 0);
    EXPECT_TRUE(ship.fTakesInput);
    EXPECT_TRUE(ship.fAlphaTest);
    EXPECT_FALSE(ship.fAlphaBlend);
    EXPECT_EQ(ship.zoom, 1.0f);
    EXPECT_EQ(ship.alpha, 1.0f);
    const recSprite& stars = window.pSpriteArray[1];
    EXPECT_EQ(stars.fTiled, kFlipTiled);
    EXPECT_EQ(stars.centerZ, -500.0f);
    const recSprite& planet = window.pSpriteArray[2];
    EXPECT_EQ(planet.centerX, 300.0f);
    EXPECT_EQ(planet.centerY, -200.0f);
    EXPECT_EQ(planet.zoom, 0.5f);
    EXPECT_EQ(planet.velocityX, 5.0f);
    EXPECT_TRUE(planet.fAlphaBlend);
    EXPECT_EQ(planet.velocityAlpha, 0.0f);
    EXPECT_EQ(planet.velocityR, 0.0f);
    EXPECT_EQ(planet.velocityZoom, 0.0f);
    for (int i = 3; i < 33; ++i) {
        const recSprite& puff = window.pSpriteArray[i];
        EXPECT_EQ(puff.imageNum, 3);
        EXPECT_EQ(puff.alpha, 0.0f) << "the file said 1; a puff starts invisible";
        EXPECT_EQ(puff.red, 1.0f);
        EXPECT_EQ(puff.green, 1.0f);
        EXPECT_EQ(puff.blue, 1.0f);
        EXPECT_EQ(puff.velocityAlpha, -0.6f);
        EXPECT_EQ(puff.velocityZoom, 0.7f);
        EXPECT_EQ(puff.velocityR, 10.0f);
        EXPECT_EQ(puff.centerZ, -1.0f);
    }
}

TEST_F(SpriteFile, CommentsBetweenEveryValueAndAnyLineEndLoadTheSame)
{
    ASSERT_TRUE(LoadText(Join(WorkedExample(), "\r")));
    std::vector<recSprite> plain(window.pSpriteArray, window.pSpriteArray + window.numSprites);
    for (const std::string end : {"\n", "\r\n"}) {
        std::vector<std::string> commented;
        for (const std::string& line : WorkedExample())
            commented.insert(commented.end(), {"// a comment before the value", line});
        DisposeSprites(&window.pSpriteArray, window.numSprites);
        DisposeImages(&window.pImageArray, window.numImages);
        std::memset(&window, 0, sizeof window);
        ASSERT_TRUE(LoadText(Join(commented, end)));
        ASSERT_EQ(window.numSprites, 33);
        EXPECT_EQ(std::memcmp(plain.data(), window.pSpriteArray, plain.size() * sizeof(recSprite)), 0);
    }
}

TEST_F(SpriteFile, WindowsLineEndsStillFindTheImages)
{
    CopyDemoImages();
    ASSERT_TRUE(LoadText(Join({"1", "3", "planet.png", "1", "2", "5", "5", "0", "0", "1", "0",
                               "0", "0", "1",          "1", "1", "1", "0", "0", "1", "0"},
                              "\r\n")));
    EXPECT_EQ(window.pImageArray[0].imageWidth, 128) << messages;
    EXPECT_EQ(window.pSpriteArray[0].imageNum, 2);
}

TEST_F(SpriteFile, TrailingCommentKeepsTheBlankInTheName)
{
    CopyDemoImages();
    ASSERT_TRUE(LoadText("1\r3\rplanet.png // the planet\r0\r"));
    EXPECT_EQ(window.pImageArray[0].imageWidth, 0);
    EXPECT_NE(messages.find("planet.png \""), std::string::npos) << messages;
}

TEST_F(SpriteFile, CancelLeavesOnlyTheDefaults)
{
    gChosen.clear();
    EXPECT_FALSE(LoadDataFile(&window));
    EXPECT_FLOAT_EQ(window.zoom, 0.5f);
    EXPECT_EQ(window.pImageArray, nullptr);
    EXPECT_EQ(window.pSpriteArray, nullptr);
    EXPECT_EQ(window.numSprites, 0);
}

TEST_F(SpriteFile, NegativeCountsAreZero)
{
    ASSERT_TRUE(LoadText("-3\r-7\r"));
    EXPECT_EQ(window.numImages, 0);
    EXPECT_EQ(window.numSprites, 0);
    EXPECT_EQ(window.pImageArray, nullptr);
    EXPECT_EQ(window.pSpriteArray, nullptr);
}

TEST_F(SpriteFile, CountsAboveTheLimitsAreRefusedWithNothingAllocated)
{
    EXPECT_FALSE(LoadText("32768\r"));
    EXPECT_NE(messages.find("32768 images"), std::string::npos) << messages;
    EXPECT_EQ(window.pImageArray, nullptr);
    EXPECT_EQ(window.numImages, 0);

    EXPECT_FALSE(LoadText("0\r1048577\r"));
    EXPECT_NE(messages.find("1048577 sprites"), std::string::npos) << messages;
    EXPECT_EQ(window.pSpriteArray, nullptr);
    EXPECT_EQ(window.numSprites, 0);

    EXPECT_FALSE(LoadText("99999999999\r"));
}

TEST_F(SpriteFile, LongImageNamesAndFoldersOfAnyEncodingLoad)
{
    // A Latin-1 folder name, not valid UTF-8, and a plain name of 200 bytes.
    const std::string folder = dir + "/Stra\xDF"
                                     "e";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string longName = std::string(196, 'n') + ".png";
    ASSERT_EQ(std::system(
                  ("cp " STARDRIFT_SOURCE_DIR "/data/demo/planet.png '" + folder + "/" + longName + "'").c_str()),
              0);
    ASSERT_EQ(std::system(("cp " STARDRIFT_SOURCE_DIR "/data/demo/planet.png '" + folder + "/planet.png'").c_str()), 0);
    ASSERT_TRUE(LoadText("3\r3\r" + longName + "\r3\rplanet.png\r3\rmissing.png\r0\r", "Stra\xDF"
                                                                                       "e/world.sprites"));
    EXPECT_EQ(window.pImageArray[0].imageWidth, 128) << messages;
    EXPECT_EQ(window.pImageArray[1].imageWidth, 128) << messages;
    EXPECT_EQ(window.pImageArray[2].imageWidth, 0);
    EXPECT_NE(messages.find("missing.png\" does not exist"), std::string::npos) << messages;
}

// Twelve entries naming one small PNG that declares 8000 by 8000 pixels: the
// images past the budget are refused before they are decoded, with a
// message, and loading goes on.
TEST_F(SpriteFile, ImagesPastTheMemoryBudgetAreRefused)
{
    QImage big(8000, 8000, QImage::Format_RGB32);
    big.fill(qRgb(10, 20, 30));
    ASSERT_TRUE(big.save(QString::fromStdString(dir + "/big.png")));
    big = QImage();
    std::string text = "12\r";
    for (int i = 0; i < 12; ++i)
        text += "0\rbig.png\r";
    ASSERT_TRUE(LoadText(text + "0\r"));
    const int64_t each = int64_t(8000) * 8000 * 4;
    int loaded = 0;
    for (int i = 0; i < 12; ++i)
        if (window.pImageArray[i].pImageBuffer)
            ++loaded;
        else
            EXPECT_EQ(window.pImageArray[i].imageWidth, 0) << i;
    EXPECT_EQ(loaded, int(ImageMemoryBudget() / each));
    EXPECT_LE(loaded * each, ImageMemoryBudget());
    EXPECT_LE(ImageMemoryBudget(), kMaxSpriteFileImageBytes);
    EXPECT_NE(messages.find("budget"), std::string::npos) << messages;
    EXPECT_NE(messages.find("big.png"), std::string::npos);
}

TEST_F(SpriteFile, UnreadableSpriteFilesSayWhy)
{
    const std::string fifo = dir + "/pipe.sprites";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    gChosen = fifo;
    StartCapturingStderr();
    EXPECT_FALSE(LoadDataFile(&window));
    messages = CapturedStderr();
    EXPECT_NE(messages.find("pipe.sprites\" is not a regular file"), std::string::npos) << messages;
    EXPECT_EQ(window.pImageArray, nullptr);
}

TEST_F(SpriteFile, ShortFileReadsZerosAndOutOfRangeImageNumbersAreKept)
{
    ASSERT_TRUE(LoadText("0\r2\r99\r1.5\r"));
    ASSERT_EQ(window.numSprites, 2);
    EXPECT_EQ(window.pSpriteArray[0].imageNum, 99);
    EXPECT_EQ(window.pSpriteArray[0].centerX, 1.5f);
    EXPECT_EQ(window.pSpriteArray[1].imageNum, 0);
    EXPECT_EQ(window.pSpriteArray[1].zoom, 0.0f);
}

TEST(DemoWorld, RolesOfTheBundledWorld)
{
    gChosen = STARDRIFT_SOURCE_DIR "/data/demo/demo.sprites";
    HostSetFileChooser(ChooseGiven);
    recWindow window;
    std::memset(&window, 0, sizeof window);
    StartCapturingStderr();
    ASSERT_TRUE(LoadDataFile(&window));
    EXPECT_EQ(CapturedStderr(), "") << "the demo world loads without complaint";
    ASSERT_GE(window.numImages, 4);
    ASSERT_GE(window.numSprites, 33);
    for (int i = 0; i < window.numImages; ++i) {
        const recImage& image = window.pImageArray[i];
        EXPECT_GT(image.imageWidth, 0) << i;
        EXPECT_EQ(image.imageDepth, 32) << i;
        ASSERT_NE(image.pImageBuffer, nullptr) << i;
    }
    EXPECT_EQ(window.pImageArray[0].maskType, kMaskSourceColorKey);
    EXPECT_EQ(window.pImageArray[3].maskType, kMaskLumAlpha);
    EXPECT_EQ(window.pImageArray[2].maskType, kMaskAlphaOnly);
    // The ship's corner is keyed green: transparent.
    uint32_t corner;
    std::memcpy(&corner, window.pImageArray[0].pImageBuffer, 4);
    EXPECT_EQ(corner >> 24, 0u);
    EXPECT_TRUE(window.pSpriteArray[0].fTakesInput);
    EXPECT_EQ(window.pSpriteArray[0].imageNum, 0);
    EXPECT_NE(window.pSpriteArray[1].fTiled, kNotTiled);
    for (int i = 3; i <= 32; ++i) {
        EXPECT_EQ(window.pSpriteArray[i].imageNum, 3);
        EXPECT_EQ(window.pSpriteArray[i].alpha, 0.0f);
        EXPECT_EQ(window.pSpriteArray[i].red, 1.0f);
    }
    for (int i = 1; i < window.numSprites; ++i)
        EXPECT_FALSE(window.pSpriteArray[i].fTakesInput) << i;
    DisposeSprites(&window.pSpriteArray, window.numSprites);
    DisposeImages(&window.pImageArray, window.numImages);
    HostSetFileChooser(nullptr);
}

} // namespace
