#pragma once
// CSV as Pontrel writes it (the table dump and the report of codes): RFC 4180 quoting, where only a
// value holding a comma, a quote or a line break is quoted.

#include <string>
#include <string_view>

namespace pontrel {

inline void appendCsvField(std::string& line, std::string_view utf8) {
    if (utf8.find_first_of(",\"\r\n") == std::string_view::npos) {
        line += utf8;
        return;
    }
    line += '"';
    for (char c : utf8) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

} // namespace pontrel
