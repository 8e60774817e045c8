// What many suites need: a folder of their own for files, and what the code
// under test writes on standard error.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <unistd.h>

// A new, empty folder under $TMPDIR (else /tmp), named after what it is for,
// removed with everything in it when the folder goes. Enter() makes it the
// working folder until then.
struct TemporaryFolder {
    explicit TemporaryFolder(const std::string& name = "stardrift")
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (name + "-XXXXXX")).string();
        if (mkdtemp(pattern.data()))
            path = pattern;
        else
            ADD_FAILURE() << "cannot make a folder like " << pattern;
    }
    ~TemporaryFolder()
    {
        std::error_code ignored;
        if (!previous.empty())
            std::filesystem::current_path(previous, ignored);
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    void Enter()
    {
        if (previous.empty())
            previous = std::filesystem::current_path();
        std::filesystem::current_path(path);
    }
    // The path of a file or folder inside.
    std::string operator/(const std::string& name) const { return (path / name).string(); }

    std::filesystem::path path;
    std::filesystem::path previous; // the working folder before Enter
};

// Standard error, file descriptor and stream alike, goes to a file between
// StartCapturingStderr and CapturedStderr, which gives back what was written
// and restores it. One capture at a time.
namespace stderrcapture {
inline int gSavedStderr = -1;
inline std::string gCaptureFile;
} // namespace stderrcapture

inline void StartCapturingStderr()
{
    using namespace stderrcapture;
    ASSERT_EQ(gSavedStderr, -1) << "standard error is being captured already";
    gCaptureFile = (std::filesystem::temp_directory_path() / "stardrift-stderr-XXXXXX").string();
    const int fd = mkstemp(gCaptureFile.data());
    ASSERT_GE(fd, 0) << "cannot make " << gCaptureFile;
    std::fflush(stderr);
    gSavedStderr = dup(STDERR_FILENO);
    dup2(fd, STDERR_FILENO);
    close(fd);
}

inline std::string CapturedStderr()
{
    using namespace stderrcapture;
    if (gSavedStderr < 0) {
        ADD_FAILURE() << "standard error is not being captured";
        return std::string();
    }
    std::fflush(stderr);
    dup2(gSavedStderr, STDERR_FILENO);
    close(gSavedStderr);
    gSavedStderr = -1;
    std::ifstream file(gCaptureFile, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::remove(gCaptureFile.c_str());
    return text;
}
