// Lookup in the table of embedded files.
#include "res/embedded.h"

#include <cstring>

const EmbeddedFile* FindEmbeddedFile(const char* name) {
    for (size_t i = 0; i < g_embeddedFileCount; ++i)
        if (std::strcmp(g_embeddedFiles[i].name, name) == 0) return &g_embeddedFiles[i];
    return nullptr;
}
