#pragma once
// The room code (AULAT.ABREV) that the export gives each room of DEPENDENCIAS: the room's Yedra key
// whenever it is present, unique (letter case ignored) and at most 10 characters long; otherwise a code
// made by the short-code rule from the key, or from the name when the key is empty. The export writes
// AULAT with it, and the import asks it which codes were made from the document's current rooms, so
// that a made-up code coming back is not taken for a room the document lacks.

#include "exchange/codes/ShortCodeRegistry.h"

#include <string>
#include <string_view>

namespace pontrel {

// AULAT's registry: no pre-cut, with shortening, letter case ignored.
ShortCodeSettings roomCodeSettings();

// What the rule starts from: the key, or the first 10 characters of the name when the key is empty.
std::string roomCodeCandidate(std::string_view key, std::string_view name);

} // namespace pontrel
