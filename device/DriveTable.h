// The removable cards found on the machine: one row per card, in the order
// of their physical drive numbers, row i being item i of the drive list.
#pragma once

#include "platform/winapi.h"

#include <cstddef>

constexpr int DRIVE_TABLE_SIZE = 10;
// A drive layout with room for 21 partitions: 8 + 21 * 32 bytes.
constexpr DWORD LAYOUT_BUFFER_SIZE = 680;

struct DriveEntry {
    char szDriveNumber[2];  // the physical drive number, one digit
    char szDriveLetter[2];  // the letter of the card's volume; empty row when NUL
};

extern DriveEntry g_driveTable[DRIVE_TABLE_SIZE];
// The layout of the physical drive being probed, and of the volume.
extern BYTE* g_pDiskLayout;
extern BYTE* g_pVolumeLayout;
extern DISK_GEOMETRY g_diskGeometry;

// Finds the letter of a volume on the disk whose layout g_pDiskLayout holds,
// one not yet given to rows 0 to k-1, and writes it into row k.
bool FindVolumeLetter(int k);

// The capacity the geometry describes, in bytes, without wrapping.
ULONGLONG DriveCapacity(const DISK_GEOMETRY& geometry);

// "%.2fMB" below 1024 MB, else "%.2fGB", from the whole KiB of the size.
void FormatDriveSize(ULONGLONG bytes, char* text, size_t size);
