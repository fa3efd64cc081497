// The main dialog and the About box, control by control.
#include "res/templates.h"

#include "res/resource.h"

#include <initializer_list>

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
// The three picture buttons share everything but the id and the text.
constexpr DWORD kPictureButton = kChild | BS_PUSHBUTTON | BS_BITMAP | BS_CENTER | BS_VCENTER | WS_TABSTOP;
constexpr DWORD kLabel = kChild | SS_LEFT | WS_GROUP;

const DialogControl kMainControls[] = {
    {IDC_FILE_NAME, "EDIT", "", 0, 59, 11, 194, 12, kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL,
     WS_EX_CLIENTEDGE | WS_EX_STATICEDGE},
    {IDC_BROWSE, "BUTTON", "", 0, 257, 7, 20, 20, kChild | BS_PUSHBUTTON | BS_ICON | WS_TABSTOP, 0},
    // 63 is the height with the list dropped. No CBS_SORT: item i is drive-table row i.
    {IDC_DRIVE, "COMBOBOX", "", 0, 59, 28, 49, 63, kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
     WS_EX_CLIENTEDGE | WS_EX_STATICEDGE},
    {IDC_REFRESH, "BUTTON", "", 0, 110, 25, 20, 20,
     kChild | BS_PUSHBUTTON | BS_ICON | BS_CENTER | BS_VCENTER | WS_TABSTOP, 0},
    {IDC_BACKUP, "BUTTON", "CF -> IMG", 0, 5, 127, 70, 35, kPictureButton | BS_NOTIFY, 0},
    {IDC_RESTORE, "BUTTON", "IMG -> CF", 0, 106, 127, 70, 35, kPictureButton | BS_NOTIFY, WS_EX_TRANSPARENT},
    {IDC_QUIT, "BUTTON", "", 0, 207, 127, 70, 35, kPictureButton, WS_EX_TRANSPARENT},
    {IDC_STATIC, "STATIC", "Drive Letter", 0, 6, 31, 39, 8, kLabel, 0},
    {IDC_STATIC, "STATIC", "File Name", 0, 6, 13, 43, 8, kLabel, 0},
    // Segmented (no PBS_SMOOTH); the text is never shown.
    {IDC_PROGRESS, "msctls_progress32", "Progress1", 0, 6, 108, 271, 14, kChild | WS_BORDER, 0},
    {IDC_PERCENT, "STATIC", "0", 0, 257, 99, 11, 8, kChild | SS_RIGHT | WS_GROUP, 0},
    {IDC_STATIC, "STATIC", "%", 0, 269, 99, 10, 9, kLabel, 0},
    {IDC_STATIC, "STATIC", "Drive Size", 0, 6, 49, 32, 8, kLabel, 0},
    {IDC_DRIVE_SIZE, "STATIC", "", 0, 60, 49, 44, 8, kLabel, 0},
    {IDC_STATUS, "STATIC", "", 0, 8, 100, 123, 8, kLabel, 0},
    {IDC_ANIMATION, "SysAnimate32", "Animate1", 0, 10, 64, 264, 30,
     kChild | ACS_CENTER | ACS_TRANSPARENT | WS_TABSTOP, 0},
    {IDC_STATIC, "BUTTON", "", 0, 2, 0, 279, 168, kChild | BS_GROUPBOX, 0},
    {IDC_VERSION, "STATIC", "", 0, 180, 172, 100, 8, kChild | SS_RIGHT | SS_CENTERIMAGE | WS_GROUP,
     WS_EX_TRANSPARENT},
};

const DialogControl kAboutControls[] = {
    {IDC_STATIC, "STATIC", nullptr, IDI_APP, 11, 17, 20, 20, kChild | SS_ICON, 0},
    {IDC_STATIC, "STATIC", "Holdrin Version 1.0", 0, 40, 10, 119, 8, kChild | SS_LEFT | SS_NOPREFIX | WS_GROUP, 0},
    {IDC_STATIC, "STATIC", "Copyright (C) 2024 Corvane", 0, 40, 25, 119, 8, kLabel, 0},
    {IDOK, "BUTTON", "OK", 0, 178, 7, 50, 14, kChild | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 0},
};

}  // namespace

// The caption is also the title a second instance looks for.
const DialogTemplate g_mainDialog = {
    IDD_MAIN,
    true,
    "Corvane",
    0,
    0,
    282,
    182,
    WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS,
    WS_EX_APPWINDOW,
    {"MS Shell Dlg", 8, FW_DONTCARE, 0, DEFAULT_CHARSET},
    kMainControls,
    sizeof kMainControls / sizeof kMainControls[0],
};

const DialogTemplate g_aboutDialog = {
    IDD_ABOUTBOX,
    false,
    "About Holdrin",
    0,
    0,
    235,
    55,
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    0,
    {"MS Sans Serif", 8, FW_DONTCARE, 0, DEFAULT_CHARSET},
    kAboutControls,
    sizeof kAboutControls / sizeof kAboutControls[0],
};

const DialogTemplate* FindDialogTemplate(WORD id) {
    for (const DialogTemplate* t : {&g_mainDialog, &g_aboutDialog})
        if (t->id == id) return t;
    return nullptr;
}
