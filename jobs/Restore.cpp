// "IMG -> CF": the confirmation and checks before a restore, then its start.
#include "device/DriveTable.h"
#include "jobs/Launch.h"
#include "transfer/TransferJob.h"
#include "ui/CorvaneDlg.h"

#include <cstring>

void CCorvaneDlg::OnRestore() {
    if (!g_bRestoreEnabled || g_job.m_nJobKind.load() != JOB_NONE) return;

    std::memset(g_job.m_szImagePath, 0, sizeof g_job.m_szImagePath);
    const int row = m_comboDrive.GetCurSel();
    const char* letter = row >= 0 && row < DRIVE_TABLE_SIZE ? g_driveTable[row].szDriveLetter : "";

    g_job.m_strMessage.LoadString(IDS_CONFIRM_RESTORE);
    const std::string question = FormatWithLetter(g_job.m_strMessage, letter).substr(0, MAX_PATH - 1);
    if (MessageBox(question.c_str(), "Message", MB_YESNO | MB_ICONINFORMATION) != IDYES) {
        UpdateActionButtons();
        SetActionButtonStates(g_bBackupEnabled, 1);
        return;
    }

    GetDlgItemText(IDC_FILE_NAME, g_job.m_szImagePath, MAX_PATH);
    CFileFind finder;
    if (!finder.FindFile(g_job.m_szImagePath, 0)) {
        g_job.m_strMessage.LoadString(IDS_FILE_NOT_FOUND);
        MessageBox(g_job.m_strMessage, "Error", MB_OK | MB_ICONERROR);
        return;
    }
    finder.FindNextFile();
    if (finder.GetLength() > g_job.m_dwTotalBytes.load()) {
        g_job.m_strMessage.LoadString(IDS_IMAGE_TOO_LARGE);
        MessageBox(g_job.m_strMessage, "Error", MB_OK | MB_ICONERROR);
        return;
    }
    finder.Close();

    ApplyBusyLook();

    LaunchJob(JOB_RESTORE, IDS_RESTORE_FAILED, TIMER_RESTORE, "Writing...", IDR_AVI_RESTORE);
}
