// The seams for tests, on the Qt backend.
#include "framework/qt/animation.h"
#include "framework/qt/qt_backend.h"
#include "framework/testing.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace fwtest {
namespace {

qtfw::DialogWindow* windowOf(CDialog& dialog) {
    return dialog.m_hWnd && dialog.m_hWnd->kind == qtfw::ControlKind::Dialog ? dialog.m_hWnd->dialog : nullptr;
}

HWND control(CDialog& dialog, int id) {
    qtfw::DialogWindow* window = windowOf(dialog);
    return window ? window->Control(id) : nullptr;
}

template <typename T>
T* widget(CDialog& dialog, int id) {
    HWND hwnd = control(dialog, id);
    return hwnd ? dynamic_cast<T*>(hwnd->widget.data()) : nullptr;
}

}  // namespace

void Click(CDialog& dialog, int id) {
    if (auto* button = widget<QPushButton>(dialog, id)) button->click();
}

void Select(CDialog& dialog, int id, int index) {
    auto* combo = widget<QComboBox>(dialog, id);
    if (!combo) return;
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

void TypeText(CDialog& dialog, int id, const std::string& text) {
    if (auto* edit = widget<QLineEdit>(dialog, id)) edit->setText(qtfw::FromAnsi(text.c_str()));
}

void Press(CDialog& dialog, Key key, int focusId) {
    qtfw::DialogWindow* window = windowOf(dialog);
    if (!window) return;
    if (HWND focus = focusId ? control(dialog, focusId) : nullptr) focus->widget->setFocus();
    const int code = key == Key::Enter ? Qt::Key_Return : key == Key::Escape ? Qt::Key_Escape : Qt::Key_F1;
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
    QApplication::sendEvent(window, &press);
}

void CloseButton(CDialog& dialog) {
    if (qtfw::DialogWindow* window = windowOf(dialog)) window->close();
}

void SystemCommand(CDialog& dialog, UINT id) {
    qtfw::DialogWindow* window = windowOf(dialog);
    if (window && !window->Deliver(WM_SYSCOMMAND, id, 0)) qtfw::CallDefaultSysCommand(dialog, id);
}

std::vector<std::string> WindowMenu(CDialog& dialog) {
    std::vector<std::string> items;
    if (qtfw::DialogWindow* window = windowOf(dialog))
        for (const auto& item : window->WindowMenu()->items) items.push_back(item.flags & MF_SEPARATOR ? "-" : item.text);
    return items;
}

void FireTimer(CDialog& dialog, UINT_PTR id) {
    if (qtfw::DialogWindow* window = windowOf(dialog)) window->Deliver(WM_TIMER, id, 0);
}

bool TimerRunning(CDialog& dialog, UINT_PTR id) {
    qtfw::DialogWindow* window = windowOf(dialog);
    return window && window->TimerRunning(id);
}

bool Exists(CDialog& dialog, int id) { return control(dialog, id) != nullptr; }

std::string Text(CDialog& dialog, int id) {
    HWND hwnd = control(dialog, id);
    if (!hwnd) return {};
    CString text;
    CWnd::FromHandle(hwnd)->GetWindowText(text);
    return (LPCSTR)text;
}

bool Enabled(CDialog& dialog, int id) {
    HWND hwnd = control(dialog, id);
    return hwnd && hwnd->widget && hwnd->widget->isEnabled();
}

bool Visible(CDialog& dialog, int id) {
    HWND hwnd = control(dialog, id);
    return hwnd && hwnd->widget && hwnd->widget->isVisible();
}

namespace {

UINT imageOf(HWND hwnd, UINT templateImage) {
    if (!hwnd) return 0;
    if (hwnd->kind == qtfw::ControlKind::Static) {
        auto* label = qobject_cast<QLabel*>(hwnd->widget.data());
        return (hwnd->style & 0x1F) == SS_ICON && label && !label->pixmap().isNull() ? templateImage : 0;
    }
    if (hwnd->style & BS_BITMAP) return hwnd->bitmap ? hwnd->bitmap->resourceId : 0;
    return hwnd->icon ? hwnd->icon->resourceId : 0;
}

UINT templateImage(qtfw::DialogWindow* window, HWND hwnd) {
    const auto& controls = window->Controls();
    for (size_t i = 0; i < controls.size() && i < window->Template().controlCount; ++i)
        if (controls[i].get() == hwnd) return window->Template().controls[i].imageId;
    return 0;
}

}  // namespace

UINT ImageId(CDialog& dialog, int id) {
    HWND hwnd = control(dialog, id);
    return hwnd ? imageOf(hwnd, templateImage(windowOf(dialog), hwnd)) : 0;
}

std::string ToolTip(CDialog& dialog, int id) {
    HWND hwnd = control(dialog, id);
    return hwnd && hwnd->widget ? qtfw::ToAnsi(hwnd->widget->toolTip()) : std::string();
}

std::vector<std::string> Items(CDialog& dialog, int id) {
    std::vector<std::string> items;
    if (auto* combo = widget<QComboBox>(dialog, id))
        for (int i = 0; i < combo->count(); ++i) items.push_back(qtfw::ToAnsi(combo->itemText(i)));
    return items;
}

int Selection(CDialog& dialog, int id) {
    auto* combo = widget<QComboBox>(dialog, id);
    return combo ? combo->currentIndex() : CB_ERR;
}

int ProgressPosition(CDialog& dialog, int id, int* lower, int* upper) {
    auto* bar = widget<QProgressBar>(dialog, id);
    if (!bar) return -1;
    if (lower) *lower = bar->minimum();
    if (upper) *upper = bar->maximum();
    return bar->value();
}

Animation AnimationState(CDialog& dialog, int id) {
    auto* animation = widget<qtfw::AnimationWidget>(dialog, id);
    if (!animation) return {0, false, 0, 0, 0};
    return {animation->Clip(), animation->Playing(), animation->Frame(), animation->FrameCount(),
            animation->FrameInterval()};
}

RECT ControlRect(CDialog& dialog, int id) {
    HWND hwnd = control(dialog, id);
    if (!hwnd || !hwnd->widget) return {0, 0, 0, 0};
    const QRect r = hwnd->widget->geometry();
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

std::string Title(CDialog& dialog) {
    qtfw::DialogWindow* window = windowOf(dialog);
    return window ? qtfw::ToAnsi(window->windowTitle()) : std::string();
}

bool ControlState::operator==(const ControlState& o) const {
    return id == o.id && className == o.className && text == o.text && enabled == o.enabled && visible == o.visible &&
           image == o.image && toolTip == o.toolTip && rect.left == o.rect.left && rect.top == o.rect.top &&
           rect.right == o.rect.right && rect.bottom == o.rect.bottom;
}

std::vector<ControlState> Controls(CDialog& dialog) {
    std::vector<ControlState> states;
    qtfw::DialogWindow* window = windowOf(dialog);
    if (!window) return states;
    const auto& controls = window->Controls();
    for (size_t i = 0; i < controls.size() && i < window->Template().controlCount; ++i) {
        HWND hwnd = controls[i].get();
        const DialogControl& c = window->Template().controls[i];
        CString text;
        CWnd::FromHandle(hwnd)->GetWindowText(text);
        QWidget* w = hwnd->widget;
        const QRect r = w ? w->geometry() : QRect();
        states.push_back({hwnd->id, c.className, (LPCSTR)text, w && w->isEnabled(), w && w->isVisible(),
                          imageOf(hwnd, c.imageId), w ? qtfw::ToAnsi(w->toolTip()) : std::string(),
                          RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}});
    }
    return states;
}

bool Screenshot(CDialog& dialog, const std::string& path) {
    qtfw::DialogWindow* window = windowOf(dialog);
    if (!window) return false;
    QApplication::processEvents();
    return window->grab().save(qtfw::FromAnsi(path.c_str()), "PNG");
}

}  // namespace fwtest
