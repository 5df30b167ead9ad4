#include "cli/ExportCommand.h"

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/PreviewOutput.h"
#include "cli/TerminalUserInterface.h"

#include "dbf/Error.h"
#include "exchange/velmora/TableSetReplacement.h"
#include "exchange/velmora/WorkingFolder.h"
#include "export/ExportRun.h"
#include "platform/Utf8Path.h"

#include <iomanip>
#include <memory>
#include <ostream>

namespace pontrel::cli {

namespace fs = std::filesystem;

namespace {

// Each table this run wrote, with its record count as the run counted it.
void listTables(const fs::path& folder, const exporting::ExportSummary& summary, std::ostream& out) {
    out << "Tablas escritas en " << platform::utf8Of(folder) << ":\n";
    for (const auto& [table, count] : summary.tables)
        out << "  " << std::left << std::setw(16) << (table + ".DBF") << std::right << std::setw(6) << count
            << (count == 1 ? " registro\n" : " registros\n");
    if (summary.orderIndex)
        out << "  DIASHORAST2.MDX  (índice ORDEN)\n";
}

} // namespace

int runExportCommand(const std::vector<std::string>& args, CommandEnvironment& environment) {
    return runExportCommand(args, environment, {});
}

int runExportCommand(const std::vector<std::string>& args, CommandEnvironment& environment,
                     const AfterRunHook& afterRun) {
    int exitCode = kExitDone;
    const auto parsed = readCommandArguments("export", args, environment, exitCode);
    if (!parsed)
        return exitCode;

    const bool dryRun = parsed->given("--dry-run");
    if (parsed->given("--detalle") && !dryRun) {
        reportError(environment.err, "la opción --detalle solo vale con --dry-run.");
        return kExitUsage;
    }
    const auto report = parsed->option("--report");

    const auto workdir = parsed->option("--workdir");
    RunSession session = startSession(
        workdir ? std::optional(platform::pathFromUtf8(*workdir)) : std::nullopt, environment.programFolder);
    if (const auto levelTable = parsed->option("--level-table"))
        session.levelTable = platform::pathFromUtf8(*levelTable);

    TerminalUserInterface ui(environment.in, environment.out, environment.err, environment.interactive);
    ui.setDocument(platform::pathFromUtf8(parsed->argument));
    if (const auto frames = parsed->option("--frames"))
        ui.setFrameCodes(splitCodes(*frames));

    try {
        // A replacement that a killed Pontrel left half done is put right before anything else; a
        // preview leaves the folder as it finds it.
        if (!dryRun)
            if (auto line = recoverInterruptedReplacement(session.workingFolder))
                environment.out << *line << '\n';
        ShortCodeReport codes;
        // The report is written before the tables are replaced and put in place after: one that
        // cannot be written stops the run with every table as it was (status 1 means nothing changed).
        std::unique_ptr<StagedCodeReport> stagedReport;
        exporting::ExportOptions options;
        options.dryRun = dryRun;
        options.codeReport = report ? &codes : nullptr;
        if (report)
            options.beforeReplacing = [&] {
                stagedReport = std::make_unique<StagedCodeReport>(codes, platform::pathFromUtf8(*report));
            };
        exporting::ExportRun run(session, ui, options);
        const RunOutcome outcome = run.run();
        ui.reportMessages(outcome == RunOutcome::Completed);
        if (outcome != RunOutcome::Completed)
            return kExitStopped;
        if (afterRun)
            afterRun();
        if (dryRun)
            printPreview(run.preview(), parsed->given("--detalle"), environment.out);
        else
            listTables(session.workingFolder, run.summary(), environment.out);
        if (stagedReport) {
            try {
                stagedReport->commit();
            } catch (const std::exception& error) {
                if (dryRun)
                    throw;
                // The tables are replaced by now: the run is done, only its report is missing.
                reportError(environment.err, std::string("aviso: ") + error.what() +
                                                 " Las tablas se han escrito; el informe no.");
                return kExitDone;
            }
            printCodeReport(codes, platform::pathFromUtf8(*report), environment.out);
        }
        return kExitDone;
    } catch (const StopReported&) {
        return kExitStopped;
    } catch (const std::exception& error) {
        ui.reportError(error.what());
        return kExitStopped;
    }
}

} // namespace pontrel::cli
