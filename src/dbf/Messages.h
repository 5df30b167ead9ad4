#pragma once
// The engine's error texts: Spanish, naming the file (and the record, field and value where there
// is one), so that the person reading them knows what to act on.

#include "dbf/Error.h"

#include <string>
#include <string_view>

namespace pontrel::dbf::messages {

// "La tabla «FILE» está dañada: DETAIL."
inline Error damaged(const std::string& file, std::string_view detail) {
    return Error("La tabla «" + file + "» está dañada o no es una tabla dBase: " + std::string(detail) + ".");
}

inline Error tableError(const std::string& file, std::string_view detail) {
    return Error("Tabla «" + file + "»: " + std::string(detail) + ".");
}

inline Error fieldError(const std::string& file, std::string_view field, std::string_view detail) {
    return Error("Tabla «" + file + "», campo «" + std::string(field) + "»: " + std::string(detail) + ".");
}

// Field names and text are ANSI (Windows-1252) once the engine hands them out; error texts are
// UTF-8. Bytes above 0x7F are shown as their characters, so that a name like AÑO stays readable;
// control characters as '?'.
std::string printable(std::string_view ansi);

} // namespace pontrel::dbf::messages
