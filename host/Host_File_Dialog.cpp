// The file-open dialog as the answer to NavChooseFile.
#include <QFile>
#include <QFileDialog>

#include <string>

#include "Host_App_Internal.h"
#include "Host_Files.h"

namespace {

QString gDialogFolder;

bool FileDialogChooser(std::string* chosenPath)
{
    const QString path = QFileDialog::getOpenFileName(nullptr, "Open Sprite File", gDialogFolder,
                                                      "Sprite files (*.sprites *.txt);;All files (*)");
    // Without a window manager nobody gives the focus back after the dialog.
    if (gMenuBarWindow && gMenuBarWindow->isVisible())
        gMenuBarWindow->activateWindow();
    if (path.isEmpty())
        return false;
    *chosenPath = QFile::encodeName(path).toStdString(); // the name's own bytes
    return true;
}

} // namespace

void HostUseFileDialog()
{
    HostSetFileChooser(FileDialogChooser);
}

void HostSetFileDialogFolder(const char* folder)
{
    gDialogFolder = QFile::decodeName(folder ? folder : "");
}
