// The resources compiled into the program, registered once at start-up by
// whoever links them in (res/). On Windows the linker's resource section
// stands in their place.
#pragma once

#include "platform/winapi.h"

#include <cstddef>

namespace platform {

// type is a MAKEINTRESOURCEA number or a type name such as "AVI". Strings
// (RT_STRING) are one entry per string id, UTF-8 text without terminator.
struct ResourceEntry {
    LPCSTR type;
    WORD id;
    LANGID language;
    const BYTE* data;
    DWORD size;
};

// Adds entries to the module's resources; the arrays must outlive their
// registration. An entry registered later hides an earlier one of the same
// type, id and language until it is removed again.
void RegisterResources(const ResourceEntry* entries, size_t count);
void RemoveResources(const ResourceEntry* entries, size_t count);

// The interface language from locale variables as the C library reads them
// for messages: LC_ALL, LC_MESSAGES, LANG, and LANGUAGE unless the locale is
// C or POSIX. Japanese gives 0x0411, anything else 0x0409.
LANGID InterfaceLanguageFromEnvironment(const char* language, const char* lcAll, const char* lcMessages,
                                        const char* lang);

}  // namespace platform
