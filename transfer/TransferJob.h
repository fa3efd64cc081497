// The one job record shared by the dialog's thread and the worker.
#pragma once

#include "framework/CString.h"
#include "platform/winapi.h"

#include <atomic>

// The unit of every read, write and comparison of the workers: 100 sectors
// of 512 bytes.
constexpr DWORD TRANSFER_CHUNK_SIZE = 51200;

// Progress timers of the dialog, each ticking every 1000 ms.
constexpr UINT_PTR TIMER_BACKUP = 0;
constexpr UINT_PTR TIMER_RESTORE = 1;
constexpr UINT_PTR TIMER_VERIFY = 2;
constexpr UINT TRANSFER_TIMER_PERIOD = 1000;

constexpr BYTE JOB_NONE = 0;
constexpr BYTE JOB_BACKUP = 1;
constexpr BYTE JOB_RESTORE = 2;

// Sizes and counters are 64-bit so that cards of 4 GiB and more are copied
// whole. Fields the worker and the dialog's thread both touch while a job
// runs are atomic: a worker stores m_bFailed before it stores 0 into its
// phase counter, and the dialog loads the counter before the flag.
struct TransferJob {
    char m_szImagePath[MAX_PATH] = {};
    HANDLE m_hImageFile = nullptr;
    HANDLE m_hDevice = nullptr;
    DWORD m_dwRestoreThreadId = 0;
    std::atomic<HANDLE> m_hRestoreThread{nullptr};
    DWORD m_dwBackupThreadId = 0;
    std::atomic<HANDLE> m_hBackupThread{nullptr};
    HANDLE m_hStopEvent = nullptr;
    std::atomic<ULONGLONG> m_dwReadRemaining{0};
    std::atomic<ULONGLONG> m_dwCompareRemaining{0};
    std::atomic<ULONGLONG> m_dwWriteRemaining{0};
    std::atomic<ULONGLONG> m_dwTotalBytes{0};
    // The bytes this job moves: the card for a backup, the image (at most
    // the card) for a restore; the base of its progress.
    std::atomic<ULONGLONG> m_dwJobBytes{0};
    DWORD m_dwBytesReturned = 0;
    std::atomic<BYTE> m_nJobKind{JOB_NONE};
    std::atomic<LONG> m_bFailed{0};
    std::atomic<LONG> m_bQuitting{0};
    CString m_strMessage;
};

extern TransferJob g_job;
