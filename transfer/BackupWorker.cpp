// The backup worker: card to image, then card against image.
#include "res/resource.h"
#include "transfer/WorkerSteps.h"
#include "transfer/Workers.h"

#include <cstring>

using worker::ChunkLength;
using worker::PhaseCounter;
using worker::StopRequested;

namespace {

// Chunk buffers sit on the worker's stack, aligned so that the card can be
// read without an extra copy.
struct alignas(4096) Chunk {
    BYTE bytes[TRANSFER_CHUNK_SIZE];
};

// Card to image. Exactly the bytes read from the card go into the image;
// a card that ends early is a failure, never a shorter image.
bool copyCard(Chunk& a, ULONGLONG total) {
    PhaseCounter counter(g_job.m_dwReadRemaining);
    ULONGLONG remaining = total;
    while (remaining > 0) {
        if (StopRequested()) break;
        DWORD length = ChunkLength(remaining), read = 0, written = 0;
        if (!ReadFile(g_job.m_hDevice, a.bytes, length, &read, nullptr) || read == 0) break;
        if (!WriteFile(g_job.m_hImageFile, a.bytes, read, &written, nullptr) || written != read) break;
        remaining -= read;
        counter.Publish(remaining);
        worker::Yield();
    }
    if (remaining > 0) {
        counter.Fail();
        return false;
    }
    counter.Publish(0);
    return true;
}

// Card against image, every byte of every chunk.
void compareCardWithImage(Chunk& a, Chunk& b, ULONGLONG total) {
    PhaseCounter counter(g_job.m_dwCompareRemaining);
    ULONGLONG remaining = total;
    while (remaining > 0) {
        if (StopRequested()) break;
        DWORD length = ChunkLength(remaining), readA = 0, readB = 0;
        if (!ReadFile(g_job.m_hDevice, a.bytes, length, &readA, nullptr) || readA == 0) break;
        // The image is read for as many bytes as the card gave, so both stay in step.
        if (!ReadFile(g_job.m_hImageFile, b.bytes, readA, &readB, nullptr) || readB != readA) break;
        if (std::memcmp(a.bytes, b.bytes, readA) != 0) break;
        remaining -= readA;
        counter.Publish(remaining);
        worker::Yield();
    }
    if (remaining > 0)
        counter.Fail();
    else
        counter.Publish(0);
}

}  // namespace

DWORD WINAPI BackupThreadProc(LPVOID) {
    Chunk a, b;
    const ULONGLONG total = g_job.m_dwTotalBytes.load();

    g_job.m_hImageFile = CreateFileA(g_job.m_szImagePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     CREATE_ALWAYS, 0, nullptr);
    if (g_job.m_hImageFile == INVALID_HANDLE_VALUE) {
        worker::ImageNotOpened(IDS_BACKUP_FAILED, g_job.m_dwReadRemaining, g_job.m_hBackupThread);
        return 0;
    }

    if (copyCard(a, total)) {
        // An image that did not reach its storage, or a rewind that did not
        // happen, would make the comparison meaningless: both fail it.
        LARGE_INTEGER start{};
        if (FlushFileBuffers(g_job.m_hImageFile) && SetFilePointerEx(g_job.m_hDevice, start, nullptr, FILE_BEGIN) &&
            SetFilePointerEx(g_job.m_hImageFile, start, nullptr, FILE_BEGIN))
            compareCardWithImage(a, b, total);
        else
            PhaseCounter(g_job.m_dwCompareRemaining).Fail();
    }

    CloseHandle(g_job.m_hImageFile);
    g_job.m_hBackupThread.store(nullptr);
    return 0;
}
