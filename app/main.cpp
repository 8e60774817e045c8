// stardrift [SPRITE_FILE]: opens the sprite file (or asks for one) and runs
// the world until the user quits.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "App_Shell.h"
#include "Config_File.h"
#include "Host_App.h"
#include "Host_Application.h"
#include "Host_Files.h"
#include "List_Devices.h"

namespace {

std::string gStartFile;

// Answers the first file request with the file named on the command line,
// later ones with the file dialog. The loader says why a file is refused.
bool ChooseStartFile(std::string* chosenPath)
{
    HostUseFileDialog();
    *chosenPath = gStartFile;
    return true;
}

// The bundled demo world, installed beside the program under
// share/stardrift, or where the build meant to install it.
std::string DemoFolder(const char* argv0)
{
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string program = length > 0 ? std::string(self, size_t(length)) : std::string(argv0);
    const std::string bin = program.substr(0, program.find_last_of('/') + 1);
    for (const std::string& folder : {bin + "../share/stardrift/demo", std::string(STARDRIFT_DATA_DIR "/demo")})
        if (access((folder + "/demo.sprites").c_str(), R_OK) == 0)
            return folder;
    return std::string();
}

// The user's configuration folder for the program: $XDG_CONFIG_HOME/stardrift,
// else ~/.config/stardrift. Missing folders are made, private to the user as
// is customary; one that cannot be made is said, and saving there will fail
// and say so too. "" with a message when there is no home folder at all.
std::string ConfigFolder()
{
    std::string base;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') {
            const passwd* user = getpwuid(getuid());
            home = user ? user->pw_dir : nullptr;
        }
        if (!home || home[0] != '/') {
            std::fprintf(stderr, "stardrift: no home folder: the bindings are kept in the working folder\n");
            return std::string();
        }
        base = std::string(home) + "/.config";
    }
    const std::string folder = base + "/stardrift";
    // Each folder on the way, from the top; those that exist are left as they are.
    for (size_t slash = 1; slash != std::string::npos;) {
        slash = folder.find('/', slash + 1);
        const std::string part = folder.substr(0, slash);
        struct stat status;
        if (stat(part.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
            continue;
        if (mkdir(part.c_str(), 0700) != 0) {
            std::fprintf(stderr, "stardrift: cannot make the folder \"%s\": %s\n", part.c_str(), std::strerror(errno));
            break;
        }
    }
    return folder;
}

void PrintUsage(FILE* out)
{
    std::fprintf(out, "Usage: stardrift [SPRITE_FILE]\n"
                      "       stardrift --demo\n"
                      "       stardrift --list-devices\n"
                      "\n"
                      "An interactive 2D sprite world. Opens SPRITE_FILE, or asks for a sprite file.\n"
                      "Go (Ctrl+G) starts the world; Configure Controls in the Stardrift menu binds\n"
                      "keys and game pads. Bindings are kept in \"ZV config\" in the working folder;\n"
                      "until there is one, the arrow keys steer and A and Z zoom.\n"
                      "\n"
                      "  --demo          open the bundled demo world, keeping the bindings in\n"
                      "                  $XDG_CONFIG_HOME/stardrift (~/.config/stardrift)\n"
                      "  --list-devices  print the input devices and their elements, then exit\n"
                      "  --help          print this help, then exit\n"
                      "  --version       print the version, then exit\n");
}

} // namespace

int main(int argc, char* argv[])
{
    const std::string demo = DemoFolder(argv[0]);
    std::string demoFile;
    if (argc > 1 && std::strcmp(argv[1], "--demo") == 0) {
        if (demo.empty()) {
            std::fprintf(stderr, "stardrift: the demo world is not installed\n");
            return 1;
        }
        demoFile = demo + "/demo.sprites";
        argv[1] = demoFile.data();
        // A menu launch runs in the home folder: the bindings go where a
        // user's settings belong instead.
        const std::string folder = ConfigFolder();
        if (!folder.empty())
            gConfigFilePath = folder + "/" + kConfigFileName;
    }
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
    HostStartApplication(&argc, argv, "Stardrift");
    HostSetFileDialogFolder(demo.c_str());
    if (argc > 1) {
        gStartFile = argv[1];
        HostSetFileChooser(ChooseStartFile);
    } else {
        HostUseFileDialog();
    }
    const OSStatus err = StartApplication();
    if (err != noErr) {
        HostEndApplication();
        return int(err);
    }
    // The bindings are loaded now: from here on a signal quits through the
    // shut-down that saves them, and a lost display still saves them.
    HostQuitOnSignals();
    HostSetLostDisplayProc([] { SaveConfig(); });
    RunApplicationEventLoop();
    StopApplication();
    HostEndApplication();
    return 0;
}
