// The program's own version information, answered from its RT_VERSION
// resource, and the path of the running program.
#include "platform/winapi.h"

#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The block GetFileVersionInfoA fills is the resource followed by a tail of
// twice its size: the 8-bit copy of the text value at offset o of the
// resource sits at tail + 2 * o, where the 3-byte worst case of UTF-8 per
// UTF-16 unit always fits. The tail opens with a mark so that a block not
// filled here is refused.
const char kTailMark[4] = {'V', 'A', '8', 0};

WORD word(const BYTE* p) { return (WORD)(p[0] | p[1] << 8); }

size_t align4(size_t n) { return (n + 3) & ~(size_t)3; }

struct Node {
    size_t start, end;           // the node, within the resource
    size_t value, valueBytes;    // its value
    size_t children;             // where its children begin
    bool text;
};

// Reads the node at start; false when it does not fit inside limit.
bool readNode(const BYTE* block, size_t start, size_t limit, Node* node, std::u16string* key) {
    if (start + 6 > limit) return false;
    size_t length = word(block + start);
    WORD valueLength = word(block + start + 2);
    WORD type = word(block + start + 4);
    if (length < 6 || start + length > limit) return false;
    size_t end = start + length;
    key->clear();
    size_t p = start + 6;
    for (;; p += 2) {
        if (p + 2 > end) return false;
        WORD c = word(block + p);
        if (!c) break;
        key->push_back((char16_t)c);
    }
    node->start = start;
    node->end = end;
    node->value = align4(p + 2);
    node->text = type == 1;
    node->valueBytes = node->text ? (size_t)valueLength * 2 : valueLength;
    if (node->value + node->valueBytes > end) {
        // Nodes without a value may end right after their key.
        if (node->valueBytes) return false;
        node->value = end;
    }
    node->children = align4(node->value + node->valueBytes);
    return true;
}

bool sameKey(const std::u16string& key, const std::string& part) {
    if (key.size() != part.size()) return false;
    for (size_t i = 0; i < key.size(); ++i) {
        char16_t a = key[i];
        char b = part[i];
        if (a >= u'A' && a <= u'Z') a = (char16_t)(a - u'A' + u'a');
        if (b >= 'A' && b <= 'Z') b = (char)(b - 'A' + 'a');
        if (a != (char16_t)(unsigned char)b) return false;
    }
    return true;
}

// UTF-16 to UTF-8; stops at the first NUL.
std::string narrow(const BYTE* p, size_t units) {
    std::string out;
    for (size_t i = 0; i < units; ++i) {
        uint32_t c = word(p + 2 * i);
        if (!c) break;
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units) {
            uint32_t d = word(p + 2 * (i + 1));
            if (d >= 0xDC00 && d < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00);
                ++i;
            }
        }
        if (c < 0x80) {
            out += (char)c;
        } else if (c < 0x800) {
            out += (char)(0xC0 | c >> 6);
            out += (char)(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += (char)(0xE0 | c >> 12);
            out += (char)(0x80 | (c >> 6 & 0x3F));
            out += (char)(0x80 | (c & 0x3F));
        } else {
            out += (char)(0xF0 | c >> 18);
            out += (char)(0x80 | (c >> 12 & 0x3F));
            out += (char)(0x80 | (c >> 6 & 0x3F));
            out += (char)(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Writes the 8-bit copies of every text value below the node into the tail.
void fillTail(BYTE* block, const Node& node, size_t size) {
    if (node.text && node.valueBytes) {
        std::string s = narrow(block + node.value, node.valueBytes / 2);
        std::memcpy(block + size + 2 * node.value, s.c_str(), s.size() + 1);
    }
    std::u16string key;
    for (size_t p = node.children; p < node.end; ) {
        Node child;
        if (!readNode(block, p, node.end, &child, &key)) return;
        fillTail(block, child, size);
        p = align4(child.end);
    }
}

// The resource compiled into the program, or nullptr after SetLastError.
const BYTE* versionResource(DWORD* size) {
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC info = FindResourceA(self, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
    if (!info) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(self, info)));
    *size = SizeofResource(self, info);
    // The block says how long it is; trust the smaller of the two.
    if (!data || *size < 6) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    if (word(data) < *size) *size = word(data);
    return data;
}

std::string modulePath() {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::string();
    return std::string(buffer, (size_t)n);
}

// Only the program's own file has version information.
bool isOwnFile(LPCSTR name) {
    if (!name || !*name) return false;
    std::string self = modulePath();
    if (self.empty()) return false;
    if (self == name) return true;
    struct stat a, b;
    return stat(self.c_str(), &a) == 0 && stat(name, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    if (hModule && hModule != GetModuleHandleA(nullptr)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    std::string path = modulePath();
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    if (!lpFilename || nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() >= nSize) {
        std::memcpy(lpFilename, path.data(), nSize - 1);
        lpFilename[nSize - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    std::memcpy(lpFilename, path.c_str(), path.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return (DWORD)path.size();
}

DWORD GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle) {
    if (lpdwHandle) *lpdwHandle = 0;
    if (!isOwnFile(lptstrFilename)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return 0;
    }
    DWORD size = 0;
    if (!versionResource(&size)) return 0;
    return 3 * size;
}

BOOL GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD, DWORD dwLen, LPVOID lpData) {
    if (!lpData || !isOwnFile(lptstrFilename)) {
        SetLastError(lpData ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD size = 0;
    const BYTE* resource = versionResource(&size);
    if (!resource) return FALSE;
    if (dwLen < 3 * size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    BYTE* block = static_cast<BYTE*>(lpData);
    std::memcpy(block, resource, size);
    std::memset(block + size, 0, 2 * (size_t)size);
    Node root;
    std::u16string key;
    if (!readNode(block, 0, size, &root, &key)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return FALSE;
    }
    fillTail(block, root, size);
    std::memcpy(block + size, kTailMark, sizeof kTailMark);
    return TRUE;
}

BOOL VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen) {
    if (!pBlock || !lpSubBlock || !lplpBuffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const BYTE* block = static_cast<const BYTE*>(pBlock);
    const size_t size = word(block);
    Node node;
    std::u16string key;
    if (!readNode(block, 0, size, &node, &key) || std::memcmp(block + size, kTailMark, sizeof kTailMark) != 0) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return FALSE;
    }
    // Walk down one key per backslash-separated part; empty parts are skipped.
    for (const char* p = lpSubBlock; *p;) {
        if (*p == '\\') {
            ++p;
            continue;
        }
        const char* q = p;
        while (*q && *q != '\\') ++q;
        std::string part(p, (size_t)(q - p));
        p = q;
        bool found = false;
        for (size_t c = node.children; c < node.end && !found;) {
            Node child;
            if (!readNode(block, c, node.end, &child, &key)) break;
            if (sameKey(key, part)) {
                node = child;
                found = true;
            }
            c = align4(child.end);
        }
        if (!found) {
            SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
            return FALSE;
        }
    }
    if (!node.valueBytes) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return FALSE;
    }
    if (node.text) {
        const char* text = reinterpret_cast<const char*>(block + size + 2 * node.value);
        *lplpBuffer = const_cast<char*>(text);
        if (puLen) *puLen = (UINT)std::strlen(text) + 1;
    } else {
        *lplpBuffer = const_cast<BYTE*>(block + node.value);
        if (puLen) *puLen = (UINT)node.valueBytes;
    }
    return TRUE;
}
