#include "platform/core/paths.h"

#include <cctype>
#include <strings.h>

namespace platform {

DevicePath ParseDevicePath(const std::string& path) {
    DevicePath result;
    if (path.size() < 5 || path.compare(0, 4, "\\\\.\\") != 0) return result;
    std::string rest = path.substr(4);
    static const char kDrive[] = "PhysicalDrive";
    const size_t n = sizeof kDrive - 1;
    if (rest.size() > n && strncasecmp(rest.c_str(), kDrive, n) == 0) {
        std::string digits = rest.substr(n);
        if (digits.empty() || digits.size() > 3) return result;
        for (char c : digits)
            if (!std::isdigit(static_cast<unsigned char>(c))) return result;
        result.kind = DevicePath::PhysicalDrive;
        result.number = std::stoi(digits);
        return result;
    }
    if (rest.size() == 2 && std::isalpha(static_cast<unsigned char>(rest[0])) && rest[1] == ':') {
        result.kind = DevicePath::Volume;
        result.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(rest[0])));
    }
    return result;
}

bool ParseDosPath(const std::string& path, char* letter, std::string* rest) {
    if (path.size() < 3 || !std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' ||
        (path[2] != '\\' && path[2] != '/'))
        return false;
    *letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    std::string tail = path.substr(3);
    for (char& c : tail)
        if (c == '\\') c = '/';
    *rest = tail;
    return true;
}

}  // namespace platform
