// The program's entry on Linux: Qt's application object, the window
// backend, then the program's own InitInstance.
#include "framework/qt/qt_backend.h"
#include "framework/qt/run.h"

#include <QApplication>
#include <QFileInfo>

int qtfw::RunApplication(int argc, char** argv) {
    QApplication app(argc, argv);
    // The desktop entry is named after the executable; a session that knows
    // it shows the entry's name and icon for the window.
    QGuiApplication::setDesktopFileName(QFileInfo(QString::fromLocal8Bit(argv[0])).fileName());
    InstallQtBackend();
    CWinApp* program = AfxGetApp();
    if (program) program->InitInstance();  // runs the dialog; FALSE means: end now
    return 0;
}
