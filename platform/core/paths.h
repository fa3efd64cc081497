// How the Windows-shaped paths of the program are read.
#pragma once

#include <string>

namespace platform {

struct DevicePath {
    enum Kind { None, PhysicalDrive, Volume } kind = None;
    int number = -1;  // PhysicalDrive: the drive number
    char letter = 0;  // Volume: upper-case drive letter
};

// "\\.\PhysicalDriveN" (N decimal) or "\\.\X:"; anything else is None.
DevicePath ParseDevicePath(const std::string& path);

// "X:\a\b" (either slash) gives 'X' and "a/b"; false for anything else.
bool ParseDosPath(const std::string& path, char* letter, std::string* rest);

}  // namespace platform
