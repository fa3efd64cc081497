// Renders the main dialog, the About box and a notice to PNG files, in the
// language the environment chooses (LANG=ja_JP.UTF-8 for Japanese):
//
//   corvane-screenshots <folder> [suffix]
//
// The world is simulated, without cards: the dialog as it opens on a
// machine with no card reader. (tools/running-backup-shot.sh shows a job.)
#include "app/AboutDlg.h"
#include "framework/qt/qt_backend.h"
#include "framework/testing.h"
#include "platform/backend.h"
#include "platform/sim/sim_backend.h"
#include "res/resources.h"
#include "ui/CorvaneDlg.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <string>

// The screenshots need an application object, as the program has one.
class ScreenshotApp : public CWinApp {};
static ScreenshotApp theScreenshotApp;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder> [suffix]\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const std::string suffix = argc > 2 ? argv[2] : "";
    QApplication app(argc, argv);
    qtfw::InstallQtBackend();
    InstallResources();
    auto world = std::make_shared<platform::sim::SimWorld>();
    platform::SetBackend(world);

    CCorvaneDlg dialog(nullptr);
    if (!fwtest::Open(dialog)) {
        std::fprintf(stderr, "the main dialog could not be built\n");
        return 1;
    }
    bool ok = fwtest::Screenshot(dialog, folder + "/main" + suffix + ".png");

    fwtest::SetModalHandler([&](CDialog& about) {
        ok = fwtest::Screenshot(about, folder + "/about" + suffix + ".png") && ok;
        return (INT_PTR)IDOK;
    });
    fwtest::SystemCommand(dialog, IDM_ABOUTBOX);
    fwtest::SetModalHandler(nullptr);

    // A notice as the dialog shows it, its text in the environment's
    // language: the real box, photographed and closed once it is up.
    QTimer shutter;
    bool shot = false;
    QObject::connect(&shutter, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        QApplication::processEvents();
        shot = box->grab().save(QString::fromStdString(folder + "/box" + suffix + ".png"), "PNG");
        box->button(QMessageBox::Ok)->click();
    });
    shutter.start(10);
    CString notice;
    notice.LoadString(IDS_EJECT_CARD);
    dialog.MessageBox(notice, "Message", MB_OK | MB_ICONINFORMATION);
    shutter.stop();
    ok = shot && ok;
    fwtest::Close(dialog);
    if (!ok) std::fprintf(stderr, "a screenshot could not be written into %s\n", folder.c_str());
    return ok ? 0 : 1;
}
