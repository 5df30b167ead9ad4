#include "import/SolucEntry.h"

#include "dbf/Error.h"
#include "exchange/Ansi.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace pontrel::importing {

namespace {

[[noreturn]] void notWholeNumber(const dbf::Table& soluc, std::size_t record, std::string_view field,
                                 const std::string& shown) {
    throw Error("La tabla SOLUC (\xC2\xAB" + soluc.path().string() + "\xC2\xBB), registro " +
                std::to_string(record + 1) + ": el campo " + std::string(field) + " vale \xC2\xAB" + shown +
                "\xC2\xBB, que no es un n\xC3\xBAmero entero. No se ha escrito nada.");
}

} // namespace

std::int64_t solucWholeNumber(const dbf::Table& soluc, std::size_t record, std::string_view field) {
    const dbf::Value value = soluc.value(record, field);
    if (std::holds_alternative<std::monostate>(value))
        return 0;
    if (const auto* whole = std::get_if<std::int64_t>(&value))
        return *whole;
    if (const auto* real = std::get_if<double>(&value)) {
        if (std::isfinite(*real) && std::floor(*real) == *real && std::fabs(*real) < 9.0e15)
            return static_cast<std::int64_t>(*real);
        // Shown as the table gives it (2.5, not 2.500000).
        notWholeNumber(soluc, record, field, ansi::toUtf8(soluc.text(record, field)));
    }
    if (const auto* text = std::get_if<std::string>(&value)) {
        const std::string_view digits = ansi::trimControls(*text);
        if (digits.empty())
            return 0;
        std::int64_t parsed = 0;
        // One sign at most: from_chars takes a minus, so a plus is taken off only before a digit.
        const bool plus = digits.front() == '+';
        std::string_view rest = plus ? digits.substr(1) : digits;
        const bool signOk = !plus || (!rest.empty() && rest.front() != '-');
        const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), parsed);
        if (signOk && error == std::errc() && end == rest.data() + rest.size() && !rest.empty())
            return parsed;
        notWholeNumber(soluc, record, field, ansi::toUtf8(*text));
    }
    notWholeNumber(soluc, record, field, *std::get_if<bool>(&value) ? "verdadero" : "falso");
}

SolucEntry readSolucEntry(const dbf::Table& soluc, std::size_t record) {
    SolucEntry entry;
    entry.record = record;
    entry.day = solucWholeNumber(soluc, record, "DIA");
    entry.hour = solucWholeNumber(soluc, record, "HORA");
    entry.frame = soluc.text(record, "MARCO");
    entry.subject = soluc.text(record, "ASIG");
    entry.unit = soluc.text(record, "CODGRUPO");
    entry.task = soluc.text(record, "TAREA");
    entry.room = soluc.text(record, "AULA");
    return entry;
}

} // namespace pontrel::importing
