// stardrift [SPRITE_FILE]: opens the sprite file (or asks for one) and runs
// the world until the user quits.
#include <QApplication>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "App_Shell.h"
#include "Host_Files.h"
#include "List_Devices.h"

namespace {

std::string gStartFile;

// Answers the first file request with the file named on the command line,
// later ones with the file dialog.
bool ChooseStartFile(std::string* chosenPath)
{
    HostUseFileDialog();
    if (access(gStartFile.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "stardrift: cannot read the sprite file \"%s\"\n", gStartFile.c_str());
        return false;
    }
    *chosenPath = gStartFile;
    return true;
}

void PrintUsage(FILE* out)
{
    std::fprintf(out,
                 "Usage: stardrift [SPRITE_FILE]\n"
                 "       stardrift --list-devices\n"
                 "\n"
                 "An interactive 2D sprite world. Opens SPRITE_FILE, or asks for a sprite file.\n"
                 "Go (Ctrl+G) starts the world; Configure Controls in the Stardrift menu binds\n"
                 "keys and game pads. Bindings are kept in \"ZV config\" in the working folder.\n"
                 "\n"
                 "  --list-devices  print the input devices and their elements, then exit\n"
                 "  --help          print this help, then exit\n"
                 "  --version       print the version, then exit\n");
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && argv[1][0] == '-' && argv[1][1] != '\0') {
        const char* option = argv[1];
        if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0) {
            PrintUsage(stdout);
            return 0;
        }
        if (std::strcmp(option, "--version") == 0) {
            std::printf("stardrift %s\n", STARDRIFT_VERSION);
            return 0;
        }
        if (std::strcmp(option, "--list-devices") == 0)
            return ListDevices(stdout);
        if (std::strcmp(option, "--") != 0) {
            std::fprintf(stderr, "stardrift: unknown option \"%s\"\n", option);
            PrintUsage(stderr);
            return 2;
        }
        ++argv;
        --argc;
    }
    if (argc > 2) {
        std::fprintf(stderr, "stardrift: one sprite file at a time\n");
        PrintUsage(stderr);
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("Stardrift");
    if (argc > 1) {
        gStartFile = argv[1];
        HostSetFileChooser(ChooseStartFile);
    } else {
        HostUseFileDialog();
    }
    const OSStatus err = StartApplication();
    if (err != noErr)
        return int(err);
    RunApplicationEventLoop();
    StopApplication();
    return 0;
}
