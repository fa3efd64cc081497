// Raw access to one disk's medium that never goes through the page cache.
//
// Every transfer is O_DIRECT in whole logical blocks from an aligned buffer.
// A request that starts or ends inside a block is served through a bounce
// buffer: a read fetches the enclosing blocks and copies out the bytes asked
// for; a write reads the enclosing first and last blocks from the medium,
// lays the caller's bytes over them and writes whole blocks back, so the
// medium never receives a byte the caller did not give except the ones it
// already held.
#pragma once

#include "platform/winapi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>

namespace platform::blockdev {

// A Linux error number as the disk calls report it.
DWORD DiskError(int error);

class DirectDisk {
public:
    // Opens a block device, or a regular file that stands in for one in
    // tests. A block device must carry the device number sysfs gave for it
    // (expectedDev, when not 0), so that a stale node never leads to another
    // disk. blockSizeOfFile is the logical block size a stand-in file gets.
    // A write-protected medium opens for reading only. nullptr after
    // SetLastError.
    static std::unique_ptr<DirectDisk> Open(const std::string& path, bool write, dev_t expectedDev,
                                            uint32_t blockSizeOfFile);
    ~DirectDisk();
    DirectDisk(const DirectDisk&) = delete;
    DirectDisk& operator=(const DirectDisk&) = delete;

    int Fd() const { return fd_; }
    bool IsBlockDevice() const { return block_; }
    bool Writable() const { return writable_; }
    // False only for a stand-in file on a file system without direct I/O.
    bool Direct() const { return direct_; }
    uint32_t BlockSize() const { return blockSize_; }

    // The medium's size now; false (ERROR_NOT_READY) when there is none. A
    // stand-in file counts in whole blocks.
    bool MediumSize(uint64_t* size) const;

    // The range must lie on the medium. False after SetLastError.
    bool ReadAt(uint64_t offset, void* buffer, size_t length);
    bool WriteAt(uint64_t offset, const void* buffer, size_t length);
    // Makes written blocks durable on the medium (the device's own cache too).
    bool Sync();

private:
    DirectDisk() = default;
    bool ensureBounce();
    bool readBlocks(uint64_t offset, void* buffer, size_t length);
    bool writeBlocks(uint64_t offset, const void* buffer, size_t length);

    int fd_ = -1;
    bool block_ = false;
    bool writable_ = false;
    bool direct_ = false;
    uint32_t blockSize_ = 512;
    size_t alignment_ = 4096;
    size_t bounceSize_ = 0;
    unsigned char* bounce_ = nullptr;
};

// SCSI commands without data through SG_IO.
enum class ScsiResult { Done, Unsupported, Failed };
// PREVENT ALLOW MEDIUM REMOVAL.
ScsiResult ScsiPreventRemoval(int fd, bool prevent);
// START STOP UNIT with LoEj set and Start clear: eject.
ScsiResult ScsiEject(int fd);

}  // namespace platform::blockdev
