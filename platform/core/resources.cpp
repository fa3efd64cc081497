// The module's resources: lookup by type, id and language.
#include "platform/resources.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <strings.h>
#include <list>
#include <vector>

namespace platform {
namespace {

std::mutex g_lock;
std::list<ResourceEntry> g_entries;  // a found entry stays where it is

bool sameType(LPCSTR a, LPCSTR b) {
    if (IS_INTRESOURCE(a) || IS_INTRESOURCE(b)) return a == b;
    return strcasecmp(a, b) == 0;
}

const ResourceEntry* find(LPCSTR type, WORD id, LANGID language) {
    std::lock_guard<std::mutex> guard(g_lock);
    for (auto e = g_entries.rbegin(); e != g_entries.rend(); ++e)
        if (e->id == id && e->language == language && sameType(e->type, type)) return &*e;
    return nullptr;
}

const ResourceEntry* findBest(LPCSTR type, WORD id, LANGID language) {
    if (language != 0) return find(type, id, language);
    const LANGID tries[] = {GetUserDefaultUILanguage(), MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT)};
    for (LANGID l : tries)
        if (const ResourceEntry* e = find(type, id, l)) return e;
    std::lock_guard<std::mutex> guard(g_lock);
    for (auto e = g_entries.rbegin(); e != g_entries.rend(); ++e)
        if (e->id == id && sameType(e->type, type)) return &*e;
    return nullptr;
}

std::string languageOf(const char* name) {
    std::string s = name ? name : "";
    size_t end = s.find_first_of("_.@:");
    return end == std::string::npos ? s : s.substr(0, end);
}

bool set(const char* v) { return v && *v; }

}  // namespace

void RegisterResources(const ResourceEntry* entries, size_t count) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_entries.insert(g_entries.end(), entries, entries + count);
}

void RemoveResources(const ResourceEntry* entries, size_t count) {
    std::lock_guard<std::mutex> guard(g_lock);
    for (size_t i = 0; i < count; ++i)
        for (auto e = g_entries.begin(); e != g_entries.end(); ++e)
            if (e->data == entries[i].data && e->id == entries[i].id && sameType(e->type, entries[i].type)) {
                g_entries.erase(e);
                break;
            }
}

LANGID InterfaceLanguageFromEnvironment(const char* language, const char* lcAll, const char* lcMessages,
                                        const char* lang) {
    const char* locale = set(lcAll) ? lcAll : set(lcMessages) ? lcMessages : set(lang) ? lang : nullptr;
    std::string name;
    if (locale && std::strcmp(locale, "C") != 0 && std::strcmp(locale, "POSIX") != 0 &&
        std::strncmp(locale, "C.", 2) != 0) {
        // LANGUAGE is a list of preferences; its first entry wins.
        name = languageOf(set(language) ? language : locale);
    }
    const WORD primary = name == "ja" ? LANG_JAPANESE : LANG_ENGLISH;
    return MAKELANGID(primary, SUBLANG_DEFAULT);
}

}  // namespace platform

using namespace platform;

LANGID GetUserDefaultUILanguage() {
    return InterfaceLanguageFromEnvironment(std::getenv("LANGUAGE"), std::getenv("LC_ALL"),
                                            std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
    // One module: the program itself.
    static char self;
    return lpModuleName ? nullptr : reinterpret_cast<HMODULE>(&self);
}

HRSRC FindResourceExA(HMODULE, LPCSTR lpType, LPCSTR lpName, WORD wLanguage) {
    if (!IS_INTRESOURCE(lpName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const ResourceEntry* e = findBest(lpType, (WORD)(ULONG_PTR)lpName, wLanguage);
    if (!e) SetLastError(ERROR_FILE_NOT_FOUND);
    return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(e));
}

HRSRC FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
    return FindResourceExA(hModule, lpType, lpName, 0);
}

HGLOBAL LoadResource(HMODULE, HRSRC hResInfo) {
    if (!hResInfo) return nullptr;
    return const_cast<BYTE*>(reinterpret_cast<const ResourceEntry*>(hResInfo)->data);
}

LPVOID LockResource(HGLOBAL hResData) { return hResData; }

DWORD SizeofResource(HMODULE, HRSRC hResInfo) {
    return hResInfo ? reinterpret_cast<const ResourceEntry*>(hResInfo)->size : 0;
}

int LoadStringA(HINSTANCE, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
    if (!lpBuffer || cchBufferMax <= 0) return 0;
    const ResourceEntry* e = findBest(RT_STRING, (WORD)uID, 0);
    if (!e) {
        lpBuffer[0] = 0;
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    size_t n = std::min<size_t>(e->size, (size_t)cchBufferMax - 1);
    while (n > 0 && n < e->size && (e->data[n] & 0xC0) == 0x80) --n;  // never half a character
    std::memcpy(lpBuffer, e->data, n);
    lpBuffer[n] = 0;
    return (int)n;
}
