#pragma once
// CSV as Pontrel writes it. The table dump (for programs) uses RFC 4180 quoting, where only a value
// holding a comma, a quote or a line break is quoted. The report of codes is read in a spreadsheet:
// see appendSpreadsheetField.

#include <string>
#include <string_view>

namespace pontrel {

// `value` quoted when it holds `separator`, a quote or a line break, its quotes doubled.
inline void appendQuotedField(std::string& line, std::string_view value, char separator) {
    if (value.find_first_of(std::string{separator, '"', '\r', '\n'}) == std::string_view::npos) {
        line += value;
        return;
    }
    line += '"';
    for (char c : value) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

inline void appendCsvField(std::string& line, std::string_view utf8) {
    appendQuotedField(line, utf8, ',');
}

// A cell that a spreadsheet would take for a formula (it begins with =, +, - or @, or with a tab or a
// carriage return that some spreadsheets skip before one) gets an apostrophe in front, so that a key
// such as =HYPERLINK("…") is shown as the text it is and never run.
inline void appendSpreadsheetField(std::string& line, std::string_view utf8, char separator) {
    if (!utf8.empty() && std::string_view("=+-@\t\r").find(utf8.front()) != std::string_view::npos)
        appendQuotedField(line, "'" + std::string(utf8), separator);
    else
        appendQuotedField(line, utf8, separator);
}

} // namespace pontrel
