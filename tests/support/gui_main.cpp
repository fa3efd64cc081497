// The main of the test programs that open windows: Qt on the offscreen
// platform, the program's resources, and an application object as the
// program has one.
#include "framework/afxwin.h"
#include "framework/qt/qt_backend.h"
#include "res/resources.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {
class TestApp : public CWinApp {};
TestApp theTestApp;
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qtfw::InstallQtBackend();
    InstallResources();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
