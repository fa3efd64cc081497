// Quit: the one way out of the dialog, stopping a running job first.
#include "device/DriveTable.h"
#include "transfer/TransferJob.h"
#include "transfer/Workers.h"
#include "ui/CorvaneDlg.h"

#include <cstdlib>

void CCorvaneDlg::OnQuit() {
    const BYTE kind = g_job.m_nJobKind.load();
    g_job.m_bQuitting.store(1);
    if (kind == JOB_BACKUP || kind == JOB_RESTORE) {
        g_job.m_strMessage.LoadString(kind == JOB_BACKUP ? IDS_STOP_BACKUP : IDS_STOP_RESTORE);
        if (MessageBox(g_job.m_strMessage, "Message", MB_YESNO | MB_ICONINFORMATION) != IDYES) {
            g_job.m_bQuitting.store(0);
            return;
        }
        // A job that finished while the question was up has been released,
        // closed and kept by its completion: nothing is left to stop.
        if (g_job.m_nJobKind.load() != JOB_NONE) {
            // A backup whose comparison came through is complete: it is kept.
            // Only a backup that got its card open ever compared anything.
            const bool cardOpen = g_job.m_hDevice != nullptr && g_job.m_hDevice != INVALID_HANDLE_VALUE;
            const bool verified = kind == JOB_BACKUP && cardOpen && g_job.m_dwCompareRemaining.load() == 0 &&
                                  g_job.m_bFailed.load() == 0;
            // No tick may finish the job while Quit waits for its worker.
            KillTimer(TIMER_BACKUP);
            KillTimer(TIMER_VERIFY);
            KillTimer(TIMER_RESTORE);
            if (kind == JOB_BACKUP) {
                g_job.m_dwReadRemaining.store(0);
                g_job.m_dwCompareRemaining.store(0);
            } else {
                g_job.m_dwWriteRemaining.store(0);
            }
            SetEvent(g_job.m_hStopEvent);
            HANDLE worker = kind == JOB_BACKUP ? g_job.m_hBackupThread.load() : g_job.m_hRestoreThread.load();
            if (worker) WaitForSingleObject(worker, INFINITE);
            ReleaseCard();
            std::free(g_pDiskLayout);
            std::free(g_pVolumeLayout);
            g_pDiskLayout = g_pVolumeLayout = nullptr;
            CloseDevice();
            if (kind == JOB_BACKUP && !verified) DeleteFileA(g_job.m_szImagePath);
        }
    }
    PostMessage(WM_NULL, 0, 0);
    CDialog::OnCancel();
}
