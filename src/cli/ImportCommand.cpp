// pontrel-cli import DOCUMENTO.xml [--workdir CARPETA] [--teacher-keys ARCHIVO.csv] [--strict]: the
// import run with the terminal user interface; the teacher data dialog's place is taken by a file of keys.

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/PreviewOutput.h"
#include "cli/TerminalUserInterface.h"

#include "dbf/Table.h"
#include "exchange/Ansi.h"
#include "exchange/RunSession.h"
#include "exchange/WorkingFolder.h"
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
    printMissingKeys(s.missingKeys, out);
}

// Where the window shows the teacher data dialog: stores the keys that the file gives, then lists the
// teachers that still lack a key (the run then stops, as after a dialog closed with keys missing).
void completeTeacherKeys(const std::filesystem::path& proftTable,
                         const std::optional<std::vector<importing::TeacherKeyLine>>& keys, std::ostream& out,
                         std::ostream& err) {
    if (keys) {
        const auto applied = importing::applyTeacherKeys(proftTable, *keys);
        out << "Claves de profesores guardadas en PROFT: " << applied.keysStored << "\n";
        for (const auto& abbreviation : applied.unknownAbbreviations)
            reportError(err, "aviso: el profesor «" + ansi::toUtf8(abbreviation) +
                                 "» del archivo de claves no está en PROFT; se ignora.");
    }
    auto proft = dbf::Table::open(proftTable, dbf::OpenMode::Shared);
    const auto incomplete = importing::incompleteTeachers(proft);
    if (incomplete.empty())
        return;
    std::string list =
        std::string("Profesores sin todos los datos en PROFT") +
        (keys ? " (el archivo de claves no los completa)" : " (use --teacher-keys ARCHIVO.csv)") + ":";
    for (const auto& teacher : incomplete)
        list += "\n  " + ansi::toUtf8(teacher.abbreviation) + "\t" + ansi::toUtf8(teacher.name) + "\tfalta " +
                importing::missingKeysText(teacher);
    reportError(err, list);
}

} // namespace

int runImportCommand(const std::vector<std::string>& args, CommandEnvironment& environment) {
    int exitCode = kExitDone;
    const auto parsed = readCommandArguments("import", args, environment, exitCode);
    if (!parsed)
        return exitCode;

    TerminalUserInterface ui(environment.in, environment.out, environment.err, environment.interactive);
    ui.setDocument(platform::pathFromUtf8(parsed->argument));
    try {
        std::optional<std::vector<importing::TeacherKeyLine>> keys;
        if (const auto keysFile = parsed->option("--teacher-keys"))
            keys = importing::readTeacherKeyFile(platform::pathFromUtf8(*keysFile));
        ui.setTeacherKeysHandler([&keys, &environment](const std::filesystem::path& proft) {
            completeTeacherKeys(proft, keys, environment.out, environment.err);
        });
        RunSession session;
        const auto workdir = parsed->option("--workdir");
        session.workingFolder = workdir ? platform::pathFromUtf8(*workdir) : defaultWorkingFolder();
        session.programFolder = environment.programFolder;
        importing::ImportOptions options;
        options.strict = parsed->given("--strict");
        importing::ImportRun run(session, ui, options);
        const RunOutcome outcome = run.run();
        ui.reportMessages(outcome == RunOutcome::Completed);
        if (outcome != RunOutcome::Completed)
            return kExitStopped;
        printSummary(run.summary(), environment.out);
        return kExitDone;
    } catch (const std::exception& error) {
        ui.reportError(error.what());
        return kExitStopped;
    }
}

} // namespace pontrel::cli
