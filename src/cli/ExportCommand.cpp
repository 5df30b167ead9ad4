#include "cli/ExportCommand.h"

#include "cli/Commands.h"
#include "cli/TerminalUserInterface.h"

#include "dbf/Error.h"
#include "dbf/Table.h"
#include "exchange/WorkingFolder.h"
#include "exchange/YedraDocument.h"
#include "export/ExportRun.h"
#include "export/TableSetReplacement.h"
#include "platform/Folders.h"

#include <iomanip>
#include <iostream>
#include <optional>

namespace pontrel::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kExportUsage = "Uso: pontrel-cli export DOCUMENTO.xml [--workdir CARPETA] "
                                     "[--level-table ARCHIVO] [--frames COD[,COD...]]\n";

struct ExportArguments {
    fs::path document;
    std::optional<fs::path> workdir;
    std::optional<fs::path> levelTable;
    std::optional<std::string> frames;
    bool help = false;
};

// The arguments as the command line gives them; nullopt after a usage error has been printed.
std::optional<ExportArguments> parse(const std::vector<std::string>& args, std::ostream& err) {
    ExportArguments parsed;
    bool haveDocument = false;
    const auto usageError = [&](const std::string& what) {
        err << what << '\n' << kExportUsage;
        return std::nullopt;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0 || arg == "--") {
            if (haveDocument)
                return usageError("Sobra el argumento: " + arg);
            parsed.document = arg;
            haveDocument = true;
            continue;
        }
        std::string name = arg, value;
        const auto equals = arg.find('=');
        if (equals != std::string::npos)
            name = arg.substr(0, equals);
        if (name != "--workdir" && name != "--level-table" && name != "--frames")
            return usageError("Opción desconocida: " + name);
        if (equals != std::string::npos)
            value = arg.substr(equals + 1);
        else if (i + 1 < args.size())
            value = args[++i];
        else
            return usageError("Falta el valor de la opción " + arg + ".");
        if (name == "--workdir" || name == "--level-table") {
            auto& slot = name == "--workdir" ? parsed.workdir : parsed.levelTable;
            if (slot)
                return usageError("La opción " + name + " se ha dado dos veces.");
            if (value.empty())
                return usageError("La opción " + name + " necesita una ruta.");
            slot = fs::path(value);
        } else {
            if (parsed.frames)
                return usageError("La opción --frames se ha dado dos veces.");
            parsed.frames = value;
        }
    }
    if (!haveDocument && !parsed.help)
        return usageError("Falta el documento de Yedra que se va a exportar.");
    return parsed;
}

// Each table the run wrote, with its record count.
void listTables(const fs::path& folder, std::ostream& out) {
    out << "Tablas escritas en " << folder.string() << ":\n";
    for (const auto& table : exporting::exportedTables()) {
        const auto file = findTableFile(folder, table + ".DBF");
        if (!file)
            continue;
        out << "  " << std::left << std::setw(16) << (table + ".DBF") << std::right;
        try {
            const auto count = dbf::Table::open(*file, dbf::OpenMode::Shared).recordCount();
            out << std::setw(6) << count << (count == 1 ? " registro\n" : " registros\n");
        } catch (const std::exception& error) {
            // The run has completed; a table that cannot be read back now is only worth a line.
            out << " (no se puede leer: " << error.what() << ")\n";
        }
    }
    if (findTableFile(folder, "DIASHORAST2.MDX"))
        out << "  DIASHORAST2.MDX  (índice ORDEN)\n";
}

// The frame choice, made before the run starts so that a choice the command line cannot make stops
// before any table is touched, and a terminal is asked before the steps begin. The run's own checks
// keep their place and their messages: the frame list is read only when the run will get as far as
// the steps.
void prepareFrameChoice(const RunSession& session, TerminalUserInterface& ui) {
    const auto document = ui.chooseDocument();
    std::error_code ec;
    if (!document || !fs::is_regular_file(*document, ec) || !exporting::findLevelTable(session) ||
        !fs::is_directory(session.workingFolder, ec))
        return;
    // A document that does not load stops here with the same error the run would give.
    ui.prepareFrameChoice(YedraDocument::loadOutline(*document, {"JORNADAS_ESCOLARES"}), *document);
}

} // namespace

fs::path executableFolder() {
    if (fs::path folder = platform::programFolder(); !folder.empty())
        return folder;
    std::error_code ec;
    return fs::current_path(ec);
}

int runExportCommand(const std::vector<std::string>& args, CommandEnvironment& environment) {
    const auto parsed = parse(args, environment.err);
    if (!parsed)
        return 2;
    if (parsed->help) {
        environment.out << kExportUsage;
        return 0;
    }

    RunSession session;
    session.workingFolder = parsed->workdir ? *parsed->workdir : defaultWorkingFolder();
    session.programFolder = environment.programFolder;
    if (parsed->levelTable)
        session.levelTable = *parsed->levelTable;

    TerminalUserInterface ui(environment.in, environment.out, environment.err, environment.interactive);
    ui.setDocument(parsed->document);
    if (parsed->frames)
        ui.setFrameCodes(splitCodes(*parsed->frames));

    try {
        // A replacement that a killed Pontrel left half done is put right before anything else.
        if (auto line = exporting::recoverInterruptedReplacement(session.workingFolder))
            environment.out << *line << '\n';
        prepareFrameChoice(session, ui);
        const RunOutcome outcome = exporting::ExportRun(session, ui).run();
        if (outcome != RunOutcome::Completed)
            return 1;
        listTables(session.workingFolder, environment.out);
        return 0;
    } catch (const StopReported&) {
        return 1;
    } catch (const std::exception& error) {
        environment.err << error.what() << '\n';
        return 1;
    }
}

int exportCommand(const std::vector<std::string>& args) {
    CommandEnvironment environment{std::cin, std::cout, std::cerr, standardStreamsAreTerminal(),
                                   executableFolder()};
    return runExportCommand(args, environment);
}

} // namespace pontrel::cli
