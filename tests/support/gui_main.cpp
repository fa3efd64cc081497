// The main of the test programs that open windows: Qt on the offscreen
// platform, the window backend, the program's resources, simulated cards
// (none inserted) and an application object, as the program has one.
#include "framework/afxwin.h"
#include "framework/qt/qt_backend.h"
#include "platform/backend.h"
#include "platform/sim/sim_backend.h"
#include "res/resources.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {
class TestApp : public CWinApp {};
TestApp theTestApp;
}  // namespace

int main(int argc, char** argv) {
    // Before the application object: it picks the platform when it is made.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    qtfw::InstallQtBackend();
    InstallResources();
    platform::SetBackend(std::make_shared<platform::sim::SimWorld>());
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    platform::SetBackend(nullptr);
    return result;
}
