#pragma once
// Dates and times as the user's regional settings write them.

#include <ctime>
#include <string>

namespace pontrel::platform {

// The local time of `when`.
std::tm localTime(std::time_t when);

// `when` in the short date format of the user's regional settings, one blank, and the time in their
// long time format (UTF-8). Where no real locale is set (C or POSIX) the Spanish form dd/mm/aaaa
// h:mm:ss is used, e.g. "10/12/2026 9:05:03".
std::string regionalDateTime(const std::tm& when);

// The current moment as regionalDateTime writes it.
std::string regionalNow();

} // namespace pontrel::platform
