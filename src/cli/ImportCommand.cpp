#include "cli/Commands.h"
#include "cli/ImportUserInterface.h"
#include "cli/PreviewOutput.h"

#include "dbf/Error.h"
#include "exchange/RunSession.h"
#include "exchange/WorkingFolder.h"
#include "export/TableSetReplacement.h"
#include "import/ImportRun.h"
#include "import/TeacherKeyFile.h"

#include <iostream>

namespace pontrel::cli {

namespace {

constexpr const char* kImportUsage =
    "Uso: pontrel-cli import DOCUMENTO.xml [--workdir CARPETA] [--teacher-keys ARCHIVO.csv] [--strict]\n"
    "  ARCHIVO.csv: una l\xC3\xADnea por profesor, ABREV;X_EMPLEADO;F_TOMAPOS\n";

int usage(const std::string& problem) {
    std::cerr << problem << "\n" << kImportUsage << importStrictHelp();
    return 2;
}

void printSummary(const importing::ImportSummary& s) {
    std::cout << "Documento escrito: " << s.output.string() << "\n"
              << "Profesores: " << s.teachers << "\n"
              << "Entradas escritas: " << s.entriesWritten << "\n"
              << "Entradas sin tramo horario en DIASHORAST: " << s.slotsNotFound << "\n"
              << "Entradas sin unidad en GRUPOST: " << s.unitsNotFound << "\n"
              << "Entradas sin clave de materia: " << s.subjectsNotFound << "\n"
              << "Entradas de SOLUC cuyo profesor no est\xC3\xA1 en PROFT: " << s.entriesWithoutTeacher
              << "\n";
    printMissingKeys(s.missingKeys, std::cout);
}

} // namespace

int importCommand(const std::vector<std::string>& args) {
    std::optional<std::filesystem::path> document;
    std::optional<std::filesystem::path> workdir;
    std::optional<std::filesystem::path> keysFile;
    importing::ImportOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--workdir" || arg == "--teacher-keys") {
            if (i + 1 >= args.size())
                return usage("Falta el valor de " + arg + ".");
            (arg == "--workdir" ? workdir : keysFile) = args[++i];
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kImportUsage << importStrictHelp();
            return 0;
        } else if (arg == "--strict") {
            options.strict = true;
        } else if (arg.rfind("--", 0) == 0) {
            return usage("Opci\xC3\xB3n desconocida: " + arg);
        } else if (document) {
            return usage("Sobra el argumento: " + arg);
        } else {
            document = arg;
        }
    }
    if (!document)
        return usage("Falta el documento XML de Yedra.");

    try {
        std::optional<std::vector<importing::TeacherKeyLine>> keys;
        if (keysFile)
            keys = importing::readTeacherKeyFile(*keysFile);
        RunSession session;
        session.workingFolder = workdir ? *workdir : defaultWorkingFolder();
        // A replacement of the working tables that a killed export left half done is put right
        // before the import reads them.
        if (auto line = exporting::recoverInterruptedReplacement(session.workingFolder))
            std::cout << *line << "\n";
        ImportUserInterface ui(*document, std::move(keys), std::cout, std::cerr);
        importing::ImportRun run(session, ui, options);
        const RunOutcome outcome = run.run();
        std::ostream& shown = outcome == RunOutcome::Completed ? std::cout : std::cerr;
        for (const auto& message : ui.messages())
            shown << terminalText(message) << "\n";
        if (outcome != RunOutcome::Completed)
            return 1;
        printSummary(run.summary());
        return 0;
    } catch (const Error& error) {
        std::cerr << "Error: " << error.what() << "\n";
        return 1;
    } catch (const std::exception& error) {
        std::cerr << "Error: " << error.what() << "\n";
        return 1;
    }
}

} // namespace pontrel::cli
