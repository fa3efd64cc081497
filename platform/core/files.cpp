// File, device and volume calls, passed to the installed backend.
#include "platform/backend.h"
#include "platform/core/handles.h"
#include "platform/core/paths.h"

#include <cstdio>
#include <cstring>
#include <mutex>

namespace platform {
namespace {

std::mutex g_backendLock;
std::shared_ptr<Backend> g_backend;

std::shared_ptr<FileObject> fileOf(HANDLE handle) {
    auto file = LookupAs<FileObject>(handle);
    if (!file) SetLastError(ERROR_INVALID_HANDLE);
    return file;
}

// The ANSI calls take at most MAX_PATH - 1 characters.
bool pathFits(LPCSTR path) {
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (std::strlen(path) >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return true;
}

std::shared_ptr<Backend> backendOrFail() {
    auto backend = GetBackend();
    if (!backend) SetLastError(ERROR_NOT_READY);
    return backend;
}

}  // namespace

void SetBackend(std::shared_ptr<Backend> backend) {
    std::lock_guard<std::mutex> guard(g_backendLock);
    g_backend = std::move(backend);
}

std::shared_ptr<Backend> GetBackend() {
    std::lock_guard<std::mutex> guard(g_backendLock);
    return g_backend;
}

}  // namespace platform

using namespace platform;

namespace {
thread_local DWORD t_lastError = 0;
}

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD dwErrCode) { t_lastError = dwErrCode; }

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE) {
    if (!pathFits(lpFileName)) return INVALID_HANDLE_VALUE;
    // The device namespace holds drives and volumes only: anything else in
    // it is no file of the host either.
    if (std::strncmp(lpFileName, "\\\\.\\", 4) == 0 && ParseDevicePath(lpFileName).kind == DevicePath::None) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    auto backend = backendOrFail();
    if (!backend) return INVALID_HANDLE_VALUE;
    auto file = backend->CreateFile(lpFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition,
                                    dwFlagsAndAttributes);
    if (!file) return INVALID_HANDLE_VALUE;
    DWORD error = GetLastError();  // ERROR_ALREADY_EXISTS after CREATE_ALWAYS survives
    HANDLE handle = AddHandle(std::move(file));
    SetLastError(error);
    return handle;
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED) {
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
    auto file = fileOf(hFile);
    if (!file) return FALSE;
    DWORD done = 0;
    if (!file->Read(lpBuffer, nNumberOfBytesToRead, &done)) return FALSE;
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = done;
    return TRUE;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED) {
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
    auto file = fileOf(hFile);
    if (!file) return FALSE;
    DWORD done = 0;
    if (!file->Write(lpBuffer, nNumberOfBytesToWrite, &done)) return FALSE;
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = done;
    return TRUE;
}

DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
    auto file = fileOf(hFile);
    if (!file) return INVALID_SET_FILE_POINTER;
    // Without the high part the distance is a signed 32-bit value.
    LONGLONG distance = lpDistanceToMoveHigh
                            ? (LONGLONG)(((ULONGLONG)(DWORD)*lpDistanceToMoveHigh << 32) | (DWORD)lDistanceToMove)
                            : (LONGLONG)lDistanceToMove;
    ULONGLONG position = 0;
    if (!file->Seek(distance, dwMoveMethod, &position)) return INVALID_SET_FILE_POINTER;
    if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = (LONG)(position >> 32);
    SetLastError(ERROR_SUCCESS);
    return (DWORD)position;
}

BOOL SetFilePointerEx(HANDLE hFile, LARGE_INTEGER liDistanceToMove, PLARGE_INTEGER lpNewFilePointer,
                      DWORD dwMoveMethod) {
    auto file = fileOf(hFile);
    if (!file) return FALSE;
    ULONGLONG position = 0;
    if (!file->Seek(liDistanceToMove.QuadPart, dwMoveMethod, &position)) return FALSE;
    if (lpNewFilePointer) lpNewFilePointer->QuadPart = (LONGLONG)position;
    return TRUE;
}

BOOL GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize) {
    auto file = fileOf(hFile);
    if (!file) return FALSE;
    ULONGLONG size = 0;
    if (!file->Size(&size)) return FALSE;
    if (lpFileSize) lpFileSize->QuadPart = (LONGLONG)size;
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE hFile) {
    auto file = fileOf(hFile);
    if (!file) return FALSE;
    return file->Flush() ? TRUE : FALSE;
}

BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize,
                     LPVOID lpOutBuffer, DWORD nOutBufferSize, LPDWORD lpBytesReturned, LPOVERLAPPED) {
    auto file = fileOf(hDevice);
    if (!file) return FALSE;
    DWORD returned = 0;
    BOOL ok = file->Control(dwIoControlCode, lpInBuffer, nInBufferSize, lpOutBuffer, nOutBufferSize, &returned)
                  ? TRUE
                  : FALSE;
    if (lpBytesReturned) *lpBytesReturned = returned;
    return ok;
}

BOOL CloseHandle(HANDLE hObject) {
    if (!RemoveHandle(hObject)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL DeleteFileA(LPCSTR lpFileName) {
    auto backend = backendOrFail();
    if (!pathFits(lpFileName) || !backend) return FALSE;
    return backend->DeleteFile(lpFileName) ? TRUE : FALSE;
}

BOOL GetFileAttributesExA(LPCSTR lpFileName, GET_FILEEX_INFO_LEVELS fInfoLevelId, LPVOID lpFileInformation) {
    if (!pathFits(lpFileName)) return FALSE;
    if (fInfoLevelId != GetFileExInfoStandard || !lpFileInformation) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto backend = backendOrFail();
    if (!backend) return FALSE;
    return backend->GetFileAttributes(lpFileName, static_cast<WIN32_FILE_ATTRIBUTE_DATA*>(lpFileInformation))
               ? TRUE
               : FALSE;
}

HANDLE FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
    if (!pathFits(lpFileName)) return INVALID_HANDLE_VALUE;
    if (!lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto backend = backendOrFail();
    if (!backend) return INVALID_HANDLE_VALUE;
    auto find = backend->FindFirst(lpFileName, lpFindFileData);
    if (!find) return INVALID_HANDLE_VALUE;
    return AddHandle(std::move(find));
}

BOOL FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
    auto find = LookupAs<FindObject>(hFindFile);
    if (!find || !lpFindFileData) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return find->Next(lpFindFileData) ? TRUE : FALSE;
}

BOOL FindClose(HANDLE hFindFile) {
    if (!LookupAs<FindObject>(hFindFile)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return CloseHandle(hFindFile);
}

DWORD GetLogicalDrives() {
    auto backend = backendOrFail();
    return backend ? backend->GetLogicalDrives() : 0;
}

BOOL GetDiskFreeSpaceExA(LPCSTR lpDirectoryName, PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                         PULARGE_INTEGER lpTotalNumberOfBytes, PULARGE_INTEGER lpTotalNumberOfFreeBytes) {
    auto backend = backendOrFail();
    if (!backend) return FALSE;
    ULONGLONG callerFree = 0, total = 0, totalFree = 0;
    if (!backend->GetDiskFreeSpace(lpDirectoryName ? lpDirectoryName : "", &callerFree, &total, &totalFree))
        return FALSE;
    if (lpFreeBytesAvailableToCaller) lpFreeBytesAvailableToCaller->QuadPart = callerFree;
    if (lpTotalNumberOfBytes) lpTotalNumberOfBytes->QuadPart = total;
    if (lpTotalNumberOfFreeBytes) lpTotalNumberOfFreeBytes->QuadPart = totalFree;
    return TRUE;
}

// ---- message boxes ----------------------------------------------------------

namespace {
std::mutex g_boxLock;
MessageBoxHandler g_boxHandler;
}  // namespace

void platform::SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard<std::mutex> guard(g_boxLock);
    g_boxHandler = std::move(handler);
}

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    MessageBoxHandler handler;
    {
        std::lock_guard<std::mutex> guard(g_boxLock);
        handler = g_boxHandler;
    }
    std::string text = lpText ? lpText : "";
    std::string caption = lpCaption ? lpCaption : "Error";
    if (handler) return handler(hWnd, text, caption, uType);
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    // Nobody can answer: a question is declined, never taken as a Yes.
    return (uType & 0xF) == MB_YESNO ? IDNO : IDOK;
}
