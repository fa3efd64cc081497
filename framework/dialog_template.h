// The form of a dialog template: what the framework builds a dialog from.
// On Linux an RT_DIALOG resource holds one DialogTemplate record; the
// Windows build has the resource compiler's binary template instead.
#pragma once

#include "platform/winapi.h"

#include <cstddef>

struct DialogFont {
    const char* face;
    WORD pointSize;
    WORD weight;   // FW_*; 0 takes the face's normal weight
    BYTE italic;   // 0 or 1
    BYTE charset;  // *_CHARSET
};

// One control. style holds every bit, WS_CHILD and WS_VISIBLE included.
// text is the title; where imageId is not 0 the title is that resource
// ordinal instead (an SS_ICON static names its icon this way) and text is
// nullptr.
struct DialogControl {
    int id;  // IDC_STATIC (-1) for the unnamed statics
    const char* className;
    const char* text;
    WORD imageId;
    short x, y, cx, cy;  // dialog units
    DWORD style;
    DWORD exStyle;
};

// A classic template (extended false) carries only the font's size and
// face; its weight, italic and charset fields are those a classic template
// implies (normal, upright, DEFAULT_CHARSET).
struct DialogTemplate {
    WORD id;
    bool extended;
    const char* caption;
    short x, y, cx, cy;  // dialog units
    DWORD style;
    DWORD exStyle;
    DialogFont font;
    const DialogControl* controls;  // in template order, which is the tab order
    size_t controlCount;
};

