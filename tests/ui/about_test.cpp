// The About box from the window menu, and the version label from the
// program's version resource.
#include "tests/ui/main_dialog_fixture.h"

#include "app/AboutDlg.h"
#include "platform/resources.h"
#include "res/resource.h"
#include "res/version.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace {

TEST_F(MainDialogTest, WindowMenuCommandsOfTheAboutItemOpenTheAboutBox) {
    CCorvaneDlg& dlg = OpenDialog();
    const DialogSnapshot before = Snapshot(dlg);
    struct Seen {
        std::string title;
        bool versionLine;
        std::string ok;
        UINT icon;
        QWidget* owner;
    };
    std::vector<Seen> seen;
    onModal = [&](CDialog& about) {
        bool versionLine = false;
        for (const fwtest::ControlState& c : fwtest::Controls(about)) versionLine |= c.text == "Holdrin Version 1.0";
        UINT icon = 0;
        for (const fwtest::ControlState& c : fwtest::Controls(about)) icon = std::max(icon, c.image);
        seen.push_back({fwtest::Title(about), versionLine, fwtest::Text(about, IDOK), icon,
                        about.m_hWnd->widget->parentWidget()});
        return (INT_PTR)IDOK;
    };
    for (UINT id = 0x10; id <= 0x1F; ++id) {
        seen.clear();
        fwtest::SystemCommand(dlg, id);
        ASSERT_EQ(seen.size(), 1u) << id;
        EXPECT_EQ(seen[0].title, "About Holdrin");
        EXPECT_TRUE(seen[0].versionLine);
        EXPECT_EQ(seen[0].ok, "OK");
        EXPECT_EQ(seen[0].icon, (UINT)IDI_APP);
        // Modal to the main dialog: its owner.
        EXPECT_EQ(seen[0].owner, dlg.m_hWnd->widget.data());
    }
    seen.clear();
    for (UINT id : {0x00u, 0x0Fu, 0x20u, 0x110u, 0xF000u, 0xF020u, 0xF120u}) {
        fwtest::SystemCommand(dlg, id);
        EXPECT_TRUE(seen.empty()) << id;
    }
    EXPECT_EQ(modals.size(), 16u);
    EXPECT_FALSE(fwtest::Ended(dlg));
    EXPECT_TRUE(Differences(before, Snapshot(dlg)).empty());
    EXPECT_TRUE(boxes.empty());
}

// The real modal About box, closed the ways a user closes it.
TEST_F(MainDialogTest, ClosingTheAboutBoxLeavesTheMainDialogAsItWas) {
    CCorvaneDlg& dlg = OpenDialog();
    fwtest::TypeText(dlg, IDC_FILE_NAME, "/typed/before.bin");
    dlg.SetActionButtonStates(1, 0);
    fwtest::SetModalHandler(nullptr);
    const DialogSnapshot before = Snapshot(dlg);
    const size_t openBefore = qtfw::OpenDialogs().size();

    struct Case {
        const char* how;
        std::function<void(QWidget*)> close;
    };
    const Case cases[] = {
        {"OK", [](QWidget* about) {
             for (auto* button : about->findChildren<QPushButton*>())
                 if (button->text() == "OK") button->click();
         }},
        {"Esc", [](QWidget* about) {
             QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(about, &esc);
         }},
        {"close box", [](QWidget* about) { about->close(); }},
    };
    for (const Case& c : cases) {
        std::string title;
        int attempts = 0;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            ++attempts;
            if (!modal) return;
            title = qtfw::ToAnsi(modal->windowTitle());
            // A box that does not close the asked way is ended anyway after a
            // while, so that the test fails instead of hanging.
            if (attempts > 2000)
                qtfw::CallOnCancel(*qtfw::OpenDialogs().back()->Owner());
            else
                c.close(modal);
        });
        closer.start(5);
        fwtest::SystemCommand(dlg, IDM_ABOUTBOX);
        closer.stop();
        EXPECT_EQ(title, "About Holdrin") << c.how;
        EXPECT_LE(attempts, 2000) << c.how;
        EXPECT_EQ(qtfw::OpenDialogs().size(), openBefore) << c.how;
        EXPECT_FALSE(fwtest::Ended(dlg)) << c.how;
        EXPECT_TRUE(Differences(before, Snapshot(dlg)).empty()) << c.how;
    }
    EXPECT_TRUE(boxes.empty());
}

// The version resource, edited: the label shows ProductVersion under the
// first translation, and nothing when there is none to show.
std::vector<BYTE> VersionWithout(const char* key, bool keepTranslation, WORD translationLanguage,
                                 const char* productVersion) {
    std::vector<VersionString> strings;
    for (size_t i = 0; i < g_versionInfo.stringCount; ++i) {
        VersionString s = g_versionInfo.strings[i];
        if (key && std::strcmp(s.key, key) == 0) continue;
        if (productVersion && std::strcmp(s.key, "ProductVersion") == 0) s.value = productVersion;
        strings.push_back(s);
    }
    VersionInfo info = g_versionInfo;
    info.strings = strings.data();
    info.stringCount = strings.size();
    std::vector<BYTE> block = BuildVersionResource(info);
    // The translation pair is the block's last four bytes: point it elsewhere,
    // or cut VarFileInfo off altogether.
    const char16_t varFileInfo[] = u"VarFileInfo";
    auto at = std::search(block.begin(), block.end(), reinterpret_cast<const BYTE*>(varFileInfo),
                          reinterpret_cast<const BYTE*>(varFileInfo) + 22);
    EXPECT_NE(at, block.end());
    if (!keepTranslation) {
        const size_t node = (size_t)(at - block.begin()) - 6;  // length, value length, type
        block.resize(node);
        block[0] = (BYTE)(node & 0xFF);
        block[1] = (BYTE)(node >> 8);
    } else {
        block[block.size() - 4] = (BYTE)(translationLanguage & 0xFF);
        block[block.size() - 3] = (BYTE)(translationLanguage >> 8);
    }
    return block;
}

TEST_F(MainDialogTest, VersionLabelShowsProductVersionOrStaysEmpty) {
    struct Case {
        const char* what;
        std::vector<BYTE> resource;
        const char* label;
    };
    const Case cases[] = {
        {"another ProductVersion", VersionWithout(nullptr, true, 0x0409, "2, 5, 0, 7"), " Version 2, 5, 0, 7"},
        {"no ProductVersion", VersionWithout("ProductVersion", true, 0x0409, nullptr), ""},
        {"no translation", VersionWithout(nullptr, false, 0, nullptr), ""},
        {"translation of a block that is not there", VersionWithout(nullptr, true, 0x0411, nullptr), ""},
    };
    for (const Case& c : cases) {
        const platform::ResourceEntry entry[] = {
            {RT_VERSION, VS_VERSION_INFO, 0x0409, c.resource.data(), (DWORD)c.resource.size()}};
        platform::RegisterResources(entry, 1);
        CCorvaneDlg& dlg = OpenDialog();
        EXPECT_EQ(fwtest::Text(dlg, IDC_VERSION), c.label) << c.what;
        CloseDialog();
        platform::RemoveResources(entry, 1);
    }
    // The program's own again.
    EXPECT_EQ(fwtest::Text(OpenDialog(), IDC_VERSION), " Version 1, 0, 0, 0");
    ExpectNothingShown();
}

}  // namespace
