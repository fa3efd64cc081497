// Real disks through the Linux block layer.
//
// Physical drives. "\\.\PhysicalDriveN" is the N-th whole disk of the sysfs
// block folder: the entries that have a "device" link (real hardware: sd,
// mmcblk, nvme, vd, ...), never loop, ram, zram, dm- or md. They are sorted by
// name, compared piece by piece with each run of digits taken as a number and
// any other run as text (mmcblk2 < mmcblk10 < nvme0n1 < sda < sdaa < sdb <
// vda), and numbered from 0 in that order. The node is <dev folder>/<name>; it
// must be a block device with the device number sysfs gives (a regular file
// may stand in for one in tests). The list is read again at every open.
//
// Drive letters. C: is the volume mounted at /. D: onward go, one letter
// each, to every other volume of the physical drives (each partition, and
// each whole disk that has no partitions), in order of physical drive number,
// then of partition number, up to Z:. A: and B: are never given. Volumes get
// their letters whether mounted or not; a letter whose volume is not mounted
// has no folder. The assignment is computed afresh at each query, so letters
// move when a card comes or goes.
//
// Paths. "X:\a\b" is <mount point of X>/a/b; any other path is a POSIX path,
// used as it is (so "C:\Drive.bin" is /Drive.bin).
//
// Disk handles keep their own position and move every byte with direct I/O
// (see direct_disk.h): what a read returns comes from the medium, never from
// the page cache. A read at the end of the medium returns the bytes up to the
// end; a write past the end writes what fits and reports that count.
// The share mode of a device open is not a lock: FSCTL_LOCK_VOLUME is.
#pragma once

#include "platform/backend.h"
#include "platform/linux/block_view.h"

#include <string>
#include <vector>

namespace platform {

class LinuxBackend : public Backend {
public:
    explicit LinuxBackend(LinuxRoots roots = LinuxRoots());

    std::shared_ptr<FileObject> CreateFile(const std::string& path, DWORD access, DWORD share, DWORD creation,
                                           DWORD flags) override;
    bool DeleteFile(const std::string& path) override;
    bool GetFileAttributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA* data) override;
    std::shared_ptr<FindObject> FindFirst(const std::string& pattern, WIN32_FIND_DATAA* data) override;
    DWORD GetLogicalDrives() override;
    // "X:\" asks about X's mount point; a POSIX path about that folder, or
    // about the folder that holds it when it names no folder.
    bool GetDiskFreeSpace(const std::string& root, ULONGLONG* callerFree, ULONGLONG* total,
                          ULONGLONG* totalFree) override;

    // The host path a program path stands for; false (ERROR_PATH_NOT_FOUND)
    // for a letter without a mounted volume.
    bool HostPath(const std::string& path, std::string* hostPath) const;
    // The sysfs names of the physical drives, drive 0 first.
    std::vector<std::string> PhysicalDrives() const;

private:
    LinuxRoots roots_;
};

}  // namespace platform
