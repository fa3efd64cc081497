#include "platform/linux/posix_files.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace platform::posix {

DWORD ErrorFromErrno(int error) {
    switch (error) {
        case 0: return ERROR_SUCCESS;
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS: return ERROR_ACCESS_DENIED;
        case EEXIST: return ERROR_FILE_EXISTS;
        case EBUSY: return ERROR_BUSY;
        case EWOULDBLOCK: return ERROR_SHARING_VIOLATION;
        case ENOSPC:
        case EDQUOT: return ERROR_DISK_FULL;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        case EINVAL: return ERROR_INVALID_PARAMETER;
        case ENOMEDIUM:
        case ENXIO:
        case ENODEV: return ERROR_NOT_READY;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case EIO: return ERROR_GEN_FAILURE;
        default: return ERROR_GEN_FAILURE;
    }
}

namespace {

bool fail(int error) {
    SetLastError(ErrorFromErrno(error));
    return false;
}

FILETIME fileTime(const struct timespec& t) {
    // 100 ns ticks since 1601.
    ULONGLONG ticks = (ULONGLONG)(t.tv_sec + 11644473600LL) * 10000000ULL + (ULONGLONG)t.tv_nsec / 100;
    return FILETIME{(DWORD)ticks, (DWORD)(ticks >> 32)};
}

void fillAttributes(const struct stat& st, DWORD* attributes, FILETIME* created, FILETIME* accessed,
                    FILETIME* written, DWORD* sizeHigh, DWORD* sizeLow) {
    *attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    *created = fileTime(st.st_ctim);
    *accessed = fileTime(st.st_atim);
    *written = fileTime(st.st_mtim);
    ULONGLONG size = S_ISDIR(st.st_mode) ? 0 : (ULONGLONG)st.st_size;
    *sizeHigh = (DWORD)(size >> 32);
    *sizeLow = (DWORD)size;
}

class RegularFile : public FileObject {
public:
    explicit RegularFile(int fd) : fd_(fd) {}
    ~RegularFile() override { ::close(fd_); }

    bool Read(void* buffer, DWORD length, DWORD* done) override {
        DWORD total = 0;
        while (total < length) {
            ssize_t n = ::read(fd_, static_cast<char*>(buffer) + total, length - total);
            if (n < 0) {
                if (errno == EINTR) continue;
                return fail(errno);
            }
            if (n == 0) break;
            total += (DWORD)n;
        }
        *done = total;
        return true;
    }
    bool Write(const void* buffer, DWORD length, DWORD* done) override {
        DWORD total = 0;
        while (total < length) {
            ssize_t n = ::write(fd_, static_cast<const char*>(buffer) + total, length - total);
            if (n < 0) {
                if (errno == EINTR) continue;
                return fail(errno);
            }
            total += (DWORD)n;
        }
        *done = total;
        return true;
    }
    bool Seek(LONGLONG distance, DWORD method, ULONGLONG* newPosition) override {
        int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
        if (method > FILE_END) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        off_t at = ::lseek(fd_, (off_t)distance, whence);
        if (at < 0) {
            SetLastError(errno == EINVAL ? ERROR_NEGATIVE_SEEK : ErrorFromErrno(errno));
            return false;
        }
        *newPosition = (ULONGLONG)at;
        return true;
    }
    bool Flush() override {
        if (::fdatasync(fd_) != 0) return fail(errno);
        // Later reads of the file come from the storage, not from memory.
        ::posix_fadvise(fd_, 0, 0, POSIX_FADV_DONTNEED);
        return true;
    }
    bool Size(ULONGLONG* size) override {
        struct stat st;
        if (::fstat(fd_, &st) != 0) return fail(errno);
        *size = (ULONGLONG)st.st_size;
        return true;
    }

private:
    int fd_;
};

class DirectorySearch : public FindObject {
public:
    DirectorySearch(std::string folder, std::vector<std::string> names)
        : folder_(std::move(folder)), names_(std::move(names)) {}

    bool Next(WIN32_FIND_DATAA* data) override {
        while (next_ < names_.size()) {
            const std::string& name = names_[next_++];
            if (Describe(folder_ + "/" + name, name, data)) return true;
        }
        SetLastError(ERROR_NO_MORE_FILES);
        return false;
    }

    static bool Describe(const std::string& path, const std::string& name, WIN32_FIND_DATAA* data) {
        struct stat st;
        if (::stat(path.c_str(), &st) != 0 && ::lstat(path.c_str(), &st) != 0) return false;
        std::memset(data, 0, sizeof *data);
        fillAttributes(st, &data->dwFileAttributes, &data->ftCreationTime, &data->ftLastAccessTime,
                       &data->ftLastWriteTime, &data->nFileSizeHigh, &data->nFileSizeLow);
        std::strncpy(data->cFileName, name.c_str(), MAX_PATH - 1);
        return true;
    }

private:
    std::string folder_;
    std::vector<std::string> names_;
    size_t next_ = 0;
};

std::string baseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string ParentFolder(const std::string& hostPath) {
    size_t slash = hostPath.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return hostPath.substr(0, slash);
}

std::shared_ptr<FileObject> OpenRegularFile(const std::string& hostPath, DWORD access, DWORD share,
                                            DWORD creation) {
    if (hostPath.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    struct stat before;
    bool existed = ::stat(hostPath.c_str(), &before) == 0;
    if (existed && !S_ISREG(before.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    bool reading = (access & GENERIC_READ) != 0, writing = (access & GENERIC_WRITE) != 0;
    flags |= reading && writing ? O_RDWR : writing ? O_WRONLY : O_RDONLY;
    switch (creation) {
        case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
        case CREATE_ALWAYS:
        case OPEN_ALWAYS: flags |= O_CREAT; break;
        case OPEN_EXISTING:
        case TRUNCATE_EXISTING: break;
        default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
    }
    int fd = ::open(hostPath.c_str(), flags, 0666);
    if (fd < 0) {
        fail(errno);
        return nullptr;
    }
    auto file = std::make_shared<RegularFile>(fd);
    // Checked again on the open file: the name may have been swapped meanwhile.
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (::flock(fd, (share == 0 ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        SetLastError(errno == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : ErrorFromErrno(errno));
        return nullptr;
    }
    // Emptied only once the claim is ours: a file another opener holds keeps
    // its content.
    if ((creation == CREATE_ALWAYS || creation == TRUNCATE_EXISTING) && ::ftruncate(fd, 0) != 0) {
        fail(errno);
        return nullptr;
    }
    SetLastError(existed && (creation == CREATE_ALWAYS || creation == OPEN_ALWAYS) ? ERROR_ALREADY_EXISTS
                                                                                   : ERROR_SUCCESS);
    return file;
}

bool DeleteRegularFile(const std::string& hostPath) {
    struct stat st;
    if (::lstat(hostPath.c_str(), &st) != 0) return fail(errno);
    if (S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (::unlink(hostPath.c_str()) != 0) return fail(errno);
    return true;
}

bool Attributes(const std::string& hostPath, WIN32_FILE_ATTRIBUTE_DATA* data) {
    struct stat st;
    if (::stat(hostPath.c_str(), &st) != 0) return fail(errno);
    std::memset(data, 0, sizeof *data);
    fillAttributes(st, &data->dwFileAttributes, &data->ftCreationTime, &data->ftLastAccessTime,
                   &data->ftLastWriteTime, &data->nFileSizeHigh, &data->nFileSizeLow);
    return true;
}

std::shared_ptr<FindObject> FindFirst(const std::string& hostPattern, WIN32_FIND_DATAA* data) {
    std::string name = baseName(hostPattern);
    if (name.empty()) {  // "folder/" names no entry
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    std::string folder = ParentFolder(hostPattern);
    std::vector<std::string> names;
    if (name.find_first_of("*?") == std::string::npos) {
        names.push_back(name);
    } else {
        DIR* dir = ::opendir(folder.c_str());
        if (!dir) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return nullptr;
        }
        while (dirent* entry = ::readdir(dir)) {
            if (::fnmatch(name.c_str(), entry->d_name, 0) == 0) names.emplace_back(entry->d_name);
        }
        ::closedir(dir);
    }
    auto search = std::make_shared<DirectorySearch>(folder, std::move(names));
    if (!search->Next(data)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return search;
}

bool FreeSpace(const std::string& hostFolder, ULONGLONG* callerFree, ULONGLONG* total, ULONGLONG* totalFree) {
    struct statvfs vfs;
    if (::statvfs(hostFolder.c_str(), &vfs) != 0) return fail(errno);
    *callerFree = (ULONGLONG)vfs.f_bavail * vfs.f_frsize;
    *total = (ULONGLONG)vfs.f_blocks * vfs.f_frsize;
    *totalFree = (ULONGLONG)vfs.f_bfree * vfs.f_frsize;
    return true;
}

}  // namespace platform::posix
