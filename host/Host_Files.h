// File choosing and whole-file access: the file-open dialog and the few file
// calls the data file reader and the image loader make.
#pragma once

#include <climits>
#include <cstdint>
#include <cstdio>
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
// Installs the file dialog (Host_File_Dialog.cpp) as the answer to NavChooseFile.
void HostUseFileDialog();
// The folder the file dialog opens in.
void HostSetFileDialogFolder(const char* folder);
// The plain name of the file chosen last, "" before any; for window titles.
const char* HostLastChosenFileName();

// Splits a path (bytes, whatever their encoding) into folder and plain name.
// False when it names no file ("", a trailing '/') or does not fit the FSSpec.
bool HostMakeFSSpec(const std::string& path, FSSpec* spec);
// The full path of a location.
std::string HostPathFromFSSpec(const FSSpec* spec);
// The location as a message shows it: the plain name whole and as much of the
// folder as fits in maxBytes, its start replaced by "..." when cut.
std::string HostFileNameForMessage(const FSSpec* spec, size_t maxBytes = 110);

// True when nothing at all is at the path: no file, folder or link, not even
// one that cannot be read. Any other answer (an unreadable folder on the way
// included) counts as something there.
bool HostNothingAt(const std::string& path);

constexpr int8_t fsRdPerm = 1;
constexpr OSErr fnfErr = -43;   // file not found
constexpr OSErr ioErr = -36;    // read failed
constexpr OSErr eofErr = -39;   // fewer bytes than asked for
constexpr OSErr bdNamErr = -37; // the location names no file
constexpr OSErr permErr = -54;  // no permission to read
constexpr OSErr memFullErr = -108;
constexpr OSErr notAFileErr = -1302;       // a folder
constexpr OSErr fsDataTooBigErr = -1310;   // over 2 GiB
constexpr OSErr notRegularFileErr = -1311; // a FIFO, socket or device

// Why a file could not be opened or read, for messages ("is a folder", ...).
const char* HostFileErrorText(OSErr err);
// Files larger than this are not read.
constexpr int64_t kMaxFileBytes = INT32_MAX;

// Opens a regular file for reading without ever blocking (a FIFO, device or
// folder is refused before anything is read). Returns the descriptor, or -1
// with *err set; *size receives the file's length.
int HostOpenRegularFile(const FSSpec* spec, OSErr* err, int64_t* size);

// Physical memory of the machine in bytes (0 when unknown).
int64_t HostPhysicalMemoryBytes();

OSErr FSpOpenDF(const FSSpec* spec, int8_t permission, int16_t* refNum);
OSErr GetEOF(int16_t refNum, int32_t* logicalEOF);
// Reads *count bytes; on return *count holds the bytes actually read.
OSErr FSRead(int16_t refNum, int32_t* count, void* buffer);
OSErr FSClose(int16_t refNum);

// Zero-filled memory blocks.
char* NewPtrClear(int32_t byteCount);
void DisposePtr(char* block);

// ---- small files read and replaced whole -----------------------------------

// Opens an existing regular file for binary reading without ever blocking: a
// folder, FIFO or device is refused before anything is read from it. Null
// with errno set (ENOENT when there is no such file) and *why telling the
// reason otherwise.
FILE* HostOpenRegularFile(const char* path, std::string* why);

// Replaces the contents of the file at path by count bytes, atomically, and
// otherwise as writing in place would: a symbolic link is followed to the
// file it names, which keeps its permissions (and its owner and group where
// the process may set them); a missing file is created with the permissions
// the umask leaves. The bytes go to a temporary file in the same folder,
// which is synced and renamed over the file. A file that exists but is not a
// regular file, or cannot be both read and written, is not replaced; a disk
// that is full or a file-size limit makes the call fail, and no temporary
// file is left behind. True on success; false with *why telling the reason,
// the file then being as it was.
bool HostReplaceFile(const char* path, const void* bytes, size_t count, std::string* why);
