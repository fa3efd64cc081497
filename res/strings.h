// The string table as data: one row per id, the text in both languages.
#pragma once

struct StringTableEntry {
    unsigned id;
    const char* english;   // language 1033
    const char* japanese;  // language 1041, UTF-8
};

extern const StringTableEntry g_stringTable[];
extern const unsigned g_stringTableSize;
