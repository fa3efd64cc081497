// The screenshot tool: it writes pictures of the dialogs at their real size,
// in English and in Japanese.
#include "tests/ui/child_process.h"
#include "tests/ui/main_dialog_fixture.h"

#include "app/AboutDlg.h"

#include <QImage>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

bool Uniform(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != image.pixel(0, 0)) return false;
    return true;
}

TEST_F(MainDialogTest, ScreenshotToolWritesEachDialogAtItsSizeInBothLanguages) {
    const QSize mainSize = OpenDialog().m_hWnd->widget->size();
    CloseDialog();
    CAboutDlg about;
    ASSERT_TRUE(fwtest::Open(about));
    const QSize aboutSize = about.m_hWnd->widget->size();
    fwtest::Close(about);

    const fs::path folder = fs::temp_directory_path() / ("corvane-shots-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (const char* language : {"en", "ja"}) {
        const std::string lang = std::string(language) == "ja" ? "ja_JP.UTF-8" : "en_US.UTF-8";
        const pid_t tool = StartProgram(SCREENSHOT_TOOL, {folder.string(), std::string("-") + language},
                                        {{"QT_QPA_PLATFORM", "offscreen"}, {"LANG", lang}, {"LANGUAGE", ""}});
        ASSERT_GT(tool, 0);
        const std::optional<int> status = WaitForExit(tool);
        ASSERT_TRUE(status.has_value());
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << language;
    }
    for (const char* language : {"en", "ja"}) {
        for (const auto& [name, size] : {std::pair{"main", mainSize}, std::pair{"about", aboutSize}}) {
            const fs::path file = folder / (std::string(name) + "-" + language + ".png");
            SCOPED_TRACE(file.string());
            ASSERT_TRUE(fs::exists(file));
            EXPECT_GT(fs::file_size(file), 0u);
            const QImage image(QString::fromStdString(file.string()));
            ASSERT_FALSE(image.isNull());
            EXPECT_EQ(image.size(), size);
            EXPECT_FALSE(Uniform(image));
        }
    }
    // The dialogs' own texts are English in both; the notice's text is not.
    const auto load = [&](const char* file) { return QImage(QString::fromStdString((folder / file).string())); };
    EXPECT_EQ(load("main-en.png"), load("main-ja.png"));
    EXPECT_FALSE(load("box-en.png").isNull());
    EXPECT_FALSE(load("box-ja.png").isNull());
    EXPECT_NE(load("box-en.png"), load("box-ja.png"));
    fs::remove_all(folder);
}

}  // namespace
