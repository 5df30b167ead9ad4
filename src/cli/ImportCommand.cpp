// pontrel-cli import DOCUMENTO.xml [--workdir CARPETA] [--teacher-keys ARCHIVO.csv] [--strict]: the
// import run with the terminal user interface; the teacher data dialog's place is taken by a file of keys.

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/PreviewOutput.h"
#include "cli/TerminalUserInterface.h"

#include "dbf/Table.h"
#include "exchange/runs/RunSession.h"
#include "exchange/text/Ansi.h"
#include "exchange/velmora/WorkingFolder.h"
#include "import/ImportRun.h"
#include "import/TeacherKeyFile.h"
#include "import/TeacherKeys.h"
#include "platform/Utf8Path.h"

#include <optional>
#include <ostream>

namespace pontrel::cli {

namespace {

void printSummary(const importing::ImportSummary& s, std::ostream& out) {
    out << "Documento escrito: " << platform::utf8Of(s.output) << "\n"
        << "Profesores: " << s.teachers << "\n"
        << "Entradas escritas: " << s.entriesWritten << "\n"
        << "Entradas sin tramo horario en DIASHORAST: " << s.slotsNotFound << "\n"
        << "Entradas sin unidad en GRUPOST: " << s.unitsNotFound << "\n"
        << "Entradas sin clave de materia: " << s.subjectsNotFound << "\n"
        << "Entradas de SOLUC cuyo profesor no está en PROFT: " << s.entriesWithoutTeacher << "\n";
    for (const auto& table : s.uncountedRecords)
        out << "Registros que la cabecera de " << platform::utf8Of(table.table.filename())
            << " no cuenta (leídos): " << table.recordsRead - table.headerCount << " (la cabecera dice "
            << table.headerCount << ", hay " << table.recordsRead << ")\n";
    printMissingKeys(s.missingKeys, s.derivedCodes, out);
    if (s.folderNotLocked)
        out << "Carpeta de trabajo leída sin bloqueo (no se puede escribir en ella: " << *s.folderNotLocked
            << "): una exportación hecha a la vez podría haber cambiado las tablas.\n";
}

// The teachers that lack a key, one per line, after `heading`.
std::string incompleteList(const std::string& heading,
                           const std::vector<importing::IncompleteTeacher>& teachers) {
    std::string list = heading;
    for (const auto& teacher : teachers)
        list += "\n  " + ansi::toUtf8(teacher.abbreviation) + "\t" + ansi::toUtf8(teacher.name) + "\tfalta " +
                importing::missingKeysText(teacher);
    return list;
}

// Where the window shows the teacher data dialog: stores the keys that the file gives when they
// complete every teacher, otherwise stores nothing and lists the teachers that would still lack a key
// (the run then stops, as after a dialog closed with keys missing).
void completeTeacherKeys(const std::filesystem::path& proftTable,
                         const std::optional<importing::TeacherKeyFile>& keys,
                         std::optional<importing::TeacherKeysApplied>& applied, std::ostream& out,
                         std::ostream& err) {
    if (keys) {
        applied = importing::applyTeacherKeys(proftTable, *keys);
        for (int line : applied->unknownLines)
            reportError(err, "aviso: archivo de claves de profesores «" + platform::utf8Of(keys->file) +
                                 "», línea " + std::to_string(line) +
                                 ": el profesor no está en PROFT; se ignora.");
        if (!applied->stillIncomplete.empty()) {
            reportError(err,
                        incompleteList("Profesores sin todos los datos en PROFT (el archivo de claves no "
                                       "los completa; no se ha guardado ninguna clave del archivo):",
                                       applied->stillIncomplete));
            return;
        }
        out << "Claves de profesores guardadas en PROFT: " << applied->keysStored << "\n";
    }
    auto proft = dbf::Table::open(proftTable, dbf::OpenMode::Shared);
    const auto incomplete = importing::incompleteTeachers(proft);
    if (!incomplete.empty())
        reportError(
            err, incompleteList("Profesores sin todos los datos en PROFT (use --teacher-keys ARCHIVO.csv):",
                                incomplete));
}

} // namespace

int runImportCommand(const std::vector<std::string>& args, CommandEnvironment& environment) {
    int exitCode = kExitDone;
    const auto parsed = readCommandArguments("import", args, environment, exitCode);
    if (!parsed)
        return exitCode;

    TerminalUserInterface ui(environment.in, environment.out, environment.err, environment.interactive);
    ui.setDocument(platform::pathFromUtf8(parsed->argument));
    std::optional<importing::TeacherKeyFile> keys;
    std::optional<importing::TeacherKeysApplied> applied;
    std::filesystem::path proftTable;
    // A run that stops after the keys file completed PROFT takes its keys out again: status 1 means
    // that nothing changed.
    const auto withdrawKeys = [&] {
        if (!applied || applied->stored.empty())
            return;
        try {
            importing::withdrawTeacherKeys(proftTable, *applied);
            reportError(environment.err, "Las claves del archivo se han quitado de PROFT: la importación no "
                                         "ha cambiado nada.");
        } catch (const std::exception& error) {
            reportError(environment.err,
                        std::string("Las claves del archivo siguen guardadas en PROFT: no se "
                                    "han podido quitar (") +
                            error.what() + ").");
        }
    };
    try {
        if (const auto keysFile = parsed->option("--teacher-keys")) {
            keys = importing::readTeacherKeyFile(platform::pathFromUtf8(*keysFile));
            for (const auto& warning : keys->warnings)
                reportError(environment.err, "aviso: " + warning);
        }
        ui.setTeacherKeysHandler([&](const std::filesystem::path& proft) {
            proftTable = proft;
            completeTeacherKeys(proft, keys, applied, environment.out, environment.err);
        });
        const auto workdir = parsed->option("--workdir");
        RunSession session =
            startSession(workdir ? std::optional(platform::pathFromUtf8(*workdir)) : std::nullopt,
                         environment.programFolder);
        importing::ImportOptions options;
        options.strict = parsed->given("--strict");
        importing::ImportRun run(session, ui, options);
        const RunOutcome outcome = run.run();
        ui.reportMessages(outcome == RunOutcome::Completed);
        if (outcome != RunOutcome::Completed) {
            withdrawKeys();
            return kExitStopped;
        }
        printSummary(run.summary(), environment.out);
        return kExitDone;
    } catch (const std::exception& error) {
        ui.reportError(error.what());
        withdrawKeys();
        return kExitStopped;
    }
}

} // namespace pontrel::cli
