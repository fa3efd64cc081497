// What the framework's handles stand for in the Qt backend.
#pragma once

#include "framework/afxwin.h"
#include "framework/dialog_template.h"

#include <QDialog>
#include <QIcon>
#include <QPixmap>
#include <QPointer>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QMenu;
class QPainter;
class QTimer;
class QWidget;

namespace qtfw {

class DialogWindow;

enum class ControlKind { Dialog, Edit, PushButton, GroupBox, Static, ComboBox, Progress, Animation, Other };

}  // namespace qtfw

// A window: the dialog or one of its controls.
struct HWND__ {
    QPointer<QWidget> widget;
    qtfw::ControlKind kind = qtfw::ControlKind::Other;
    int id = 0;
    DWORD style = 0;
    qtfw::DialogWindow* dialog = nullptr;  // the dialog it belongs to (itself for a dialog)
    CWnd* wnd = nullptr;                   // the program's object bound to it
    std::unique_ptr<CWnd> temporary;       // the object GetDlgItem hands out when none is bound
    HBITMAP bitmap = nullptr;              // what BM_SETIMAGE last set
    HICON icon = nullptr;
    QString toolTip;
};

struct HBITMAP__ {
    QPixmap pixmap;
    UINT resourceId = 0;
};

struct HICON__ {
    QIcon icon;
    QPixmap pixmap;  // the image at its own size
    UINT resourceId = 0;
};

struct HMENU__ {
    struct Item {
        UINT flags;
        UINT_PTR id;
        std::string text;
    };
    std::vector<Item> items;
};

struct HDC__ {
    QPainter* painter = nullptr;
};

namespace qtfw {

// Turns a "%s"-free ANSI text of the program into a Qt string and back.
QString FromAnsi(const char* text);
std::string ToAnsi(const QString& text);

// The dialog as Qt sees it, built from a template.
class DialogWindow : public QDialog {
public:
    DialogWindow(CDialog* owner, const DialogTemplate& tmpl, QWidget* parent);
    ~DialogWindow() override;

    HWND Handle() { return &self_; }
    HWND Control(int id);
    // Every control, in template order.
    const std::vector<std::unique_ptr<HWND__>>& Controls() const { return controls_; }
    CDialog* Owner() const { return owner_; }
    const DialogTemplate& Template() const { return tmpl_; }
    HMENU WindowMenu() { return &menu_; }

    // Dialog units of this dialog's font, in pixels.
    QRect MapDialogRect(int x, int y, int cx, int cy) const;

    void StartTimer(UINT_PTR id, UINT elapse);
    bool StopTimer(UINT_PTR id);
    bool TimerRunning(UINT_PTR id) const;
    void End(int result);
    bool Ended() const { return ended_; }
    int Result() const { return result_; }

    // Delivers a message to the program's handlers; false when none took it.
    bool Deliver(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;
    void accept() override;
    void done(int result) override;

private:
    void build();
    HWND addControl(const DialogControl& control, const QFont& font);

    CDialog* owner_;
    const DialogTemplate& tmpl_;
    HWND__ self_;
    std::vector<std::unique_ptr<HWND__>> controls_;
    std::map<UINT_PTR, QTimer*> timers_;
    HMENU__ menu_;
    double unitX_ = 1.5, unitY_ = 1.625;
    bool ended_ = false;
    bool closing_ = false;
    int result_ = 0;
};

// The template of a dialog id, from the program's resources.
const DialogTemplate* FindTemplate(UINT id);
QPixmap BitmapResource(UINT id, bool* found);
QPixmap IconResource(UINT id, int size, bool* found);

// The dialog's own handlers, which only the framework calls.
void CallOnOK(CDialog& dialog);
void CallOnCancel(CDialog& dialog);
void CallDefaultSysCommand(CDialog& dialog, UINT id);

// Installs the backend's answers to the platform's window questions:
// message boxes shown by Qt, the other instance raised.
void InstallQtBackend();

// The dialogs open now, innermost last.
std::vector<DialogWindow*>& OpenDialogs();

}  // namespace qtfw
