// The files of res/art, compiled into the program as byte arrays by the
// build (res/embed.cmake writes the definitions).
#pragma once

#include "platform/winapi.h"

#include <cstddef>

struct EmbeddedFile {
    const char* name;  // the file's name in res/art
    const BYTE* data;
    size_t size;
};

extern const EmbeddedFile g_embeddedFiles[];
extern const size_t g_embeddedFileCount;

// The file of that name, or nullptr.
const EmbeddedFile* FindEmbeddedFile(const char* name);
