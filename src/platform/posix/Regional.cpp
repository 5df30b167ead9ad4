#include "platform/Regional.h"

#include "platform/RegionalDefault.h"

#include <cstdlib>
#include <langinfo.h>
#include <locale.h>
#include <string_view>

namespace pontrel::platform {

namespace {

// The locale that names the time formats, looked up as the C library does: LC_ALL, LC_TIME, LANG.
std::string timeLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"})
        if (const char* value = std::getenv(variable); value != nullptr && *value != '\0')
            return value;
    return "C";
}

bool isPlainCLocale(std::string_view name) {
    return name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

// The regional formats may carry a time-zone part (%Z, %z) that the Windows long time format has
// not: drop it together with the blank before it.
std::string withoutTimeZone(std::string format) {
    for (const char* zone : {"%Z", "%z"}) {
        for (auto at = format.find(zone); at != std::string::npos; at = format.find(zone)) {
            auto from = at;
            while (from > 0 && format[from - 1] == ' ')
                --from;
            format.erase(from, at + 2 - from);
        }
    }
    return format;
}

std::string format(locale_t locale, const std::tm& when, nl_item item) {
    const std::string pattern = withoutTimeZone(nl_langinfo_l(item, locale));
    char buffer[128];
    const std::size_t n = strftime_l(buffer, sizeof buffer, pattern.c_str(), &when, locale);
    return std::string(buffer, n);
}

// Month and AM/PM names of a Latin-1 locale.
std::string latin1ToUtf8(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace

std::tm localTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return local;
}

std::string regionalDateTime(const std::tm& when) {
    const std::string name = timeLocaleName();
    if (isPlainCLocale(name))
        return detail::spanishDateTime(when);
    // The user's settings without touching the process-wide locale; one that is not installed counts
    // as none.
    locale_t locale = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (!locale)
        return detail::spanishDateTime(when);
    std::string stamp = format(locale, when, D_FMT) + " " + format(locale, when, T_FMT);
    const std::string codeset = nl_langinfo_l(CODESET, locale);
    freelocale(locale);
    if (codeset != "UTF-8" && codeset != "utf8")
        stamp = latin1ToUtf8(stamp);
    return stamp;
}

} // namespace pontrel::platform
