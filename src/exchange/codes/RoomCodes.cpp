#include "exchange/codes/RoomCodes.h"

namespace pontrel {

ShortCodeSettings roomCodeSettings() {
    return ShortCodeSettings{.preCut = false, .shortening = true, .ignoreCase = true};
}

std::string roomCodeCandidate(std::string_view key, std::string_view name) {
    return std::string(key.empty() ? name.substr(0, 10) : key);
}

} // namespace pontrel
