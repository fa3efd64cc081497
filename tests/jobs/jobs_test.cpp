// The two launches, whole jobs through the dialog, the progress display and
// Quit, on simulated cards; and one round trip on loop devices.
#include "framework/qt/qt_backend.h"
#include "jobs/Launch.h"
#include "platform/core/handles.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/fake_machine.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <fstream>
#include <functional>
#include <iterator>

using platform::sim::CardSpec;
using platform::sim::Fault;
using platform::sim::FlipOnRead;
using platform::sim::MemoryStorage;
using platform::sim::Op;

namespace {

// Six whole chunks and one sector: the last chunk of every pass is short.
constexpr ULONGLONG kCard = 6 * TRANSFER_CHUNK_SIZE + 512;
const std::string kImage = "C:\\Drive.bin";

std::string drivePath(int n) { return "\\\\.\\PhysicalDrive" + std::to_string(n); }

// What a message box showed; the owner reduced to dialog or none (a worker's).
struct Box {
    std::string text;
    std::string caption;
    UINT type;
    bool owned = true;
    bool operator==(const Box& o) const {
        return text == o.text && caption == o.caption && type == o.type && owned == o.owned;
    }
};
void PrintTo(const Box& b, std::ostream* os) {
    *os << "{\"" << b.text << "\", " << b.caption << ", 0x" << std::hex << b.type << std::dec
        << (b.owned ? "" : ", no owner") << "}";
}

const Box kExists{"Specified file already exists.\nDo you overwrite?", "Message", MB_YESNO | MB_ICONINFORMATION};
const Box kStopBackup{"Backupping the data now.\nDo you stop backupping?", "Message", MB_YESNO | MB_ICONINFORMATION};
const Box kStopRestore{"Recovering the data now.\nDo you stop recovering?", "Message", MB_YESNO | MB_ICONINFORMATION};
const Box kBackupFailed{"Failed to backup the data.", "Error", MB_OK | MB_ICONERROR};
const Box kRestoreFailed{"Failed to recovery the data.", "Error", MB_OK | MB_ICONERROR};
const Box kEject{"Quit the application, and eject the CF card from the PC.", "Message", MB_OK | MB_ICONINFORMATION};
const Box kNotFound{"Specified file does not exist.", "Error", MB_OK | MB_ICONERROR};
const Box kTooLarge{"Size of the data to be recovered is too large.\nCheck each capacity of a device and data, and "
                    "execute the recovering again.",
                    "Error", MB_OK | MB_ICONERROR};
const Box kCannotCreate{"The specified file cannot be created.", "Error", MB_OK | MB_ICONERROR};
const Box kInUse{"Specified drive is being used.\nQuit the application, and execute it again.", "Message",
                 MB_OK | MB_ICONINFORMATION};
const Box kDiskFull{"Insufficient disk space.\nBackupping is canceled.", "Error", MB_OK | MB_ICONERROR};
Box confirmRestore(char letter) {
    return {std::string("Data will be recovered in the ") + letter + " drive .\nDo you continue this process?",
            "Message", MB_YESNO | MB_ICONINFORMATION};
}
Box fromWorker(Box b) {
    b.owned = false;
    return b;
}

std::vector<BYTE> patternBytes(size_t n, unsigned seed) {
    std::vector<BYTE> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = (BYTE)(i * 13 + seed * 101 + i / 512);
    return bytes;
}

// Holds a worker inside one simulated call until the test opens it or Quit
// signals the stop event. It runs under the simulation's lock: while a
// worker is held, the dialog's thread must not call into the simulation.
struct Gate {
    std::atomic<bool> reached{false};
    std::atomic<bool> open{false};
    void Hold() {
        reached = true;
        while (!open.load() && WaitForSingleObject(g_job.m_hStopEvent, 1) != WAIT_OBJECT_0) {
        }
    }
    void AwaitReached() const {
        while (!reached.load()) Sleep(1);
    }
};

class JobsTest : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        world->MapFolder('C', folder.string());
        platform::SetMessageBoxHandler([this](HWND owner, const std::string& text, const std::string& caption,
                                              UINT type) {
            std::function<void()> hook;
            int answer;
            {
                std::lock_guard<std::mutex> guard(boxLock);
                boxes.push_back({owner, text, caption, type});
                if (!quitHooks.empty() && (text == kStopBackup.text || text == kStopRestore.text)) {
                    hook = quitHooks.front();
                    quitHooks.pop_front();
                }
                if (answers.empty()) {
                    answer = (type & 0x0F) == MB_YESNO ? IDYES : IDOK;
                } else {
                    answer = answers.front();
                    answers.pop_front();
                }
            }
            // Acts while the question is up; may show boxes of its own.
            if (hook) hook();
            return answer;
        });
    }
    void TearDown() override {
        // No worker may outlive the world it works on.
        for (Gate* g : gates) g->open = true;
        if (g_job.m_hBackupThread.load() || g_job.m_hRestoreThread.load()) {
            SetEvent(g_job.m_hStopEvent);
            WaitWorker();
        }
        DialogFixture::TearDown();
    }

    void AddCard(int number, char letter, ULONGLONG bytes = kCard, unsigned seed = 1, bool blank = false) {
        CardSpec spec;
        spec.letters = {letter};
        spec.storage = MemoryStorage(bytes);
        if (!blank) {
            auto data = patternBytes(bytes, seed);
            spec.storage->Write(0, data.data(), data.size());
        }
        BYTE sector[512] = {};
        spec.storage->Read(0, sector, sizeof sector);
        for (int i = 0; i < 4; ++i) sector[440 + i] = (BYTE)((0xC0DE0000u + number) >> (8 * i));
        sector[510] = 0x55;
        sector[511] = 0xAA;
        spec.storage->Write(0, sector, sizeof sector);
        world->AddDrive(number, spec);
    }
    std::vector<BYTE> Card(int number, ULONGLONG bytes = kCard) {
        std::vector<BYTE> data(bytes);
        world->DriveStorage(number)->Read(0, data.data(), data.size());
        return data;
    }
    std::filesystem::path Host(const std::string& name = "Drive.bin") const { return folder / name; }
    std::vector<BYTE> HostFile(const std::string& name = "Drive.bin") const {
        std::ifstream in(Host(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void WriteHost(const std::vector<BYTE>& bytes, const std::string& name = "Drive.bin") const {
        std::ofstream(Host(name), std::ios::binary).write((const char*)bytes.data(), (std::streamsize)bytes.size());
    }

    std::vector<Box> Shown() {
        std::vector<Box> out;
        for (const RecordedBox& r : Boxes()) {
            EXPECT_TRUE(r.owner == nullptr || r.owner == DialogWindow()) << r.text;
            out.push_back({r.text, r.caption, r.type, r.owner != nullptr});
        }
        return out;
    }

    static void WaitWorker() {
        while (g_job.m_hBackupThread.load() || g_job.m_hRestoreThread.load()) Sleep(1);
    }
    // Lets the worker end, then ticks whichever timer runs until none does.
    void FinishJob() {
        for (int tick = 0; tick < 6; ++tick) {
            WaitWorker();
            UINT_PTR running = 99;
            for (UINT_PTR id : {TIMER_BACKUP, TIMER_RESTORE, TIMER_VERIFY})
                if (fwtest::TimerRunning(*dialog, id)) running = id;
            if (running == 99) return;
            fwtest::FireTimer(*dialog, running);
        }
        ADD_FAILURE() << "the job never finished";
    }
    Gate& GateAt(const std::string& target, Op op, int atCall) {
        ownedGates.push_back(std::make_unique<Gate>());
        Gate* g = ownedGates.back().get();
        gates.push_back(g);
        world->AtCall(target, op, atCall, [g] { g->Hold(); });
        return *g;
    }
    int Percent() { return std::stoi(fwtest::Text(*dialog, IDC_PERCENT)); }
    void ExpectJobLook(bool jobLook) {
        EXPECT_EQ(fwtest::ImageId(*dialog, IDC_BACKUP), jobLook ? (UINT)IDB_BACKUP_OFF : (UINT)IDB_BACKUP_ON);
        EXPECT_EQ(fwtest::ImageId(*dialog, IDC_RESTORE), jobLook ? (UINT)IDB_RESTORE_OFF : (UINT)IDB_RESTORE_ON);
        EXPECT_EQ(fwtest::Enabled(*dialog, IDC_FILE_NAME), !jobLook);
        EXPECT_EQ(fwtest::Enabled(*dialog, IDC_DRIVE), !jobLook);
        EXPECT_EQ(fwtest::ImageId(*dialog, IDC_BROWSE), jobLook ? (UINT)IDI_BROWSE_BUSY : (UINT)IDI_BROWSE);
    }
    bool AnyTimer() {
        return fwtest::TimerRunning(*dialog, TIMER_BACKUP) || fwtest::TimerRunning(*dialog, TIMER_RESTORE) ||
               fwtest::TimerRunning(*dialog, TIMER_VERIFY);
    }
    // The dialog after a launch that stopped at the card: job look, nothing running.
    void ExpectStoppedAtTheCard(BYTE kind) {
        ExpectJobLook(true);
        EXPECT_EQ(g_job.m_nJobKind.load(), kind);
        EXPECT_EQ(g_job.m_hDevice, INVALID_HANDLE_VALUE) << "a closed card is marked invalid";
        EXPECT_FALSE(AnyTimer());
        EXPECT_EQ(g_job.m_hBackupThread.load(), nullptr);
        EXPECT_EQ(g_job.m_hRestoreThread.load(), nullptr);
        EXPECT_FALSE(world->DriveLocked(1));
    }

    std::deque<std::function<void()>> quitHooks;
    std::vector<std::unique_ptr<Gate>> ownedGates;
    std::vector<Gate*> gates;
};

// ---- launch checks ------------------------------------------------------------------

class LaunchTest;
struct LaunchCase {
    const char* name;
    std::function<void(LaunchTest&)> arrange;  // after the dialog is open
    int button;
    std::vector<int> answers;
    std::function<std::vector<Box>()> boxes;
    std::function<void(LaunchTest&)> check;
};
void PrintTo(const LaunchCase& c, std::ostream* os) { *os << c.name; }

class LaunchTest : public JobsTest, public ::testing::WithParamInterface<LaunchCase> {
public:
    using JobsTest::AddCard;
    using JobsTest::AnyTimer;
    using JobsTest::Card;
    using JobsTest::dialog;
    using JobsTest::ExpectJobLook;
    using JobsTest::ExpectStoppedAtTheCard;
    using JobsTest::FinishJob;
    using JobsTest::folder;
    using JobsTest::Host;
    using JobsTest::HostFile;
    using JobsTest::Shown;
    using JobsTest::world;
    using JobsTest::WriteHost;
    using JobsTest::GateAt;
    Gate* opening = nullptr;
    int driveOpens = 0;  // opens of drive 1 before the click
    std::vector<Box> before;
    int DriveOpens(const std::string& path = drivePath(1)) {
        auto opens = world->Opens();
        return (int)std::count(opens.begin(), opens.end(), path);
    }
    // Quit after a launch that stopped at the card.
    void QuitAndExpect(const std::vector<Box>& more, bool imageKept) {
        const int controls = world->Calls(drivePath(1), Op::Control);
        SetLastError(ERROR_SUCCESS);
        const auto shownBefore = Shown();
        fwtest::Click(*dialog, IDC_QUIT);
        EXPECT_NE(GetLastError(), (DWORD)ERROR_INVALID_HANDLE) << "a closed handle was used";
        EXPECT_EQ(world->Calls(drivePath(1), Op::Control), controls) << "controls sent to a closed card";
        auto all = Shown();
        std::vector<Box> after(all.begin() + (long)shownBefore.size(), all.end());
        EXPECT_EQ(after, more);
        EXPECT_TRUE(fwtest::Ended(*dialog));
        EXPECT_EQ(fwtest::Result(*dialog), IDCANCEL);
        EXPECT_EQ(std::filesystem::exists(Host()), imageKept);
    }
};

TEST_P(LaunchTest, ShowsItsBoxesInOrderAndLeavesTheRightThingsBehind) {
    const LaunchCase& c = GetParam();
    AddCard(1, 'E');
    AddCard(2, 'F', kCard, 2);
    OpenDialog();
    ASSERT_EQ(g_job.m_dwTotalBytes.load(), kCard);
    if (c.arrange) c.arrange(*this);
    for (int a : c.answers) answers.push_back(a);
    driveOpens = DriveOpens();
    before = Shown();
    fwtest::Click(*dialog, c.button);
    auto all = Shown();
    std::vector<Box> shown(all.begin() + (long)before.size(), all.end());
    EXPECT_EQ(shown, c.boxes());
    if (c.check) c.check(*this);
}

const std::string k300 = "C:\\" + std::string(297, 'n');

// The job started: busy look, its timer, status and clip.
void expectStarted(LaunchTest& t, UINT_PTR timer, const char* status, UINT clip) {
    t.ExpectJobLook(true);
    EXPECT_TRUE(fwtest::TimerRunning(*t.dialog, timer));
    EXPECT_EQ(fwtest::Text(*t.dialog, IDC_STATUS), status);
    EXPECT_EQ(fwtest::AnimationState(*t.dialog, IDC_ANIMATION).clip, clip);
    EXPECT_TRUE(fwtest::AnimationState(*t.dialog, IDC_ANIMATION).playing);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LaunchTest,
    ::testing::Values(
        LaunchCase{"backup_button_off",
                   [](LaunchTest& f) {
                       // Both cards gone and refreshed: an empty list, both buttons off.
                       f.world->RemoveDrive(1);
                       f.world->RemoveDrive(2);
                       fwtest::Click(*f.dialog, IDC_REFRESH);
                       ASSERT_EQ(g_bBackupEnabled, 0);
                   },
                   IDC_BACKUP, {}, [] { return std::vector<Box>{}; },
                   [](LaunchTest& f) {
                       EXPECT_FALSE(std::filesystem::exists(f.Host()));
                       EXPECT_EQ(g_job.m_nJobKind.load(), JOB_NONE);
                       EXPECT_STREQ(g_job.m_szImagePath, "");
                   }},
        LaunchCase{"backup_while_a_job_runs",
                   [](LaunchTest&) { g_job.m_nJobKind = JOB_RESTORE; }, IDC_BACKUP, {},
                   [] { return std::vector<Box>{}; },
                   [](LaunchTest& f) {
                       EXPECT_EQ(f.DriveOpens(), f.driveOpens);
                       EXPECT_FALSE(std::filesystem::exists(f.Host()));
                       EXPECT_STREQ(g_job.m_szImagePath, "");
                       EXPECT_FALSE(f.AnyTimer());
                       g_job.m_nJobKind = JOB_NONE;
                   }},
        LaunchCase{"restore_while_a_job_runs",
                   [](LaunchTest& f) {
                       f.WriteHost(patternBytes(1000, 3));
                       g_job.m_nJobKind = JOB_BACKUP;
                   },
                   IDC_RESTORE, {}, [] { return std::vector<Box>{}; },
                   [](LaunchTest& f) {
                       EXPECT_EQ(f.DriveOpens(), f.driveOpens);
                       EXPECT_FALSE(f.AnyTimer());
                       g_job.m_nJobKind = JOB_NONE;
                   }},
        LaunchCase{"existing_file_answered_no",
                   [](LaunchTest& f) { f.WriteHost(patternBytes(777, 4)); }, IDC_BACKUP, {IDNO},
                   [] { return std::vector<Box>{kExists}; },
                   [](LaunchTest& f) {
                       EXPECT_EQ(f.HostFile(), patternBytes(777, 4)) << "the old file is kept";
                       f.ExpectJobLook(false);
                       EXPECT_EQ(g_bBackupEnabled, 1);
                       EXPECT_EQ(f.DriveOpens(), f.driveOpens);
                       EXPECT_EQ(g_job.m_nJobKind.load(), JOB_NONE);
                   }},
        LaunchCase{"existing_file_answered_yes",
                   [](LaunchTest& f) { f.WriteHost(patternBytes(777, 4)); }, IDC_BACKUP, {IDYES},
                   [] { return std::vector<Box>{kExists}; },
                   [](LaunchTest& f) {
                       expectStarted(f, TIMER_BACKUP, "Reading...", IDR_AVI_BACKUP);
                       f.FinishJob();
                       EXPECT_EQ(f.HostFile(), f.Card(1)) << "overwritten with the card";
                   }},
        LaunchCase{"a_directory_as_the_image",
                   [](LaunchTest& f) {
                       std::filesystem::create_directory(f.Host("sub"));
                       fwtest::TypeText(*f.dialog, IDC_FILE_NAME, "C:\\sub");
                   },
                   IDC_BACKUP, {IDYES}, [] { return std::vector<Box>{kExists, kCannotCreate}; },
                   [](LaunchTest& f) {
                       f.ExpectJobLook(false);
                       EXPECT_TRUE(std::filesystem::is_directory(f.Host("sub")));
                       EXPECT_EQ(f.DriveOpens(), f.driveOpens);
                       EXPECT_STREQ(g_job.m_szImagePath, "C:\\sub");
                   }},
        LaunchCase{"free_space_equal_to_the_card",
                   [](LaunchTest& f) { f.world->SetFreeSpace('C', kCard); }, IDC_BACKUP, {},
                   [] { return std::vector<Box>{kDiskFull}; },
                   [](LaunchTest& f) {
                       EXPECT_FALSE(std::filesystem::exists(f.Host())) << "no file created";
                       f.ExpectJobLook(false);
                       EXPECT_EQ(f.DriveOpens(), f.driveOpens);
                       EXPECT_STREQ(g_job.m_szImagePath, kImage.c_str());
                   }},
        LaunchCase{"free_space_one_byte_more",
                   [](LaunchTest& f) { f.world->SetFreeSpace('C', kCard + 1); }, IDC_BACKUP, {},
                   [] { return std::vector<Box>{}; },
                   [](LaunchTest& f) {
                       expectStarted(f, TIMER_BACKUP, "Reading...", IDR_AVI_BACKUP);
                       f.FinishJob();
                       EXPECT_EQ(f.HostFile(), f.Card(1));
                   }},
        LaunchCase{"free_space_of_the_folder_of_a_posix_path",
                   [](LaunchTest& f) {
                       // Letter C has room, the host folder of a POSIX path is what counts.
                       f.world->SetFreeSpace('C', 0);
                       fwtest::TypeText(*f.dialog, IDC_FILE_NAME, f.Host("posix.bin").string());
                   },
                   IDC_BACKUP, {}, [] { return std::vector<Box>{}; },
                   [](LaunchTest& f) {
                       expectStarted(f, TIMER_BACKUP, "Reading...", IDR_AVI_BACKUP);
                       f.FinishJob();
                       EXPECT_EQ(f.HostFile("posix.bin"), f.Card(1));
                   }},
        LaunchCase{"free_space_unknown_then_creation_decides",
                   [](LaunchTest& f) {
                       fwtest::TypeText(*f.dialog, IDC_FILE_NAME, (f.folder / "missing" / "x.bin").string());
                   },
                   IDC_BACKUP, {}, [] { return std::vector<Box>{kCannotCreate}; },
                   [](LaunchTest& f) {
                       f.ExpectJobLook(false);
                       EXPECT_EQ(f.DriveOpens(), f.driveOpens);
                   }},
        LaunchCase{"a_300_character_name_is_cut_to_259",
                   [](LaunchTest& f) { fwtest::TypeText(*f.dialog, IDC_FILE_NAME, k300); }, IDC_BACKUP, {},
                   // 256 characters after "C:\" are one too many for a file name.
                   [] { return std::vector<Box>{kCannotCreate}; },
                   [](LaunchTest&) {
                       EXPECT_EQ(std::string(g_job.m_szImagePath), k300.substr(0, 259));
                   }},
        LaunchCase{"third_row_opens_its_physical_drive",
                   [](LaunchTest& f) {
                       f.AddCard(5, 'G', kCard, 5);
                       fwtest::Click(*f.dialog, IDC_REFRESH);
                       ASSERT_EQ(fwtest::Items(*f.dialog, IDC_DRIVE),
                                 (std::vector<std::string>{"E Drive", "F Drive", "G Drive"}));
                       fwtest::Select(*f.dialog, IDC_DRIVE, 2);
                   },
                   IDC_BACKUP, {}, [] { return std::vector<Box>{}; },
                   [](LaunchTest& f) {
                       std::vector<std::string> drives;
                       for (const std::string& path : f.world->Opens())
                           if (path.rfind("\\\\.\\PhysicalDrive", 0) == 0) drives.push_back(path);
                       EXPECT_EQ(drives.back(), drivePath(5)) << "the job's open";
                       EXPECT_EQ(f.DriveOpens(), f.driveOpens);
                       EXPECT_TRUE(f.world->DriveLocked(5));
                       f.FinishJob();
                       EXPECT_EQ(f.HostFile(), f.Card(5));
                   }},
        // Backups stopped at the card: Quit asks, then deletes the empty image.
        LaunchCase{"backup_device_not_opened",
                   [](LaunchTest& f) {
                       f.world->AddFault(Fault{drivePath(1), Op::Open, f.DriveOpens() + 1});
                   },
                   IDC_BACKUP, {}, [] { return std::vector<Box>{kBackupFailed}; },
                   [](LaunchTest& f) {
                       f.ExpectStoppedAtTheCard(JOB_BACKUP);
                       EXPECT_EQ(f.HostFile(), std::vector<BYTE>{}) << "left empty";
                       fwtest::Click(*f.dialog, IDC_BACKUP);  // still in its job state: nothing
                       f.QuitAndExpect({kStopBackup}, false);
                   }},
        LaunchCase{"backup_lock_refused",
                   [](LaunchTest& f) { f.world->SetInUse(1, true); }, IDC_BACKUP, {},
                   [] { return std::vector<Box>{kInUse}; },
                   [](LaunchTest& f) {
                       f.ExpectStoppedAtTheCard(JOB_BACKUP);
                       EXPECT_EQ(f.HostFile(), std::vector<BYTE>{});
                       f.QuitAndExpect({kStopBackup}, false);
                   }},
        // CreateThread of the platform cannot be made to fail; the launch's
        // other way of having no worker, a previous worker's handle still
        // set, takes the same report.
        LaunchCase{"backup_without_a_worker",
                   [](LaunchTest&) { g_job.m_hBackupThread = (HANDLE)0x5EED; }, IDC_BACKUP, {},
                   [] { return std::vector<Box>{kBackupFailed}; },
                   [](LaunchTest& f) {
                       EXPECT_EQ(g_job.m_hBackupThread.load(), (HANDLE)0x5EED);
                       g_job.m_hBackupThread = nullptr;
                       f.ExpectStoppedAtTheCard(JOB_BACKUP);
                       EXPECT_GE(f.world->Calls(drivePath(1), Op::Control), 1) << "unlocked";
                       f.QuitAndExpect({kStopBackup}, false);
                   }},
        LaunchCase{"restore_question_names_the_selected_letter_no",
                   [](LaunchTest& f) {
                       f.WriteHost(patternBytes(1000, 3));
                       fwtest::Select(*f.dialog, IDC_DRIVE, 1);
                   },
                   IDC_RESTORE, {IDNO}, [] { return std::vector<Box>{confirmRestore('F')}; },
                   [](LaunchTest& f) {
                       EXPECT_STREQ(g_job.m_szImagePath, "");
                       EXPECT_EQ(g_bBackupEnabled, 1);
                       EXPECT_EQ(g_bRestoreEnabled, 1);
                       f.ExpectJobLook(false);
                       EXPECT_EQ(f.DriveOpens(drivePath(2)), 2) << "list and size only";
                   }},
        LaunchCase{"restore_missing_image",
                   nullptr, IDC_RESTORE, {IDYES},
                   [] { return std::vector<Box>{confirmRestore('E'), kNotFound}; },
                   [](LaunchTest& f) {
                       f.ExpectJobLook(false);
                       EXPECT_STREQ(g_job.m_szImagePath, kImage.c_str());
                       EXPECT_EQ(f.DriveOpens(), f.driveOpens);
                   }},
        LaunchCase{"restore_image_one_byte_larger",
                   [](LaunchTest& f) { f.WriteHost(patternBytes(kCard + 1, 3)); }, IDC_RESTORE, {},
                   [] { return std::vector<Box>{confirmRestore('E'), kTooLarge}; },
                   [](LaunchTest& f) {
                       f.ExpectJobLook(false);
                       EXPECT_EQ(f.DriveOpens(), f.driveOpens);
                   }},
        LaunchCase{"restore_image_as_large_as_the_card",
                   [](LaunchTest& f) { f.WriteHost(patternBytes(kCard, 3)); }, IDC_RESTORE, {},
                   [] { return std::vector<Box>{confirmRestore('E')}; },
                   [](LaunchTest& f) {
                       expectStarted(f, TIMER_RESTORE, "Writing...", IDR_AVI_RESTORE);
                       EXPECT_EQ(g_job.m_nJobKind.load(), JOB_RESTORE);
                       f.FinishJob();
                       EXPECT_EQ(f.Card(1), patternBytes(kCard, 3));
                   }},
        LaunchCase{"restore_from_a_directory_fails_in_the_worker",
                   [](LaunchTest& f) {
                       std::filesystem::create_directory(f.Host("sub"));
                       fwtest::TypeText(*f.dialog, IDC_FILE_NAME, "C:\\sub");
                       // The worker waits at its open until the launch is looked at.
                       f.opening = &f.GateAt("C:\\sub", Op::Open, 1);
                   },
                   IDC_RESTORE, {},
                   [] { return std::vector<Box>{confirmRestore('E')}; },
                   [](LaunchTest& f) {
                       expectStarted(f, TIMER_RESTORE, "Writing...", IDR_AVI_RESTORE);
                       f.opening->open = true;
                       const auto card = f.Card(1);
                       f.FinishJob();
                       auto all = f.Shown();
                       EXPECT_EQ(std::vector<Box>(all.end() - 3, all.end()),
                                 (std::vector<Box>{fromWorker(kRestoreFailed), kRestoreFailed, kEject}));
                       EXPECT_EQ(fwtest::Text(*f.dialog, IDC_STATUS), "Write Error.");
                       EXPECT_EQ(f.Card(1), card);
                   }},
        LaunchCase{"restore_device_not_opened",
                   [](LaunchTest& f) {
                       f.WriteHost(patternBytes(1000, 3));
                       f.world->AddFault(Fault{drivePath(1), Op::Open, f.DriveOpens() + 1});
                   },
                   IDC_RESTORE, {}, [] { return std::vector<Box>{confirmRestore('E'), kRestoreFailed}; },
                   [](LaunchTest& f) {
                       f.ExpectStoppedAtTheCard(JOB_NONE);
                       f.QuitAndExpect({}, true);
                   }},
        LaunchCase{"restore_lock_refused",
                   [](LaunchTest& f) {
                       f.WriteHost(patternBytes(1000, 3));
                       f.world->SetInUse(1, true);
                   },
                   IDC_RESTORE, {}, [] { return std::vector<Box>{confirmRestore('E'), kInUse}; },
                   [](LaunchTest& f) {
                       f.ExpectStoppedAtTheCard(JOB_NONE);
                       f.QuitAndExpect({}, true);
                   }},
        LaunchCase{"restore_without_a_worker",
                   [](LaunchTest& f) {
                       f.WriteHost(patternBytes(1000, 3));
                       g_job.m_hRestoreThread = (HANDLE)0x5EED;
                   },
                   IDC_RESTORE, {}, [] { return std::vector<Box>{confirmRestore('E'), kRestoreFailed}; },
                   [](LaunchTest& f) {
                       g_job.m_hRestoreThread = nullptr;
                       f.ExpectStoppedAtTheCard(JOB_NONE);
                       EXPECT_EQ(f.Card(1)[600], patternBytes(kCard, 1)[600]) << "nothing written";
                       f.QuitAndExpect({}, true);
                   }}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(LaunchPaths, FreeSpaceIsAskedOfTheLetterOrOfTheHoldingFolder) {
    struct Case {
        const char* path;
        const char* root;
    };
    const Case cases[] = {
        {"C:\\Drive.bin", "C:\\"}, {"e:\\a\\b\\img.bin", "e:\\"}, {"/tmp/cards/img.bin", "/tmp/cards"},
        {"/img.bin", "/"},         {"img.bin", "."},              {"C:img.bin", "."},
    };
    for (const Case& c : cases) EXPECT_EQ(FreeSpaceRoot(c.path), c.root) << c.path;
}

// ---- whole jobs -----------------------------------------------------------------------

TEST_F(JobsTest, ABackupShowsEachPhaseAndEndsWithTheCardsBytes) {
    AddCard(1, 'E');
    CCorvaneDlg& dlg = OpenDialog();
    // The third chunk of each pass waits: two chunks are done then.
    Gate& copying = GateAt(kImage, Op::Write, 3);
    Gate& comparing = GateAt(kImage, Op::Read, 3);
    fwtest::Click(dlg, IDC_BACKUP);
    EXPECT_EQ(fwtest::Text(dlg, IDC_STATUS), "Reading...");
    EXPECT_EQ(fwtest::Text(dlg, IDC_PERCENT), "0");

    copying.AwaitReached();
    fwtest::FireTimer(dlg, TIMER_BACKUP);
    // 307,712 bytes with 205,312 left: (307 - 205) * 100 / 307.
    EXPECT_EQ(Percent(), 33);
    EXPECT_EQ(fwtest::ProgressPosition(dlg, IDC_PROGRESS), 33);
    auto clip = fwtest::AnimationState(dlg, IDC_ANIMATION);
    EXPECT_EQ(clip.clip, (UINT)IDR_AVI_BACKUP);
    EXPECT_TRUE(clip.playing);
    copying.open = true;

    comparing.AwaitReached();
    fwtest::FireTimer(dlg, TIMER_BACKUP);
    EXPECT_EQ(Percent(), 100);
    EXPECT_EQ(fwtest::Text(dlg, IDC_STATUS), "Comparing...");
    EXPECT_FALSE(fwtest::TimerRunning(dlg, TIMER_BACKUP));
    EXPECT_TRUE(fwtest::TimerRunning(dlg, TIMER_VERIFY));
    fwtest::FireTimer(dlg, TIMER_VERIFY);
    EXPECT_EQ(Percent(), 33) << "the comparison counts from 0 again";
    EXPECT_TRUE(Shown().empty());
    comparing.open = true;

    WaitWorker();
    fwtest::FireTimer(dlg, TIMER_VERIFY);
    EXPECT_EQ(fwtest::Text(dlg, IDC_STATUS), "Reading is completed.");
    EXPECT_EQ(Percent(), 100);
    EXPECT_EQ(fwtest::ProgressPosition(dlg, IDC_PROGRESS), 100);
    EXPECT_EQ(Shown(), std::vector<Box>{kEject});
    EXPECT_EQ(HostFile(), Card(1));
    clip = fwtest::AnimationState(dlg, IDC_ANIMATION);
    EXPECT_EQ(clip.clip, 0u) << "closed";
    EXPECT_FALSE(clip.playing);
    EXPECT_FALSE(AnyTimer());
    EXPECT_EQ(g_job.m_nJobKind.load(), JOB_NONE);
    EXPECT_FALSE(world->DriveLocked(1));
    EXPECT_EQ(g_job.m_hDevice, INVALID_HANDLE_VALUE);
    ExpectJobLook(true);
    // Quit now ends without a question.
    fwtest::Click(dlg, IDC_QUIT);
    EXPECT_TRUE(fwtest::Ended(dlg));
    EXPECT_EQ(Shown().size(), 1u);
}

TEST_F(JobsTest, ARestoreOfAShorterImageCountsOverTheImage) {
    AddCard(1, 'E', kCard, 1);
    const auto cardBefore = Card(1);
    const auto image = patternBytes(3 * TRANSFER_CHUNK_SIZE, 9);
    WriteHost(image);
    CCorvaneDlg& dlg = OpenDialog();
    Gate& writing = GateAt(drivePath(1), Op::Write, 2);
    fwtest::Click(dlg, IDC_RESTORE);
    EXPECT_EQ(fwtest::Text(dlg, IDC_STATUS), "Writing...");
    writing.AwaitReached();
    fwtest::FireTimer(dlg, TIMER_RESTORE);
    // Over the image's 153,600 bytes with 102,400 left, not over the card.
    EXPECT_EQ(Percent(), 33);
    EXPECT_EQ(fwtest::AnimationState(dlg, IDC_ANIMATION).clip, (UINT)IDR_AVI_RESTORE);
    EXPECT_TRUE(fwtest::AnimationState(dlg, IDC_ANIMATION).playing);
    writing.open = true;
    WaitWorker();
    fwtest::FireTimer(dlg, TIMER_RESTORE);
    EXPECT_EQ(fwtest::Text(dlg, IDC_STATUS), "Writing is completed.");
    EXPECT_EQ(Percent(), 100);
    EXPECT_EQ(Shown(), (std::vector<Box>{confirmRestore('E'), kEject}));
    auto card = Card(1);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), card.begin()));
    EXPECT_TRUE(std::equal(card.begin() + (long)image.size(), card.end(), cardBefore.begin() + (long)image.size()))
        << "the rest of the card is untouched";
    EXPECT_EQ(fwtest::AnimationState(dlg, IDC_ANIMATION).clip, 0u);
    EXPECT_FALSE(world->DriveLocked(1));
    EXPECT_EQ(HostFile(), image) << "the image is kept";
}

struct FailureCase {
    const char* name;
    int button;
    std::function<void(JobsTest&, platform::sim::SimWorld&)> fault;
    const char* status;
    std::vector<Box> boxes;  // after the launch's own
    bool imageKept;
};
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class FailureTest : public JobsTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailureTest, IsShownReportedAndCleanedUp) {
    const FailureCase& c = GetParam();
    AddCard(1, 'E');
    if (c.button == IDC_RESTORE) WriteHost(patternBytes(kCard, 3));
    CCorvaneDlg& dlg = OpenDialog();
    c.fault(*this, *world);
    fwtest::Click(dlg, c.button);
    FinishJob();
    std::vector<Box> expected = c.boxes;
    if (c.button == IDC_RESTORE) expected.insert(expected.begin(), confirmRestore('E'));
    EXPECT_EQ(Shown(), expected);
    EXPECT_EQ(fwtest::Text(dlg, IDC_STATUS), c.status);
    EXPECT_EQ(std::filesystem::exists(Host()), c.imageKept);
    EXPECT_EQ(g_job.m_nJobKind.load(), JOB_NONE);
    EXPECT_FALSE(world->DriveLocked(1));
    EXPECT_EQ(g_job.m_hDevice, INVALID_HANDLE_VALUE);
    EXPECT_EQ(fwtest::AnimationState(dlg, IDC_ANIMATION).clip, 0u);
    EXPECT_FALSE(AnyTimer());
}

INSTANTIATE_TEST_SUITE_P(
    Phases, FailureTest,
    ::testing::Values(
        FailureCase{"backup_read_phase",
                    IDC_BACKUP,
                    [](JobsTest&, platform::sim::SimWorld& w) {
                        // Drive list and size probe never read the card's data chunks.
                        w.AddFault(Fault{drivePath(1), Op::Read, w.Calls(drivePath(1), Op::Read) + 2});
                    },
                    "Read Error.",
                    {kBackupFailed, kEject},
                    false},
        FailureCase{"backup_comparison_phase",
                    IDC_BACKUP,
                    [](JobsTest&, platform::sim::SimWorld& w) {
                        w.AddFlip(FlipOnRead{kImage, 3 * TRANSFER_CHUNK_SIZE + 5, 1, 0x40});
                    },
                    "Read Error.",
                    {kBackupFailed, kEject},
                    false},
        FailureCase{"backup_image_not_created_by_the_worker",
                    IDC_BACKUP,
                    [](JobsTest&, platform::sim::SimWorld& w) { w.AddFault(Fault{kImage, Op::Open, 2}); },
                    "Read Error.",
                    {fromWorker(kBackupFailed), kBackupFailed, kEject},
                    false},
        FailureCase{"restore_write",
                    IDC_RESTORE,
                    [](JobsTest&, platform::sim::SimWorld& w) { w.AddFault(Fault{drivePath(1), Op::Write, 2}); },
                    "Write Error.",
                    {kRestoreFailed, kEject},
                    true},
        FailureCase{"restore_read_back",
                    IDC_RESTORE,
                    [](JobsTest&, platform::sim::SimWorld& w) {
                        w.AddFlip(FlipOnRead{drivePath(1), 2 * TRANSFER_CHUNK_SIZE + 9, 1, 0x01});
                    },
                    "Write Error.",
                    {kRestoreFailed, kEject},
                    true}),
    [](const auto& p) { return std::string(p.param.name); });

// ---- progress arithmetic ---------------------------------------------------------------

TEST(JobPercentTable, WholePercentsOfTheRemainingThousands) {
    struct Case {
        ULONGLONG total, remaining;
        int percent;
    };
    const Case cases[] = {
        {1000000, 1000000, 0}, {1000000, 999999, 0}, {1000000, 999, 100}, {1000000, 500000, 50},
        {2500, 1400, 50},      {2500, 2500, 0},      {999, 999, 0},       {999, 1, 0},
        {0, 0, 0},             {1000, 999, 100},     {6000000000ull, 3000000000ull, 50},
    };
    for (const Case& c : cases) EXPECT_EQ(JobPercent(c.total, c.remaining), c.percent) << c.total << "/" << c.remaining;
}

TEST_F(JobsTest, AJobBelowAThousandBytesShows0ThenAnd100AtTheEnd) {
    AddCard(1, 'E');
    WriteHost(patternBytes(700, 6));
    CCorvaneDlg& dlg = OpenDialog();
    Gate& writing = GateAt(drivePath(1), Op::Write, 1);
    fwtest::Click(dlg, IDC_RESTORE);
    writing.AwaitReached();
    fwtest::FireTimer(dlg, TIMER_RESTORE);
    EXPECT_EQ(Percent(), 0);
    writing.open = true;
    WaitWorker();
    fwtest::FireTimer(dlg, TIMER_RESTORE);
    EXPECT_EQ(Percent(), 100);
    EXPECT_EQ(fwtest::Text(dlg, IDC_STATUS), "Writing is completed.");
}

TEST_F(JobsTest, AnotherTimerIdChangesNothing) {
    AddCard(1, 'E');
    CCorvaneDlg& dlg = OpenDialog();
    Gate& copying = GateAt(kImage, Op::Write, 3);
    fwtest::Click(dlg, IDC_BACKUP);
    copying.AwaitReached();
    fwtest::FireTimer(dlg, TIMER_BACKUP);
    const auto before = fwtest::Controls(dlg);
    g_job.m_dwReadRemaining = 0;  // even a finished count is not this timer's
    for (UINT_PTR id : {3u, 7u, 1000u}) fwtest::FireTimer(dlg, id);
    EXPECT_EQ(fwtest::Controls(dlg), before);
    EXPECT_TRUE(fwtest::TimerRunning(dlg, TIMER_BACKUP));
    EXPECT_EQ(g_job.m_nJobKind.load(), JOB_BACKUP);
    EXPECT_TRUE(Shown().empty());
    SetEvent(g_job.m_hStopEvent);
}

// ---- Quit -------------------------------------------------------------------------------

struct QuitCase {
    const char* name;
    int button;  // 0: no job
    Op gateOp;
    bool gateOnCard;
    int gateCall;
    bool toComparison;  // hand over to the comparison first
    int answer;
    std::vector<Box> boxes;  // from Quit on
    bool ended;
    bool imageKept;
};
void PrintTo(const QuitCase& c, std::ostream* os) { *os << c.name; }

class QuitTest : public JobsTest, public ::testing::WithParamInterface<QuitCase> {};

TEST_P(QuitTest, AsksStopsAndCleansUp) {
    const QuitCase& c = GetParam();
    AddCard(1, 'E');
    const auto image = patternBytes(kCard, 3);
    if (c.button == IDC_RESTORE) WriteHost(image);
    CCorvaneDlg& dlg = OpenDialog();
    Gate* gate = nullptr;
    if (c.button) {
        gate = &GateAt(c.gateOnCard ? drivePath(1) : kImage, c.gateOp, c.gateCall);
        fwtest::Click(dlg, c.button);
        gate->AwaitReached();
        if (c.toComparison) {
            // The read phase is done once the worker waits in the comparison.
            fwtest::FireTimer(dlg, TIMER_BACKUP);
            ASSERT_TRUE(fwtest::TimerRunning(dlg, TIMER_VERIFY));
        }
    }
    const size_t launchBoxes = Shown().size();
    answers.push_back(c.answer);
    fwtest::Click(dlg, IDC_QUIT);
    auto all = Shown();
    EXPECT_EQ(std::vector<Box>(all.begin() + (long)launchBoxes, all.end()), c.boxes);
    EXPECT_EQ(fwtest::Ended(dlg), c.ended);
    if (c.ended) {
        EXPECT_EQ(fwtest::Result(dlg), IDCANCEL);
        if (c.button) {
            EXPECT_EQ(g_job.m_hBackupThread.load(), nullptr) << "waited for";
            EXPECT_EQ(g_job.m_hRestoreThread.load(), nullptr);
            EXPECT_FALSE(world->DriveLocked(1)) << "released";
            EXPECT_EQ(g_job.m_hDevice, INVALID_HANDLE_VALUE) << "closed";
            EXPECT_FALSE(AnyTimer());
            EXPECT_EQ(g_pDiskLayout, nullptr);
        }
        EXPECT_EQ(std::filesystem::exists(Host()), c.imageKept);
        if (c.button == IDC_RESTORE) {
            EXPECT_EQ(HostFile(), image);
        }
    } else {
        // Declined: the job goes on to its normal end.
        EXPECT_EQ(g_job.m_bQuitting.load(), 0);
        gate->open = true;
        FinishJob();
        EXPECT_EQ(fwtest::Text(dlg, IDC_STATUS), "Reading is completed.");
        EXPECT_EQ(HostFile(), Card(1));
        EXPECT_EQ(Shown().back(), kEject);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuitTest,
    ::testing::Values(QuitCase{"no_job", 0, Op::Read, false, 0, false, IDYES, {}, true, false},
                      QuitCase{"backup_answered_no", IDC_BACKUP, Op::Write, false, 3, false, IDNO, {kStopBackup},
                               false, true},
                      QuitCase{"backup_read_phase_yes", IDC_BACKUP, Op::Write, false, 3, false, IDYES,
                               {kStopBackup}, true, false},
                      QuitCase{"backup_comparison_phase_yes", IDC_BACKUP, Op::Read, false, 3, true, IDYES,
                               {kStopBackup}, true, false},
                      QuitCase{"restore_yes", IDC_RESTORE, Op::Write, true, 3, false, IDYES, {kStopRestore}, true,
                               true}),
    [](const auto& p) { return std::string(p.param.name); });

// A job that ends while Quit asks is ended once, by its completion.
TEST_F(JobsTest, ABackupThatFinishesWhileQuitAsksIsKeptAndReleasedOnce) {
    AddCard(1, 'E');
    CCorvaneDlg& dlg = OpenDialog();
    Gate& comparing = GateAt(kImage, Op::Read, 3);
    fwtest::Click(dlg, IDC_BACKUP);
    comparing.AwaitReached();
    fwtest::FireTimer(dlg, TIMER_BACKUP);
    int controlsAfterCompletion = -1;
    quitHooks.push_back([&] {
        comparing.open = true;
        WaitWorker();
        fwtest::FireTimer(dlg, TIMER_VERIFY);  // the completion, with its eject notice
        controlsAfterCompletion = world->Calls(drivePath(1), Op::Control);
    });
    answers = {IDYES, IDOK};
    fwtest::Click(dlg, IDC_QUIT);
    EXPECT_EQ(Shown(), (std::vector<Box>{kStopBackup, kEject}));
    EXPECT_EQ(world->Calls(drivePath(1), Op::Control), controlsAfterCompletion) << "released twice";
    EXPECT_TRUE(fwtest::Ended(dlg));
    EXPECT_EQ(HostFile(), Card(1)) << "a verified image is never deleted";
    EXPECT_FALSE(world->DriveLocked(1));
}

TEST_F(JobsTest, ARestoreThatFinishesWhileQuitAsksIsReleasedOnce) {
    AddCard(1, 'E');
    const auto image = patternBytes(kCard, 3);
    WriteHost(image);
    CCorvaneDlg& dlg = OpenDialog();
    Gate& writing = GateAt(drivePath(1), Op::Write, 3);
    fwtest::Click(dlg, IDC_RESTORE);
    writing.AwaitReached();
    int controlsAfterCompletion = -1;
    quitHooks.push_back([&] {
        writing.open = true;
        WaitWorker();
        fwtest::FireTimer(dlg, TIMER_RESTORE);
        controlsAfterCompletion = world->Calls(drivePath(1), Op::Control);
    });
    fwtest::Click(dlg, IDC_QUIT);
    EXPECT_EQ(Shown(), (std::vector<Box>{confirmRestore('E'), kStopRestore, kEject}));
    EXPECT_EQ(world->Calls(drivePath(1), Op::Control), controlsAfterCompletion);
    EXPECT_TRUE(fwtest::Ended(dlg));
    EXPECT_EQ(Card(1), image);
    EXPECT_EQ(HostFile(), image);
}

TEST_F(JobsTest, AReadPhaseThatEndsWhileQuitAsksGoesOnAfterANo) {
    AddCard(1, 'E');
    CCorvaneDlg& dlg = OpenDialog();
    Gate& copying = GateAt(kImage, Op::Write, 3);
    fwtest::Click(dlg, IDC_BACKUP);
    copying.AwaitReached();
    quitHooks.push_back([&] {
        copying.open = true;
        WaitWorker();  // read and comparison both done
        fwtest::FireTimer(dlg, TIMER_BACKUP);
        // The hand-over waits while the question is up.
        EXPECT_TRUE(fwtest::TimerRunning(dlg, TIMER_BACKUP));
        EXPECT_FALSE(fwtest::TimerRunning(dlg, TIMER_VERIFY));
        EXPECT_EQ(fwtest::Text(dlg, IDC_STATUS), "Reading...");
    });
    answers = {IDNO};
    fwtest::Click(dlg, IDC_QUIT);
    EXPECT_FALSE(fwtest::Ended(dlg));
    fwtest::FireTimer(dlg, TIMER_BACKUP);
    EXPECT_EQ(fwtest::Text(dlg, IDC_STATUS), "Comparing...");
    fwtest::FireTimer(dlg, TIMER_VERIFY);
    EXPECT_EQ(fwtest::Text(dlg, IDC_STATUS), "Reading is completed.");
    EXPECT_EQ(Percent(), 100);
    EXPECT_EQ(Shown(), (std::vector<Box>{kStopBackup, kEject}));
    EXPECT_EQ(HostFile(), Card(1));
    EXPECT_EQ(g_job.m_nJobKind.load(), JOB_NONE);
    EXPECT_FALSE(world->DriveLocked(1));
    EXPECT_EQ(fwtest::AnimationState(dlg, IDC_ANIMATION).clip, 0u);
}

// The real Qt boxes: the worker's own error box appears while Quit waits for
// that worker, is answered, and the program ends.
TEST_F(JobsTest, AWorkersBoxWhileQuitWaitsDoesNotDeadlock) {
    AddCard(1, 'E');
    CCorvaneDlg& dlg = OpenDialog();
    qtfw::InstallQtBackend();
    Gate& opening = GateAt(kImage, Op::Open, 2);
    world->AddFault(Fault{kImage, Op::Open, 2});
    fwtest::Click(dlg, IDC_BACKUP);
    opening.AwaitReached();

    std::vector<std::pair<std::string, bool>> seen;  // text, with an owner
    bool answeredQuit = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (answeredQuit) opening.open = true;  // only once Quit waits
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible()) continue;
            const std::string text = box->text().toStdString();
            seen.push_back({text, box->parentWidget() != nullptr});
            if (text == kStopBackup.text) {
                box->button(QMessageBox::Yes)->click();
                answeredQuit = true;
            } else {
                box->button(QMessageBox::Ok)->click();
            }
            return;
        }
    });
    poll.start();
    fwtest::Click(dlg, IDC_QUIT);
    poll.stop();
    EXPECT_TRUE(fwtest::Ended(dlg));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(kStopBackup.text, true));
    EXPECT_EQ(seen[1], std::make_pair(kBackupFailed.text, false));
    EXPECT_EQ(g_job.m_hBackupThread.load(), nullptr);
    EXPECT_FALSE(world->DriveLocked(1));
    EXPECT_FALSE(std::filesystem::exists(Host()));
}

// ---- on loop devices ----------------------------------------------------------------------

TEST(LoopJobs, BackupOfOneCardThenRestoreOntoAnotherThroughTheDialog) {
    using namespace testsupport;
    SKIP_WITHOUT_LOOP_DEVICES();
    constexpr uint64_t kSize = (4 << 20) + 3 * 512;
    FakeMachine m;
    std::string backing[2];
    std::unique_ptr<LoopDevice> loops[2];
    for (int i = 0; i < 2; ++i) {
        backing[i] = m.root + "/card" + std::to_string(i) + ".raw";
        makeFile(backing[i], kSize, 0);
    }
    auto data = pattern(kSize, 23);
    auto sig = mbr(0xABCD0001, true);
    std::copy(sig.begin() + 440, sig.begin() + 444, data.begin() + 440);
    data[510] = 0x55, data[511] = 0xAA;
    writeBytes(backing[0], 0, data);
    writeBytes(backing[1], 0, mbr(0xABCD0002, true));
    for (int i = 0; i < 2; ++i) {
        loops[i] = std::make_unique<LoopDevice>(backing[i], false);
        ASSERT_TRUE(loops[i]->ok()) << "no loop device could be attached";
    }
    AddLoopCard(m, "sdx", *loops[0], kSize);
    AddLoopCard(m, "sdy", *loops[1], kSize);
    m.Install();

    InstallResources();
    ResetJob();
    g_job.m_hStopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::vector<std::string> shown;
    platform::SetMessageBoxHandler([&](HWND, const std::string& text, const std::string&, UINT type) {
        shown.push_back(text);
        return (type & 0x0F) == MB_YESNO ? IDYES : IDOK;
    });
    const std::string image = m.root + "/image.bin";
    char restoreLetter = 0;
    auto run = [&](int button, int row) {
        CCorvaneDlg dlg(nullptr);
        EXPECT_TRUE(fwtest::Open(dlg));
        EXPECT_EQ(fwtest::Items(dlg, IDC_DRIVE).size(), 2u);
        fwtest::Select(dlg, IDC_DRIVE, row);
        EXPECT_EQ(g_job.m_dwTotalBytes.load(), kSize);
        fwtest::TypeText(dlg, IDC_FILE_NAME, image);
        restoreLetter = g_driveTable[row].szDriveLetter[0];
        fwtest::Click(dlg, button);
        for (int tick = 0; tick < 6 && g_job.m_nJobKind.load() != JOB_NONE; ++tick) {
            while (g_job.m_hBackupThread.load() || g_job.m_hRestoreThread.load()) Sleep(1);
            for (UINT_PTR id : {TIMER_BACKUP, TIMER_RESTORE, TIMER_VERIFY}) {
                if (fwtest::TimerRunning(dlg, id)) fwtest::FireTimer(dlg, id);
            }
        }
        EXPECT_EQ(g_job.m_nJobKind.load(), JOB_NONE);
        fwtest::Click(dlg, IDC_QUIT);
        fwtest::Close(dlg);
        std::memset(g_driveTable, 0, sizeof g_driveTable);
        g_job.m_bQuitting = 0;
    };
    run(IDC_BACKUP, 0);
    EXPECT_EQ(readBytes(image, 0, kSize), readBytes(backing[0], 0, kSize));
    run(IDC_RESTORE, 1);
    EXPECT_EQ(readBytes(backing[1], 0, kSize), readBytes(backing[0], 0, kSize));
    EXPECT_EQ(shown, (std::vector<std::string>{kEject.text, confirmRestore(restoreLetter).text, kEject.text}));
    platform::SetMessageBoxHandler(nullptr);
    CloseHandle(g_job.m_hStopEvent);
}

}  // namespace
