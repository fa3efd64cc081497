// The main window: one dialog with the two jobs, the drive list and the
// image file's name.
#pragma once

#include "framework/afxwin.h"
#include "res/resource.h"

class CCorvaneDlg : public CDialog {
public:
    explicit CCorvaneDlg(CWnd* pParent = nullptr);
    ~CCorvaneDlg() override = default;

    enum { IDD = IDD_MAIN };

    // Shows each action button in its state (0 off, 1 on; anything else
    // leaves that button as it is) and records it in its flag.
    void SetActionButtonStates(int nBackup, int nRestore);
    // What a starting job does to the rest of the dialog; nothing undoes it.
    void ApplyBusyLook();
    void ShowVersionLabel();
    // The drive list built anew from the machine's removable cards.
    void FillDriveList();
    // The selected card's size into the size label and the job record.
    void ShowDeviceInfo();
    // Both action buttons as the selection allows; true with a selection.
    bool UpdateActionButtons();
    // The end of a job: the card let go, the animation stopped.
    void ReleaseCard();
    void StopAnimation();

    CBitmap m_bmpBackupOn;
    CBitmap m_bmpRestoreOn;
    CBitmap m_bmpQuit;
    CBitmap m_bmpBackupOff;
    CBitmap m_bmpRestoreOff;
    HICON m_hIconBrowse = nullptr;
    HICON m_hIconBrowseBusy = nullptr;
    HICON m_hIconRefresh = nullptr;
    HICON m_hIconRefreshBusy = nullptr;
    CButton m_btnQuit;
    CAnimateCtrl m_animation;
    CButton m_btnRefresh;
    CButton m_btnBrowse;
    CEdit m_editFileName;
    CButton m_btnRestore;
    CButton m_btnBackup;
    CProgressCtrl m_progress;
    CComboBox m_comboDrive;

protected:
    HICON m_hIcon = nullptr;
    CToolTipCtrl m_toolTip;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnBackup();
    void OnQuit();
    void OnBrowse();
    void OnRefresh();
    void OnTimer(UINT_PTR nIDEvent);
    void OnRestore();
    void OnSelchangeDrive();
    void OnEditchangeDrive();
    BOOL OnHelpInfo(HELPINFO* pHelpInfo);

    // Opens and locks the selected card, starts the job's worker, its timer,
    // status and animation; reports a card that will not open or lock.
    void LaunchJob(BYTE nJobKind, UINT nFailedId, UINT_PTR nTimer, LPCSTR lpszStatus, UINT nClip);
    void ShowProgress(ULONGLONG remaining);
    void ShowJobMessage(UINT nID, LPCSTR lpszCaption, UINT nType);

    DECLARE_MESSAGE_MAP()
};

// The percentage a job shows with that many of its bytes left.
int JobPercent(ULONGLONG total, ULONGLONG remaining);

// The action buttons' states: 1 when the button is on.
extern BYTE g_bBackupEnabled;
extern BYTE g_bRestoreEnabled;
