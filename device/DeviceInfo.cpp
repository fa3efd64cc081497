// The selected card's capacity: the size of every job on it.
#include "device/DriveTable.h"
#include "transfer/TransferJob.h"
#include "ui/CorvaneDlg.h"

#include <cstdio>
#include <cstring>

ULONGLONG DriveCapacity(const DISK_GEOMETRY& geometry) {
    // In 64 bits: cards of 4 GiB and more keep their whole size.
    return (ULONGLONG)geometry.Cylinders.QuadPart * geometry.BytesPerSector * geometry.SectorsPerTrack *
           geometry.TracksPerCylinder;
}

void FormatDriveSize(ULONGLONG bytes, char* text, size_t size) {
    const ULONGLONG kib = bytes >> 10;
    const double mib = (double)kib * (1.0 / 1024.0);
    if (mib < 1024.0)
        std::snprintf(text, size, "%.2fMB", mib);
    else
        std::snprintf(text, size, "%.2fGB", (double)kib * (1.0 / 1048576.0));
}

void CCorvaneDlg::ShowDeviceInfo() {
    char szText[MAX_PATH] = {};
    std::memset(&g_diskGeometry, 0, sizeof g_diskGeometry);
    const int row = m_comboDrive.GetCurSel();
    if (row == CB_ERR || row < 0 || row >= DRIVE_TABLE_SIZE || !g_driveTable[row].szDriveNumber[0]) return;

    char path[MAX_PATH] = {};
    std::snprintf(path, sizeof path, "\\\\.\\PhysicalDrive%s", g_driveTable[row].szDriveNumber);
    HANDLE drive = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (drive == INVALID_HANDLE_VALUE) return;
    if (!DeviceIoControl(drive, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &g_job.m_dwBytesReturned, nullptr)) {
        g_job.m_strMessage.LoadString(IDS_DRIVE_IN_USE);
        MessageBox(g_job.m_strMessage, "Message", MB_OK | MB_ICONINFORMATION);
        CloseHandle(drive);
        return;
    }
    if (!DeviceIoControl(drive, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &g_diskGeometry, sizeof g_diskGeometry,
                         &g_job.m_dwBytesReturned, nullptr)) {
        DeviceIoControl(drive, FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0, &g_job.m_dwBytesReturned, nullptr);
        SetDlgItemText(IDC_STATUS, "Failed to read the device information.");
        CloseHandle(drive);
        return;
    }
    const ULONGLONG size = DriveCapacity(g_diskGeometry);
    g_job.m_dwTotalBytes.store(size);
    FormatDriveSize(size, szText, sizeof szText);
    SetDlgItemText(IDC_DRIVE_SIZE, szText);
    DeviceIoControl(drive, FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0, &g_job.m_dwBytesReturned, nullptr);
    CloseHandle(drive);
}
