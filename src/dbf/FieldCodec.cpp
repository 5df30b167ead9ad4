#include "dbf/FieldCodec.h"

#include "dbf/Bytes.h"
#include "dbf/Messages.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace pontrel::dbf {

namespace {

constexpr std::uint32_t kSignBit32 = 0x80000000u;
constexpr std::uint64_t kSignBit64 = 0x8000000000000000ull;

std::string_view rawBytes(const FieldLayout& f, const std::uint8_t* record) {
    return {reinterpret_cast<const char*>(record + f.offset), static_cast<std::size_t>(f.info.width)};
}

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.remove_suffix(1);
    return s;
}

std::string_view trimBoth(std::string_view s) {
    s = trimRight(s);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\0'))
        s.remove_prefix(1);
    return s;
}

bool allZero(const std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] != 0)
            return false;
    return true;
}

// Numbers stored as text: "  12.50", "-3", and a leading '+' that some writers put.
std::optional<std::int64_t> parseInteger(std::string_view s) {
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    std::int64_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || s.empty())
        return std::nullopt;
    return v;
}

std::optional<double> parseDouble(std::string_view s) {
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    double v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || s.empty())
        return std::nullopt;
    return v;
}

double decodeLevel7Double(const std::uint8_t* p) {
    std::uint64_t bits = bytes::readU64BE(p);
    bits = (bits & kSignBit64) ? (bits ^ kSignBit64) : ~bits;
    return bytes::bitsToDouble(bits);
}

void encodeLevel7Double(double d, std::uint8_t* p) {
    if (d == 0.0)
        d = 0.0; // -0.0 stores as 0.0, so that both compare equal in the index
    std::uint64_t bits = bytes::doubleBits(d);
    bits = (bits & kSignBit64) ? ~bits : (bits ^ kSignBit64);
    bytes::writeU64BE(p, bits);
}

bool foxNull(const TableLayout& layout, const FieldLayout& f, const std::uint8_t* record) {
    if (f.nullBit < 0 || layout.nullFlagsField < 0)
        return false;
    const auto& flags = layout.fields[static_cast<std::size_t>(layout.nullFlagsField)];
    return (record[flags.offset + static_cast<std::size_t>(f.nullBit / 8)] >> (f.nullBit % 8)) & 1;
}

void setFoxNull(const TableLayout& layout, const FieldLayout& f, std::uint8_t* record, bool isNull) {
    if (f.nullBit < 0 || layout.nullFlagsField < 0)
        return;
    const auto& flags = layout.fields[static_cast<std::size_t>(layout.nullFlagsField)];
    std::uint8_t& b = record[flags.offset + static_cast<std::size_t>(f.nullBit / 8)];
    const auto mask = static_cast<std::uint8_t>(1u << (f.nullBit % 8));
    b = isNull ? static_cast<std::uint8_t>(b | mask) : static_cast<std::uint8_t>(b & ~mask);
}

// FoxPro date-time: Julian day number and milliseconds after midnight, both little-endian.
std::string foxDateTime(const std::uint8_t* p) {
    const auto jdn = static_cast<std::int64_t>(static_cast<std::int32_t>(bytes::readU32LE(p)));
    const auto ms = static_cast<std::int64_t>(bytes::readU32LE(p + 4));
    // Civil date from the Julian day number (Fliegel and Van Flandern).
    std::int64_t l = jdn + 68569;
    const std::int64_t n = 4 * l / 146097;
    l = l - (146097 * n + 3) / 4;
    const std::int64_t i = 4000 * (l + 1) / 1461001;
    l = l - 1461 * i / 4 + 31;
    const std::int64_t j = 80 * l / 2447;
    const std::int64_t day = l - 2447 * j / 80;
    l = j / 11;
    const std::int64_t month = j + 2 - 12 * l;
    const std::int64_t year = 100 * (n - 49) + i + l;
    char buf[128];
    const std::int64_t secs = ms / 1000;
    std::snprintf(buf, sizeof buf, "%04lld%02lld%02lld %02lld:%02lld:%02lld", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day),
                  static_cast<long long>(secs / 3600), static_cast<long long>(secs / 60 % 60),
                  static_cast<long long>(secs % 60));
    return buf;
}

[[noreturn]] void badValue(const std::string& file, const FieldLayout& f, const std::string& shownValue,
                           std::string_view why) {
    throw messages::fieldError(file, messages::printable(f.info.name),
                               "el valor «" + shownValue + "» " + std::string(why));
}

std::string showValue(const Value& v) {
    if (std::holds_alternative<std::string>(v))
        return messages::printable(std::get<std::string>(v));
    if (std::holds_alternative<std::int64_t>(v))
        return std::to_string(std::get<std::int64_t>(v));
    if (std::holds_alternative<double>(v))
        return formatDouble(std::get<double>(v));
    if (std::holds_alternative<bool>(v))
        return std::get<bool>(v) ? "verdadero" : "falso";
    return "NULL";
}

// A value as a number, for numeric fields: nullopt for NULL or blank text.
std::optional<double> numericValue(const std::string& file, const FieldLayout& f, const Value& v) {
    std::optional<double> number;
    if (!readNumber(v, number))
        badValue(file, f, showValue(v), "no es un número");
    return number;
}

std::optional<std::int64_t> integerValue(const std::string& file, const FieldLayout& f, const Value& v) {
    std::optional<std::int64_t> number;
    if (!readWholeNumber(v, number))
        badValue(file, f, showValue(v), "no es un número entero");
    return number;
}

std::string normalisedNumber(double d) {
    if (std::trunc(d) == d && std::fabs(d) < 9.2e18)
        return std::to_string(static_cast<std::int64_t>(d));
    return formatDouble(d);
}

std::string textOf(const Value& v) {
    if (auto* s = std::get_if<std::string>(&v))
        return *s;
    if (auto* i = std::get_if<std::int64_t>(&v))
        return std::to_string(*i);
    if (auto* d = std::get_if<double>(&v))
        return formatDouble(*d);
    if (auto* b = std::get_if<bool>(&v))
        return *b ? "T" : "F";
    return {};
}

enum class KeyKind { Text, Number, Logical };

KeyKind keyKind(const FieldLayout& f) {
    switch (f.info.type) {
    case 'N':
    case 'F':
    case 'I':
    case '+':
    case 'O':
    case '@':
    case 'Y':
        return KeyKind::Number;
    case 'B':
        return f.info.width == 8 ? KeyKind::Number : KeyKind::Text;
    case 'L':
        return KeyKind::Logical;
    default:
        return KeyKind::Text;
    }
}

constexpr char kNullKey[] = "\x01";

// Stored text as the engine hands it out: in ANSI, whatever the table's code page.
std::string ansiText(const TableLayout& layout, std::string_view stored) {
    std::string text(stored);
    if (layout.text.toAnsi != nullptr)
        codepage::translate(text, *layout.text.toAnsi);
    return text;
}

} // namespace

std::string formatDouble(double d) {
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
    return ec == std::errc() ? std::string(buf, end) : std::string();
}

Value decodeField(const TableLayout& layout, const FieldLayout& f, const std::uint8_t* record,
                  const FieldSite& site) {
    if (foxNull(layout, f, record))
        return std::monostate{};
    const std::uint8_t* p = record + f.offset;
    switch (f.info.type) {
    case 'C':
        return ansiText(layout, trimRight(rawBytes(f, record)));
    case 'D': {
        auto t = trimBoth(rawBytes(f, record));
        if (t.empty())
            return std::monostate{};
        return std::string(t);
    }
    case 'N':
    case 'F': {
        auto t = trimBoth(rawBytes(f, record));
        if (t.empty())
            return std::monostate{};
        if (f.info.decimals == 0)
            if (auto i = parseInteger(t))
                return *i;
        if (auto d = parseDouble(t))
            return *d;
        throw messages::fieldError(site.file, messages::printable(f.info.name),
                                   "el registro " + std::to_string(site.record + 1) + " guarda «" +
                                       messages::printable(t) + "», que no es un número");
    }
    case 'L':
        switch (p[0]) {
        case 'T':
        case 't':
        case 'Y':
        case 'y':
            return true;
        case 'F':
        case 'f':
        case 'N':
        case 'n':
            return false;
        default:
            return std::monostate{};
        }
    case 'I':
    case '+':
        if (layout.integers == IntegerStorage::Level7) {
            if (allZero(p, 4))
                return std::monostate{};
            return static_cast<std::int64_t>(static_cast<std::int32_t>(bytes::readU32BE(p) ^ kSignBit32));
        }
        return static_cast<std::int64_t>(static_cast<std::int32_t>(bytes::readU32LE(p)));
    case 'O':
    case '@':
        // '@' timestamps: sources disagree on the layout; the stored number is given as it is.
        if (allZero(p, 8))
            return std::monostate{};
        return decodeLevel7Double(p);
    case 'Y':
        return static_cast<double>(static_cast<std::int64_t>(bytes::readU64LE(p))) / 10000.0;
    case 'T':
        if (allZero(p, 8))
            return std::monostate{};
        return foxDateTime(p);
    case 'B':
        if (f.info.width == 8)
            return bytes::bitsToDouble(bytes::readU64LE(p));
        return std::string();
    case '0':
        return std::monostate{};
    default:
        // Memo fields hold a block number in the memo file; their text is not read.
        return std::string();
    }
}

std::string fieldText(const TableLayout& layout, const FieldLayout& f, const std::uint8_t* record,
                      const FieldSite& site) {
    switch (f.info.type) {
    case 'C':
        if (foxNull(layout, f, record))
            return {};
        return ansiText(layout, trimRight(rawBytes(f, record)));
    case 'N':
    case 'F':
    case 'D':
        if (foxNull(layout, f, record))
            return {};
        return std::string(trimBoth(rawBytes(f, record)));
    default:
        return textOf(decodeField(layout, f, record, site));
    }
}

void fillNullRecord(const TableLayout& layout, std::uint8_t* record) {
    record[0] = kLiveMark;
    for (const auto& f : layout.fields) {
        std::uint8_t* p = record + f.offset;
        const auto w = static_cast<std::size_t>(f.info.width);
        const bool zeroes = f.info.type == 'I' || f.info.type == '+' || f.info.type == 'O' ||
                            f.info.type == '@' || f.info.type == 'Y' || f.info.type == 'T' ||
                            f.info.type == '0' || (f.info.type == 'B' && f.info.width == 8);
        std::memset(p, zeroes ? 0 : ' ', w);
    }
    for (const auto& f : layout.fields)
        setFoxNull(layout, f, record, true);
}

void encodeField(const TableLayout& layout, const FieldLayout& f, const Value& value, std::uint8_t* record,
                 const std::string& file) {
    std::uint8_t* p = record + f.offset;
    const auto w = static_cast<std::size_t>(f.info.width);
    const bool isNull = std::holds_alternative<std::monostate>(value);
    switch (f.info.type) {
    case 'C':
    case 'D': {
        // A text goes in as it is (no copy of it is made), in the table's code page.
        const std::string* given = std::get_if<std::string>(&value);
        const std::string other = given == nullptr ? textOf(value) : std::string();
        const std::string& t = given != nullptr ? *given : other;
        const std::size_t n = std::min(t.size(), w);
        std::memcpy(p, t.data(), n);
        std::memset(p + n, ' ', w - n);
        if (layout.text.fromAnsi != nullptr)
            for (std::size_t i = 0; i < n; ++i)
                p[i] = (*layout.text.fromAnsi)[p[i]];
        setFoxNull(layout, f, record, isNull);
        return;
    }
    case 'L': {
        std::optional<bool> b;
        if (auto* v = std::get_if<bool>(&value)) {
            b = *v;
        } else if (auto* s = std::get_if<std::string>(&value)) {
            auto t = trimBoth(*s);
            if (t == "T" || t == "t" || t == "Y" || t == "y")
                b = true;
            else if (t == "F" || t == "f" || t == "N" || t == "n")
                b = false;
            else if (!t.empty())
                badValue(file, f, showValue(value), "no es verdadero ni falso");
        } else if (!isNull) {
            badValue(file, f, showValue(value), "no es verdadero ni falso");
        }
        p[0] = b ? (*b ? 'T' : 'F') : ' ';
        setFoxNull(layout, f, record, !b);
        return;
    }
    case 'I':
    case '+': {
        if (std::holds_alternative<bool>(value))
            badValue(file, f, showValue(value), "no es un número entero");
        auto i = integerValue(file, f, value);
        // Level 7 stores -2147483648 as four zero bytes, which mean NULL: the range stops one short.
        const std::int64_t lowest = layout.integers == IntegerStorage::Level7
                                        ? std::numeric_limits<std::int32_t>::min() + 1LL
                                        : std::numeric_limits<std::int32_t>::min();
        if (i && (*i < lowest || *i > std::numeric_limits<std::int32_t>::max()))
            badValue(file, f, showValue(value),
                     "no cabe en un campo entero (de " + std::to_string(lowest) + " a 2147483647)");
        if (!i)
            std::memset(p, 0, 4);
        else if (layout.integers == IntegerStorage::Level7)
            bytes::writeU32BE(p, static_cast<std::uint32_t>(static_cast<std::int32_t>(*i)) ^ kSignBit32);
        else
            bytes::writeU32LE(p, static_cast<std::uint32_t>(static_cast<std::int32_t>(*i)));
        setFoxNull(layout, f, record, !i);
        return;
    }
    case 'O': {
        if (std::holds_alternative<bool>(value))
            badValue(file, f, showValue(value), "no es un número");
        auto d = numericValue(file, f, value);
        if (!d)
            std::memset(p, 0, 8);
        else
            encodeLevel7Double(*d, p);
        return;
    }
    case 'N':
    case 'F': {
        if (std::holds_alternative<bool>(value))
            badValue(file, f, showValue(value), "no es un número");
        auto d = numericValue(file, f, value);
        std::memset(p, ' ', w);
        if (d) {
            char buf[400];
            auto [end, ec] =
                std::to_chars(buf, buf + sizeof buf, *d, std::chars_format::fixed, f.info.decimals);
            const auto n = static_cast<std::size_t>(end - buf);
            if (ec != std::errc() || n > w)
                badValue(file, f, showValue(value),
                         "no cabe en la anchura del campo (" + std::to_string(w) + ")");
            std::memcpy(p + (w - n), buf, n);
        }
        setFoxNull(layout, f, record, !d);
        return;
    }
    default:
        throw messages::fieldError(file, messages::printable(f.info.name),
                                   std::string("este motor no escribe campos de tipo «") + f.info.type + "»");
    }
}

std::string lookupKey(const TableLayout& layout, const FieldLayout& f, const std::uint8_t* record,
                      const FieldSite& site) {
    switch (keyKind(f)) {
    case KeyKind::Text:
        return "T" + fieldText(layout, f, record, site);
    case KeyKind::Logical: {
        Value v = decodeField(layout, f, record, site);
        if (auto* b = std::get_if<bool>(&v))
            return *b ? "1" : "0";
        return kNullKey;
    }
    case KeyKind::Number: {
        Value v = decodeField(layout, f, record, site);
        if (auto* i = std::get_if<std::int64_t>(&v))
            return "#" + std::to_string(*i);
        if (auto* d = std::get_if<double>(&v))
            return "#" + normalisedNumber(*d);
        return kNullKey;
    }
    }
    return kNullKey;
}

std::optional<std::string> queryKey(const FieldLayout& f, const Value& value) {
    switch (keyKind(f)) {
    case KeyKind::Text: {
        std::string t = textOf(value);
        while (!t.empty() && t.back() == ' ')
            t.pop_back();
        return "T" + t;
    }
    case KeyKind::Logical:
        if (auto* b = std::get_if<bool>(&value))
            return *b ? "1" : "0";
        if (std::holds_alternative<std::monostate>(value))
            return kNullKey;
        if (auto* s = std::get_if<std::string>(&value)) {
            auto t = trimBoth(*s);
            if (t.empty())
                return kNullKey;
            if (t == "T" || t == "t" || t == "Y" || t == "y")
                return "1";
            if (t == "F" || t == "f" || t == "N" || t == "n")
                return "0";
        }
        return std::nullopt;
    case KeyKind::Number:
        if (std::holds_alternative<std::monostate>(value))
            return kNullKey;
        if (auto* i = std::get_if<std::int64_t>(&value))
            return "#" + std::to_string(*i);
        if (auto* d = std::get_if<double>(&value))
            return "#" + normalisedNumber(*d);
        if (auto* s = std::get_if<std::string>(&value)) {
            auto t = trimBoth(*s);
            if (t.empty())
                return kNullKey;
            if (auto i = parseInteger(t))
                return "#" + std::to_string(*i);
            if (auto d = parseDouble(t))
                return "#" + normalisedNumber(*d);
        }
        return std::nullopt;
    }
    return std::nullopt;
}

bool readNumber(const Value& v, std::optional<double>& number) {
    std::optional<double> read;
    if (auto* i = std::get_if<std::int64_t>(&v))
        read = static_cast<double>(*i);
    else if (auto* d = std::get_if<double>(&v))
        read = *d;
    else if (auto* s = std::get_if<std::string>(&v)) {
        const auto t = trimBoth(*s);
        if (!t.empty() && !(read = parseDouble(t)))
            return false;
    } else if (!std::holds_alternative<std::monostate>(v))
        return false;
    number = read;
    return true;
}

bool readWholeNumber(const Value& v, std::optional<std::int64_t>& number) {
    std::optional<std::int64_t> read;
    if (auto* i = std::get_if<std::int64_t>(&v)) {
        read = *i;
    } else if (auto* s = std::get_if<std::string>(&v)) {
        // Text must write a whole number itself: "12.0" is no whole number.
        const auto t = trimBoth(*s);
        if (!t.empty() && !(read = parseInteger(t)))
            return false;
    } else {
        std::optional<double> d;
        if (!readNumber(v, d) || (d && (std::trunc(*d) != *d || std::fabs(*d) >= 9.2e18)))
            return false;
        if (d)
            read = static_cast<std::int64_t>(*d);
    }
    number = read;
    return true;
}

} // namespace pontrel::dbf
