// Dialogs built from their templates, and the controls on them, in Qt.
#include "framework/qt/animation.h"
#include "framework/qt/picture_button.h"
#include "framework/qt/qt_backend.h"

#include "framework/images.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace qtfw {
namespace {

// The faces the templates name, as this system has them.
QFont dialogFont(const DialogFont& f) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(f.pointSize ? f.pointSize : 8);
    if (f.weight >= 700) font.setBold(true);
    font.setItalic(f.italic != 0);
    return font;
}

ControlKind kindOf(const DialogControl& c) {
    const std::string cls = c.className;
    if (cls == "EDIT") return ControlKind::Edit;
    if (cls == "COMBOBOX") return ControlKind::ComboBox;
    if (cls == "msctls_progress32") return ControlKind::Progress;
    if (cls == "SysAnimate32") return ControlKind::Animation;
    if (cls == "STATIC") return ControlKind::Static;
    if (cls == "BUTTON") return (c.style & 0x0F) == BS_GROUPBOX ? ControlKind::GroupBox : ControlKind::PushButton;
    return ControlKind::Other;
}

Qt::Alignment staticAlignment(DWORD style) {
    Qt::Alignment vertical = (style & SS_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop;
    switch (style & 0x0F) {
        case SS_RIGHT: return Qt::AlignRight | vertical;
        case SS_CENTER: return Qt::AlignHCenter | vertical;
        default: return Qt::AlignLeft | vertical;
    }
}

}  // namespace

QString FromAnsi(const char* text) { return QString::fromUtf8(text ? text : ""); }
std::string ToAnsi(const QString& text) { return text.toUtf8().toStdString(); }

std::vector<DialogWindow*>& OpenDialogs() {
    static std::vector<DialogWindow*> dialogs;
    return dialogs;
}

const DialogTemplate* FindTemplate(UINT id) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), RT_DIALOG);
    if (!found || SizeofResource(nullptr, found) != sizeof(DialogTemplate)) return nullptr;
    return static_cast<const DialogTemplate*>(LockResource(LoadResource(nullptr, found)));
}

namespace {

QImage toImage(const IndexedImage& indexed, bool masked) {
    QImage image(indexed.width, indexed.height, QImage::Format_ARGB32);
    for (int y = 0; y < indexed.height; ++y)
        for (int x = 0; x < indexed.width; ++x) {
            const size_t at = (size_t)y * indexed.width + x;
            if (masked && !indexed.transparent.empty() && indexed.transparent[at]) {
                image.setPixel(x, y, qRgba(0, 0, 0, 0));
                continue;
            }
            const BYTE index = indexed.pixels[at];
            PaletteColor c = index < indexed.palette.size() ? indexed.palette[index] : PaletteColor{0, 0, 0};
            image.setPixel(x, y, qRgb(c.r, c.g, c.b));
        }
    return image;
}

}  // namespace

QPixmap BitmapResource(UINT id, bool* found) {
    *found = false;
    HRSRC r = FindResourceA(nullptr, MAKEINTRESOURCEA(id), RT_BITMAP);
    IndexedImage image;
    if (!r || !DecodeDib(static_cast<const BYTE*>(LockResource(LoadResource(nullptr, r))), SizeofResource(nullptr, r),
                         &image))
        return {};
    *found = true;
    return QPixmap::fromImage(toImage(image, false));
}

QPixmap IconResource(UINT id, int size, bool* found) {
    *found = false;
    HRSRC group = FindResourceA(nullptr, MAKEINTRESOURCEA(id), RT_GROUP_ICON);
    std::vector<IconDirEntry> entries;
    if (!group || !ReadGroupIconDirectory(static_cast<const BYTE*>(LockResource(LoadResource(nullptr, group))),
                                          SizeofResource(nullptr, group), &entries) ||
        entries.empty())
        return {};
    // The image of the size asked for, else the largest.
    const IconDirEntry* best = &entries[0];
    for (const IconDirEntry& e : entries) {
        int w = e.width ? e.width : 256;
        int bw = best->width ? best->width : 256;
        if (w == size || (bw != size && w > bw)) best = &e;
    }
    HRSRC r = FindResourceA(nullptr, MAKEINTRESOURCEA(best->id), RT_ICON);
    IndexedImage image;
    if (!r || !DecodeIconImage(static_cast<const BYTE*>(LockResource(LoadResource(nullptr, r))),
                               SizeofResource(nullptr, r), &image))
        return {};
    *found = true;
    return QPixmap::fromImage(toImage(image, true));
}

// ---- the dialog window ------------------------------------------------------------

DialogWindow::DialogWindow(CDialog* owner, const DialogTemplate& tmpl, QWidget* parent)
    : QDialog(parent), owner_(owner), tmpl_(tmpl) {
    self_.widget = this;
    self_.kind = ControlKind::Dialog;
    self_.dialog = this;
    self_.wnd = owner;
    self_.style = tmpl.style;
    build();
    OpenDialogs().push_back(this);
}

DialogWindow::~DialogWindow() {
    auto& open = OpenDialogs();
    open.erase(std::remove(open.begin(), open.end(), this), open.end());
    for (auto& [id, timer] : timers_) timer->stop();
    for (auto& control : controls_)
        if (control->wnd && control->wnd->m_hWnd == control.get()) control->wnd->m_hWnd = nullptr;
    if (owner_ && owner_->m_hWnd == &self_) owner_->m_hWnd = nullptr;
}

QRect DialogWindow::MapDialogRect(int x, int y, int cx, int cy) const {
    auto px = [this](int v) { return (int)(v * unitX_ + 0.5); };
    auto py = [this](int v) { return (int)(v * unitY_ + 0.5); };
    return QRect(px(x), py(y), px(x + cx) - px(x), py(y + cy) - py(y));
}

void DialogWindow::build() {
    QFont font = dialogFont(tmpl_.font);
    setFont(font);
    // Dialog units from the font's average character and its height, as the
    // dialog manager measures them.
    QFontMetrics metrics(font);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int average = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    unitX_ = average / 4.0;
    unitY_ = metrics.height() / 8.0;
    setWindowTitle(FromAnsi(tmpl_.caption));
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint;
    if (tmpl_.style & WS_SYSMENU) flags |= Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint;
    setWindowFlags(flags);
    setFixedSize(MapDialogRect(0, 0, tmpl_.cx, tmpl_.cy).size());
    setSizeGripEnabled(false);
    for (size_t i = 0; i < tmpl_.controlCount; ++i) addControl(tmpl_.controls[i], font);
    // Frames lie behind the controls they surround.
    for (auto& control : controls_)
        if (control->kind == ControlKind::GroupBox) control->widget->lower();
    installEventFilter(this);
}

HWND DialogWindow::addControl(const DialogControl& c, const QFont& font) {
    auto hwnd = std::make_unique<HWND__>();
    hwnd->kind = kindOf(c);
    hwnd->id = c.id;
    hwnd->style = c.style;
    hwnd->dialog = this;
    const QRect rect = MapDialogRect(c.x, c.y, c.cx, c.cy);
    QWidget* widget = nullptr;
    const QString text = FromAnsi(c.text);
    HWND raw = hwnd.get();
    switch (hwnd->kind) {
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(this);
            edit->setText(text);
            widget = edit;
            break;
        }
        case ControlKind::PushButton: {
            // A button that shows a picture does not draw its text.
            const bool picture = (c.style & (BS_BITMAP | BS_ICON)) != 0;
            QPushButton* button = picture ? new PictureButton(this) : new QPushButton(this);
            button->setAutoDefault(false);
            button->setDefault(false);
            if (!picture) button->setText(text);
            const int id = c.id;
            connect(button, &QPushButton::clicked, this, [this, id, raw] {
                if (Deliver(WM_COMMAND, MAKELPARAM(id, BN_CLICKED), (LPARAM)raw)) return;
                // What the dialog's own map does with the two commands every
                // dialog knows, when the program's map does not take them.
                if (id == IDOK)
                    CallOnOK(*owner_);
                else if (id == IDCANCEL)
                    CallOnCancel(*owner_);
            });
            widget = button;
            break;
        }
        case ControlKind::GroupBox: {
            auto* frame = new QGroupBox(text, this);
            frame->setFocusPolicy(Qt::NoFocus);
            widget = frame;
            break;
        }
        case ControlKind::Static: {
            auto* label = new QLabel(this);
            if ((c.style & 0x1F) == SS_ICON) {
                bool found = false;
                QPixmap icon = IconResource(c.imageId, 32, &found);
                // Drawn at the system's icon size, as an icon static is.
                if (found) label->setPixmap(icon.width() == 32 ? icon : icon.scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation));
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            } else {
                label->setText(text);
                label->setTextFormat(Qt::PlainText);
                label->setAlignment(staticAlignment(c.style));
            }
            widget = label;
            break;
        }
        case ControlKind::ComboBox: {
            auto* combo = new QComboBox(this);
            combo->setEditable(false);
            combo->setInsertPolicy(QComboBox::InsertAtBottom);
            const int id = c.id;
            connect(combo, QOverload<int>::of(&QComboBox::activated), this,
                    [this, id, raw] { Deliver(WM_COMMAND, MAKELPARAM(id, CBN_SELCHANGE), (LPARAM)raw); });
            widget = combo;
            break;
        }
        case ControlKind::Progress: {
            auto* bar = new QProgressBar(this);
            bar->setTextVisible(false);
            bar->setRange(0, 100);
            bar->setValue(0);
            widget = bar;
            break;
        }
        case ControlKind::Animation: widget = new AnimationWidget(this); break;
        default: widget = new QWidget(this); break;
    }
    widget->setFont(font);
    if (hwnd->kind == ControlKind::ComboBox) {
        // The template's height is that of the dropped list; the closed box
        // has the height of one line.
        const int height = std::max(widget->sizeHint().height(), MapDialogRect(0, 0, 0, 12).height());
        widget->setGeometry(rect.x(), rect.y(), rect.width(), height);
    } else {
        widget->setGeometry(rect);
    }
    if (!(c.style & WS_TABSTOP) && widget->focusPolicy() != Qt::NoFocus) widget->setFocusPolicy(Qt::ClickFocus);
    if (c.style & WS_DISABLED) widget->setEnabled(false);
    widget->setVisible((c.style & WS_VISIBLE) != 0);
    widget->installEventFilter(this);
    hwnd->widget = widget;
    controls_.push_back(std::move(hwnd));
    return raw;
}

HWND DialogWindow::Control(int id) {
    for (auto& control : controls_)
        if (control->id == id) return control.get();
    return nullptr;
}

bool DialogWindow::Deliver(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (!owner_) return false;
    return owner_->OnCmdMsgMap(message, wParam, lParam, result) != FALSE;
}

void DialogWindow::StartTimer(UINT_PTR id, UINT elapse) {
    QTimer*& timer = timers_[id];
    if (!timer) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, id] { Deliver(WM_TIMER, id, 0); });
    }
    timer->start((int)elapse);
}

bool DialogWindow::StopTimer(UINT_PTR id) {
    auto it = timers_.find(id);
    if (it == timers_.end() || !it->second->isActive()) return false;
    it->second->stop();
    return true;
}

bool DialogWindow::TimerRunning(UINT_PTR id) const {
    auto it = timers_.find(id);
    return it != timers_.end() && it->second->isActive();
}

void DialogWindow::End(int result) {
    ended_ = true;
    result_ = result;
    for (auto& [id, timer] : timers_) timer->stop();
    QDialog::done(result);
}

void DialogWindow::done(int) {
    // Only EndDialog ends the dialog; Qt's own ways to close it go through
    // OnOK and OnCancel.
}

void DialogWindow::accept() { CallOnOK(*owner_); }
void DialogWindow::reject() { CallOnCancel(*owner_); }

void DialogWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Enter clicks the push button that has the focus; elsewhere it is IDOK.
            if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
                button->click();
            } else {
                CallOnOK(*owner_);
            }
            return;
        case Qt::Key_Escape: CallOnCancel(*owner_); return;
        case Qt::Key_F1: {
            HELPINFO info{};
            info.cbSize = sizeof info;
            QWidget* focus = focusWidget();
            for (auto& control : controls_)
                if (control->widget == focus) info.iCtrlId = control->id;
            Deliver(WM_HELP, 0, (LPARAM)&info);
            return;
        }
        default: QDialog::keyPressEvent(event);
    }
}

void DialogWindow::closeEvent(QCloseEvent* event) {
    if (ended_) {
        event->accept();
        return;
    }
    event->ignore();
    // The window manager's close is the dialog's Cancel.
    CallOnCancel(*owner_);
}

void DialogWindow::contextMenuEvent(QContextMenuEvent* event) {
    bool any = false;
    for (const auto& item : menu_.items) any |= !(item.flags & MF_SEPARATOR);
    if (!any) return;
    QMenu menu(this);
    for (const auto& item : menu_.items) {
        if (item.flags & MF_SEPARATOR) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(FromAnsi(item.text.c_str()));
        const UINT_PTR id = item.id;
        connect(action, &QAction::triggered, this, [this, id] {
            if (!Deliver(WM_SYSCOMMAND, id, 0)) CallDefaultSysCommand(*owner_, (UINT)id);
        });
    }
    menu.exec(event->globalPos());
}

namespace {
QPainter* g_paintPainter = nullptr;
}

QPainter* CurrentPainter() { return g_paintPainter; }

void DialogWindow::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    QPainter* previous = g_paintPainter;
    g_paintPainter = &painter;
    Deliver(WM_PAINT, 0, 0);
    g_paintPainter = previous;
}

bool DialogWindow::eventFilter(QObject* watched, QEvent* event) {
    UINT message = 0;
    switch (event->type()) {
        case QEvent::MouseMove: message = WM_MOUSEMOVE; break;
        case QEvent::MouseButtonPress:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) message = WM_LBUTTONDOWN;
            break;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) message = WM_LBUTTONUP;
            break;
        default: break;
    }
    if (message && owner_) {
        MSG msg{};
        msg.message = message;
        msg.hwnd = &self_;
        for (auto& control : controls_)
            if (control->widget == watched) msg.hwnd = control.get();
        auto* mouse = static_cast<QMouseEvent*>(event);
        msg.pt = {mouse->globalPosition().toPoint().x(), mouse->globalPosition().toPoint().y()};
        if (owner_->PreTranslateMessage(&msg)) return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace qtfw
