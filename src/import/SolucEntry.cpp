#include "import/SolucEntry.h"

#include "dbf/Error.h"
#include "exchange/text/Ansi.h"
#include "import/DocumentText.h"
#include "platform/Utf8Path.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace pontrel::importing {

namespace {

[[noreturn]] void notWholeNumber(const dbf::Table& soluc, std::size_t record, std::string_view field,
                                 const std::string& shown) {
    throw Error("La tabla SOLUC («" + platform::utf8Of(soluc.path()) + "»), registro " +
                std::to_string(record + 1) + ": el campo " + std::string(field) + " vale «" + shown +
                "», que no es un número entero. No se ha escrito nada.");
}

// The conversion, with the value already read; `field` names the field in the message.
std::int64_t wholeNumber(const dbf::Table& soluc, std::size_t record, const dbf::Value& value,
                         std::string_view field) {
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

} // namespace

std::int64_t solucWholeNumber(const dbf::Table& soluc, std::size_t record, std::string_view field) {
    return wholeNumber(soluc, record, soluc.value(record, field), field);
}

std::int64_t solucWholeNumber(const dbf::Table& soluc, std::size_t record, const FieldRef& field) {
    return wholeNumber(soluc, record, soluc.value(record, field()), field.name());
}

SolucEntry readSolucEntry(const dbf::Table& soluc, std::size_t record) {
    return readSolucEntry(soluc, SolucFields(soluc), record);
}

SolucEntry readSolucEntry(const dbf::Table& soluc, const SolucFields& fields, std::size_t record) {
    SolucEntry entry;
    entry.record = record;
    entry.day = solucWholeNumber(soluc, record, fields.day);
    entry.hour = solucWholeNumber(soluc, record, fields.hour);
    entry.frame = soluc.text(record, fields.frame());
    entry.subject = soluc.text(record, fields.subject());
    entry.unit = soluc.text(record, fields.unit());
    // TAREA and AULA go into the document as they are.
    entry.task = documentText(soluc, record, fields.task);
    entry.room = documentText(soluc, record, fields.room);
    return entry;
}

} // namespace pontrel::importing
