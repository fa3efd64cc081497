// The application object: one instance at a time, one modal dialog.
#pragma once

#include "framework/afxwin.h"

class CCorvaneApp : public CWinApp {
public:
    CCorvaneApp();
    ~CCorvaneApp() override = default;

    BOOL InitInstance() override;
};

extern CCorvaneApp theApp;

// The name that marks a running instance.
#define CORVANE_MUTEX_NAME "CORVANE_EXECUTE_MUTEX_"
