#pragma once
// Reads a table with the independent reader (Free Pascal's TDbf, built as ${PONTREL_BIN_DIR}/dbf-read-fpc)
// so that a test can compare, value for value, what another dBase library makes of a table that
// Pontrel wrote. Use:
//
//     if (!pontrel::test::independentReaderAvailable()) GTEST_SKIP() << pontrel::test::kNoIndependentReader;
//     auto other = pontrel::test::readWithIndependentReader(path);
//     EXPECT_EQ(other.fields, ...);
//     EXPECT_EQ(other.rows[0][2], pontrel::test::independentForm(table.value(0, "NOMBRE")));
//
// Values come as the reader's tagged text, NULL (and the empty text, which TDbf reads as NULL) as
// std::nullopt; independentForm renders a value of
// Pontrel's reader the same way, so rows compare with ==. Doubles are compared exactly (both sides
// are normalised to the shortest text that reads back as the same double).

#include "dbf/Table.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace pontrel::test {

#ifdef _WIN32
inline constexpr const char* kNoIndependentReader =
    "dbf-read-fpc is a Linux program: the independent reader checks the Linux build's tables";
#else
inline constexpr const char* kNoIndependentReader =
    "dbf-read-fpc was not built (install fpc and fp-units-db with scripts/setup.sh)";
#endif

inline std::filesystem::path independentReaderPath() {
    return std::filesystem::path(PONTREL_BIN_DIR) / "dbf-read-fpc";
}

inline bool independentReaderAvailable() {
#ifdef _WIN32
    return false;
#endif
    return std::filesystem::exists(independentReaderPath());
}

struct IndependentTable {
    std::vector<std::string> fields;
    std::vector<std::vector<std::optional<std::string>>> rows;
};

namespace detail {

inline std::string shortestDouble(double d) {
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, ec == std::errc() ? end : buf);
}

inline std::string unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const char c = s[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

inline std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> parts(1);
    for (char c : line) {
        if (c == '\t')
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

// "F:0.10000000000000001" -> "F:0.1": the same double in its shortest form.
inline std::optional<std::string> normalise(const std::string& cell) {
    if (cell == "\\N")
        return std::nullopt;
    if (cell.rfind("F:", 0) == 0) {
        double d = 0;
        const char* first = cell.data() + 2;
        auto [end, ec] = std::from_chars(first, cell.data() + cell.size(), d);
        if (ec == std::errc() && end == cell.data() + cell.size())
            return "F:" + shortestDouble(d);
    }
    if (cell == "S:")
        return std::nullopt; // an empty text and NULL are the same to a dBase reader
    if (cell.rfind("S:", 0) == 0)
        return "S:" + unescape(cell.substr(2));
    return cell;
}

} // namespace detail

// Runs the reader; throws std::runtime_error with its message when it fails.
inline IndependentTable readWithIndependentReader(const std::filesystem::path& table) {
    const std::string command = "'" + independentReaderPath().string() + "' '" + table.string() + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("cannot start " + command);
    std::string output;
    std::array<char, 65536> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        output.append(buffer.data(), n);
    const int status = pclose(pipe);
    if (status != 0)
        throw std::runtime_error("dbf-read-fpc failed on " + table.string() + ": " + output);

    IndependentTable result;
    std::size_t start = 0;
    bool header = true;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        const std::string line = output.substr(start, end - start);
        start = end + 1;
        if (header) {
            for (auto& name : detail::splitTabs(line))
                result.fields.push_back(detail::unescape(name));
            header = false;
            continue;
        }
        std::vector<std::optional<std::string>> row;
        for (auto& cell : detail::splitTabs(line))
            row.push_back(detail::normalise(cell));
        result.rows.push_back(std::move(row));
    }
    return result;
}

// A value of Pontrel's reader in the independent reader's form. Text is compared as stored
// (Windows-1252 bytes), trailing blanks removed as both readers give it.
inline std::optional<std::string> independentForm(const pontrel::dbf::Value& value) {
    if (std::holds_alternative<std::monostate>(value))
        return std::nullopt;
    if (auto* s = std::get_if<std::string>(&value))
        return s->empty() ? std::nullopt : std::optional<std::string>("S:" + *s);
    if (auto* i = std::get_if<std::int64_t>(&value))
        return "I:" + std::to_string(*i);
    if (auto* d = std::get_if<double>(&value))
        return "F:" + detail::shortestDouble(*d);
    return std::get<bool>(value) ? "B:T" : "B:F";
}

// Every record of `table` in the independent reader's form, for a whole-table comparison.
inline std::vector<std::vector<std::optional<std::string>>>
independentRows(const pontrel::dbf::Table& table) {
    std::vector<std::vector<std::optional<std::string>>> rows;
    for (std::size_t r = 0; r < table.recordCount(); ++r) {
        std::vector<std::optional<std::string>> row;
        for (std::size_t f = 0; f < table.fields().size(); ++f)
            row.push_back(independentForm(table.value(r, f)));
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace pontrel::test
