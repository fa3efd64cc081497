#include "app/CorvaneApp.h"

#include "res/resources.h"
#include "ui/CorvaneDlg.h"

CCorvaneApp::CCorvaneApp() : CWinApp(nullptr) {}

CCorvaneApp theApp;

BOOL CCorvaneApp::InitInstance() {
    InstallResources();
    AfxEnableControlContainer();

    // Held for the life of the process, so the next start sees it.
    HANDLE hMutex = CreateMutexA(nullptr, FALSE, CORVANE_MUTEX_NAME);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        HWND hWnd = FindWindowA(nullptr, "Corvane");
        ShowWindow(hWnd, SW_RESTORE);
        SetForegroundWindow(hWnd);
        CloseHandle(hMutex);
        PostQuitMessage(0);
        return FALSE;
    }

    CCorvaneDlg dlg(nullptr);
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
