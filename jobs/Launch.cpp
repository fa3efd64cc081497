#include "jobs/Launch.h"

#include <cctype>
#include <cstring>

std::string FormatWithLetter(const char* format, const char* letter) {
    std::string out;
    bool used = false;
    for (const char* p = format ? format : ""; *p; ++p) {
        if (p[0] == '%' && p[1] == 's' && !used) {
            out += letter ? letter : "";
            used = true;
            ++p;
        } else if (p[0] == '%' && p[1] == '%') {
            out += '%';
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

std::string FreeSpaceRoot(const char* imagePath) {
    const std::string path = imagePath ? imagePath : "";
    if (path.size() >= 3 && std::isalpha((unsigned char)path[0]) && path[1] == ':' && (path[2] == '\\' || path[2] == '/'))
        return path.substr(0, 3);
    const size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}
