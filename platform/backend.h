// What stands behind the file and device calls of platform/winapi.h.
//
// A backend is a world of files, disks and volumes: the Linux block layer
// (platform/linux) or simulated cards (platform/sim). The program never sees
// this header; start-up code and tests choose the backend.
#pragma once

#include "platform/winapi.h"

#include <functional>
#include <memory>
#include <string>

namespace platform {

// Anything a HANDLE can stand for.
class KernelObject {
public:
    virtual ~KernelObject() = default;
    // The waitable objects (threads, events) answer this; others fail the wait.
    virtual bool Waitable() const { return false; }
};

// An open file or device. Each call reports failure by returning false after
// SetLastError; counts are written on success only.
class FileObject : public KernelObject {
public:
    virtual bool Read(void* buffer, DWORD length, DWORD* done) = 0;
    virtual bool Write(const void* buffer, DWORD length, DWORD* done) = 0;
    // Moves the position; method is FILE_BEGIN, FILE_CURRENT or FILE_END.
    virtual bool Seek(LONGLONG distance, DWORD method, ULONGLONG* newPosition) = 0;
    virtual bool Flush() = 0;
    virtual bool Size(ULONGLONG* size) = 0;
    // Device controls; a plain file answers ERROR_INVALID_FUNCTION.
    virtual bool Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                         DWORD* returned) {
        (void)code, (void)in, (void)inSize, (void)out, (void)outSize, (void)returned;
        SetLastError(ERROR_INVALID_FUNCTION);
        return false;
    }
};

// An open directory search.
class FindObject : public KernelObject {
public:
    virtual bool Next(WIN32_FIND_DATAA* data) = 0;
};

class Backend {
public:
    virtual ~Backend() = default;
    // nullptr after SetLastError on failure.
    virtual std::shared_ptr<FileObject> CreateFile(const std::string& path, DWORD access, DWORD share,
                                                   DWORD creation, DWORD flags) = 0;
    virtual bool DeleteFile(const std::string& path) = 0;
    virtual bool GetFileAttributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA* data) = 0;
    // The first match of a pattern; nullptr (ERROR_FILE_NOT_FOUND) when none.
    virtual std::shared_ptr<FindObject> FindFirst(const std::string& pattern, WIN32_FIND_DATAA* data) = 0;
    virtual DWORD GetLogicalDrives() = 0;
    virtual bool GetDiskFreeSpace(const std::string& root, ULONGLONG* callerFree, ULONGLONG* total,
                                  ULONGLONG* totalFree) = 0;
};

// The backend behind every file and device call. Installing one replaces the
// previous one; handles opened before keep the object they were opened on.
void SetBackend(std::shared_ptr<Backend> backend);
std::shared_ptr<Backend> GetBackend();

// Owner-less message boxes (a worker's own error box) and boxes of a window
// go to this handler. The UI backend installs one that shows the box; tests
// install one that records it. Without a handler the box is written to
// standard error and answered with its first button.
using MessageBoxHandler = std::function<int(HWND owner, const std::string& text, const std::string& caption,
                                            UINT type)>;
void SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace platform
