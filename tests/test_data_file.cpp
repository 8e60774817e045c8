#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "Data_File_Utilities.h"
#include "Host_Files.h"
#include "Test_Support.h"

namespace {

// A data buffer held exactly as a file would be: no terminator.
struct Data {
    explicit Data(std::string text) : bytes(std::move(text)) {}
    int32_t Long() { return GetLongFromData(bytes.data(), &index, Size()); }
    float Float() { return GetFloatFromData(bytes.data(), &index, Size()); }
    Boolean Bool() { return GetBooleanFromData(bytes.data(), &index, Size()); }
    std::string Str()
    {
        char text[256];
        std::memset(text, 'Q', sizeof text);
        GetCStrFromData(bytes.data(), &index, Size(), text);
        return text;
    }
    int32_t Size() const { return int32_t(bytes.size()); }
    std::string bytes;
    int32_t index = 0;
};

TEST(DataFileValues, ValueWithTrailingCommentAndIndexAtNextLine)
{
    Data d("120 // a count\r7\r");
    EXPECT_EQ(d.Long(), 120);
    EXPECT_EQ(d.index, 15);
    EXPECT_EQ(d.bytes[size_t(d.index)], '7');
    EXPECT_EQ(d.Long(), 7);
}

TEST(DataFileValues, CommentLinesAreConsumedByTheNextRead)
{
    Data d("// one\r// two\r//three\r5\r6");
    EXPECT_EQ(d.Long(), 5);
    EXPECT_EQ(d.Long(), 6);
}

TEST(DataFileValues, BlankLineIsAValue)
{
    Data d("\r\r\r9");
    EXPECT_EQ(d.Long(), 0);
    EXPECT_EQ(d.Bool(), 0);
    EXPECT_EQ(d.Str(), "");
    EXPECT_EQ(d.Long(), 9);
}

TEST(DataFileValues, IndentedCommentIsAValueLine)
{
    Data d(" // not a comment\r3\r");
    EXPECT_EQ(d.Str(), " ");
    EXPECT_EQ(d.Long(), 3);
    Data e("\t// tab first\r4\r");
    EXPECT_EQ(e.Long(), 0);
    EXPECT_EQ(e.Long(), 4);
}

TEST(DataFileValues, BooleansAreNumbers)
{
    Data d("1\r-1\r0\rtrue\r2.5\r");
    EXPECT_EQ(d.Bool(), 1);
    EXPECT_EQ(d.Bool(), 1);
    EXPECT_EQ(d.Bool(), 0);
    EXPECT_EQ(d.Bool(), 0);
    EXPECT_EQ(d.Bool(), 1);
}

TEST(DataFileValues, StringsKeepBlanksBeforeAComment)
{
    Data d("ship.png // the ship\r  padded\t\r");
    EXPECT_EQ(d.Str(), "ship.png ");
    EXPECT_EQ(d.Str(), "  padded\t");
}

TEST(DataFileValues, ConversionsAreAtoiAndAtof)
{
    Data d("3.7\r12abc\rabc\r  -42\r+8\r1e3\r0.1\r-500\r.5x\r");
    EXPECT_EQ(d.Long(), 3);
    EXPECT_EQ(d.Long(), 12);
    EXPECT_EQ(d.Long(), 0);
    EXPECT_EQ(d.Long(), -42);
    EXPECT_EQ(d.Long(), 8);
    EXPECT_FLOAT_EQ(d.Float(), 1000.0f);
    EXPECT_EQ(d.Float(), 0.1f) << "rounded to single precision";
    EXPECT_EQ(d.Float(), -500.0f);
    EXPECT_EQ(d.Float(), 0.5f);
}

TEST(DataFileValues, NumbersBeyond32BitsHoldAtTheLimit)
{
    Data d("99999999999\r-99999999999\r");
    EXPECT_EQ(d.Long(), INT32_MAX);
    EXPECT_EQ(d.Long(), INT32_MIN);
}

TEST(DataFileValues, LastValueWithoutLineEndAndReadsPastTheEnd)
{
    Data d("1\r22");
    EXPECT_EQ(d.Long(), 1);
    EXPECT_EQ(d.Long(), 22);
    EXPECT_EQ(d.index, 5) << "one past the end of the buffer";
    EXPECT_EQ(d.Long(), 0);
    EXPECT_EQ(d.index, 6);
    EXPECT_EQ(d.Str(), "");
    EXPECT_EQ(d.Float(), 0.0f);
    EXPECT_EQ(d.Bool(), 0);
    EXPECT_EQ(d.index, 9);
}

TEST(DataFileValues, LoneSlashAtTheEndIsText)
{
    Data d("5/");
    EXPECT_EQ(d.Str(), "5/");
    Data e("/");
    EXPECT_EQ(e.Str(), "/");
}

TEST(DataFileValues, CommentRunningToTheEndOfTheBuffer)
{
    Data d("// only a comment");
    EXPECT_EQ(d.Long(), 0);
    EXPECT_EQ(d.index, 19) << "past the comment's missing line end, then past the empty value's";
    Data e("7// trailing, no line end");
    EXPECT_EQ(e.Long(), 7);
    EXPECT_EQ(e.index, e.Size() + 1);
}

TEST(DataFileValues, LongValuesAreCutToTheirBuffers)
{
    const std::string longText(1000, '7');
    Data d(longText + "\r" + std::string(600, 'n') + "\r" + "1." + std::string(700, '5') + "\r4\r");
    EXPECT_EQ(d.Long(), INT32_MAX) << "254 sevens still overflow";
    const std::string s = d.Str();
    EXPECT_EQ(s, std::string(255, 'n'));
    EXPECT_FLOAT_EQ(d.Float(), 1.5555556f);
    EXPECT_EQ(d.Long(), 4) << "the cut values were still consumed whole";
}

// The same values in the three line-end styles, and mixed, read alike.
struct LineEndCase {
    const char* name;
    const char* end;
};

class LineEnds : public testing::TestWithParam<LineEndCase> {};

TEST_P(LineEnds, ReadTheSameValues)
{
    const std::string e = GetParam().end;
    Data d("// header comment" + e + "3" + e + "// between" + e + "ship.png" + e + e + "-2.25 // note" + e +
           "// last comment" + e + "1" + e);
    EXPECT_EQ(d.Long(), 3);
    EXPECT_EQ(d.Str(), "ship.png");
    EXPECT_EQ(d.Long(), 0) << "blank line";
    EXPECT_EQ(d.Float(), -2.25f);
    EXPECT_EQ(d.Bool(), 1);
    EXPECT_EQ(d.index, d.Size());
    EXPECT_EQ(d.Long(), 0);
}

INSTANTIATE_TEST_SUITE_P(Styles, LineEnds,
                         testing::Values(LineEndCase{"CR", "\r"}, LineEndCase{"LF", "\n"}, LineEndCase{"CRLF", "\r\n"}),
                         [](const testing::TestParamInfo<LineEndCase>& info) { return info.param.name; });

TEST(LineEnds, MixedFile)
{
    Data d("// mixed\r\n1\n// lf comment\n2\r3\r\n\r\nname.png\n\r4");
    EXPECT_EQ(d.Long(), 1);
    EXPECT_EQ(d.Long(), 2);
    EXPECT_EQ(d.Long(), 3);
    EXPECT_EQ(d.Str(), "") << "CR LF CR LF is a blank line";
    EXPECT_EQ(d.Str(), "name.png");
    EXPECT_EQ(d.Str(), "") << "LF then CR are two line ends";
    EXPECT_EQ(d.Long(), 4);
}

TEST(LineEnds, LineFeedNeverStartsAValue)
{
    Data d("a\r\nb\r\n");
    EXPECT_EQ(d.Str(), "a");
    EXPECT_EQ(d.Str(), "b");
}

// ReadDataFile through the file chooser.
std::string gChosen;
bool gCancel = false;
bool TestChooser(std::string* path)
{
    if (gCancel)
        return false;
    *path = gChosen;
    return true;
}

class ReadDataFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        dir = folder.path.string();
        HostSetFileChooser(TestChooser);
        gCancel = false;
    }
    void TearDown() override { HostSetFileChooser(nullptr); }
    std::string Write(const std::string& name, const std::string& contents)
    {
        const std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary) << contents;
        return path;
    }
    TemporaryFolder folder{"stardrift-datafile"};
    std::string dir;
};

TEST_F(ReadDataFileTest, ReadsWholeFileAndItsLocation)
{
    const std::string contents("4\r\0x\rend", 8);
    gChosen = Write("world.sprites", contents);
    int32_t size = -1;
    FSSpec spec;
    char* buffer = ReadDataFile(&size, &spec);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(size, 8);
    EXPECT_EQ(std::string(buffer, size_t(size)), contents);
    EXPECT_STREQ(spec.folder, dir.c_str());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(spec.name + 1), spec.name[0]), "world.sprites");
    DisposeDataBuffer(&buffer);
    EXPECT_EQ(buffer, nullptr);
}

TEST_F(ReadDataFileTest, EmptyFileGivesAnEmptyBuffer)
{
    gChosen = Write("empty", "");
    int32_t size = -1;
    FSSpec spec;
    char* buffer = ReadDataFile(&size, &spec);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(size, 0);
    int32_t index = 0;
    EXPECT_EQ(GetLongFromData(buffer, &index, size), 0);
    DisposeDataBuffer(&buffer);
}

TEST_F(ReadDataFileTest, CancelMissingFileOrFolderGiveNull)
{
    int32_t size = 0;
    FSSpec spec;
    gCancel = true;
    EXPECT_EQ(ReadDataFile(&size, &spec), nullptr);
    gCancel = false;
    gChosen = dir + "/does-not-exist";
    EXPECT_EQ(ReadDataFile(&size, &spec), nullptr);
    gChosen = dir;
    EXPECT_EQ(ReadDataFile(&size, &spec), nullptr) << "a folder is not a data file";
    HostSetFileChooser(nullptr);
    EXPECT_EQ(ReadDataFile(&size, &spec), nullptr) << "no chooser means cancelled";
}

TEST(FileLocations, SplitAndJoin)
{
    FSSpec spec;
    ASSERT_TRUE(HostMakeFSSpec("/a/b/c.txt", &spec));
    EXPECT_STREQ(spec.folder, "/a/b");
    EXPECT_EQ(HostPathFromFSSpec(&spec), "/a/b/c.txt");
    ASSERT_TRUE(HostMakeFSSpec("plain", &spec));
    EXPECT_EQ(HostPathFromFSSpec(&spec), "./plain");
    ASSERT_TRUE(HostMakeFSSpec("/root.txt", &spec));
    EXPECT_EQ(HostPathFromFSSpec(&spec), "/root.txt");
    EXPECT_TRUE(HostMakeFSSpec("/a/" + std::string(255, 'n'), &spec)) << "any Linux file name fits";
    EXPECT_EQ(spec.name[0], 255);
    EXPECT_FALSE(HostMakeFSSpec("/a/" + std::string(256, 'n'), &spec));
    EXPECT_FALSE(HostMakeFSSpec("/a/", &spec));
}

TEST(FileLocations, MessagesKeepTheNameAndShortenTheFolder)
{
    FSSpec spec;
    const std::string folder = "/" + std::string(300, 'd');
    ASSERT_TRUE(HostMakeFSSpec(folder + "/world.sprites", &spec));
    const std::string shown = HostFileNameForMessage(&spec);
    EXPECT_LE(shown.size(), 110u);
    EXPECT_EQ(shown.substr(0, 3), "...");
    EXPECT_EQ(shown.substr(shown.size() - 14), "/world.sprites");
    ASSERT_TRUE(HostMakeFSSpec("/short/world.sprites", &spec));
    EXPECT_EQ(HostFileNameForMessage(&spec), "/short/world.sprites");
    // A name too long on its own keeps its start and its end.
    ASSERT_TRUE(HostMakeFSSpec("/a/" + std::string(200, 'n') + ".png", &spec));
    const std::string longName = HostFileNameForMessage(&spec);
    EXPECT_LE(longName.size(), 110u);
    EXPECT_EQ(longName.substr(longName.size() - 4), ".png");
}

// Files that are not regular files, or that are too large, are refused at
// once with the reason, from wherever they were chosen.
TEST_F(ReadDataFileTest, SpecialAndHugeFilesAreRefusedWithTheReason)
{
    const std::string fifo = dir + "/pipe.sprites";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string sparse = dir + "/huge.sprites";
    {
        std::ofstream(sparse, std::ios::binary) << "1";
    }
    ASSERT_EQ(truncate(sparse.c_str(), int64_t(3) << 30), 0) << "a sparse file of 3 GiB";
    struct Case {
        std::string path;
        const char* reason;
    };
    for (const Case& c :
         {Case{fifo, "not a regular file"}, Case{dir, "is a folder"}, Case{"/dev/zero", "not a regular file"},
          Case{sparse, "larger than 2 GiB"}, Case{dir + "/missing.sprites", "does not exist"}}) {
        gChosen = c.path;
        int32_t size = 0;
        FSSpec spec;
        StartCapturingStderr();
        char* buffer = ReadDataFile(&size, &spec); // a FIFO without a writer would block here
        const std::string messages = CapturedStderr();
        EXPECT_EQ(buffer, nullptr) << c.path;
        EXPECT_NE(messages.find(c.reason), std::string::npos) << c.path << ": " << messages;
        EXPECT_NE(messages.find(c.path.substr(c.path.rfind('/') + 1)), std::string::npos) << messages;
    }
}

// Names are bytes: a folder in Latin-1, a long plain name, a deep folder.
TEST_F(ReadDataFileTest, AnyNameTheFileSystemHoldsIsRead)
{
    const std::string latin1 = dir + "/M\xFCnchen \xE9t\xE9";
    ASSERT_EQ(mkdir(latin1.c_str(), 0700), 0);
    std::string deep = dir;
    while (deep.size() < 320) {
        deep += "/" + std::string(40, 'f');
        ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
    }
    for (const std::string& path :
         {latin1 + "/world.sprites", dir + "/" + std::string(200, 'w') + ".sprites", deep + "/world.sprites"}) {
        std::ofstream(path, std::ios::binary) << "7\r";
        gChosen = path;
        int32_t size = 0;
        FSSpec spec;
        char* buffer = ReadDataFile(&size, &spec);
        ASSERT_NE(buffer, nullptr) << path;
        EXPECT_EQ(HostPathFromFSSpec(&spec), path);
        int32_t index = 0;
        EXPECT_EQ(GetLongFromData(buffer, &index, size), 7);
        DisposeDataBuffer(&buffer);
    }
    // A message about a file deep down keeps its name and the reason.
    gChosen = deep + "/gone.sprites";
    int32_t size = 0;
    FSSpec spec;
    StartCapturingStderr();
    EXPECT_EQ(ReadDataFile(&size, &spec), nullptr);
    const std::string message = CapturedStderr();
    EXPECT_NE(message.find("/gone.sprites\" does not exist\n"), std::string::npos) << message;
    EXPECT_LT(message.size(), 200u);
}

} // namespace
