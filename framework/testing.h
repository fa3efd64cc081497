// Seams for tests: dialogs opened without their modal loop, answers given
// by a script, timers fired by hand, and every control's state readable.
// Program code does not use this header.
#pragma once

#include "framework/afxwin.h"

#include <functional>
#include <string>
#include <vector>

namespace fwtest {

// Every DoModal of a dialog not opened with Open goes to the handler: the
// dialog is built and initialised, the handler looks at it and returns the
// result, and the dialog is destroyed. Without a handler DoModal is modal.
void SetModalHandler(std::function<INT_PTR(CDialog&)> handler);

struct FileDialogRequest {
    bool open;
    std::string defaultExtension;
    std::string fileName;
    DWORD flags;
    std::string filter;  // as the program gave it, "|" and all
    HWND owner;
};
// Answers file dialogs: IDOK with the path, or IDCANCEL.
void SetFileDialogHandler(std::function<INT_PTR(const FileDialogRequest&, std::string* path)> handler);

// Builds the dialog and runs OnInitDialog as DoModal does, then returns; the
// test drives it. Close destroys the window.
BOOL Open(CDialog& dialog);
void Close(CDialog& dialog);
bool Ended(CDialog& dialog);
int Result(CDialog& dialog);

// What the user does.
void Click(CDialog& dialog, int id);
void Select(CDialog& dialog, int id, int index);
void TypeText(CDialog& dialog, int id, const std::string& text);
enum class Key { Enter, Escape, F1 };
void Press(CDialog& dialog, Key key, int focusId = 0);
void CloseButton(CDialog& dialog);
void SystemCommand(CDialog& dialog, UINT id);
// The window menu as the context menu shows it: item texts, "-" for a separator.
std::vector<std::string> WindowMenu(CDialog& dialog);

void FireTimer(CDialog& dialog, UINT_PTR id);
bool TimerRunning(CDialog& dialog, UINT_PTR id);

// What the user sees.
bool Exists(CDialog& dialog, int id);
std::string Text(CDialog& dialog, int id);
bool Enabled(CDialog& dialog, int id);
bool Visible(CDialog& dialog, int id);
// The resource id of the bitmap or icon a button or icon static shows; 0
// for none.
UINT ImageId(CDialog& dialog, int id);
std::string ToolTip(CDialog& dialog, int id);
std::vector<std::string> Items(CDialog& dialog, int id);
int Selection(CDialog& dialog, int id);
int ProgressPosition(CDialog& dialog, int id, int* lower = nullptr, int* upper = nullptr);
struct Animation {
    UINT clip;
    bool playing;
    int frame;
    int frames;
    int intervalMs;
};
Animation AnimationState(CDialog& dialog, int id);
// The control's rectangle within the dialog, in pixels.
RECT ControlRect(CDialog& dialog, int id);
std::string Title(CDialog& dialog);

// Every control in template order, unnamed statics included, as the user
// sees it.
struct ControlState {
    int id;
    std::string className;  // the template's: "BUTTON", "STATIC", ...
    std::string text;
    bool enabled;
    bool visible;
    UINT image;  // as ImageId
    std::string toolTip;
    RECT rect;

    bool operator==(const ControlState& other) const;
};
std::vector<ControlState> Controls(CDialog& dialog);

// Renders the dialog, as it is now, into a PNG file.
bool Screenshot(CDialog& dialog, const std::string& path);

}  // namespace fwtest
