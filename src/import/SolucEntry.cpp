#include "import/SolucEntry.h"

#include "dbf/Error.h"
#include "exchange/Ansi.h"
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

std::string text(const dbf::Table& soluc, std::size_t record, std::optional<std::size_t> position,
                 std::string_view field) {
    return position ? soluc.text(record, *position) : soluc.text(record, field);
}

} // namespace

std::int64_t solucWholeNumber(const dbf::Table& soluc, std::size_t record, std::string_view field) {
    return solucWholeNumber(soluc, record, std::nullopt, field);
}

std::int64_t solucWholeNumber(const dbf::Table& soluc, std::size_t record,
                              std::optional<std::size_t> position, std::string_view field) {
    const dbf::Value value = position ? soluc.value(record, *position) : soluc.value(record, field);
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

SolucFields::SolucFields(const dbf::Table& soluc)
    : day(soluc.fieldIndex("DIA")), hour(soluc.fieldIndex("HORA")), frame(soluc.fieldIndex("MARCO")),
      subject(soluc.fieldIndex("ASIG")), unit(soluc.fieldIndex("CODGRUPO")), task(soluc.fieldIndex("TAREA")),
      room(soluc.fieldIndex("AULA")) {}

SolucEntry readSolucEntry(const dbf::Table& soluc, std::size_t record) {
    return readSolucEntry(soluc, SolucFields(soluc), record);
}

SolucEntry readSolucEntry(const dbf::Table& soluc, const SolucFields& fields, std::size_t record) {
    SolucEntry entry;
    entry.record = record;
    entry.day = solucWholeNumber(soluc, record, fields.day, "DIA");
    entry.hour = solucWholeNumber(soluc, record, fields.hour, "HORA");
    entry.frame = text(soluc, record, fields.frame, "MARCO");
    entry.subject = text(soluc, record, fields.subject, "ASIG");
    entry.unit = text(soluc, record, fields.unit, "CODGRUPO");
    // TAREA and AULA go into the document as they are.
    entry.task = fields.task ? documentText(soluc, record, *fields.task, "TAREA")
                             : documentText(soluc, record, "TAREA");
    entry.room =
        fields.room ? documentText(soluc, record, *fields.room, "AULA") : documentText(soluc, record, "AULA");
    return entry;
}

} // namespace pontrel::importing
