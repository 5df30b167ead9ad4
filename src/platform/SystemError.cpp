#include "platform/SystemError.h"

#include "platform/SystemErrorTable.h"

#include <cerrno>

namespace pontrel::platform {

namespace detail {

ErrorKind kindOfErrno(int code) {
    switch (code) {
    case ENOENT:
        return ErrorKind::NotFound;
    case ENOTDIR:
        return ErrorKind::NoFolder;
    case EACCES:
    case EPERM:
        return ErrorKind::AccessDenied;
    case EROFS:
        return ErrorKind::ReadOnly;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return ErrorKind::DiskFull;
    case EFBIG:
        return ErrorKind::TooLarge;
    case EISDIR:
        return ErrorKind::IsFolder;
    case EEXIST:
        return ErrorKind::Exists;
    case EAGAIN:
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
        return ErrorKind::InUse;
    case ENAMETOOLONG:
        return ErrorKind::NameTooLong;
    default:
        return ErrorKind::Other;
    }
}

std::string reasonOf(ErrorKind kind, int code) {
    switch (kind) {
    case ErrorKind::NotFound:
        return "no existe";
    case ErrorKind::NoFolder:
        return "la carpeta no existe";
    case ErrorKind::AccessDenied:
        return "no hay permiso de acceso";
    case ErrorKind::ReadOnly:
        return "el disco es de solo lectura";
    case ErrorKind::DiskFull:
        return "el disco está lleno";
    case ErrorKind::TooLarge:
        return "el archivo supera el tamaño que admite el disco";
    case ErrorKind::IsFolder:
        return "es una carpeta, no un archivo";
    case ErrorKind::Exists:
        return "el archivo ya existe";
    case ErrorKind::InUse:
        return "está abierto en otro programa";
    case ErrorKind::NameTooLong:
        return "el nombre es demasiado largo";
    case ErrorKind::Other:
        break;
    }
    return "error del sistema " + std::to_string(code);
}

} // namespace detail

std::string errorReason(int code) {
    return detail::reasonOf(errorKind(code), code);
}

std::string errorReason(const std::error_code& code) {
    if (code.category() == std::generic_category())
        return detail::reasonOf(detail::kindOfErrno(code.value()), code.value());
    return errorReason(code.value());
}

} // namespace pontrel::platform
