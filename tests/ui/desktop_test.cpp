// The desktop entry and its icon.
#include "framework/qt/qt_backend.h"
#include "res/resource.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

namespace {

TEST(DesktopEntry, IconIsTheProgramsIconAt48Pixels) {
    const QImage committed(QStringLiteral(CORVANE_SOURCE_DIR "/desktop/corvane.png"));
    ASSERT_FALSE(committed.isNull()) << "desktop/corvane.png: ninja desktop-icon writes it";
    bool found = false;
    const QImage resource =
        qtfw::IconResource(IDI_APP, 48, &found).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_TRUE(found);
    ASSERT_EQ(committed.size(), QSize(48, 48));
    const QImage png = committed.convertToFormat(QImage::Format_ARGB32);
    int differing = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) {
            const QRgb a = png.pixel(x, y), b = resource.pixel(x, y);
            // Clear pixels match whatever their colour.
            if (a != b && !(qAlpha(a) == 0 && qAlpha(b) == 0)) ++differing;
        }
    EXPECT_EQ(differing, 0) << "desktop/corvane.png is not IDI_APP: ninja desktop-icon";
}

TEST(DesktopEntry, StartsTheProgramUnderItsIcon) {
    std::ifstream in(CORVANE_SOURCE_DIR "/desktop/corvane.desktop");
    ASSERT_TRUE(in);
    std::string line, group;
    std::map<std::string, std::string> keys;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            group = line;
            continue;
        }
        if (group == "[Desktop Entry]") keys[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    }
    EXPECT_EQ(keys["Type"], "Application");
    EXPECT_EQ(keys["Name"], "Corvane");
    EXPECT_EQ(keys["Exec"], "corvane");
    EXPECT_EQ(keys["Icon"], "corvane");  // share/icons/hicolor/48x48/apps/corvane.png
    EXPECT_EQ(keys["Terminal"], "false");
    EXPECT_FALSE(keys["Categories"].empty());
    if (std::system("command -v desktop-file-validate >/dev/null 2>&1") == 0) {
        EXPECT_EQ(std::system("desktop-file-validate " CORVANE_SOURCE_DIR "/desktop/corvane.desktop"), 0);
    } else {
        std::fprintf(stderr, "desktop-file-validate is missing (desktop-file-utils): the entry is not validated\n");
    }
}

}  // namespace
