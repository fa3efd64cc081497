// The dialog templates as data: everything the window is built from. The UI
// backend lays the dialog out from these tables, and the Windows resource
// script is generated from them, so they are the only place the layout lives.
#pragma once

#include "framework/dialog_template.h"

extern const DialogTemplate g_mainDialog;   // IDD_MAIN
extern const DialogTemplate g_aboutDialog;  // IDD_ABOUTBOX

// The template with that IDD_ id, or nullptr.
const DialogTemplate* FindDialogTemplate(WORD id);
