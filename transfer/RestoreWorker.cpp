// The restore worker: image to card, each chunk read back and compared.
#include "res/resource.h"
#include "transfer/WorkerSteps.h"
#include "transfer/Workers.h"

#include <cstring>

using worker::ChunkLength;
using worker::PhaseCounter;
using worker::StopRequested;

namespace {

struct alignas(4096) Chunk {
    BYTE bytes[TRANSFER_CHUNK_SIZE];
};

// How many bytes the restore writes: the whole image, which must fit the card.
bool imageLength(ULONGLONG total, ULONGLONG* length) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(g_job.m_hImageFile, &size) || size.QuadPart < 0) return false;
    if ((ULONGLONG)size.QuadPart > total) return false;  // grew since the launch looked
    *length = (ULONGLONG)size.QuadPart;
    return true;
}

// The card receives exactly the image's bytes: nothing is padded, and the
// rest of a card larger than the image is left as it was.
void writeImage(Chunk& a, Chunk& b, ULONGLONG total) {
    PhaseCounter counter(g_job.m_dwWriteRemaining);
    ULONGLONG remaining = 0;
    if (!imageLength(total, &remaining)) {
        counter.Fail();
        return;
    }
    g_job.m_dwJobBytes.store(remaining);
    counter.Publish(remaining);
    while (remaining > 0) {
        if (StopRequested()) break;
        DWORD length = ChunkLength(remaining), read = 0, written = 0, readBack = 0;
        // The image is read for what is left of it, so an image that shrank
        // under us fails instead of ending early.
        if (!ReadFile(g_job.m_hImageFile, a.bytes, length, &read, nullptr) || read == 0) break;
        if (!WriteFile(g_job.m_hDevice, a.bytes, read, &written, nullptr) || written != read) break;
        // Back to the chunk's start; a failed move would verify the wrong
        // bytes and write the next chunk to the wrong place.
        LARGE_INTEGER back{};
        back.QuadPart = -(LONGLONG)written;
        if (!SetFilePointerEx(g_job.m_hDevice, back, nullptr, FILE_CURRENT)) break;
        if (!ReadFile(g_job.m_hDevice, b.bytes, written, &readBack, nullptr) || readBack != written) break;
        if (std::memcmp(a.bytes, b.bytes, written) != 0) break;
        remaining -= read;
        counter.Publish(remaining);
        worker::Yield();
    }
    if (remaining > 0)
        counter.Fail();
    else
        counter.Publish(0);
}

}  // namespace

DWORD WINAPI RestoreThreadProc(LPVOID) {
    Chunk a, b;
    const ULONGLONG total = g_job.m_dwTotalBytes.load();

    // Read access is enough, so a write-protected master image restores too;
    // no sharing, so nobody changes it while it is written out.
    g_job.m_hImageFile = CreateFileA(g_job.m_szImagePath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (g_job.m_hImageFile == INVALID_HANDLE_VALUE) {
        worker::ImageNotOpened(IDS_RESTORE_FAILED, g_job.m_dwWriteRemaining, g_job.m_hRestoreThread);
        return 0;
    }

    writeImage(a, b, total);

    CloseHandle(g_job.m_hImageFile);
    g_job.m_hRestoreThread.store(nullptr);
    return 0;
}
