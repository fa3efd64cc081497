// The main dialog on a machine without cards, with every message box, modal
// dialog and file dialog recorded in order.
#pragma once

#include "framework/qt/qt_backend.h"
#include "framework/testing.h"
#include "platform/backend.h"
#include "transfer/TransferJob.h"
#include "ui/CorvaneDlg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct ShownBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_job.m_nJobKind = JOB_NONE;
        g_job.m_bQuitting = 0;
        // Set, so that a start-up that leaves them alone is seen.
        g_bBackupEnabled = g_bRestoreEnabled = 1;
        platform::SetMessageBoxHandler([this](HWND owner, const std::string& text, const std::string& caption,
                                              UINT type) {
            boxes.push_back({owner, text, caption, type});
            return (type & 0x0F) == MB_YESNO ? IDNO : IDOK;
        });
        fwtest::SetModalHandler([this](CDialog& shown) {
            modals.push_back(fwtest::Title(shown));
            return onModal ? onModal(shown) : (INT_PTR)IDOK;
        });
        fwtest::SetFileDialogHandler([this](const fwtest::FileDialogRequest& request, std::string* path) {
            files.push_back(request);
            if (fileAnswer.empty()) return (INT_PTR)IDCANCEL;
            *path = fileAnswer;
            return (INT_PTR)IDOK;
        });
    }

    void TearDown() override {
        CloseDialog();
        fwtest::SetModalHandler(nullptr);
        fwtest::SetFileDialogHandler(nullptr);
        qtfw::InstallQtBackend();  // the real message boxes again
        g_job.m_nJobKind = JOB_NONE;
        g_job.m_bQuitting = 0;
    }

    CCorvaneDlg& OpenDialog() {
        CloseDialog();
        dialog = std::make_unique<CCorvaneDlg>(nullptr);
        EXPECT_TRUE(fwtest::Open(*dialog));
        return *dialog;
    }

    void CloseDialog() {
        if (!dialog) return;
        fwtest::Close(*dialog);
        dialog.reset();
        if (g_job.m_hStopEvent) CloseHandle(g_job.m_hStopEvent);
        g_job.m_hStopEvent = nullptr;
    }

    // Nothing shown at all: no box, no modal dialog, no file dialog.
    void ExpectNothingShown() const {
        EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : boxes.front().text);
        EXPECT_TRUE(modals.empty());
        EXPECT_TRUE(files.empty());
    }

    std::unique_ptr<CCorvaneDlg> dialog;
    std::vector<ShownBox> boxes;
    std::vector<std::string> modals;
    std::function<INT_PTR(CDialog&)> onModal;
    std::vector<fwtest::FileDialogRequest> files;
    std::string fileAnswer;  // empty: the file dialog is cancelled
};

// Everything of the dialog a user can see, with the two flags.
struct DialogSnapshot {
    std::vector<fwtest::ControlState> controls;
    BYTE backupEnabled;
    BYTE restoreEnabled;
    std::string title;
};

inline DialogSnapshot Snapshot(CDialog& dialog) {
    return {fwtest::Controls(dialog), g_bBackupEnabled, g_bRestoreEnabled, fwtest::Title(dialog)};
}

// What differs, one line per property: "1004 enabled 1 -> 0".
inline std::vector<std::string> Differences(const DialogSnapshot& before, const DialogSnapshot& after) {
    std::vector<std::string> out;
    auto note = [&out](const std::string& what, const std::string& a, const std::string& b) {
        if (a != b) out.push_back(what + " " + a + " -> " + b);
    };
    if (before.controls.size() != after.controls.size()) {
        out.push_back("control count");
        return out;
    }
    for (size_t i = 0; i < before.controls.size(); ++i) {
        const fwtest::ControlState& a = before.controls[i];
        const fwtest::ControlState& b = after.controls[i];
        const std::string who = std::to_string(a.id);
        note(who + " text", a.text, b.text);
        note(who + " enabled", std::to_string(a.enabled), std::to_string(b.enabled));
        note(who + " visible", std::to_string(a.visible), std::to_string(b.visible));
        note(who + " image", std::to_string(a.image), std::to_string(b.image));
        note(who + " tooltip", a.toolTip, b.toolTip);
        note(who + " rect",
             std::to_string(a.rect.left) + "," + std::to_string(a.rect.top) + "," + std::to_string(a.rect.right) +
                 "," + std::to_string(a.rect.bottom),
             std::to_string(b.rect.left) + "," + std::to_string(b.rect.top) + "," + std::to_string(b.rect.right) +
                 "," + std::to_string(b.rect.bottom));
    }
    note("g_bBackupEnabled", std::to_string(before.backupEnabled), std::to_string(after.backupEnabled));
    note("g_bRestoreEnabled", std::to_string(before.restoreEnabled), std::to_string(after.restoreEnabled));
    note("title", before.title, after.title);
    return out;
}

// Sets the interface language for as long as it lives.
class Language {
public:
    explicit Language(const char* lang, const char* language = nullptr) {
        for (const char* name : {"LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES"}) {
            const char* value = std::getenv(name);
            saved_.push_back({name, value ? std::string(value) : std::string(), value != nullptr});
            unsetenv(name);
        }
        setenv("LANG", lang, 1);
        if (language) setenv("LANGUAGE", language, 1);
    }
    ~Language() {
        for (const Saved& s : saved_) {
            if (s.set)
                setenv(s.name, s.value.c_str(), 1);
            else
                unsetenv(s.name);
        }
    }
    Language(const Language&) = delete;
    Language& operator=(const Language&) = delete;

private:
    struct Saved {
        const char* name;
        std::string value;
        bool set;
    };
    std::vector<Saved> saved_;
};
