// stardrift [SPRITE_FILE]: opens the sprite file (or asks for one) and runs
// the world until the user quits.
#include <QApplication>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "App_Shell.h"
#include "Host_Files.h"

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

} // namespace

int main(int argc, char* argv[])
{
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
