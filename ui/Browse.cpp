// Choosing the image file with the file-open dialog.
#include "transfer/TransferJob.h"
#include "ui/CorvaneDlg.h"

void CCorvaneDlg::OnBrowse() {
    if (g_job.m_nJobKind.load() != JOB_NONE) return;
    CFileDialog dialog(TRUE, nullptr, "*.bin", OFN_OVERWRITEPROMPT | OFN_FILEMUSTEXIST | OFN_CREATEPROMPT,
                       "bin( *.bin )|*.bin|all( *.* )|*.*||", this);
    if (dialog.DoModal() == IDOK) SetDlgItemText(IDC_FILE_NAME, dialog.GetPathName());
}
