#include "platform/Regional.h"

#include "platform/RegionalDefault.h"

#include <cstdio>

namespace pontrel::platform::detail {

std::string spanishDateTime(const std::tm& when) {
    char text[64];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d %d:%02d:%02d", when.tm_mday, when.tm_mon + 1,
                  when.tm_year + 1900, when.tm_hour, when.tm_min, when.tm_sec);
    return text;
}

} // namespace pontrel::platform::detail

namespace pontrel::platform {

std::string regionalNow() {
    return regionalDateTime(localTime(std::time(nullptr)));
}

} // namespace pontrel::platform
