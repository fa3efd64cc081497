// The main dialog: what it shows at start, the action buttons' states and
// the busy look, the file dialog, the keys that leave it open, and Quit.
#include "tests/ui/main_dialog_fixture.h"

#include "res/resource.h"

#include <QApplication>
#include <QWidget>

#include <algorithm>

namespace {

TEST_F(MainDialogTest, StartsWithItsDefaults) {
    // A stop event of that name left signalled: the dialog clears it.
    HANDLE earlier = CreateEventA(nullptr, TRUE, TRUE, "Event_Corvane");
    ASSERT_NE(earlier, nullptr);
    CCorvaneDlg& dlg = OpenDialog();

    EXPECT_EQ(fwtest::Title(dlg), "Corvane");
    EXPECT_EQ(fwtest::Text(dlg, IDC_FILE_NAME), "C:\\Drive.bin");
    int lower = -1, upper = -1;
    EXPECT_EQ(fwtest::ProgressPosition(dlg, IDC_PROGRESS, &lower, &upper), 0);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 100);
    EXPECT_EQ(fwtest::Text(dlg, IDC_VERSION), " Version 1, 0, 0, 0");
    EXPECT_EQ(fwtest::Text(dlg, IDC_PERCENT), "0");
    EXPECT_EQ(fwtest::ImageId(dlg, IDC_BACKUP), (UINT)IDB_BACKUP_OFF);
    EXPECT_EQ(fwtest::ImageId(dlg, IDC_RESTORE), (UINT)IDB_RESTORE_OFF);
    EXPECT_EQ(g_bBackupEnabled, 0);
    EXPECT_EQ(g_bRestoreEnabled, 0);
    EXPECT_EQ(fwtest::ImageId(dlg, IDC_QUIT), (UINT)IDB_QUIT);
    EXPECT_EQ(fwtest::ImageId(dlg, IDC_BROWSE), (UINT)IDI_BROWSE);
    EXPECT_EQ(fwtest::ImageId(dlg, IDC_REFRESH), (UINT)IDI_REFRESH);
    EXPECT_TRUE(fwtest::Items(dlg, IDC_DRIVE).empty());
    EXPECT_EQ(fwtest::WindowMenu(dlg), (std::vector<std::string>{"-", "&About Holdrin..."}));

    // The stop event is the named one, and not signalled.
    ASSERT_NE(g_job.m_hStopEvent, nullptr);
    EXPECT_EQ(WaitForSingleObject(g_job.m_hStopEvent, 0), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(earlier, 0), (DWORD)WAIT_TIMEOUT);
    SetEvent(earlier);
    EXPECT_EQ(WaitForSingleObject(g_job.m_hStopEvent, 0), (DWORD)WAIT_OBJECT_0);
    ResetEvent(earlier);
    CloseHandle(earlier);

    ExpectNothingShown();
}

TEST_F(MainDialogTest, ToolTipsInTheInterfaceLanguageOnSevenControlsOnly) {
    struct Case {
        const char* lang;
        const char* language;
        std::vector<std::pair<int, std::string>> tips;
    };
    const Case cases[] = {
        {"en_US.UTF-8",
         nullptr,
         {{IDC_BACKUP, "Backup of the CF card is made."},
          {IDC_RESTORE, "Recovery is performed to the CF card."},
          {IDC_QUIT, "Application is completed."},
          {IDC_BROWSE, "File is referred."},
          {IDC_REFRESH, "CF card information is updated."},
          {IDC_DRIVE, "Select the CF card."},
          {IDC_FILE_NAME, "Enter the file name."}}},
        {"ja_JP.UTF-8",
         nullptr,
         {{IDC_BACKUP, "CFカードのバックアップを行います。"},
          {IDC_RESTORE, "CFカードにリカバリを行います。"},
          {IDC_QUIT, "アプリケーションを終了します。"},
          {IDC_BROWSE, "ファイルを参照します。"},
          {IDC_REFRESH, "CFカード情報を更新します。"},
          {IDC_DRIVE, "CFカードを選択してください。"},
          {IDC_FILE_NAME, "ファイル名を入力してください。"}}},
        // LANGUAGE goes first, as it does for every program's messages.
        {"en_US.UTF-8", "ja:en", {{IDC_QUIT, "アプリケーションを終了します。"}, {IDC_DRIVE, "CFカードを選択してください。"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.lang) + " " + (c.language ? c.language : ""));
        Language language(c.lang, c.language);
        CCorvaneDlg& dlg = OpenDialog();
        for (const auto& [id, text] : c.tips) EXPECT_EQ(fwtest::ToolTip(dlg, id), text) << id;
        // The dialog's own texts stay English.
        EXPECT_EQ(fwtest::Text(dlg, IDC_BACKUP), "");
        int withTip = 0;
        for (const fwtest::ControlState& control : fwtest::Controls(dlg)) {
            const int id = control.id;
            const bool tipped = id == IDC_BACKUP || id == IDC_RESTORE || id == IDC_QUIT || id == IDC_BROWSE ||
                                id == IDC_REFRESH || id == IDC_DRIVE || id == IDC_FILE_NAME;
            EXPECT_EQ(!control.toolTip.empty(), tipped) << id << " " << control.text;
            withTip += !control.toolTip.empty();
        }
        EXPECT_EQ(withTip, 7);
        CloseDialog();
    }
    ExpectNothingShown();
}

TEST_F(MainDialogTest, ActionButtonStatesFollowEachCall) {
    CCorvaneDlg& dlg = OpenDialog();
    struct Step {
        int backup, restore;
        UINT backupImage, restoreImage;
        BYTE backupFlag, restoreFlag;
    };
    const Step steps[] = {
        {0, 0, IDB_BACKUP_OFF, IDB_RESTORE_OFF, 0, 0},
        {1, 1, IDB_BACKUP_ON, IDB_RESTORE_ON, 1, 1},
        {1, 1, IDB_BACKUP_ON, IDB_RESTORE_ON, 1, 1},  // twice: the same
        {2, 1, IDB_BACKUP_ON, IDB_RESTORE_ON, 1, 1},  // 2 leaves backup on
        {0, 0, IDB_BACKUP_OFF, IDB_RESTORE_OFF, 0, 0},
        {2, 1, IDB_BACKUP_OFF, IDB_RESTORE_ON, 0, 1},  // ... and off
        {1, 2, IDB_BACKUP_ON, IDB_RESTORE_ON, 1, 1},
        {0, -1, IDB_BACKUP_OFF, IDB_RESTORE_ON, 0, 1},
        {2, 0, IDB_BACKUP_OFF, IDB_RESTORE_OFF, 0, 0},
        {1, 2, IDB_BACKUP_ON, IDB_RESTORE_OFF, 1, 0},
    };
    int n = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE("step " + std::to_string(++n));
        dlg.SetActionButtonStates(s.backup, s.restore);
        EXPECT_EQ(fwtest::ImageId(dlg, IDC_BACKUP), s.backupImage);
        EXPECT_EQ(fwtest::ImageId(dlg, IDC_RESTORE), s.restoreImage);
        EXPECT_EQ(g_bBackupEnabled, s.backupFlag);
        EXPECT_EQ(g_bRestoreEnabled, s.restoreFlag);
        // The buttons themselves are never disabled.
        EXPECT_TRUE(fwtest::Enabled(dlg, IDC_BACKUP));
        EXPECT_TRUE(fwtest::Enabled(dlg, IDC_RESTORE));
    }
    // An argument out of range leaves the flag alone, even where it does not
    // match the look.
    g_bRestoreEnabled = 1;
    dlg.SetActionButtonStates(1, 7);
    EXPECT_EQ(g_bRestoreEnabled, 1);
    EXPECT_EQ(fwtest::ImageId(dlg, IDC_RESTORE), (UINT)IDB_RESTORE_OFF);
    ExpectNothingShown();
}

TEST_F(MainDialogTest, BusyLookChangesTheFiveThingsAndNothingElse) {
    CCorvaneDlg& dlg = OpenDialog();
    dlg.SetActionButtonStates(1, 1);
    const DialogSnapshot before = Snapshot(dlg);
    dlg.ApplyBusyLook();
    const DialogSnapshot after = Snapshot(dlg);
    std::vector<std::string> changed = Differences(before, after);
    std::vector<std::string> expected = {
        "1000 image 142 -> 164", "1009 image 143 -> 165", "g_bBackupEnabled 1 -> 0", "g_bRestoreEnabled 1 -> 0",
        "1005 image 173 -> 185", "1006 image 190 -> 191", "1004 enabled 1 -> 0",     "1001 enabled 1 -> 0",
    };
    std::sort(changed.begin(), changed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(changed, expected);
    // Once more changes nothing.
    dlg.ApplyBusyLook();
    EXPECT_TRUE(Differences(after, Snapshot(dlg)).empty());
    ExpectNothingShown();
}

TEST_F(MainDialogTest, BrowseCancelledKeepsTheTypedPathExactly) {
    CCorvaneDlg& dlg = OpenDialog();
    const std::string typed = "  /srv/cards/My Card  (old).bin ";
    fwtest::TypeText(dlg, IDC_FILE_NAME, typed);
    fwtest::Click(dlg, IDC_BROWSE);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(fwtest::Text(dlg, IDC_FILE_NAME), typed);

    // What the file dialog was asked for.
    const fwtest::FileDialogRequest& request = files[0];
    EXPECT_TRUE(request.open);
    EXPECT_EQ(request.filter, "bin( *.bin )|*.bin|all( *.* )|*.*||");
    EXPECT_EQ(request.fileName, "*.bin");
    EXPECT_EQ(request.defaultExtension, "");
    EXPECT_EQ(request.flags, (DWORD)(0x3002 | OFN_EXPLORER));
    EXPECT_EQ(request.flags & ~OFN_EXPLORER, (DWORD)(OFN_OVERWRITEPROMPT | OFN_FILEMUSTEXIST | OFN_CREATEPROMPT));
    EXPECT_EQ(request.owner, dlg.m_hWnd);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainDialogTest, BrowseAcceptedReplacesTheWholeText) {
    CCorvaneDlg& dlg = OpenDialog();
    fileAnswer = "/home/op/images/card.bin";
    fwtest::Click(dlg, IDC_BROWSE);
    EXPECT_EQ(fwtest::Text(dlg, IDC_FILE_NAME), "/home/op/images/card.bin");
    fwtest::TypeText(dlg, IDC_FILE_NAME, "C:\\a much longer path than the one chosen\\x.bin");
    fileAnswer = "/x";
    fwtest::Click(dlg, IDC_BROWSE);
    EXPECT_EQ(fwtest::Text(dlg, IDC_FILE_NAME), "/x");
    EXPECT_EQ(files.size(), 2u);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainDialogTest, BrowseShowsNothingWhileAJobRunsAndWorksAgainAfter) {
    CCorvaneDlg& dlg = OpenDialog();
    fileAnswer = "/chosen.bin";
    for (BYTE kind : {JOB_BACKUP, JOB_RESTORE}) {
        g_job.m_nJobKind = kind;
        fwtest::Click(dlg, IDC_BROWSE);
        EXPECT_TRUE(files.empty()) << (int)kind;
        EXPECT_EQ(fwtest::Text(dlg, IDC_FILE_NAME), "C:\\Drive.bin");
    }
    // The job over, the busy look stays, and a chosen path still reaches the
    // disabled box.
    dlg.ApplyBusyLook();
    g_job.m_nJobKind = JOB_NONE;
    fwtest::Click(dlg, IDC_BROWSE);
    EXPECT_EQ(files.size(), 1u);
    EXPECT_FALSE(fwtest::Enabled(dlg, IDC_FILE_NAME));
    EXPECT_EQ(fwtest::Text(dlg, IDC_FILE_NAME), "/chosen.bin");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainDialogTest, EnterEscF1AndCloseLeaveTheDialogOpen) {
    CCorvaneDlg& dlg = OpenDialog();
    fwtest::TypeText(dlg, IDC_FILE_NAME, "D:\\typed.bin");
    const DialogSnapshot before = Snapshot(dlg);
    struct Case {
        const char* what;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"Enter in the edit box", [&] { fwtest::Press(dlg, fwtest::Key::Enter, IDC_FILE_NAME); }},
        {"Enter in the drive list", [&] { fwtest::Press(dlg, fwtest::Key::Enter, IDC_DRIVE); }},
        {"Esc", [&] { fwtest::Press(dlg, fwtest::Key::Escape, IDC_FILE_NAME); }},
        {"F1", [&] { fwtest::Press(dlg, fwtest::Key::F1, IDC_QUIT); }},
        {"window manager's close", [&] { fwtest::CloseButton(dlg); }},
        {"close command", [&] { fwtest::SystemCommand(dlg, SC_CLOSE); }},
    };
    for (const Case& c : cases) {
        c.act();
        QApplication::processEvents();
        EXPECT_FALSE(fwtest::Ended(dlg)) << c.what;
        EXPECT_TRUE(dlg.m_hWnd->widget->isVisible()) << c.what;
        EXPECT_TRUE(Differences(before, Snapshot(dlg)).empty()) << c.what;
    }
    EXPECT_EQ(g_job.m_bQuitting.load(), 0);
    ExpectNothingShown();
}

TEST_F(MainDialogTest, EnterOnQuitClicksItAndQuitEndsWithCancelAskingNothing) {
    struct Case {
        const char* what;
        bool byEnter;
    };
    for (const Case c : {Case{"Enter on Quit", true}, Case{"click on Quit", false}}) {
        g_job.m_bQuitting = 0;
        CCorvaneDlg& dlg = OpenDialog();
        if (c.byEnter)
            fwtest::Press(dlg, fwtest::Key::Enter, IDC_QUIT);
        else
            fwtest::Click(dlg, IDC_QUIT);
        EXPECT_TRUE(fwtest::Ended(dlg)) << c.what;
        EXPECT_EQ(fwtest::Result(dlg), IDCANCEL) << c.what;
        EXPECT_EQ(g_job.m_bQuitting.load(), 1) << c.what;
        CloseDialog();
    }
    ExpectNothingShown();
}

}  // namespace
