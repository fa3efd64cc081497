// What the kernel says about the machine's disks, read once per question:
// the whole disks of sysfs, their partitions, the mount and swap tables, and
// the drive letters given to the volumes on them.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

// Where the kernel's views are found. A test points them at a folder of its
// own, so that a plain file or a loop device can pose as a removable card.
struct LinuxRoots {
    std::string sysBlock = "/sys/block";
    std::string dev = "/dev";
    std::string mountTable = "/proc/self/mounts";
    std::string swapTable = "/proc/swaps";
};

namespace blockdev {

// One block device: a whole disk or one of its partitions.
struct Node {
    std::string name;    // "sdb", "sdb1", "mmcblk0p1"
    std::string sysDir;  // its sysfs folder
    dev_t dev = 0;       // from sysfs "dev"; 0 when sysfs does not say
    unsigned partition = 0;  // partition number; 0 for a whole disk
    uint64_t start512 = 0;   // partitions: first sector, in 512-byte units
    uint64_t size512 = 0;    // partitions: length, in 512-byte units
};

struct Disk {
    Node node;
    bool removableFlag = false;     // sysfs "removable"
    std::vector<Node> partitions;   // by partition number
};

struct Volume {
    char letter = 0;
    int disk = -1;            // index into Disks(); -1 when no physical drive holds it
    unsigned partition = 0;   // 0: the whole disk
    std::string nodeName;     // its sysfs name; empty when no physical drive holds it
    std::string nodePath;     // the device node; empty when there is none
    dev_t dev = 0;            // the node's device number; 0 when unknown
    std::string mountPoint;   // empty when not mounted
};

// Names compared piece by piece: a run of digits as a number, any other run
// as text. So mmcblk2 < mmcblk10, nvme0n1 < nvme1n1 < sda < sdaa < sdb < vda.
bool NaturalLess(const std::string& a, const std::string& b);

// A name that is never a physical drive: loop, ram, zram, dm-, md.
bool IsVirtualName(const std::string& name);

class BlockView {
public:
    static BlockView Scan(const LinuxRoots& roots);

    // The physical drives, in drive-number order.
    const std::vector<Disk>& Disks() const { return disks_; }
    std::string NodePath(const Node& node) const;

    // The first mount point of the node; empty when it is not mounted.
    std::string MountPointOf(const Node& node) const;
    bool InSwap(const Node& node) const;
    bool HasHolders(const Node& node) const;
    // Mounted, swap or held, with the reason for a message.
    bool InUse(const Node& node, std::string* why) const;
    // The disk or any partition of it in use.
    bool DiskInUse(const Disk& disk, std::string* why) const;
    // Whether the root file system or an active swap area lies on the disk.
    bool HoldsRootOrSwap(const Disk& disk) const;

    // C: for the volume mounted at /, D: onward for every other volume of
    // the physical drives: each partition, and each whole disk without
    // partitions, in drive-number order, then partition-number order; Z: is
    // the last letter given.
    std::vector<Volume> Volumes() const;

private:
    struct Source {
        std::string path;       // as the table gives it
        std::string canonical;  // symlinks resolved; empty when it does not exist
        dev_t blockDev = 0;     // the block device it names
        dev_t fileDev = 0;      // a regular file (swap file): the device holding it
    };
    struct Mount {
        Source source;
        std::string mountPoint;
    };

    Source resolve(const std::string& path, const std::string& mountPoint) const;
    bool matches(const Source& source, const Node& node, bool fileCounts) const;
    int diskOfName(const std::string& name, int depth) const;
    int diskOfSource(const Source& source) const;

    LinuxRoots roots_;
    std::vector<Disk> disks_;
    std::vector<Mount> mounts_;
    std::vector<Source> swaps_;
};

}  // namespace blockdev
}  // namespace platform
