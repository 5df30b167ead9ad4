#include "platform/SystemError.h"
#include "platform/SystemErrorTable.h"

#include <windows.h>

namespace pontrel::platform {

int lastError() {
    return static_cast<int>(GetLastError());
}

ErrorKind errorKind(int code) {
    switch (static_cast<DWORD>(code)) {
    case ERROR_FILE_NOT_FOUND:
        return ErrorKind::NotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return ErrorKind::NoFolder;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
        return ErrorKind::AccessDenied;
    case ERROR_WRITE_PROTECT:
        return ErrorKind::ReadOnly;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case 1295: // ERROR_DISK_QUOTA_EXCEEDED, missing from MinGW-w64 10 headers
        return ErrorKind::DiskFull;
    case ERROR_FILE_TOO_LARGE:
        return ErrorKind::TooLarge;
    case ERROR_DIRECTORY:
        return ErrorKind::IsFolder;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return ErrorKind::Exists;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return ErrorKind::InUse;
    case ERROR_FILENAME_EXCED_RANGE:
        return ErrorKind::NameTooLong;
    default:
        return ErrorKind::Other;
    }
}

} // namespace pontrel::platform
