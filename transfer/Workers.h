// The two worker threads of a job and the one way to start them.
#pragma once

#include "platform/winapi.h"

// Copies the card into the image file, then reads both again and compares
// them. Reports only through g_job.
DWORD WINAPI BackupThreadProc(LPVOID lpParameter);

// Writes the image file onto the card, reading every chunk back and
// comparing it. Reports only through g_job.
DWORD WINAPI RestoreThreadProc(LPVOID lpParameter);

enum TransferStart {
    TRANSFER_STARTED,
    TRANSFER_DEVICE_NOT_OPENED,  // m_hDevice is INVALID_HANDLE_VALUE
    TRANSFER_DEVICE_IN_USE,      // the lock was refused; the card is closed again
    TRANSFER_NO_WORKER,          // no thread could be started; the card is released and closed
};

// Opens and locks the card at pszDevicePath into m_hDevice, sets m_nJobKind,
// presets the job's counters and failure flag, and starts the worker of
// nJobKind. m_szImagePath and m_dwTotalBytes must hold the job's image and
// size. Only TRANSFER_STARTED leaves a worker running and m_nJobKind set;
// otherwise m_nJobKind keeps the value it had.
TransferStart StartTransferJob(BYTE nJobKind, LPCSTR pszDevicePath);

// The card's handle is closed and marked invalid, so that nothing reaches it
// again; an invalid handle is left alone.
void CloseDevice();
