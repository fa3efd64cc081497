// The program's entry on Linux: Qt's application object, the window
// backend, then the program's own InitInstance.
#include "framework/qt/qt_backend.h"
#include "framework/qt/run.h"

#include <QApplication>

int qtfw::RunApplication(int argc, char** argv) {
    QApplication app(argc, argv);
    InstallQtBackend();
    CWinApp* program = AfxGetApp();
    if (program) program->InitInstance();  // runs the dialog; FALSE means: end now
    return 0;
}
