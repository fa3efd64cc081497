// The main dialog: its controls, start-up and message routing.
#include "ui/CorvaneDlg.h"

#include "device/DriveTable.h"
#include "transfer/TransferJob.h"

#include <cstdlib>
#include <cstring>

CCorvaneDlg::CCorvaneDlg(CWnd* pParent) : CDialog(IDD_MAIN, pParent) { m_hIcon = AfxGetApp()->LoadIcon(IDI_APP); }

void CCorvaneDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_QUIT, m_btnQuit);
    DDX_Control(pDX, IDC_ANIMATION, m_animation);
    DDX_Control(pDX, IDC_REFRESH, m_btnRefresh);
    DDX_Control(pDX, IDC_BROWSE, m_btnBrowse);
    DDX_Control(pDX, IDC_FILE_NAME, m_editFileName);
    DDX_Control(pDX, IDC_RESTORE, m_btnRestore);
    DDX_Control(pDX, IDC_BACKUP, m_btnBackup);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_DRIVE, m_comboDrive);
}

BEGIN_MESSAGE_MAP(CCorvaneDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_BACKUP, CCorvaneDlg::OnBackup)
ON_BN_CLICKED(IDC_QUIT, CCorvaneDlg::OnQuit)
ON_BN_CLICKED(IDC_BROWSE, CCorvaneDlg::OnBrowse)
ON_BN_CLICKED(IDC_REFRESH, CCorvaneDlg::OnRefresh)
ON_WM_TIMER()
ON_BN_CLICKED(IDC_RESTORE, CCorvaneDlg::OnRestore)
ON_CBN_SELCHANGE(IDC_DRIVE, CCorvaneDlg::OnSelchangeDrive)
ON_CBN_EDITCHANGE(IDC_DRIVE, CCorvaneDlg::OnEditchangeDrive)
ON_WM_HELPINFO()
END_MESSAGE_MAP()

BOOL CCorvaneDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    // The About item of the window menu.
    if (CMenu* pSysMenu = GetSystemMenu(FALSE)) {
        CString strAboutMenu;
        strAboutMenu.LoadString(IDS_ABOUTBOX);
        if (!strAboutMenu.IsEmpty()) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
        }
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_toolTip.Create(this, 0);
    static const struct {
        UINT text;
        int control;
    } kTips[] = {
        {IDS_TIP_BACKUP, IDC_BACKUP},   {IDS_TIP_RESTORE, IDC_RESTORE}, {IDS_TIP_QUIT, IDC_QUIT},
        {IDS_TIP_BROWSE, IDC_BROWSE},   {IDS_TIP_REFRESH, IDC_REFRESH}, {IDS_TIP_DRIVE, IDC_DRIVE},
        {IDS_TIP_FILE_NAME, IDC_FILE_NAME},
    };
    for (const auto& tip : kTips) {
        g_job.m_strMessage.LoadString(tip.text);
        m_toolTip.AddTool(GetDlgItem(tip.control), g_job.m_strMessage, nullptr, 0);
    }

    std::memset(g_driveTable, 0, sizeof g_driveTable);
    // A dialog opened again takes over the buffers of the one before.
    std::free(g_pDiskLayout);
    std::free(g_pVolumeLayout);
    g_pDiskLayout = static_cast<BYTE*>(std::calloc(1, LAYOUT_BUFFER_SIZE));
    g_pVolumeLayout = static_cast<BYTE*>(std::calloc(1, LAYOUT_BUFFER_SIZE));

    SetDlgItemText(IDC_FILE_NAME, "C:\\Drive.bin");
    m_progress.SetRange(0, 100);
    ShowVersionLabel();

    m_bmpBackupOn.LoadBitmap(IDB_BACKUP_ON);
    m_bmpBackupOff.LoadBitmap(IDB_BACKUP_OFF);
    m_bmpRestoreOn.LoadBitmap(IDB_RESTORE_ON);
    m_bmpRestoreOff.LoadBitmap(IDB_RESTORE_OFF);
    SetActionButtonStates(0, 0);

    m_bmpQuit.LoadBitmap(IDB_QUIT);
    m_btnQuit.SetBitmap(m_bmpQuit);

    m_hIconBrowse = AfxGetApp()->LoadIcon(IDI_BROWSE);
    m_hIconBrowseBusy = AfxGetApp()->LoadIcon(IDI_BROWSE_BUSY);
    m_btnBrowse.SetIcon(m_hIconBrowse);
    m_hIconRefresh = AfxGetApp()->LoadIcon(IDI_REFRESH);
    m_hIconRefreshBusy = AfxGetApp()->LoadIcon(IDI_REFRESH_BUSY);
    m_btnRefresh.SetIcon(m_hIconRefresh);

    FillDriveList();
    ShowDeviceInfo();
    UpdateActionButtons();

    // Non-signalled even where an event of that name existed already.
    g_job.m_hStopEvent = CreateEventA(nullptr, TRUE, FALSE, "Event_Corvane");
    ResetEvent(g_job.m_hStopEvent);
    return TRUE;
}

void CCorvaneDlg::OnPaint() {
    if (IsIconic()) {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, (WPARAM)dc.GetSafeHdc(), 0);
        const int cxIcon = GetSystemMetrics(SM_CXICON);
        const int cyIcon = GetSystemMetrics(SM_CYICON);
        RECT rect;
        GetClientRect(&rect);
        const int x = (rect.right - rect.left - cxIcon + 1) / 2;
        const int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
    } else {
        CDialog::OnPaint();
    }
}

HCURSOR CCorvaneDlg::OnQueryDragIcon() { return (HCURSOR)m_hIcon; }

// F1 has no help to show.
BOOL CCorvaneDlg::OnHelpInfo(HELPINFO*) { return TRUE; }

BOOL CCorvaneDlg::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message >= WM_MOUSEMOVE && pMsg->message <= WM_LBUTTONUP) m_toolTip.RelayEvent(pMsg);
    return CDialog::PreTranslateMessage(pMsg);
}

// Enter and Esc leave the dialog open: Quit is the way out.
void CCorvaneDlg::OnOK() {}
void CCorvaneDlg::OnCancel() {}
