// A simulated world for the workers: the job record reset, message boxes
// recorded, a temporary folder for image files.
#pragma once

#include "platform/backend.h"
#include "platform/sim/sim_backend.h"
#include "res/resources.h"
#include "transfer/TransferJob.h"
#include "transfer/Workers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

struct RecordedBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

inline void ResetJob() {
    std::memset(g_job.m_szImagePath, 0, sizeof g_job.m_szImagePath);
    g_job.m_hImageFile = nullptr;
    g_job.m_hDevice = nullptr;
    g_job.m_dwRestoreThreadId = 0;
    g_job.m_hRestoreThread = nullptr;
    g_job.m_dwBackupThreadId = 0;
    g_job.m_hBackupThread = nullptr;
    g_job.m_dwReadRemaining = 0;
    g_job.m_dwCompareRemaining = 0;
    g_job.m_dwWriteRemaining = 0;
    g_job.m_dwTotalBytes = 0;
    g_job.m_dwJobBytes = 0;
    g_job.m_dwBytesReturned = 0;
    g_job.m_nJobKind = JOB_NONE;
    g_job.m_bFailed = 0;
    g_job.m_bQuitting = 0;
    g_job.m_strMessage.Empty();
}

class JobFixture : public ::testing::Test {
protected:
    void SetUp() override {
        InstallResources();
        ResetJob();
        world = std::make_shared<platform::sim::SimWorld>();
        platform::SetBackend(world);
        platform::SetMessageBoxHandler([this](HWND owner, const std::string& text, const std::string& caption,
                                              UINT type) {
            std::lock_guard<std::mutex> guard(boxLock);
            boxes.push_back({owner, text, caption, type});
            return IDOK;
        });
        g_job.m_hStopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        folder = std::filesystem::temp_directory_path() /
                 ("corvane-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        CloseHandle(g_job.m_hStopEvent);
        platform::SetMessageBoxHandler(nullptr);
        platform::SetBackend(nullptr);
        std::filesystem::remove_all(folder);
    }

    std::vector<RecordedBox> Boxes() {
        std::lock_guard<std::mutex> guard(boxLock);
        return boxes;
    }

    std::shared_ptr<platform::sim::SimWorld> world;
    std::filesystem::path folder;
    std::mutex boxLock;
    std::vector<RecordedBox> boxes;
};
