// "IMG -> CF": the confirmation and checks before a restore, then its start.
#include "device/DriveTable.h"
#include "jobs/Launch.h"
#include "transfer/TransferJob.h"
#include "transfer/Workers.h"
#include "ui/CorvaneDlg.h"

#include <cstdio>
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

    char szDevice[MAX_PATH] = {};
    const int selected = m_comboDrive.GetCurSel();
    std::snprintf(szDevice, sizeof szDevice, "\\\\.\\PhysicalDrive%s",
                  selected >= 0 && selected < DRIVE_TABLE_SIZE ? g_driveTable[selected].szDriveNumber : "");
    switch (StartTransferJob(JOB_RESTORE, szDevice)) {
        case TRANSFER_STARTED: break;
        case TRANSFER_DEVICE_IN_USE:
            g_job.m_strMessage.LoadString(IDS_DRIVE_IN_USE);
            MessageBox(g_job.m_strMessage, "Message", MB_OK | MB_ICONINFORMATION);
            return;
        case TRANSFER_DEVICE_NOT_OPENED:
        case TRANSFER_NO_WORKER:
            g_job.m_strMessage.LoadString(IDS_RESTORE_FAILED);
            MessageBox(g_job.m_strMessage, "Error", MB_OK | MB_ICONERROR);
            return;
    }

    SetTimer(TIMER_RESTORE, TRANSFER_TIMER_PERIOD, nullptr);
    SetDlgItemText(IDC_STATUS, "Writing...");
    m_animation.Open(IDR_AVI_RESTORE);
    m_animation.Play(0, 0xFFFF, (UINT)-1);
}
