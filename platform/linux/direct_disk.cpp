#include "platform/linux/direct_disk.h"

#include "platform/linux/posix_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <linux/fs.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::blockdev {
namespace {

// One bounce transfer at most; a multiple of every logical block size.
constexpr size_t kBounceBytes = 1 << 20;

bool fail(int error) {
    SetLastError(DiskError(error));
    return false;
}

bool failWith(DWORD code) {
    SetLastError(code);
    return false;
}

bool aligned(uint64_t value, uint64_t unit) { return value % unit == 0; }

}  // namespace

DWORD DiskError(int error) {
    switch (error) {
        case ENOMEDIUM:
        case ENXIO:
        case ENODEV:
        case ESHUTDOWN: return ERROR_NOT_READY;
        // The block layer's word for an unreadable sector and for a failed
        // integrity check.
        case ENODATA:
        case EILSEQ:
        case EBADMSG: return ERROR_CRC;
        case EIO:
        case EREMOTEIO:
        case ENOLINK:
        case EBADE:
        case ETIMEDOUT: return ERROR_GEN_FAILURE;
        case ENOSPC: return ERROR_SECTOR_NOT_FOUND;
        default: return posix::ErrorFromErrno(error);
    }
}

std::unique_ptr<DirectDisk> DirectDisk::Open(const std::string& path, bool write, dev_t expectedDev,
                                             uint32_t blockSizeOfFile) {
    // O_NONBLOCK lets a reader without a card open, so that the queries can
    // say "not ready"; it is cleared again before any transfer.
    const int common = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    std::unique_ptr<DirectDisk> disk(new DirectDisk);
    disk->writable_ = write;
    disk->direct_ = true;
    int fd = ::open(path.c_str(), common | O_DIRECT | (write ? O_RDWR : O_RDONLY));
    if (fd < 0 && write && errno == EROFS) {
        disk->writable_ = false;
        fd = ::open(path.c_str(), common | O_DIRECT | O_RDONLY);
    }
    if (fd < 0 && errno == EINVAL) {
        // A file system without direct I/O (tmpfs): only a stand-in file can
        // live there, and it is accepted below only if it is a regular file.
        disk->direct_ = false;
        fd = ::open(path.c_str(), common | (disk->writable_ ? O_RDWR : O_RDONLY));
    }
    if (fd < 0) {
        fail(errno);
        return nullptr;
    }
    disk->fd_ = fd;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        fail(errno);
        return nullptr;
    }
    if (S_ISBLK(st.st_mode)) {
        if (!disk->direct_) {
            SetLastError(ERROR_NOT_SUPPORTED);
            return nullptr;
        }
        if (expectedDev != 0 && st.st_rdev != expectedDev) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return nullptr;
        }
        disk->block_ = true;
        int size = 0;
        if (::ioctl(fd, BLKSSZGET, &size) == 0 && size >= 512) disk->blockSize_ = static_cast<uint32_t>(size);
    } else if (S_ISREG(st.st_mode)) {
        disk->blockSize_ = blockSizeOfFile >= 512 ? blockSizeOfFile : 512;
    } else {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if ((disk->blockSize_ & (disk->blockSize_ - 1)) != 0 || disk->blockSize_ > kBounceBytes) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    disk->alignment_ = std::max<size_t>(disk->blockSize_, 4096);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return disk;
}

DirectDisk::~DirectDisk() {
    if (fd_ >= 0) ::close(fd_);
    std::free(bounce_);
}

bool DirectDisk::MediumSize(uint64_t* size) const {
    uint64_t bytes = 0;
    if (block_) {
        if (::ioctl(fd_, BLKGETSIZE64, &bytes) != 0) return fail(errno);
    } else {
        struct stat st;
        if (::fstat(fd_, &st) != 0) return fail(errno);
        bytes = static_cast<uint64_t>(st.st_size);
    }
    bytes -= bytes % blockSize_;
    if (bytes == 0) return failWith(ERROR_NOT_READY);
    *size = bytes;
    return true;
}

bool DirectDisk::ensureBounce() {
    if (bounce_) return true;
    void* memory = nullptr;
    if (::posix_memalign(&memory, alignment_, kBounceBytes) != 0) return failWith(ERROR_NOT_ENOUGH_MEMORY);
    bounce_ = static_cast<unsigned char*>(memory);
    bounceSize_ = kBounceBytes;
    return true;
}

// Whole blocks, from an aligned buffer.
bool DirectDisk::readBlocks(uint64_t offset, void* buffer, size_t length) {
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::pread(fd_, static_cast<char*>(buffer) + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(errno);
        }
        // The medium ended before its size said: it changed under us.
        if (n == 0) return failWith(ERROR_NOT_READY);
        done += static_cast<size_t>(n);
    }
    return true;
}

bool DirectDisk::writeBlocks(uint64_t offset, const void* buffer, size_t length) {
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::pwrite(fd_, static_cast<const char*>(buffer) + done, length - done,
                             static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(errno);
        }
        if (n == 0) return failWith(ERROR_WRITE_FAULT);
        done += static_cast<size_t>(n);
    }
    return true;
}

bool DirectDisk::ReadAt(uint64_t offset, void* buffer, size_t length) {
    if (length == 0) return true;
    const uint64_t end = offset + length;
    if (aligned(offset, blockSize_) && aligned(length, blockSize_) &&
        aligned(reinterpret_cast<uintptr_t>(buffer), alignment_))
        return readBlocks(offset, buffer, length);
    if (!ensureBounce()) return false;
    unsigned char* out = static_cast<unsigned char*>(buffer);
    uint64_t at = offset - offset % blockSize_;
    while (at < end) {
        uint64_t stop = std::min<uint64_t>(at + bounceSize_, end + (blockSize_ - end % blockSize_) % blockSize_);
        if (!readBlocks(at, bounce_, static_cast<size_t>(stop - at))) return false;
        uint64_t from = std::max(at, offset), to = std::min(stop, end);
        std::memcpy(out + (from - offset), bounce_ + (from - at), static_cast<size_t>(to - from));
        at = stop;
    }
    return true;
}

bool DirectDisk::WriteAt(uint64_t offset, const void* buffer, size_t length) {
    if (!writable_) return failWith(ERROR_ACCESS_DENIED);
    if (length == 0) return true;
    const uint64_t end = offset + length;
    if (aligned(offset, blockSize_) && aligned(length, blockSize_) &&
        aligned(reinterpret_cast<uintptr_t>(buffer), alignment_))
        return writeBlocks(offset, buffer, length);
    if (!ensureBounce()) return false;
    const unsigned char* in = static_cast<const unsigned char*>(buffer);
    uint64_t at = offset - offset % blockSize_;
    while (at < end) {
        uint64_t stop = std::min<uint64_t>(at + bounceSize_, end + (blockSize_ - end % blockSize_) % blockSize_);
        size_t span = static_cast<size_t>(stop - at);
        // The blocks the caller covers only in part keep the rest of their
        // bytes: read them from the medium first.
        if (offset > at && !readBlocks(at, bounce_, blockSize_)) return false;
        if (end < stop && (stop - blockSize_ > at || offset <= at) &&
            !readBlocks(stop - blockSize_, bounce_ + span - blockSize_, blockSize_))
            return false;
        uint64_t from = std::max(at, offset), to = std::min(stop, end);
        std::memcpy(bounce_ + (from - at), in + (from - offset), static_cast<size_t>(to - from));
        if (!writeBlocks(at, bounce_, span)) return false;
        at = stop;
    }
    return true;
}

bool DirectDisk::Sync() {
    if (::fsync(fd_) != 0) return fail(errno);
    return true;
}

namespace {

ScsiResult noDataCommand(int fd, unsigned char (&cdb)[6]) {
    unsigned char sense[32] = {};
    sg_io_hdr_t io;
    std::memset(&io, 0, sizeof io);
    io.interface_id = 'S';
    io.dxfer_direction = SG_DXFER_NONE;
    io.cmd_len = sizeof cdb;
    io.cmdp = cdb;
    io.mx_sb_len = sizeof sense;
    io.sbp = sense;
    io.timeout = 60000;  // ms; an eject can take a while
    if (::ioctl(fd, SG_IO, &io) != 0) {
        // Loop devices, plain files, virtio, NVMe, MMC: no SCSI to talk to.
        if (errno == ENOTTY || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) return ScsiResult::Unsupported;
        fail(errno);
        return ScsiResult::Failed;
    }
    if ((io.info & SG_INFO_OK_MASK) == SG_INFO_OK) return ScsiResult::Done;
    unsigned key = 0;
    if (io.sb_len_wr > 2) key = (sense[0] & 0x7F) >= 0x72 ? sense[1] & 0x0F : sense[2] & 0x0F;
    SetLastError(key == 0x02 ? ERROR_NOT_READY : key == 0x05 ? ERROR_NOT_SUPPORTED : ERROR_GEN_FAILURE);
    return ScsiResult::Failed;
}

}  // namespace

ScsiResult ScsiPreventRemoval(int fd, bool prevent) {
    unsigned char cdb[6] = {0x1E, 0, 0, 0, static_cast<unsigned char>(prevent ? 1 : 0), 0};
    return noDataCommand(fd, cdb);
}

ScsiResult ScsiEject(int fd) {
    unsigned char cdb[6] = {0x1B, 0, 0, 0, 0x02, 0};  // LoEj=1, Start=0
    return noDataCommand(fd, cdb);
}

}  // namespace platform::blockdev
