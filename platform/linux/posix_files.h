// Regular files and folders of the host, as both backends serve them to the
// program's image-file calls.
#pragma once

#include "platform/backend.h"

#include <string>

namespace platform::posix {

DWORD ErrorFromErrno(int error);

// Opens or creates a regular file. Share mode 0 is an exclusive claim on the
// file; anything that is not a regular file (a device node, FIFO, socket or
// folder) is refused, so card data can never land on a disk through a file
// name.
std::shared_ptr<FileObject> OpenRegularFile(const std::string& hostPath, DWORD access, DWORD share,
                                            DWORD creation);
bool DeleteRegularFile(const std::string& hostPath);
bool Attributes(const std::string& hostPath, WIN32_FILE_ATTRIBUTE_DATA* data);
// The pattern's last component may hold * and ?.
std::shared_ptr<FindObject> FindFirst(const std::string& hostPattern, WIN32_FIND_DATAA* data);
bool FreeSpace(const std::string& hostFolder, ULONGLONG* callerFree, ULONGLONG* total, ULONGLONG* totalFree);

// The folder that holds a path: the folder itself for "a/b/", "." for a
// bare name.
std::string ParentFolder(const std::string& hostPath);

}  // namespace platform::posix
