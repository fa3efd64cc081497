#include "app/AboutDlg.h"

#include "ui/CorvaneDlg.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX, nullptr) {}

void CAboutDlg::DoDataExchange(CDataExchange* pDX) { CDialog::DoDataExchange(pDX); }

BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
END_MESSAGE_MAP()

void CCorvaneDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

void CCorvaneDlg::ShowVersionLabel() {
    char szPath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    DWORD dwUnused = 0;
    const DWORD dwSize = GetFileVersionInfoSizeA(szPath, &dwUnused);
    if (dwSize == 0) return;
    void* pBlock = std::malloc(dwSize + 1);
    if (!pBlock) return;
    char szQuery[50] = {};
    void* pValue = nullptr;
    UINT uLength = 0;
    if (GetFileVersionInfoA(szPath, 0, dwSize, pBlock) &&
        VerQueryValueA(pBlock, "\\VarFileInfo\\Translation", &pValue, &uLength) && uLength >= 4) {
        const WORD* pPair = static_cast<const WORD*>(pValue);
        char szBlock[16] = {};
        std::snprintf(szBlock, sizeof szBlock, "%04x%04x", pPair[0], pPair[1]);
        std::snprintf(szQuery, sizeof szQuery, "\\StringFileInfo\\%s\\%s", szBlock, "ProductVersion");
        if (VerQueryValueA(pBlock, szQuery, &pValue, &uLength) && pValue) {
            // A text too long for the label is cut, never overrun.
            char szText[MAX_PATH] = {};
            std::snprintf(szText, sizeof szText, " Version %s", static_cast<const char*>(pValue));
            SetDlgItemText(IDC_VERSION, szText);
        }
    }
    std::free(pBlock);
}
