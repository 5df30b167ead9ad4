#pragma once

#include <ctime>
#include <string>

namespace pontrel::platform::detail {

// dd/mm/aaaa h:mm:ss, the form of Spain's regional settings.
std::string spanishDateTime(const std::tm& when);

} // namespace pontrel::platform::detail
