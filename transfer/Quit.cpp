// Quit: the one way out of the dialog.
#include "transfer/TransferJob.h"
#include "ui/CorvaneDlg.h"

void CCorvaneDlg::OnQuit() {
    g_job.m_bQuitting.store(1);
    // The message makes the dialog's loop look once more, so it sees the end at once.
    PostMessage(WM_NULL, 0, 0);
    CDialog::OnCancel();
}
