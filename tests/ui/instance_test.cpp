// One instance at a time, with real processes: this test plays the running
// instance, then the built program does.
#include "tests/ui/child_process.h"
#include "tests/ui/main_dialog_fixture.h"

#include "app/AboutDlg.h"
#include "app/CorvaneApp.h"
#include "platform/instance.h"

#include <QApplication>
#include <QElapsedTimer>

#include <condition_variable>
#include <csignal>
#include <mutex>
#include <sched.h>

namespace {

const std::map<std::string, std::string> kOffscreen = {{"QT_QPA_PLATFORM", "offscreen"}};

// The requests the running instance receives, on the platform's thread.
class Requests {
public:
    void Add(const std::string& request) {
        std::lock_guard<std::mutex> guard(lock_);
        requests_.push_back(request);
        changed_.notify_all();
    }
    // Waits until count have arrived; gives what has by the limit.
    std::vector<std::string> Await(size_t count) {
        std::unique_lock<std::mutex> guard(lock_);
        changed_.wait_for(guard, std::chrono::seconds(30), [&] { return requests_.size() >= count; });
        return requests_;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::string> requests_;
};

bool PumpUntil(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > 30000) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// The mutex's name is the whole machine's: any other instance running here
// would answer in the test's place. In a network namespace of its own (where
// the machine allows it) the test and the programs it starts have their own
// abstract socket names.
bool OwnNames() {
    static const bool own = ::unshare(CLONE_NEWNET) == 0;
    return own;
}

TEST(SingleInstance, ASecondStartBringsTheFirstForwardAndEnds) {
    if (!OwnNames() && platform::ActivateOtherInstance(CORVANE_MUTEX_NAME, "hello"))
        GTEST_SKIP() << "an instance of corvane runs on this machine, and this test cannot have names of its own "
                        "(unshare(CLONE_NEWNET) needs root)";
    Requests requests;
    platform::SetActivateHandler([&requests](const std::string& request) { requests.Add(request); });
    HANDLE mine = CreateMutexA(nullptr, FALSE, CORVANE_MUTEX_NAME);
    ASSERT_NE(mine, nullptr);
    ASSERT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS) << "an instance of corvane already runs on this machine";

    // Arguments change nothing.
    const pid_t second = StartProgram(CORVANE_PROGRAM, {"--ignored", "E:"}, kOffscreen);
    ASSERT_GT(second, 0);
    const std::optional<int> status = WaitForExit(second);
    ASSERT_TRUE(status.has_value()) << "the second start did not end";
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    EXPECT_EQ(requests.Await(2), (std::vector<std::string>{"restore Corvane", "raise Corvane"}));
    CloseHandle(mine);
    qtfw::InstallQtBackend();

    // The name free again, the program is the first instance.
    const pid_t first = StartProgram(CORVANE_PROGRAM, {}, kOffscreen);
    ASSERT_GT(first, 0);
    // It holds the name once it answers on it; asking does not take it.
    bool listening = false;
    for (int i = 0; i < 3000 && !listening && StillRunning(first); ++i) {
        listening = platform::ActivateOtherInstance(CORVANE_MUTEX_NAME, "hello");
        if (!listening) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(listening) << "corvane did not start as the first instance";
    HANDLE probe = CreateMutexA(nullptr, FALSE, CORVANE_MUTEX_NAME);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    CloseHandle(probe);

    const pid_t third = StartProgram(CORVANE_PROGRAM, {}, kOffscreen);
    ASSERT_GT(third, 0);
    const std::optional<int> thirdStatus = WaitForExit(third);
    ASSERT_TRUE(thirdStatus.has_value()) << "the third start did not end";
    EXPECT_TRUE(WIFEXITED(*thirdStatus));
    EXPECT_EQ(WEXITSTATUS(*thirdStatus), 0);

    EXPECT_TRUE(StillRunning(first));
    ::kill(first, SIGTERM);
    const std::optional<int> firstStatus = WaitForExit(first);
    ASSERT_TRUE(firstStatus.has_value());
    EXPECT_TRUE(WIFSIGNALED(*firstStatus) && WTERMSIG(*firstStatus) == SIGTERM);
}

// The backend's side: a request restores and raises the dialog of that
// title, and only that one.
TEST_F(MainDialogTest, ARequestRestoresAndRaisesTheDialogOfThatTitle) {
    qtfw::InstallQtBackend();
    const std::string name = "CORVANE_TEST_ACTIVATION_" + std::to_string(::getpid());
    HANDLE channel = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    CCorvaneDlg& dlg = OpenDialog();
    CAboutDlg other;
    ASSERT_TRUE(fwtest::Open(other));
    QWidget* main = dlg.m_hWnd->widget;
    QWidget* about = other.m_hWnd->widget;

    main->showMinimized();
    about->showMinimized();
    QApplication::processEvents();
    if (!main->isMinimized()) {
        fwtest::Close(other);
        CloseHandle(channel);
        GTEST_SKIP() << "this Qt platform does not keep a window minimised";
    }
    ASSERT_TRUE(platform::ActivateOtherInstance(name.c_str(), "restore Corvane"));
    EXPECT_TRUE(PumpUntil([&] { return !main->isMinimized(); }));
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(about->isMinimized());

    about->showNormal();
    about->activateWindow();
    QApplication::processEvents();
    if (QApplication::activeWindow() == about) {
        ASSERT_TRUE(platform::ActivateOtherInstance(name.c_str(), "raise Corvane"));
        EXPECT_TRUE(PumpUntil([&] { return QApplication::activeWindow() == main; }));
    } else {
        ADD_FAILURE() << "this Qt platform does not activate windows: raising is not seen";
    }
    fwtest::Close(other);
    CloseHandle(channel);
    ExpectNothingShown();
}

}  // namespace
