// Machines made up for the Linux backend: a sysfs, /dev and mount table in a
// temporary folder, where plain files or loop devices pose as disks.
#pragma once

#include "platform/linux/linux_backend.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <linux/blkpg.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace testsupport {

namespace fs = std::filesystem;
using platform::LinuxBackend;
using platform::LinuxRoots;

// ---- helpers ------------------------------------------------------------------

inline void writeText(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << text;
}

inline std::vector<unsigned char> readBytes(const std::string& path, uint64_t offset, size_t length) {
    std::vector<unsigned char> bytes(length);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0) << path;
    if (fd < 0) return {};
    ssize_t n = ::pread(fd, bytes.data(), length, static_cast<off_t>(offset));
    ::close(fd);
    bytes.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return bytes;
}

inline void writeBytes(const std::string& path, uint64_t offset, const std::vector<unsigned char>& bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)), (ssize_t)bytes.size());
    ::fsync(fd);
    ::close(fd);
}

// A byte pattern that differs from sector to sector and within each one.
inline std::vector<unsigned char> pattern(size_t length, unsigned seed) {
    std::vector<unsigned char> bytes(length);
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<unsigned char>((i * 7 + seed * 31 + i / 512) & 0xFF);
    return bytes;
}

inline void makeFile(const std::string& path, uint64_t size, unsigned seed) {
    fs::create_directories(fs::path(path).parent_path());
    {
        std::ofstream create(path, std::ios::binary);
    }
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(size)), 0);
    // Only the head is filled: enough to tell the disks apart, cheap for big ones.
    size_t head = static_cast<size_t>(std::min<uint64_t>(size, 64 * 1024));
    if (head) writeBytes(path, 0, pattern(head, seed));
}

// An MBR with the given disk signature and, optionally, one partition.
inline std::vector<unsigned char> mbr(uint32_t signature, bool marked, uint32_t partStart = 0, uint32_t partSize = 0) {
    std::vector<unsigned char> sector(512, 0);
    for (int i = 0; i < 4; ++i) sector[440 + i] = static_cast<unsigned char>(signature >> (8 * i));
    if (partSize) {
        unsigned char* slot = &sector[446];
        slot[0] = 0x80;
        slot[4] = 0x83;
        for (int i = 0; i < 4; ++i) {
            slot[8 + i] = static_cast<unsigned char>(partStart >> (8 * i));
            slot[12 + i] = static_cast<unsigned char>(partSize >> (8 * i));
        }
    }
    if (marked) {
        sector[510] = 0x55;
        sector[511] = 0xAA;
    }
    return sector;
}

struct Handle {
    HANDLE h;
    explicit Handle(HANDLE handle) : h(handle) {}
    ~Handle() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool ok() const { return h != INVALID_HANDLE_VALUE; }
};

inline HANDLE openDevice(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

inline std::string drive(int n) { return "\\\\.\\PhysicalDrive" + std::to_string(n); }
inline std::string volume(char letter) { return std::string("\\\\.\\") + letter + ":"; }

inline bool geometry(HANDLE h, DISK_GEOMETRY* g) {
    DWORD returned = 0;
    std::memset(g, 0, sizeof *g);
    return DeviceIoControl(h, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, g, sizeof *g, &returned, nullptr) &&
           returned == sizeof *g;
}

inline DWORD signatureOf(HANDLE h) {
    std::vector<unsigned char> buffer(680, 0);
    DRIVE_LAYOUT_INFORMATION layout;
    layout.Signature = 0xFFFFFFFF;
    std::memcpy(buffer.data(), &layout, 8);
    DWORD returned = 0;
    DeviceIoControl(h, IOCTL_DISK_GET_DRIVE_LAYOUT, nullptr, 0, buffer.data(), 680, &returned, nullptr);
    std::memcpy(&layout, buffer.data(), 8);
    return layout.Signature;
}

inline bool control(HANDLE h, DWORD code) {
    DWORD returned = 0;
    return DeviceIoControl(h, code, nullptr, 0, nullptr, 0, &returned, nullptr) != FALSE;
}

// ---- the fake machine -------------------------------------------------------------

struct PartSpec {
    unsigned number;
    uint64_t start512, size512;
};

struct DiskSpec {
    std::string name;
    uint64_t bytes = 1 << 20;
    bool removable = false;
    uint32_t blockSize = 512;
    bool device = true;  // has a "device" link, like real hardware
    std::vector<PartSpec> parts = {};
    std::string nodeTarget = {};  // the node is a symlink to this instead of a plain file
    dev_t dev = 0;           // sysfs "dev"; made up when 0
    std::vector<dev_t> partDevs = {};
};

class FakeMachine {
public:
    FakeMachine() {
        const char* tmp = std::getenv("TMPDIR");
        std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/corvane-linux-XXXXXX";
        std::vector<char> buffer(templ.begin(), templ.end());
        buffer.push_back(0);
        root = ::mkdtemp(buffer.data());
        roots.sysBlock = root + "/sys/block";
        roots.dev = root + "/dev";
        roots.mountTable = root + "/mounts";
        roots.swapTable = root + "/swaps";
        fs::create_directories(roots.sysBlock);
        fs::create_directories(roots.dev);
        writeText(roots.mountTable, "proc /proc proc rw 0 0\n");
        writeText(roots.swapTable, "Filename\tType\tSize\tUsed\tPriority\n");
    }
    ~FakeMachine() {
        platform::SetBackend(nullptr);
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    static std::string PartName(const std::string& disk, unsigned n) {
        return disk + (std::isdigit(static_cast<unsigned char>(disk.back())) ? "p" : "") + std::to_string(n);
    }
    std::string Node(const std::string& name) const { return roots.dev + "/" + name; }
    std::string Sys(const std::string& disk) const { return roots.sysBlock + "/" + disk; }
    std::string Folder(const std::string& name) const {
        std::string path = root + "/mnt/" + name;
        fs::create_directories(path);
        return path;
    }

    void AddDisk(const DiskSpec& spec) {
        std::string sys = Sys(spec.name);
        dev_t dev = spec.dev ? spec.dev : makedev(4000, nextMinor_++);
        writeText(sys + "/dev", std::to_string(major(dev)) + ":" + std::to_string(minor(dev)) + "\n");
        writeText(sys + "/removable", spec.removable ? "1\n" : "0\n");
        writeText(sys + "/size", std::to_string(spec.bytes / 512) + "\n");
        writeText(sys + "/queue/logical_block_size", std::to_string(spec.blockSize) + "\n");
        fs::create_directories(sys + "/holders");
        if (spec.device) fs::create_directories(sys + "/device");
        if (spec.nodeTarget.empty())
            makeFile(Node(spec.name), spec.bytes, nextMinor_);
        else
            fs::create_symlink(spec.nodeTarget, Node(spec.name));
        for (size_t i = 0; i < spec.parts.size(); ++i) {
            const PartSpec& part = spec.parts[i];
            std::string name = PartName(spec.name, part.number);
            std::string partSys = sys + "/" + name;
            dev_t partDev = i < spec.partDevs.size() ? spec.partDevs[i] : makedev(4000, nextMinor_++);
            writeText(partSys + "/dev", std::to_string(major(partDev)) + ":" + std::to_string(minor(partDev)) + "\n");
            writeText(partSys + "/partition", std::to_string(part.number) + "\n");
            writeText(partSys + "/start", std::to_string(part.start512) + "\n");
            writeText(partSys + "/size", std::to_string(part.size512) + "\n");
            fs::create_directories(partSys + "/holders");
            if (spec.nodeTarget.empty())
                makeFile(Node(name), part.size512 * 512, nextMinor_++);
            else
                fs::create_symlink(spec.nodeTarget + "p" + std::to_string(part.number), Node(name));
        }
    }
    void Mount(const std::string& source, const std::string& mountPoint) {
        std::ofstream(roots.mountTable, std::ios::app) << source << " " << mountPoint << " ext4 rw 0 0\n";
    }
    void MountNode(const std::string& name, const std::string& mountPoint) { Mount(Node(name), mountPoint); }
    void Swap(const std::string& name) {
        std::ofstream(roots.swapTable, std::ios::app) << Node(name) << "\tpartition\t1024\t0\t-2\n";
    }
    void Hold(const std::string& sysDir) { writeText(sysDir + "/holders/dm-0", ""); }

    std::shared_ptr<LinuxBackend> Install() {
        auto backend = std::make_shared<LinuxBackend>(roots);
        platform::SetBackend(backend);
        return backend;
    }

    std::string root;
    LinuxRoots roots;

private:
    unsigned nextMinor_ = 1;
};

// ---- loop devices -----------------------------------------------------------------

inline bool loopDevicesUsable(std::string* why) {
    if (::geteuid() != 0) {
        *why = "loop-device tests need root";
        return false;
    }
    if (::access("/dev/loop-control", R_OK | W_OK) != 0) {
        *why = "loop-device tests need /dev/loop-control";
        return false;
    }
    return true;
}

#define SKIP_WITHOUT_LOOP_DEVICES()                                  \
    do {                                                             \
        std::string why_;                                            \
        if (!loopDevicesUsable(&why_)) GTEST_SKIP() << why_;         \
    } while (0)

// A loop device over a file, detached again when it goes, whatever happened.
class LoopDevice {
public:
    LoopDevice(const std::string& backing, bool partitions, bool directIo = false) {
        int control = ::open("/dev/loop-control", O_RDWR | O_CLOEXEC);
        int file = ::open(backing.c_str(), O_RDWR | O_CLOEXEC);
        for (int attempt = 0; attempt < 20 && control >= 0 && file >= 0 && fd_ < 0; ++attempt) {
            int n = ::ioctl(control, LOOP_CTL_GET_FREE);
            if (n < 0) break;
            std::string path = "/dev/loop" + std::to_string(n);
            int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
            if (fd < 0) continue;
            loop_config config;
            std::memset(&config, 0, sizeof config);
            config.fd = static_cast<__u32>(file);
            // Autoclear: should the test die, the last close detaches it.
            config.info.lo_flags = LO_FLAGS_AUTOCLEAR | (partitions ? LO_FLAGS_PARTSCAN : 0) |
                                    (directIo ? LO_FLAGS_DIRECT_IO : 0);
            if (::ioctl(fd, LOOP_CONFIGURE, &config) == 0) {
                fd_ = fd;
                number_ = n;
                path_ = path;
            } else {
                ::close(fd);  // taken by someone else meanwhile: ask again
            }
        }
        if (file >= 0) ::close(file);
        if (control >= 0) ::close(control);
    }
    ~LoopDevice() {
        if (fd_ >= 0) {
            ::ioctl(fd_, LOOP_CLR_FD, 0);
            ::close(fd_);
        }
    }
    LoopDevice(const LoopDevice&) = delete;
    LoopDevice& operator=(const LoopDevice&) = delete;

    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    std::string name() const { return "loop" + std::to_string(number_); }
    dev_t dev() const {
        struct stat st;
        return ::stat(path_.c_str(), &st) == 0 ? st.st_rdev : 0;
    }
    // Partition n as the table in sector 0 gives it. A kernel without the
    // MBR parser reads no table: then the partition is added by hand.
    dev_t partition(unsigned n, uint64_t start512, uint64_t size512) const {
        std::string sys = "/sys/block/" + name() + "/" + name() + "p" + std::to_string(n);
        if (::access(sys.c_str(), F_OK) != 0) {
            blkpg_partition part;
            std::memset(&part, 0, sizeof part);
            part.start = static_cast<long long>(start512 * 512);
            part.length = static_cast<long long>(size512 * 512);
            part.pno = static_cast<int>(n);
            blkpg_ioctl_arg arg;
            std::memset(&arg, 0, sizeof arg);
            arg.op = BLKPG_ADD_PARTITION;
            arg.datalen = sizeof part;
            arg.data = &part;
            if (::ioctl(fd_, BLKPG, &arg) != 0) return 0;
        }
        // devtmpfs makes the node a moment later.
        std::string node = path_ + "p" + std::to_string(n);
        for (int i = 0; i < 200; ++i) {
            struct stat st;
            if (::stat(node.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) return st.st_rdev;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return 0;
    }

private:
    int fd_ = -1;
    int number_ = -1;
    std::string path_;
};

// A loop device posing as a removable card of the made-up machine, whose
// use the machine's real mount table tells (that is where a loop device's
// file systems are mounted).
inline void AddLoopCard(FakeMachine& m, const std::string& name, const LoopDevice& loop, uint64_t bytes) {
    m.roots.mountTable = "/proc/self/mounts";
    m.AddDisk({.name = name, .bytes = bytes, .removable = true, .nodeTarget = loop.path(), .dev = loop.dev()});
}

// A file system mounted for the length of a test.
class Mounted {
public:
    Mounted(const std::string& source, const std::string& target) : target_(target) {
        ok_ = ::mount(source.c_str(), target.c_str(), "ext4", 0, nullptr) == 0;
        error_ = errno;
    }
    ~Mounted() { Unmount(); }
    Mounted(const Mounted&) = delete;
    Mounted& operator=(const Mounted&) = delete;
    bool ok() const { return ok_; }
    int error() const { return error_; }
    void Unmount() {
        if (ok_) ::umount2(target_.c_str(), MNT_DETACH);
        ok_ = false;
    }

private:
    std::string target_;
    bool ok_ = false;
    int error_ = 0;
};


}  // namespace testsupport
