#include "Fuzz_Support.h"

#include <QGuiApplication>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

const std::string& FuzzFolder()
{
    static const std::string folder = [] {
        const std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("stardrift-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path.string();
    }();
    return folder;
}

void FuzzWriteFile(const std::string& path, const uint8_t* data, size_t size)
{
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        if (size)
            std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
}

void FuzzStartQt()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* application = nullptr;
    if (!application) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        application = new QGuiApplication(argc, argv);
    }
}
