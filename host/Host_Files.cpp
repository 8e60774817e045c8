#include "Host_Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {
HostFileChooser gChooser = nullptr;
std::string gLastChosenName;
}

const char* HostLastChosenFileName()
{
    return gLastChosenName.c_str();
}

void HostSetFileChooser(HostFileChooser chooser)
{
    gChooser = chooser;
}

OSErr NavChooseFile(NavReplyRecord* reply)
{
    if (!reply)
        return OSErr(paramErr);
    std::memset(reply, 0, sizeof *reply);
    std::string path;
    if (!gChooser || !gChooser(&path))
        return noErr;
    if (!HostMakeFSSpec(path, &reply->selection)) {
        std::fprintf(stderr, "The file \"%s\" cannot be opened: %s\n", path.c_str(),
                     path.size() >= sizeof reply->selection.folder ? "its path is too long" : "it names no file");
        return noErr;
    }
    reply->validRecord = 1;
    gLastChosenName.assign(reinterpret_cast<const char*>(reply->selection.name + 1), reply->selection.name[0]);
    return noErr;
}

OSErr NavDisposeReply(NavReplyRecord* reply)
{
    if (reply)
        std::memset(reply, 0, sizeof *reply);
    return noErr;
}

bool HostMakeFSSpec(const std::string& path, FSSpec* spec)
{
    std::memset(spec, 0, sizeof *spec);
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name.size() >= sizeof spec->name || folder.size() >= sizeof spec->folder)
        return false;
    std::memcpy(spec->folder, folder.data(), folder.size());
    spec->name[0] = static_cast<unsigned char>(name.size());
    std::memcpy(spec->name + 1, name.data(), name.size());
    return true;
}

std::string HostPathFromFSSpec(const FSSpec* spec)
{
    const size_t folderLength = strnlen(spec->folder, sizeof spec->folder);
    std::string path = folderLength ? std::string(spec->folder, folderLength) : std::string(1, '.');
    if (path.back() != '/')
        path.push_back('/');
    path.append(reinterpret_cast<const char*>(spec->name + 1), spec->name[0]);
    return path;
}

bool HostNothingAt(const std::string& path)
{
    struct stat status;
    return lstat(path.c_str(), &status) != 0 && errno == ENOENT;
}

std::string HostFileNameForMessage(const FSSpec* spec, size_t maxBytes)
{
    const std::string path = HostPathFromFSSpec(spec);
    if (path.size() <= maxBytes)
        return path;
    const std::string name(reinterpret_cast<const char*>(spec->name + 1), spec->name[0]);
    const std::string cut = "...";
    if (name.size() + cut.size() + 1 >= maxBytes) // a name too long on its own keeps its start and end
        return name.substr(0, maxBytes / 2 - 2) + cut + name.substr(name.size() - (maxBytes / 2 - 2));
    return cut + path.substr(path.size() - (maxBytes - cut.size()));
}

const char* HostFileErrorText(OSErr err)
{
    switch (err) {
    case fnfErr:
        return "does not exist";
    case permErr:
        return "cannot be read: permission denied";
    case notAFileErr:
        return "is a folder, not a file";
    case notRegularFileErr:
        return "is not a regular file (a FIFO, socket or device)";
    case fsDataTooBigErr:
        return "is larger than 2 GiB";
    case bdNamErr:
        return "is not a valid file name";
    case memFullErr:
        return "cannot be read: out of memory";
    case eofErr:
        return "cannot be read: it got shorter while being read";
    default:
        return "cannot be read";
    }
}

int HostOpenRegularFile(const FSSpec* spec, OSErr* err, int64_t* size)
{
    *err = noErr;
    *size = 0;
    if (!spec || spec->name[0] == 0) {
        *err = bdNamErr;
        return -1;
    }
    const std::string path = HostPathFromFSSpec(spec);
    // O_NONBLOCK: opening a FIFO without a writer would wait for one.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        *err = errno == ENOENT || errno == ENOTDIR ? fnfErr
               : errno == EACCES || errno == EPERM ? permErr
               : errno == ENAMETOOLONG            ? bdNamErr
                                                  : ioErr;
        return -1;
    }
    struct stat st{};
    if (fstat(fd, &st) != 0)
        *err = ioErr;
    else if (S_ISDIR(st.st_mode))
        *err = notAFileErr;
    else if (!S_ISREG(st.st_mode))
        *err = notRegularFileErr;
    else if (st.st_size > kMaxFileBytes)
        *err = fsDataTooBigErr;
    if (*err != noErr) {
        close(fd);
        return -1;
    }
    // A regular file never blocks; reads go on as usual.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    *size = st.st_size;
    return fd;
}

int64_t HostPhysicalMemoryBytes()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? int64_t(pages) * int64_t(pageSize) : 0;
}

OSErr FSpOpenDF(const FSSpec* spec, int8_t permission, int16_t* refNum)
{
    if (!spec || !refNum || permission != fsRdPerm)
        return OSErr(paramErr);
    OSErr err = noErr;
    int64_t size = 0;
    const int fd = HostOpenRegularFile(spec, &err, &size);
    if (fd < 0)
        return err;
    if (fd > SHRT_MAX) {
        close(fd);
        return ioErr;
    }
    *refNum = static_cast<int16_t>(fd);
    return noErr;
}

OSErr GetEOF(int16_t refNum, int32_t* logicalEOF)
{
    struct stat st{};
    if (!logicalEOF || fstat(refNum, &st) != 0)
        return ioErr;
    if (st.st_size > kMaxFileBytes)
        return fsDataTooBigErr;
    *logicalEOF = static_cast<int32_t>(st.st_size);
    return noErr;
}

OSErr FSRead(int16_t refNum, int32_t* count, void* buffer)
{
    if (!count || *count < 0 || (!buffer && *count > 0))
        return OSErr(paramErr);
    int32_t done = 0;
    while (done < *count) {
        const ssize_t got = read(refNum, static_cast<char*>(buffer) + done, size_t(*count - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            *count = done;
            return got == 0 ? eofErr : ioErr;
        }
        done += static_cast<int32_t>(got);
    }
    return noErr;
}

OSErr FSClose(int16_t refNum)
{
    return close(refNum) == 0 ? noErr : ioErr;
}

char* NewPtrClear(int32_t byteCount)
{
    if (byteCount < 0)
        return nullptr;
    // calloc(0) may return null; a zero-length file still gets a block.
    return static_cast<char*>(std::calloc(size_t(byteCount) + (byteCount == 0), 1));
}

void DisposePtr(char* block)
{
    std::free(block);
}
