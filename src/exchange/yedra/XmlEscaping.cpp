#include "exchange/yedra/XmlEscaping.h"

#include "dbf/CodePage.h"
#include "exchange/text/Ansi.h"

#include <algorithm>

namespace pontrel::xml {

namespace {

using detail::kByteNeeds;
using detail::kEntity;

std::string_view entityOf(char c) {
    switch (c) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    default:
        return "&#13;"; // the carriage return
    }
}

// Element text escaped as libxml2's serializer escapes a text node, from text without bytes above
// 0x7F (ASCII, or UTF-8 that is passed through).
void appendEscapedText(std::string& out, std::string_view text) {
    std::size_t from = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (kByteNeeds[static_cast<unsigned char>(text[i])] != kEntity)
            continue;
        out.append(text.data() + from, i - from);
        out += entityOf(text[i]);
        from = i + 1;
    }
    out.append(text.data() + from, text.size() - from);
}

// Element text as appendEscapedText escapes it, from a Windows-1252 text written straight as
// ISO-8859-1 (see appendAnsiText).
void appendEscapedLatin1(std::string& out, std::string_view ansiText) {
    static const std::array<std::string, 32> high = [] {
        std::array<std::string, 32> forms;
        for (unsigned i = 0; i < forms.size(); ++i) {
            const char32_t code = dbf::codepage::unicodeOf(dbf::codepage::CodePage::Windows1252,
                                                           static_cast<unsigned char>(0x80 + i));
            forms[i] = code <= 0xFF ? std::string(1, static_cast<char>(code))
                                    : "&#" + std::to_string(static_cast<unsigned>(code)) + ";";
        }
        return forms;
    }();
    std::size_t from = 0;
    for (std::size_t i = 0; i < ansiText.size(); ++i) {
        const auto byte = static_cast<unsigned char>(ansiText[i]);
        const bool entity = kByteNeeds[byte] == kEntity;
        if (!entity && (byte < 0x80 || byte >= 0xA0))
            continue; // ISO-8859-1 has it at the same code
        out.append(ansiText.data() + from, i - from);
        out += entity ? entityOf(ansiText[i]) : std::string_view(high[byte - 0x80]);
        from = i + 1;
    }
    out.append(ansiText.data() + from, ansiText.size() - from);
}

} // namespace

void detail::appendAnsiTextRest(std::string& out, std::string_view ansiText, std::size_t plain,
                                TextForm form) {
    const std::string_view rest = ansiText.substr(plain);
    if (form == TextForm::Utf8 &&
        std::any_of(rest.begin(), rest.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        appendEscapedText(out, ansi::toUtf8(ansiText));
        return;
    }
    // ASCII is the same in both forms, and appendEscapedLatin1 leaves it as appendEscapedText does.
    out.append(ansiText.data(), plain);
    appendEscapedLatin1(out, rest);
}

std::size_t firstUnwritableByte(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r')
            return i;
    }
    return std::string_view::npos;
}

std::string describeUnwritableByte(std::string_view text, std::size_t position) {
    static const char digits[] = "0123456789ABCDEF";
    const auto byte = static_cast<unsigned char>(text[position]);
    std::string code = "0x";
    code += digits[byte >> 4];
    code += digits[byte & 0xF];
    return (byte == 0 ? "el carácter nulo " : "el carácter de control ") + code + " (posición " +
           std::to_string(position + 1) + ")";
}

void appendEscapedAttribute(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\n':
            out += "&#10;";
            break;
        case '\r':
            out += "&#13;";
            break;
        case '\t':
            out += "&#9;";
            break;
        default:
            out += c;
        }
    }
}

} // namespace pontrel::xml
