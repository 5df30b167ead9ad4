#include "platform/IniFile.h"

#include <vector>

namespace pontrel::platform {
namespace {

struct Line {
    std::size_t begin = 0; // first byte of the line
    std::size_t end = 0;   // one past the last byte before the line ending
    std::size_t next = 0;  // first byte of the following line
};

std::vector<Line> splitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        Line line;
        line.begin = pos;
        if (nl == std::string_view::npos) {
            line.end = line.next = text.size();
        } else {
            line.end = (nl > pos && text[nl - 1] == '\r') ? nl - 1 : nl;
            line.next = nl + 1;
        }
        lines.push_back(line);
        pos = line.next;
    }
    return lines;
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// The INI service folds only the letters A to Z for section and key names.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// "[name]" with blanks around: the name, or nullopt-like empty view with ok=false.
bool sectionName(std::string_view line, std::string_view& name) {
    line = trimBlanks(line);
    if (line.size() < 2 || line.front() != '[')
        return false;
    std::size_t close = line.find(']');
    if (close == std::string_view::npos)
        return false;
    name = trimBlanks(line.substr(1, close - 1));
    return true;
}

bool isComment(std::string_view line) {
    line = trimBlanks(line);
    return !line.empty() && (line.front() == ';' || line.front() == '#');
}

std::string lineEndingOf(std::string_view text) {
    std::size_t nl = text.find('\n');
    if (nl == std::string_view::npos)
        return "\r\n"; // the INI service's own ending, for a file without lines yet
    return (nl > 0 && text[nl - 1] == '\r') ? "\r\n" : "\n";
}

} // namespace

std::string withIniValue(std::string_view content, std::string_view section, std::string_view key,
                         std::string_view value) {
    // A UTF-8 byte-order mark stays where it is and is no part of the first line's name.
    std::size_t bom = content.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    std::string_view body = content.substr(bom);
    const std::string eol = lineEndingOf(body);
    const std::vector<Line> lines = splitLines(body);
    auto lineText = [&](const Line& l) { return body.substr(l.begin, l.end - l.begin); };

    std::size_t sectionLine = lines.size();
    for (std::size_t i = 0; i < lines.size() && sectionLine == lines.size(); ++i) {
        std::string_view name;
        if (sectionName(lineText(lines[i]), name) && sameName(name, section))
            sectionLine = i;
    }

    std::string out(content.substr(0, bom));
    if (sectionLine == lines.size()) {
        out += body;
        if (!body.empty() && body.back() != '\n')
            out += eol;
        out += "[" + std::string(section) + "]" + eol + std::string(key) + "=" + std::string(value) + eol;
        return out;
    }

    // Inside the section: the first line that names the key wins; otherwise remember the last key line.
    std::size_t insertAfter = sectionLine;
    for (std::size_t i = sectionLine + 1; i < lines.size(); ++i) {
        std::string_view text = lineText(lines[i]);
        std::string_view ignored;
        if (sectionName(text, ignored))
            break;
        if (isComment(text))
            continue;
        std::size_t eq = text.find('=');
        if (eq == std::string_view::npos)
            continue;
        insertAfter = i;
        if (!sameName(trimBlanks(text.substr(0, eq)), key))
            continue;
        // Keep the key's spelling, the "=" and the blanks after it; replace the value up to the line end.
        std::size_t valueStart = eq + 1;
        while (valueStart < text.size() && (text[valueStart] == ' ' || text[valueStart] == '\t'))
            ++valueStart;
        out += body.substr(0, lines[i].begin + valueStart);
        out += value;
        out += body.substr(lines[i].end);
        return out;
    }

    const Line& after = lines[insertAfter];
    out += body.substr(0, after.next);
    if (after.next == after.end) // the last line of the file had no line ending
        out += eol;
    out += std::string(key) + "=" + std::string(value) + eol;
    out += body.substr(after.next);
    return out;
}

} // namespace pontrel::platform
