#include "platform/Regional.h"

#include "platform/RegionalDefault.h"

#include <windows.h>

namespace pontrel::platform {

namespace {

std::string utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string out(static_cast<std::size_t>(size - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

} // namespace

std::tm localTime(std::time_t when) {
    std::tm local{};
    localtime_s(&local, &when);
    return local;
}

std::string regionalDateTime(const std::tm& when) {
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(when.tm_year + 1900);
    time.wMonth = static_cast<WORD>(when.tm_mon + 1);
    time.wDay = static_cast<WORD>(when.tm_mday);
    time.wDayOfWeek = static_cast<WORD>(when.tm_wday);
    time.wHour = static_cast<WORD>(when.tm_hour);
    time.wMinute = static_cast<WORD>(when.tm_min);
    time.wSecond = static_cast<WORD>(when.tm_sec);
    wchar_t date[128];
    wchar_t clock[128];
    if (GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 128, nullptr) == 0 ||
        GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, clock, 128) == 0)
        return detail::spanishDateTime(when);
    return utf8(date) + " " + utf8(clock);
}

} // namespace pontrel::platform
