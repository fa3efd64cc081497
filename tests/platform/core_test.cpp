// Handles, threads, events, waits, the named mutex, message boxes and the
// file calls' own rules, independent of any backend.
#include "platform/backend.h"
#include "platform/core/paths.h"
#include "platform/instance.h"
#include "platform/sim/sim_backend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

TEST(Handles, AClosedHandleIsDeadForGood) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    ASSERT_TRUE(CloseHandle(event));
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    // A new object never takes the old value.
    HANDLE next = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_NE(next, event);
    DWORD n = 0;
    char byte = 0;
    EXPECT_FALSE(ReadFile(event, &byte, 1, &n, nullptr));
    EXPECT_FALSE(ReadFile(INVALID_HANDLE_VALUE, &byte, 1, &n, nullptr));
    EXPECT_FALSE(DeviceIoControl(nullptr, FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0, &n, nullptr));
    CloseHandle(next);
}

TEST(Events, ManualStaysSignalledAutoIsConsumed) {
    HANDLE manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE automatic = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    SetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    ResetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 10), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);
    CloseHandle(manual);
    CloseHandle(automatic);
}

TEST(Events, ANamedEventIsSharedByName) {
    HANDLE first = CreateEventA(nullptr, TRUE, FALSE, "Event_Corvane_test");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    HANDLE second = CreateEventA(nullptr, TRUE, FALSE, "Event_Corvane_test");
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    SetEvent(first);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
    CloseHandle(first);
    CloseHandle(second);
}

TEST(Events, AWaitEndsWhenAnotherThreadSignals) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread setter([event] {
        Sleep(20);
        SetEvent(event);
    });
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    setter.join();
    CloseHandle(event);
}

std::atomic<int> g_ran{0};
DWORD WINAPI countAndReturn(LPVOID parameter) {
    g_ran += *static_cast<int*>(parameter);
    return 42;
}

TEST(Threads, ASuspendedThreadRunsOnlyOnceResumedAndItsHandleIsWaitable) {
    g_ran = 0;
    int add = 5;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, countAndReturn, &add, CREATE_SUSPENDED, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(WaitForSingleObject(thread, 50), WAIT_TIMEOUT);
    EXPECT_EQ(g_ran.load(), 0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(g_ran.load(), 5);
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    // Ended threads stay signalled.
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    CloseHandle(thread);
}

TEST(NamedMutex, ASecondCreatorLearnsItExistsAndCanRaiseTheFirst) {
    const char* name = "CORVANE_TEST_MUTEX_";
    std::mutex lock;
    std::condition_variable cv;
    std::string asked;
    platform::SetActivateHandler([&](const std::string& request) {
        std::lock_guard<std::mutex> guard(lock);
        asked = request;
        cv.notify_all();
    });
    HANDLE first = CreateMutexA(nullptr, FALSE, name);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);

    // Another process asks: the name is taken there too.
    pid_t child = fork();
    if (child == 0) {
        HANDLE again = CreateMutexA(nullptr, FALSE, name);
        bool exists = again != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
        bool sent = platform::ContestedMutexName() == name && platform::ActivateOtherInstance(name, "raise Corvane");
        _exit(exists && sent ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    {
        std::unique_lock<std::mutex> guard(lock);
        EXPECT_TRUE(cv.wait_for(guard, std::chrono::seconds(10), [&] { return !asked.empty(); }));
        EXPECT_EQ(asked, "raise Corvane");
    }

    // Once the holder lets go, the next creator is first again.
    CloseHandle(first);
    HANDLE fresh = CreateMutexA(nullptr, FALSE, name);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_FALSE(platform::ActivateOtherInstance("CORVANE_NOBODY_HOLDS_THIS_", "raise Corvane"));
    CloseHandle(fresh);
    platform::SetActivateHandler(nullptr);
}

TEST(MessageBoxes, GoToTheHandlerAndWithoutOneAQuestionIsDeclined) {
    std::string seen;
    platform::SetMessageBoxHandler([&](HWND owner, const std::string& text, const std::string& caption, UINT type) {
        seen = text + "|" + caption + "|" + std::to_string(type) + "|" + (owner ? "owned" : "none");
        return IDYES;
    });
    EXPECT_EQ(MessageBoxA(nullptr, "Failed to backup the data.", "Error", MB_OK | MB_ICONERROR), IDYES);
    EXPECT_EQ(seen, "Failed to backup the data.|Error|16|none");
    platform::SetMessageBoxHandler(nullptr);
    EXPECT_EQ(MessageBoxA(nullptr, "Do you overwrite?", "Message", MB_YESNO | MB_ICONINFORMATION), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "Done.", "Message", MB_OK | MB_ICONINFORMATION), IDOK);
}

TEST(Paths, DeviceAndDosPathsAreRecognised) {
    struct Case {
        const char* path;
        platform::DevicePath::Kind kind;
        int number;
        char letter;
    };
    const Case cases[] = {
        {"\\\\.\\PhysicalDrive0", platform::DevicePath::PhysicalDrive, 0, 0},
        {"\\\\.\\PhysicalDrive9", platform::DevicePath::PhysicalDrive, 9, 0},
        {"\\\\.\\physicaldrive12", platform::DevicePath::PhysicalDrive, 12, 0},
        {"\\\\.\\PhysicalDrive", platform::DevicePath::None, -1, 0},
        {"\\\\.\\PhysicalDrive1x", platform::DevicePath::None, -1, 0},
        {"\\\\.\\e:", platform::DevicePath::Volume, -1, 'E'},
        {"\\\\.\\E:\\", platform::DevicePath::None, -1, 0},
        {"E:\\Drive.bin", platform::DevicePath::None, -1, 0},
    };
    for (const Case& c : cases) {
        platform::DevicePath d = platform::ParseDevicePath(c.path);
        EXPECT_EQ(d.kind, c.kind) << c.path;
        EXPECT_EQ(d.number, c.number) << c.path;
        EXPECT_EQ(d.letter, c.letter) << c.path;
    }
    char letter = 0;
    std::string rest;
    EXPECT_TRUE(platform::ParseDosPath("c:\\images\\card.bin", &letter, &rest));
    EXPECT_EQ(letter, 'C');
    EXPECT_EQ(rest, "images/card.bin");
    EXPECT_FALSE(platform::ParseDosPath("/tmp/card.bin", &letter, &rest));
    EXPECT_FALSE(platform::ParseDosPath("C:card.bin", &letter, &rest));
}

// Image files on the host, through the simulated world's POSIX paths.
class HostFiles : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetBackend(std::make_shared<platform::sim::SimWorld>());
        folder = std::filesystem::temp_directory_path() / ("corvane-core-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        platform::SetBackend(nullptr);
        std::filesystem::remove_all(folder);
    }
    std::filesystem::path folder;
};

TEST_F(HostFiles, ExclusiveOpenCreateAlwaysAndPointerMoves) {
    const std::string path = (folder / "image.bin").string();
    {
        std::ofstream(path) << "old content";
    }
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    // No sharing: a second open is refused while the first holds it.
    HANDLE other = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    // Emptied, then written.
    DWORD n = 0;
    LARGE_INTEGER size{};
    ASSERT_TRUE(GetFileSizeEx(h, &size));
    EXPECT_EQ(size.QuadPart, 0);
    ASSERT_TRUE(WriteFile(h, "0123456789", 10, &n, nullptr));
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(SetFilePointer(h, -4, nullptr, FILE_CURRENT), 6u);
    char buffer[8] = {};
    ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &n, nullptr));
    EXPECT_EQ(std::string(buffer, n), "6789");
    // At the end a read succeeds with nothing.
    ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &n, nullptr));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(SetFilePointer(h, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    CloseHandle(h);
    other = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(other, INVALID_HANDLE_VALUE);
    CloseHandle(other);
}

TEST_F(HostFiles, OnlyRegularFilesAreImages) {
    ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0600), 0);
    for (std::string path : {std::string("/dev/null"), std::string("/dev/zero"), (folder / "fifo").string(),
                             folder.string()}) {
        for (DWORD creation : {CREATE_ALWAYS, OPEN_EXISTING}) {
            HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, creation, 0, nullptr);
            EXPECT_EQ(h, INVALID_HANDLE_VALUE) << path;
            EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED) << path;
        }
    }
    EXPECT_FALSE(DeleteFileA(folder.string().c_str())) << "a folder is not deleted as a file";
}

TEST_F(HostFiles, FindFirstMatchesNamesAndWildcards) {
    { std::ofstream(folder / "a.bin") << "12345"; }
    { std::ofstream(folder / "b.bin") << "1"; }
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder / "a.bin").string().c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "a.bin");
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_FALSE(FindNextFileA(find, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    FindClose(find);
    find = FindFirstFileA((folder / "*.bin").string().c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    int found = 1;
    while (FindNextFileA(find, &data)) ++found;
    EXPECT_EQ(found, 2);
    FindClose(find);
    EXPECT_EQ(FindFirstFileA((folder / "c.bin").string().c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FindFirstFileA((folder.string() + "/").c_str(), &data), INVALID_HANDLE_VALUE);
    std::string tooLong = folder.string() + "/" + std::string(300, 'x');
    EXPECT_EQ(FindFirstFileA(tooLong.c_str(), &data), INVALID_HANDLE_VALUE);
}

}  // namespace
