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

void Yield() { Sleep(0); }

}  // namespace worker
