// Our dialog class framework: the classes, messages and window calls the
// program uses, under the names it knows them by. Each does what its callers
// need and no more; framework/qt draws them with Qt.
#pragma once

#include "framework/CString.h"
#include "platform/winapi.h"

#include <map>
#include <memory>

// ---- handles and records ---------------------------------------------------------

typedef struct HICON__* HICON;
typedef HICON HCURSOR;
typedef struct HBITMAP__* HBITMAP;
typedef struct HMENU__* HMENU;
typedef struct HDC__* HDC;
typedef void* HGDIOBJ;
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

struct POINT {
    LONG x;
    LONG y;
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
typedef RECT* LPRECT;
typedef const RECT* LPCRECT;

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

struct HELPINFO {
    UINT cbSize;
    int iContextType;
    int iCtrlId;
    HANDLE hItemHandle;
    ULONG_PTR dwContextId;
    POINT MousePos;
};

// ---- messages and their values ------------------------------------------------------

#define WM_NULL 0x0000u
#define WM_PAINT 0x000Fu
#define WM_CLOSE 0x0010u
#define WM_ICONERASEBKGND 0x0027u
#define WM_QUERYDRAGICON 0x0037u
#define WM_HELP 0x0053u
#define WM_SETICON 0x0080u
#define WM_KEYDOWN 0x0100u
#define WM_INITDIALOG 0x0110u
#define WM_COMMAND 0x0111u
#define WM_SYSCOMMAND 0x0112u
#define WM_TIMER 0x0113u
#define WM_MOUSEMOVE 0x0200u
#define WM_LBUTTONDOWN 0x0201u
#define WM_LBUTTONUP 0x0202u

#define BN_CLICKED 0
#define CBN_SELCHANGE 1
#define CBN_EDITCHANGE 5
#define CB_ERR (-1)

#define BM_SETIMAGE 0x00F7u
#define IMAGE_BITMAP 0
#define IMAGE_ICON 1
#define ICON_SMALL 0
#define ICON_BIG 1

#define MF_STRING 0x0000u
#define MF_SEPARATOR 0x0800u

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
#define SW_RESTORE 9

#define SM_CXICON 11
#define SM_CYICON 12

#define SC_CLOSE 0xF060u

#define ID_HELP 0xE146u

#define OFN_OVERWRITEPROMPT 0x00000002u
#define OFN_HIDEREADONLY 0x00000004u
#define OFN_FILEMUSTEXIST 0x00001000u
#define OFN_CREATEPROMPT 0x00002000u
#define OFN_EXPLORER 0x00080000u

#define LOWORD(l) ((WORD)(((ULONG_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((ULONG_PTR)(l)) >> 16) & 0xffff))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)(((WORD)(l)) | (((DWORD)(WORD)(h)) << 16)))

// ---- window calls the program makes itself ------------------------------------------

// The first top-level window with exactly this title, here or in the
// program's other running instance.
HWND FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName);
BOOL ShowWindow(HWND hWnd, int nCmdShow);
BOOL SetForegroundWindow(HWND hWnd);
void PostQuitMessage(int nExitCode);
BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
int GetSystemMetrics(int nIndex);

// ---- message maps -----------------------------------------------------------------

class CCmdTarget;
typedef void (CCmdTarget::*AFX_PMSG)();

// A handler in the form its AfxSig names.
union AfxHandler {
    AFX_PMSG vv;
    void (CCmdTarget::*vwl)(UINT, LPARAM);
    HCURSOR (CCmdTarget::*hv)();
    void (CCmdTarget::*vw)(UINT_PTR);
    BOOL (CCmdTarget::*bHELPINFO)(HELPINFO*);
};

// How a handler is called.
enum AfxSig : UINT_PTR {
    AfxSig_end = 0,
    AfxSig_vv,         // void ()
    AfxSig_vwl,        // void (UINT, LPARAM)
    AfxSig_hv,         // HCURSOR ()
    AfxSig_vw,         // void (UINT_PTR)
    AfxSig_bHELPINFO,  // BOOL (HELPINFO*)
};

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;
    UINT nID;
    UINT nLastID;
    UINT_PTR nSig;
    AfxHandler pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                                  \
protected:                                                     \
    static const AFX_MSGMAP* GetThisMessageMap();              \
    const AFX_MSGMAP* GetMessageMap() const override;          \
                                                               \
private:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                       \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                \
        [[maybe_unused]] typedef theClass ThisClass;                                 \
        typedef baseClass TheBaseClass;                                              \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                             \
    { 0, 0, 0, 0, AfxSig_end, {} }                                                    \
    }                                                                                 \
    ;                                                                                 \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
    return &messageMap;                                                               \
    }

// Each entry keeps its handler as a member of CCmdTarget of its own form.
#define AFX_HANDLER(form, type, fn) {.form = static_cast<type>(fn)}

#define ON_WM_SYSCOMMAND() \
    {WM_SYSCOMMAND, 0, 0, 0, AfxSig_vwl, AFX_HANDLER(vwl, void (CCmdTarget::*)(UINT, LPARAM), &ThisClass::OnSysCommand)},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, 0, AfxSig_vv, AFX_HANDLER(vv, AFX_PMSG, &ThisClass::OnPaint)},
#define ON_WM_QUERYDRAGICON() \
    {WM_QUERYDRAGICON, 0, 0, 0, AfxSig_hv, AFX_HANDLER(hv, HCURSOR (CCmdTarget::*)(), &ThisClass::OnQueryDragIcon)},
#define ON_WM_TIMER() {WM_TIMER, 0, 0, 0, AfxSig_vw, AFX_HANDLER(vw, void (CCmdTarget::*)(UINT_PTR), &ThisClass::OnTimer)},
#define ON_WM_HELPINFO() \
    {WM_HELP, 0, 0, 0, AfxSig_bHELPINFO, AFX_HANDLER(bHELPINFO, BOOL (CCmdTarget::*)(HELPINFO*), &ThisClass::OnHelpInfo)},
#define ON_CONTROL(code, id, fn) \
    {WM_COMMAND, (UINT)(code), (UINT)(id), (UINT)(id), AfxSig_vv, AFX_HANDLER(vv, AFX_PMSG, &fn)},
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL(CBN_SELCHANGE, id, fn)
#define ON_CBN_EDITCHANGE(id, fn) ON_CONTROL(CBN_EDITCHANGE, id, fn)
#define ON_COMMAND(id, fn) ON_CONTROL(0, id, fn)

// ---- classes ---------------------------------------------------------------------

class CWnd;
class CDialog;

// Anything with a message map.
class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;
    // Finds the handler of a message in this class's map or a base's and
    // calls it; false when none handles it.
    BOOL OnCmdMsgMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

class CMenu {
public:
    HMENU m_hMenu = nullptr;
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = nullptr);
};

class CDC {
public:
    HDC m_hDC = nullptr;
    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON hIcon);
};

class CBitmap {
public:
    CBitmap() = default;
    ~CBitmap();
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;
    // From the program's resources; FALSE when there is no such bitmap.
    BOOL LoadBitmap(UINT nIDResource);
    BOOL DeleteObject();
    operator HBITMAP() const { return m_hObject; }

    HBITMAP m_hObject = nullptr;
};

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    static CWnd* FromHandle(HWND hWnd);

    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    void SetWindowText(LPCSTR lpszString);
    void GetWindowText(CString& rString) const;
    int GetWindowTextLength() const;
    CWnd* GetDlgItem(int nID) const;
    void SetDlgItemText(int nID, LPCSTR lpszString);
    // Copies at most nMaxCount - 1 characters and a NUL; returns the count.
    int GetDlgItemText(int nID, LPSTR lpStr, int nMaxCount) const;
    void SetDlgItemInt(int nID, UINT nValue, BOOL bSigned = TRUE);
    int MessageBox(LPCSTR lpszText, LPCSTR lpszCaption = nullptr, UINT nType = MB_OK);
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer);
    BOOL KillTimer(UINT_PTR nIDEvent);
    BOOL IsIconic() const;
    void GetClientRect(LPRECT lpRect) const;
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // The window menu; the backend hands one out as the window's context menu.
    CMenu* GetSystemMenu(BOOL bRevert) const;

    virtual BOOL PreTranslateMessage(MSG* pMsg);

protected:
    // Default processing of the message being handled.
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
};

class CButton : public CWnd {
public:
    HBITMAP SetBitmap(HBITMAP hBitmap);
    HICON SetIcon(HICON hIcon);
    HBITMAP GetBitmap() const;
    HICON GetIcon() const;
};

class CEdit : public CWnd {};

class CComboBox : public CWnd {
public:
    int AddString(LPCSTR lpszString);
    void ResetContent();
    int SetCurSel(int nSelect);
    int GetCurSel() const;
    int GetCount() const;
    void GetLBText(int nIndex, CString& rString) const;
};

class CProgressCtrl : public CWnd {
public:
    void SetRange(short nLower, short nUpper);
    void GetRange(int& nLower, int& nUpper) const;
    int SetPos(int nPos);
    int GetPos() const;
};

class CAnimateCtrl : public CWnd {
public:
    // An "AVI" resource of the program.
    BOOL Open(UINT nID);
    BOOL Play(UINT nFrom, UINT nTo, UINT nRep);
    BOOL Stop();
    // Stops on that frame.
    BOOL Seek(UINT nTo);
    BOOL Close();
};

class CToolTipCtrl : public CWnd {
public:
    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = 0);
    BOOL AddTool(CWnd* pWnd, LPCSTR lpszText, LPCRECT lpRectTool = nullptr, UINT_PTR nIDTool = 0);
    void RelayEvent(MSG* pMsg);

private:
    // The tips are the controls' own; there is no window of the tooltip's.
    bool m_bCreated = false;
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

private:
    CWnd* m_pWnd;
};

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
};

// Binds a member control to the dialog's control of that id.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Builds the window from its template, runs OnInitDialog and the modal
    // loop; returns what EndDialog was given.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    UINT m_nIDHelp;

protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* pDX);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

    friend struct DialogAccess;
};

// The file-open and save dialogs.
class CFileDialog : public CDialog {
public:
    CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt = nullptr, LPCSTR lpszFileName = nullptr,
                DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCSTR lpszFilter = nullptr,
                CWnd* pParentWnd = nullptr);
    INT_PTR DoModal() override;
    CString GetPathName() const;

    BOOL m_bOpenFileDialog;
    CString m_strDefExt;
    CString m_strFileName;
    DWORD m_dwFlags;
    CString m_strFilter;

private:
    CString m_strPathName;
};

// A search for files by name or pattern.
class CFileFind {
public:
    CFileFind() = default;
    ~CFileFind();
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    // TRUE when something matches; FALSE for a name of MAX_PATH or more.
    BOOL FindFile(LPCSTR pstrName = nullptr, DWORD dwUnused = 0);
    // Steps to the next match; FALSE when the one now current is the last.
    BOOL FindNextFile();
    ULONGLONG GetLength() const;
    void Close();

private:
    HANDLE m_hFind = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA m_next{};
    WIN32_FIND_DATAA m_current{};
    bool m_hasNext = false;
};

class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    // From the program's resources.
    HICON LoadIcon(UINT nIDResource) const;
    void OnHelp();

    CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxEnableControlContainer();
