// Refresh, a new selection, and the action buttons that follow from it.
#include "device/DriveTable.h"
#include "transfer/TransferJob.h"
#include "ui/CorvaneDlg.h"

#include <cstring>

void CCorvaneDlg::OnRefresh() {
    if (g_job.m_nJobKind.load() != JOB_NONE) return;
    m_comboDrive.ResetContent();
    std::memset(g_driveTable, 0, sizeof g_driveTable);
    FillDriveList();
    ShowDeviceInfo();
    UpdateActionButtons();
}

void CCorvaneDlg::OnSelchangeDrive() {
    ShowDeviceInfo();
    UpdateActionButtons();
}

void CCorvaneDlg::OnEditchangeDrive() {
    ShowDeviceInfo();
    UpdateActionButtons();
}

bool CCorvaneDlg::UpdateActionButtons() {
    if (m_comboDrive.GetCurSel() == CB_ERR) {
        SetActionButtonStates(0, 0);
        return false;
    }
    SetActionButtonStates(1, g_bRestoreEnabled);
    return true;
}
