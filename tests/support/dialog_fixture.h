// The main dialog on a simulated machine, with every message box recorded
// and answered by a script.
#pragma once

#include "device/DriveTable.h"
#include "framework/testing.h"
#include "tests/support/job_fixture.h"
#include "ui/CorvaneDlg.h"

#include <deque>
#include <memory>

class DialogFixture : public JobFixture {
protected:
    void SetUp() override {
        JobFixture::SetUp();
        // Questions are answered from the script, Yes when it runs out.
        platform::SetMessageBoxHandler([this](HWND owner, const std::string& text, const std::string& caption,
                                              UINT type) {
            std::lock_guard<std::mutex> guard(boxLock);
            boxes.push_back({owner, text, caption, type});
            if (answers.empty()) return (type & 0x0F) == MB_YESNO ? IDYES : IDOK;
            int answer = answers.front();
            answers.pop_front();
            return answer;
        });
        g_bBackupEnabled = g_bRestoreEnabled = 0;
    }
    void TearDown() override {
        if (dialog) fwtest::Close(*dialog);
        dialog.reset();
        JobFixture::TearDown();
    }

    CCorvaneDlg& OpenDialog() {
        dialog = std::make_unique<CCorvaneDlg>(nullptr);
        EXPECT_TRUE(fwtest::Open(*dialog));
        return *dialog;
    }

    HWND DialogWindow() const { return dialog ? dialog->m_hWnd : nullptr; }

    std::deque<int> answers;
    std::unique_ptr<CCorvaneDlg> dialog;
};
