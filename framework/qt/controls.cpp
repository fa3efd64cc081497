// The framework's classes on the Qt backend.
#include "framework/qt/animation.h"
#include "framework/qt/picture_button.h"
#include "framework/qt/qt_backend.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace qtfw {
QPainter* CurrentPainter();
}

using qtfw::ControlKind;
using qtfw::FromAnsi;
using qtfw::ToAnsi;

namespace {

template <typename T>
T* widgetOf(HWND hwnd) {
    return hwnd ? dynamic_cast<T*>(hwnd->widget.data()) : nullptr;
}

// Bitmaps and icons live as long as the process: the program shares them.
std::vector<std::unique_ptr<HBITMAP__>>& bitmaps() {
    static std::vector<std::unique_ptr<HBITMAP__>> all;
    return all;
}

std::vector<std::unique_ptr<HICON__>>& icons() {
    static std::vector<std::unique_ptr<HICON__>> all;
    return all;
}

}  // namespace

// ---- CWnd ----------------------------------------------------------------------

CWnd::~CWnd() {
    if (m_hWnd && m_hWnd->wnd == this) m_hWnd->wnd = nullptr;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    if (!hWnd) return nullptr;
    if (hWnd->wnd) return hWnd->wnd;
    if (!hWnd->temporary) {
        hWnd->temporary = std::make_unique<CWnd>();
        hWnd->temporary->m_hWnd = hWnd;
    }
    return hWnd->temporary.get();
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    if (!m_hWnd || !m_hWnd->widget) return FALSE;
    const BOOL wasDisabled = m_hWnd->widget->isEnabled() ? FALSE : TRUE;
    m_hWnd->widget->setEnabled(bEnable != FALSE);
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const { return m_hWnd && m_hWnd->widget && m_hWnd->widget->isEnabled(); }

void CWnd::SetWindowText(LPCSTR lpszString) {
    if (!m_hWnd || !m_hWnd->widget) return;
    const QString text = FromAnsi(lpszString);
    QWidget* w = m_hWnd->widget;
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(text);
    else if (auto* button = qobject_cast<QPushButton*>(w)) {
        if (!(m_hWnd->style & (BS_BITMAP | BS_ICON))) button->setText(text);
    } else
        w->setWindowTitle(text);
}

void CWnd::GetWindowText(CString& rString) const {
    rString = "";
    if (!m_hWnd || !m_hWnd->widget) return;
    QWidget* w = m_hWnd->widget;
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        rString = ToAnsi(edit->text()).c_str();
    else if (auto* label = qobject_cast<QLabel*>(w))
        rString = ToAnsi(label->text()).c_str();
    else if (auto* button = qobject_cast<QPushButton*>(w))
        rString = ToAnsi(button->text()).c_str();
    else
        rString = ToAnsi(w->windowTitle()).c_str();
}

int CWnd::GetWindowTextLength() const {
    CString text;
    GetWindowText(text);
    return text.GetLength();
}

CWnd* CWnd::GetDlgItem(int nID) const {
    if (!m_hWnd || !m_hWnd->dialog) return nullptr;
    return FromHandle(m_hWnd->dialog->Control(nID));
}

void CWnd::SetDlgItemText(int nID, LPCSTR lpszString) {
    if (CWnd* item = GetDlgItem(nID)) item->SetWindowText(lpszString);
}

int CWnd::GetDlgItemText(int nID, LPSTR lpStr, int nMaxCount) const {
    if (!lpStr || nMaxCount <= 0) return 0;
    lpStr[0] = 0;
    CWnd* item = GetDlgItem(nID);
    if (!item) return 0;
    CString text;
    item->GetWindowText(text);
    const size_t n = std::min<size_t>((size_t)text.GetLength(), (size_t)nMaxCount - 1);
    std::memcpy(lpStr, (LPCSTR)text, n);
    lpStr[n] = 0;
    return (int)n;
}

void CWnd::SetDlgItemInt(int nID, UINT nValue, BOOL bSigned) {
    char text[16];
    if (bSigned)
        std::snprintf(text, sizeof text, "%d", (int)nValue);
    else
        std::snprintf(text, sizeof text, "%u", nValue);
    SetDlgItemText(nID, text);
}

int CWnd::MessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) {
    return MessageBoxA(m_hWnd, lpszText, lpszCaption ? lpszCaption : "Error", nType);
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC) {
    if (!m_hWnd || !m_hWnd->dialog) return 0;
    m_hWnd->dialog->StartTimer(nIDEvent, nElapse);
    return nIDEvent;
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) {
    return m_hWnd && m_hWnd->dialog && m_hWnd->dialog->StopTimer(nIDEvent) ? TRUE : FALSE;
}

BOOL CWnd::IsIconic() const { return m_hWnd && m_hWnd->widget && m_hWnd->widget->isMinimized(); }

void CWnd::GetClientRect(LPRECT lpRect) const {
    if (!lpRect) return;
    *lpRect = RECT{0, 0, 0, 0};
    if (m_hWnd && m_hWnd->widget) *lpRect = RECT{0, 0, m_hWnd->widget->width(), m_hWnd->widget->height()};
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
    return (HICON)SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, (LPARAM)hIcon);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!m_hWnd || !m_hWnd->widget) return 0;
    switch (message) {
        case WM_SETICON: {
            HICON icon = reinterpret_cast<HICON>(lParam);
            HICON previous = m_hWnd->icon;
            m_hWnd->icon = icon;
            // One icon serves the title bar and the task bar alike.
            if (icon) m_hWnd->widget->setWindowIcon(icon->icon);
            // The main window's big icon is the program's: the windows it
            // owns (About box, message boxes, file dialog) show it too.
            if (icon && wParam == ICON_BIG && m_hWnd->kind == ControlKind::Dialog && !m_hWnd->widget->parentWidget())
                QApplication::setWindowIcon(icon->icon);
            return (LRESULT)previous;
        }
        case WM_ICONERASEBKGND: return 1;
        default: return m_hWnd->dialog ? m_hWnd->dialog->Deliver(message, wParam, lParam) : 0;
    }
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return PostMessageA(m_hWnd, message, wParam, lParam);
}

CMenu* CWnd::GetSystemMenu(BOOL) const {
    if (!m_hWnd || m_hWnd->kind != ControlKind::Dialog || !m_hWnd->dialog) return nullptr;
    static thread_local CMenu menu;
    menu.m_hMenu = m_hWnd->dialog->WindowMenu();
    return &menu;
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

void CWnd::OnSysCommand(UINT nID, LPARAM) {
    if ((nID & 0xFFF0) == SC_CLOSE)
        if (auto* dialog = dynamic_cast<CDialog*>(this)) qtfw::CallOnCancel(*dialog);
}

void CWnd::OnPaint() {}  // the backend paints the dialog itself

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszNewItem) {
    if (!m_hMenu) return FALSE;
    m_hMenu->items.push_back({nFlags, nIDNewItem, lpszNewItem ? lpszNewItem : ""});
    return TRUE;
}

BOOL CDC::DrawIcon(int x, int y, HICON hIcon) {
    if (!m_hDC || !m_hDC->painter || !hIcon) return FALSE;
    m_hDC->painter->drawPixmap(x, y, hIcon->pixmap);
    return TRUE;
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_pWnd(pWnd) {
    static thread_local HDC__ dc;
    dc.painter = qtfw::CurrentPainter();
    m_hDC = &dc;
}

CPaintDC::~CPaintDC() { m_hDC = nullptr; }

int GetSystemMetrics(int nIndex) {
    switch (nIndex) {
        case SM_CXICON:
        case SM_CYICON: return 32;
        default: return 0;
    }
}

// ---- bitmaps and icons ------------------------------------------------------------

CBitmap::~CBitmap() { DeleteObject(); }

BOOL CBitmap::LoadBitmap(UINT nIDResource) {
    DeleteObject();
    bool found = false;
    QPixmap pixmap = qtfw::BitmapResource(nIDResource, &found);
    if (!found) return FALSE;
    auto bitmap = std::make_unique<HBITMAP__>();
    bitmap->pixmap = pixmap;
    bitmap->resourceId = nIDResource;
    m_hObject = bitmap.get();
    bitmaps().push_back(std::move(bitmap));
    return TRUE;
}

BOOL CBitmap::DeleteObject() {
    if (!m_hObject) return FALSE;
    // A button may still show it; the pixels stay until the process ends.
    m_hObject = nullptr;
    return TRUE;
}

HICON CWinApp::LoadIcon(UINT nIDResource) const {
    bool found = false;
    QPixmap large = qtfw::IconResource(nIDResource, 48, &found);
    if (!found) return nullptr;
    auto icon = std::make_unique<HICON__>();
    icon->resourceId = nIDResource;
    icon->pixmap = large;
    icon->icon.addPixmap(large);
    bool small = false;
    QPixmap other = qtfw::IconResource(nIDResource, 32, &small);
    if (small && other.size() != large.size()) icon->icon.addPixmap(other);
    HICON handle = icon.get();
    icons().push_back(std::move(icon));
    return handle;
}

// ---- controls ---------------------------------------------------------------------

HBITMAP CButton::SetBitmap(HBITMAP hBitmap) {
    auto* button = widgetOf<qtfw::PictureButton>(m_hWnd);
    if (!button) return nullptr;
    HBITMAP previous = m_hWnd->bitmap;
    m_hWnd->bitmap = hBitmap;
    button->SetPicture(hBitmap ? hBitmap->pixmap : QPixmap());
    return previous;
}

HICON CButton::SetIcon(HICON hIcon) {
    auto* button = widgetOf<qtfw::PictureButton>(m_hWnd);
    if (!button) return nullptr;
    HICON previous = m_hWnd->icon;
    m_hWnd->icon = hIcon;
    QPixmap pixmap;
    if (hIcon) {
        // An icon button shows the image of the system's icon size.
        bool found = false;
        pixmap = qtfw::IconResource(hIcon->resourceId, GetSystemMetrics(SM_CXICON), &found);
        if (!found) pixmap = hIcon->pixmap;
    }
    button->SetPicture(pixmap);
    return previous;
}

HBITMAP CButton::GetBitmap() const { return m_hWnd ? m_hWnd->bitmap : nullptr; }
HICON CButton::GetIcon() const { return m_hWnd ? m_hWnd->icon : nullptr; }

int CComboBox::AddString(LPCSTR lpszString) {
    auto* combo = widgetOf<QComboBox>(m_hWnd);
    if (!combo) return CB_ERR;
    // Added at the end, never sorted: item i is row i of the caller's table.
    combo->addItem(FromAnsi(lpszString));
    if (combo->count() == 1) combo->setCurrentIndex(-1);  // adding selects nothing
    return combo->count() - 1;
}

void CComboBox::ResetContent() {
    if (auto* combo = widgetOf<QComboBox>(m_hWnd)) combo->clear();
}

int CComboBox::SetCurSel(int nSelect) {
    auto* combo = widgetOf<QComboBox>(m_hWnd);
    if (!combo) return CB_ERR;
    if (nSelect < 0 || nSelect >= combo->count()) {
        combo->setCurrentIndex(-1);
        return CB_ERR;
    }
    combo->setCurrentIndex(nSelect);
    return nSelect;
}

int CComboBox::GetCurSel() const {
    auto* combo = widgetOf<QComboBox>(m_hWnd);
    if (!combo || combo->currentIndex() < 0) return CB_ERR;
    return combo->currentIndex();
}

int CComboBox::GetCount() const {
    auto* combo = widgetOf<QComboBox>(m_hWnd);
    return combo ? combo->count() : CB_ERR;
}

void CComboBox::GetLBText(int nIndex, CString& rString) const {
    auto* combo = widgetOf<QComboBox>(m_hWnd);
    rString = combo && nIndex >= 0 && nIndex < combo->count() ? ToAnsi(combo->itemText(nIndex)).c_str() : "";
}

void CProgressCtrl::SetRange(short nLower, short nUpper) {
    if (auto* bar = widgetOf<QProgressBar>(m_hWnd)) bar->setRange(nLower, nUpper);
}

void CProgressCtrl::GetRange(int& nLower, int& nUpper) const {
    auto* bar = widgetOf<QProgressBar>(m_hWnd);
    nLower = bar ? bar->minimum() : 0;
    nUpper = bar ? bar->maximum() : 0;
}

int CProgressCtrl::SetPos(int nPos) {
    auto* bar = widgetOf<QProgressBar>(m_hWnd);
    if (!bar) return 0;
    const int previous = bar->value();
    bar->setValue(std::clamp(nPos, bar->minimum(), bar->maximum()));
    return previous;
}

int CProgressCtrl::GetPos() const {
    auto* bar = widgetOf<QProgressBar>(m_hWnd);
    return bar ? bar->value() : 0;
}

BOOL CAnimateCtrl::Open(UINT nID) {
    auto* animation = widgetOf<qtfw::AnimationWidget>(m_hWnd);
    return animation && animation->Open(nID) ? TRUE : FALSE;
}

BOOL CAnimateCtrl::Play(UINT nFrom, UINT nTo, UINT nRep) {
    auto* animation = widgetOf<qtfw::AnimationWidget>(m_hWnd);
    return animation && animation->Play(nFrom, nTo, nRep) ? TRUE : FALSE;
}

BOOL CAnimateCtrl::Stop() {
    auto* animation = widgetOf<qtfw::AnimationWidget>(m_hWnd);
    return animation && animation->Stop() ? TRUE : FALSE;
}

BOOL CAnimateCtrl::Seek(UINT nTo) {
    auto* animation = widgetOf<qtfw::AnimationWidget>(m_hWnd);
    return animation && animation->Seek(nTo) ? TRUE : FALSE;
}

BOOL CAnimateCtrl::Close() {
    auto* animation = widgetOf<qtfw::AnimationWidget>(m_hWnd);
    if (!animation) return FALSE;
    animation->Close();
    return TRUE;
}

// Tooltips are the widgets' own; the control only hands out the texts.
BOOL CToolTipCtrl::Create(CWnd* pParentWnd, DWORD) {
    m_bCreated = pParentWnd && pParentWnd->m_hWnd;
    return m_bCreated ? TRUE : FALSE;
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, LPCSTR lpszText, LPCRECT, UINT_PTR) {
    if (!m_bCreated || !pWnd || !pWnd->m_hWnd || !pWnd->m_hWnd->widget) return FALSE;
    pWnd->m_hWnd->toolTip = FromAnsi(lpszText);
    pWnd->m_hWnd->widget->setToolTip(pWnd->m_hWnd->toolTip);
    return TRUE;
}

void CToolTipCtrl::RelayEvent(MSG*) {}  // Qt sees the mouse itself

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.m_hWnd) return;  // bound once
    CWnd* item = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    if (!item) return;
    rControl.m_hWnd = item->m_hWnd;
    rControl.m_hWnd->wnd = &rControl;
}
