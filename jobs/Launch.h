// What both launches share.
#pragma once

#include "platform/winapi.h"

#include <string>

// The question text: the format with its one "%s" replaced by the letter.
// Only "%s" and "%%" are read, so a translated text can never be taken for
// more arguments than there are.
std::string FormatWithLetter(const char* format, const char* letter);

// The folder whose free space counts for an image path: "X:\" for a path on
// a drive letter, else the folder that will hold the file.
std::string FreeSpaceRoot(const char* imagePath);
