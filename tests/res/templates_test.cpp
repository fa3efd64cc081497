// Faults a template can have that would only show once the window is built.
#include "res/resource.h"
#include "res/resources.h"
#include "res/templates.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

const DialogTemplate* const kDialogs[] = {&g_mainDialog, &g_aboutDialog};

TEST(Templates, ControlIdsAreUniqueWithinEachDialog) {
    for (const DialogTemplate* d : kDialogs) {
        std::set<int> seen;
        for (size_t i = 0; i < d->controlCount; ++i) {
            int id = d->controls[i].id;
            if (id == IDC_STATIC) continue;
            EXPECT_TRUE(seen.insert(id).second) << "dialog " << d->id << ": id " << id << " twice";
        }
    }
}

TEST(Templates, EveryControlLiesInsideItsDialog) {
    for (const DialogTemplate* d : kDialogs)
        for (size_t i = 0; i < d->controlCount; ++i) {
            const DialogControl& c = d->controls[i];
            EXPECT_TRUE(c.x >= 0 && c.y >= 0 && c.cx > 0 && c.cy > 0 && c.x + c.cx <= d->cx && c.y + c.cy <= d->cy)
                << "dialog " << d->id << ", control " << i + 1 << " (" << c.className << ")";
            EXPECT_EQ(c.style & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE) << "control " << i + 1;
        }
}

TEST(Templates, TabOrderFollowsTheTemplateOrder) {
    std::vector<int> stops;
    for (size_t i = 0; i < g_mainDialog.controlCount; ++i)
        if (g_mainDialog.controls[i].style & WS_TABSTOP) stops.push_back(g_mainDialog.controls[i].id);
    const std::vector<int> expected = {IDC_FILE_NAME, IDC_BROWSE,  IDC_DRIVE, IDC_REFRESH,
                                       IDC_BACKUP,    IDC_RESTORE, IDC_QUIT,  IDC_ANIMATION};
    EXPECT_EQ(stops, expected);
}

// Every control the code reaches by id is there exactly once.
TEST(Templates, MainDialogHoldsEveryNamedControl) {
    const int ids[] = {IDC_BACKUP,  IDC_DRIVE,    IDC_QUIT,      IDC_FILE_NAME, IDC_BROWSE,    IDC_REFRESH,   IDC_PROGRESS,
                       IDC_PERCENT, IDC_RESTORE,  IDC_DRIVE_SIZE, IDC_STATUS,   IDC_ANIMATION, IDC_VERSION};
    for (int id : ids) {
        int found = 0;
        for (size_t i = 0; i < g_mainDialog.controlCount; ++i) found += g_mainDialog.controls[i].id == id;
        EXPECT_EQ(found, 1) << "control " << id;
    }
}

// The frame encloses everything but the version line below it.
TEST(Templates, GroupBoxFramesTheControlsAboveTheVersionLine) {
    const DialogControl* frame = nullptr;
    for (size_t i = 0; i < g_mainDialog.controlCount; ++i)
        if ((g_mainDialog.controls[i].style & BS_TYPEMASK) == BS_GROUPBOX &&
            std::string(g_mainDialog.controls[i].className) == "BUTTON")
            frame = &g_mainDialog.controls[i];
    ASSERT_NE(frame, nullptr);
    for (size_t i = 0; i < g_mainDialog.controlCount; ++i) {
        const DialogControl& c = g_mainDialog.controls[i];
        if (&c == frame || c.id == IDC_VERSION) continue;
        // The drop-down's height counts its open list, which may pass the frame.
        int height = c.id == IDC_DRIVE ? 12 : c.cy;
        EXPECT_TRUE(c.x >= frame->x && c.y >= frame->y && c.x + c.cx <= frame->x + frame->cx &&
                    c.y + height <= frame->y + frame->cy)
            << "control " << i + 1 << " (id " << c.id << ")";
    }
}

TEST(Templates, DialogsAreFoundByIdAndNameResourcesThatExist) {
    EXPECT_EQ(FindDialogTemplate(IDD_MAIN), &g_mainDialog);
    EXPECT_EQ(FindDialogTemplate(IDD_ABOUTBOX), &g_aboutDialog);
    EXPECT_EQ(FindDialogTemplate(101), nullptr);
    InstallResources();
    for (const DialogTemplate* d : kDialogs)
        for (size_t i = 0; i < d->controlCount; ++i) {
            const DialogControl& c = d->controls[i];
            if ((c.style & SS_TYPEMASK) == SS_ICON && std::string(c.className) == "STATIC") {
                EXPECT_EQ(c.text, nullptr);
                EXPECT_NE(FindResourceA(nullptr, MAKEINTRESOURCEA(c.imageId), RT_GROUP_ICON), nullptr)
                    << "icon " << c.imageId;
            } else {
                EXPECT_NE(c.text, nullptr) << "dialog " << d->id << ", control " << i + 1;
            }
        }
}

}  // namespace
