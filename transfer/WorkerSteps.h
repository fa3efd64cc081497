// Steps both workers share.
#pragma once

#include "transfer/TransferJob.h"

#include <atomic>

namespace worker {

// The stop event is polled with a zero time-out before every chunk.
bool StopRequested();

// The length of the next chunk: a whole chunk, or what is left.
DWORD ChunkLength(ULONGLONG remaining);

// A phase counter as the dialog sees it. The worker counts on its own copy
// and publishes it; a counter the Quit handler has cleared stays cleared.
class PhaseCounter {
public:
    explicit PhaseCounter(std::atomic<ULONGLONG>& shared) : shared_(shared), published_(shared.load()) {}

    void Publish(ULONGLONG remaining) {
        ULONGLONG expected = published_;
        if (shared_.compare_exchange_strong(expected, remaining)) published_ = remaining;
    }
    // The phase failed or was stopped: the flag first, then the counter.
    void Fail() {
        g_job.m_bFailed.store(1);
        shared_.store(0);
        published_ = 0;
    }

private:
    std::atomic<ULONGLONG>& shared_;
    ULONGLONG published_;
};

// The worker's own error box: its text in its own buffer, no owner window.
void ShowError(UINT stringId);

// The image file would not open: the card is unlocked, the worker's own box
// says so, and the job ends as failed with no kind.
void ImageNotOpened(UINT stringId, std::atomic<ULONGLONG>& counter, std::atomic<HANDLE>& thread);

// Lets the dialog's thread run between chunks.
void Yield();

}  // namespace worker
