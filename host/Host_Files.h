// File choosing and whole-file access: the file-open dialog and the few file
// calls the data file reader and the image loader make.
#pragma once

#include <string>

#include "Host_Types.h"

// The answer of the file-open dialog.
struct NavReplyRecord {
    Boolean validRecord; // a file was chosen
    FSSpec selection;    // the chosen file
};

// Who answers NavChooseFile: the application installs the real dialog, the
// command line a given file, tests whatever they need. Returns true and the
// chosen path, or false when the user cancelled.
using HostFileChooser = bool (*)(std::string* chosenPath);
void HostSetFileChooser(HostFileChooser chooser);

// Asks the user for one file. Without an installed chooser the answer is
// "cancelled". Always returns noErr; reply->validRecord tells the outcome.
OSErr NavChooseFile(NavReplyRecord* reply);
OSErr NavDisposeReply(NavReplyRecord* reply);
// The plain name of the file chosen last, "" before any; for window titles.
const char* HostLastChosenFileName();

// Splits a path into folder and plain name. False when the name does not fit
// in 63 characters or the folder in the FSSpec.
bool HostMakeFSSpec(const std::string& path, FSSpec* spec);
// The full path of a location.
std::string HostPathFromFSSpec(const FSSpec* spec);

// True when nothing at all is at the path: no file, folder or link, not even
// one that cannot be read. Any other answer (an unreadable folder on the way
// included) counts as something there.
bool HostNothingAt(const std::string& path);

constexpr int8_t fsRdPerm = 1;
constexpr OSErr fnfErr = -43;  // file not found or not openable
constexpr OSErr ioErr = -36;   // read failed
constexpr OSErr eofErr = -39;  // fewer bytes than asked for
constexpr OSErr memFullErr = -108;

OSErr FSpOpenDF(const FSSpec* spec, int8_t permission, int16_t* refNum);
OSErr GetEOF(int16_t refNum, int32_t* logicalEOF);
// Reads *count bytes; on return *count holds the bytes actually read.
OSErr FSRead(int16_t refNum, int32_t* count, void* buffer);
OSErr FSClose(int16_t refNum);

// Zero-filled memory blocks.
char* NewPtrClear(int32_t byteCount);
void DisposePtr(char* block);
