#pragma once
// The academic year of a Yedra document: the text of the first node inside /SERVICIO/BLOQUE_DATOS,
// cut to 4 characters.

#include "exchange/yedra/YedraDocument.h"

#include <string>

namespace pontrel::importing {

// ANSI text of at most 4 characters. A document without BLOQUE_DATOS, or with nothing inside it, is
// refused with a message, before anything is written.
std::string academicYear(const YedraDocument& document);

} // namespace pontrel::importing
