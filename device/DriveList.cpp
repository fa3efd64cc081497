// Finding the removable cards and their drive letters.
#include "device/DriveTable.h"
#include "transfer/TransferJob.h"
#include "ui/CorvaneDlg.h"

#include <cstdio>
#include <cstring>

DriveEntry g_driveTable[DRIVE_TABLE_SIZE];
BYTE* g_pDiskLayout = nullptr;
BYTE* g_pVolumeLayout = nullptr;
DISK_GEOMETRY g_diskGeometry;

namespace {

HANDLE openShared(LPCSTR path) {
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       0, nullptr);
}

// The Signature field of a layout buffer.
DWORD& signatureOf(BYTE* layout) { return reinterpret_cast<DRIVE_LAYOUT_INFORMATION*>(layout)->Signature; }

bool letterTaken(char letter, int k) {
    for (int row = 0; row < k; ++row)
        if (g_driveTable[row].szDriveLetter[0] == letter) return true;
    return false;
}

}  // namespace

bool FindVolumeLetter(int k) {
    const DWORD drives = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(drives & (1u << i))) continue;
        const char letter = (char)('A' + i);
        // A: and B: are never opened.
        if (letter == 'A' || letter == 'B') continue;
        char path[8];
        std::snprintf(path, sizeof path, "\\\\.\\%c:", letter);
        HANDLE volume = openShared(path);
        signatureOf(g_pVolumeLayout) = 0xFFFFFFFF;
        if (volume != INVALID_HANDLE_VALUE) {
            DeviceIoControl(volume, IOCTL_DISK_GET_DRIVE_LAYOUT, nullptr, 0, g_pVolumeLayout, LAYOUT_BUFFER_SIZE,
                            &g_job.m_dwBytesReturned, nullptr);
            CloseHandle(volume);
        }
        const DWORD signature = signatureOf(g_pVolumeLayout);
        if (signature == 0xFFFFFFFF || signature != signatureOf(g_pDiskLayout)) continue;
        if (letterTaken(letter, k)) continue;
        g_driveTable[k].szDriveLetter[0] = letter;
        g_driveTable[k].szDriveLetter[1] = 0;
        return true;
    }
    return false;
}

void CCorvaneDlg::FillDriveList() {
    int k = 0;
    // Without its buffers nothing can be probed: an empty list.
    for (int n = 0; g_pDiskLayout && g_pVolumeLayout && n < DRIVE_TABLE_SIZE; ++n) {
        std::memset(&g_diskGeometry, 0, sizeof g_diskGeometry);
        char number[2] = {(char)('0' + n), 0};
        char path[MAX_PATH] = {};
        std::snprintf(path, sizeof path, "\\\\.\\PhysicalDrive%s", number);
        HANDLE drive = openShared(path);
        if (drive == INVALID_HANDLE_VALUE) continue;
        // A failed query leaves media type 0: not removable.
        DeviceIoControl(drive, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &g_diskGeometry, sizeof g_diskGeometry,
                        &g_job.m_dwBytesReturned, nullptr);
        if (g_diskGeometry.MediaType != RemovableMedia) {
            CloseHandle(drive);
            continue;
        }
        signatureOf(g_pDiskLayout) = 0xFFFFFFFF;
        DeviceIoControl(drive, IOCTL_DISK_GET_DRIVE_LAYOUT, nullptr, 0, g_pDiskLayout, LAYOUT_BUFFER_SIZE,
                        &g_job.m_dwBytesReturned, nullptr);
        if (FindVolumeLetter(k)) {
            std::memcpy(g_driveTable[k].szDriveNumber, number, sizeof number);
            char item[16];
            std::snprintf(item, sizeof item, "%s Drive", g_driveTable[k].szDriveLetter);
            m_comboDrive.AddString(item);
            ++k;
        }
        CloseHandle(drive);
    }
    if (g_driveTable[0].szDriveLetter[0] == 0) {
        g_bBackupEnabled = 0;
        g_bRestoreEnabled = 0;
        return;
    }
    g_bRestoreEnabled = 1;
    m_comboDrive.SetCurSel(0);
}
