// Writes the program's icon (IDI_APP, 48 x 48) as the PNG the desktop entry
// names, read through the same decoder the window icon comes from:
//
//   corvane-desktop-icon <file.png>
#include "framework/qt/qt_backend.h"
#include "res/resource.h"
#include "res/resources.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <file.png>\n", argv[0]);
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    InstallResources();
    bool found = false;
    const QPixmap icon = qtfw::IconResource(IDI_APP, 48, &found);
    if (!found || icon.size() != QSize(48, 48)) {
        std::fprintf(stderr, "no 48 x 48 image of IDI_APP\n");
        return 1;
    }
    if (!icon.toImage().convertToFormat(QImage::Format_ARGB32).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
