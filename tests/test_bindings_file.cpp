// Saving and loading the bindings file as writing in place would, but
// atomically: failed saves keep the old file and say why, permissions, owner
// and symbolic links survive, files that are not plain readable and writable
// files are neither read nor replaced.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "Config_File.h"
#include "Host_Files.h"
#include "Input_Actions.h"
#include "Test_Support.h"

namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

std::vector<unsigned char> Bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// The names in a folder.
std::set<std::string> Names(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

mode_t Mode(const fs::path& path)
{
    struct stat st = {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Every test starts with nothing bound but the thrust key, in a folder of its own.
class BindingsFile : public testing::Test {
protected:
    void SetUp() override
    {
        for (actionRec& action : actionArray)
            action = actionRec{};
        Bind(111);
        folder = fs::temp_directory_path() / ("stardrift-bindings-" + std::to_string(getpid()));
        fs::create_directories(folder);
        previous = fs::current_path();
        fs::current_path(folder);
    }
    void TearDown() override
    {
        fs::current_path(previous);
        // A test may have left the folder or a file closed to its owner.
        (void)!std::system(("chmod -R u+rwx '" + folder.string() + "'").c_str());
        fs::remove_all(folder);
    }
    static void Bind(UInt32 keyCode) { actionArray[kActionThrust].keyCode = keyCode; }
    // SaveConfig, with what it said on standard error.
    static OSStatus Save(std::string* said)
    {
        StartCapturingStderr();
        const OSStatus result = SaveConfig();
        *said = CapturedStderr();
        return result;
    }
    static OSStatus Load(std::string* said)
    {
        StartCapturingStderr();
        const OSStatus result = LoadConfig();
        *said = CapturedStderr();
        return result;
    }
    // The thrust key code stored in a saved file.
    static UInt32 SavedThrustKey(const fs::path& path)
    {
        const std::vector<unsigned char> bytes = Bytes(path);
        if (bytes.size() != 246u)
            return 0;
        const unsigned char* key = &bytes[5 * kActionThrust];
        return UInt32(key[0]) << 24 | UInt32(key[1]) << 16 | UInt32(key[2]) << 8 | key[3];
    }
    // Runs body in a child process as a user without privileges (nobody,
    // when the tests run as root, who reads and writes any file) that owns
    // the folder. Its exit status: 0 when every check of body passed,
    // otherwise the number of the check that failed.
    static int AsPlainUser(const std::function<int()>& body)
    {
        const pid_t pid = fork();
        if (pid == 0) {
            if (geteuid() == 0 && (chown(".", kNobody, kNobody) != 0 || setgroups(0, nullptr) != 0 ||
                                   setgid(kNobody) != 0 || setuid(kNobody) != 0))
                _exit(99);
            _exit(body());
        }
        int status = -1;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
    }
    // Gives a file to the user AsPlainUser runs as.
    static void GiveToPlainUser(const char* path)
    {
        if (geteuid() == 0) {
            ASSERT_EQ(chown(path, kNobody, kNobody), 0);
        }
    }
    fs::path folder, previous;
};

TEST_F(BindingsFile, AFullDiskKeepsTheOldFileSaysWhyAndLeavesNothingElse)
{
    std::string said;
    ASSERT_EQ(Save(&said), noErr);
    EXPECT_EQ(said, "");
    const std::vector<unsigned char> before = Bytes(kConfigFileName);

    // A file-size limit of 240 bytes: the program is not killed by SIGXFSZ,
    // the write fails.
    Bind(112);
    std::signal(SIGXFSZ, SIG_DFL);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit tight = saved;
    tight.rlim_cur = 240;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    const OSStatus result = Save(&said);
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(result, paramErr);
    EXPECT_NE(said.find("SaveConfig"), std::string::npos) << said;
    EXPECT_NE(said.find("\"ZV config\""), std::string::npos) << said;
    EXPECT_NE(said.find("File too large"), std::string::npos) << said;
    EXPECT_EQ(Bytes(kConfigFileName), before);
    EXPECT_EQ(Names("."), std::set<std::string>{kConfigFileName}) << "no temporary file is left";

    struct sigaction action = {};
    sigaction(SIGXFSZ, nullptr, &action);
    EXPECT_EQ(action.sa_handler, SIG_DFL) << "the signal's action is given back";
    ASSERT_EQ(Save(&said), noErr);
    EXPECT_EQ(SavedThrustKey(kConfigFileName), 112u);
}

TEST_F(BindingsFile, AReadOnlyFolderKeepsTheOldFileAndSaysWhy)
{
    std::string said;
    ASSERT_EQ(Save(&said), noErr);
    GiveToPlainUser(kConfigFileName);
    const std::vector<unsigned char> before = Bytes(kConfigFileName);
    Bind(112);
    const int status = AsPlainUser([] {
        if (chmod(".", 0555) != 0)
            return 1;
        if (SaveConfig() != paramErr)
            return 2;
        if (chmod(".", 0755) != 0)
            return 3;
        return SaveConfig() == noErr ? 0 : 4; // the same save in a writable folder
    });
    EXPECT_EQ(status, 0);
    // The failed save left the file as it was; the second one wrote it.
    EXPECT_EQ(SavedThrustKey(kConfigFileName), 112u);
    EXPECT_NE(Bytes(kConfigFileName), before);
    EXPECT_EQ(Names("."), std::set<std::string>{kConfigFileName});

    // Once more, looking at the file right after the failed save.
    ASSERT_EQ(chmod(".", 0555), 0);
    Bind(113);
    const std::vector<unsigned char> kept = Bytes(kConfigFileName);
    StartCapturingStderr();
    EXPECT_EQ(AsPlainUser([] { return SaveConfig() == paramErr ? 0 : 1; }), 0);
    said = CapturedStderr();
    ASSERT_EQ(chmod(".", 0755), 0);
    EXPECT_EQ(Bytes(kConfigFileName), kept);
    EXPECT_EQ(Names("."), std::set<std::string>{kConfigFileName});
    EXPECT_NE(said.find("\"ZV config\": cannot create a temporary file beside it: Permission denied"),
              std::string::npos)
        << said;
}

TEST_F(BindingsFile, AFolderFifoOrDeviceInTheFilesPlaceIsNeitherReadNorReplaced)
{
    std::string said;
    fs::create_directory(kConfigFileName);
    EXPECT_EQ(Save(&said), paramErr);
    EXPECT_NE(said.find("\"ZV config\": it is a folder"), std::string::npos) << said;
    EXPECT_TRUE(fs::is_directory(kConfigFileName));
    EXPECT_EQ(Load(&said), paramErr);
    EXPECT_NE(said.find("LoadConfig"), std::string::npos) << said;
    EXPECT_NE(said.find("it is a folder"), std::string::npos) << said;
    EXPECT_EQ(Names("."), std::set<std::string>{kConfigFileName});
    fs::remove(kConfigFileName);

    // A FIFO with no writer: opening it for reading would wait for one.
    ASSERT_EQ(mkfifo(kConfigFileName, 0644), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Load(&said), paramErr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_NE(said.find("it is a FIFO"), std::string::npos) << said;
    EXPECT_EQ(Save(&said), paramErr);
    EXPECT_TRUE(fs::is_fifo(kConfigFileName)) << "not replaced";
    EXPECT_EQ(Names("."), std::set<std::string>{kConfigFileName});
    fs::remove(kConfigFileName);

    // A device, reached through a symbolic link.
    fs::create_symlink("/dev/null", kConfigFileName);
    EXPECT_EQ(Load(&said), paramErr);
    EXPECT_NE(said.find("it is a device"), std::string::npos) << said;
    EXPECT_EQ(Save(&said), paramErr);
    EXPECT_NE(said.find("it is a device"), std::string::npos) << said;
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_TRUE(fs::is_symlink(kConfigFileName));
}

TEST_F(BindingsFile, PermissionsAndOwnerAreKept)
{
    std::string said;
    ASSERT_EQ(Save(&said), noErr);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(Mode(kConfigFileName), 0666 & ~mask) << "a new file gets what the umask leaves";

    for (const mode_t mode : {0600, 0640, 0604}) {
        ASSERT_EQ(chmod(kConfigFileName, mode), 0);
        Bind(200 + mode);
        ASSERT_EQ(Save(&said), noErr) << said;
        EXPECT_EQ(Mode(kConfigFileName), mode);
        EXPECT_EQ(SavedThrustKey(kConfigFileName), 200 + mode);
    }

    // A file nobody may write is not replaced by a plain user; root may
    // write it in place, and so replaces it keeping the mode and the owner.
    ASSERT_EQ(chmod(kConfigFileName, 0444), 0);
    GiveToPlainUser(kConfigFileName);
    Bind(300);
    EXPECT_EQ(AsPlainUser([] { return SaveConfig() == paramErr ? 0 : 1; }), 0);
    EXPECT_EQ(Mode(kConfigFileName), 0444u);
    EXPECT_EQ(SavedThrustKey(kConfigFileName), 200u + 0604u);
    if (geteuid() == 0) {
        ASSERT_EQ(Save(&said), noErr);
        EXPECT_EQ(SavedThrustKey(kConfigFileName), 300u);
        EXPECT_EQ(Mode(kConfigFileName), 0444u);
        struct stat st = {};
        ASSERT_EQ(stat(kConfigFileName, &st), 0);
        EXPECT_EQ(st.st_uid, kNobody) << "the owner is kept";
        EXPECT_EQ(st.st_gid, kNobody);
    }
    EXPECT_EQ(Names("."), std::set<std::string>{kConfigFileName});
}

TEST_F(BindingsFile, ASymbolicLinkIsWrittenThrough)
{
    fs::create_directory("kept");
    std::string said;
    Bind(7);
    ASSERT_EQ(HostReplaceFile("kept/bindings", "x", 1, &said), true) << said;
    ASSERT_EQ(chmod("kept/bindings", 0600), 0);
    fs::create_symlink("kept/bindings", "link");
    fs::create_symlink("link", kConfigFileName); // a link to a link, both relative
    ASSERT_EQ(Save(&said), noErr) << said;
    EXPECT_TRUE(fs::is_symlink(kConfigFileName));
    EXPECT_EQ(fs::read_symlink(kConfigFileName), "link");
    EXPECT_EQ(SavedThrustKey("kept/bindings"), 7u) << "the target holds the new bindings";
    EXPECT_EQ(Mode("kept/bindings"), 0600u);
    EXPECT_EQ(Names("kept"), std::set<std::string>{"bindings"});
    EXPECT_EQ(Names("."), (std::set<std::string>{kConfigFileName, "kept", "link"}));

    // A link whose file is not there yet: the file is made where it points.
    fs::remove("kept/bindings");
    Bind(8);
    ASSERT_EQ(Save(&said), noErr) << said;
    EXPECT_EQ(SavedThrustKey("kept/bindings"), 8u);
    EXPECT_TRUE(fs::is_symlink(kConfigFileName));
    Bind(0);
    ASSERT_EQ(Load(&said), noErr) << said;
    EXPECT_EQ(actionArray[kActionThrust].keyCode, 8u) << "loaded through the link";

    // A loop of links is refused.
    fs::remove(kConfigFileName);
    fs::create_symlink("loop", kConfigFileName);
    fs::create_symlink(kConfigFileName, "loop");
    EXPECT_EQ(Save(&said), paramErr);
    EXPECT_NE(said.find("Too many levels of symbolic links"), std::string::npos) << said;
}

TEST_F(BindingsFile, AFileThatCannotBeReadIsNotReplaced)
{
    std::string said;
    ASSERT_EQ(Save(&said), noErr);
    const std::vector<unsigned char> before = Bytes(kConfigFileName);
    ASSERT_EQ(chmod(kConfigFileName, 0), 0);
    GiveToPlainUser(kConfigFileName);
    // As the shell does: load at start-up, which finds nothing it can read,
    // then save at quit.
    const int status = AsPlainUser([] {
        if (LoadConfig() != paramErr)
            return 1;
        if (actionArray[kActionThrust].keyCode != 0)
            return 2;
        if (SaveConfig() != paramErr)
            return 3;
        // The same file, made readable again: now it is replaced.
        if (chmod(kConfigFileName, 0600) != 0)
            return 4;
        if (LoadConfig() != noErr || actionArray[kActionThrust].keyCode != 111)
            return 5;
        actionArray[kActionThrust].keyCode = 114;
        return SaveConfig() == noErr ? 0 : 6;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(SavedThrustKey(kConfigFileName), 114u);
    EXPECT_EQ(Names("."), std::set<std::string>{kConfigFileName});

    // What is said, and that the file is then untouched.
    ASSERT_EQ(chmod(kConfigFileName, 0), 0);
    const std::vector<unsigned char> kept = Bytes(kConfigFileName);
    StartCapturingStderr();
    EXPECT_EQ(AsPlainUser([] { return LoadConfig() == paramErr && SaveConfig() == paramErr ? 0 : 1; }), 0);
    said = CapturedStderr();
    EXPECT_EQ(Bytes(kConfigFileName), kept);
    EXPECT_EQ(Mode(kConfigFileName), 0u);
    EXPECT_NE(said.find(
                  "LoadConfig: the bindings were not loaded from \"ZV config\": cannot open it: Permission denied"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("SaveConfig: the bindings were not saved to \"ZV config\": cannot open it for reading and "
                        "writing: Permission denied"),
              std::string::npos)
        << said;
    EXPECT_NE(before, kept);
}

TEST_F(BindingsFile, AMissingFileLoadsAsNothingBoundWithoutAWord)
{
    std::string said;
    EXPECT_EQ(Load(&said), paramErr);
    EXPECT_EQ(said, "");
    EXPECT_EQ(actionArray[kActionThrust].keyCode, 0u);
    EXPECT_TRUE(Names(".").empty());
}

} // namespace
