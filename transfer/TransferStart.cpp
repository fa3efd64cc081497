// The one way a job's worker is started.
#include "transfer/TransferJob.h"
#include "transfer/Workers.h"

namespace {

// A job with nothing to move still reads as running until its worker has
// opened the image: only the worker may bring a counter to 0.
ULONGLONG pending(ULONGLONG bytes) { return bytes > 0 ? bytes : 1; }

ULONGLONG restoreBytes(ULONGLONG total) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(g_job.m_szImagePath, GetFileExInfoStandard, &data)) return total;
    ULONGLONG length = ((ULONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    return length < total ? length : total;
}

void releaseLock() {
    DWORD returned = 0;
    DeviceIoControl(g_job.m_hDevice, FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr);
}

}  // namespace

void CloseDevice() {
    if (g_job.m_hDevice != INVALID_HANDLE_VALUE && g_job.m_hDevice != nullptr) CloseHandle(g_job.m_hDevice);
    g_job.m_hDevice = INVALID_HANDLE_VALUE;
}

TransferStart StartTransferJob(BYTE nJobKind, LPCSTR pszDevicePath) {
    g_job.m_hDevice = CreateFileA(pszDevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
    if (g_job.m_hDevice == INVALID_HANDLE_VALUE) return TRANSFER_DEVICE_NOT_OPENED;
    if (!DeviceIoControl(g_job.m_hDevice, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &g_job.m_dwBytesReturned,
                         nullptr)) {
        CloseDevice();
        return TRANSFER_DEVICE_IN_USE;
    }

    const BYTE previousKind = g_job.m_nJobKind.load();
    const bool backup = nJobKind == JOB_BACKUP;
    std::atomic<HANDLE>& thread = backup ? g_job.m_hBackupThread : g_job.m_hRestoreThread;
    DWORD& threadId = backup ? g_job.m_dwBackupThreadId : g_job.m_dwRestoreThreadId;
    HANDLE worker = nullptr;
    if (thread.load() == nullptr) {
        g_job.m_nJobKind.store(nJobKind);
        // The counters hold the job's size before the worker exists, so the
        // first timer tick never reads a stale 0.
        const ULONGLONG total = g_job.m_dwTotalBytes.load();
        const ULONGLONG bytes = backup ? total : restoreBytes(total);
        g_job.m_dwJobBytes.store(bytes);
        if (backup) {
            g_job.m_dwReadRemaining.store(pending(bytes));
            g_job.m_dwCompareRemaining.store(pending(bytes));
        } else {
            g_job.m_dwWriteRemaining.store(pending(bytes));
        }
        g_job.m_bFailed.store(0);
        threadId = 0;
        // Created suspended: the handle is stored before the worker can run,
        // so its last act, clearing the field, always comes after.
        worker = CreateThread(nullptr, 0, backup ? BackupThreadProc : RestoreThreadProc, nullptr, CREATE_SUSPENDED,
                              &threadId);
    }
    if (worker == nullptr) {
        g_job.m_nJobKind.store(previousKind);
        releaseLock();
        CloseDevice();
        return TRANSFER_NO_WORKER;
    }
    thread.store(worker);
    ResumeThread(worker);
    return TRANSFER_STARTED;
}
