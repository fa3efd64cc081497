// The Linux backend against a sysfs, /dev and mount table built in a temp
// folder: plain files pose as disks everywhere; loop devices, where the
// machine allows them, show what reaches the medium.
#include "platform/linux/linux_backend.h"
#include "tests/support/fake_machine.h"

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
#include <grp.h>
#include <linux/blkpg.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::LinuxBackend;
using platform::LinuxRoots;

using namespace testsupport;

namespace {

// ---- physical drives ------------------------------------------------------------------

TEST(LinuxPhysicalDrives, NumberedInNameOrderSkippingVirtualAndDevicelessEntries) {
    FakeMachine m;
    for (const char* name : {"sdb", "vda", "sda", "mmcblk10", "sdaa", "nvme0n1", "mmcblk2"}) m.AddDisk({.name = name});
    // Never physical drives, even with a device link; and an entry without one.
    for (const char* name : {"loop0", "ram0", "zram0", "dm-0", "md127"}) m.AddDisk({.name = name});
    m.AddDisk({.name = "sdc", .device = false});
    auto backend = m.Install();

    const std::vector<std::string> expected = {"mmcblk2", "mmcblk10", "nvme0n1", "sda", "sdaa", "sdb", "vda"};
    EXPECT_EQ(backend->PhysicalDrives(), expected);

    // Drive N opens exactly the N-th node: its first bytes are that file's.
    for (size_t n = 0; n < expected.size(); ++n) {
        Handle h(openDevice(drive(static_cast<int>(n))));
        ASSERT_TRUE(h.ok()) << n << " error " << GetLastError();
        std::vector<unsigned char> got(600);
        DWORD read = 0;
        ASSERT_TRUE(ReadFile(h.h, got.data(), 600, &read, nullptr));
        ASSERT_EQ(read, 600u);
        EXPECT_EQ(got, readBytes(m.Node(expected[n]), 0, 600)) << "drive " << n << " is not " << expected[n];
    }
    Handle beyond(openDevice(drive(static_cast<int>(expected.size()))));
    EXPECT_FALSE(beyond.ok());
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(LinuxPhysicalDrives, OpenWithoutPermissionIsAccessDenied) {
    FakeMachine m;
    m.AddDisk({.name = "sda"});
    ::chmod(m.root.c_str(), 0755);
    ::chmod(m.Node("sda").c_str(), 0600);
    m.Install();
    // Root may open anything: the open is tried by a child that has become nobody.
    EXPECT_EXIT(
        {
            if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
                                     ::setresuid(65534, 65534, 65534) != 0))
                std::_Exit(2);
            HANDLE h = openDevice(drive(0));
            std::_Exit(h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// ---- geometry ---------------------------------------------------------------------

TEST(LinuxGeometry, MediaTypeIsRemovableOnlyForRemovableDisksWithoutRootOrSwap) {
    FakeMachine m;
    struct Case {
        const char* name;
        bool removable;
        MEDIA_TYPE expected;
    } cases[] = {
        {"sda", false, FixedMedia},     // fixed disk
        {"sdb", true, RemovableMedia},  // card, one partition mounted elsewhere
        {"sdc", true, FixedMedia},      // removable, but the root file system is on it
        {"sdd", true, FixedMedia},      // removable, but swap is on it
        {"sde", true, RemovableMedia},  // card, nothing mounted
    };
    for (const Case& c : cases) m.AddDisk({.name = c.name, .removable = c.removable, .parts = {{1, 2048, 64}, {2, 4096, 64}}});
    m.MountNode("sdb1", m.Folder("b"));
    m.MountNode("sdc2", "/");
    m.Swap("sdd2");
    m.Install();
    for (size_t n = 0; n < std::size(cases); ++n) {
        Handle h(openDevice(drive(static_cast<int>(n))));
        ASSERT_TRUE(h.ok());
        DISK_GEOMETRY g;
        ASSERT_TRUE(geometry(h.h, &g));
        EXPECT_EQ(g.MediaType, cases[n].expected) << cases[n].name;
    }
}

TEST(LinuxGeometry, SizesMultiplyToTheWholeMedium) {
    struct Case {
        uint64_t bytes;
        uint32_t blockSize;
        DWORD heads, sectors;
    } cases[] = {
        {255ull * 63 * 10 * 512, 512, 255, 63},      // 255/63 divides
        {255ull * 63 * 16 * 3 * 512, 512, 255, 63},  // both divide: 255 first
        {16ull * 63 * 7 * 512, 512, 16, 63},         // only 16/63
        {1000003ull * 512, 512, 1, 1},               // prime count of sectors
        {63ull * 5 * 512, 512, 1, 1},                // 63 alone is not enough
        {16ull * 63 * 3 * 4096, 4096, 16, 63},       // 4 KiB sectors
        {100ull * 512 + 100, 512, 1, 1},             // a stand-in's tail that is no whole sector
    };
    for (const Case& c : cases) {
        FakeMachine m;
        m.AddDisk({.name = "sda", .bytes = c.bytes, .blockSize = c.blockSize});
        m.Install();
        Handle h(openDevice(drive(0)));
        ASSERT_TRUE(h.ok());
        DISK_GEOMETRY g;
        ASSERT_TRUE(geometry(h.h, &g)) << c.bytes;
        uint64_t whole = c.bytes - c.bytes % c.blockSize;
        EXPECT_EQ(g.BytesPerSector, c.blockSize);
        EXPECT_EQ(g.TracksPerCylinder, c.heads) << c.bytes;
        EXPECT_EQ(g.SectorsPerTrack, c.sectors) << c.bytes;
        EXPECT_EQ((uint64_t)g.Cylinders.QuadPart * g.TracksPerCylinder * g.SectorsPerTrack * g.BytesPerSector, whole)
            << c.bytes;
        LARGE_INTEGER size;
        ASSERT_TRUE(GetFileSizeEx(h.h, &size));
        EXPECT_EQ((uint64_t)size.QuadPart, whole);
    }
}

TEST(LinuxGeometry, FailsForASmallBufferAndForAnEmptyReader) {
    FakeMachine m;
    m.AddDisk({.name = "sda", .removable = true});
    m.AddDisk({.name = "sdb", .bytes = 0, .removable = true});
    m.Install();
    Handle card(openDevice(drive(0)));
    ASSERT_TRUE(card.ok());
    unsigned char small[23];
    DWORD returned = 0;
    EXPECT_FALSE(DeviceIoControl(card.h, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, small, sizeof small, &returned,
                                 nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);

    Handle empty(openDevice(drive(1)));
    ASSERT_TRUE(empty.ok());
    DISK_GEOMETRY g;
    EXPECT_FALSE(geometry(empty.h, &g));
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
    EXPECT_EQ(signatureOf(empty.h), 0xFFFFFFFFu);
    std::vector<unsigned char> buffer(512);
    DWORD read = 0;
    EXPECT_FALSE(ReadFile(empty.h, buffer.data(), 512, &read, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
}

// ---- layout -------------------------------------------------------------------------

TEST(LinuxLayout, SignatureComesFromSectorZeroOnlyWithTheBootMarker) {
    struct Case {
        std::vector<unsigned char> sector0;
        uint32_t blockSize;
        DWORD expected;
    } cases[] = {
        {mbr(0x12345678, true), 512, 0x12345678},
        {mbr(0x12345678, true), 4096, 0x12345678},  // read within a larger block
        {mbr(0x12345678, false), 512, 0},
        {[] { auto s = mbr(0xCAFEF00D, true); s[511] = 0xAB; return s; }(), 512, 0},
        {mbr(0, true), 512, 0},
    };
    for (const Case& c : cases) {
        FakeMachine m;
        m.AddDisk({.name = "sda", .blockSize = c.blockSize});
        writeBytes(m.Node("sda"), 0, c.sector0);
        m.Install();
        Handle h(openDevice(drive(0)));
        ASSERT_TRUE(h.ok());
        EXPECT_EQ(signatureOf(h.h), c.expected);
    }
}

TEST(LinuxLayout, PartitionsAsFitAndTheDiskLayoutOnAVolumeHandle) {
    FakeMachine m;
    m.AddDisk({.name = "sda", .parts = {{1, 2048, 4096}, {2, 8192, 1024}}});
    writeBytes(m.Node("sda"), 0, mbr(0xA1B2C3D4, true, 2048, 4096));
    m.MountNode("sda1", "/");
    m.Install();
    Handle h(openDevice(drive(0)));
    ASSERT_TRUE(h.ok());

    std::vector<unsigned char> buffer(680, 0xEE);
    DWORD returned = 0;
    ASSERT_TRUE(DeviceIoControl(h.h, IOCTL_DISK_GET_DRIVE_LAYOUT, nullptr, 0, buffer.data(), 680, &returned, nullptr));
    DRIVE_LAYOUT_INFORMATION head;
    std::memcpy(&head, buffer.data(), 8);
    EXPECT_EQ(head.PartitionCount, 2u);
    EXPECT_EQ(head.Signature, 0xA1B2C3D4u);
    EXPECT_EQ(returned, 8u + 2 * 32);
    PARTITION_INFORMATION p[2];
    std::memcpy(p, buffer.data() + 8, sizeof p);
    EXPECT_EQ(p[0].StartingOffset.QuadPart, 2048 * 512);
    EXPECT_EQ(p[0].PartitionLength.QuadPart, 4096 * 512);
    EXPECT_EQ(p[0].PartitionNumber, 1u);
    EXPECT_EQ(p[0].PartitionType, 0x83);
    EXPECT_TRUE(p[0].BootIndicator);
    EXPECT_EQ(p[1].StartingOffset.QuadPart, 8192 * 512);
    EXPECT_EQ(p[1].PartitionNumber, 2u);

    // Room for one entry: the signature is still answered.
    std::vector<unsigned char> small(8 + 32, 0);
    ASSERT_TRUE(DeviceIoControl(h.h, IOCTL_DISK_GET_DRIVE_LAYOUT, nullptr, 0, small.data(), 40, &returned, nullptr));
    std::memcpy(&head, small.data(), 8);
    EXPECT_EQ(head.PartitionCount, 1u);
    EXPECT_EQ(head.Signature, 0xA1B2C3D4u);

    // Both volumes, the mounted root and the other partition, answer the disk's layout.
    for (char letter : {'C', 'D'}) {
        Handle v(openDevice(volume(letter)));
        ASSERT_TRUE(v.ok()) << letter;
        EXPECT_EQ(signatureOf(v.h), 0xA1B2C3D4u) << letter;
    }
}

// ---- letters and paths ------------------------------------------------------------------

class LinuxLetters : public ::testing::Test {
protected:
    void SetUp() override {
        m.AddDisk({.name = "sda", .parts = {{1, 2048, 64}, {2, 4096, 64}}});
        m.AddDisk({.name = "sdb", .removable = true});
        m.AddDisk({.name = "mmcblk0", .removable = true, .parts = {{3, 2048, 64}, {1, 4096, 64}, {2, 6144, 64}}});
        m.AddDisk({.name = "loop0"});
        m.MountNode("sda1", "/");
        cardFolder = m.Folder("sdb");
        m.MountNode("sdb", cardFolder);
        backend = m.Install();
    }
    FakeMachine m;
    std::string cardFolder;
    std::shared_ptr<LinuxBackend> backend;
};

TEST_F(LinuxLetters, CForRootThenEveryOtherVolumeInDriveThenPartitionOrder) {
    // Drives: mmcblk0 (0), sda (1), sdb (2).
    struct Expected {
        char letter;
        std::string node;
    } expected[] = {{'C', "sda1"}, {'D', "mmcblk0p1"}, {'E', "mmcblk0p2"}, {'F', "mmcblk0p3"},
                    {'G', "sda2"}, {'H', "sdb"}};
    DWORD mask = 0;
    for (const Expected& e : expected) mask |= 1u << (e.letter - 'A');
    EXPECT_EQ(GetLogicalDrives(), mask);
    for (const Expected& e : expected) {
        Handle v(openDevice(volume(e.letter)));
        ASSERT_TRUE(v.ok()) << e.letter;
        std::vector<unsigned char> got(512);
        DWORD read = 0;
        ASSERT_TRUE(ReadFile(v.h, got.data(), 512, &read, nullptr));
        EXPECT_EQ(got, readBytes(m.Node(e.node), 0, 512)) << e.letter << " is not " << e.node;
    }
    Handle none(openDevice(volume('I')));
    EXPECT_FALSE(none.ok());

    // A card that arrives later takes the next letter at the next query.
    m.AddDisk({.name = "sdc", .removable = true});
    EXPECT_EQ(GetLogicalDrives(), mask | 1u << ('I' - 'A'));
}

TEST_F(LinuxLetters, DosPathsGoToTheMountPointOfTheirLetter) {
    std::string host;
    ASSERT_TRUE(backend->HostPath("C:\\Drive.bin", &host));
    EXPECT_EQ(host, "/Drive.bin");
    ASSERT_TRUE(backend->HostPath("h:\\cards\\one.bin", &host));
    EXPECT_EQ(host, cardFolder + "/cards/one.bin");
    ASSERT_TRUE(backend->HostPath("/srv/images/a.bin", &host));
    EXPECT_EQ(host, "/srv/images/a.bin");
    // D: exists but is not mounted; Z: does not exist.
    for (const char* path : {"D:\\a.bin", "Z:\\a.bin"}) {
        EXPECT_FALSE(backend->HostPath(path, &host)) << path;
        EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    }

    // The file calls follow the same mapping.
    HANDLE f = CreateFileA("H:\\image.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(f, "card", 4, &written, nullptr));
    CloseHandle(f);
    EXPECT_EQ(readBytes(cardFolder + "/image.bin", 0, 16), (std::vector<unsigned char>{'c', 'a', 'r', 'd'}));
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    ASSERT_TRUE(GetFileAttributesExA("H:\\image.bin", GetFileExInfoStandard, &attributes));
    EXPECT_EQ(attributes.nFileSizeLow, 4u);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("H:\\*.bin", &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(found.cFileName, "image.bin");
    FindClose(search);
    ASSERT_TRUE(DeleteFileA("H:\\image.bin"));
    EXPECT_FALSE(fs::exists(cardFolder + "/image.bin"));

    EXPECT_EQ(CreateFileA("D:\\image.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(LinuxLetters, FreeSpaceOfALetterIsThatOfItsMountPoint) {
    // The card's folder lies on a tmpfs where the machine allows it, so that
    // its numbers differ from those of the temp folder's file system.
    struct OwnFs {
        std::string at;
        bool ok;
        ~OwnFs() {
            if (ok) ::umount2(at.c_str(), MNT_DETACH);
        }
    } own{cardFolder, ::geteuid() == 0 && ::mount("tmpfs", cardFolder.c_str(), "tmpfs", 0, "size=3m") == 0};
    ULARGE_INTEGER free, total, totalFree;
    ASSERT_TRUE(GetDiskFreeSpaceExA("H:\\", &free, &total, &totalFree));
    ULARGE_INTEGER pfree, ptotal, ptotalFree;
    ASSERT_TRUE(GetDiskFreeSpaceExA(cardFolder.c_str(), &pfree, &ptotal, &ptotalFree));
    EXPECT_EQ(total.QuadPart, ptotal.QuadPart);
    // A POSIX image path asks about the folder that will hold it.
    ASSERT_TRUE(GetDiskFreeSpaceExA((cardFolder + "/new.bin").c_str(), &pfree, &ptotal, &ptotalFree));
    EXPECT_EQ(total.QuadPart, ptotal.QuadPart);
    if (own.ok) {
        EXPECT_EQ(total.QuadPart, 3u << 20);
    }
    EXPECT_FALSE(GetDiskFreeSpaceExA("D:\\", &free, &total, &totalFree));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

// ---- the lock ---------------------------------------------------------------------------

TEST(LinuxLock, RefusedWhileAnyPartOfTheDiskIsInUse) {
    struct Case {
        const char* what;
        void (*use)(FakeMachine&);
        bool refused;
    } cases[] = {
        {"nothing in use", [](FakeMachine&) {}, false},
        {"a partition mounted", [](FakeMachine& m) { m.MountNode("sdb2", m.Folder("p")); }, true},
        {"the whole disk mounted", [](FakeMachine& m) { m.MountNode("sdb", m.Folder("w")); }, true},
        {"a partition as swap", [](FakeMachine& m) { m.Swap("sdb1"); }, true},
        {"the disk held", [](FakeMachine& m) { m.Hold(m.Sys("sdb")); }, true},
        {"a partition held", [](FakeMachine& m) { m.Hold(m.Sys("sdb") + "/sdb2"); }, true},
        {"another disk mounted", [](FakeMachine& m) { m.MountNode("sda1", m.Folder("a")); }, false},
    };
    for (const Case& c : cases) {
        FakeMachine m;
        m.AddDisk({.name = "sda", .parts = {{1, 2048, 64}}});
        m.AddDisk({.name = "sdb", .removable = true, .parts = {{1, 2048, 64}, {2, 4096, 64}}});
        c.use(m);
        m.Install();
        Handle h(openDevice(drive(1)));
        ASSERT_TRUE(h.ok());
        EXPECT_EQ(control(h.h, FSCTL_LOCK_VOLUME), !c.refused) << c.what;
        if (c.refused) {
            EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED) << c.what;
        }
    }
}

TEST(LinuxLock, OneClaimantAtATimeUntilUnlockOrClose) {
    FakeMachine m;
    m.AddDisk({.name = "sda", .removable = true});
    m.Install();
    Handle first(openDevice(drive(0)));
    Handle second(openDevice(drive(0)));
    ASSERT_TRUE(first.ok() && second.ok());
    ASSERT_TRUE(control(first.h, FSCTL_LOCK_VOLUME));
    EXPECT_FALSE(control(second.h, FSCTL_LOCK_VOLUME));
    EXPECT_TRUE(control(first.h, FSCTL_UNLOCK_VOLUME));
    EXPECT_FALSE(control(first.h, FSCTL_UNLOCK_VOLUME));  // nothing left to release
    ASSERT_TRUE(control(second.h, FSCTL_LOCK_VOLUME));
    CloseHandle(second.h);
    second.h = INVALID_HANDLE_VALUE;
    EXPECT_TRUE(control(first.h, FSCTL_LOCK_VOLUME));
    // The remaining controls have nothing to do on a stand-in and succeed.
    BYTE allow = 0;
    DWORD returned = 0;
    EXPECT_TRUE(DeviceIoControl(first.h, IOCTL_STORAGE_MEDIA_REMOVAL, &allow, 1, nullptr, 0, &returned, nullptr));
    EXPECT_TRUE(control(first.h, IOCTL_STORAGE_EJECT_MEDIA));
    EXPECT_TRUE(control(first.h, FSCTL_DISMOUNT_VOLUME));
    EXPECT_FALSE(control(first.h, 0x00070004u));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
}

// ---- transfers, on a plain file and on a loop device ------------------------------------------

// One disk "sda" of kSize bytes whose medium is a file: the node itself, or
// the backing file of a loop device.
class LinuxTransfers : public ::testing::TestWithParam<bool> {
protected:
    static constexpr uint64_t kSize = 4 << 20;

    void SetUp() override {
        backing = m.root + "/medium.img";
        makeFile(backing, kSize, 9);
        writeBytes(backing, 0, pattern(kSize, 9));
        if (GetParam()) {
            std::string why;
            if (!loopDevicesUsable(&why)) GTEST_SKIP() << why;
            loop = std::make_unique<LoopDevice>(backing, false);
            ASSERT_TRUE(loop->ok()) << "no loop device could be attached";
            m.AddDisk({.name = "sda", .removable = true, .nodeTarget = loop->path(), .dev = loop->dev()});
        } else {
            m.AddDisk({.name = "sda", .removable = true, .nodeTarget = backing});
        }
        m.Install();
    }

    std::vector<unsigned char> medium(uint64_t offset, size_t length) { return readBytes(backing, offset, length); }

    FakeMachine m;
    std::string backing;
    std::unique_ptr<LoopDevice> loop;
};

TEST_P(LinuxTransfers, PartialSectorWritesKeepTheNeighbouringBytes) {
    Handle h(openDevice(drive(0)));
    ASSERT_TRUE(h.ok()) << GetLastError();
    struct Case {
        uint64_t offset;
        size_t length;
    } cases[] = {
        {700, 10},          // inside one sector
        {1000, 600},        // across a sector boundary
        {4096 - 3, 51200},  // a transfer chunk starting 3 bytes before a block
        {8192, 512},        // exactly one sector
        {20000, 3 << 20},   // more than one bounce buffer's worth (halved below)
    };
    unsigned seed = 50;
    for (Case c : cases) {
        c.length = static_cast<size_t>(std::min<uint64_t>(c.length, (kSize - c.offset) / 2));
        std::vector<unsigned char> before = medium(0, kSize);
        std::vector<unsigned char> data = pattern(c.length, ++seed);
        ASSERT_NE(SetFilePointer(h.h, static_cast<LONG>(c.offset), nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(h.h, data.data(), static_cast<DWORD>(c.length), &written, nullptr));
        EXPECT_EQ(written, c.length);
        std::vector<unsigned char> expected = before;
        std::copy(data.begin(), data.end(), expected.begin() + static_cast<long>(c.offset));
        std::vector<unsigned char> after = medium(0, kSize);
        ASSERT_EQ(after.size(), expected.size());
        EXPECT_TRUE(after == expected) << "write of " << c.length << " at " << c.offset << " changed other bytes";

        // Read back through the handle from the same unaligned place.
        ASSERT_NE(SetFilePointer(h.h, -static_cast<LONG>(written), nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
        std::vector<unsigned char> back(c.length);
        DWORD read = 0;
        ASSERT_TRUE(ReadFile(h.h, back.data(), static_cast<DWORD>(c.length), &read, nullptr));
        EXPECT_EQ(read, c.length);
        EXPECT_TRUE(back == data);
    }
}

TEST_P(LinuxTransfers, TheEndOfTheMediumCutsReadsAndWritesShort) {
    Handle h(openDevice(drive(0)));
    ASSERT_TRUE(h.ok());
    std::vector<unsigned char> buffer(51200);
    DWORD done = 0;
    EXPECT_EQ(SetFilePointer(h.h, -1000, nullptr, FILE_END), kSize - 1000);
    ASSERT_TRUE(ReadFile(h.h, buffer.data(), 51200, &done, nullptr));
    EXPECT_EQ(done, 1000u);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 1000, medium(kSize - 1000, 1000).begin()));
    ASSERT_TRUE(ReadFile(h.h, buffer.data(), 51200, &done, nullptr));
    EXPECT_EQ(done, 0u);

    std::vector<unsigned char> data = pattern(51200, 77);
    EXPECT_EQ(SetFilePointer(h.h, -700, nullptr, FILE_END), kSize - 700);
    ASSERT_TRUE(WriteFile(h.h, data.data(), 51200, &done, nullptr));
    EXPECT_EQ(done, 700u);
    EXPECT_TRUE(medium(kSize - 700, 700) == std::vector<unsigned char>(data.begin(), data.begin() + 700));
    struct stat st;
    ASSERT_EQ(::stat(backing.c_str(), &st), 0);
    EXPECT_EQ((uint64_t)st.st_size, kSize);  // nothing beyond the end
    ASSERT_TRUE(WriteFile(h.h, data.data(), 512, &done, nullptr));
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(SetFilePointer(h.h, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
}

TEST_P(LinuxTransfers, EachHandleKeepsItsOwnPosition) {
    Handle a(openDevice(drive(0)));
    Handle b(openDevice(drive(0)));
    ASSERT_TRUE(a.ok() && b.ok());
    std::vector<unsigned char> x(512), y(512);
    DWORD done = 0;
    SetFilePointer(a.h, 4096, nullptr, FILE_BEGIN);
    ASSERT_TRUE(ReadFile(b.h, y.data(), 512, &done, nullptr));
    ASSERT_TRUE(ReadFile(a.h, x.data(), 512, &done, nullptr));
    EXPECT_TRUE(x == medium(4096, 512));
    EXPECT_TRUE(y == medium(0, 512));
    EXPECT_EQ(SetFilePointer(a.h, 0, nullptr, FILE_CURRENT), 4608u);
    EXPECT_EQ(SetFilePointer(b.h, 0, nullptr, FILE_CURRENT), 512u);
}

TEST_P(LinuxTransfers, AVanishedMediumFailsEveryTransfer) {
    Handle h(openDevice(drive(0)));
    ASSERT_TRUE(h.ok());
    ASSERT_EQ(::truncate(backing.c_str(), 0), 0);
    if (loop) {
        ASSERT_EQ(::ioctl(loop->fd(), LOOP_SET_CAPACITY, 0), 0);
    }
    std::vector<unsigned char> buffer(512);
    DWORD done = 0;
    EXPECT_FALSE(ReadFile(h.h, buffer.data(), 512, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
    EXPECT_FALSE(WriteFile(h.h, buffer.data(), 512, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
    DISK_GEOMETRY g;
    EXPECT_FALSE(geometry(h.h, &g));
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
}

INSTANTIATE_TEST_SUITE_P(Media, LinuxTransfers, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& medium) {
                             return medium.param ? "LoopDevice" : "PlainFile";
                         });

// ---- loop devices only ---------------------------------------------------------------------

// A card image with one partition, on a loop device that shows it.
class LinuxLoopCard : public ::testing::Test {
protected:
    static constexpr uint64_t kSize = 16 << 20;
    static constexpr uint32_t kPartStart = 2048, kPartSectors = 30000;

    void SetUp() override {
        SKIP_WITHOUT_LOOP_DEVICES();
        backing = m.root + "/card.img";
        makeFile(backing, kSize, 3);
        writeBytes(backing, 0, mbr(0x0BADCAFE, true, kPartStart, kPartSectors));
        loop = std::make_unique<LoopDevice>(backing, true);
        ASSERT_TRUE(loop->ok()) << "no loop device could be attached";
        dev_t part = loop->partition(1, kPartStart, kPartSectors);
        ASSERT_NE(part, 0u) << "the kernel showed no partition on " << loop->path();
        m.roots.mountTable = "/proc/self/mounts";
        m.roots.swapTable = "/proc/swaps";
        m.AddDisk({.name = "sdx",
                   .removable = true,
                   .parts = {{1, kPartStart, kPartSectors}},
                   .nodeTarget = loop->path(),
                   .dev = loop->dev(),
                   .partDevs = {part}});
        m.Install();
    }

    FakeMachine m;
    std::string backing;
    std::unique_ptr<LoopDevice> loop;
};

TEST_F(LinuxLoopCard, FoundWithItsSizeAndSignature) {
    Handle h(openDevice(drive(0)));
    ASSERT_TRUE(h.ok()) << GetLastError();
    DISK_GEOMETRY g;
    ASSERT_TRUE(geometry(h.h, &g));
    EXPECT_EQ(g.MediaType, RemovableMedia);
    EXPECT_EQ((uint64_t)g.Cylinders.QuadPart * g.TracksPerCylinder * g.SectorsPerTrack * g.BytesPerSector, kSize);
    EXPECT_EQ(signatureOf(h.h), 0x0BADCAFEu);
    // The card carries a letter whose layout names the same disk.
    Handle v(openDevice(volume('D')));
    ASSERT_TRUE(v.ok()) << GetLastError();
    EXPECT_EQ(signatureOf(v.h), 0x0BADCAFEu);
}

TEST_F(LinuxLoopCard, NodeWithAnotherDeviceNumberIsRefused) {
    writeText(m.Sys("sdx") + "/dev", "4000:99\n");
    Handle h(openDevice(drive(0)));
    EXPECT_FALSE(h.ok());
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(LinuxLoopCard, LockRefusedWhileItsFileSystemIsMounted) {
    std::string partition = loop->path() + "p1";
    std::string command = "mkfs.ext4 -q -F " + partition + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "mkfs.ext4 could not make a file system";
    std::string target = m.Folder("card");
    Mounted mounted(partition, target);
    ASSERT_TRUE(mounted.ok()) << "mount failed: " << std::strerror(mounted.error());

    Handle h(openDevice(drive(0)));
    ASSERT_TRUE(h.ok());
    EXPECT_FALSE(control(h.h, FSCTL_LOCK_VOLUME));
    // D: now has a folder: the mount point.
    std::string host;
    auto backend = std::dynamic_pointer_cast<LinuxBackend>(platform::GetBackend());
    ASSERT_TRUE(backend->HostPath("D:\\x.bin", &host));
    EXPECT_EQ(host, target + "/x.bin");

    mounted.Unmount();
    EXPECT_TRUE(control(h.h, FSCTL_LOCK_VOLUME)) << GetLastError();
    // With the claim held, the kernel itself keeps the partition from being mounted.
    Mounted again(partition, target);
    EXPECT_FALSE(again.ok());
    EXPECT_TRUE(control(h.h, FSCTL_UNLOCK_VOLUME));
    EXPECT_TRUE(control(h.h, FSCTL_LOCK_VOLUME));
    EXPECT_TRUE(control(h.h, FSCTL_DISMOUNT_VOLUME));
    EXPECT_TRUE(control(h.h, IOCTL_STORAGE_EJECT_MEDIA));  // no SCSI behind a loop device
}

TEST_F(LinuxLoopCard, ReadsAndPartialWritesGoToTheMediumNotThePageCache) {
    // Fill the loop device's page cache with what the medium holds now...
    int cached = ::open(loop->path().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(cached, 0);
    std::vector<unsigned char> old(8192);
    ASSERT_EQ(::pread(cached, old.data(), old.size(), 0), (ssize_t)old.size());
    // ...then change the medium behind the cache's back.
    std::vector<unsigned char> fresh = pattern(8192, 99);
    writeBytes(backing, 0, fresh);
    std::vector<unsigned char> stale(8192);
    ASSERT_EQ(::pread(cached, stale.data(), stale.size(), 0), (ssize_t)stale.size());
    // Kept open to the end: the last close of a block device drops its cache.
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{cached};
    ASSERT_TRUE(stale == old) << "the page cache did not keep the old bytes: this test proves nothing here";

    Handle h(openDevice(drive(0)));
    ASSERT_TRUE(h.ok());
    std::vector<unsigned char> got(3000);
    DWORD done = 0;
    SetFilePointer(h.h, 100, nullptr, FILE_BEGIN);
    ASSERT_TRUE(ReadFile(h.h, got.data(), 3000, &done, nullptr));
    EXPECT_TRUE(std::equal(got.begin(), got.end(), fresh.begin() + 100)) << "read came from the page cache";

    // A partial write merges with the medium's bytes, not the cache's.
    std::vector<unsigned char> data(10, 0x5A);
    SetFilePointer(h.h, 4000, nullptr, FILE_BEGIN);
    ASSERT_TRUE(WriteFile(h.h, data.data(), 10, &done, nullptr));
    ASSERT_TRUE(FlushFileBuffers(h.h));
    std::vector<unsigned char> expected = fresh;
    std::fill(expected.begin() + 4000, expected.begin() + 4010, 0x5A);
    EXPECT_TRUE(readBytes(backing, 0, 8192) == expected) << "the write merged with stale bytes";
}

}  // namespace
