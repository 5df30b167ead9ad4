#include "platform/SystemError.h"
#include "platform/SystemErrorTable.h"

#include <cerrno>

namespace pontrel::platform {

int lastError() {
    return errno;
}

ErrorKind errorKind(int code) {
    return detail::kindOfErrno(code);
}

} // namespace pontrel::platform
