// The version resource: its values as data, and the VS_VERSIONINFO block
// built from them that is registered as RT_VERSION.
#pragma once

#include "platform/winapi.h"

#include <cstddef>
#include <vector>

struct VersionString {
    const char* key;
    const char* value;  // ASCII
};

struct VersionInfo {
    WORD fileVersion[4];
    WORD productVersion[4];
    DWORD fileFlagsMask;
    DWORD fileFlags;
    DWORD fileOS;
    DWORD fileType;
    DWORD fileSubtype;
    // The one string block and the one translation pair.
    WORD language;
    WORD codePage;
    const VersionString* strings;
    size_t stringCount;
};

extern const VersionInfo g_versionInfo;

// The binary block: VS_VERSIONINFO with its VS_FIXEDFILEINFO, then
// StringFileInfo (one StringTable named by language and code page in
// lower-case hexadecimal) and VarFileInfo (Translation), in UTF-16 with
// every node aligned to four bytes.
std::vector<BYTE> BuildVersionResource(const VersionInfo& info);
