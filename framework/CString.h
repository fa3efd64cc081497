// The framework's string: 8-bit text (UTF-8 on Linux) with the operations
// the program calls.
#pragma once

#include "platform/winapi.h"

#include <string>

class CString {
public:
    CString() = default;
    CString(LPCSTR text) : text_(text ? text : "") {}  // NOLINT: converts like the framework's

    // Loads string nID of the program's string table; FALSE (and empty) when
    // there is none.
    BOOL LoadString(UINT nID);

    int GetLength() const { return (int)text_.size(); }
    BOOL IsEmpty() const { return text_.empty() ? TRUE : FALSE; }
    void Empty() { text_.clear(); }
    operator LPCSTR() const { return text_.c_str(); }  // NOLINT
    CString& operator=(LPCSTR text) {
        text_ = text ? text : "";
        return *this;
    }
    bool operator==(LPCSTR other) const { return text_ == (other ? other : ""); }

private:
    std::string text_;
};
