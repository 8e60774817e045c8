#include "Host_Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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
    if (gChooser && gChooser(&path) && HostMakeFSSpec(path, &reply->selection)) {
        reply->validRecord = 1;
        gLastChosenName.assign(reinterpret_cast<const char*>(reply->selection.name + 1), reply->selection.name[0]);
    }
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
    if (name.empty() || name.size() > 63 || folder.size() >= sizeof spec->folder)
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

OSErr FSpOpenDF(const FSSpec* spec, int8_t permission, int16_t* refNum)
{
    if (!spec || !refNum || permission != fsRdPerm)
        return OSErr(paramErr);
    const std::string path = HostPathFromFSSpec(spec);
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fnfErr;
    struct stat st{};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fd > SHRT_MAX) {
        close(fd);
        return fnfErr;
    }
    *refNum = static_cast<int16_t>(fd);
    return noErr;
}

OSErr GetEOF(int16_t refNum, int32_t* logicalEOF)
{
    struct stat st{};
    if (!logicalEOF || fstat(refNum, &st) != 0)
        return ioErr;
    if (st.st_size > INT32_MAX)
        return memFullErr;
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
