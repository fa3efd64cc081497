// The dialog's side of a running job: progress once a second, and the end
// of every phase.
#include "device/DriveTable.h"
#include "transfer/TransferJob.h"
#include "transfer/Workers.h"
#include "ui/CorvaneDlg.h"

namespace {

bool deviceOpen() { return g_job.m_hDevice != nullptr && g_job.m_hDevice != INVALID_HANDLE_VALUE; }

}  // namespace

// Whole percents of the remaining thousands of bytes. A job below 1000 bytes
// has no divisor: it shows 0 until its end shows 100.
int JobPercent(ULONGLONG total, ULONGLONG remaining) {
    const ULONGLONG t = total / 1000, r = remaining / 1000;
    if (t == 0) return 0;
    return (int)(((t - (r < t ? r : t)) * 100) / t);
}

void CCorvaneDlg::ShowProgress(ULONGLONG remaining) {
    const int percent = JobPercent(g_job.m_dwJobBytes.load(), remaining);
    m_progress.SetPos(percent);
    SetDlgItemInt(IDC_PERCENT, (UINT)percent, TRUE);
}

void CCorvaneDlg::StopAnimation() {
    m_animation.Seek(0);
    m_animation.Close();
}

void CCorvaneDlg::ReleaseCard() {
    // A card already closed is left alone.
    if (!deviceOpen()) return;
    PREVENT_MEDIA_REMOVAL allow{0};
    DeviceIoControl(g_job.m_hDevice, IOCTL_STORAGE_MEDIA_REMOVAL, &allow, sizeof allow, nullptr, 0,
                    &g_job.m_dwBytesReturned, nullptr);
    DeviceIoControl(g_job.m_hDevice, IOCTL_STORAGE_EJECT_MEDIA, nullptr, 0, nullptr, 0, &g_job.m_dwBytesReturned,
                    nullptr);
    DeviceIoControl(g_job.m_hDevice, FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0, &g_job.m_dwBytesReturned, nullptr);
}

void CCorvaneDlg::ShowJobMessage(UINT nID, LPCSTR lpszCaption, UINT nType) {
    g_job.m_strMessage.LoadString(nID);
    MessageBox(g_job.m_strMessage, lpszCaption, nType);
}

void CCorvaneDlg::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent != TIMER_BACKUP && nIDEvent != TIMER_RESTORE && nIDEvent != TIMER_VERIFY) return;
    std::atomic<ULONGLONG>& counter = nIDEvent == TIMER_BACKUP    ? g_job.m_dwReadRemaining
                                      : nIDEvent == TIMER_RESTORE ? g_job.m_dwWriteRemaining
                                                                  : g_job.m_dwCompareRemaining;
    // The counter first, then the flag: the worker stores them the other way round.
    const ULONGLONG remaining = counter.load();
    if (remaining != 0) {
        ShowProgress(remaining);
        return;
    }
    const bool failed = g_job.m_bFailed.load() != 0;

    if (nIDEvent == TIMER_BACKUP) {
        // While Quit asks, the hand-over waits for the next tick: after a No
        // the comparison is shown as usual, after a Yes Quit ends it all.
        if (!failed && g_job.m_bQuitting.load()) return;
        KillTimer(TIMER_BACKUP);
        if (!failed) {
            m_progress.SetPos(100);
            SetDlgItemInt(IDC_PERCENT, 100, TRUE);
            SetDlgItemText(IDC_STATUS, "Reading is completed.");
            SetTimer(TIMER_VERIFY, TRANSFER_TIMER_PERIOD, nullptr);
            SetDlgItemText(IDC_STATUS, "Comparing...");
            return;
        }
        SetDlgItemText(IDC_STATUS, "Read Error.");
        StopAnimation();
        g_job.m_nJobKind.store(JOB_NONE);
        ShowJobMessage(IDS_BACKUP_FAILED, "Error", MB_OK | MB_ICONERROR);
        DeleteFileA(g_job.m_szImagePath);
        ReleaseCard();
        CloseDevice();
        ShowJobMessage(IDS_EJECT_CARD, "Message", MB_OK | MB_ICONINFORMATION);
        return;
    }

    KillTimer(nIDEvent);
    const bool restore = nIDEvent == TIMER_RESTORE;
    if (!failed) {
        m_progress.SetPos(100);
        SetDlgItemInt(IDC_PERCENT, 100, TRUE);
        SetDlgItemText(IDC_STATUS, restore ? "Writing is completed." : "Reading is completed.");
    } else {
        g_job.m_nJobKind.store(JOB_NONE);
        SetDlgItemText(IDC_STATUS, restore ? "Write Error." : "Read Error.");
        ShowJobMessage(restore ? IDS_RESTORE_FAILED : IDS_BACKUP_FAILED, "Error", MB_OK | MB_ICONERROR);
        // An image that failed its comparison is no backup: it goes.
        if (!restore) DeleteFileA(g_job.m_szImagePath);
    }
    if (restore && deviceOpen()) {
        FlushFileBuffers(g_job.m_hDevice);
        DeviceIoControl(g_job.m_hDevice, FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, &g_job.m_dwBytesReturned,
                        nullptr);
    }
    ReleaseCard();
    if (!g_job.m_bQuitting.load()) StopAnimation();
    CloseDevice();
    g_job.m_strMessage.LoadString(IDS_EJECT_CARD);
    g_job.m_nJobKind.store(JOB_NONE);
    MessageBox(g_job.m_strMessage, "Message", MB_OK | MB_ICONINFORMATION);
}
