// corvane-demo driven from outside, as a user drives it: on an X server of
// its own, by keyboard only, a backup in one run and a restore in the next.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::optional<std::string> FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
}

// The test's own environment, the sanitizers' options among it, with
// overrides on top.
std::vector<std::string> Environment(const std::map<std::string, std::string>& overrides) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (!overrides.count(entry.substr(0, entry.find('=')))) env.push_back(entry);
    }
    for (const auto& [name, value] : overrides) env.push_back(name + "=" + value);
    return env;
}

// A started program, leader of a process group of its own: whatever it
// starts goes with it, on every way out of the test.
class Child {
public:
    // stdoutFd: where its standard output goes (-1: the test's own).
    Child(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env, int stdoutFd = -1,
          bool quiet = false) {
        std::vector<std::string> args = argv, envs = Environment(env);
        std::vector<char*> cargs, cenv;
        for (auto& a : args) cargs.push_back(a.data());
        cargs.push_back(nullptr);
        for (auto& e : envs) cenv.push_back(e.data());
        cenv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
        if (quiet) {
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        }
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attr, 0);
        if (posix_spawn(&pid_, cargs[0], &actions, &attr, cargs.data(), cenv.data()) != 0) pid_ = -1;
        posix_spawnattr_destroy(&attr);
        posix_spawn_file_actions_destroy(&actions);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() { Kill(); }

    bool Started() const { return pid_ > 0; }

    bool Running() {
        if (pid_ <= 0 || status_) return false;
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) status_ = status;
        return done == 0;
    }

    // The wait status once it has ended; nothing while it still runs at the
    // limit (which only keeps a broken run from hanging the test).
    std::optional<int> Wait(Clock::duration limit) {
        const auto end = Clock::now() + limit;
        while (Running()) {
            if (Clock::now() > end) return std::nullopt;
            std::this_thread::sleep_for(20ms);
        }
        return status_;
    }

    // Asked first: an X server killed outright leaves its socket and lock
    // file behind, and its display looks taken from then on.
    void Kill() {
        if (pid_ <= 0) return;
        ::kill(-pid_, SIGTERM);
        Wait(5s);
        ::kill(-pid_, SIGKILL);
        if (!status_) {
            int status = 0;
            if (::waitpid(pid_, &status, 0) == pid_) status_ = status;
        }
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

std::string Describe(const std::optional<int>& status) {
    if (!status) return "still running";
    if (WIFEXITED(*status)) return "exit code " + std::to_string(WEXITSTATUS(*status));
    if (WIFSIGNALED(*status)) return "signal " + std::to_string(WTERMSIG(*status));
    return "wait status " + std::to_string(*status);
}

struct Result {
    std::optional<int> status;  // nothing: stopped at the limit
    std::string out;
    bool Ok() const { return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0; }
};

// Runs a program to its end and gives its standard output. It is stopped at
// the limit, or as soon as worth() says waiting on is pointless.
Result Run(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
           Clock::duration limit, const std::function<bool()>& worth = [] { return true; }) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return {};
    Child child(argv, env, pipeFds[1]);
    ::close(pipeFds[1]);
    Result result;
    const auto end = Clock::now() + limit;
    bool open = child.Started(), gaveUp = false;
    while (open && !gaveUp) {
        pollfd p{pipeFds[0], POLLIN, 0};
        if (::poll(&p, 1, 50) > 0) {
            char buffer[4096];
            const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
            if (n > 0)
                result.out.append(buffer, (size_t)n);
            else
                open = false;
        }
        gaveUp = Clock::now() > end || !worth();
    }
    ::close(pipeFds[0]);
    // Output closed: the program is ending, or has left it to a child.
    if (!gaveUp) result.status = child.Wait(std::max<Clock::duration>(end - Clock::now(), 1s));
    return result;
}

// Xvfb on the first free display from :140 on, with no network listener.
class XServer {
public:
    bool Start(const std::string& xvfb) {
        for (int n = 140; n < 200; ++n) {
            const std::string number = std::to_string(n), socket = "/tmp/.X11-unix/X" + number;
            if (fs::exists(socket) || fs::exists("/tmp/.X" + number + "-lock")) continue;
            auto server = std::make_unique<Child>(
                std::vector<std::string>{xvfb, ":" + number, "-nolisten", "tcp", "-screen", "0", "1024x768x24"},
                std::map<std::string, std::string>{}, -1, true);
            if (!server->Started()) return false;
            // A server that lost the display to another one ends at once.
            const auto end = Clock::now() + 20s;
            while (server->Running() && !fs::exists(socket) && Clock::now() < end) std::this_thread::sleep_for(20ms);
            if (server->Running() && fs::exists(socket)) {
                server_ = std::move(server);
                display_ = ":" + number;
                return true;
            }
        }
        return false;
    }
    const std::string& Display() const { return display_; }

private:
    std::unique_ptr<Child> server_;
    std::string display_;
};

// The windows on that server, through xdotool.
class Screen {
public:
    Screen(std::string xdotool, std::string display) : xdotool_(std::move(xdotool)), display_(std::move(display)) {}

    Result Xdo(std::vector<std::string> args, Clock::duration limit = 20s,
               const std::function<bool()>& worth = [] { return true; }) const {
        args.insert(args.begin(), xdotool_);
        return Run(args, {{"DISPLAY", display_}}, limit, worth);
    }

    // The mapped windows of that exact title.
    std::vector<std::string> Visible(const std::string& title) const {
        std::vector<std::string> ids;
        std::stringstream lines(Xdo({"search", "--onlyvisible", "--name", "^" + title + "$"}).out);
        for (std::string line; std::getline(lines, line);)
            if (!line.empty()) ids.push_back(line);
        return ids;
    }

    bool Focus(const std::string& id) const { return Xdo({"windowfocus", "--sync", id}).Ok(); }

    // Typed into the window that has the focus.
    bool Keys(const std::vector<std::string>& keys) const {
        std::vector<std::string> args{"key", "--clearmodifiers", "--delay", "100"};
        args.insert(args.end(), keys.begin(), keys.end());
        return Xdo(args).Ok();
    }

private:
    std::string xdotool_, display_;
};

struct Box {
    std::string title, id;
};

std::optional<std::string> Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Empty when the two files hold the same bytes.
std::string Difference(const fs::path& a, const fs::path& b) {
    const auto x = Contents(a), y = Contents(b);
    if (!x) return a.string() + " cannot be read";
    if (!y) return b.string() + " cannot be read";
    if (x->size() != y->size())
        return "sizes " + std::to_string(x->size()) + " and " + std::to_string(y->size());
    const auto at = std::mismatch(x->begin(), x->end(), y->begin());
    if (at.first == x->end()) return "";
    return "first difference at byte " + std::to_string(at.first - x->begin());
}

bool AllZero(const fs::path& path) {
    const auto bytes = Contents(path);
    return bytes && !bytes->empty() && bytes->find_first_not_of('\0') == std::string::npos;
}

class DemoByKeyboard : public ::testing::Test {
protected:
    void SetUp() override {
        const auto xvfb = FindProgram("Xvfb"), xdotool = FindProgram("xdotool");
        if (!xvfb) GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb; scripts/install-deps.sh has it)";
        if (!xdotool)
            GTEST_SKIP() << "xdotool is not installed (Debian package xdotool; scripts/install-deps.sh has it)";
        ASSERT_TRUE(server_.Start(*xvfb)) << "no X server would start on any display from :140 to :199";
        screen_.emplace(*xdotool, server_.Display());
        std::string name = (fs::temp_directory_path() / "corvane-demo-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(name.data()), nullptr);
        folder_ = name;
    }
    void TearDown() override {
        // What the screen showed, for whoever reads the failure.
        const auto import = FindProgram("import");
        if (HasFailure() && import && screen_) {
            const fs::path shot = fs::current_path() / "demo_tests-failure.png";
            if (::Run({*import, "-window", "root", shot.string()}, {{"DISPLAY", server_.Display()}}, 20s).Ok())
                std::cerr << "The screen at the failure: " << shot.string() << "\n";
        }
        demo_.reset();
        if (!folder_.empty()) fs::remove_all(folder_);
    }

    // The demo on the folder, and its window, focused. A session bus that
    // is not there keeps it off the desktop's own; with no address at all,
    // libdbus goes looking for one on this display and leaks doing so.
    std::string StartDemo() {
        std::map<std::string, std::string> env{
            {"DISPLAY", server_.Display()},
            {"QT_QPA_PLATFORM", "xcb"},
            {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (folder_ / "no-session-bus").string()}};
        demo_ = std::make_unique<Child>(std::vector<std::string>{CORVANE_DEMO, folder_.string()}, env);
        if (!demo_->Started()) return "";
        const Result found = screen_->Xdo({"search", "--sync", "--onlyvisible", "--name", "^Corvane$"}, 60s,
                                          [this] { return demo_->Running(); });
        const std::string id = found.out.substr(0, found.out.find('\n'));
        if (!found.Ok() || id.empty()) return "";
        return screen_->Focus(id) ? id : "";
    }

    // The first message box to show, waited for while the demo runs.
    std::optional<Box> AwaitBox(Clock::duration limit) {
        const auto end = Clock::now() + limit;
        while (Clock::now() < end && demo_->Running()) {
            for (const char* title : {"Message", "Error"}) {
                const auto ids = screen_->Visible(title);
                if (!ids.empty()) return Box{title, ids.front()};
            }
            std::this_thread::sleep_for(100ms);
        }
        return std::nullopt;
    }

    bool AwaitGone(const Box& box, Clock::duration limit = 20s) {
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            const auto ids = screen_->Visible(box.title);
            if (std::find(ids.begin(), ids.end(), box.id) == ids.end()) return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

    // Answers a box with Return, typed into it.
    void Answer(const Box& box) {
        ASSERT_TRUE(screen_->Focus(box.id));
        ASSERT_TRUE(screen_->Keys({"Return"}));
        ASSERT_TRUE(AwaitGone(box)) << "the box " << box.title << " stayed after Return";
    }

    // Quit from its button, and the way the program ends.
    std::string QuitFrom(const std::string& window, const std::vector<std::string>& tabsToQuit) {
        if (!screen_->Focus(window)) return "the window would not take the focus";
        std::vector<std::string> keys = tabsToQuit;
        keys.push_back("space");
        if (!screen_->Keys(keys)) return "xdotool could not type";
        return Describe(demo_->Wait(60s));
    }

    std::string DemoState() {
        if (!demo_ || !demo_->Started()) return "not started";
        return Describe(demo_->Running() ? std::optional<int>{} : demo_->Wait(0s));
    }

    fs::path Card(char letter) const { return folder_ / (std::string(1, letter) + "-card.img"); }
    fs::path Image() const { return folder_ / "Drive.bin"; }

    XServer server_;
    std::optional<Screen> screen_;
    fs::path folder_;
    std::unique_ptr<Child> demo_;
};

TEST_F(DemoByKeyboard, BackUpTheFullCardThenRestoreItOntoTheBlankOne) {
    // Run 1: the focus starts in the file name; four Tabs reach CF -> IMG.
    const std::string first = StartDemo();
    ASSERT_FALSE(first.empty()) << "no focusable Corvane window appeared; the demo is " << DemoState()
                                << " (another instance of Corvane running on this machine ends it at once)";
    ASSERT_TRUE(fs::exists(Card('E')) && fs::exists(Card('F')));
    ASSERT_FALSE(fs::exists(Image()));
    ASSERT_TRUE(screen_->Keys({"Tab", "Tab", "Tab", "Tab", "Return"}));

    // The backup and its comparison end in the notice to quit and eject.
    const auto done = AwaitBox(60s);
    ASSERT_TRUE(done) << "no message box after CF -> IMG; the demo is " << DemoState();
    ASSERT_EQ(done->title, "Message") << "the backup failed";
    ASSERT_NO_FATAL_FAILURE(Answer(*done));
    EXPECT_EQ(Difference(Image(), Card('E')), "") << "the image is not the card";
    // From CF -> IMG, past IMG -> CF, to Quit.
    EXPECT_EQ(QuitFrom(first, {"Tab", "Tab"}), "exit code 0");
    if (HasFailure()) return;

    // Run 2 on the same folder: the blank card is the drive list's second
    // entry, two Tabs from the file name; three more reach IMG -> CF.
    ASSERT_TRUE(AllZero(Card('F')));
    const std::string second = StartDemo();
    ASSERT_FALSE(second.empty()) << "no focusable Corvane window on the second run; the demo is " << DemoState();
    ASSERT_TRUE(screen_->Keys({"Tab", "Tab", "Down", "Tab", "Tab", "Tab", "space"}));

    const auto question = AwaitBox(20s);
    ASSERT_TRUE(question) << "IMG -> CF asked nothing";
    ASSERT_EQ(question->title, "Message");
    // Nothing is written before the answer.
    EXPECT_TRUE(AllZero(Card('F')));
    // Return takes the default button: Yes, which starts the restore.
    ASSERT_NO_FATAL_FAILURE(Answer(*question));
    const auto notice = AwaitBox(60s);
    ASSERT_TRUE(notice) << "no notice after Return on the question: its default button is not Yes, or the demo "
                        << DemoState();
    ASSERT_EQ(notice->title, "Message") << "the restore failed";
    ASSERT_NO_FATAL_FAILURE(Answer(*notice));
    EXPECT_EQ(Difference(Card('F'), Card('E')), "") << "the blank card did not become the full one";
    EXPECT_EQ(Difference(Image(), Card('E')), "") << "the restore changed its source";
    EXPECT_EQ(QuitFrom(second, {"Tab"}), "exit code 0");
}

}  // namespace
