#include "jobs/Launch.h"

#include "device/DriveTable.h"
#include "transfer/TransferJob.h"
#include "transfer/Workers.h"
#include "ui/CorvaneDlg.h"

#include <cctype>
#include <cstdio>
#include <cstring>

std::string FormatWithLetter(const char* format, const char* letter) {
    std::string out;
    bool used = false;
    for (const char* p = format ? format : ""; *p; ++p) {
        if (p[0] == '%' && p[1] == 's' && !used) {
            out += letter ? letter : "";
            used = true;
            ++p;
        } else if (p[0] == '%' && p[1] == '%') {
            out += '%';
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

std::string FreeSpaceRoot(const char* imagePath) {
    const std::string path = imagePath ? imagePath : "";
    if (path.size() >= 3 && std::isalpha((unsigned char)path[0]) && path[1] == ':' && (path[2] == '\\' || path[2] == '/'))
        return path.substr(0, 3);
    const size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

void CCorvaneDlg::LaunchJob(BYTE nJobKind, UINT nFailedId, UINT_PTR nTimer, LPCSTR lpszStatus, UINT nClip) {
    char szDevice[MAX_PATH] = {};
    const int row = m_comboDrive.GetCurSel();
    std::snprintf(szDevice, sizeof szDevice, "\\\\.\\PhysicalDrive%s",
                  row >= 0 && row < DRIVE_TABLE_SIZE ? g_driveTable[row].szDriveNumber : "");
    switch (StartTransferJob(nJobKind, szDevice)) {
        case TRANSFER_STARTED: break;
        case TRANSFER_DEVICE_IN_USE:
            g_job.m_strMessage.LoadString(IDS_DRIVE_IN_USE);
            MessageBox(g_job.m_strMessage, "Message", MB_OK | MB_ICONINFORMATION);
            return;
        case TRANSFER_DEVICE_NOT_OPENED:
        case TRANSFER_NO_WORKER:
            g_job.m_strMessage.LoadString(nFailedId);
            MessageBox(g_job.m_strMessage, "Error", MB_OK | MB_ICONERROR);
            return;
    }
    SetTimer(nTimer, TRANSFER_TIMER_PERIOD, nullptr);
    SetDlgItemText(IDC_STATUS, lpszStatus);
    m_animation.Open(nClip);
    m_animation.Play(0, 0xFFFF, (UINT)-1);
}
