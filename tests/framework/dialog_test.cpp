// The framework on Qt, on a dialog of its own: message maps, timers under a
// real message box, the animation control.
#include "framework/afxwin.h"
#include "framework/avi.h"
#include "framework/qt/qt_backend.h"
#include "framework/testing.h"
#include "platform/resources.h"
#include "res/resource.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr WORD kProbeDialog = 0x7A00;
constexpr int kButtonA = 501, kButtonB = 502, kCombo = 503, kAnimation = 504;

const DialogControl kProbeControls[] = {
    {kButtonA, "BUTTON", "A", 0, 10, 10, 50, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0},
    {kButtonB, "BUTTON", "B", 0, 70, 10, 50, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0},
    {kCombo, "COMBOBOX", "", 0, 130, 10, 60, 60, WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 0},
    {kAnimation, "SysAnimate32", "", 0, 10, 40, 264, 30, WS_CHILD | WS_VISIBLE | ACS_CENTER | ACS_TRANSPARENT, 0},
};

const DialogTemplate kProbeTemplate = {
    kProbeDialog,
    true,
    "Probe",
    0,
    0,
    282,
    90,
    WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT,
    0,
    {"MS Shell Dlg", 8, 0, 0, 1},
    kProbeControls,
    sizeof kProbeControls / sizeof kProbeControls[0],
};

const platform::ResourceEntry kProbeResource[] = {
    {RT_DIALOG, kProbeDialog, 0x0409, reinterpret_cast<const BYTE*>(&kProbeTemplate), (DWORD)sizeof kProbeTemplate},
};

// Records which handler each message reached.
class ProbeDlg : public CDialog {
public:
    ProbeDlg() : CDialog(kProbeDialog) {}

    std::vector<std::string> calls;
    std::function<void(UINT_PTR)> onTimer;
    CAnimateCtrl m_animation;
    CComboBox m_combo;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, kAnimation, m_animation);
        DDX_Control(pDX, kCombo, m_combo);
    }
    void OnA() { calls.push_back("A"); }
    void OnB() { calls.push_back("B"); }
    void OnSelchange() { calls.push_back("selchange"); }
    void OnEditchange() { calls.push_back("editchange"); }
    void OnSysCommand(UINT nID, LPARAM) { calls.push_back("syscommand " + std::to_string(nID)); }
    void OnTimer(UINT_PTR nIDEvent) {
        calls.push_back("timer " + std::to_string(nIDEvent));
        if (onTimer) onTimer(nIDEvent);
    }
    BOOL OnHelpInfo(HELPINFO* info) {
        calls.push_back("help " + std::to_string(info ? info->iCtrlId : -1));
        return TRUE;
    }
    HCURSOR OnQueryDragIcon() {
        calls.push_back("dragicon");
        return reinterpret_cast<HCURSOR>(this);
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ProbeDlg, CDialog)
ON_BN_CLICKED(kButtonA, ProbeDlg::OnA)
ON_BN_CLICKED(kButtonB, ProbeDlg::OnB)
ON_CBN_SELCHANGE(kCombo, ProbeDlg::OnSelchange)
ON_CBN_EDITCHANGE(kCombo, ProbeDlg::OnEditchange)
ON_WM_SYSCOMMAND()
ON_WM_TIMER()
ON_WM_HELPINFO()
ON_WM_QUERYDRAGICON()
END_MESSAGE_MAP()

// Its own entry for B comes before the base's; A still reaches the base's.
class DerivedDlg : public ProbeDlg {
protected:
    void OnOwnB() { calls.push_back("own B"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(DerivedDlg, ProbeDlg)
ON_BN_CLICKED(kButtonB, DerivedDlg::OnOwnB)
END_MESSAGE_MAP()

class FrameworkDialog : public ::testing::Test {
protected:
    void SetUp() override { platform::RegisterResources(kProbeResource, 1); }
    void TearDown() override {
        platform::RemoveResources(kProbeResource, 1);
        fwtest::SetModalHandler(nullptr);
        qtfw::InstallQtBackend();
    }

    // Runs the event loop until done says so; false if it never does.
    static bool PumpUntil(const std::function<bool()>& done, int limitMs = 20000) {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > limitMs) return false;
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return true;
    }
};

TEST_F(FrameworkDialog, MessageMapFindsHandlerByMessageCodeAndId) {
    struct Case {
        UINT message;
        WPARAM wParam;
        bool handled;
        const char* call;  // for the base class, then for the derived one
        const char* derivedCall;
    };
    HELPINFO help{};
    help.iCtrlId = 1003;
    const Case cases[] = {
        {WM_COMMAND, MAKELPARAM(kButtonA, BN_CLICKED), true, "A", "A"},
        {WM_COMMAND, MAKELPARAM(kButtonB, BN_CLICKED), true, "B", "own B"},
        {WM_COMMAND, MAKELPARAM(kCombo, CBN_SELCHANGE), true, "selchange", "selchange"},
        {WM_COMMAND, MAKELPARAM(kCombo, CBN_EDITCHANGE), true, "editchange", "editchange"},
        // The right id with another code, or the right code with another id: nobody.
        {WM_COMMAND, MAKELPARAM(kButtonA, CBN_SELCHANGE), false, "", ""},
        {WM_COMMAND, MAKELPARAM(kCombo, BN_CLICKED), false, "", ""},
        {WM_COMMAND, MAKELPARAM(999, BN_CLICKED), false, "", ""},
        {WM_SYSCOMMAND, 0x10, true, "syscommand 16", "syscommand 16"},
        {WM_SYSCOMMAND, 0xF060, true, "syscommand 61536", "syscommand 61536"},
        {WM_TIMER, 7, true, "timer 7", "timer 7"},
        {WM_HELP, 0, true, "help 1003", "help 1003"},
        {WM_QUERYDRAGICON, 0, true, "dragicon", "dragicon"},
        {WM_PAINT, 0, false, "", ""},
    };
    for (const Case& c : cases) {
        ProbeDlg base;
        DerivedDlg derived;
        const LPARAM lParam = c.message == WM_HELP ? (LPARAM)&help : 0;
        LRESULT result = -1;
        EXPECT_EQ(base.OnCmdMsgMap(c.message, c.wParam, lParam, &result) != FALSE, c.handled) << c.call;
        EXPECT_EQ(derived.OnCmdMsgMap(c.message, c.wParam, lParam, nullptr) != FALSE, c.handled) << c.call;
        EXPECT_EQ(base.calls, c.handled ? std::vector<std::string>{c.call} : std::vector<std::string>{});
        EXPECT_EQ(derived.calls, c.handled ? std::vector<std::string>{c.derivedCall} : std::vector<std::string>{});
        if (c.message == WM_HELP) {
            EXPECT_EQ(result, TRUE);
        }
        if (c.message == WM_QUERYDRAGICON) {
            EXPECT_EQ(result, (LRESULT)&base);
        }
    }
}

TEST_F(FrameworkDialog, ControlsReachTheirHandlersThroughQt) {
    DerivedDlg dialog;
    ASSERT_TRUE(fwtest::Open(dialog));
    dialog.m_combo.AddString("F");
    dialog.m_combo.AddString("E");
    fwtest::Click(dialog, kButtonA);
    fwtest::Click(dialog, kButtonB);
    fwtest::Select(dialog, kCombo, 1);
    fwtest::Press(dialog, fwtest::Key::F1, kCombo);
    fwtest::SystemCommand(dialog, 0x20);
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"A", "own B", "selchange", "help 503", "syscommand 32"}));
    EXPECT_EQ(dialog.m_combo.GetCurSel(), 1);
    fwtest::Close(dialog);
}

TEST_F(FrameworkDialog, TimersTickUnderARealMessageBoxUntilKilled) {
    ProbeDlg dialog;
    ASSERT_TRUE(fwtest::Open(dialog));
    int underBox7 = 0, underBox9 = 0, ticks7 = 0, ticks9 = 0;
    dialog.onTimer = [&](UINT_PTR id) {
        const bool boxUp = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr;
        (id == 7 ? ticks7 : ticks9)++;
        if (boxUp) (id == 7 ? underBox7 : underBox9)++;
    };
    EXPECT_EQ(dialog.SetTimer(7, 10, nullptr), 7u);
    EXPECT_EQ(dialog.SetTimer(9, 15, nullptr), 9u);
    EXPECT_TRUE(fwtest::TimerRunning(dialog, 7));

    // Closes the box once both timers have ticked under it; the time limit
    // only ends a test that would otherwise hang.
    QElapsedTimer clock;
    clock.start();
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && ((underBox7 >= 3 && underBox9 >= 2) || clock.elapsed() > 20000)) box->button(QMessageBox::Ok)->click();
    });
    closer.start(5);
    const int answer = dialog.MessageBox("Timers run under this box.", "Message", MB_OK | MB_ICONINFORMATION);
    closer.stop();
    EXPECT_EQ(answer, IDOK);
    EXPECT_GE(underBox7, 3);
    EXPECT_GE(underBox9, 2);

    EXPECT_TRUE(dialog.KillTimer(7));
    EXPECT_FALSE(dialog.KillTimer(7));
    EXPECT_FALSE(fwtest::TimerRunning(dialog, 7));
    EXPECT_TRUE(fwtest::TimerRunning(dialog, 9));
    // Timer 9 goes on ticking; 7 stays silent all the while.
    const int killedAt = ticks7, nineAt = ticks9;
    EXPECT_TRUE(PumpUntil([&] { return ticks9 >= nineAt + 5; }));
    EXPECT_EQ(ticks7, killedAt);
    EXPECT_TRUE(dialog.KillTimer(9));
    fwtest::Close(dialog);
}

TEST_F(FrameworkDialog, AnimationPlaysTheClipWithMagentaClear) {
    ProbeDlg dialog;
    ASSERT_TRUE(fwtest::Open(dialog));
    EXPECT_FALSE(dialog.m_animation.Open(9999));
    ASSERT_TRUE(dialog.m_animation.Open(IDR_AVI_BACKUP));
    fwtest::Animation state = fwtest::AnimationState(dialog, kAnimation);
    EXPECT_EQ(state.clip, (UINT)IDR_AVI_BACKUP);
    EXPECT_EQ(state.frames, 17);
    EXPECT_EQ(state.intervalMs, 100);
    EXPECT_FALSE(state.playing);

    // The clip as stored: frame 0's corner is the magenta ground; some pixel
    // is not.
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_AVI_BACKUP), "AVI");
    ASSERT_NE(found, nullptr);
    const BYTE* bytes = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
    const size_t size = SizeofResource(nullptr, found);
    AviClip clip;
    std::vector<std::vector<BYTE>> frames;
    ASSERT_TRUE(ReadAvi(bytes, size, &clip));
    ASSERT_TRUE(DecodeAviFrames(bytes, size, clip, &frames));
    const PaletteColor magenta{255, 0, 255};
    ASSERT_EQ(clip.palette[frames[0][0]], magenta);
    size_t drawn = 0;
    while (drawn < frames[0].size() && clip.palette[frames[0][drawn]] == magenta) ++drawn;
    ASSERT_LT(drawn, frames[0].size());

    // As the dialog shows it: the ground is the dialog's, the picture its own.
    const RECT r = fwtest::ControlRect(dialog, kAnimation);
    const int left = r.left + (r.right - r.left - clip.width) / 2;
    const int top = r.top + (r.bottom - r.top - clip.height) / 2;
    const QImage shot = dialog.m_hWnd->widget->grab().toImage();
    const QRgb background = shot.pixel(2, shot.height() - 3);
    EXPECT_EQ(shot.pixel(left, top), background);
    EXPECT_NE(shot.pixel(left, top), qRgb(255, 0, 255));
    const PaletteColor c = clip.palette[frames[0][drawn]];
    EXPECT_EQ(shot.pixel(left + (int)(drawn % clip.width), top + (int)(drawn / clip.width)), qRgb(c.r, c.g, c.b));

    ASSERT_TRUE(dialog.m_animation.Play(0, 0xFFFF, (UINT)-1));
    EXPECT_TRUE(fwtest::AnimationState(dialog, kAnimation).playing);
    // It moves on by itself and goes round: past the last frame back to 0.
    bool sawLast = false;
    EXPECT_TRUE(PumpUntil([&] {
        const int frame = fwtest::AnimationState(dialog, kAnimation).frame;
        sawLast |= frame == 16;
        return sawLast && frame < 16;
    }));
    EXPECT_TRUE(dialog.m_animation.Stop());
    const int stoppedAt = fwtest::AnimationState(dialog, kAnimation).frame;
    EXPECT_FALSE(fwtest::AnimationState(dialog, kAnimation).playing);
    QApplication::processEvents();
    EXPECT_EQ(fwtest::AnimationState(dialog, kAnimation).frame, stoppedAt);
    EXPECT_TRUE(dialog.m_animation.Close());
    EXPECT_EQ(fwtest::AnimationState(dialog, kAnimation).clip, 0u);
    fwtest::Close(dialog);
}

}  // namespace

namespace {

// The three forms of box the program shows, as Qt shows them: caption,
// icon, buttons, the answer, and each line of the text kept whole.
TEST_F(FrameworkDialog, MessageBoxesShowTheirFormAndAnswer) {
    ProbeDlg dialog;
    ASSERT_TRUE(fwtest::Open(dialog));
    struct Case {
        UINT type;
        const char* caption;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton press;
        int answer;
    };
    const Case cases[] = {
        {MB_YESNO | MB_ICONINFORMATION, "Message", QMessageBox::Information, QMessageBox::Yes | QMessageBox::No,
         QMessageBox::Yes, IDYES},
        {MB_YESNO | MB_ICONINFORMATION, "Message", QMessageBox::Information, QMessageBox::Yes | QMessageBox::No,
         QMessageBox::No, IDNO},
        {MB_OK | MB_ICONINFORMATION, "Message", QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok, IDOK},
        {MB_OK | MB_ICONERROR, "Error", QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok, IDOK},
    };
    const char* text = "Size of the data to be recovered is too large.\n"
                       "Check each capacity of a device and data, and execute the recovering again.";
    for (const Case& c : cases) {
        bool seen = false;
        QString title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QWidget* parent = nullptr;
        int labelLines = 0;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || seen) return;
            seen = true;
            title = box->windowTitle();
            icon = box->icon();
            buttons = box->standardButtons();
            parent = box->parentWidget();
            auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            if (label) labelLines = (label->height() + 2) / QFontMetrics(label->font()).lineSpacing();
            box->button(c.press)->click();
        });
        closer.start(5);
        EXPECT_EQ(dialog.MessageBox(text, c.caption, c.type), c.answer);
        closer.stop();
        ASSERT_TRUE(seen);
        EXPECT_EQ(title, QString::fromUtf8(c.caption));
        EXPECT_EQ(icon, c.icon);
        EXPECT_EQ(buttons, c.buttons);
        EXPECT_EQ(parent, dialog.m_hWnd->widget.data());
        EXPECT_EQ(labelLines, 2);
    }
    fwtest::Close(dialog);
}

}  // namespace
