// Dialogs, the application object, message boxes and the other instance.
#include "framework/qt/qt_backend.h"
#include "framework/testing.h"

#include "platform/backend.h"
#include "platform/instance.h"

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QMetaObject>
#include <QScreen>
#include <QThread>

#include <algorithm>
#include <cstring>
#include <future>
#include <mutex>

namespace {

std::function<INT_PTR(CDialog&)> g_modalHandler;
std::function<INT_PTR(const fwtest::FileDialogRequest&, std::string*)> g_fileHandler;
CWinApp* g_app = nullptr;

qtfw::DialogWindow* windowOf(CDialog& dialog) {
    return dialog.m_hWnd && dialog.m_hWnd->kind == qtfw::ControlKind::Dialog ? dialog.m_hWnd->dialog : nullptr;
}

QWidget* ownerWidget(CWnd* parent) {
    if (parent && parent->m_hWnd) return parent->m_hWnd->widget;
    // As on Windows, a dialog without a parent is owned by the active one.
    auto& open = qtfw::OpenDialogs();
    return open.empty() ? nullptr : open.back();
}

}  // namespace

// ---- CDialog ----------------------------------------------------------------------

struct DialogAccess {
    static BOOL OnInitDialog(CDialog& d) { return d.OnInitDialog(); }
    static void OnOK(CDialog& d) { d.OnOK(); }
    static void OnCancel(CDialog& d) { d.OnCancel(); }
    static void DefaultSysCommand(CDialog& d, UINT id) { d.CWnd::OnSysCommand(id, 0); }

    // Builds the window and runs OnInitDialog.
    static qtfw::DialogWindow* Create(CDialog& d) {
        const DialogTemplate* tmpl = qtfw::FindTemplate(d.m_nIDTemplate);
        if (!tmpl) return nullptr;
        auto* window = new qtfw::DialogWindow(&d, *tmpl, ownerWidget(d.m_pParentWnd));
        d.m_hWnd = window->Handle();
        if (DialogAccess::OnInitDialog(d) && !window->Ended()) {
            // The first control that takes the focus gets it.
            QWidget* first = window->nextInFocusChain();
            while (first && first != window && !(first->focusPolicy() & Qt::TabFocus)) first = first->nextInFocusChain();
            if (first && first != window) first->setFocus(Qt::TabFocusReason);
        }
        return window;
    }
};

// The framework's own entry points for its Qt code, which is not a friend.
namespace qtfw {
void CallOnOK(CDialog& d) { DialogAccess::OnOK(d); }
void CallOnCancel(CDialog& d) { DialogAccess::OnCancel(d); }
void CallDefaultSysCommand(CDialog& d, UINT id) { DialogAccess::DefaultSysCommand(d, id); }
}  // namespace qtfw

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDHelp(nIDTemplate), m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() {
    if (qtfw::DialogWindow* window = windowOf(*this)) delete window;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::EndDialog(int nResult) {
    if (qtfw::DialogWindow* window = windowOf(*this)) window->End(nResult);
}

INT_PTR CDialog::DoModal() {
    qtfw::DialogWindow* window = DialogAccess::Create(*this);
    if (!window) return -1;
    INT_PTR result;
    if (g_modalHandler) {
        result = window->Ended() ? window->Result() : g_modalHandler(*this);
    } else {
        window->setModal(true);
        if (!window->Ended()) window->exec();
        result = window->Result();
    }
    delete window;
    m_hWnd = nullptr;
    return result;
}

// ---- the file dialog --------------------------------------------------------------

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt, LPCSTR lpszFileName, DWORD dwFlags,
                         LPCSTR lpszFilter, CWnd* pParentWnd)
    : CDialog(0, pParentWnd),
      m_bOpenFileDialog(bOpenFileDialog),
      m_strDefExt(lpszDefExt),
      m_strFileName(lpszFileName),
      m_dwFlags(dwFlags | OFN_EXPLORER),
      m_strFilter(lpszFilter) {}

namespace {

// "bin( *.bin )|*.bin|all( *.* )|*.*||" as Qt writes filters.
QStringList qtFilters(const std::string& filter) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : filter) {
        if (c == '|') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    QStringList out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty()) break;
        QString patterns = qtfw::FromAnsi(parts[i + 1].c_str()).replace(';', ' ');
        out << qtfw::FromAnsi(parts[i].c_str()) + " (" + patterns + ")";
    }
    return out;
}

}  // namespace

INT_PTR CFileDialog::DoModal() {
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!owner && !qtfw::OpenDialogs().empty()) owner = qtfw::OpenDialogs().back()->Handle();
    if (g_fileHandler) {
        fwtest::FileDialogRequest request{m_bOpenFileDialog != FALSE, (LPCSTR)m_strDefExt, (LPCSTR)m_strFileName,
                                          m_dwFlags, (LPCSTR)m_strFilter, owner};
        std::string path;
        INT_PTR result = g_fileHandler(request, &path);
        if (result == IDOK) m_strPathName = path.c_str();
        return result;
    }
    QFileDialog dialog(owner ? owner->widget.data() : nullptr);
    dialog.setAcceptMode(m_bOpenFileDialog ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    // An open dialog that may name a new file: it must be in an existing folder.
    dialog.setFileMode((m_dwFlags & OFN_CREATEPROMPT) || !(m_dwFlags & OFN_FILEMUSTEXIST) ? QFileDialog::AnyFile
                                                                                          : QFileDialog::ExistingFile);
    dialog.setNameFilters(qtFilters((LPCSTR)m_strFilter));
    if (!m_strDefExt.IsEmpty()) dialog.setDefaultSuffix(qtfw::FromAnsi(m_strDefExt));
    const QString name = qtfw::FromAnsi(m_strFileName);
    if (!name.isEmpty() && !name.contains('*') && !name.contains('?')) dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return IDCANCEL;
    const QString chosen = dialog.selectedFiles().first();
    if ((m_dwFlags & OFN_CREATEPROMPT) && !QFileInfo::exists(chosen)) {
        // The system dialog's own question before a new name is taken.
        if (QMessageBox::question(&dialog, dialog.windowTitle(),
                                  QFileDialog::tr("%1 does not exist.\nDo you want to create it?").arg(chosen)) !=
            QMessageBox::Yes)
            return IDCANCEL;
    }
    m_strPathName = qtfw::ToAnsi(chosen).c_str();
    return IDOK;
}

CString CFileDialog::GetPathName() const { return m_strPathName; }

// ---- the application ------------------------------------------------------------------

CWinApp::CWinApp(LPCSTR) { g_app = this; }
CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}
BOOL CWinApp::InitInstance() { return TRUE; }
void CWinApp::OnHelp() {}

CWinApp* AfxGetApp() { return g_app; }
HINSTANCE AfxGetInstanceHandle() { return GetModuleHandleA(nullptr); }
HINSTANCE AfxGetResourceHandle() { return GetModuleHandleA(nullptr); }
void AfxEnableControlContainer() {}  // no embedded controls here

// ---- top-level windows ------------------------------------------------------------------

namespace {

// Stands for the window of the program's other running instance.
HWND__ g_otherInstance;
std::string g_otherTitle;

// Carries calls from other threads to the UI thread. The calls wait in our
// own queue under a std::mutex, so that the hand-over is one the thread
// sanitizer sees (Qt's event queue is not instrumented); Qt's event only
// wakes the UI thread to run them.
class Courier : public QObject {
public:
    void Post(std::function<void()> call) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            calls_.push_back(std::move(call));
        }
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
    }

protected:
    void customEvent(QEvent*) override {
        std::vector<std::function<void()>> calls;
        {
            std::lock_guard<std::mutex> guard(lock_);
            calls.swap(calls_);
        }
        for (auto& call : calls) call();
    }

private:
    std::mutex lock_;
    std::vector<std::function<void()>> calls_;
};

// Made on the UI thread, by InstallQtBackend, before any other thread can
// post; it lives as long as the process.
Courier* courier() {
    static Courier* made = new Courier;
    return made;
}

void onGuiThread(std::function<void()> call) {
    if (!qApp) return;
    if (QThread::currentThread() == qApp->thread())
        call();
    else
        courier()->Post(std::move(call));
}

}  // namespace

HWND FindWindowA(LPCSTR, LPCSTR lpWindowName) {
    const QString title = qtfw::FromAnsi(lpWindowName);
    for (qtfw::DialogWindow* window : qtfw::OpenDialogs())
        if (window->windowTitle() == title) return window->Handle();
    if (!platform::ContestedMutexName().empty()) {
        g_otherTitle = lpWindowName ? lpWindowName : "";
        return &g_otherInstance;
    }
    return nullptr;
}

BOOL ShowWindow(HWND hWnd, int nCmdShow) {
    if (!hWnd) return FALSE;
    if (hWnd == &g_otherInstance) {
        if (nCmdShow == SW_RESTORE)
            platform::ActivateOtherInstance(platform::ContestedMutexName().c_str(), "restore " + g_otherTitle);
        return TRUE;
    }
    if (!hWnd->widget) return FALSE;
    const bool wasVisible = hWnd->widget->isVisible();
    if (nCmdShow == SW_HIDE)
        hWnd->widget->hide();
    else if (nCmdShow == SW_RESTORE)
        hWnd->widget->showNormal();
    else
        hWnd->widget->show();
    return wasVisible;
}

BOOL SetForegroundWindow(HWND hWnd) {
    if (!hWnd) return FALSE;
    if (hWnd == &g_otherInstance)
        return platform::ActivateOtherInstance(platform::ContestedMutexName().c_str(), "raise " + g_otherTitle);
    if (!hWnd->widget) return FALSE;
    hWnd->widget->raise();
    hWnd->widget->activateWindow();
    return TRUE;
}

void PostQuitMessage(int nExitCode) {
    if (qApp) QMetaObject::invokeMethod(qApp, [nExitCode] { qApp->exit(nExitCode); }, Qt::QueuedConnection);
}

BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (!hWnd || !hWnd->dialog) return FALSE;
    QPointer<QWidget> alive = hWnd->widget;
    qtfw::DialogWindow* dialog = hWnd->dialog;
    onGuiThread([alive, dialog, Msg, wParam, lParam] {
        // WM_NULL only wakes the loop; a window gone meanwhile gets nothing.
        if (alive && Msg != WM_NULL) dialog->Deliver(Msg, wParam, lParam);
    });
    return TRUE;
}

// ---- message boxes ----------------------------------------------------------------------

namespace {

// A box breaks its text only where the text does, as long as its longest
// line fits well on the screen; Qt's own wrapping would break a sentence of
// one line after a few words.
void keepLines(QMessageBox& box) {
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!label) return;
    const QScreen* screen = box.screen() ? box.screen() : QGuiApplication::primaryScreen();
    const int room = screen ? screen->availableGeometry().width() * 5 / 8 : 640;
    QFontMetrics metrics(label->font());
    int widest = 0;
    for (const QString& line : box.text().split('\n')) widest = std::max(widest, metrics.horizontalAdvance(line));
    // Qt decides on wrapping as the box is shown; a label that needs the
    // width of its longest line gets it.
    label->setMinimumWidth(std::min(widest + 1, room));
}

int showBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
    QWidget* parent = owner && owner->widget ? owner->widget->window() : nullptr;
    QMessageBox box(parent);
    box.setWindowTitle(qtfw::FromAnsi(caption.c_str()));
    box.setTextFormat(Qt::PlainText);
    box.setText(qtfw::FromAnsi(text.c_str()));
    keepLines(box);
    switch (type & 0xF0) {
        case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
        case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
        case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
        case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
        default: break;
    }
    if ((type & 0x0F) == MB_YESNO)
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    else if ((type & 0x0F) == MB_OKCANCEL)
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    else
        box.setStandardButtons(QMessageBox::Ok);
    if (parent) {
        box.setWindowModality(Qt::WindowModal);
        box.exec();
    } else {
        // A box without an owner blocks only whoever asked, not the dialog.
        box.setWindowModality(Qt::NonModal);
        QEventLoop loop;
        QObject::connect(&box, &QMessageBox::finished, &loop, &QEventLoop::quit);
        box.show();
        loop.exec();
    }
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Yes: return IDYES;
        case QMessageBox::No: return IDNO;
        case QMessageBox::Cancel: return IDCANCEL;
        default: return (type & 0x0F) == MB_YESNO ? IDNO : IDOK;
    }
}

}  // namespace

void qtfw::InstallQtBackend() {
    courier();
    platform::SetMessageBoxHandler([](HWND owner, const std::string& text, const std::string& caption, UINT type) {
        if (!qApp) return (type & 0x0F) == MB_YESNO ? IDNO : IDOK;
        if (QThread::currentThread() == qApp->thread()) return showBox(owner, text, caption, type);
        // A worker's box is shown by the UI thread; the worker waits for it.
        auto answer = std::make_shared<std::promise<int>>();
        std::future<int> shown = answer->get_future();
        onGuiThread([=] { answer->set_value(showBox(nullptr, text, caption, type)); });
        return shown.get();
    });
    // Waiting for a worker, the dialogs take no input but a worker's box
    // still shows and answers.
    platform::SetWaitPump([](int phase) {
        static std::vector<QPointer<QWidget>> disabled;
        if (phase == 0) {
            for (qtfw::DialogWindow* window : qtfw::OpenDialogs())
                if (window->isEnabled()) {
                    window->setEnabled(false);
                    disabled.push_back(window);
                }
        } else if (phase == 1) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        } else {
            for (auto& window : disabled)
                if (window) window->setEnabled(true);
            disabled.clear();
        }
    });
    platform::SetActivateHandler([](const std::string& request) {
        onGuiThread([request] {
            const bool restore = request.rfind("restore ", 0) == 0;
            const bool raise = request.rfind("raise ", 0) == 0;
            if (!restore && !raise) return;
            const QString title = qtfw::FromAnsi(request.substr(request.find(' ') + 1).c_str());
            for (qtfw::DialogWindow* window : qtfw::OpenDialogs()) {
                if (window->windowTitle() != title) continue;
                if (restore) window->showNormal();
                window->raise();
                window->activateWindow();
            }
        });
    });
}

// ---- seams for tests ----------------------------------------------------------------------

namespace fwtest {

void SetModalHandler(std::function<INT_PTR(CDialog&)> handler) { g_modalHandler = std::move(handler); }

void SetFileDialogHandler(std::function<INT_PTR(const FileDialogRequest&, std::string*)> handler) {
    g_fileHandler = std::move(handler);
}

BOOL Open(CDialog& dialog) {
    qtfw::DialogWindow* window = DialogAccess::Create(dialog);
    if (!window) return FALSE;
    window->show();
    return TRUE;
}

void Close(CDialog& dialog) {
    if (qtfw::DialogWindow* window = windowOf(dialog)) delete window;
    dialog.m_hWnd = nullptr;
}

bool Ended(CDialog& dialog) {
    qtfw::DialogWindow* window = windowOf(dialog);
    return window && window->Ended();
}

int Result(CDialog& dialog) {
    qtfw::DialogWindow* window = windowOf(dialog);
    return window ? window->Result() : 0;
}

}  // namespace fwtest
