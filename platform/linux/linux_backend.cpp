#include "platform/linux/linux_backend.h"

#include "platform/core/paths.h"
#include "platform/linux/direct_disk.h"
#include "platform/linux/posix_files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

using blockdev::BlockView;
using blockdev::DirectDisk;
using blockdev::Disk;
using blockdev::Node;

// Unlocking a handle that holds no lock.
constexpr DWORD kErrorNotLocked = 158;

bool failWith(DWORD code) {
    SetLastError(code);
    return false;
}

uint32_t sysfsBlockSize(const Disk& disk) {
    std::ifstream in(disk.node.sysDir + "/queue/logical_block_size");
    uint32_t size = 0;
    if (in >> size && size >= 512) return size;
    return 512;
}

const Disk* findDisk(const BlockView& view, const std::string& name) {
    for (const Disk& disk : view.Disks())
        if (disk.node.name == name) return &disk;
    return nullptr;
}

const Node* findNode(const BlockView& view, const std::string& name) {
    for (const Disk& disk : view.Disks()) {
        if (disk.node.name == name) return &disk.node;
        for (const Node& part : disk.partitions)
            if (part.name == name) return &part;
    }
    return nullptr;
}

// 255 or 16 heads of 63 sectors where they divide the medium exactly; one
// sector per cylinder otherwise, so that the product never misses a sector.
void geometryOf(uint64_t sectors, uint32_t blockSize, bool removable, DISK_GEOMETRY* g) {
    DWORD heads = 1, perTrack = 1;
    if (sectors % (255 * 63) == 0) {
        heads = 255;
        perTrack = 63;
    } else if (sectors % (16 * 63) == 0) {
        heads = 16;
        perTrack = 63;
    }
    std::memset(g, 0, sizeof *g);
    g->Cylinders.QuadPart = static_cast<LONGLONG>(sectors / (uint64_t{heads} * perTrack));
    g->MediaType = removable ? RemovableMedia : FixedMedia;
    g->TracksPerCylinder = heads;
    g->SectorsPerTrack = perTrack;
    g->BytesPerSector = blockSize;
}

// A whole disk or one volume on it, opened for raw transfers.
class DiskHandle : public FileObject {
public:
    DiskHandle(LinuxRoots roots, std::string diskName, std::string nodeName, std::string nodePath, bool volume,
               std::unique_ptr<DirectDisk> io, DWORD access)
        : roots_(std::move(roots)),
          diskName_(std::move(diskName)),
          nodeName_(std::move(nodeName)),
          nodePath_(std::move(nodePath)),
          volume_(volume),
          io_(std::move(io)),
          canRead_((access & GENERIC_READ) != 0),
          canWrite_((access & GENERIC_WRITE) != 0) {}

    ~DiskHandle() override { release(); }

    bool Read(void* buffer, DWORD length, DWORD* done) override {
        std::lock_guard<std::mutex> guard(lock_);
        if (!canRead_) return failWith(ERROR_ACCESS_DENIED);
        uint64_t size = 0;
        if (!io_->MediumSize(&size)) return false;
        DWORD count = position_ >= size ? 0 : static_cast<DWORD>(std::min<uint64_t>(length, size - position_));
        if (!io_->ReadAt(position_, buffer, count)) return false;
        position_ += count;
        *done = count;
        return true;
    }

    bool Write(const void* buffer, DWORD length, DWORD* done) override {
        std::lock_guard<std::mutex> guard(lock_);
        if (!canWrite_ || !io_->Writable()) return failWith(ERROR_ACCESS_DENIED);
        uint64_t size = 0;
        if (!io_->MediumSize(&size)) return false;
        DWORD count = position_ >= size ? 0 : static_cast<DWORD>(std::min<uint64_t>(length, size - position_));
        if (!io_->WriteAt(position_, buffer, count)) return false;
        position_ += count;
        *done = count;
        return true;
    }

    bool Seek(LONGLONG distance, DWORD method, ULONGLONG* newPosition) override {
        std::lock_guard<std::mutex> guard(lock_);
        LONGLONG base = 0;
        if (method == FILE_CURRENT) {
            base = static_cast<LONGLONG>(position_);
        } else if (method == FILE_END) {
            uint64_t size = 0;
            if (!io_->MediumSize(&size)) return false;
            base = static_cast<LONGLONG>(size);
        } else if (method != FILE_BEGIN) {
            return failWith(ERROR_INVALID_PARAMETER);
        }
        if (distance < 0 && base + distance < 0) return failWith(ERROR_NEGATIVE_SEEK);
        position_ = static_cast<uint64_t>(base + distance);
        *newPosition = position_;
        return true;
    }

    bool Flush() override {
        std::lock_guard<std::mutex> guard(lock_);
        return io_->Sync();
    }

    bool Size(ULONGLONG* size) override {
        std::lock_guard<std::mutex> guard(lock_);
        uint64_t bytes = 0;
        if (!io_->MediumSize(&bytes)) return false;
        *size = bytes;
        return true;
    }

    bool Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned) override {
        std::lock_guard<std::mutex> guard(lock_);
        *returned = 0;
        switch (code) {
            case IOCTL_DISK_GET_DRIVE_GEOMETRY: return geometry(out, outSize, returned);
            case IOCTL_DISK_GET_DRIVE_LAYOUT: return layout(out, outSize, returned);
            case FSCTL_LOCK_VOLUME: return lock();
            case FSCTL_UNLOCK_VOLUME:
                if (claim_ < 0) return failWith(kErrorNotLocked);
                release();
                return true;
            case FSCTL_DISMOUNT_VOLUME: {
                // Drop the cached blocks and have the partitions read anew.
                // Through the claim when there is one: the kernel refuses a
                // rescan to anyone but the holder of an exclusive open.
                int fd = claim_ >= 0 ? claim_ : io_->Fd();
                ::ioctl(fd, BLKFLSBUF, 0);
                ::ioctl(fd, BLKRRPART, 0);
                return true;
            }
            case IOCTL_STORAGE_MEDIA_REMOVAL:
                if (!in || inSize < sizeof(PREVENT_MEDIA_REMOVAL)) return failWith(ERROR_INVALID_PARAMETER);
                return scsi(blockdev::ScsiPreventRemoval(io_->Fd(), static_cast<const BYTE*>(in)[0] != 0));
            case IOCTL_STORAGE_EJECT_MEDIA: return scsi(blockdev::ScsiEject(io_->Fd()));
            default: return failWith(ERROR_INVALID_FUNCTION);
        }
    }

private:
    static bool scsi(blockdev::ScsiResult result) { return result != blockdev::ScsiResult::Failed; }

    void release() {
        if (claim_ >= 0) ::close(claim_);
        claim_ = -1;
    }

    // Runs fn on the whole disk's medium: this handle's own for a drive, a
    // read-only open of the holding disk for a volume.
    template <typename Fn>
    bool onDisk(const BlockView& view, const Disk** disk, Fn fn) {
        *disk = findDisk(view, diskName_);
        if (!*disk) return failWith(volume_ && diskName_.empty() ? ERROR_INVALID_FUNCTION : ERROR_NOT_READY);
        if (!volume_) return fn(*io_);
        auto whole = DirectDisk::Open(view.NodePath((*disk)->node), false, (*disk)->node.dev, sysfsBlockSize(**disk));
        return whole && fn(*whole);
    }

    bool geometry(void* out, DWORD outSize, DWORD* returned) {
        if (outSize < sizeof(DISK_GEOMETRY)) return failWith(ERROR_INSUFFICIENT_BUFFER);
        if (!out) return failWith(ERROR_INVALID_PARAMETER);
        BlockView view = BlockView::Scan(roots_);
        const Disk* disk = nullptr;
        DISK_GEOMETRY g;
        bool ok = onDisk(view, &disk, [&](DirectDisk& io) {
            uint64_t size = 0;
            if (!io.MediumSize(&size)) return false;
            // The system's own disk is never offered as a card.
            bool removable = disk->removableFlag && !view.HoldsRootOrSwap(*disk);
            geometryOf(size / io.BlockSize(), io.BlockSize(), removable, &g);
            return true;
        });
        if (!ok) return false;
        std::memcpy(out, &g, sizeof g);
        *returned = sizeof g;
        return true;
    }

    bool layout(void* out, DWORD outSize, DWORD* returned) {
        const DWORD header = offsetof(DRIVE_LAYOUT_INFORMATION, PartitionEntry);
        if (outSize < header) return failWith(ERROR_INSUFFICIENT_BUFFER);
        if (!out) return failWith(ERROR_INVALID_PARAMETER);
        BlockView view = BlockView::Scan(roots_);
        const Disk* disk = nullptr;
        unsigned char mbr[512];
        bool ok = onDisk(view, &disk, [&](DirectDisk& io) {
            uint64_t size = 0;
            return io.MediumSize(&size) && io.ReadAt(0, mbr, sizeof mbr);
        });
        if (!ok) return false;
        const bool marked = mbr[510] == 0x55 && mbr[511] == 0xAA;
        DWORD signature = marked ? DWORD{mbr[440]} | DWORD{mbr[441]} << 8 | DWORD{mbr[442]} << 16 |
                                       DWORD{mbr[443]} << 24
                                 : 0;
        const DWORD room = (outSize - header) / sizeof(PARTITION_INFORMATION);
        const DWORD count = std::min<DWORD>(room, static_cast<DWORD>(disk->partitions.size()));
        unsigned char* bytes = static_cast<unsigned char*>(out);
        std::memset(bytes, 0, header + count * sizeof(PARTITION_INFORMATION));
        std::memcpy(bytes, &count, sizeof count);
        std::memcpy(bytes + sizeof count, &signature, sizeof signature);
        const uint32_t blockSize = sysfsBlockSize(*disk);
        for (DWORD i = 0; i < count; ++i) {
            const Node& part = disk->partitions[i];
            PARTITION_INFORMATION entry;
            std::memset(&entry, 0, sizeof entry);
            entry.StartingOffset.QuadPart = static_cast<LONGLONG>(part.start512 * 512);
            entry.PartitionLength.QuadPart = static_cast<LONGLONG>(part.size512 * 512);
            entry.HiddenSectors = static_cast<DWORD>(part.start512 * 512 / blockSize);
            entry.PartitionNumber = part.partition;
            if (marked && part.partition >= 1 && part.partition <= 4) {
                const unsigned char* slot = mbr + 446 + 16 * (part.partition - 1);
                entry.BootIndicator = slot[0] == 0x80;
                entry.PartitionType = slot[4];
            }
            entry.RecognizedPartition = TRUE;
            std::memcpy(bytes + header + i * sizeof entry, &entry, sizeof entry);
        }
        *returned = header + count * static_cast<DWORD>(sizeof(PARTITION_INFORMATION));
        return true;
    }

    // An exclusive open of the node, then a look at the tables: taken in
    // this order, nothing can mount the disk between the look and the claim.
    bool lock() {
        if (claim_ >= 0) return true;
        int fd = ::open(nodePath_.c_str(), O_RDONLY | O_EXCL | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return failWith(errno == EBUSY ? ERROR_ACCESS_DENIED : blockdev::DiskError(errno));
        struct stat claimed, ours;
        bool same = ::fstat(fd, &claimed) == 0 && ::fstat(io_->Fd(), &ours) == 0 &&
                    (S_ISBLK(claimed.st_mode) ? S_ISBLK(ours.st_mode) && claimed.st_rdev == ours.st_rdev
                                              : claimed.st_dev == ours.st_dev && claimed.st_ino == ours.st_ino);
        // A stand-in file has no exclusive open: a file lock plays its part.
        if (!same || (S_ISREG(claimed.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) != 0)) {
            ::close(fd);
            return failWith(same ? ERROR_ACCESS_DENIED : ERROR_NOT_READY);
        }
        BlockView view = BlockView::Scan(roots_);
        bool busy = false;
        if (!volume_) {
            const Disk* disk = findDisk(view, diskName_);
            if (!disk) {
                ::close(fd);
                return failWith(ERROR_NOT_READY);
            }
            busy = view.DiskInUse(*disk, nullptr);
        } else if (const Node* node = findNode(view, nodeName_)) {
            busy = view.InUse(*node, nullptr);
        }
        if (busy) {
            ::close(fd);
            return failWith(ERROR_ACCESS_DENIED);
        }
        claim_ = fd;
        return true;
    }

    const LinuxRoots roots_;
    const std::string diskName_;  // the whole disk; empty when none holds the volume
    const std::string nodeName_;
    const std::string nodePath_;
    const bool volume_;
    std::mutex lock_;
    std::unique_ptr<DirectDisk> io_;
    const bool canRead_, canWrite_;
    uint64_t position_ = 0;
    int claim_ = -1;
};

}  // namespace

LinuxBackend::LinuxBackend(LinuxRoots roots) : roots_(std::move(roots)) {}

std::vector<std::string> LinuxBackend::PhysicalDrives() const {
    std::vector<std::string> names;
    BlockView view = BlockView::Scan(roots_);
    for (const Disk& disk : view.Disks()) names.push_back(disk.node.name);
    return names;
}

bool LinuxBackend::HostPath(const std::string& path, std::string* hostPath) const {
    char letter = 0;
    std::string rest;
    if (!ParseDosPath(path, &letter, &rest)) {
        *hostPath = path;
        return true;
    }
    for (const blockdev::Volume& volume : BlockView::Scan(roots_).Volumes()) {
        if (volume.letter != letter || volume.mountPoint.empty()) continue;
        std::string base = volume.mountPoint;
        if (base.back() != '/') base += '/';
        *hostPath = base + rest;
        return true;
    }
    return failWith(ERROR_PATH_NOT_FOUND);
}

std::shared_ptr<FileObject> LinuxBackend::CreateFile(const std::string& path, DWORD access, DWORD share,
                                                     DWORD creation, DWORD flags) {
    (void)flags;
    DevicePath device = ParseDevicePath(path);
    if (device.kind == DevicePath::None) {
        if (path.rfind("\\\\", 0) == 0) {  // some other device or network name
            SetLastError(ERROR_FILE_NOT_FOUND);
            return nullptr;
        }
        std::string host;
        if (!HostPath(path, &host)) return nullptr;
        return posix::OpenRegularFile(host, access, share, creation);
    }
    if (creation != OPEN_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const bool write = (access & GENERIC_WRITE) != 0;
    BlockView view = BlockView::Scan(roots_);
    if (device.kind == DevicePath::PhysicalDrive) {
        if (device.number < 0 || static_cast<size_t>(device.number) >= view.Disks().size()) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return nullptr;
        }
        const Disk& disk = view.Disks()[static_cast<size_t>(device.number)];
        std::string node = view.NodePath(disk.node);
        auto io = DirectDisk::Open(node, write, disk.node.dev, sysfsBlockSize(disk));
        if (!io) return nullptr;
        SetLastError(ERROR_SUCCESS);
        return std::make_shared<DiskHandle>(roots_, disk.node.name, disk.node.name, node, false, std::move(io),
                                            access);
    }
    for (const blockdev::Volume& volume : view.Volumes()) {
        if (volume.letter != device.letter) continue;
        if (volume.nodePath.empty()) break;
        uint32_t blockSize = volume.disk >= 0 ? sysfsBlockSize(view.Disks()[static_cast<size_t>(volume.disk)]) : 512;
        auto io = DirectDisk::Open(volume.nodePath, write, volume.dev, blockSize);
        if (!io) return nullptr;
        std::string diskName = volume.disk >= 0 ? view.Disks()[static_cast<size_t>(volume.disk)].node.name : "";
        SetLastError(ERROR_SUCCESS);
        return std::make_shared<DiskHandle>(roots_, diskName, volume.nodeName, volume.nodePath, true, std::move(io),
                                            access);
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
}

bool LinuxBackend::DeleteFile(const std::string& path) {
    std::string host;
    if (ParseDevicePath(path).kind != DevicePath::None) return failWith(ERROR_ACCESS_DENIED);
    return HostPath(path, &host) && posix::DeleteRegularFile(host);
}

bool LinuxBackend::GetFileAttributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA* data) {
    std::string host;
    return HostPath(path, &host) && posix::Attributes(host, data);
}

std::shared_ptr<FindObject> LinuxBackend::FindFirst(const std::string& pattern, WIN32_FIND_DATAA* data) {
    std::string host;
    if (!HostPath(pattern, &host)) return nullptr;
    return posix::FindFirst(host, data);
}

DWORD LinuxBackend::GetLogicalDrives() {
    DWORD mask = 0;
    for (const blockdev::Volume& volume : BlockView::Scan(roots_).Volumes()) mask |= 1u << (volume.letter - 'A');
    return mask;
}

bool LinuxBackend::GetDiskFreeSpace(const std::string& root, ULONGLONG* callerFree, ULONGLONG* total,
                                    ULONGLONG* totalFree) {
    std::string host;
    if (!HostPath(root, &host)) return false;
    struct stat st;
    std::string folder = ::stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? host : posix::ParentFolder(host);
    return posix::FreeSpace(folder, callerFree, total, totalFree);
}

}  // namespace platform
