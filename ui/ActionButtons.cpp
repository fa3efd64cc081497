// The two action buttons, on or off, and the look of a running job.
#include "ui/CorvaneDlg.h"

BYTE g_bBackupEnabled = 0;
BYTE g_bRestoreEnabled = 0;

void CCorvaneDlg::SetActionButtonStates(int nBackup, int nRestore) {
    if (nBackup == 0) {
        m_btnBackup.SetBitmap(m_bmpBackupOff);
        g_bBackupEnabled = 0;
    } else if (nBackup == 1) {
        m_btnBackup.SetBitmap(m_bmpBackupOn);
        g_bBackupEnabled = 1;
    }
    if (nRestore == 0) {
        m_btnRestore.SetBitmap(m_bmpRestoreOff);
        g_bRestoreEnabled = 0;
    } else if (nRestore == 1) {
        m_btnRestore.SetBitmap(m_bmpRestoreOn);
        g_bRestoreEnabled = 1;
    }
}

void CCorvaneDlg::ApplyBusyLook() {
    SetActionButtonStates(0, 0);
    m_btnBrowse.SetIcon(m_hIconBrowseBusy);
    m_btnRefresh.SetIcon(m_hIconRefreshBusy);
    m_editFileName.EnableWindow(FALSE);
    m_comboDrive.EnableWindow(FALSE);
}
