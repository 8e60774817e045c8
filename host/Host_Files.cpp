#include "Host_Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
HostFileChooser gChooser = nullptr;
std::string gLastChosenName;
} // namespace

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
               : errno == ENAMETOOLONG             ? bdNamErr
                                                   : ioErr;
        return -1;
    }
    struct stat st = {};
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
    struct stat st = {};
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

// ---- small files read and replaced whole -----------------------------------

namespace {

std::string Reason(const char* what, int error)
{
    return std::string(what) + ": " + std::strerror(error);
}

// Why a file of this type is not read or written as a plain file.
const char* NotRegular(mode_t mode)
{
    if (S_ISDIR(mode))
        return "it is a folder, not a file";
    if (S_ISFIFO(mode))
        return "it is a FIFO, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "it is a device, not a regular file";
    return "it is not a regular file";
}

// The file a path finally names, following symbolic links; it need not exist.
bool FollowLinks(std::string* path, std::string* why)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st = {};
        if (lstat(path->c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        char target[PATH_MAX];
        const ssize_t length = readlink(path->c_str(), target, sizeof target);
        if (length < 0 || size_t(length) >= sizeof target) {
            *why = Reason("cannot read the symbolic link", length < 0 ? errno : ENAMETOOLONG);
            return false;
        }
        std::string next(target, size_t(length));
        const size_t slash = path->rfind('/');
        if (next[0] != '/' && slash != std::string::npos)
            next = path->substr(0, slash + 1) + next;
        *path = next;
    }
    *why = Reason("cannot follow the symbolic link", ELOOP);
    return false;
}

bool WriteAll(int fd, const char* bytes, size_t count, int* error)
{
    while (count > 0) {
        const ssize_t done = write(fd, bytes, count);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            *error = done < 0 ? errno : EIO;
            return false;
        }
        bytes += done;
        count -= size_t(done);
    }
    return true;
}

// Writes the whole temporary file and syncs it. Past a file-size limit the
// kernel sends SIGXFSZ, which would end the program: it is ignored while the
// bytes are written, so that the write fails with EFBIG instead.
bool FillTemporary(int fd, const void* bytes, size_t count, std::string* why)
{
    struct sigaction ignore = {};
    struct sigaction previous = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &previous);
    int error = 0;
    const bool written = WriteAll(fd, static_cast<const char*>(bytes), count, &error);
    sigaction(SIGXFSZ, &previous, nullptr);
    if (!written) {
        *why = Reason("cannot write the new contents", error);
        return false;
    }
    if (fsync(fd) != 0) {
        *why = Reason("cannot write the new contents to the disk", errno);
        return false;
    }
    return true;
}

} // namespace

FILE* HostOpenRegularFile(const char* path, std::string* why)
{
    struct stat st = {};
    if (stat(path, &st) != 0) {
        const int error = errno;
        *why = Reason("cannot open it", error);
        errno = error;
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        *why = NotRegular(st.st_mode);
        errno = EINVAL;
        return nullptr;
    }
    // O_NONBLOCK: should it have become a FIFO meanwhile, opening it must not wait.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = fd < 0 ? errno : EINVAL;
        *why = fd < 0 ? Reason("cannot open it", error) : NotRegular(st.st_mode);
        if (fd >= 0)
            close(fd);
        errno = error;
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE* file = fdopen(fd, "rb");
    if (!file) {
        const int error = errno;
        *why = Reason("cannot open it", error);
        close(fd);
        errno = error;
    }
    return file;
}

bool HostReplaceFile(const char* path, const void* bytes, size_t count, std::string* why)
{
    std::string target = path;
    if (!FollowLinks(&target, why))
        return false;

    // What the file is now: its permissions and owner pass to the new one.
    struct stat st = {};
    const bool exists = stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) {
        *why = Reason("cannot look at it", errno);
        return false;
    }
    mode_t mode = 0;
    if (exists) {
        if (!S_ISREG(st.st_mode)) {
            *why = NotRegular(st.st_mode);
            return false;
        }
        // Writing in place needs a file that can be opened; one that cannot
        // be read could not have been loaded either, and is kept.
        const int fd = open(target.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            *why = Reason("cannot open it for reading and writing", errno);
            return false;
        }
        close(fd);
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }

    std::string temporary = target + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        *why = Reason("cannot create a temporary file beside it", errno);
        return false;
    }
    // The owner first: changing it may clear the set-user and set-group bits.
    if (exists && (st.st_uid != geteuid() || st.st_gid != getegid()) && fchown(fd, st.st_uid, st.st_gid) != 0)
        (void)!fchown(fd, uid_t(-1), st.st_gid);
    bool done = fchmod(fd, mode) == 0;
    if (!done)
        *why = Reason("cannot give the new file the old one's permissions", errno);
    done = done && FillTemporary(fd, bytes, count, why);
    if (close(fd) != 0 && done) {
        *why = Reason("cannot write the new contents", errno);
        done = false;
    }
    if (done && rename(temporary.c_str(), target.c_str()) != 0) {
        *why = Reason("cannot put the new file in its place", errno);
        done = false;
    }
    if (!done) {
        unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        fsync(folderFd);
        close(folderFd);
    }
    return true;
}
