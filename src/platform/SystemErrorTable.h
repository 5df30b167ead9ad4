#pragma once
// Shared by both systems' error tables: the C library's numbers exist on Windows too, where
// std::filesystem and the C runtime report them.

#include "platform/SystemError.h"

namespace pontrel::platform::detail {

ErrorKind kindOfErrno(int code);
std::string reasonOf(ErrorKind kind, int code);

} // namespace pontrel::platform::detail
