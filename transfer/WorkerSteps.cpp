#include "transfer/WorkerSteps.h"

namespace worker {

bool StopRequested() { return WaitForSingleObject(g_job.m_hStopEvent, 0) == WAIT_OBJECT_0; }

DWORD ChunkLength(ULONGLONG remaining) {
    return remaining >= TRANSFER_CHUNK_SIZE ? TRANSFER_CHUNK_SIZE : (DWORD)remaining;
}

void ShowError(UINT stringId) {
    char text[512] = {};
    LoadStringA(GetModuleHandleA(nullptr), stringId, text, (int)sizeof text);
    MessageBoxA(nullptr, text, "Error", MB_OK | MB_ICONERROR);
}

void ImageNotOpened(UINT stringId, std::atomic<ULONGLONG>& counter, std::atomic<HANDLE>& thread) {
    DWORD returned = 0;
    DeviceIoControl(g_job.m_hDevice, FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr);
    ShowError(stringId);
    g_job.m_nJobKind.store(JOB_NONE);
    g_job.m_bFailed.store(1);
    counter.store(0);
    thread.store(nullptr);
}

void Yield() { Sleep(0); }

}  // namespace worker
