// "CF -> IMG": the checks and questions before a backup, then its start.
#include "jobs/Launch.h"
#include "transfer/TransferJob.h"
#include "ui/CorvaneDlg.h"

#include <cstring>

void CCorvaneDlg::OnBackup() {
    if (!g_bBackupEnabled || g_job.m_nJobKind.load() != JOB_NONE) return;

    std::memset(g_job.m_szImagePath, 0, sizeof g_job.m_szImagePath);
    GetDlgItemText(IDC_FILE_NAME, g_job.m_szImagePath, MAX_PATH);

    CFileFind finder;
    if (finder.FindFile(g_job.m_szImagePath, 0)) {
        g_job.m_strMessage.LoadString(IDS_FILE_EXISTS);
        if (MessageBox(g_job.m_strMessage, "Message", MB_YESNO | MB_ICONINFORMATION) != IDYES) {
            UpdateActionButtons();
            SetActionButtonStates(1, g_bRestoreEnabled);
            return;
        }
    }
    finder.Close();

    // Where the space cannot be told, the image file's own creation decides.
    ULARGE_INTEGER callerFree{}, total{}, totalFree{};
    if (GetDiskFreeSpaceExA(FreeSpaceRoot(g_job.m_szImagePath).c_str(), &callerFree, &total, &totalFree) &&
        callerFree.QuadPart <= g_job.m_dwTotalBytes.load()) {
        g_job.m_strMessage.LoadString(IDS_DISK_FULL);
        MessageBox(g_job.m_strMessage, "Error", MB_OK | MB_ICONERROR);
        return;
    }

    g_job.m_hImageFile =
        CreateFileA(g_job.m_szImagePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (g_job.m_hImageFile == INVALID_HANDLE_VALUE) {
        g_job.m_strMessage.LoadString(IDS_CANNOT_CREATE);
        MessageBox(g_job.m_strMessage, "Error", MB_OK | MB_ICONERROR);
        return;
    }
    CloseHandle(g_job.m_hImageFile);
    g_job.m_hImageFile = INVALID_HANDLE_VALUE;

    ApplyBusyLook();
    g_job.m_nJobKind.store(JOB_BACKUP);

    LaunchJob(JOB_BACKUP, IDS_BACKUP_FAILED, TIMER_BACKUP, "Reading...", IDR_AVI_BACKUP);
}
