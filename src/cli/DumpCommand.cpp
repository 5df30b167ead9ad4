// pontrel-cli dump TABLA.DBF: any table the engine can read, as CSV in UTF-8 on standard output.
// A header line of field names, then one line per live record; values as the engine gives them
// (text without its trailing blanks, numbers in their shortest exact form, Booleans as T and F),
// NULL as an empty value.

#include "cli/CommandLine.h"
#include "cli/Commands.h"

#include "dbf/Error.h"
#include "dbf/Table.h"
#include "exchange/text/Ansi.h"
#include "exchange/text/Csv.h"
#include "platform/Utf8Path.h"

#include <charconv>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <variant>

namespace pontrel::cli {

namespace {

std::string shortestForm(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// The engine hands text out in ANSI (Windows-1252) whatever code page the table declares.
std::string csvText(const dbf::Value& value) {
    struct Visitor {
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(const std::string& text) const { return ansi::toUtf8(text); }
        std::string operator()(std::int64_t number) const { return std::to_string(number); }
        std::string operator()(double number) const { return shortestForm(number); }
        std::string operator()(bool flag) const { return flag ? "T" : "F"; }
    };
    return std::visit(Visitor{}, value);
}

void dumpTable(const std::filesystem::path& file, std::ostream& out, std::ostream& err) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        throw Error("No existe el archivo «" + platform::utf8Of(file) + "».");
    if (std::filesystem::is_directory(file, ec))
        throw Error("«" + platform::utf8Of(file) + "» es una carpeta, no una tabla.");

    dbf::Table table = dbf::Table::open(file, dbf::OpenMode::Shared, dbf::Access::ReadOnly);
    const auto& fields = table.fields();

    // Everything is read before anything is printed, so that a table that fails half-way through
    // leaves no partial CSV behind.
    std::string csv;
    for (std::size_t f = 0; f < fields.size(); ++f) {
        if (f > 0)
            csv += ',';
        appendCsvField(csv, ansi::toUtf8(fields[f].name));
    }
    csv += '\n';
    const std::size_t records = table.recordCount();
    for (std::size_t r = 0; r < records; ++r) {
        for (std::size_t f = 0; f < fields.size(); ++f) {
            if (f > 0)
                csv += ',';
            appendCsvField(csv, csvText(table.value(r, f)));
        }
        csv += '\n';
    }
    // Records that the header does not count are read like the others, and the reader is told.
    if (const std::size_t beyond = table.recordsBeyondHeaderCount(); beyond > 0)
        reportError(err, "aviso: la tabla «" + platform::utf8Of(file) + "» guarda " +
                             std::to_string(table.headerRecordCount() + beyond) +
                             " registros, pero su cabecera solo cuenta " +
                             std::to_string(table.headerRecordCount()) + "; se muestran todos.");
    table.close();
    out << csv;
    out.flush();
}

} // namespace

int runDumpCommand(const std::vector<std::string>& args, CommandEnvironment& environment) {
    int exitCode = kExitDone;
    const auto parsed = readCommandArguments("dump", args, environment, exitCode);
    if (!parsed)
        return exitCode;
    try {
        dumpTable(platform::pathFromUtf8(parsed->argument), environment.out, environment.err);
        return kExitDone;
    } catch (const Error& e) {
        reportError(environment.err, e.what());
    } catch (const std::exception& e) {
        reportError(environment.err, "No se puede leer la tabla «" + parsed->argument + "»: " + e.what());
    }
    return kExitStopped;
}

} // namespace pontrel::cli
