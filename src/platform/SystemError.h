#pragma once
// The system's error numbers (errno on POSIX, GetLastError() on Windows) turned into one Spanish
// reason for the user. No system text ever reaches a message: it would be English on most machines.

#include <string>
#include <system_error>

namespace pontrel::platform {

// The calling thread's last system error: errno on POSIX, GetLastError() on Windows.
int lastError();

// What kind of failure a system error is, whatever system reported it.
enum class ErrorKind {
    NotFound, // the file does not exist
    NoFolder, // a folder on the way does not exist
    AccessDenied,
    ReadOnly, // the disk or the file is read-only
    DiskFull,
    TooLarge, // larger than the disk's file system admits
    IsFolder,
    Exists,
    InUse, // another program has the file open or locked
    NameTooLong,
    Other,
};

// The kind of a native error code (errno on POSIX, a Windows error code on Windows).
ErrorKind errorKind(int code);

// One Spanish reason without final stop, e.g. "el disco es de solo lectura", ready to follow a colon
// or to stand in brackets. Codes without a reason of their own give "error del sistema N".
std::string errorReason(int code);

// The same for an error of std::filesystem, which may carry a C library number or a native code.
std::string errorReason(const std::error_code& code);

} // namespace pontrel::platform
