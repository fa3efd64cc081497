// The program's version resource.
#include "res/version.h"

#include <cstdio>
#include <cstring>

namespace {

const VersionString kStrings[] = {
    {"FileDescription", "Corvane MFC Application"},
    {"FileVersion", "1, 0, 0, 0"},
    {"InternalName", "Corvane"},
    {"LegalCopyright", "Copyright (C) 2024 Corvane"},
    {"OriginalFilename", "Corvane.EXE"},
    {"ProductName", "Corvane Application"},
    {"ProductVersion", "1, 0, 0, 0"},
};

// Writes the little-endian tree one node at a time; a node's length is
// patched in once its children are written.
class Writer {
public:
    std::vector<BYTE> bytes;

    size_t begin(const char* key, WORD valueLength, WORD type) {
        align();
        size_t start = bytes.size();
        word(0);
        word(valueLength);
        word(type);
        text(key);
        align();
        return start;
    }
    void end(size_t start) {
        size_t length = bytes.size() - start;
        bytes[start] = (BYTE)(length & 0xFF);
        bytes[start + 1] = (BYTE)(length >> 8);
    }
    void word(WORD w) {
        bytes.push_back((BYTE)(w & 0xFF));
        bytes.push_back((BYTE)(w >> 8));
    }
    void dword(DWORD d) {
        word((WORD)(d & 0xFFFF));
        word((WORD)(d >> 16));
    }
    // ASCII to UTF-16, with the terminating NUL.
    void text(const char* s) {
        for (; *s; ++s) word((WORD)(unsigned char)*s);
        word(0);
    }
    void align() {
        while (bytes.size() % 4) bytes.push_back(0);
    }
};

DWORD high(const WORD v[4]) { return (DWORD)v[0] << 16 | v[1]; }
DWORD low(const WORD v[4]) { return (DWORD)v[2] << 16 | v[3]; }

}  // namespace

const VersionInfo g_versionInfo = {
    {1, 0, 0, 0},
    {1, 0, 0, 0},
    VS_FFI_FILEFLAGSMASK,
    0,
    VOS__WINDOWS32,
    VFT_APP,
    VFT2_UNKNOWN,
    0x0409,
    0x04b0,
    kStrings,
    sizeof kStrings / sizeof kStrings[0],
};

std::vector<BYTE> BuildVersionResource(const VersionInfo& info) {
    Writer w;
    size_t root = w.begin("VS_VERSION_INFO", (WORD)sizeof(VS_FIXEDFILEINFO), 0);
    w.dword(VS_FFI_SIGNATURE);
    w.dword(VS_FFI_STRUCVERSION);
    w.dword(high(info.fileVersion));
    w.dword(low(info.fileVersion));
    w.dword(high(info.productVersion));
    w.dword(low(info.productVersion));
    w.dword(info.fileFlagsMask);
    w.dword(info.fileFlags);
    w.dword(info.fileOS);
    w.dword(info.fileType);
    w.dword(info.fileSubtype);
    w.dword(0);  // no file date
    w.dword(0);

    size_t stringFileInfo = w.begin("StringFileInfo", 0, 1);
    char blockName[9];
    std::snprintf(blockName, sizeof blockName, "%04x%04x", info.language, info.codePage);
    size_t table = w.begin(blockName, 0, 1);
    for (size_t i = 0; i < info.stringCount; ++i) {
        const VersionString& s = info.strings[i];
        // A text value's length counts UTF-16 units with the NUL.
        size_t node = w.begin(s.key, (WORD)(std::strlen(s.value) + 1), 1);
        w.text(s.value);
        w.end(node);
    }
    w.end(table);
    w.end(stringFileInfo);

    size_t varFileInfo = w.begin("VarFileInfo", 0, 1);
    size_t translation = w.begin("Translation", 4, 0);
    w.word(info.language);
    w.word(info.codePage);
    w.end(translation);
    w.end(varFileInfo);
    w.end(root);
    return w.bytes;
}
