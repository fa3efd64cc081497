// Both workers on real block devices: loop devices stood in as removable
// cards through a sysfs view of the test's own.
#include "res/resources.h"
#include "tests/support/fake_machine.h"
#include "transfer/TransferJob.h"
#include "transfer/Workers.h"

using namespace testsupport;

namespace {

class LoopTransfer : public ::testing::Test {
protected:
    // Not a multiple of the chunk: the last chunk of each pass is short.
    static constexpr uint64_t kSize = (16 << 20) + 7 * 512;

    void SetUp() override {
        SKIP_WITHOUT_LOOP_DEVICES();
        InstallResources();
        for (int i = 0; i < 2; ++i) {
            backing[i] = m.root + "/card" + std::to_string(i) + ".raw";
            makeFile(backing[i], kSize, 0);
        }
        // The source card holds data everywhere, not only at its head.
        const auto data = pattern(kSize, 17);
        writeBytes(backing[0], 0, data);
        for (int i = 0; i < 2; ++i) {
            loops[i] = std::make_unique<LoopDevice>(backing[i], false);
            ASSERT_TRUE(loops[i]->ok()) << "no loop device could be attached";
        }
        AddLoopCard(m, "sdx", *loops[0], kSize);
        AddLoopCard(m, "sdy", *loops[1], kSize);
        m.Install();
        g_job.m_hStopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        g_job.m_hBackupThread = nullptr;
        g_job.m_hRestoreThread = nullptr;
        image = m.root + "/image.bin";
        std::strncpy(g_job.m_szImagePath, image.c_str(), MAX_PATH - 1);
        g_job.m_dwTotalBytes = kSize;
    }
    void TearDown() override {
        if (g_job.m_hStopEvent) CloseHandle(g_job.m_hStopEvent);
        g_job.m_hStopEvent = nullptr;
    }

    bool RunJob(BYTE kind, int drive) {
        g_job.m_nJobKind = kind;
        TransferStart start = StartTransferJob(kind, testsupport::drive(drive).c_str());
        EXPECT_EQ(start, TRANSFER_STARTED);
        if (start != TRANSFER_STARTED) return false;
        auto& thread = kind == JOB_BACKUP ? g_job.m_hBackupThread : g_job.m_hRestoreThread;
        while (thread.load() != nullptr) Sleep(1);
        CloseDevice();
        return g_job.m_bFailed.load() == 0;
    }

    FakeMachine m;
    std::string backing[2];
    std::unique_ptr<LoopDevice> loops[2];
    std::string image;
};

TEST_F(LoopTransfer, BackupThenRestoreOntoASecondCardGivesIdenticalBytes) {
    ASSERT_TRUE(RunJob(JOB_BACKUP, 0));
    EXPECT_EQ(fs::file_size(image), kSize);
    EXPECT_EQ(readBytes(image, 0, kSize), readBytes(backing[0], 0, kSize));

    ASSERT_TRUE(RunJob(JOB_RESTORE, 1));
    EXPECT_EQ(readBytes(backing[1], 0, kSize), readBytes(backing[0], 0, kSize));
}

TEST_F(LoopTransfer, ACardWhoseFileSystemIsMountedIsNotTouched) {
    if (std::system(("mkfs.ext4 -q -F " + loops[1]->path() + " >/dev/null 2>&1").c_str()) != 0)
        GTEST_SKIP() << "mkfs.ext4 could not make a file system";
    const auto before = readBytes(backing[1], 0, 1 << 20);
    {
        Mounted mounted(loops[1]->path(), m.Folder("card"));
        ASSERT_TRUE(mounted.ok()) << std::strerror(mounted.error());
        ASSERT_TRUE(RunJob(JOB_BACKUP, 0));
        g_job.m_nJobKind = JOB_NONE;
        EXPECT_EQ(StartTransferJob(JOB_RESTORE, drive(1).c_str()), TRANSFER_DEVICE_IN_USE);
        EXPECT_EQ(g_job.m_hDevice, INVALID_HANDLE_VALUE);
        EXPECT_EQ(g_job.m_nJobKind.load(), JOB_NONE);
    }
    // The file system's bytes are as mkfs left them (the kernel may update
    // its superblock on unmount, so only the first sectors are compared).
    EXPECT_EQ(readBytes(backing[1], 0, 1024), std::vector<unsigned char>(before.begin(), before.begin() + 1024));
    // Unmounted, the card is free for the restore.
    ASSERT_TRUE(RunJob(JOB_RESTORE, 1));
    EXPECT_EQ(readBytes(backing[1], 0, kSize), readBytes(backing[0], 0, kSize));
}

}  // namespace
